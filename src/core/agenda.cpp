#include "core/agenda.h"

#include <QFile>

#include "core/fileio.h"

Agenda::Agenda(Clock& clock, Dialogs& dialogs, const QString& dataFolder, QObject* parent)
    : QObject(parent), clock_(clock), dialogs_(dialogs), folder_(QDir(dataFolder).absolutePath()) {
    for (ListKind kind : kAllListKinds) {
        auto& list = lists_[static_cast<size_t>(kind)];
        list = std::make_unique<ListModel>(kind);
        // What changes in a list, said in the agenda's words.
        connect(list.get(), &QAbstractItemModel::rowsInserted, this,
                [this, kind](const QModelIndex&, int first, int last) {
                    Q_EMIT rowsAdded(kind, first, last);
                });
        connect(list.get(), &QAbstractItemModel::rowsRemoved, this,
                [this, kind](const QModelIndex&, int first, int last) {
                    Q_EMIT rowsRemoved(kind, first, last);
                });
        connect(
            list.get(), &QAbstractItemModel::dataChanged, this,
            [this, kind](const QModelIndex& from, const QModelIndex& to, const QList<int>& roles) {
                // A cell's colour is no change of the agenda.
                if (roles.size() == 1 && roles.first() == ListModel::CellColourRole) return;
                Q_EMIT rowsEdited(kind, from.row(), to.row());
            });
        connect(list.get(), &QAbstractItemModel::modelReset, this,
                [this, kind] { Q_EMIT listReplaced(kind); });
        connect(list.get(), &QAbstractItemModel::layoutChanged, this,
                [this, kind] { Q_EMIT listReplaced(kind); });
    }
}

Agenda::~Agenda() = default;

void Agenda::setListsModified(bool modified) {
    if (listsModified_ == modified) return;
    listsModified_ = modified;
    Q_EMIT listsModifiedChanged(modified);
}

void Agenda::loadLists() {
    // Missing files are created empty, in this order.
    for (ListKind kind : {ListKind::Deadlines, ListKind::Appointments, ListKind::Anniversaries}) {
        const QString name = listFileName(kind);
        if (QFile::exists(filePath(name))) continue;
        QFile f(filePath(name));
        if (!f.open(QIODevice::WriteOnly))
            dialogs_.notice(
                QStringLiteral("Impossibile creare il file \"%1\":\n%2").arg(name, f.errorString()),
                MsgIcon::Critical, QStringLiteral("Errore"));
    }
    for (ListKind kind : kAllListKinds) {
        const QString name = listFileName(kind);
        QString error;
        if (const auto bytes = readWholeFile(filePath(name), &error)) {
            list(kind).appendFileContent(*bytes);
        } else if (QFile::exists(filePath(name))) {
            dialogs_.notice(
                QStringLiteral("Impossibile leggere il file \"%1\":\n%2").arg(name, error),
                MsgIcon::Critical, QStringLiteral("Errore"));
        }
    }
}

bool Agenda::saveList(ListKind kind) {
    const ListModel& grid = list(kind);
    const QString name = QString::fromLatin1(grid.traits().fileName);
    if (!isWriting()) return false;
    const auto write = [&](QIODevice& file) {
        return grid.writeFileContent(
            [&](const char* data, qsizetype size) { return file.write(data, size) == size; });
    };
    if (const auto error = writeFileAtomically(filePath(name), write)) {
        reportSaveFailure(dialogs_, name, *error);
        return false;
    }
    setListsModified(false);
    Q_EMIT listSaved(kind);
    return true;
}

void Agenda::loadSettings() {
    settings_.load(filePath(QString::fromLatin1(kSettingsFileName)));
}

bool Agenda::saveSettings() {
    const QString name = QString::fromLatin1(kSettingsFileName);
    if (!isWriting()) return false;
    if (const auto error = settings_.save(filePath(name))) {
        reportSaveFailure(dialogs_, name, *error);
        return false;
    }
    return true;
}

bool Agenda::storePathSetting(QString Settings::*setting, const QString& path) {
    if (!settingsCanHold(path)) {
        dialogs_.notice(QStringLiteral("Il percorso\n%1\ncontiene caratteri che il file delle "
                                       "impostazioni non può conservare: l'impostazione resta "
                                       "com'era.")
                            .arg(path),
                        MsgIcon::Exclamation, QStringLiteral("Avviso"));
        return false;
    }
    settings_.*setting = path;
    saveSettings();
    return true;
}

void reportSaveFailure(Dialogs& dialogs, const QString& fileName, const QString& reason) {
    dialogs.notice(QStringLiteral("Impossibile salvare il file \"%1\":\n%2\n\n"
                                  "Il file precedente è rimasto com'era.")
                       .arg(fileName, reason),
                   MsgIcon::Critical, QStringLiteral("Errore"));
}

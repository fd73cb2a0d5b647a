#include "core/agenda.h"

#include <QFile>

#include "core/listfiles.h"

Agenda::Agenda(Clock& clock, Dialogs& dialogs, const QString& dataFolder, QObject* parent)
    : QObject(parent), clock_(clock), dialogs_(dialogs), folder_(QDir(dataFolder).absolutePath()) {
    for (ListKind kind : kAllListKinds) {
        const auto i = static_cast<size_t>(kind);
        lists_[i] = std::make_unique<ListModel>(kind);
        selections_[i] = std::make_unique<QItemSelectionModel>(lists_[i].get());
    }
    currentGrid_ = lists_[0].get();
}

Agenda::~Agenda() {
    // The selection models watch the list models: let them go first.
    for (auto& s : selections_) s.reset();
}

int Agenda::currentRow(ListKind kind) const {
    const QModelIndex idx = selections_[static_cast<size_t>(kind)]->currentIndex();
    return idx.isValid() ? idx.row() : -1;
}

void Agenda::setCurrentCell(ListKind kind, int row, int column) {
    ListModel& model = list(kind);
    QItemSelectionModel& sel = selection(kind);
    if (row < 0 || row >= model.entryCount()) {
        sel.clear();
        return;
    }
    sel.setCurrentIndex(model.index(row, column), QItemSelectionModel::ClearAndSelect);
}

void Agenda::selectTab(int tab) {
    if (tab < 0 || tab > 2 || tab == currentTab_) return;
    currentTab_ = tab;
    Q_EMIT currentTabChanged(tab);
}

void Agenda::showTab(int tab) {
    if (tab < 0 || tab > 2) return;
    currentTab_ = tab;
    Q_EMIT currentTabChanged(tab);
}

void Agenda::selectCurrentList() {
    currentGrid_ = &list(kindForTab(currentTab_));
}

void Agenda::setListsModified(bool modified) {
    if (listsModified_ == modified) return;
    listsModified_ = modified;
    Q_EMIT listsModifiedChanged(modified);
}

void Agenda::loadLists() {
    // Missing files are created empty, in this order.
    for (ListKind kind : {ListKind::Deadlines, ListKind::Appointments, ListKind::Anniversaries}) {
        const QString name = QString::fromLatin1(listTraits(kind).fileName);
        if (QFile::exists(filePath(name))) continue;
        QFile f(filePath(name));
        if (!f.open(QIODevice::WriteOnly))
            dialogs_.notice(
                QStringLiteral("Impossibile creare il file \"%1\":\n%2").arg(name, f.errorString()),
                MsgIcon::Critical, QStringLiteral("Errore"));
    }
    for (ListKind kind : kAllListKinds) {
        const QString name = QString::fromLatin1(listTraits(kind).fileName);
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
    if (!writing_) return false;
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
    if (!writing_) return false;
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

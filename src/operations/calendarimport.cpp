#include "operations/calendarimport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <array>
#include <optional>

#include "core/agenda.h"
#include "core/agendaentry.h"
#include "core/dates.h"
#include "core/fileio.h"
#include "core/listmodel.h"
#include "operations/insert.h"
#include "operations/operations.h"

namespace {

const QString kTitle = QStringLiteral("IMPORTA CALENDARIO");

QString countedText(int n, const char* one, const char* many) {
    return n == 1 ? QStringLiteral("1 %1").arg(QString::fromUtf8(one))
                  : QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(many));
}

// What was left out and why, one reason a line.
QString leftOutText(const CalendarImportPlan& plan) {
    const int total = plan.leftOut();
    if (total == 0) return {};
    QString text = total == 1 ? QStringLiteral("Tralasciato 1 elemento:")
                              : QStringLiteral("Tralasciati %1 elementi:").arg(total);
    const struct {
        int count;
        const char* one;
        const char* many;
    } reasons[] = {
        {plan.past, "già passato", "già passati"},
        {plan.later, "oltre un anno da oggi", "oltre un anno da oggi"},
        {plan.present, "già presente nelle liste", "già presenti nelle liste"},
        {plan.cancelled, "annullato", "annullati"},
        {plan.noDay, "senza una data che le liste possano tenere quest'anno",
         "senza una data che le liste possano tenere quest'anno"},
        {plan.invalid, "con una data o un'ora che non esiste",
         "con una data o un'ora che non esiste"},
        {plan.tooDense, "ripetuto troppo fitto per trovarne la prossima data",
         "ripetuti troppo fitti per trovarne la prossima data"},
        {plan.full, "per una lista piena", "per liste piene"},
        {plan.otherItems, "non evento (attività, nota o allarme a sé)",
         "non eventi (attività, note o allarmi a sé)"},
    };
    for (const auto& r : reasons)
        if (r.count > 0) text += QStringLiteral("\n- ") + countedText(r.count, r.one, r.many);
    return text;
}

// The lists as they were before an import: their rows, their files' bytes
// (none: the file did not exist) and the unsaved-edits flag.
struct ListsSnapshot {
    std::array<QList<AgendaEntry>, 3> rows;
    std::array<std::optional<QByteArray>, 3> files;
    bool modified = false;
};

// Puts the lists and their files back as the snapshot has them. Each file
// that no longer holds its bytes is written again (or removed when it did
// not exist); a write that fails is said. Returns whether all files are back.
bool restore(Agenda& agenda, const ListsSnapshot& before) {
    bool filesBack = true;
    for (ListKind kind : kAllListKinds) {
        const auto i = static_cast<size_t>(tabOf(kind));
        agenda.list(kind).replaceAll(before.rows[i]);
        const QString name = listFileName(kind);
        const QString path = agenda.filePath(name);
        const std::optional<QByteArray> now =
            QFileInfo::exists(path) ? readWholeFile(path) : std::nullopt;
        if (now == before.files[i]) continue;
        std::optional<QString> error;
        if (!before.files[i]) {
            QFile file(path);
            if (!file.remove()) error = file.errorString();
        } else {
            error = writeFileAtomically(path, *before.files[i]);
        }
        if (error) {
            filesBack = false;
            agenda.dialogs().notice(QStringLiteral("Impossibile rimettere com'era il file "
                                                   "\"%1\":\n%2")
                                        .arg(name, *error),
                                    MsgIcon::Critical, QStringLiteral("Errore"));
        }
    }
    // What the window shows is what the files held; where a file could not
    // be put back, the two differ, and the window keeps the lists to save.
    agenda.setListsModified(before.modified || !filesBack);
    paintUrgencyColours(agenda);
    return filesBack;
}

}  // namespace

int CalendarImportPlan::count(ListKind kind) const {
    return static_cast<int>(
        std::count_if(entries.cbegin(), entries.cend(),
                      [kind](const ImportedEntry& e) { return e.kind == kind; }));
}

CalendarImportPlan planCalendarImport(const CalendarReading& reading, const Agenda& agenda) {
    CalendarImportPlan plan;
    plan.past = reading.past;
    plan.later = reading.later;
    plan.present = reading.twice;
    plan.cancelled = reading.cancelled;
    plan.noDay = reading.noDay;
    plan.invalid = reading.invalid;
    plan.tooDense = reading.tooDense;
    plan.full = reading.full;
    plan.otherItems = reading.otherItems;
    const int year = agenda.clock().year();
    QSet<QString> keys;
    std::array<int, 3> room{};
    for (ListKind kind : kAllListKinds) {
        const ListModel& list = agenda.list(kind);
        room[static_cast<size_t>(tabOf(kind))] = ListModel::kMaxEntries - list.entryCount();
        for (int r = 0; r < list.entryCount(); ++r) {
            const AgendaEntry& e = list.entry(r);
            if (const auto dm = dateTextOfAnyYear(e.date))
                keys.insert(entryKey(kind, dm->day, dm->month, e.time, e.message));
        }
    }
    for (const ImportedEntry& e : reading.entries) {
        // An anniversary on 29 February waits for the leap years.
        if (e.kind != ListKind::Anniversaries && !entryDate(formatDateText(e.day, e.month), year)) {
            ++plan.noDay;
            continue;
        }
        const QString key = entryKey(e.kind, e.day, e.month, e.time, e.message);
        if (keys.contains(key)) {
            ++plan.present;
            continue;
        }
        int& left = room[static_cast<size_t>(tabOf(e.kind))];
        if (left <= 0) {
            ++plan.full;
            continue;
        }
        --left;
        keys.insert(key);
        if (e.repeated) ++plan.nextOccurrences;
        plan.entries << e;
    }
    return plan;
}

QString calendarImportText(const CalendarImportPlan& plan, const QString& path) {
    const QString name = QDir::toNativeSeparators(path);
    const QString leftOut = leftOutText(plan);
    if (plan.entries.isEmpty())
        return QStringLiteral("Nessun evento da aggiungere dal file \"%1\".\n\n%2")
            .arg(name, leftOut);
    QString text = QStringLiteral("Dal file \"%1\" verranno aggiunti:").arg(name);
    const int appointments = plan.count(ListKind::Appointments);
    if (appointments > 0)
        text += QStringLiteral("\n- ") + countedText(appointments, "appuntamento", "appuntamenti");
    if (plan.nextOccurrences > 0)
        text += plan.nextOccurrences == 1
                    ? QStringLiteral(" (1 è la prossima data di un evento ripetuto)")
                    : QStringLiteral(" (%1 sono la prossima data di un evento ripetuto)")
                          .arg(plan.nextOccurrences);
    if (const int n = plan.count(ListKind::Deadlines))
        text += QStringLiteral("\n- ") + countedText(n, "scadenza", "scadenze");
    if (const int n = plan.count(ListKind::Anniversaries))
        text += QStringLiteral("\n- ") + countedText(n, "ricorrenza", "ricorrenze");
    if (!leftOut.isEmpty()) text += QStringLiteral("\n\n") + leftOut;
    return text + QStringLiteral("\n\nAggiungerli alle liste?");
}

bool addImportedEntries(Agenda& agenda, const QList<ImportedEntry>& entries) {
    ListsSnapshot before;
    before.modified = agenda.listsModified();
    for (ListKind kind : kAllListKinds) {
        const auto i = static_cast<size_t>(tabOf(kind));
        before.rows[i] = agenda.list(kind).entries();
        const QString path = agenda.filePath(listFileName(kind));
        if (QFileInfo::exists(path)) {
            QString reason;
            before.files[i] = readWholeFile(path, &reason);
            if (!before.files[i]) {
                // A file that cannot be read cannot be put back: nothing is added.
                agenda.dialogs().notice(QStringLiteral("Impossibile leggere il file \"%1\":\n%2")
                                            .arg(listFileName(kind), reason),
                                        MsgIcon::Critical, QStringLiteral("Errore"));
                return false;
            }
        }
    }

    const int year = agenda.clock().year();
    for (ListKind kind : kAllListKinds) {
        // An entry whose day this year lacks (29 February) has no date.
        QList<std::pair<QDate, AgendaEntry>> added;
        for (const ImportedEntry& e : entries) {
            if (e.kind != kind) continue;
            AgendaEntry entry;
            entry.date = formatDateText(e.day, e.month);
            entry.message = e.message;
            entry.time = e.time;
            added.append({entryDate(entry.date, year).value_or(QDate()), entry});
        }
        if (added.isEmpty()) continue;
        ListModel& list = agenda.list(kind);
        const std::vector<ListModel::PlacedEntry> placed =
            insertionPlaces(list, added, agenda.settings().sortAscending, year);
        list.insertEntries(placed);
    }
    if (saveAll(agenda)) return true;
    restore(agenda, before);
    return false;
}

CalendarImporter::CalendarImporter(Agenda& agenda, const QString& readerProgram, QObject* parent)
    : QObject(parent), agenda_(agenda), task_(std::make_unique<IsolatedTask>(readerProgram)) {
    connect(task_.get(), &IsolatedTask::progressed, this, &CalendarImporter::progressed);
    connect(task_.get(), &IsolatedTask::finished, this, &CalendarImporter::onRead);
    connect(task_.get(), &IsolatedTask::failed, this, &CalendarImporter::onFailed);
}

CalendarImporter::~CalendarImporter() = default;

void CalendarImporter::importFile(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    // The same file asked for again while it waits or is read is one request.
    if (absolute == current_ || waiting_.contains(absolute)) return;
    waiting_ << absolute;
    if (!isBusy()) startNext();
}

void CalendarImporter::cancelReading() {
    if (!task_->isRunning()) return;
    task_->cancel();
    Q_EMIT readingEnded();
    end(0);
}

void CalendarImporter::startNext() {
    if (isBusy() || waiting_.isEmpty()) return;
    current_ = waiting_.takeFirst();
    const QFileInfo info(current_);
    QString reason;
    std::optional<QByteArray> bytes;
    if (!info.exists()) {
        reason = QStringLiteral("il file non esiste");
    } else if (info.isDir()) {
        reason = QStringLiteral("è una cartella, non un file");
    } else if (!info.isFile()) {
        reason = QStringLiteral("non è un file regolare");
    } else if (info.size() > kMaxCalendarFileBytes) {
        reason = QStringLiteral("il file è troppo grande (%1 MB; il massimo è %2 MB)")
                     .arg((info.size() + 1024 * 1024 - 1) / (1024 * 1024))
                     .arg(kMaxCalendarFileBytes / (1024 * 1024));
    } else {
        QString error;
        bytes = readWholeFile(current_, &error, kMaxCalendarFileBytes);
        if (!bytes) reason = QStringLiteral("impossibile leggerlo (%1)").arg(error);
    }
    if (!bytes) {
        reportFailure(reason);
        return;
    }
    Q_EMIT readingStarted(current_);
    const QString zone = zone_.isValid() ? QString::fromUtf8(zone_.id()) : QString();
    task_->start(QString::fromLatin1(kCalendarTask),
                 {agenda_.clock().today().toString(Qt::ISODate), zone}, *bytes, limits_);
}

void CalendarImporter::onRead(const QByteArray& output) {
    Q_EMIT readingEnded();
    const std::optional<CalendarReading> reading = decodeCalendarReading(output);
    if (!reading) {
        reportFailure(QStringLiteral("il file non si è potuto leggere (%1)")
                          .arg(IsolatedTask::describe(IsolatedTask::Failure::Crashed)));
    } else if (reading->error) {
        reportFailure(calendarErrorText(*reading->error));
    } else {
        confirmAndAdd(*reading);
    }
}

void CalendarImporter::onFailed(IsolatedTask::Failure failure) {
    Q_EMIT readingEnded();
    reportFailure(QStringLiteral("il file non si è potuto leggere (%1)")
                      .arg(IsolatedTask::describe(failure)));
}

void CalendarImporter::reportFailure(const QString& reason) {
    agenda_.dialogs().notice(QStringLiteral("Calendario non importato dal file \"%1\": %2.")
                                 .arg(QDir::toNativeSeparators(current_), reason),
                             MsgIcon::Critical, kTitle);
    end(0);
}

void CalendarImporter::confirmAndAdd(const CalendarReading& reading) {
    Dialogs& dialogs = agenda_.dialogs();
    const CalendarImportPlan plan = planCalendarImport(reading, agenda_);
    if (plan.entries.isEmpty()) {
        dialogs.notice(calendarImportText(plan, current_), MsgIcon::Information, kTitle);
        end(0);
        return;
    }
    if (dialogs.message(calendarImportText(plan, current_), MsgButtons::YesNo, MsgIcon::Question,
                        kTitle) != MsgAnswer::Yes ||
        !agenda_.isWriting()) {
        end(0);
        return;
    }
    // The lists may have changed while the box waited: what they hold now
    // decides what is new.
    const CalendarImportPlan now = planCalendarImport(reading, agenda_);
    if (now.entries.isEmpty()) {
        end(0);
        return;
    }
    if (!addImportedEntries(agenda_, now.entries)) {
        dialogs.notice(QStringLiteral("Calendario non importato dal file \"%1\": le liste non si "
                                      "possono salvare, e non è stato aggiunto nulla.")
                           .arg(QDir::toNativeSeparators(current_)),
                       MsgIcon::Critical, kTitle);
        end(0);
        return;
    }
    end(static_cast<int>(now.entries.size()));
}

void CalendarImporter::end(int added) {
    const QString path = current_;
    current_.clear();
    Q_EMIT finished(path, added);
    if (!waiting_.isEmpty()) QTimer::singleShot(0, this, &CalendarImporter::startNext);
}

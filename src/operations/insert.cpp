#include "operations/insert.h"

#include <optional>

#include "core/agenda.h"
#include "core/agendaentry.h"
#include "core/dates.h"
#include "core/listmodel.h"
#include "operations/operations.h"

int insertionPlace(const ListModel& list, const QDate& newDate, bool ascending, int year) {
    for (int r = 0; r < list.entryCount(); ++r) {
        const std::optional<QDate> rowDate = entryDate(list.text(r, ListModel::ColDate), year);
        if (!rowDate) continue;
        const qint64 difference = newDate.daysTo(*rowDate);
        if (ascending ? difference >= 0 : difference < 0) return r;
    }
    return list.entryCount();
}

namespace {

// Asks for the time until the answer reads as one or is left empty. Spaces
// around a valid answer are dropped: the sort cuts the text at its end.
QString askTime(Dialogs& dialogs) {
    for (;;) {
        const QString answer =
            dialogs.input(QString::fromUtf16(kTimePrompt), QString::fromUtf16(kTimeTitle), {});
        const QString trimmed = answer.trimmed();
        if (trimmed.isEmpty()) return {};
        if (parseTimeText(trimmed)) return trimmed;
        dialogs.notice(QStringLiteral("Orario non valido"), MsgIcon::Exclamation, QString());
    }
}

}  // namespace

void insertEntry(Agenda& agenda, const QDate& calendarDate) {
    Dialogs& dialogs = agenda.dialogs();
    agenda.selectCurrentList();
    ListModel& list = agenda.currentList();
    const ListTraits& traits = list.traits();
    const int year = agenda.clock().year();

    const QString dateText = formatDateText(calendarDate.day(), calendarDate.month());
    // Checked before anything is typed: 29 February of a common year would be
    // stored as a date no list can read back.
    const std::optional<QDate> newDate = entryDate(dateText, year);
    if (!newDate) {
        dialogs.notice(QStringLiteral("Data non valida"), MsgIcon::Critical, QString());
        return;
    }
    if (list.entryCount() >= ListModel::kMaxEntries) {
        dialogs.notice(QStringLiteral("Impossibile inserire: la lista contiene già %1 voci, "
                                      "il massimo consentito.")
                           .arg(ListModel::kMaxEntries),
                       MsgIcon::Exclamation, QString());
        return;
    }

    const QString typed = dialogs.input(QStringLiteral("Inserisci il MESSAGGIO"), std::nullopt,
                                        QString::fromUtf8(traits.defaultMessage));
    if (typed.isEmpty()) return;

    AgendaEntry entry;
    entry.date = dateText;
    entry.message = cleanCellText(typed);
    if (traits.hasTime) entry.time = askTime(dialogs);
    // The program ended while the boxes waited: their empty answers are no
    // choice of the user's, and half an entry is never inserted.
    if (!agenda.isWriting()) return;

    const int place = insertionPlace(list, *newDate, agenda.settings().sortAscending, year);
    list.insertAt(place, entry);
    saveAll(agenda);
}

#include "core/agenda.h"
#include "core/dates.h"
#include "core/listkind.h"
#include "core/listmodel.h"
#include "operations/operations.h"

namespace {

// Says, once per appointment, which saved appointments of today or later
// carry a time the alarm cannot read: they would never ring, silently.
void reportTimesThatCannotRing(Agenda& agenda) {
    const ListModel& list = agenda.appointments();
    const QDate today = agenda.clock().today();
    QStringList lines;
    for (int row = 0; row < list.entryCount(); ++row) {
        // A shared time text is a time of day, and none is no time at all.
        if (list.sharedTime(row) >= 0) continue;
        const QString text = list.text(row, ListModel::ColTime);
        const QString time = text.trimmed();
        if (time.isEmpty() || parseTimeText(time)) continue;
        const QString date = list.text(row, ListModel::ColDate);
        const std::optional<QDate> day = entryDate(date, today.year());
        if (!day || *day < today) continue;
        const QString message = list.text(row, ListModel::ColMessage);
        if (!agenda.markTimeReported(date + QLatin1Char('|') + message + QLatin1Char('|') + time))
            continue;
        lines << QStringLiteral(
                     "L'ora «%1» dell'appuntamento del %2 «%3» non è un'ora valida: "
                     "l'allarme non suonerà.")
                     .arg(text, date, message);
    }
    if (!lines.isEmpty())
        agenda.dialogs().notice(lines.join(QLatin1Char('\n')), MsgIcon::Exclamation,
                                QStringLiteral("ORARIO NON VALIDO"));
}

// Writes the lists in `order`, each even when an earlier one failed: each
// failure has its own box, and the lists that can be saved are. A later
// successful write clears the unsaved-edits flag, so it is set again when any
// list did not reach its file: those edits must still be offered on exit.
bool saveLists(Agenda& agenda, std::initializer_list<ListKind> order) {
    bool saved = true;
    for (ListKind kind : order) saved = agenda.saveList(kind) && saved;
    if (!saved) agenda.setListsModified(true);
    return saved;
}

}  // namespace

bool saveAll(Agenda& agenda) {
    sortAppointments(agenda);
    const bool saved =
        saveLists(agenda, {ListKind::Appointments, ListKind::Deadlines, ListKind::Anniversaries});
    agenda.showTab(agenda.currentTab());
    agenda.selectCurrentList();
    paintUrgencyColours(agenda);
    if (saved) reportTimesThatCannotRing(agenda);
    return saved;
}

void askToSaveOnExit(Agenda& agenda) {
    if (!agenda.listsModified()) return;
    if (agenda.dialogs().message(QStringLiteral("Salvare le modifiche effettuate ?"),
                                 MsgButtons::YesNo, MsgIcon::Question,
                                 QString()) != MsgAnswer::Yes) {
        return;
    }
    sortAppointments(agenda);
    saveLists(agenda, {ListKind::Deadlines, ListKind::Anniversaries, ListKind::Appointments});
    agenda.showTab(tabOf(ListKind::Appointments));
    agenda.selectCurrentList();
}

void setSortOrder(Agenda& agenda, bool ascending) {
    agenda.settings().sortAscending = ascending;
    agenda.saveSettings();
    saveAll(agenda);
}

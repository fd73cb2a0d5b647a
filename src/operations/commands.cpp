#include "core/agenda.h"
#include "core/dates.h"
#include "core/listkind.h"
#include "core/listmodel.h"
#include "operations/operations.h"

namespace {

// Says, once per appointment, which saved appointments of today or later
// carry a time the alarm cannot read: they would never ring, silently.
void ReportTimesThatCannotRing(Agenda& agenda) {
    const ListModel& list = agenda.appointments();
    const QDate today = agenda.clock().today();
    QStringList lines;
    for (int row = 0; row < list.entryCount(); ++row) {
        // A shared time text is a time of day, and none is no time at all.
        if (list.sharedTime(row) >= 0) continue;
        const QString text = list.text(row, ListModel::ColTime);
        const QString time = text.trimmed();
        if (time.isEmpty() || ParseTimeText(time)) continue;
        const QString date = list.text(row, ListModel::ColDate);
        const std::optional<QDate> day = EntryDate(date, today.year());
        if (!day || *day < today) continue;
        const QString message = list.text(row, ListModel::ColMessage);
        if (!agenda.MarkTimeReported(date + QLatin1Char('|') + message + QLatin1Char('|') + time))
            continue;
        lines << QStringLiteral("L'ora «%1» dell'appuntamento del %2 «%3» non è un'ora valida: "
                                "l'allarme non suonerà.")
                     .arg(text, date, message);
    }
    if (!lines.isEmpty())
        agenda.dialogs().Notice(lines.join(QLatin1Char('\n')), MsgIcon::Exclamation,
                                QStringLiteral("ORARIO NON VALIDO"));
}

bool SaveTab(Agenda& agenda, ListKind kind) {
    agenda.selectTab(TabOf(kind));
    agenda.SelectCurrentGrid();
    return agenda.SaveCurrentList();
}

}  // namespace

bool SaveCommand(Agenda& agenda) {
    const int tab = agenda.currentTab();
    agenda.selectTab(TabOf(ListKind::Appuntamenti));
    SortAppointments(agenda);
    // Every list is written even when an earlier one failed: each failure has
    // its own box, and the lists that can be saved are.
    bool saved = SaveTab(agenda, ListKind::Appuntamenti);
    saved = SaveTab(agenda, ListKind::Scadenze) && saved;
    saved = SaveTab(agenda, ListKind::Ricorrenze) && saved;
    // A later successful write clears the flag; edits that did not reach their
    // file must still be offered on exit.
    if (!saved) agenda.SetListsModified(true);
    agenda.selectTab(tab);
    agenda.SelectCurrentGrid();
    PaintUrgencyColours(agenda);
    if (saved) ReportTimesThatCannotRing(agenda);
    return saved;
}

void AskToSaveOnExit(Agenda& agenda) {
    if (!agenda.ListsModified()) return;
    if (agenda.dialogs().Message(QStringLiteral("Salvare le modifiche effettuate ?"),
                                 MsgButtons::YesNo, MsgIcon::Question,
                                 QString()) != MsgAnswer::Yes) {
        return;
    }
    agenda.selectTab(TabOf(ListKind::Scadenze));
    SortAppointments(agenda);
    bool saved = SaveTab(agenda, ListKind::Scadenze);
    saved = SaveTab(agenda, ListKind::Ricorrenze) && saved;
    saved = SaveTab(agenda, ListKind::Appuntamenti) && saved;
    if (!saved) agenda.SetListsModified(true);
}

void SetSortOrder(Agenda& agenda, bool ascending) {
    agenda.settings().sortAscending = ascending;
    agenda.LoadOrSaveSettings(QStringLiteral("salva"));
    SaveCommand(agenda);
}

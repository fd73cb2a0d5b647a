#include "core/agenda.h"
#include "core/listkind.h"
#include "operations/operations.h"

namespace {

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
    agenda.settings().SortAscending = ascending;
    agenda.LoadOrSaveSettings(QStringLiteral("salva"));
    SaveCommand(agenda);
}

#include "core/agenda.h"
#include "core/dates.h"
#include "core/listkind.h"
#include "core/listmodel.h"
#include "core/listselection.h"
#include "operations/operations.h"

namespace {

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

bool saveAll(Agenda& agenda, ListSelection* shown) {
    sortAppointments(agenda);
    const bool saved =
        saveLists(agenda, {ListKind::Appointments, ListKind::Deadlines, ListKind::Anniversaries});
    if (shown) shown->showTab(shown->currentTab());
    paintUrgencyColours(agenda);
    return saved;
}

void askToSaveOnExit(Agenda& agenda, ListSelection& shown) {
    if (!agenda.listsModified()) return;
    if (agenda.dialogs().message(QStringLiteral("Salvare le modifiche effettuate ?"),
                                 MsgButtons::YesNo, MsgIcon::Question,
                                 QString()) != MsgAnswer::Yes) {
        return;
    }
    sortAppointments(agenda);
    saveLists(agenda, {ListKind::Deadlines, ListKind::Anniversaries, ListKind::Appointments});
    shown.showTab(tabOf(ListKind::Appointments));
}

void setSortOrder(Agenda& agenda, bool ascending, ListSelection* shown) {
    agenda.settings().sortAscending = ascending;
    agenda.saveSettings();
    saveAll(agenda, shown);
}

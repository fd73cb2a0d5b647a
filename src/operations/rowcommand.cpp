#include "operations/rowcommand.h"

#include "core/agenda.h"
#include "core/dialogs.h"
#include "core/listmodel.h"
#include "core/listselection.h"

RowCommand::RowCommand(Agenda& agenda, const ListSelection& shown, ListKind kind)
    : agenda_(agenda), list_(agenda.list(kind)) {
    const int row = shown.currentRow(kind);
    if (row >= 0 && row < list_.entryCount()) {
        row_ = row;
        entry_ = list_.entry(row);
    }
}

bool RowCommand::stillThere() const {
    return row_ >= 0 && row_ < list_.entryCount() && list_.entry(row_) == entry_;
}

bool RowCommand::confirm(const QString& title) const {
    const QString text = entry_.date + QStringLiteral(" - ") + entry_.message;
    if (agenda_.dialogs().message(text, MsgButtons::YesNo, MsgIcon::Question, title) !=
        MsgAnswer::Yes) {
        return false;
    }
    return confirmedStillThere();
}

bool RowCommand::confirmedStillThere() const {
    if (stillThere()) return true;
    agenda_.dialogs().notice(
        QStringLiteral("La voce è stata cambiata nel frattempo: nessuna modifica effettuata."),
        MsgIcon::None, QStringLiteral("Errore"));
    return false;
}

bool saveAppointmentsList(Agenda& agenda, ListSelection& shown) {
    const bool saved = agenda.saveList(ListKind::Appointments);
    // Saved from another tab, the command ends as a click on that tab.
    if (shown.currentTab() != tabOf(ListKind::Appointments)) shown.showTab(shown.currentTab());
    return saved;
}

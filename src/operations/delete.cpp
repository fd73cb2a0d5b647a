#include "core/agenda.h"
#include "core/listmodel.h"
#include "operations/operations.h"
#include "operations/rowcommand.h"

void deleteEntry(Agenda& agenda) {
    agenda.selectCurrentList();
    const RowCommand command(agenda, agenda.currentKind());
    // With no entry chosen there is nothing to ask about.
    if (!command.HasRow()) return;

    const QString question =
        QStringLiteral("Sicuro di voler eliminare ") + command.Entry().message.toUpper();
    if (agenda.dialogs().Message(question, MsgButtons::YesNo, MsgIcon::None, std::nullopt) !=
        MsgAnswer::Yes) {
        return;
    }
    if (!command.ConfirmedStillThere()) return;

    command.List().removeAt(command.Row());
    // A failed write has been reported and the file still holds the entry.
    // The removal waits in the list for the next save, which the exit
    // command offers.
    if (!agenda.saveList(command.List().kind())) agenda.setListsModified(true);
}

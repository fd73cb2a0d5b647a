#include "core/agenda.h"
#include "core/listmodel.h"
#include "core/listselection.h"
#include "operations/operations.h"
#include "operations/rowcommand.h"

void deleteEntry(Agenda& agenda, ListSelection& shown) {
    const RowCommand command(agenda, shown, shown.currentKind());
    // With no entry chosen there is nothing to ask about.
    if (!command.hasRow()) return;

    const QString question =
        QStringLiteral("Sicuro di voler eliminare ") + command.entry().message.toUpper();
    if (agenda.dialogs().message(question, MsgButtons::YesNo, MsgIcon::None, std::nullopt) !=
        MsgAnswer::Yes) {
        return;
    }
    if (!command.confirmedStillThere()) return;

    command.targetList().removeAt(command.row());
    // A failed write has been reported and the file still holds the entry.
    // The removal waits in the list for the next save, which the exit
    // command offers.
    if (!agenda.saveList(command.targetList().kind())) agenda.setListsModified(true);
}

#include "core/listkind.h"

#include "core/settings.h"

namespace {

// One row a list, in the order of ListKind.
// clang-format off
const ListTraits kTraits[3] = {
    {ListKind::Appointments, "Appuntamenti", "Ricordel", "Ricordel.dat", "Appuntamenti",
     "Appuntamento", "", true, 4, &Settings::appointmentSound, {"DATA", "MESSAGGIO", "ORA", "ID"}},
    {ListKind::Deadlines, "Scadenze", "Date", "Date.dat", "Scadenze", "Scadenza", "Scade ", false, 3,
     &Settings::deadlineSound, {"DATA", "MESSAGGIO", "", "ID"}},
    {ListKind::Anniversaries, "Ricorrenze", "Ricorrenze", "Ricorrenze.dat", "Ricorrenze", "Ricorrenza",
     "E' il Compleanno di ", false, 3, &Settings::anniversarySound, {"DATA", "MESSAGGIO", "", "ID"}},
};
// clang-format on

}  // namespace

const ListTraits& listTraits(ListKind kind) {
    return kTraits[static_cast<int>(kind)];
}

ListKind kindForTab(int tab) {
    return (tab >= 0 && tab <= 2) ? static_cast<ListKind>(tab) : ListKind::Appointments;
}

const ListTraits& traitsForTab(int tab) {
    return listTraits(kindForTab(tab));
}

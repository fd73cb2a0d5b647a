#include "core/listkind.h"

#include "core/settings.h"

namespace {

const ListTraits kTraits[3] = {
    {ListKind::Appuntamenti, 0, "Appuntamenti", "FGrid1", "Ricordel", "Ricordel.dat",
     "Appuntamenti", "Appuntamento", "", true, 4, &Settings::appointmentSound, qRgb(128, 255, 255),
     qRgb(192, 255, 255), {950, 5000, 800, 0}, {"DATA", "MESSAGGIO", "ORA", "ID"}},
    {ListKind::Scadenze, 1, "Scadenze", "FGrid2", "Date", "Date.dat", "Scadenze", "Scadenza",
     "Scade ", false, 3, &Settings::deadlineSound, qRgb(128, 255, 128), qRgb(192, 255, 192),
     {930, 5800, 0, 0}, {"DATA", "MESSAGGIO", "", "ID"}},
    {ListKind::Ricorrenze, 2, "Ricorrenze", "FGrid3", "Ricorrenze", "Ricorrenze.dat",
     "Ricorrenze", "Ricorrenza", "E' il Compleanno di ", false, 3, &Settings::anniversarySound,
     qRgb(255, 255, 128), qRgb(255, 255, 192), {930, 5800, 0, 0}, {"DATA", "MESSAGGIO", "", "ID"}},
};

}  // namespace

const ListTraits& Traits(ListKind kind) { return kTraits[static_cast<int>(kind)]; }

ListKind KindForTab(int tab) {
    return (tab >= 0 && tab <= 2) ? static_cast<ListKind>(tab) : ListKind::Appuntamenti;
}

const ListTraits& TraitsForTab(int tab) { return Traits(KindForTab(tab)); }

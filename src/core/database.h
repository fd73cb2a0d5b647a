#pragma once

class Agenda;
class ListSelection;

// "&Copia dati in DB": appends the three lists, as the grids hold them, to the
// tables of "Ricordel.mdb" in the data folder, all rows or none. A failure is
// reported in a box with the driver's reason. Whatever happened, the copy
// ends with the anniversaries' tab selected in `shown`, the last list it
// copies. Returns whether the rows were stored.
bool copyListsToDatabase(Agenda& agenda, ListSelection* shown = nullptr);

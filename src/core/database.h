#pragma once

class Agenda;

// "&Copia dati in DB": appends the three lists, as the grids hold them, to the
// tables of "Ricordel.mdb" in the current folder, all rows or none. A failure
// is reported in a box with the driver's reason. Ends with tab 2 selected.
// Returns whether the rows were stored.
bool CopyListsToDatabase(Agenda& agenda);

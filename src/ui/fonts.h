#pragma once

class QCoreApplication;

// Where "MS Sans Serif", "Arial" or "Comic Sans MS" is missing, chooses the
// nearest installed face in one place (Liberation Sans or DejaVu Sans for the
// first two, Comic Neue for the third).
void InstallFontSubstitutes();

// Loads Qt's Italian translation so standard buttons read "Sì", "No",
// "Annulla". Returns false (and the program goes on) when it cannot be found.
bool LoadItalianTranslation(QCoreApplication& app);

#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

// Where "MS Sans Serif", "Arial" or "Comic Sans MS" is missing, chooses the
// nearest installed face in one place (Liberation Sans or DejaVu Sans for the
// first two, Comic Neue for the third).
void InstallFontSubstitutes();

// The faces to use in place of `family`, best first, drawn from `installed`;
// empty when the family itself is installed or none of its stand-ins is.
QStringList ChooseFontSubstitutes(const QString& family, const QStringList& installed);

// Loads Qt's Italian translation so standard buttons read "Sì", "No",
// "Annulla". Returns false (and the program goes on) when it cannot be found.
bool LoadItalianTranslation(QCoreApplication& app);

// The same, looking for the translation in `folder`.
bool LoadItalianTranslation(QCoreApplication& app, const QString& folder);

#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

// Where "MS Sans Serif", "Arial" or "Comic Sans MS" is missing, chooses the
// nearest installed face in one place (Liberation Sans or DejaVu Sans for the
// first two, Comic Neue for the third).
void installFontSubstitutes();

// The faces to use in place of `family`, best first, drawn from `installed`;
// empty when the family itself is installed or none of its stand-ins is.
QStringList chooseFontSubstitutes(const QString& family, const QStringList& installed);

// Loads Qt's Italian translation so standard buttons read "Sì", "No",
// "Annulla". Returns false (and the program goes on) when it cannot be found.
bool loadItalianTranslation(QCoreApplication& app);

// The same, looking for the translation in `folder`.
bool loadItalianTranslation(QCoreApplication& app, const QString& folder);

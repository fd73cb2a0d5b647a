#pragma once

#include <QByteArray>
#include <QString>

// The user's preferences, kept in "Ricordel.ini" in this order.
struct Settings {
    bool SortAscending = false;
    QString Suono1;  // deadlines
    QString Suono2;  // appointments
    QString Suono3;  // anniversaries
    QString Suono4;  // the alarm
    bool NewMsg = false;
    QString PercorsoImmagini;
    qint16 GiorniPreavviso = 0;
    // Minutes of warning before each appointment's alarm (0 to 1440; 0: none).
    int AlarmWarningMinutes = 0;

    friend bool operator==(const Settings&, const Settings&) = default;
};

inline constexpr char kSettingsFileName[] = "Ricordel.ini";

// Reads the records by position (the keys are not checked). A missing record
// or a value of the wrong kind leaves that setting as it was in `into`; the
// ninth record, the warning minutes, reads as 0 unless it is a whole number
// from 0 to 1440 (so a file of eight records means no warning).
void ParseSettings(const QByteArray& bytes, Settings& into);

// The nine records, each value, comma, quoted key, CR LF. The first eight are
// those a reader of eight records takes by position; the ninth,
// `15,"minuti preavviso"`, comes after them.
QByteArray SerializeSettings(const Settings& settings);

// True when a text setting (a path) is read back from the file exactly as it
// is: no double quote, TAB or line break, and only characters Windows-1252
// has a byte for.
bool SettingsCanHold(const QString& text);

#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The user's preferences, kept in "Ricordel.ini" in this order.
struct Settings {
    bool sortAscending = false;
    // The sound files of the deadlines, appointments and anniversaries
    // notices, and of the alarm.
    QString deadlineSound;
    QString appointmentSound;
    QString anniversarySound;
    QString alarmSound;
    // Notices are shown by the assistant instead of a message box.
    bool newMessageBox = false;
    QString picturesFolder;
    // Days ahead that the start-up notice looks for what falls due.
    qint16 daysOfNotice = 0;
    // Minutes of warning before each appointment's alarm (0 to 1440; 0: none).
    int alarmWarningMinutes = 0;

    // Reads the file at `path` as parseSettings does; a missing or unreadable
    // file leaves every setting as it is.
    void load(const QString& path);
    // Writes all the settings to the file at `path`, atomically. Returns the
    // reason on failure; the file then holds what it held.
    std::optional<QString> save(const QString& path) const;

    friend bool operator==(const Settings&, const Settings&) = default;
};

inline constexpr char kSettingsFileName[] = "Ricordel.ini";

// Reads the records by position (the keys are not checked). A missing record
// or a value of the wrong kind leaves that setting as it was in `into`; the
// ninth record, the warning minutes, reads as 0 unless it is a whole number
// from 0 to 1440 (so a file of eight records means no warning).
void parseSettings(const QByteArray& bytes, Settings& into);

// The nine records, each value, comma, quoted key, CR LF. The first eight are
// those a reader of eight records takes by position; the ninth,
// `15,"minuti preavviso"`, comes after them.
QByteArray serializeSettings(const Settings& settings);

// True when a text setting (a path) is read back from the file exactly as it
// is: no double quote, TAB or line break, and only characters Windows-1252
// has a byte for.
bool settingsCanHold(const QString& text);

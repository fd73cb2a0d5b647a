#pragma once

#include <QString>

// One row of a list: date text (day "/" month), message, time text
// (appointments only) and the ID cell that no operation writes.
struct AgendaEntry {
    QString date;
    QString message;
    QString time;
    QString id;

    friend bool operator==(const AgendaEntry&, const AgendaEntry&) = default;
};

// The mark of an appointment that does not come back every year: past, it
// is no longer urgent.
inline constexpr QLatin1StringView kNotYearlyMark("(ny)");

// Text on its way into a list or the settings, made into what the files will
// keep, so that the screen shows what the next start reads back: a double
// quote, which the files cannot carry, becomes an apostrophe; TAB, CR and LF,
// which would split the row or the record, become spaces; a character that
// Windows-1252 has no byte for becomes "?" (one "?" per character, also for
// one outside the 16-bit range).
QString cleanCellText(QString text);

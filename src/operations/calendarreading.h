#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QTimeZone>

#include <cstdio>
#include <functional>
#include <optional>

#include "core/listkind.h"

// What the events of an iCalendar file (an invitation, a phone's calendar,
// this program's own export) would be as entries of the lists. The lists
// keep day and month only, so only what falls from today up to 365 days
// ahead is taken (never the same day and month as today a year later, which
// would read as today), in the given time zone:
// - a timed event becomes an appointment at its local day, month and time
//   ("9:05"); an all-day event an appointment without a time;
// - an event repeated every year on the same day becomes an anniversary;
//   another repeated event its next occurrence from today;
// - CATEGORIES naming one of the lists ("Appuntamenti", "Scadenze",
//   "Ricorrenze") send the event to that list;
// - cancelled events, to-dos, journal entries and alarms standing alone are
//   left out, and so are events whose date or time cannot exist.
// Titles are cleaned as typed text is and cut at kMaxImportedText characters.
//
// The file comes from outside and the library that parses it can crash or
// loop on a crafted one: the program reads calendars only in an isolated
// task (see core/isolatedtask.h), whose output is the encoded reading.

// The longest message or time text taken from a calendar; a longer one is
// cut, with "…" at its end.
inline constexpr int kMaxImportedText = 4000;
// The largest file taken: a phone's whole calendar stays far below it.
inline constexpr qint64 kMaxCalendarFileBytes = 16 * 1024 * 1024;
// Components nested deeper than this (a calendar, an event, an alarm, a time
// zone's rules need four) are refused before the file is parsed.
inline constexpr int kMaxCalendarNesting = 16;

struct ImportedEntry {
    ListKind kind = ListKind::Appointments;
    int day = 0;
    int month = 0;
    QString message;
    QString time;           // appointments only: "9:05", or empty
    bool repeated = false;  // the next date of a repeated event

    bool operator==(const ImportedEntry&) const = default;
};

// Why nothing at all can be taken from a file.
enum class CalendarError {
    Empty,        // nothing but blank space
    NotCalendar,  // no iCalendar content
    NoEvents,     // a calendar without events
    TooDeep,      // nested deeper than kMaxCalendarNesting
};
QString calendarErrorText(CalendarError error);

// What makes two entries the same: their list, day, month, time (a time of
// day in one spelling, anything else as written) and message.
QString entryKey(ListKind kind, int day, int month, const QString& time, const QString& message);

struct CalendarReading {
    std::optional<CalendarError> error;
    QList<ImportedEntry> entries;  // in file order, each once
    // Events left out, by reason.
    int past = 0;   // over, or a repetition that has ended
    int later = 0;  // more than a year ahead
    int twice = 0;  // the same entry as an earlier event of the file
    int cancelled = 0;
    int noDay = 0;       // no start, or 29 February in a year without it
    int invalid = 0;     // a date or time that cannot exist, or a repetition
                         // that never falls on one
    int tooDense = 0;    // a repetition too dense to follow up to today
    int otherItems = 0;  // to-dos, journal entries, alarms alone, busy times
    int full = 0;        // more events for one list than a list can hold

    bool operator==(const CalendarReading&) const = default;
};

// The last day a reading made on `today` takes: up to 365 days ahead, but
// never today's day and month a year later.
QDate windowEnd(const QDate& today);
// The first day on which a reading takes `date`.
QDate firstDayShowing(const QDate& date);

// Text of a calendar as the lists keep it: no control characters, cut at
// kMaxImportedText characters with "…", cleaned as typed text is.
QString importedText(const char* utf8);

// How one event reads for the lists.
enum class EventFate {
    Taken,      // an entry of the lists
    Past,       // over, or a repetition that has ended
    Later,      // more than a year ahead
    Cancelled,  // by its status or by its calendar's method
    NoDay,      // no start, or 29 February in a year without it
    Invalid,    // a date, time or repetition that cannot exist
    TooDense,   // a repetition too dense to follow up to today
    NotEvent,   // no event at all
};

// One calendar object of a server: the events of one UID, a master and the
// occurrences of its series that it overrides (RECURRENCE-ID), read as
// readCalendar reads an event. An overridden occurrence is read from its
// override, which may move it, retitle it or cancel it; a series is shown
// at the first of its own next occurrence and its overrides to come.
struct CalendarObjectReading {
    EventFate fate = EventFate::NotEvent;
    QByteArray uid;
    // Taken: the entry. Past and Later: the entry at the event's own last or
    // next occurrence, when it has one (`date` valid).
    ImportedEntry entry;
    QDate date;           // the local date of the occurrence read
    bool series = false;  // repeated other than every year
};
// Refuses (NotEvent) what readCalendar refuses, and text over
// kMaxCalendarFileBytes.
CalendarObjectReading readCalendarObject(const QByteArray& ics, const QDate& today,
                                         const QTimeZone& zone);

// Reads iCalendar text. `progress`, when given, hears how far the reading
// has come, from 0 to 1000.
CalendarReading readCalendar(const QByteArray& ics, const QDate& today, const QTimeZone& zone,
                             const std::function<void(int)>& progress = {});

// Whether components nest deeper than `maxDepth` in the text, as its
// unfolded BEGIN and END lines say.
bool nestedDeeperThan(const QByteArray& ics, int maxDepth);

// The reading as the isolated task writes it, and back. Decoding trusts
// nothing: what does not read as a reading written by encodeCalendarReading
// within the limits above (counts, texts, dates that exist in a leap year)
// gives nothing.
QByteArray encodeCalendarReading(const CalendarReading& reading);
std::optional<CalendarReading> decodeCalendarReading(const QByteArray& bytes);

// The isolated task "calendar": reads the calendar on `in`, with today and
// the zone from its arguments ("2026-03-07" "Europe/Rome"; an empty zone is
// the system's), and writes the encoded reading on `out`. Returns the exit
// code.
inline constexpr char kCalendarTask[] = "calendar";
int runCalendarTask(const QStringList& arguments, std::FILE* in, std::FILE* out);

#pragma once

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QString>

#include <optional>

#include "core/listrecords.h"

class Clock;

// The agenda as an iCalendar file (RFC 5545), for phones and mail programs.
// Every entry falls in the current calendar year, as everywhere else:
// - an appointment whose time reads as a time of day is an event at that
//   local time, 30 minutes long (a DTEND), with a display alarm at its start; without
//   such a time it is an all-day event;
// - a past appointment whose message holds "(ny)" goes to the next year;
// - a deadline is an all-day event;
// - an anniversary is an all-day event repeated every year from this year
//   (29 February from the latest leap year not after this one, with the rule
//   naming the month and day, so that it comes back in leap years only).
// Lines are folded at 75 octets by this code, never inside a character.
// Entries whose date is no day of their year are left out and counted.

struct CalendarLists {
    QList<ListRecord> appointments;
    QList<ListRecord> deadlines;
    QList<ListRecord> anniversaries;
};

struct CalendarExport {
    QByteArray ics;   // the calendar, UTF-8 with CR LF line ends
    int written = 0;  // events in it
    int skipped = 0;  // entries left out: no readable date
};

// zoneId names the local time zone ("Europe/Rome"): times carry it with its
// VTIMEZONE. A name of UTC ("UTC", "GMT", "Etc/UTC") gives UTC times with
// "Z"; an empty or unknown zone gives floating local times.
CalendarExport buildCalendarExport(const CalendarLists& lists, const Clock& clock,
                                   const QString& zoneId);

// The system's time zone id, as buildCalendarExport takes it.
QString systemZoneId();

struct CalendarFileOutcome {
    std::optional<QString> error;  // why nothing was written, in Italian
    int written = 0;
    int skipped = 0;
};

// Reads the three list files of `dataFolder` (what was last saved)
// and writes the calendar to path atomically. A missing list file is an
// empty list, but a folder without any of the three is an error: it is not
// an agenda.
CalendarFileOutcome exportCalendarFile(const QDir& dataFolder, const QString& path,
                                       const Clock& clock);

// Text as calendars take it: the control characters a damaged list file can
// carry (NUL and the others below a space, DEL, the C1 range) are dropped,
// a tab is kept and so is the rest of the text.
QString withoutControlCharacters(const QString& text);

// An event's title: the message without control characters, or
// "(senza testo)" when nothing but blank space is left, since readers drop an
// empty title and an alarm's empty text.
QString calendarTitle(const QString& message);

// "Scritti 12 eventi; 2 voci tralasciate (data non leggibile)."
QString calendarCountsText(int written, int skipped);

#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
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

// The date an entry's event takes, as the export writes it: the entry's day
// this year; a past appointment whose message holds "(ny)" next year; an
// anniversary on 29 February in the latest leap year not after this one.
// Nothing when the entry has no such day.
std::optional<QDate> calendarEventDate(ListKind kind, const ListRecord& record, const QDate& today);

// One entry as a calendar object of its own, as the export writes it (the
// zone's VTIMEZONE, one VEVENT with `uid`), with LAST-MODIFIED as well as
// DTSTAMP at `stampUtc` and no calendar name. Nothing when the entry's date
// is no day of its year.
std::optional<QByteArray> buildEventObject(ListKind kind, const ListRecord& record,
                                           const QByteArray& uid, const QDate& today,
                                           const QDateTime& stampUtc, const QString& zoneId);

// Folds content lines anew, libical's output included (it can fold a line
// together with its CR LF): unfolds them, then cuts each before 75 octets,
// never inside a UTF-8 character, each continuation starting with a space.
// A yearly rule on 29 February is written month first.
QByteArray foldContentLines(QByteArray text);

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

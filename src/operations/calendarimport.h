#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTimeZone>

#include <optional>

#include "core/listkind.h"

class Agenda;

// Events of an iCalendar file (an invitation, a phone's calendar, this
// program's own export) taken into the lists. The lists keep day and month
// only, so only what falls from today up to 365 days ahead is taken (never
// the same day and month as today a year later, which would read as today),
// in the system's time zone:
// - a timed event becomes an appointment at its local day, month and time
//   ("9:05"); an all-day event an appointment without a time;
// - an event repeated every year on the same day becomes an anniversary;
//   another repeated event its next occurrence only;
// - CATEGORIES naming one of the lists ("Appuntamenti", "Scadenze",
//   "Ricorrenze") send the event to that list;
// - an entry the list already holds (same day, month, time and message) is
//   left out, and so are cancelled events, to-dos, journal entries and alarms
//   standing alone.
// Titles are cleaned as typed text is.

struct ImportedEntry {
    ListKind kind = ListKind::Appuntamenti;
    int day = 0;
    int month = 0;
    QString message;
    QString time;  // appointments only: "9:05", or empty
};

struct CalendarImportPlan {
    std::optional<QString> error;  // why nothing can be taken, in Italian
    QList<ImportedEntry> entries;  // to add, in file order
    int nextOccurrences = 0;       // entries that are a repeated event's next date
    // Events left out, by reason.
    int past = 0;     // over, or a repetition that has ended
    int later = 0;    // more than a year ahead
    int present = 0;  // already in the list (or twice in the file)
    int cancelled = 0;
    int noDay = 0;       // no start, or 29 February in a year without it
    int full = 0;        // the list holds its maximum
    int otherItems = 0;  // to-dos, journal entries, alarms alone, busy times

    int count(ListKind kind) const;
    int leftOut() const { return past + later + present + cancelled + noDay + full + otherItems; }
};

// The largest file taken: a phone's whole calendar stays far below it.
inline constexpr qint64 kMaxCalendarFileBytes = 16 * 1024 * 1024;

// What iCalendar text would add to the agenda's lists as they are now.
CalendarImportPlan planCalendarImport(const QByteArray& ics, const Agenda& agenda,
                                      const QTimeZone& zone);
// The same for a file: a missing, unreadable, empty or too large file, or one
// that holds no iCalendar or no event, is an error.
CalendarImportPlan planCalendarFileImport(const QString& path, const Agenda& agenda,
                                          const QTimeZone& zone);

// The Italian box that lists what will be added and what is left out and why.
QString calendarImportText(const CalendarImportPlan& plan, const QString& path);

// The import command: reads the file, asks in one box, and on "Sì" adds the
// entries and runs the save command, which sorts and writes the lists. When
// the lists cannot all be saved the entries are taken out again and the files
// written back: nothing is half-imported. Returns how many entries were added.
int importCalendarInto(Agenda& agenda, const QString& path,
                       const QTimeZone& zone = QTimeZone::systemTimeZone());

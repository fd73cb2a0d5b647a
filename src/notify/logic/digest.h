#pragma once

#include <QDate>
#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>

#include "core/listkind.h"
#include "core/listrecords.h"

struct Settings;

// The lines of one reminder digest, one list of lines per list kind, each in
// the order its records stand in the file. The names are those of the
// collecting lists the digest fills.
struct ReminderLists {
    QStringList deadlines;      // deadlines, "Date.dat"
    QStringList appointments;   // appointments, "Ricordel.dat"
    QStringList anniversaries;  // anniversaries, "Ricorrenze.dat"

    const QStringList& linesOf(ListKind kind) const;
    friend bool operator==(const ReminderLists&, const ReminderLists&) = default;
};

// The label that opens a digest line for an entry `daysAhead` days from today
// (0 to the notice days): "Oggi ", "Domani ", or the weekday name of `date`.
QString reminderLabel(int daysAhead, const QDate& date);

// One digest line: label, a blank, the message; an appointment with a time
// gets "   Ore " and the time text as stored.
QString reminderLine(int daysAhead, const QDate& date, const QString& message,
                     const QString& timeText);

// Gathers the due lines of each list: records whose day falls from today up
// to `daysOfNotice` days ahead, taken in the current year. A record whose
// day and month are no day of this year is skipped.
QStringList gatherListLines(const QList<ListRecord>& records, ListKind kind, const QDate& today,
                            int noticeDays);

ReminderLists gatherReminders(const QList<ListRecord>& deadlines,
                              const QList<ListRecord>& appointments,
                              const QList<ListRecord>& anniversaries, const QDate& today,
                              const Settings& settings);

// The same, reading the three list files of `folder`; a missing or unreadable
// file reads as an empty list.
ReminderLists gatherRemindersFromFiles(const QDir& folder, const QDate& today,
                                       const Settings& settings);

// One list as the digest presents it: its kind (which gives its sound) and
// its lines in the order they are shown.
struct ReminderSection {
    ListKind kind;
    QStringList lines;
};

// Anniversaries first, then deadlines, then appointments; each list from its
// first line when the lists are in ascending order, from its last otherwise.
// Lists without lines are left out.
QList<ReminderSection> orderForPresentation(const ReminderLists& lists, bool sortAscending);

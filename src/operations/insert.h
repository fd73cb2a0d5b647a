#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <utility>
#include <vector>

#include "core/agendaentry.h"
#include "core/listmodel.h"

// Where a new entry dated `newDate` goes in a list kept in date order: the
// first row dated on or after it (rising order) or before it (falling order),
// counting every date in `year`. Rows whose date cannot be read never qualify.
// entryCount() means the end.
int insertionPlace(const ListModel& list, const QDate& newDate, bool ascending, int year);

// Where new entries go when each is inserted, one after the other, where
// insertionPlace puts it among the rows and the entries inserted before it,
// or at the end when its date is invalid (a day this year lacks); as
// ListModel::insertEntries takes them. Reads each row's date once: linear in
// the rows, n log n in the entries.
std::vector<ListModel::PlacedEntry> insertionPlaces(
    const ListModel& list, const QList<std::pair<QDate, AgendaEntry>>& entries, bool ascending,
    int year);

// The prompt of the time question of a new appointment.
inline constexpr char16_t kTimePrompt[] =
    u"Inserisci l'ORARIO come ore:minuti (per esempio 9:30 o 14:30)";
inline constexpr char16_t kTimeTitle[] = u"Premere INVIO per non inserirla";

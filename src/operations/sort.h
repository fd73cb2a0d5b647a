#pragma once

#include <QString>

#include <optional>
#include <vector>

#include "core/agendaentry.h"
#include "core/dates.h"

class ListModel;

// The sort key of an appointment: its date in the current year, then hour and
// minute as numbers read from the time text.
struct SortKey {
    int day = 0;  // place of the entry date in the current year
    double hour = 0;
    double minute = 0;

    friend auto operator<=>(const SortKey&, const SortKey&) = default;
};

// parseDateText with a quick path for the plain "d/m" of one or two digits
// each, which nearly every row holds; the sort and the colours read every row.
std::optional<DayMonth> readEntryDay(const QString& dateText, int year);

// Hour and minute of a time text: the number before the last three characters
// and the number in the last two. An empty text, or one too short to cut
// (1 or 2 characters), counts as 0:00.
void readSortTime(const QString& timeText, double& hour, double& minute);

// The key of an entry, or nothing when its date text is no day of `year`.
std::optional<SortKey> readSortKey(const AgendaEntry& entry, int year);
std::optional<SortKey> readSortKey(const QString& dateText, const QString& timeText, int year);

// Pairwise comparisons of row `row` with row `row + 1` of a list. An unreadable
// date on either side gives false and sets `unreadable`, so that pair is never
// swapped.
bool isLaterThanNext(const ListModel& list, int row, int year, bool& unreadable);
bool isEarlierThanNext(const ListModel& list, int row, int year, bool& unreadable);

// The order that a bubble sort with those comparisons reaches, found in
// O(n log n): position i of the result names the old row that ends up at i.
// Equal keys keep their order; a row whose date cannot be read stays in place
// and no row crosses it. `unreadable` tells whether such a row took part in
// a comparison.
std::vector<int> sortedOrder(const std::vector<std::optional<SortKey>>& keys, bool ascending,
                             bool& unreadable);

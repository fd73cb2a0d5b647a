#include "operations/sort.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

#include "core/agenda.h"
#include "core/dates.h"
#include "core/listmodel.h"
#include "core/listrecords.h"
#include "core/numeric.h"
#include "operations/operations.h"

namespace {

double wholeNumber(QStringView text) {
    const double v = roundHalfEven(numericValueOf(text));
    // A NaN would break the ordering the sort relies on.
    return std::isnan(v) ? 0.0 : v;
}

// The place of a day in the year, enough to order dates of one year.
constexpr int ordinal(int month, int day) {
    return month * 32 + day;
}

std::optional<SortKey> keyOfRow(const ListModel& list, int row, int year) {
    return readSortKey(list.text(row, ListModel::ColDate), list.text(row, ListModel::ColTime),
                       year);
}

// Keys of whole hours and minutes from 0 to 65535, which nearly every row
// holds, are packed with the row number into one integer that sorts the same
// way: day, hour, minute (reversed when descending), then row (rows below
// 65536, so that equal keys keep their order).
bool packable(const SortKey& key) {
    auto small = [](double v) { return v >= 0 && v <= 65535 && v == std::floor(v); };
    return key.day >= 0 && key.day <= 65535 && small(key.hour) && small(key.minute);
}

quint64 packedKey(const SortKey& k, bool ascending, int row) {
    quint64 key = quint64(k.day) << 32 | quint64(k.hour) << 16 | quint64(k.minute);
    if (!ascending) key = ~key & 0xFFFFFFFFFFFFull;
    return key << 16 | quint64(row);
}

// Sorts packed keys made in row order, whose key part takes `keyBits` bits
// above the row's 16: a radix sort of the key bits, eleven a pass, which
// keeps equal keys in row order; a pass where every key has the same digit
// is skipped.
void sortPacked(std::vector<quint64>& keys, int keyBits = 48) {
    constexpr int kDigitBits = 11;
    std::vector<quint64> moved(keys.size());
    std::vector<size_t> start(size_t(1) << kDigitBits);
    for (int shift = 16; shift < 16 + keyBits; shift += kDigitBits) {
        const quint64 mask = (quint64(1) << kDigitBits) - 1;
        std::fill(start.begin(), start.end(), 0);
        for (quint64 k : keys) ++start[(k >> shift) & mask];
        if (std::find(start.begin(), start.end(), keys.size()) != start.end()) continue;
        size_t sum = 0;
        for (size_t& s : start) sum += std::exchange(s, sum);
        for (quint64 k : keys) moved[start[(k >> shift) & mask]++] = k;
        keys.swap(moved);
    }
}

}  // namespace

std::optional<DayMonth> readEntryDay(const QString& dateText, int year) {
    const QStringView text(dateText);
    const qsizetype slash = text.indexOf(u'/');
    int day = 0, month = 0;
    if (slash > 0 && readShortNumber(text.left(slash), day) &&
        readShortNumber(text.mid(slash + 1), month)) {
        if (!QDate::isValid(year, month, day)) return std::nullopt;
        return DayMonth{day, month};
    }
    return parseDateText(dateText, year);
}

void readSortTime(const QString& timeText, double& hour, double& minute) {
    hour = 0;
    minute = 0;
    if (timeText.size() < 3) return;
    const QStringView view(timeText);
    int h = 0, m = 0;
    if (readShortNumber(view.left(view.size() - 3), h) && readShortNumber(view.right(2), m)) {
        hour = h;
        minute = m;
        return;
    }
    minute = wholeNumber(view.right(2));
    hour = wholeNumber(view.left(view.size() - 3));
}

std::optional<SortKey> readSortKey(const QString& dateText, const QString& timeText, int year) {
    const std::optional<DayMonth> day = readEntryDay(dateText, year);
    if (!day) return std::nullopt;
    SortKey key;
    key.day = ordinal(day->month, day->day);
    readSortTime(timeText, key.hour, key.minute);
    return key;
}

std::optional<SortKey> readSortKey(const AgendaEntry& entry, int year) {
    return readSortKey(entry.date, entry.time, year);
}

bool isLaterThanNext(const ListModel& list, int row, int year, bool& unreadable) {
    const auto a = keyOfRow(list, row, year);
    const auto b = keyOfRow(list, row + 1, year);
    if (!a || !b) {
        unreadable = true;
        return false;
    }
    return *a > *b;
}

bool isEarlierThanNext(const ListModel& list, int row, int year, bool& unreadable) {
    const auto a = keyOfRow(list, row, year);
    const auto b = keyOfRow(list, row + 1, year);
    if (!a || !b) {
        unreadable = true;
        return false;
    }
    return *a < *b;
}

std::vector<int> sortedOrder(const std::vector<std::optional<SortKey>>& keys, bool ascending,
                             bool& unreadable) {
    const int n = static_cast<int>(keys.size());
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    unreadable = false;
    if (n < 2) return order;

    struct Item {
        SortKey key;
        int row;
    };
    // The row number breaks ties, so equal keys keep their order as the
    // neighbour swaps of a bubble sort would, without a stable sort's merges.
    auto before = [ascending](const Item& a, const Item& b) {
        if (a.key != b.key) return ascending ? a.key < b.key : a.key > b.key;
        return a.row < b.row;
    };
    std::vector<quint64> packed;
    std::vector<Item> run;
    // Adjacent swaps never move a pair that holds an unreadable row, so such a
    // row is a wall: each run of readable rows between walls sorts on its own.
    int start = 0;
    for (int i = 0; i <= n; ++i) {
        if (i < n && keys[static_cast<size_t>(i)]) continue;
        if (i < n) unreadable = true;
        if (i - start > 1) {
            bool pack = n <= 65536;
            for (int r = start; pack && r < i; ++r) pack = packable(*keys[static_cast<size_t>(r)]);
            if (pack) {
                packed.clear();
                for (int r = start; r < i; ++r)
                    packed.push_back(packedKey(*keys[static_cast<size_t>(r)], ascending, r));
                sortPacked(packed);
                for (int r = start; r < i; ++r)
                    order[static_cast<size_t>(r)] =
                        static_cast<int>(packed[static_cast<size_t>(r - start)] & 0xFFFF);
            } else {
                run.clear();
                for (int r = start; r < i; ++r) run.push_back({*keys[static_cast<size_t>(r)], r});
                std::sort(run.begin(), run.end(), before);
                for (int r = start; r < i; ++r)
                    order[static_cast<size_t>(r)] = run[static_cast<size_t>(r - start)].row;
            }
        }
        start = i + 1;
    }
    return order;
}

void sortAppointments(Agenda& agenda) {
    ListModel& list = agenda.appointments();
    const int year = agenda.clock().year();
    const bool ascending = agenda.settings().sortAscending;
    const int n = list.entryCount();
    // Rows that hold shared date and time texts take the keys of those
    // texts, each read once.
    std::vector<std::optional<DayMonth>> dates(static_cast<size_t>(sharedtexts::kDates));
    std::vector<bool> datesRead(dates.size());
    std::vector<std::optional<SortKey>> times(static_cast<size_t>(sharedtexts::kTimes) + 1);
    auto sharedKey = [&](int r) -> std::optional<SortKey> {
        const int date = list.sharedDate(r);
        if (date < 0) return keyOfRow(list, r, year);
        const auto d = static_cast<size_t>(date);
        if (!datesRead[d]) {
            dates[d] = readEntryDay(sharedtexts::date(date), year);
            datesRead[d] = true;
        }
        if (!dates[d]) return std::nullopt;
        const auto t = static_cast<size_t>(list.sharedTime(r));
        if (!times[t]) {
            times[t] = SortKey{};
            readSortTime(t == 0 ? QString() : sharedtexts::time(static_cast<int>(t) - 1),
                         times[t]->hour, times[t]->minute);
        }
        return SortKey{ordinal(dates[d]->month, dates[d]->day), times[t]->hour, times[t]->minute};
    };

    // Nearly always every row holds shared texts of a day of this year: the
    // rows sort at once on keys packed from each shared text's key, read
    // once, without the list of keys.
    constexpr qint64 kUnread = -2, kNoKey = -1;
    std::vector<qint64> dayKeys(dates.size(), kUnread), timeKeys(times.size(), kUnread);
    auto packedPart = [](const std::optional<SortKey>& key, bool day) -> qint64 {
        if (!key || !packable(*key)) return kNoKey;
        // Shared texts give days below 512, hours below 32 and minutes below
        // 64: 20 bits in all, two passes of the radix sort.
        if (key->day >= 512 || key->hour >= 32 || key->minute >= 64) return kNoKey;
        return day ? qint64(key->day) << 11 : qint64(key->hour) << 6 | qint64(key->minute);
    };
    std::vector<int> order;
    bool unreadable = false;
    std::vector<quint64> packed;
    packed.reserve(static_cast<size_t>(n));
    for (int r = 0; r < n && n <= 65536; ++r) {
        const int date = list.sharedDate(r);
        if (date < 0) break;
        const int time = list.sharedTime(r);
        qint64& day = dayKeys[static_cast<size_t>(date)];
        qint64& hourMinute = timeKeys[static_cast<size_t>(time)];
        if (day == kUnread || hourMinute == kUnread) {
            const std::optional<SortKey> key = sharedKey(r);
            day = packedPart(key, true);
            if (key) hourMinute = packedPart(key, false);
        }
        if (day == kNoKey || hourMinute < 0) break;
        quint64 key = quint64(day | hourMinute);
        if (!ascending) key = ~key & 0xFFFFFull;
        packed.push_back(key << 16 | quint64(r));
    }
    if (static_cast<int>(packed.size()) == n) {
        sortPacked(packed, 20);
        order.reserve(packed.size());
        for (quint64 k : packed) order.push_back(static_cast<int>(k & 0xFFFF));
    } else {
        packed = {};
        std::vector<std::optional<SortKey>> keys;
        keys.reserve(static_cast<size_t>(n));
        for (int r = 0; r < n; ++r) keys.push_back(sharedKey(r));
        order = sortedOrder(keys, ascending, unreadable);
    }
    bool moved = false;
    for (size_t i = 0; i < order.size(); ++i) moved = moved || order[i] != static_cast<int>(i);
    if (moved) list.reorderTexts(order);
    if (unreadable) {
        agenda.dialogs().notice(QStringLiteral("Data non valida"), MsgIcon::Critical, QString());
    }
}

#include "operations/sort.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "core/agenda.h"
#include "core/dates.h"
#include "core/listfiles.h"
#include "core/listmodel.h"
#include "core/numeric.h"
#include "operations/operations.h"

namespace {

double WholeNumber(QStringView text) {
    const double v = RoundHalfEven(NumericValue(text));
    // A NaN would break the ordering the sort relies on.
    return std::isnan(v) ? 0.0 : v;
}

// One or two decimal digits, the shape of nearly every stored day, month,
// hour and minute; the general readers handle everything else.
bool ShortNumber(QStringView text, int& value) {
    if (text.isEmpty() || text.size() > 2) return false;
    value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9') return false;
        value = value * 10 + (c.unicode() - u'0');
    }
    return true;
}

// The place of a day in the year, enough to order dates of one year.
constexpr int Ordinal(int month, int day) {
    return month * 32 + day;
}

std::optional<SortKey> KeyOfRow(const ListModel& list, int row, int year) {
    return ReadSortKey(list.text(row, ListModel::ColDate), list.text(row, ListModel::ColTime),
                       year);
}

}  // namespace

std::optional<DayMonth> ReadEntryDay(const QString& dateText, int year) {
    const QStringView text(dateText);
    const qsizetype slash = text.indexOf(u'/');
    int day = 0, month = 0;
    if (slash > 0 && ShortNumber(text.left(slash), day) &&
        ShortNumber(text.mid(slash + 1), month)) {
        if (!QDate::isValid(year, month, day)) return std::nullopt;
        return DayMonth{day, month};
    }
    return ParseDateText(dateText, year);
}

void ReadSortTime(const QString& timeText, double& hour, double& minute) {
    hour = 0;
    minute = 0;
    if (timeText.size() < 3) return;
    const QStringView view(timeText);
    int h = 0, m = 0;
    if (ShortNumber(view.left(view.size() - 3), h) && ShortNumber(view.right(2), m)) {
        hour = h;
        minute = m;
        return;
    }
    minute = WholeNumber(view.right(2));
    hour = WholeNumber(view.left(view.size() - 3));
}

std::optional<SortKey> ReadSortKey(const QString& dateText, const QString& timeText, int year) {
    const std::optional<DayMonth> day = ReadEntryDay(dateText, year);
    if (!day) return std::nullopt;
    SortKey key;
    key.day = Ordinal(day->month, day->day);
    ReadSortTime(timeText, key.hour, key.minute);
    return key;
}

std::optional<SortKey> ReadSortKey(const AgendaEntry& entry, int year) {
    return ReadSortKey(entry.date, entry.time, year);
}

bool IsLaterThanNext(const ListModel& list, int row, int year, bool& unreadable) {
    const auto a = KeyOfRow(list, row, year);
    const auto b = KeyOfRow(list, row + 1, year);
    if (!a || !b) {
        unreadable = true;
        return false;
    }
    return *a > *b;
}

bool IsEarlierThanNext(const ListModel& list, int row, int year, bool& unreadable) {
    const auto a = KeyOfRow(list, row, year);
    const auto b = KeyOfRow(list, row + 1, year);
    if (!a || !b) {
        unreadable = true;
        return false;
    }
    return *a < *b;
}

std::vector<int> SortedOrder(const std::vector<std::optional<SortKey>>& keys, bool ascending,
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
    // Keys of whole hours and minutes from 0 to 65535, which nearly every
    // row holds, are packed with the row number into one integer that sorts
    // the same way: day, hour, minute, then row (rows below 65536).
    auto packable = [](const SortKey& key) {
        auto small = [](double v) { return v >= 0 && v <= 65535 && v == std::floor(v); };
        return key.day >= 0 && key.day <= 65535 && small(key.hour) && small(key.minute);
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
                for (int r = start; r < i; ++r) {
                    const SortKey& k = *keys[static_cast<size_t>(r)];
                    quint64 key = quint64(k.day) << 32 | quint64(k.hour) << 16 | quint64(k.minute);
                    if (!ascending) key = ~key & 0xFFFFFFFFFFFFull;
                    packed.push_back(key << 16 | quint64(r));
                }
                std::sort(packed.begin(), packed.end());
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

void SortAppointments(Agenda& agenda) {
    ListModel& list = agenda.appointments();
    const int year = agenda.clock().year();
    // Rows that hold shared date and time texts take the keys of those
    // texts, each read once.
    std::vector<std::optional<DayMonth>> dates(static_cast<size_t>(sharedtexts::kDates));
    std::vector<bool> datesRead(dates.size());
    std::vector<std::pair<double, double>> times(static_cast<size_t>(sharedtexts::kTimes) + 1);
    std::vector<bool> timesRead(times.size());
    std::vector<std::optional<SortKey>> keys;
    keys.reserve(static_cast<size_t>(list.entryCount()));
    for (int r = 0; r < list.entryCount(); ++r) {
        const int date = list.sharedDate(r);
        if (date < 0) {
            keys.push_back(KeyOfRow(list, r, year));
            continue;
        }
        const auto d = static_cast<size_t>(date);
        if (!datesRead[d]) {
            dates[d] = ReadEntryDay(sharedtexts::date(date), year);
            datesRead[d] = true;
        }
        if (!dates[d]) {
            keys.push_back(std::nullopt);
            continue;
        }
        const auto t = static_cast<size_t>(list.sharedTime(r));
        if (!timesRead[t]) {
            ReadSortTime(t == 0 ? QString() : sharedtexts::time(static_cast<int>(t) - 1),
                         times[t].first, times[t].second);
            timesRead[t] = true;
        }
        keys.push_back(SortKey{Ordinal(dates[d]->month, dates[d]->day), times[t].first,
                               times[t].second});
    }

    bool unreadable = false;
    const std::vector<int> order = SortedOrder(keys, agenda.settings().SortAscending, unreadable);
    bool moved = false;
    for (size_t i = 0; i < order.size(); ++i) moved = moved || order[i] != static_cast<int>(i);
    if (moved) list.reorderTexts(order);
    if (unreadable) {
        agenda.dialogs().Notice(QStringLiteral("Data non valida"), MsgIcon::Critical, QString());
    }
}

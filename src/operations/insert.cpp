#include "operations/insert.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "core/agenda.h"
#include "core/agendaentry.h"
#include "core/dates.h"
#include "core/listmodel.h"
#include "core/listselection.h"
#include "operations/operations.h"

int insertionPlace(const ListModel& list, const QDate& newDate, bool ascending, int year) {
    for (int r = 0; r < list.entryCount(); ++r) {
        const std::optional<QDate> rowDate = entryDate(list.text(r, ListModel::ColDate), year);
        if (!rowDate) continue;
        const qint64 difference = newDate.daysTo(*rowDate);
        if (ascending ? difference >= 0 : difference < 0) return r;
    }
    return list.entryCount();
}

std::vector<ListModel::PlacedEntry> insertionPlaces(
    const ListModel& list, const QList<std::pair<QDate, AgendaEntry>>& entries, bool ascending,
    int year) {
    // The rows' dates seen so far, as Julian days: rising, the latest of
    // them; falling, the earliest. A new entry goes before the first row
    // whose date is on or after its own (rising) or before it (falling):
    // the first row where that running date passes it, found by halving.
    const int rows = list.entryCount();
    std::vector<qint64> running(static_cast<size_t>(rows));
    qint64 seen =
        ascending ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    for (int r = 0; r < rows; ++r) {
        if (const std::optional<QDate> d = entryDate(list.text(r, ListModel::ColDate), year))
            seen = ascending ? std::max(seen, d->toJulianDay()) : std::min(seen, d->toJulianDay());
        running[static_cast<size_t>(r)] = seen;
    }
    struct Pending {
        int row;
        qint64 day;
        qsizetype order;
    };
    std::vector<Pending> dated;
    std::vector<Pending> undated;  // no day this year: at the end, as appended
    // The latest (rising) or earliest (falling) day of the entries gone to
    // the end before each undated one.
    std::vector<qint64> boundOfUndated;
    qint64 endBound =
        ascending ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (!entries[i].first.isValid()) {
            undated.push_back({rows, 0, i});
            boundOfUndated.push_back(endBound);
            continue;
        }
        const qint64 day = entries[i].first.toJulianDay();
        const auto at = ascending ? std::lower_bound(running.cbegin(), running.cend(), day)
                                  : std::lower_bound(running.cbegin(), running.cend(), day,
                                                     [](qint64 row, qint64 d) { return row >= d; });
        dated.push_back({static_cast<int>(at - running.cbegin()), day, i});
        if (at == running.cend())
            endBound = ascending ? std::max(endBound, day) : std::min(endBound, day);
    }
    // Between two rows, the new entries end in date order; of two on the
    // same day, rising order puts the later one first (it goes before the
    // first entry on or after its day), falling order the earlier one.
    const auto before = [ascending](const Pending& a, const Pending& b) {
        if (a.row != b.row) return a.row < b.row;
        if (a.day != b.day) return ascending ? a.day < b.day : a.day > b.day;
        return ascending ? a.order > b.order : a.order < b.order;
    };
    std::sort(dated.begin(), dated.end(), before);
    // An undated entry never qualifies: an entry that came after it goes
    // before it only when an entry that came before it qualifies, that is,
    // on or before the latest day before it (rising), after the earliest
    // one (falling).
    std::vector<ListModel::PlacedEntry> placed;
    placed.reserve(dated.size() + undated.size());
    auto next = dated.cbegin();
    for (size_t u = 0; u < undated.size(); ++u) {
        const qint64 bound = boundOfUndated[u];
        const auto goesBefore = [&](const Pending& p) {
            if (p.row < rows) return true;
            if (ascending) return p.day <= bound;
            return p.day > bound || (p.day == bound && p.order < undated[u].order);
        };
        for (; next != dated.cend() && goesBefore(*next); ++next)
            placed.push_back({next->row, entries[next->order].second});
        placed.push_back({rows, entries[undated[u].order].second});
    }
    for (; next != dated.cend(); ++next) placed.push_back({next->row, entries[next->order].second});
    return placed;
}

namespace {

// Asks for the time until the answer reads as one or is left empty. Spaces
// around a valid answer are dropped: the sort cuts the text at its end.
QString askTime(Dialogs& dialogs) {
    for (;;) {
        const QString answer =
            dialogs.input(QString::fromUtf16(kTimePrompt), QString::fromUtf16(kTimeTitle), {});
        const QString trimmed = answer.trimmed();
        if (trimmed.isEmpty()) return {};
        if (parseTimeText(trimmed)) return trimmed;
        dialogs.notice(QStringLiteral("Orario non valido"), MsgIcon::Exclamation, QString());
    }
}

}  // namespace

void insertEntry(Agenda& agenda, ListSelection& shown, const QDate& calendarDate) {
    Dialogs& dialogs = agenda.dialogs();
    ListModel& list = shown.currentList();
    const ListTraits& traits = list.traits();
    const int year = agenda.clock().year();

    const QString dateText = formatDateText(calendarDate.day(), calendarDate.month());
    // Checked before anything is typed: 29 February of a common year would be
    // stored as a date no list can read back.
    const std::optional<QDate> newDate = entryDate(dateText, year);
    if (!newDate) {
        dialogs.notice(QStringLiteral("Data non valida"), MsgIcon::Critical, QString());
        return;
    }
    if (list.entryCount() >= ListModel::kMaxEntries) {
        dialogs.notice(QStringLiteral("Impossibile inserire: la lista contiene già %1 voci, "
                                      "il massimo consentito.")
                           .arg(ListModel::kMaxEntries),
                       MsgIcon::Exclamation, QString());
        return;
    }

    const QString typed = dialogs.input(QStringLiteral("Inserisci il MESSAGGIO"), std::nullopt,
                                        QString::fromUtf8(traits.defaultMessage));
    if (typed.isEmpty()) return;

    AgendaEntry entry;
    entry.date = dateText;
    entry.message = cleanCellText(typed);
    if (traits.hasTime) entry.time = askTime(dialogs);
    // The program ended while the boxes waited: their empty answers are no
    // choice of the user's, and half an entry is never inserted.
    if (!agenda.isWriting()) return;

    const int place = insertionPlace(list, *newDate, agenda.settings().sortAscending, year);
    list.insertAt(place, entry);
    saveAll(agenda, &shown);
}

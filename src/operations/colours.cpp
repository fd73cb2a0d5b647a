#include "operations/colours.h"

#include <limits>
#include <vector>

#include "core/agenda.h"
#include "core/dates.h"
#include "core/listmodel.h"
#include "core/listrecords.h"
#include "operations/operations.h"
#include "operations/sort.h"

namespace {

// The tint of a row from its date and time; its message is read only for a
// past date, which it may mark "(ny)".
template <typename Message>
quint32 urgencyRgb(const QString& dateText, const QString& timeText, Message message,
                   const QDateTime& now) {
    const QDate today = now.date();
    const std::optional<DayMonth> date = readEntryDay(dateText, today.year());
    if (!date) return urgency::kWhite;

    const qint64 days = today.daysTo(QDate(today.year(), date->month, date->day));
    if (days < 0) {
        return message().contains(kNotYearlyMark) ? urgency::kWhite : urgency::kLightRed;
    }
    if (days == 1) return urgency::kLightGreen;
    if (days > 1) return urgency::kWhite;

    // Today. Texts shorter than 4 characters (9:5) are no time at all.
    if (timeText.size() < 4) return urgency::kLightYellow;
    const std::optional<QTime> time = parseTimeText(timeText);
    if (!time) return urgency::kLightYellow;
    const int rowMinutes = time->hour() * 60 + time->minute();
    const int nowMinutes = now.time().hour() * 60 + now.time().minute();
    return rowMinutes - nowMinutes < 1 ? urgency::kLightRed : urgency::kLightYellow;
}

}  // namespace

quint32 urgencyColour(const AgendaEntry& entry, const QDateTime& now) {
    return urgencyRgb(
        entry.date, entry.time, [&] { return entry.message; }, now);
}

void paintUrgencyColours(Agenda& agenda) {
    ListModel& list = agenda.appointments();
    const QDateTime now = agenda.clock().now();
    // Rows that hold a shared date text take that text's distance from
    // today, read once; only today's rows need their time.
    constexpr qint64 kUnread = std::numeric_limits<qint64>::min(), kNoDay = kUnread + 1;
    std::vector<qint64> daysAhead(static_cast<size_t>(sharedtexts::kDates), kUnread);
    std::vector<quint32> colours;
    colours.reserve(static_cast<size_t>(list.entryCount()));
    for (int r = 0; r < list.entryCount(); ++r) {
        const int date = list.sharedDate(r);
        qint64 days = kUnread;
        if (date >= 0) {
            qint64& known = daysAhead[static_cast<size_t>(date)];
            if (known == kUnread) {
                const auto dm = readEntryDay(sharedtexts::date(date), now.date().year());
                known =
                    dm ? now.date().daysTo(QDate(now.date().year(), dm->month, dm->day)) : kNoDay;
            }
            days = known;
        }
        quint32 colour = urgency::kWhite;
        if (days == kNoDay || days > 1) {
            colour = urgency::kWhite;
        } else if (days == 1) {
            colour = urgency::kLightGreen;
        } else if (days < 0 && days != kUnread) {
            colour = list.markedNotYearly(r) ? urgency::kWhite : urgency::kLightRed;
        } else {
            colour = urgencyRgb(
                list.text(r, ListModel::ColDate), list.text(r, ListModel::ColTime),
                [&] { return list.text(r, ListModel::ColMessage); }, now);
        }
        colours.push_back(colour);
    }
    // All rows in one go, leaving the current cell and the selection alone: the
    // row commands act on the row the user chose, not on the last one painted.
    list.paintRows(colours);
}

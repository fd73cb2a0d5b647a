#include "operations/colours.h"

#include <vector>

#include "core/agenda.h"
#include "core/dates.h"
#include "core/listmodel.h"
#include "operations/operations.h"
#include "operations/sort.h"

QRgb UrgencyColour(const AgendaEntry& entry, const QDateTime& now) {
    const QDate today = now.date();
    const std::optional<DayMonth> date = ReadEntryDay(entry.date, today.year());
    if (!date) return urgency::kWhite;

    const qint64 days = today.daysTo(QDate(today.year(), date->month, date->day));
    if (days < 0) {
        return entry.message.contains(QStringLiteral("(ny)")) ? urgency::kWhite
                                                              : urgency::kLightRed;
    }
    if (days == 1) return urgency::kLightGreen;
    if (days > 1) return urgency::kWhite;

    // Today. Texts shorter than 4 characters (9:5) are no time at all.
    if (entry.time.size() < 4) return urgency::kLightYellow;
    const std::optional<QTime> time = ParseTimeText(entry.time);
    if (!time) return urgency::kLightYellow;
    const int rowMinutes = time->hour() * 60 + time->minute();
    const int nowMinutes = now.time().hour() * 60 + now.time().minute();
    return rowMinutes - nowMinutes < 1 ? urgency::kLightRed : urgency::kLightYellow;
}

void PaintUrgencyColours(Agenda& agenda) {
    ListModel& list = agenda.appointments();
    const QDateTime now = agenda.clock().now();
    std::vector<QColor> colours;
    colours.reserve(static_cast<size_t>(list.entryCount()));
    for (int r = 0; r < list.entryCount(); ++r) {
        colours.emplace_back(QColor::fromRgb(UrgencyColour(list.entry(r), now)));
    }
    // All rows in one go, leaving the current cell and the selection alone: the
    // row commands act on the row the user chose, not on the last one painted.
    list.paintRows(colours);
}

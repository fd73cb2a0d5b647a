#include "notify/logic/digest.h"

#include <algorithm>
#include <array>
#include <limits>

#include "core/dates.h"
#include "core/dayname.h"
#include "core/fileio.h"
#include "core/settings.h"

const QStringList& ReminderLists::linesOf(ListKind kind) const {
    switch (kind) {
        case ListKind::Appointments:
            return appointments;
        case ListKind::Deadlines:
            return deadlines;
        case ListKind::Anniversaries:
            break;
    }
    return anniversaries;
}

QString reminderLabel(int daysAhead, const QDate& date) {
    if (daysAhead == 0) return QStringLiteral("Oggi ");
    if (daysAhead == 1) return QStringLiteral("Domani ");
    return dayName(weekdayNumber(date.dayOfWeek()));
}

QString reminderLine(int daysAhead, const QDate& date, const QString& message,
                     const QString& timeText) {
    QString text = message;
    if (!timeText.isEmpty()) text += QStringLiteral("   Ore ") + timeText;
    return reminderLabel(daysAhead, date) + QLatin1Char(' ') + text;
}

namespace {

// Which records fall due from `today` to `noticeDays` days ahead, and
// adds their lines; each record's whole text is read only when it is due.
class DueLines {
  public:
    DueLines(ListKind kind, const QDate& today, int noticeDays)
        : kind_(kind), today_(today), notice_(noticeDays) {}

    template <typename Record>
    void add(qint16 day, qint16 month, Record record) {
        // The shared date texts are "d/m" as stored: each one's distance
        // from today is worked out once. Any other date goes through its
        // text, as the grid would show it.
        const int shared = sharedtexts::dateIndex(day, month);
        qint64 daysAhead = kNoDay;
        if (shared >= 0) {
            qint64& known = sharedDays_[static_cast<size_t>(shared)];
            if (known == kUnread) known = distance(entryDate(sharedtexts::date(shared), year()));
            daysAhead = known;
        } else {
            ListRecord dateOnly;
            dateOnly.day = day;
            dateOnly.month = month;
            daysAhead = distance(entryDate(recordDateText(dateOnly), year()));
        }
        // No day of this year, or outside the notice: nothing is due.
        if (daysAhead == kNoDay || daysAhead < 0 || daysAhead > notice_) return;
        const ListRecord& full = record();
        lines << reminderLine(static_cast<int>(daysAhead), today_.addDays(daysAhead), full.message,
                              listTraits(kind_).hasTime ? full.time : QString());
    }

    QStringList lines;

  private:
    static constexpr qint64 kUnread = std::numeric_limits<qint64>::min(), kNoDay = kUnread + 1;
    int year() const { return today_.year(); }
    qint64 distance(const std::optional<QDate>& date) const {
        return date ? today_.daysTo(*date) : kNoDay;
    }

    ListKind kind_;
    QDate today_;
    int notice_;
    std::array<qint64, sharedtexts::kDates> sharedDays_ = [] {
        std::array<qint64, sharedtexts::kDates> days;
        days.fill(kUnread);
        return days;
    }();
};

// The lines of one list file, read record by record: only due records are
// decoded, and nothing of the file is kept.
QStringList gatherFileLines(const QDir& folder, ListKind kind, const QDate& today, int noticeDays) {
    const auto bytes = readWholeFile(folder.filePath(listFileName(kind)));
    if (!bytes) return {};
    DueLines due(kind, today, noticeDays);
    forEachRecord(*bytes, kind, [&](const RawRecord& raw) {
        due.add(raw.day, raw.month, [&] { return raw.decode(); });
    });
    return due.lines;
}

}  // namespace

QStringList gatherListLines(const QList<ListRecord>& records, ListKind kind, const QDate& today,
                            int noticeDays) {
    DueLines due(kind, today, noticeDays);
    for (const ListRecord& record : records)
        due.add(record.day, record.month, [&]() -> const ListRecord& { return record; });
    return due.lines;
}

ReminderLists gatherReminders(const QList<ListRecord>& deadlines,
                              const QList<ListRecord>& appointments,
                              const QList<ListRecord>& anniversaries, const QDate& today,
                              const Settings& settings) {
    const int days = settings.daysOfNotice;
    ReminderLists lists;
    lists.deadlines = gatherListLines(deadlines, ListKind::Deadlines, today, days);
    lists.appointments = gatherListLines(appointments, ListKind::Appointments, today, days);
    lists.anniversaries = gatherListLines(anniversaries, ListKind::Anniversaries, today, days);
    return lists;
}

ReminderLists gatherRemindersFromFiles(const QDir& folder, const QDate& today,
                                       const Settings& settings) {
    const int days = settings.daysOfNotice;
    ReminderLists lists;
    lists.deadlines = gatherFileLines(folder, ListKind::Deadlines, today, days);
    lists.appointments = gatherFileLines(folder, ListKind::Appointments, today, days);
    lists.anniversaries = gatherFileLines(folder, ListKind::Anniversaries, today, days);
    return lists;
}

QList<ReminderSection> orderForPresentation(const ReminderLists& lists, bool sortAscending) {
    QList<ReminderSection> sections;
    for (ListKind kind : {ListKind::Anniversaries, ListKind::Deadlines, ListKind::Appointments}) {
        QStringList lines = lists.linesOf(kind);
        if (lines.isEmpty()) continue;
        if (!sortAscending) std::reverse(lines.begin(), lines.end());
        sections.append({kind, lines});
    }
    return sections;
}

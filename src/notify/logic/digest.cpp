#include "notify/logic/digest.h"

#include <algorithm>

#include "core/dates.h"
#include "core/dayname.h"
#include "core/settings.h"

const QStringList& ReminderLists::linesOf(ListKind kind) const {
    switch (kind) {
        case ListKind::Appuntamenti:
            return ComboMess2;
        case ListKind::Scadenze:
            return ComboMess;
        case ListKind::Ricorrenze:
            break;
    }
    return ComboMess3;
}

QString ReminderLabel(int daysAhead, const QDate& date) {
    if (daysAhead == 0) return QStringLiteral("Oggi ");
    if (daysAhead == 1) return QStringLiteral("Domani ");
    return DayName(WeekdayNumber(date.dayOfWeek()));
}

QString ReminderLine(int daysAhead, const QDate& date, const QString& message,
                     const QString& timeText) {
    QString text = message;
    if (!timeText.isEmpty()) text += QStringLiteral("   Ore ") + timeText;
    return ReminderLabel(daysAhead, date) + QLatin1Char(' ') + text;
}

QStringList GatherListLines(const QList<ListRecord>& records, ListKind kind, const QDate& today,
                            int giorniPreavviso) {
    QStringList lines;
    const bool withTime = Traits(kind).hasTime;
    for (const ListRecord& record : records) {
        const std::optional<QDate> date = EntryDate(RecordDateText(record), today.year());
        if (!date) continue;  // no day of this year: nothing can be due
        const qint64 daysAhead = today.daysTo(*date);
        if (daysAhead < 0 || daysAhead > giorniPreavviso) continue;
        lines << ReminderLine(static_cast<int>(daysAhead), *date, record.message,
                              withTime ? record.time : QString());
    }
    return lines;
}

ReminderLists GatherReminders(const QList<ListRecord>& deadlines,
                              const QList<ListRecord>& appointments,
                              const QList<ListRecord>& anniversaries, const QDate& today,
                              const Settings& settings) {
    const int days = settings.GiorniPreavviso;
    ReminderLists lists;
    lists.ComboMess = GatherListLines(deadlines, ListKind::Scadenze, today, days);
    lists.ComboMess2 = GatherListLines(appointments, ListKind::Appuntamenti, today, days);
    lists.ComboMess3 = GatherListLines(anniversaries, ListKind::Ricorrenze, today, days);
    return lists;
}

ReminderLists GatherRemindersFromFiles(const QDate& today, const Settings& settings) {
    return GatherReminders(ReadListFile(ListKind::Scadenze), ReadListFile(ListKind::Appuntamenti),
                           ReadListFile(ListKind::Ricorrenze), today, settings);
}

QList<ReminderSection> PresentationOrder(const ReminderLists& lists, bool sortAscending) {
    QList<ReminderSection> sections;
    for (ListKind kind : {ListKind::Ricorrenze, ListKind::Scadenze, ListKind::Appuntamenti}) {
        QStringList lines = lists.linesOf(kind);
        if (lines.isEmpty()) continue;
        if (!sortAscending) std::reverse(lines.begin(), lines.end());
        sections.append({kind, lines});
    }
    return sections;
}

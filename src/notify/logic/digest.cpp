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

namespace {

// Adds the line of a record when its day falls due; `record` gives the whole
// record, read only then.
template <typename Record>
void AddLineIfDue(QStringList& lines, qint16 day, qint16 month, Record record, ListKind kind,
                  const QDate& today, int giorniPreavviso) {
    // The shared date texts are "d/m" as stored: their date is read here;
    // any other goes through the text, as the grid would show it.
    std::optional<QDate> date;
    if (sharedtexts::dateIndex(day, month) >= 0) {
        if (QDate::isValid(today.year(), month, day)) date = QDate(today.year(), month, day);
    } else {
        ListRecord dateOnly;
        dateOnly.day = day;
        dateOnly.month = month;
        date = EntryDate(RecordDateText(dateOnly), today.year());
    }
    if (!date) return;  // no day of this year: nothing can be due
    const qint64 daysAhead = today.daysTo(*date);
    if (daysAhead < 0 || daysAhead > giorniPreavviso) return;
    const ListRecord& full = record();
    lines << ReminderLine(static_cast<int>(daysAhead), *date, full.message,
                          Traits(kind).hasTime ? full.time : QString());
}

// The lines of one list file, read record by record: only due records are
// decoded, and nothing of the file is kept.
QStringList GatherFileLines(ListKind kind, const QDate& today, int giorniPreavviso) {
    QStringList lines;
    QByteArray bytes;
    if (ReadWholeFile(QString::fromLatin1(Traits(kind).fileName), bytes)) return lines;
    ForEachRecord(bytes, kind, [&](const RawRecord& raw) {
        AddLineIfDue(lines, raw.day, raw.month, [&] { return raw.decode(); }, kind, today,
                     giorniPreavviso);
    });
    return lines;
}

}  // namespace

QStringList GatherListLines(const QList<ListRecord>& records, ListKind kind, const QDate& today,
                            int giorniPreavviso) {
    QStringList lines;
    for (const ListRecord& record : records)
        AddLineIfDue(lines, record.day, record.month, [&]() -> const ListRecord& { return record; },
                     kind, today, giorniPreavviso);
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
    const int days = settings.GiorniPreavviso;
    ReminderLists lists;
    lists.ComboMess = GatherFileLines(ListKind::Scadenze, today, days);
    lists.ComboMess2 = GatherFileLines(ListKind::Appuntamenti, today, days);
    lists.ComboMess3 = GatherFileLines(ListKind::Ricorrenze, today, days);
    return lists;
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

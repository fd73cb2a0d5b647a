#include "notify/logic/alarm.h"

#include <algorithm>
#include <climits>

#include "core/dates.h"
#include "core/fileio.h"
#include "core/listkind.h"
#include "core/win1252.h"

bool timeRingsAt(const QString& timeText, const QTime& minute) {
    const std::optional<QTime> t = parseTimeText(timeText);
    return t && t->hour() == minute.hour() && t->minute() == minute.minute();
}

QString alarmLine(const Alarm& alarm, const QDateTime& shownAt) {
    const WallMinute due = WallMinute::of(alarm.at);
    const WallMinute now = WallMinute::of(shownAt);
    if (alarm.kind == AlarmKind::Warning) {
        const qint64 toGo = std::max<qint64>(0, due.index() - now.index());
        return QStringLiteral("Tra %1 %2 (ore %3): %4")
            .arg(toGo)
            .arg(toGo == 1 ? QStringLiteral("minuto") : QStringLiteral("minuti"),
                 formatTimeText(alarm.at.time()), alarm.message);
    }
    // Wall-clock seconds, so that a clock change between the two moments does
    // not make a line on time look late.
    const qint64 dueSecs =
        alarm.kind == AlarmKind::Snoozed ? wallSeconds(alarm.at) : due.index() * 60;
    if (wallSeconds(shownAt) - dueSecs <= 60) return alarm.message;
    return QStringLiteral("(ore %1) %2").arg(formatTimeText(alarm.at.time()), alarm.message);
}

namespace {

// The minute of the day of a shared time text, from its index.
int sharedTimeMinute(int sharedTime) {
    return (sharedTime - 1) % (24 * 60);
}

}  // namespace

void AlarmIndex::add(int month, int day, int minuteOfDay, qsizetype start, qsizetype size) {
    // The entry date of "day/month" in this year, checked on the numbers
    // instead of a built text: the check after a save stays quick.
    if (day <= 0 || month <= 0 || !QDate::isValid(year_, month, day)) return;
    const int dayOfYear = QDate(year_, month, day).dayOfYear();
    due_.push_back({(dayOfYear - 1) * 1440 + minuteOfDay, start, size});
}

void AlarmIndex::sort() {
    std::stable_sort(due_.begin(), due_.end(), [](const Entry& a, const Entry& b) {
        return a.minuteOfYear < b.minuteOfYear;
    });
}

AlarmIndex::AlarmIndex(const QList<ListRecord>& appointments, int year)
    : year_(year), firstIndex_(WallMinute{QDate(year, 1, 1), 0}.index()) {
    for (const ListRecord& record : appointments) {
        if (record.time.isEmpty()) continue;
        const std::optional<QTime> time = parseTimeText(record.time);
        if (!time) continue;
        add(record.month, record.day, time->hour() * 60 + time->minute(), messages_.size(), -1);
        messages_ << record.message;
    }
    sort();
}

AlarmIndex::AlarmIndex(const QByteArray& content, int year)
    : year_(year), firstIndex_(WallMinute{QDate(year, 1, 1), 0}.index()), content_(content) {
    due_.reserve(recordCountEstimate(content));
    forEachRecord(content_, ListKind::Appointments, [this](const RawRecord& raw) {
        const int shared = raw.sharedTime();
        if (shared == 0 || raw.day <= 0 || raw.month <= 0) return;
        qsizetype start = 0, size = 0;
        if (shared > 0 && raw.plainMessage(start, size)) {
            add(raw.month, raw.day, sharedTimeMinute(shared), start, size);
            return;
        }
        // A time written otherwise, or a message that reads cleaned: the
        // record as the list reads it.
        const ListRecord record = raw.decode();
        const std::optional<QTime> time = parseTimeText(record.time);
        if (!time) return;
        add(record.month, record.day, time->hour() * 60 + time->minute(), messages_.size(), -1);
        messages_ << record.message;
    });
    due_.shrink_to_fit();
    sort();
}

QString AlarmIndex::messageOf(const Entry& entry) const {
    if (entry.size < 0) return messages_[entry.start];
    return win1252::decode(content_.constData() + entry.start, entry.size);
}

void AlarmIndex::collectBetween(qint64 first, qint64 last, QList<Due>& out) const {
    const qint64 from = std::max<qint64>(first - firstIndex_, 0);
    const qint64 to = std::min<qint64>(last - firstIndex_, INT_MAX);
    if (from > to) return;
    auto it = std::lower_bound(due_.begin(), due_.end(), from,
                               [](const Entry& e, qint64 m) { return e.minuteOfYear < m; });
    for (; it != due_.end() && it->minuteOfYear <= to; ++it)
        out.append({firstIndex_ + it->minuteOfYear, messageOf(*it)});
}

QStringList AlarmIndex::messagesAt(const QDate& day, const QTime& minute) const {
    QStringList out;
    if (day.year() != year_ || !minute.isValid()) return out;
    const qint64 at = WallMinute{day, minute.hour() * 60 + minute.minute()}.index();
    QList<Due> due;
    collectBetween(at, at, due);
    for (const Due& d : due) out << d.message;
    return out;
}

QStringList dueAlarms(const QList<ListRecord>& appointments, const QDate& day,
                      const QTime& minute) {
    return AlarmIndex(appointments, day.year()).messagesAt(day, minute);
}

bool AppointmentFileCache::refresh() {
    // A missing or unreadable file holds no appointments.
    QByteArray now = readWholeFile(path_).value_or(QByteArray());
    if (valid_ && now == bytes_) return false;
    bytes_ = std::move(now);
    valid_ = true;
    ++loads_;
    indexes_.clear();
    return true;
}

const AlarmIndex& AppointmentFileCache::indexFor(int year) {
    if (!valid_) refresh();
    for (const AlarmIndex& index : indexes_)
        if (index.year() == year) return index;
    // A clock that wanders over many years keeps only the latest few.
    if (indexes_.size() >= 3) indexes_.erase(indexes_.begin());
    indexes_.emplace_back(bytes_, year);
    return indexes_.back();
}

QList<AlarmIndex::Due> AppointmentFileCache::between(qint64 first, qint64 last) {
    QList<AlarmIndex::Due> out;
    if (first > last) return out;
    const int firstYear = WallMinute::fromIndex(first).day.year();
    const int lastYear = WallMinute::fromIndex(last).day.year();
    for (int year = firstYear; year <= lastYear && year - firstYear < 3; ++year)
        indexFor(year).collectBetween(first, last, out);
    return out;
}

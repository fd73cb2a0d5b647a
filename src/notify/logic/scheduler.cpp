#include "notify/logic/scheduler.h"

namespace {

MinuteScheduler::Minute minuteOf(const QDateTime& t) {
    return {t.date(), QTime(t.time().hour(), t.time().minute())};
}

int minuteOfDay(const QTime& t) {
    return t.hour() * 60 + t.minute();
}

QString alarmKey(const QTime& minute, const QString& message) {
    return QString::number(minuteOfDay(minute)) + QLatin1Char('|') + message;
}

}  // namespace

void MinuteScheduler::Seed(const QDateTime& now) {
    last_ = minuteOf(now);
}

bool MinuteScheduler::CheckDue(const QDateTime& now) const {
    return !(minuteOf(now) == last_);
}

QList<MinuteScheduler::Minute> MinuteScheduler::MinutesToCheck(const QDateTime& now) {
    QList<Minute> out;
    const Minute current = minuteOf(now);
    if (!current.day.isValid()) return out;
    if (!seeded()) {
        last_ = current;
        return out;
    }
    if (current == last_) return out;

    const bool later =
        current.day > last_.day || (current.day == last_.day && current.time > last_.time);
    if (later) {
        // Within the day: the minutes after the last checked one. A later
        // day: the days before are past and do not ring, but today's minutes
        // that went by while the machine slept are caught up.
        const int from = current.day == last_.day ? minuteOfDay(last_.time) + 1 : 0;
        const int to = minuteOfDay(current.time);
        for (int m = from; m <= to; ++m) out.append({current.day, QTime(m / 60, m % 60)});
        if (current.day > last_.day) {
            // Yesterday's record stays, for a clock set back over midnight.
            const qint64 today = current.day.toJulianDay();
            rung_.removeIf([today](const auto& day) { return day.key() < today - 1; });
        }
    } else {
        // The clock was set back: the minute it shows now is reached again,
        // and so is every later one as the clock gets there; what already
        // rang is kept from ringing twice.
        out.append(current);
    }
    last_ = current;
    return out;
}

QStringList MinuteScheduler::TakeNotYetRung(const Minute& minute, const QStringList& due) {
    QStringList out;
    if (due.isEmpty()) return out;
    QSet<QString>& rungToday = rung_[minute.day.toJulianDay()];
    QSet<QString> ringingNow;
    for (const QString& message : due) {
        const QString key = alarmKey(minute.time, message);
        if (rungToday.contains(key) && !ringingNow.contains(key)) continue;
        ringingNow.insert(key);
        out << message;
    }
    rungToday.unite(ringingNow);
    return out;
}

int MinuteScheduler::MsecsToNextMinute(const QDateTime& now) {
    const QTime t = now.time();
    const int intoMinute = t.second() * 1000 + t.msec();
    // A little past the boundary, so the tick reads the new minute even when
    // the timer fires a few milliseconds early.
    return 60000 - intoMinute + 20;
}

#include "notify/logic/scheduler.h"

namespace {

MinuteScheduler::Minute minuteOf(const QDateTime& t) {
    return {t.date(), QTime(t.time().hour(), t.time().minute())};
}

int minuteOfDay(const QTime& t) {
    return t.hour() * 60 + t.minute();
}

}  // namespace

void MinuteScheduler::Seed(const QDateTime& now) {
    last_ = minuteOf(now);
}

QList<MinuteScheduler::Minute> MinuteScheduler::MinutesToCheck(const QDateTime& now) {
    QList<Minute> out;
    const Minute current = minuteOf(now);
    if (!current.day.isValid()) return out;
    if (!seeded()) {
        last_ = current;
        return out;
    }
    if (current.day < last_.day) {
        // The date itself was set back: the minutes of that earlier day
        // cannot be told apart from ones already checked, and waiting for the
        // clock to reach the old date again would silence every alarm until
        // then. Start over from here, as a fresh start would.
        last_ = current;
        return out;
    }
    // Same day: what lies at or before the last checked minute was checked
    // already, also when the clock went back. A later day: the minutes of
    // the days before are past and do not ring, but today's minutes that went
    // by while the tick was late or the machine slept are caught up.
    const int from = current.day == last_.day ? minuteOfDay(last_.time) + 1 : 0;
    const int to = minuteOfDay(current.time);
    for (int m = from; m <= to; ++m) out.append({current.day, QTime(m / 60, m % 60)});
    if (current.day > last_.day || to > minuteOfDay(last_.time)) last_ = current;
    return out;
}

int MinuteScheduler::MsecsToNextMinute(const QDateTime& now) {
    const QTime t = now.time();
    const int intoMinute = t.second() * 1000 + t.msec();
    // A little past the boundary, so the tick reads the new minute even when
    // the timer fires a few milliseconds early.
    return 60000 - intoMinute + 20;
}

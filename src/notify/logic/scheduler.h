#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QTime>

// Decides which clock minutes the alarm check looks at, so that every minute
// that passes while the program runs is checked exactly once and in order,
// whatever the timer does: a tick that comes late, a clock set forward, or a
// machine waking from sleep catches up the minutes it missed in the same day.
// The minute the program started in, and minutes of days before today, are
// never checked; a clock set back never has a minute checked twice.
class MinuteScheduler {
  public:
    struct Minute {
        QDate day;
        QTime time;  // whole minute, seconds 0
        friend bool operator==(const Minute&, const Minute&) = default;
    };

    // The minute of `now` counts as already checked: alarms begin with the
    // next one.
    void Seed(const QDateTime& now);
    bool seeded() const { return last_.day.isValid(); }
    Minute lastChecked() const { return last_; }

    // The minutes to check now, oldest first, and marks them as checked.
    // Empty when the current minute has already been checked.
    QList<Minute> MinutesToCheck(const QDateTime& now);

    // Milliseconds from `now` to just after the start of the next clock
    // minute, where the next check belongs.
    static int MsecsToNextMinute(const QDateTime& now);

  private:
    Minute last_;
};

#pragma once

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTime>

// Decides which clock minutes the alarm check looks at, and remembers which
// alarms have rung, so that every appointment rings when the wall clock
// reaches its minute while the program runs, and at most once a day,
// whatever the clock does:
// - a tick that comes late, a clock set forward or a machine waking from
//   sleep catches up the minutes it skipped in the same day, in order;
// - a clock set back opens the minutes from the new time on again: each rings
//   when reached, unless its alarm already rang that day (the hour an autumn
//   clock change repeats rings once);
// - the minute the program starts in, and what lies before it, never ring;
// - a new day starts afresh from its first minute.
// An alarm is its day, minute and message: two identical records of one
// minute ring together, and a second time never.
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

    // True when the wall-clock minute of `now` is not the one checked last:
    // a check is due. Costs a comparison, so a one-second tick may ask.
    bool CheckDue(const QDateTime& now) const;

    // The minutes to check now, oldest first, and marks them as checked.
    // Empty when the current minute has already been checked.
    QList<Minute> MinutesToCheck(const QDateTime& now);

    // Of the messages due at `minute` (in file order), those whose alarm has
    // not rung yet that day; they are recorded as rung.
    QStringList TakeNotYetRung(const Minute& minute, const QStringList& due);

    // Milliseconds from `now` to just after the start of the next clock
    // minute, where the next check belongs.
    static int MsecsToNextMinute(const QDateTime& now);

  private:
    Minute last_;
    // What rang, by day (Julian day number): minute of the day and message.
    // Only today's and yesterday's are kept, for a clock set back over midnight.
    QHash<qint64, QSet<QString>> rung_;
};

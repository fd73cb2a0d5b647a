#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include "notify/logic/alarm.h"

class Clock;
class QTimer;

// Decides which alarms are due, from the saved appointments and the wall
// clock, and hands them over with alarmsDue() to whatever shows them. It
// rings every alarm once, whatever the clock does:
// - each clock minute it looks at the appointments of that minute; a check
//   that comes late (a tick delayed, a machine waking from sleep, a clock set
//   forward) rings every minute it skipped, in order and across days, when
//   the gap is at most a day; after a longer gap, today's minutes up to now;
// - a clock set back opens the minutes from the new time on again, but what
//   already rang stays rung; after a date set back, what rang on the days
//   after the new day is forgotten, so it rings again on its real day;
// - the minute the engine starts in, and what lies before it, never ring
//   (an appointment saved for that minute afterwards does), nor do the
//   warnings whose minute has come by then;
// - when the appointments file changes (a save of the program, seen at once,
//   or another program's, seen within a second) the current minute is looked
//   at again, so an appointment saved for now rings now;
// - with warning minutes set, each appointment also warns that many minutes
//   before its minute; a warning missed in a sleep rings on waking while the
//   appointment is still ahead, and not at all once it is due;
// - snoozed alarms ring again when their moment comes on the wall clock.
// Snoozes are kept in a file of their own, so they outlive the program.
class AlarmEngine : public QObject {
    Q_OBJECT
  public:
    // Reads the appointments file `appointmentsFile` (a full path). Nothing
    // it holds at or before the current minute of `clock` rings, nor any
    // warning due by then (the warning minutes set before the first check
    // count).
    AlarmEngine(const Clock& clock, const QString& appointmentsFile, QObject* parent = nullptr);
    ~AlarmEngine() override;

    // Minutes of warning before each appointment; 0 (the default) for none.
    void setWarningMinutes(int minutes);
    int warningMinutes() const { return warningMinutes_; }

    // Where pending snoozes are kept, and
    // loads the ones it holds. An unreadable or damaged file is set aside
    // (renamed with ".danneggiato") with a line on standard error; the
    // records that could be read are kept. An empty name keeps them in memory.
    void setSnoozeFile(const QString& fileName);
    // Stops writing the snooze file (the program ends).
    void stopWriting() { writing_ = false; }

    // Starts the timers and checks at once.
    void start();
    void stop();
    bool isRunning() const { return running_; }

    // The alarm check, now (also when the timers are not running).
    void check();
    // The one-second look: checks when the wall-clock minute is not the one
    // checked last (after a sleep or a clock step the minute timer, which
    // counts on the monotonic clock, would come late), when a snooze came
    // due, or when the appointments file changed on disk.
    void poll();
    // The program wrote the appointments file: the current minute is looked
    // at again as soon as the event loop runs.
    void appointmentsSaved();

    // Rings `alarms` again, as snoozed alarms, when `minutes` have passed on
    // the wall clock.
    void snooze(const QList<Alarm>& alarms, int minutes);

    QTimer* minuteTimer() const { return minuteTimer_; }
    // Milliseconds from `now` to just after the start of the next clock
    // minute, where the next check belongs.
    static int msecsToNextMinute(const QDateTime& now);

  Q_SIGNALS:
    // Alarms to show now, in this order: due ones by time and file order,
    // snoozed ones, then warnings.
    void alarmsDue(const QList<Alarm>& alarms);

  private:
    struct FileStamp {
        qint64 size = -1;
        qint64 modified = 0;
        qint64 changed = 0;
        friend bool operator==(const FileStamp&, const FileStamp&) = default;
    };
    static FileStamp stampOf(const QString& fileName);
    void forgetAcrossDays(const WallMinute& now);
    void takeIfNotRung(const Alarm& alarm, qint64 day, QSet<QString>& ringingNow,
                       QList<Alarm>& out);
    bool snoozeDue(const QDateTime& now) const;
    void seedStartUpMinute();
    void loadSnoozes();
    void saveSnoozes();

    const Clock& clock_;
    AppointmentFileCache appointments_;
    QTimer* minuteTimer_;
    QTimer* pollTimer_;
    bool running_ = false;
    bool recheckQueued_ = false;
    bool writing_ = true;
    int warningMinutes_ = 0;

    // The last minute checked; at first the start-up minute.
    WallMinute last_;
    bool seeded_ = false;
    // What rang: the alarm's identity and the day (Julian) it rang on.
    QHash<QString, qint64> rung_;
    FileStamp stamp_;
    QList<Alarm> snoozes_;
    QString snoozeFile_;
};

// The snooze file: one record per line, the moment it rings again as
// "yyyy-MM-dd HH:mm:ss" in quotes, a comma and the message in quotes, CR LF.
QByteArray serializeSnoozes(const QList<Alarm>& snoozes);
// The snoozes that can be read; `damaged` is set when a record cannot.
QList<Alarm> parseSnoozes(const QByteArray& bytes, bool* damaged);

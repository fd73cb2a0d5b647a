#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <set>

#include "notify/logic/alarm.h"
#include "notify/logic/alarmengine.h"
#include "notify/soundplayer.h"

class Agenda;
class AlarmNotice;
class Clock;
class Dialogs;
class DesktopNotifications;
class AlarmWindow;

// The alarms: the engine that checks every clock minute which appointments
// fall due, the alarm window that rings them, and the desktop's notice that
// goes with the window. When the appointments are saved with a time of
// today or later that no alarm can read ("16:00Q"), a box says so, once per
// appointment: it would never ring.
class AlarmRinger : public QObject {
    Q_OBJECT
  public:
    // `notifications` may be null: alarms ring in the alarm window alone.
    AlarmRinger(Agenda& agenda, const Clock& clock, Dialogs& dialogs, SoundPlayerFactory makePlayer,
                DesktopNotifications* notifications, QObject* parent = nullptr);
    ~AlarmRinger() override;

    // Starts the engine, with the warning minutes of the settings and the
    // snoozes kept in kSnoozeFileName. Alarms begin with the minute after
    // the one it starts in.
    void start();
    // The warning minutes were changed: appointments ahead are warned of
    // at once where their warning is due.
    void setWarningMinutes(int minutes);
    // The alarm check, now: rings what fell due since the last check.
    void checkAlarms();
    // The test alarm: the alarm window with "Smack", "to", "ZOLE".
    void testAlarm();
    // The program ends: no further check, nothing more written, the window
    // closed and its notice withdrawn.
    void stop();

    // The alarm window while it is open, otherwise null.
    AlarmWindow* alarmWindow() const;
    // What decides which alarms ring, and when.
    AlarmEngine& engine() const { return *engine_; }

    // Where snoozes wait across runs of the program.
    static constexpr char kSnoozeFileName[] = "Ripeti.dat";

  Q_SIGNALS:
    // The alarm window is about to be shown: the main window comes in front
    // first, so the window is not left alone on the desktop.
    void aboutToRing();

  private:
    void raiseAlarms(const QList<Alarm>& alarms);
    AlarmWindow* loadAlarmWindow();
    void reportTimesThatCannotRing();

    Agenda& agenda_;
    const Clock& clock_;
    Dialogs& dialogs_;
    // The appointments already reported as never ringing.
    std::set<QString> reportedTimes_;
    SoundPlayerFactory makePlayer_;
    AlarmEngine* engine_;
    AlarmNotice* notice_;
    QPointer<AlarmWindow> window_;
};

#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "notify/logic/alarm.h"
#include "notify/logic/desktopnotifications.h"

// The desktop notice that goes with the alarm window. The window's lines are
// posted as one notice when it first shows them, the same notice is updated
// as lines are added, and it is withdrawn when the window is acknowledged or
// the program ends. A notice the user dismisses leaves the window ringing;
// the next line posts a fresh one. Its actions come back as requests:
// "default" (a click on the notice) to bring the window in front,
// "silenzia" to acknowledge it as a click on its text does, "ripeti" to
// snooze it for 10 minutes.
class AlarmNotice : public QObject {
    Q_OBJECT
  public:
    // `service` may be null: no notices at all.
    explicit AlarmNotice(DesktopNotifications* service, QObject* parent = nullptr);

    // The alarm window now shows `lines`, one per alarm of `alarms`.
    void show(const QList<Alarm>& alarms, const QStringList& lines);
    // The alarm window was acknowledged, or the program ends.
    void withdraw();
    bool isStanding() const { return handle_ != 0; }

    // "Ricordel - ore H:MM" (the time of the first alarm) over the lines,
    // at most kMaxLines of them, with the three actions; critical while a due
    // alarm is among them, normal for warnings alone.
    static DesktopNotice noticeFor(const QList<Alarm>& alarms, const QStringList& lines);
    static constexpr int kMaxLines = 20;
    static constexpr int kSnoozeMinutes = 10;

  Q_SIGNALS:
    void bringToFrontRequested();
    void acknowledgeRequested();
    void snoozeRequested(int minutes);

  private:
    void onAction(int handle, const QString& key);
    void onClosed(int handle);

    QPointer<DesktopNotifications> service_;
    int handle_ = 0;
};

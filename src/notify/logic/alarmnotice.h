#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTime>

#include "notify/logic/desktopnotifications.h"

class Clock;

// The desktop notice that goes with the alarm window. The window's lines are
// posted as one notice when it first shows them, the same notice is updated
// as lines are added, and it is withdrawn when the window is acknowledged or
// the program ends. A notice the user dismisses leaves the window ringing;
// the next line posts a fresh one. Its two actions come back as requests:
// "default" (a click on the notice) to bring the window in front,
// "silenzia" to acknowledge it as a click on its text does.
class AlarmNotice : public QObject {
    Q_OBJECT
  public:
    // `service` may be null: no notices at all.
    AlarmNotice(DesktopNotifications* service, const Clock& clock, QObject* parent = nullptr);

    // The alarm window now shows `text`, its lines separated by CR LF.
    void TextChanged(const QString& text);
    // The alarm window was acknowledged, or the program ends.
    void Withdraw();
    bool isStanding() const { return handle_ != 0; }

    // "Ricordel - ore H:MM" over the window's lines, with the two actions.
    static DesktopNotice NoticeFor(const QString& text, const QTime& minute);

  Q_SIGNALS:
    void bringToFrontRequested();
    void acknowledgeRequested();

  private:
    void onAction(int handle, const QString& key);
    void onClosed(int handle);

    QPointer<DesktopNotifications> service_;
    const Clock& clock_;
    int handle_ = 0;
};

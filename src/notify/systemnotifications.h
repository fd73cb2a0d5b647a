#pragma once

#include <memory>

#include "notify/logic/desktopnotifications.h"

class TrayIcon;

// Notices as balloons of the notification-area icon, where the desktop has
// no notification service of its own (Windows): a balloon shows the text
// while the icon is in the notification area; it goes by itself, so
// withdraw() has nothing to take away.
class TrayBalloonNotifications final : public DesktopNotifications {
    Q_OBJECT
  public:
    explicit TrayBalloonNotifications(TrayIcon* tray, QObject* parent = nullptr);
    int post(const DesktopNotice& notice) override;
    void update(int handle, const DesktopNotice& notice) override;
    void withdraw(int handle) override;

  private:
    void show(const DesktopNotice& notice);
    TrayIcon* tray_;
    int lastHandle_ = 0;
};

// The desktop's notices on this system: the session bus's notification
// service, or on Windows the balloons of `tray` (which may be null).
std::unique_ptr<DesktopNotifications> makeSystemNotifications(TrayIcon* tray);

#include "notify/systemnotifications.h"

#include "notify/trayicon.h"

#ifndef Q_OS_WIN
#include "notify/dbusnotifications.h"
#endif

TrayBalloonNotifications::TrayBalloonNotifications(TrayIcon* tray, QObject* parent)
    : DesktopNotifications(parent), tray_(tray) {}

int TrayBalloonNotifications::post(const DesktopNotice& notice) {
    show(notice);
    return ++lastHandle_;
}

void TrayBalloonNotifications::update(int handle, const DesktopNotice& notice) {
    Q_UNUSED(handle);
    show(notice);
}

void TrayBalloonNotifications::withdraw(int handle) {
    Q_UNUSED(handle);
}

void TrayBalloonNotifications::show(const DesktopNotice& notice) {
    if (tray_ && tray_->isAvailable() && tray_->isShown())
        tray_->showMessage(notice.summary, notice.body);
}

std::unique_ptr<DesktopNotifications> makeSystemNotifications(TrayIcon* tray) {
#ifdef Q_OS_WIN
    return std::make_unique<TrayBalloonNotifications>(tray);
#else
    Q_UNUSED(tray);
    return std::make_unique<DBusDesktopNotifications>(QDBusConnection::sessionBus());
#endif
}

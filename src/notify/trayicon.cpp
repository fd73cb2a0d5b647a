#include "notify/trayicon.h"

#include <QMenu>

SystemTrayIcon::SystemTrayIcon(QObject* parent)
    : TrayIcon(parent), icon_(new QSystemTrayIcon(this)) {
    icon_->setObjectName(QStringLiteral("TrayIcon"));
    connect(icon_, &QSystemTrayIcon::activated, this, &TrayIcon::activated);
}

bool SystemTrayIcon::isAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}
void SystemTrayIcon::setIcon(const QIcon& icon) {
    icon_->setIcon(icon);
}
void SystemTrayIcon::setToolTip(const QString& tip) {
    icon_->setToolTip(tip);
}
void SystemTrayIcon::setContextMenu(QMenu* menu) {
    icon_->setContextMenu(menu);
}
void SystemTrayIcon::show() {
    icon_->show();
}
void SystemTrayIcon::hide() {
    icon_->hide();
}
bool SystemTrayIcon::isShown() const {
    return icon_->isVisible();
}
void SystemTrayIcon::showMessage(const QString& title, const QString& text) {
    icon_->showMessage(title, text, QSystemTrayIcon::Warning, 0);
}

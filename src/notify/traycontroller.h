#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <utility>

class QMenu;
class QWidget;
class TrayIcon;

// The icon in the notification area, its menu (mnuTray) and where the main
// window goes: hidden behind the icon, or back in front of the user.
// While the menu is open, or one of its commands runs, clicks on the icon
// and the menu's items wait.
class TrayController : public QObject {
    Q_OBJECT
  public:
    // `tray` may be null: the desktop has no notification area.
    TrayController(TrayIcon* tray, QWidget* mainWindow, QObject* parent = nullptr);

    bool isInTray() const { return inTray_; }
    bool isBusy() const { return busy_; }

    // A menu item, by its objectName, and what it does.
    using MenuCommand = std::pair<const char*, std::function<void()>>;
    // Hands the menu to the icon and connects the items named in `commands`.
    void setMenu(QMenu* menu, const QList<MenuCommand>& commands);

    // Shows the icon with its tip, as the last step of start-up.
    void addIcon();
    // The exit button: the window goes into the notification area; where
    // the desktop has none, it is minimised instead so it stays reachable.
    void hideToTray();
    // Removes the icon and brings the main window back in front, also from
    // the minimised state.
    void openMainWindow();
    // The program ends: the icon goes away.
    void removeIcon();
    // A click on the icon, as the icon reports it.
    void activated(int reason);

  private:
    void runMenuCommand(const std::function<void()>& command);

    TrayIcon* tray_;
    QPointer<QWidget> mainWindow_;
    QPointer<QMenu> menu_;
    bool inTray_ = false;
    bool busy_ = false;
    bool runningMenuCommand_ = false;
};

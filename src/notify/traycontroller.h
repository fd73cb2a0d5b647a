#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>

#include <functional>
#include <utility>

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
    explicit TrayController(TrayIcon* tray, QObject* parent = nullptr);
    ~TrayController() override;

    // The window the icon hides and brings back; null while there is none.
    void setMainWindow(QWidget* window) { mainWindow_ = window; }
    QWidget* mainWindow() const { return mainWindow_; }

    bool isInTray() const { return inTray_; }
    bool isBusy() const { return busy_; }

    // The icon's menu (mnuTray): "&Visualizza i RICORDEL" (mnuVisMess),
    // "&Apri PROGRAMMA ricordel" (mnuApriMess), "&Prova allarme" (mnuProva),
    // "&Sincronizza ora" (mnuTraySincronizza) and "&Chiudi" (mnuChiudi), with
    // separators between.
    QMenu* menu() const { return menu_; }
    // What an item of the menu does, by its objectName.
    void setMenuCommand(const char* item, const std::function<void()>& command);

    // A second line of the icon's tip (how the last sync went); empty: none.
    void setStatusLine(const QString& line);

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
    QString statusLine_;
};

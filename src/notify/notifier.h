#pragma once

#include <QObject>

#include <memory>

#include "notify/alarmringer.h"
#include "notify/captionclock.h"
#include "notify/digestrunner.h"
#include "notify/programlifetime.h"
#include "notify/reminderpresenter.h"
#include "notify/soundplayer.h"
#include "notify/traycontroller.h"

class Agenda;
class AssistantWindow;
class Clock;
class DesktopNotifications;
class Dialogs;
class QMenu;
class QWidget;
class TrayIcon;
class WindowReminderPresenter;

// The desktop facilities the notifications use, each replaceable in tests.
struct NotifierServices {
    Clock* clock = nullptr;
    Dialogs* dialogs = nullptr;
    SoundPlayerFactory makePlayer;  // one player per window that sounds
    TrayIcon* tray = nullptr;       // may be null: no notification area
    // Null: the reminder box and the assistant windows.
    ReminderPresenter* presenter = nullptr;
    // May be null: alarms ring in the alarm window alone.
    DesktopNotifications* notifications = nullptr;
};

// The notifications of the main window, put together: the reminder digest,
// the alarms, the caption clock, the icon in the notification area and the
// ways the program ends.
//
// The main window creates one at start-up, before the digest, and ends its
// start-up with finishStartUp(). setTrayMenu() takes the tray menu mnuTray
// and connects its items: mnuVisMess to showReminders, mnuApriMess to
// openMainWindow, mnuProva to testAlarm, mnuChiudi to closeProgram. The exit
// button calls hideToTray(). The window answers saveAllRequested() at once,
// by running the save command, and quitRequested() by leaving every event
// loop at once (QCoreApplication::exit), nested ones included: the process
// then exits, and a start-up still under way must not go on to exec().
//
// The program itself, before any window: a SingleInstance on the data folder
// (a second copy asks the first to show itself, then exits), whose
// showRequested() goes to openMainWindow(); and a TerminationWatcher, whose
// terminationRequested() goes to terminate().
class Notifier : public QObject {
    Q_OBJECT
  public:
    Notifier(Agenda& agenda, QWidget* mainWindow, NotifierServices services,
             QObject* parent = nullptr);
    ~Notifier() override;

    // The last steps of start-up: the alarms and the caption clock (so that
    // alarms ring over the digest), the digest, then the icon.
    void finishStartUp();
    // Starts the alarms and the caption clock.
    void startTimers();

    // The digest, unless one is already waiting for the user.
    void showReminders();
    // The last answer of the reminder box: true after "STOP", false after "OK".
    bool stopReminders() const;
    // The assistant host, once a digest in assistant mode has loaded it.
    AssistantWindow* assistantWindow() const;

    void testAlarm();
    void setAlarmWarningMinutes(int minutes);

    void setTrayMenu(QMenu* menu);
    void hideToTray();
    void openMainWindow();
    bool isInTray() const;

    void closeProgram();
    void terminate();
    bool isEnding() const;

    DigestRunner& digest() const { return *digest_; }
    AlarmRinger& alarms() const { return *alarms_; }
    CaptionClock& caption() const { return *caption_; }
    TrayController& tray() const { return *tray_; }
    ProgramLifetime& lifetime() const { return *lifetime_; }

  Q_SIGNALS:
    // The main window's title; the main window is also retitled directly.
    void captionChanged(const QString& caption);
    // Once a minute: the urgency colours are to be repainted.
    void repaintColoursRequested();
    // The three lists are to be saved now, as the save command does; the
    // receiver must finish before returning.
    void saveAllRequested();
    // The program is to end now.
    void quitRequested();

  private:
    std::unique_ptr<WindowReminderPresenter> windowPresenter_;
    std::unique_ptr<DigestRunner> digest_;
    AlarmRinger* alarms_;
    CaptionClock* caption_;
    TrayController* tray_;
    ProgramLifetime* lifetime_;
};

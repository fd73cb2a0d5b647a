#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QString>

#include <memory>

#include "core/agenda.h"
#include "notify/alarmringer.h"
#include "notify/captionclock.h"
#include "notify/digestrunner.h"
#include "notify/programlifetime.h"
#include "notify/soundplayer.h"
#include "notify/traycontroller.h"
#include "operations/calendarimport.h"
#include "operations/sync/passwordstore.h"
#include "operations/sync/syncservice.h"
#include "ui/importprogress.h"
#include "ui/mainwindow.h"

class ArchiveViewer;
class Clock;
class DesktopNotifications;
class Dialogs;
class FileDialogs;
class PrinterAccess;
class ReminderPresenter;
class SingleInstance;
class TerminationWatcher;
class TrayIcon;
class WindowReminderPresenter;

// Everything the program takes from the desktop, so tests can hand in fakes.
struct ProgramServices {
    Clock* clock = nullptr;
    Dialogs* dialogs = nullptr;
    FileDialogs* files = nullptr;
    ArchiveViewer* archiveViewer = nullptr;
    PrinterAccess* printer = nullptr;
    SoundPlayerFactory makePlayer;                  // the sounds of the alert windows
    TrayIcon* tray = nullptr;                       // null: the desktop has no notification area
    ReminderPresenter* presenter = nullptr;         // null: the reminder box and the assistant
    DesktopNotifications* notifications = nullptr;  // null: alarms only in the alarm window
    QString dataFolder;                             // the folder of every file of the program
    // The program that reads calendar files and the server's events in an
    // isolated task; empty: this one.
    QString calendarReader;
    // Where the server's password is kept; null: in memory for the run.
    PasswordStore* passwords = nullptr;
};

// The program: it owns the agenda, the notifications (the digest, the
// alarms, the caption clock, the icon in the notification area), the ways it
// ends, the calendar import and the main window, and wires them once. The
// window is a view of the agenda: it can be closed and made again while the
// program, its timers and its alarms go on.
class Application : public QObject {
    Q_OBJECT
  public:
    explicit Application(const ProgramServices& services, QObject* parent = nullptr);
    ~Application() override;

    // The start-up sequence, once: the window's size, title, background and
    // first tab, the settings, the lists, the urgency colours; then the
    // alarms and the caption clock (so that alarms ring over the digest),
    // the digest, and last the icon in the notification area.
    void load();
    // The start-up sequence, then the window and the event loop, unless the
    // program was asked to end during start-up. Returns the exit code.
    int run();

    Agenda& agenda() { return agenda_; }
    // The main window, or null while it is closed.
    MainWindow* window() const { return window_.get(); }
    // Brings the main window in front, made again when it was closed, and
    // takes the icon out of the notification area.
    void openMainWindow();
    // Closes the main window for good; openMainWindow() makes a new one.
    void closeWindow();

    // Offers the events of an iCalendar file for the lists, over the main
    // window; a file asked for while another is imported waits its turn.
    void importCalendarFile(const QString& path);
    // Takes requests from a later copy started on the same data folder.
    void listenTo(SingleInstance& instance);
    // Ends the program as a termination signal asks (SIGTERM, SIGHUP).
    void watchTermination();
    // "Calendario sul server": the dialog, and the account it chose kept.
    void openServerSetup();

    DigestRunner& digest() { return *digest_; }
    AlarmRinger& alarms() { return alarms_; }
    CaptionClock& caption() { return caption_; }
    TrayController& tray() { return tray_; }
    ProgramLifetime& lifetime() { return lifetime_; }
    CalendarImporter& importer() { return importer_; }
    SyncService& sync() { return sync_; }
    ImportProgress& importProgress() { return importProgress_; }
    // The digest's own windows; null when a presenter was given.
    WindowReminderPresenter* reminderWindows() const { return windowPresenter_.get(); }

  Q_SIGNALS:
    // A main window was made, or closed (null).
    void windowChanged(QWidget* window);

  private:
    MainWindow& makeWindow();

    ProgramServices services_;
    Agenda agenda_;
    std::unique_ptr<WindowReminderPresenter> windowPresenter_;
    std::unique_ptr<DigestRunner> digest_;
    AlarmRinger alarms_;
    CaptionClock caption_;
    TrayController tray_;
    ProgramLifetime lifetime_;
    CalendarImporter importer_;
    ImportProgress importProgress_;
    std::unique_ptr<TerminationWatcher> termination_;
    QNetworkAccessManager network_;
    MemoryPasswordStore memoryPasswords_;
    SyncService sync_;
    std::unique_ptr<MainWindow> window_;
    bool loaded_ = false;
};

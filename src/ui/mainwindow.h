#pragma once

#include <QColor>
#include <QMainWindow>
#include <QPixmap>

#include <array>
#include <memory>

#include "core/listkind.h"
#include "notify/soundplayer.h"

class Agenda;
class CalendarImporter;
class ImportProgress;
class ArchiveViewer;
class Clock;
class DesktopNotifications;
class Dialogs;
class FileDialogs;
class FlexGrid;
class MainMenus;
class Notifier;
class PrinterAccess;
class ReminderPresenter;
class TrayIcon;
class QCalendarWidget;
class QMenu;
class QPushButton;
class QTabWidget;

// Everything the main window takes from the desktop, so tests can hand in fakes.
struct MainWindowServices {
    Clock* clock = nullptr;
    Dialogs* dialogs = nullptr;
    FileDialogs* files = nullptr;
    ArchiveViewer* archiveViewer = nullptr;
    PrinterAccess* printer = nullptr;
    SoundPlayerFactory makePlayer;                  // the sounds of the alert windows
    TrayIcon* tray = nullptr;                       // null: the desktop has no notification area
    ReminderPresenter* presenter = nullptr;         // null: the reminder box and the assistant
    DesktopNotifications* notifications = nullptr;  // null: alarms only in the alarm window
    QString dataFolder;  // the folder of the program's files; empty: the current folder
    // The program that reads calendar files in an isolated task; empty: this one.
    QString calendarReader;
};

// The six command buttons, named for what they do. The value is the button's
// index, which its objectName carries ("Command1_3" deletes).
enum class Command { Today = 0, Print = 1, Insert = 2, Delete = 3, Exit = 4, Save = 5 };

// The main window: the three lists on their tabs, the calendar, the six
// command buttons and the menus. The agenda state lives in an Agenda the
// window owns; the window shows it and turns the user's actions into commands.
class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit MainWindow(const MainWindowServices& services, QWidget* parent = nullptr);
    ~MainWindow() override;

    Agenda& agenda() { return *agenda_; }
    Notifier& notifier() { return *notifier_; }
    CalendarImporter& importer() { return *importer_; }
    ImportProgress& importProgress() { return *importProgress_; }

    // The start-up sequence; runs once, before the window is first shown.
    void load();
    // The program's life: the start-up sequence, then the window and the
    // event loop, unless the program was asked to end during start-up.
    // Returns the exit code.
    int run();

    void runCommand(Command command);

    void layoutGrids();
    void loadBackground();
    void setBackground(const QPixmap& picture);
    const QPixmap& background() const { return background_; }

    // Moves the focus frame round a button at this position.
    void frameFocusedButton(int top, int left, int height, int width);

    QColor standardButtonColour() const { return standardButtonColour_; }
    QColor tabColour(int tab) const;

    // On while the program's icon is in the notification area.
    bool isInTray() const;

    QPushButton* commandButton(Command command) const;
    FlexGrid* grid(ListKind kind) const;
    QTabWidget* tabs() const { return tabs_; }
    QCalendarWidget* calendar() const { return calendar_; }
    QWidget* focusFrame() const { return focusFrame_; }
    QMenu* postponeMenu() const;
    QMenu* trayMenu() const;

    QColor focusFrameFill() const;

    // The window's outer size, frame included.
    static constexpr QSize kOuterSize{800, 600};
    // Where each grid sits, counted from the tab control's corner.
    static constexpr QPoint kGridPosition{8, 32};

  public Q_SLOTS:
    // The digest of what falls due.
    void showReminders();
    // "&Prova allarme".
    void testAlarm();
    // Hides the window; the notification-area icon brings it back.
    void hideToTray();
    // Shows the window again from the notification area.
    void openMainWindow();
    // Offers the events of an iCalendar file for the lists, in one box; a
    // file asked for while another is imported waits its turn.
    void importCalendarFile(const QString& path);

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void connectEvents();
    void connectNotifications();
    void fitOuterSize();

    void showListOfTab(int tab);
    void applyGridKey(ListKind kind, int key);
    void typeIntoGrid(ListKind kind, int charCode);
    void keepSelectedDayOnNewPage(int year, int month);
    void highlightButton(Command command);
    void restoreButtonColours();
    void setButtonCaption(Command command, const QString& caption);
    void setButtonColour(QPushButton* button, const QColor& colour);
    void setFocusFrameFill(const QColor& colour);

    MainWindowServices services_;
    std::unique_ptr<Agenda> agenda_;
    std::unique_ptr<Notifier> notifier_;
    std::unique_ptr<CalendarImporter> importer_;
    ImportProgress* importProgress_ = nullptr;
    MainMenus* menus_ = nullptr;
    bool loaded_ = false;
    bool outerSizeFitted_ = false;
    QColor standardButtonColour_;
    QPixmap background_;

    QWidget* surface_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    std::array<FlexGrid*, 3> grids_{};
    QCalendarWidget* calendar_ = nullptr;
    std::array<QPushButton*, 6> buttons_{};
    QWidget* focusFrame_ = nullptr;
};

#pragma once

#include <QColor>
#include <QMainWindow>
#include <QPixmap>

#include <array>
#include <memory>

#include "core/listkind.h"
#include "notify/soundplayer.h"

class Agenda;
class ArchiveViewer;
class Clock;
class DesktopNotifications;
class Dialogs;
class FileDialogs;
class FlexGrid;
class Notifier;
class PrinterAccess;
class ReminderPresenter;
class TrayIcon;
class QAction;
class QActionGroup;
class QCalendarWidget;
class QMenu;
class QPushButton;
class QTabWidget;

// Everything the main window takes from the desktop, so tests can hand in fakes.
struct Form1Services {
    Clock* clock = nullptr;
    Dialogs* dialogs = nullptr;
    FileDialogs* files = nullptr;
    ArchiveViewer* archiveViewer = nullptr;
    PrinterAccess* printer = nullptr;
    SoundPlayerFactory makePlayer;          // the sounds of the alert windows
    TrayIcon* tray = nullptr;               // null: the desktop has no notification area
    ReminderPresenter* presenter = nullptr;  // null: the reminder box and the assistant
    DesktopNotifications* notifications = nullptr;  // null: alarms only in the alarm window
    QString dataFolder;  // the folder of the program's files; empty: the current folder
};

// The main window: the three lists on their tabs, the calendar, the six
// command buttons and the menus. The agenda state lives in an Agenda the
// window owns; the window shows it and turns the user's actions into commands.
class Form1 : public QMainWindow {
    Q_OBJECT
  public:
    explicit Form1(const Form1Services& services, QWidget* parent = nullptr);
    ~Form1() override;

    Agenda& agenda() { return *agenda_; }
    Notifier& notifier() { return *notifier_; }

    // The start-up sequence; runs once, before the window is first shown.
    void Form_Load();
    // The program's life: the start-up sequence, then the window and the
    // event loop, unless the program was asked to end during start-up.
    // Returns the exit code.
    int Run();

    // The six buttons' command; an index outside 0 to 5 does nothing.
    void Command1_Click(int index);

    void LayoutGrids();
    void LoadBackground();
    void SetBackground(const QPixmap& picture);
    const QPixmap& Background() const { return background_; }

    // Moves the focus frame Shape1 round a button at this position.
    void FrameFocusedButton(int top, int left, int height, int width);

    QColor StandardButtonColour() const { return standardButtonColour_; }
    QColor TabColour(int tab) const;

    // On while the program's icon is in the notification area.
    bool InTray() const;

    QPushButton* Command1(int index) const;
    FlexGrid* Grid(ListKind kind) const;
    QTabWidget* SSTab1() const { return tabs_; }
    QCalendarWidget* Calendar1() const { return calendar_; }
    QWidget* Shape1() const { return shape_; }
    QMenu* mnuSposta() const { return popupSposta_; }
    QMenu* mnuTray() const { return popupTray_; }

    QColor Shape1Fill() const;

    // The window's outer size, frame included.
    static constexpr QSize kOuterSize{800, 600};
    // Where each grid sits, counted from the tab control's corner.
    static constexpr QPoint kGridPosition{8, 32};

  public Q_SLOTS:
    // The digest of what falls due.
    void ShowReminders();
    // "&Prova allarme".
    void TestAlarm();
    // Hides the window; the notification-area icon brings it back.
    void HideToTray();
    // Shows the window again from the notification area.
    void OpenMainWindow();
    // Offers the events of an iCalendar file for the lists, in one box.
    void ImportCalendarFile(const QString& path);

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildControls();
    void BuildMenus();
    void ConnectEvents();
    void ConnectNotifications();
    QAction* AddItem(QMenu* menu, const char* name, const QString& caption);
    void FitOuterSize();

    // Start-up steps 16 to 18: the digest, the two timers and the
    // notification-area icon.
    void StartNotifications();

    // Event handlers.
    void SSTab1_Click(int tab);
    void FGrid_KeyDown(ListKind kind, int key);
    void FGrid_KeyPress(ListKind kind, int charCode);
    void FGrid_Click();
    void FGrid1_MouseDown(const QPoint& globalPos);
    void Calendar1_GotFocus();
    void Calendar1_NewPage(int year, int month);
    void Command1_GotFocus(int index);
    void Command1_MouseMove(int index);
    void Form_MouseMove();
    void ChooseSoundFile(QString Settings::*sound);
    void mnuNewMsgbox_Click();
    void mnuSfondo_Click();
    void mnuEsporta_Click();
    void mnuImporta_Click();
    void ShowSettingsInMenu();
    void SetButtonCaption(int index, const QString& caption);
    void SetButtonColour(int index, const QColor& colour);
    void SetShape1Fill(const QColor& colour);

    Form1Services services_;
    std::unique_ptr<Agenda> agenda_;
    std::unique_ptr<Notifier> notifier_;
    bool loaded_ = false;
    bool outerSizeFitted_ = false;
    QColor standardButtonColour_;
    QPixmap background_;

    QWidget* surface_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    std::array<FlexGrid*, 3> grids_{};
    QCalendarWidget* calendar_ = nullptr;
    std::array<QPushButton*, 6> buttons_{};
    QWidget* shape_ = nullptr;
    QMenu* popupSposta_ = nullptr;
    QMenu* popupTray_ = nullptr;
    QAction* mnuOrdCre_ = nullptr;
    QAction* mnuOrdDec_ = nullptr;
    QAction* mnuNewMsgbox_ = nullptr;
    QActionGroup* warningChoices_ = nullptr;
};

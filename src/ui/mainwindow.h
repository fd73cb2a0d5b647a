#pragma once

#include <QColor>
#include <QMainWindow>
#include <QPixmap>

#include <array>
#include <memory>

#include "core/listkind.h"

class Agenda;
class ArchiveViewer;
class Clock;
class Dialogs;
class FileDialogs;
class FlexGrid;
class ListSelection;
class MainMenus;
class PrinterAccess;
class QCalendarWidget;
class QMenu;
class QPushButton;
class QTabWidget;

// What the main window takes from the desktop, so tests can hand in fakes.
struct MainWindowServices {
    Clock* clock = nullptr;
    Dialogs* dialogs = nullptr;
    FileDialogs* files = nullptr;
    ArchiveViewer* archiveViewer = nullptr;
    PrinterAccess* printer = nullptr;
};

// The six command buttons, named for what they do. The value is the button's
// index, which its objectName carries ("Command1_3" deletes).
enum class Command { Today = 0, Print = 1, Insert = 2, Delete = 3, Exit = 4, Save = 5 };

// The main window: a view of the agenda. It shows the three lists on their
// tabs, the calendar, the six command buttons and the menus, keeps where the
// user is in the lists (ListSelection), and turns the user's actions into
// commands on the agenda; what reaches beyond the agenda (the digest, the
// alarm test, the tray, an import) it asks of the program through its
// signals. It can be closed and made again while the program goes on.
class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    MainWindow(Agenda& agenda, const MainWindowServices& services, QWidget* parent = nullptr);
    ~MainWindow() override;

    Agenda& agenda() { return agenda_; }
    ListSelection& shown() { return *shown_; }

    // The window's part of start-up, before the settings are read: its size,
    // title and place, the background picture, today in the calendar and
    // the first tab.
    void prepare();
    // The settings were read: the menus tick them and the grids take their
    // layout.
    void showSettings();

    void runCommand(Command command);

    void layoutGrids();
    void loadBackground();
    void setBackground(const QPixmap& picture);
    const QPixmap& background() const { return background_; }

    // Moves the focus frame round a button at this position.
    void frameFocusedButton(int top, int left, int height, int width);

    QColor standardButtonColour() const { return standardButtonColour_; }
    QColor tabColour(int tab) const;

    QPushButton* commandButton(Command command) const;
    FlexGrid* grid(ListKind kind) const;
    QTabWidget* tabs() const { return tabs_; }
    QCalendarWidget* calendar() const { return calendar_; }
    QWidget* focusFrame() const { return focusFrame_; }
    QMenu* postponeMenu() const;

    QColor focusFrameFill() const;

    // The window's outer size, frame included.
    static constexpr QSize kOuterSize{800, 600};
    // Where each grid sits, counted from the tab control's corner.
    static constexpr QPoint kGridPosition{8, 32};

  Q_SIGNALS:
    // "&Visualizza -> &Ricordel": the digest.
    void remindersRequested();
    // "? -> &Prova allarme".
    void alarmTestRequested();
    void alarmWarningChosen(int minutes);
    // "? -> &Importa calendario..." chose a file.
    void importRequested(const QString& path);
    // "&Impostazioni -> Calendario sul &server..." and "Sincronizza &ora".
    void serverSetupRequested();
    void syncRequested();
    // The exit button, its question answered: the window goes to the
    // notification area.
    void hideRequested();

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void connectEvents();
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
    Agenda& agenda_;
    std::unique_ptr<ListSelection> shown_;
    MainMenus* menus_ = nullptr;
    bool prepared_ = false;
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

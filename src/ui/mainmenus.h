#pragma once

#include <QObject>
#include <QPixmap>
#include <QString>

#include "core/settings.h"

class Agenda;
class ListSelection;
class QAction;
class QActionGroup;
class QMainWindow;
class QMenu;
struct MainWindowServices;

// The main window's menus: the menu bar ("&Impostazioni", "&Visualizza",
// "?") and the "&Sposta" popup of the appointments, with what their items
// do. The items that reach beyond the agenda and the desktop services ask
// the program through signals.
class MainMenus final : public QObject {
    Q_OBJECT
  public:
    MainMenus(QMainWindow& window, Agenda& agenda, ListSelection& shown,
              const MainWindowServices& services);

    QMenu* postponeMenu() const { return postpone_; }

    // Ticks the items that show the settings: the sort order, the new
    // message boxes and the alarm warning.
    void showSettings();

  Q_SIGNALS:
    void remindersRequested();
    void alarmTestRequested();
    void alarmWarningChosen(int minutes);
    void backgroundChosen(const QPixmap& picture);
    // "&Importa calendario..." chose a file.
    void importRequested(const QString& path);
    // "Calendario sul &server..." and "Sincronizza &ora".
    void serverSetupRequested();
    void syncRequested();

  private:
    void buildSettingsMenu(QMenu* bar);
    void chooseSoundFile(QString Settings::*sound);
    void toggleNewMessageBoxes();
    void chooseBackground();
    void exportCalendar();
    void importCalendar();

    QMainWindow& window_;
    Agenda& agenda_;
    ListSelection& shown_;
    const MainWindowServices& services_;
    QMenu* postpone_ = nullptr;
    QAction* sortAscending_ = nullptr;
    QAction* sortDescending_ = nullptr;
    QAction* newMessageBoxes_ = nullptr;
    QActionGroup* warningChoices_ = nullptr;
};

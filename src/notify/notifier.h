#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

#include "core/listkind.h"
#include "notify/logic/alarm.h"
#include "notify/logic/alarmengine.h"
#include "notify/logic/digest.h"
#include "notify/soundplayer.h"

class Agenda;
class AlarmNotice;
class Clock;
class DesktopNotifications;
class Dialogs;
class FormMsgAss;
class FormSiren;
class QMenu;
class QSessionManager;
class QTimer;
class QWidget;
class TrayIcon;

// How the digest puts one line in front of the user. The program uses the
// reminder box and the assistant (WindowReminderPresenter); tests script
// the presses.
class ReminderPresenter {
  public:
    virtual ~ReminderPresenter() = default;
    // Once per digest in assistant mode, before its first line: the picture
    // of "img/msgbox.jpg" (null when it is missing or unreadable).
    virtual void PrepareAssistant(const QPixmap& picture) = 0;
    // Shows one line, with the list's sound when `soundPath` is not empty,
    // and returns when the user has answered: true when the rest of this
    // list is to be skipped ("STOP" in the box, "Stop" on the assistant).
    virtual bool Present(const QString& line, const QString& soundPath, bool assistant) = 0;
};

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

// The notifications of the main window: the reminder digest, the alarm check
// every clock minute with its alarm window, the caption clock, the icon in
// the notification area with its actions, and the ways the program ends.
//
// The main window creates one at start-up, before the digest, and ends its
// start-up with FinishStartUp() (StartTimers(), so that alarms ring over the
// digest, then ShowReminders() and AddTrayIcon()). setTrayMenu() takes the tray menu mnuTray,
// hands it to the icon and connects its items: mnuVisMess to ShowReminders,
// mnuApriMess to OpenMainWindow, mnuProva to TestAlarm, mnuChiudi to Chiudi.
// Its exit button calls HideToTray(). It answers saveAllRequested() at once,
// by running the save command, and quitRequested() by leaving every event
// loop at once (QCoreApplication::exit), nested ones included: the process
// then exits, and a start-up still under way must not go on to exec().
// Close requests on the main window are refused here until the program ends,
// so the main window needs no closeEvent of its own.
//
// The program itself, before any window: a SingleInstance on the data folder
// (a second copy asks the first to show itself, then exits), whose
// showRequested() goes to OpenMainWindow(); and a TerminationWatcher, whose
// terminationRequested() goes to Terminate().
class Notifier : public QObject {
    Q_OBJECT
  public:
    Notifier(Agenda& agenda, QWidget* mainWindow, NotifierServices services,
             QObject* parent = nullptr);
    ~Notifier() override;

    // Set by the reminder box's "STOP", cleared by its "OK"; read by the digest.
    bool StopReminders = false;
    bool InTray() const { return inTray_; }
    bool TrayBusy() const { return trayBusy_; }
    int CaptionTicks() const { return captionTicks_; }

    // The last steps of start-up: the alarm engine and the caption clock,
    // the digest, then the icon.
    void FinishStartUp();

    // The digest of what falls due from today up to GiorniPreavviso days
    // ahead, read from the list files, one line at a time. Returns when every
    // list has been shown or stopped. A call while a digest is already being
    // shown does nothing.
    void ShowReminders();
    // The lines the last digest gathered.
    const ReminderLists& lastReminders() const { return lastReminders_; }

    // The test alarm: the alarm window with "Smack", "to", "ZOLE".
    void TestAlarm();

    // The icon with its tip, as the last step of start-up.
    void AddTrayIcon();
    // The exit button: the window goes into the notification area; where
    // the desktop has none, it is minimised instead so it stays reachable.
    void HideToTray();
    // Removes the icon and brings the main window back in front, also from
    // the minimised state.
    void OpenMainWindow();
    // Hands the tray menu (mnuTray) to the icon.
    void setTrayMenu(QMenu* menu);

    // Starts the alarm engine, with the warning minutes of the settings and
    // the snoozes kept in kSnoozeFileName, and the caption clock.
    void StartTimers();
    // The warning minutes were changed: appointments ahead are warned of
    // at once where their warning is due.
    void SetAlarmWarningMinutes(int minutes);
    // Where snoozes wait across runs of the program.
    static constexpr char kSnoozeFileName[] = "Ripeti.dat";

    // "&Chiudi": asks for confirmation, offers to save unsaved edits, then ends.
    void Chiudi();

    // The alarm check, now: rings what fell due since the last check.
    void Timer1_Timer();
    // The tick of the caption clock.
    void Timer2_Timer();
    // A tray icon action, as the icon reports it.
    void TrayActivated(int reason);

    // The alarm window while it is open, otherwise null.
    FormSiren* Siren() const;
    // The assistant host, once a digest in assistant mode has loaded it.
    FormMsgAss* Assistant() const;

    // What decides which alarms ring, and when.
    AlarmEngine& alarms() const { return *engine_; }
    QTimer* alarmTimer() const { return engine_->minuteTimer(); }
    QTimer* captionTimer() const { return timer2_; }

    // The desktop session is about to end: unsaved edits are saved without
    // a question. Only when that save fails is `mayAsk` called, to learn
    // whether the user may be asked; returns false when the user, asked,
    // chose to stay in the session.
    bool SessionEnding(const std::function<bool()>& mayAsk = {});

    // The system asks the program to end (a TerminationWatcher reports it,
    // or the session manager's quit): every waiting box is left, unsaved
    // edits are saved without a question, and the program ends.
    void Terminate();

    // True once the program has decided to end: the process exits as soon
    // as the calls under way return, and close requests are let through.
    bool isEnding() const { return ending_; }

    // The caption the clock writes: "Ricordel by Tobrani - Versione <version> (n)".
    static QString CaptionText(int ticks);

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

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void RaiseAlarms(const QList<Alarm>& alarms);
    FormSiren* LoadSiren();
    void RunTrayCommand(const std::function<void()>& command);
    void onCommitDataRequest(QSessionManager& manager);
    void endProgram();

    Agenda& agenda_;
    QPointer<QWidget> mainWindow_;
    NotifierServices services_;
    std::unique_ptr<ReminderPresenter> ownPresenter_;
    ReminderPresenter* presenter_;

    AlarmEngine* engine_;
    QTimer* timer2_;
    QPointer<FormSiren> siren_;
    // The desktop notice that goes with the alarm window.
    AlarmNotice* notice_ = nullptr;
    QPointer<QMenu> trayMenu_;

    ReminderLists lastReminders_;
    bool digestRunning_ = false;
    bool inTray_ = false;
    bool trayBusy_ = false;
    bool runningTrayCommand_ = false;
    bool ending_ = false;
    int captionTicks_ = 0;
};

// The digest's windows: the reminder box, one per line, shown modally; and
// the assistant, loaded once and kept. Sounds play through a player from the
// factory.
class WindowReminderPresenter final : public ReminderPresenter {
  public:
    WindowReminderPresenter(bool& stopReminders, SoundPlayerFactory makePlayer,
                            QWidget* mainWindow);
    ~WindowReminderPresenter() override;
    void PrepareAssistant(const QPixmap& picture) override;
    bool Present(const QString& line, const QString& soundPath, bool assistant) override;
    FormMsgAss* assistant() const { return assistant_.get(); }

  private:
    bool& stopReminders_;
    SoundPlayerFactory makePlayer_;
    QPointer<QWidget> mainWindow_;
    std::unique_ptr<FormMsgAss> assistant_;
    // In assistant mode the sound plays here, since no box is shown.
    std::unique_ptr<SoundPlayer> assistantPlayer_;
};

#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

#include "notify/logic/alarm.h"
#include "notify/soundplayer.h"

class AlarmNotice;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTimer;
struct Settings;

// The alarm window: the lines of the alarms that fall due, in large type.
// While it holds a due alarm the alarm sound starts over every 3 seconds
// until the user clicks the text; warnings alone play the sound once.
// Clicking the text (or closing the window in any other way) silences it and
// destroys it, text and all; the next alarm builds a fresh, empty one. Its
// sound is the setting alarmSound as it stands at each start, so a sound chosen
// while the window rings is heard from the next one. "Ripeti tra..." below
// the text, and the text's context menu, acknowledge it and ask for the same
// lines again some minutes later.
class FormSiren : public QWidget {
    Q_OBJECT
  public:
    // `settings` must outlive the window.
    FormSiren(std::unique_ptr<SoundPlayer> player, const Settings& settings,
              QWidget* parent = nullptr);
    ~FormSiren() override;

    // The lines, separated by CR LF.
    QString Text() const;
    // The alarms shown, in the order of their lines.
    const QList<Alarm>& alarms() const { return alarms_; }
    // Adds the lines of `alarms` under those already shown, as they read at
    // `shownAt`, and starts the sound they call for.
    void AddAlarms(const QList<Alarm>& alarms, const QDateTime& shownAt);
    // Replaces every line with those of `alarms` (the test alarm does).
    void SetAlarms(const QList<Alarm>& alarms, const QDateTime& shownAt);
    // True while the sound starts over every 3 seconds.
    bool isRinging() const { return ringing_; }

    // Shows the window without waiting and brings it in front of the others,
    // also when the main window is hidden; where the desktop keeps it behind,
    // the task bar flags it.
    void ShowAlarm();

    // Keeps `notice` in step with the window: its lines go to the desktop's
    // notice, acknowledging the window withdraws it, and the notice's
    // actions bring the window in front, acknowledge it or snooze it.
    void AttachNotice(AlarmNotice* notice);

    // The tick of Timer1: the sound starts over from its beginning.
    void Timer1_Timer();
    // A click on TxtMsg: closes the window.
    void TxtMsg_Click();
    // "Ripeti tra...": closes the window and asks for its lines again later.
    void Snooze(int minutes);

    QTimer* timer() const { return timer1_; }
    // True once closed: the window only waits to be destroyed.
    bool isClosed() const { return closed_; }

    // The snooze choices of the window's menu, in minutes.
    static const QList<int>& SnoozeChoices();

  Q_SIGNALS:
    // The lines changed: the alarms and their texts, line by line.
    void alarmsShown(const QList<Alarm>& alarms, const QStringList& lines);
    // The window was closed: by its text, Enter, Space, Esc, a snooze or
    // the program.
    void acknowledged();
    // The user asked for these alarms again after `minutes`; the window is
    // closed right after.
    void snoozeRequested(const QList<Alarm>& alarms, int minutes);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void ShowLines(const QStringList& added, bool replace);
    std::unique_ptr<SoundPlayer> mp1_;
    const Settings& settings_;
    QPlainTextEdit* txtMsg_;
    QPushButton* snoozeButton_;
    QMenu* snoozeMenu_;
    QTimer* timer1_;
    QList<Alarm> alarms_;
    QStringList lines_;
    bool ringing_ = false;
    bool closed_ = false;
};

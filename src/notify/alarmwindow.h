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

// The alarm window (objectName "FormSiren"): the lines of the alarms that
// fall due, in large type.
// While it holds a due alarm the alarm sound starts over every 3 seconds
// until the user clicks the text; warnings alone play the sound once.
// Clicking the text (or closing the window in any other way) silences it and
// destroys it, text and all; the next alarm builds a fresh, empty one. Its
// sound is the setting alarmSound as it stands at each start, so a sound chosen
// while the window rings is heard from the next one. "Ripeti tra..." below
// the text, and the text's context menu, acknowledge it and ask for the same
// lines again some minutes later.
class AlarmWindow : public QWidget {
    Q_OBJECT
  public:
    // `settings` must outlive the window.
    AlarmWindow(std::unique_ptr<SoundPlayer> player, const Settings& settings,
                QWidget* parent = nullptr);
    ~AlarmWindow() override;

    // The lines, separated by CR LF.
    QString text() const;
    // The alarms shown, in the order of their lines.
    const QList<Alarm>& alarms() const { return alarms_; }
    // Adds the lines of `alarms` under those already shown, as they read at
    // `shownAt`, and starts the sound they call for.
    void addAlarms(const QList<Alarm>& alarms, const QDateTime& shownAt);
    // Replaces every line with those of `alarms` (the test alarm does).
    void setAlarms(const QList<Alarm>& alarms, const QDateTime& shownAt);
    // True while the sound starts over every 3 seconds.
    bool isRinging() const { return ringing_; }

    // Shows the window without waiting and brings it in front of the others,
    // also when the main window is hidden; where the desktop keeps it behind,
    // the task bar flags it.
    void showAlarm();

    // Keeps `notice` in step with the window: its lines go to the desktop's
    // notice, acknowledging the window withdraws it, and the notice's
    // actions bring the window in front, acknowledge it or snooze it.
    void attachNotice(AlarmNotice* notice);

    // The tick of Timer1, every 3 seconds: the sound starts over from its beginning.
    void restartSound();
    // A click on TxtMsg: closes the window.
    void acknowledge();
    // "Ripeti tra...": closes the window and asks for its lines again later.
    void snooze(int minutes);

    QTimer* timer() const { return soundTimer_; }
    // True once closed: the window only waits to be destroyed.
    bool isClosed() const { return closed_; }

    // The snooze choices of the window's menu, in minutes.
    static const QList<int>& snoozeChoices();

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
    void showLines(const QStringList& added, bool replace);
    std::unique_ptr<SoundPlayer> player_;
    const Settings& settings_;
    QPlainTextEdit* txtMsg_;
    QPushButton* snoozeButton_;
    QMenu* snoozeMenu_;
    QTimer* soundTimer_;
    QList<Alarm> alarms_;
    QStringList lines_;
    bool ringing_ = false;
    bool closed_ = false;
};

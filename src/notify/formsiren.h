#pragma once

#include <QString>
#include <QWidget>

#include <memory>

#include "notify/soundplayer.h"

class AlarmNotice;
class QPlainTextEdit;
class QTimer;
struct Settings;

// The alarm window: the lines of the appointments that fall due, in large
// type, with the alarm sound starting over every 3 seconds until the user
// clicks the text. Clicking the text (or closing the window in any other
// way) silences it and destroys it, text and all; the next alarm builds a
// fresh, empty one. Its sound is the setting Suono4 as it stands at each
// start, so a sound chosen while the window rings is heard from the next one.
class FormSiren : public QWidget {
    Q_OBJECT
  public:
    // Loading the window starts Suono4 at once. `settings` must outlive it.
    FormSiren(std::unique_ptr<SoundPlayer> player, const Settings& settings,
              QWidget* parent = nullptr);
    ~FormSiren() override;

    // The lines, separated by CR LF as the alarm check writes them.
    QString Text() const;
    // Replaces the text (the test alarm does).
    void SetText(const QString& text);
    // Adds a line under those already shown.
    void AppendLine(const QString& line);

    // Shows the window without waiting and brings it in front of the others,
    // also when the main window is hidden; where the desktop keeps it behind,
    // the task bar flags it.
    void ShowAlarm();

    // Keeps `notice` in step with the window: its lines go to the desktop's
    // notice, acknowledging the window withdraws it, and the notice's
    // actions bring the window in front or acknowledge it.
    void AttachNotice(AlarmNotice* notice);

    // The tick of Timer1: the sound starts over from its beginning.
    void Timer1_Timer();
    // A click on TxtMsg: closes the window.
    void TxtMsg_Click();

    QTimer* timer() const { return timer1_; }
    // True once closed: the window only waits to be destroyed.
    bool isClosed() const { return closed_; }

  Q_SIGNALS:
    // The lines changed (CR LF between them).
    void textChanged(const QString& text);
    // The window was closed: by its text, Enter, Space, Esc or the program.
    void acknowledged();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    std::unique_ptr<SoundPlayer> mp1_;
    const Settings& settings_;
    QPlainTextEdit* txtMsg_;
    QTimer* timer1_;
    QString text_;
    bool closed_ = false;
};

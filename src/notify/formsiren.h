#pragma once

#include <QString>
#include <QWidget>

#include <memory>

#include "notify/soundplayer.h"

class QPlainTextEdit;
class QTimer;

// The alarm window: the lines of the appointments that fall due, in large
// type, with the alarm sound starting over every 3 seconds until the user
// clicks the text. Clicking the text (or closing the window in any other
// way) silences it and destroys it, text and all; the next alarm builds a
// fresh, empty one.
class FormSiren : public QWidget {
    Q_OBJECT
  public:
    // Loading the window starts `soundPath` (Suono4) at once.
    FormSiren(std::unique_ptr<SoundPlayer> player, const QString& soundPath,
              QWidget* parent = nullptr);
    ~FormSiren() override;

    // The lines, separated by CR LF as the alarm check writes them.
    QString Text() const;
    // Replaces the text (the test alarm does).
    void SetText(const QString& text);
    // Adds a line under those already shown.
    void AppendLine(const QString& line);

    // Shows the window without waiting and brings it in front of the others,
    // also when the main window is hidden.
    void ShowAlarm();

    // The tick of Timer1: the sound starts over from its beginning.
    void Timer1_Timer();
    // A click on TxtMsg: closes the window.
    void TxtMsg_Click();

    QTimer* timer() const { return timer1_; }
    // True once closed: the window only waits to be destroyed.
    bool isClosed() const { return closed_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    std::unique_ptr<SoundPlayer> mp1_;
    QString soundPath_;
    QPlainTextEdit* txtMsg_;
    QTimer* timer1_;
    QString text_;
    bool closed_ = false;
};

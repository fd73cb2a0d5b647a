#pragma once

#include <QDialog>
#include <QString>

#include <memory>

#include "notify/soundplayer.h"

class QLabel;
class QPushButton;

// The reminder box (objectName "FormMsgbox"): one digest line with "OK" and
// "STOP". "OK" clears the stop flag and "STOP" sets it, both closing the
// box; closing it any other way leaves the flag as it was. Closing it ends
// its sound.
class ReminderBox : public QDialog {
    Q_OBJECT
  public:
    // `stopReminders` is where "STOP" and "OK" leave their answer for the digest.
    ReminderBox(bool& stopReminders, std::unique_ptr<SoundPlayer> player,
                QWidget* parent = nullptr);
    ~ReminderBox() override;

    // Sizes the box for the text (80 twips more per character beyond 32, but
    // never wider than the screen, where the text wraps instead), places the
    // buttons, centres the box and shows the text.
    void setMessage(const QString& text);

    // The player of the list's sound.
    SoundPlayer* player() const { return player_.get(); }

    void pressOk();
    void pressStop();

  protected:
    void done(int result) override;

  private:
    bool& stopReminders_;
    std::unique_ptr<SoundPlayer> player_;
    QLabel* image1_;
    QLabel* label1_;
    QPushButton* btnOk_;
    QPushButton* btnStop_;
};

#pragma once

#include <QDialog>
#include <QString>

#include <memory>

#include "notify/soundplayer.h"

class QLabel;
class QPushButton;

// The reminder box: one digest line with "OK" and "STOP". "OK" clears the
// stop flag and "STOP" sets it, both closing the box; closing it any other
// way leaves the flag as it was. Closing it ends its sound.
class ReminderBox : public QDialog {
    Q_OBJECT
  public:
    // `stopReminders` is the digest's StopReminders flag.
    ReminderBox(bool& stopReminders, std::unique_ptr<SoundPlayer> player, QWidget* parent = nullptr);
    ~ReminderBox() override;

    // Sizes the box for the text (80 twips more per character beyond 32, but
    // never wider than the screen, where the text wraps instead), places the
    // buttons, centres the box and shows the text.
    void SetMessage(const QString& text);

    // The player of the list's sound.
    SoundPlayer* player() const { return player_.get(); }

    // Widths as SetMessage computed them, in twips, before any cap.
    int designedWidthTwips() const { return designedWidthTwips_; }
    int designedLabelWidthTwips() const { return designedLabelWidthTwips_; }

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
    int designedWidthTwips_ = 3690;
    int designedLabelWidthTwips_ = 2655;
};

#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

#include "notify/reminderpresenter.h"
#include "notify/soundplayer.h"

class AssistantWindow;

// The digest's windows: the reminder box, one per line, shown modally; and
// the assistant, loaded once and kept. Sounds play through a player from the
// factory.
class WindowReminderPresenter final : public ReminderPresenter {
  public:
    WindowReminderPresenter(SoundPlayerFactory makePlayer, QWidget* mainWindow);
    ~WindowReminderPresenter() override;
    void prepareAssistant(const QPixmap& picture) override;
    bool present(const QString& line, const QString& soundPath, bool assistant) override;
    AssistantWindow* assistant() const { return assistant_.get(); }
    // The window the reminder box is modal to; null while there is none.
    void setMainWindow(QWidget* window) { mainWindow_ = window; }
    // Set by the reminder box's "STOP", cleared by its "OK".
    bool stopReminders() const { return stopReminders_; }

  private:
    bool stopReminders_ = false;
    SoundPlayerFactory makePlayer_;
    QPointer<QWidget> mainWindow_;
    std::unique_ptr<AssistantWindow> assistant_;
    // In assistant mode the sound plays here, since no box is shown.
    std::unique_ptr<SoundPlayer> assistantPlayer_;
};

#include "notify/windowreminderpresenter.h"

#include "notify/messageassistant.h"
#include "notify/reminderbox.h"

WindowReminderPresenter::WindowReminderPresenter(SoundPlayerFactory makePlayer, QWidget* mainWindow)
    : makePlayer_(std::move(makePlayer)), mainWindow_(mainWindow) {}

WindowReminderPresenter::~WindowReminderPresenter() = default;

void WindowReminderPresenter::prepareAssistant(const QPixmap& picture) {
    if (!assistant_) assistant_ = std::make_unique<AssistantWindow>();
    assistant_->assistant()->setAssistantPicture(picture);
}

bool WindowReminderPresenter::present(const QString& line, const QString& soundPath,
                                      bool assistant) {
    if (assistant) {
        if (!assistant_) prepareAssistant(QPixmap());
        if (!soundPath.isEmpty()) {
            if (!assistantPlayer_ && makePlayer_) assistantPlayer_ = makePlayer_();
            if (assistantPlayer_) assistantPlayer_->play(soundPath);
        }
        MessageAssistant* msgAss1 = assistant_->assistant();
        msgAss1->setAssistantText(line);
        msgAss1->showAssistant(2);
        return msgAss1->pressedButton() == 2;
    }

    ReminderBox box(stopReminders_, makePlayer_ ? makePlayer_() : nullptr, mainWindow_);
    // Modal to the main window only, so that an alarm window opening
    // meanwhile can still be clicked to silence it.
    box.setWindowModality(mainWindow_ ? Qt::WindowModal : Qt::ApplicationModal);
    if (!soundPath.isEmpty() && box.player()) box.player()->play(soundPath);
    box.setMessage(line);
    box.exec();
    return stopReminders_;
}

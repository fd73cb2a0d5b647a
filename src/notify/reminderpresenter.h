#pragma once

#include <QPixmap>
#include <QString>

// How the digest puts one line in front of the user. The program uses the
// reminder box and the assistant (WindowReminderPresenter); tests script
// the presses.
class ReminderPresenter {
  public:
    virtual ~ReminderPresenter() = default;
    // Once per digest in assistant mode, before its first line: the picture
    // of "img/msgbox.jpg" (null when it is missing or unreadable).
    virtual void prepareAssistant(const QPixmap& picture) = 0;
    // Shows one line, with the list's sound when `soundPath` is not empty,
    // and returns when the user has answered: true when the rest of this
    // list is to be skipped ("STOP" in the box, "Stop" on the assistant).
    virtual bool present(const QString& line, const QString& soundPath, bool assistant) = 0;
};

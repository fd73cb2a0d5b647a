#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;
class QEventLoop;
class QPropertyAnimation;

// The message assistant: a little character beside a speech balloon that
// reads out one line, with a first button to go on and a second captioned
// "Stop". It shows itself in its own small window near the corner of the
// screen, slides in, and waits there for one of its buttons.
class MessageAssistant : public QWidget {
    Q_OBJECT
  public:
    explicit MessageAssistant(QWidget* parent = nullptr);
    ~MessageAssistant() override;

    // A null picture shows the assistant's own picture.
    void setAssistantPicture(const QPixmap& picture);
    void setAssistantText(const QString& text);
    QString assistantText() const;

    // Shows the message with `buttons` buttons (the digest passes 2) and
    // returns when one is pressed; timers and other windows keep running
    // meanwhile. Returns at once, with no button pressed, when called while
    // already waiting or when the program is ending.
    void showAssistant(int buttons);
    // 1 for the first button, 2 for "Stop", 0 when none was pressed.
    qint16 pressedButton() const { return pressed_; }
    bool isWaiting() const { return loop_ != nullptr; }

    // Presses a button as a click would (1 or 2).
    void pressButton(int button);

    QPushButton* button(int index) const;

  Q_SIGNALS:
    // Emitted once the assistant is on screen and waiting for a button.
    void waitingForButton();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void placeOnScreen();

    QLabel* picture_;
    QLabel* text_;
    QPushButton* button1_;
    QPushButton* button2_;
    QPropertyAnimation* entrance_;
    QEventLoop* loop_ = nullptr;
    qint16 pressed_ = 0;
};

// The window that hosts the assistant (objectName "FormMsgAss", the
// assistant's own is "MsgAss1"). It is never shown itself: the
// assistant appears by itself when asked.
class AssistantWindow : public QWidget {
    Q_OBJECT
  public:
    explicit AssistantWindow(QWidget* parent = nullptr);
    ~AssistantWindow() override;

    MessageAssistant* assistant() const { return assistant_; }

  private:
    MessageAssistant* assistant_;
};

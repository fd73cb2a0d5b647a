#pragma once

#include <QList>
#include <QObject>
#include <QString>

// One notice for the desktop's notification service: a summary line, a body
// of plain text (lines separated by "\n") and the actions offered on it.
struct DesktopNotice {
    struct Action {
        QString key;      // what actionInvoked() reports; "default" is a click on the notice
        QString caption;  // the button's text
        friend bool operator==(const Action&, const Action&) = default;
    };
    QString summary;
    QString body;
    QList<Action> actions;
    // The hint of the notification services: 1 normal, 2 critical.
    int urgency = 2;
    friend bool operator==(const DesktopNotice&, const DesktopNotice&) = default;
};

// The desktop's notification service: where alerts are listed and shown on
// the lock screen. Each posted notice gets a handle of the program's own
// (never 0). Where the desktop has no such service, or it does not answer,
// the calls do nothing and never wait; tests put a fake in its place.
class DesktopNotifications : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    // Shows a new notice; it stays until withdrawn or dismissed.
    virtual int post(const DesktopNotice& notice) = 0;
    // Replaces the content of a notice in place, without stacking a new one.
    virtual void update(int handle, const DesktopNotice& notice) = 0;
    // Takes a notice away.
    virtual void withdraw(int handle) = 0;

  Q_SIGNALS:
    // The user chose one of the notice's actions.
    void actionInvoked(int handle, const QString& key);
    // The notice went away without withdraw(): the user or the service
    // dismissed it.
    void closed(int handle);
};

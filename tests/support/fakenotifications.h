#pragma once

#include <QList>
#include <QString>

#include "notify/logic/desktopnotifications.h"

// A notification service that shows nothing and writes down each call; the
// test plays the user with invoke() and dismiss().
class FakeNotifications final : public DesktopNotifications {
  public:
    struct Call {
        QString what;  // "post", "update" or "withdraw"
        int handle;
        DesktopNotice notice;  // empty for "withdraw"
    };
    QList<Call> calls;

    int post(const DesktopNotice& notice) override {
        calls << Call{QStringLiteral("post"), ++lastHandle_, notice};
        return lastHandle_;
    }
    void update(int handle, const DesktopNotice& notice) override {
        calls << Call{QStringLiteral("update"), handle, notice};
    }
    void withdraw(int handle) override { calls << Call{QStringLiteral("withdraw"), handle, {}}; }

    void invoke(int handle, const QString& key) { Q_EMIT actionInvoked(handle, key); }
    void dismiss(int handle) { Q_EMIT closed(handle); }
    // "post 1", "update 1", "withdraw 1": the calls in order, without content.
    QStringList trail() const {
        QStringList out;
        for (const Call& call : calls)
            out << call.what + QLatin1Char(' ') + QString::number(call.handle);
        return out;
    }

  private:
    int lastHandle_ = 0;
};

#pragma once

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QHash>
#include <QString>

#include <optional>

#include "notify/logic/desktopnotifications.h"

// Notices through the desktop's notification service, org.freedesktop.Notifications
// on the session bus. Every call is asynchronous: the program never waits for
// the service, and a call the service answers with an error, or does not
// answer within a few seconds, is dropped. Notices are posted as the
// program's own ("Ricordel", its icon and menu entry), with the notice's
// urgency and without expiry, their body escaped for the service's markup.
class DBusDesktopNotifications final : public DesktopNotifications {
    Q_OBJECT
  public:
    static constexpr int kCallTimeoutMs = 3000;
    // How long the program, ending, waits for a notice whose Notify is still
    // unanswered, so that it can take it away instead of leaving it behind.
    static constexpr int kExitWaitMs = 1000;

    explicit DBusDesktopNotifications(const QDBusConnection& bus, QObject* parent = nullptr);
    // Withdraws the notices still standing, also one whose Notify is still
    // on its way (waiting at most kExitWaitMs for its id).
    ~DBusDesktopNotifications() override;

    int post(const DesktopNotice& notice) override;
    void update(int handle, const DesktopNotice& notice) override;
    void withdraw(int handle) override;

    // The body as the service's markup shows it: "&", "<" and ">" escaped.
    static QString bodyMarkup(const QString& plain);

  private Q_SLOTS:
    void onActionInvoked(uint id, const QString& key);
    void onNotificationClosed(uint id, uint reason);

  private:
    // A notice as far as the service has told: its id once Notify has
    // answered. While the first Notify waits for its answer, a newer content
    // or a withdrawal waits here and is sent when the id arrives.
    struct Entry {
        uint id = 0;
        bool posting = false;
        std::optional<DesktopNotice> next;
        bool withdrawn = false;
        QDBusPendingCall call = QDBusPendingCall::fromError(QDBusError());
    };

    void sendNotify(int handle, uint replacesId, const DesktopNotice& notice);
    void onNotifyAnswered(int handle, bool ok, uint id);
    void sendClose(uint id, bool wait = false);
    int handleOf(uint id) const;

    QDBusConnection bus_;
    QHash<int, Entry> entries_;
    int lastHandle_ = 0;
};

#include "notify/dbusnotifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDeadlineTimer>
#include <QStringList>
#include <QThread>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kAppName = QStringLiteral("Ricordel");
// The installed icon's name, which is also the menu entry's.
const QString kIconName = QStringLiteral("ricordel");
constexpr qint32 kNoExpiry = 0;

}  // namespace

DBusDesktopNotifications::DBusDesktopNotifications(const QDBusConnection& bus, QObject* parent)
    : DesktopNotifications(parent), bus_(bus) {
    if (!bus_.isConnected()) return;
    bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(onActionInvoked(uint, QString)));
    bus_.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                 SLOT(onNotificationClosed(uint, uint)));
}

DBusDesktopNotifications::~DBusDesktopNotifications() {
    QDeadlineTimer deadline(kExitWaitMs);
    for (Entry& entry : entries_) {
        if (entry.posting && !entry.id) {
            // The service has not told the id yet: the notice would stay on
            // the desktop after the program. The reply is taken in the bus's
            // own thread, so a short wait here sees it.
            while (!entry.call.isFinished() && !deadline.hasExpired()) QThread::msleep(5);
            const QDBusPendingReply<uint> reply = entry.call;
            if (reply.isFinished() && reply.isValid()) entry.id = reply.value();
        }
        if (entry.id) sendClose(entry.id, true);
    }
}

QString DBusDesktopNotifications::bodyMarkup(const QString& plain) {
    QString out;
    out.reserve(plain.size());
    for (const QChar c : plain) {
        if (c == u'&')
            out += QStringLiteral("&amp;");
        else if (c == u'<')
            out += QStringLiteral("&lt;");
        else if (c == u'>')
            out += QStringLiteral("&gt;");
        else
            out += c;
    }
    return out;
}

int DBusDesktopNotifications::post(const DesktopNotice& notice) {
    const int handle = ++lastHandle_;
    if (!bus_.isConnected()) return handle;
    entries_.insert(handle, Entry{0, true, std::nullopt, false});
    sendNotify(handle, 0, notice);
    return handle;
}

void DBusDesktopNotifications::update(int handle, const DesktopNotice& notice) {
    auto it = entries_.find(handle);
    if (it == entries_.end()) return;
    if (it->posting) {
        it->next = notice;  // sent with the id once Notify answers
    } else if (it->id) {
        sendNotify(handle, it->id, notice);
    } else {
        // The first post found no service: this one tries afresh.
        it->posting = true;
        sendNotify(handle, 0, notice);
    }
}

void DBusDesktopNotifications::withdraw(int handle) {
    auto it = entries_.find(handle);
    if (it == entries_.end()) return;
    if (it->posting) {
        it->withdrawn = true;
        it->next.reset();
        return;
    }
    if (it->id) sendClose(it->id);
    entries_.erase(it);
}

void DBusDesktopNotifications::sendNotify(int handle, uint replacesId,
                                          const DesktopNotice& notice) {
    QStringList actions;
    for (const DesktopNotice::Action& action : notice.actions)
        actions << action.key << action.caption;
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"),
                 QVariant::fromValue(static_cast<uchar>(notice.urgency)));
    hints.insert(QStringLiteral("desktop-entry"), kIconName);

    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << kAppName << QVariant::fromValue(replacesId) << kIconName << notice.summary
         << bodyMarkup(notice.body) << actions << hints << QVariant::fromValue(kNoExpiry);
    const QDBusPendingCall pending = bus_.asyncCall(call, kCallTimeoutMs);
    if (auto it = entries_.find(handle); it != entries_.end()) it->call = pending;
    auto* watcher = new QDBusPendingCallWatcher(pending, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, handle](QDBusPendingCallWatcher* finished) {
                const QDBusPendingReply<uint> reply = *finished;
                finished->deleteLater();
                onNotifyAnswered(handle, reply.isValid(), reply.isValid() ? reply.value() : 0);
            });
}

void DBusDesktopNotifications::onNotifyAnswered(int handle, bool ok, uint id) {
    auto it = entries_.find(handle);
    if (it == entries_.end()) return;  // withdrawn while an update was on its way
    const bool wasPosting = it->posting;
    it->posting = false;
    if (ok) it->id = id;
    if (!wasPosting) return;
    if (it->withdrawn) {
        if (it->id) sendClose(it->id);
        entries_.erase(it);
        return;
    }
    if (it->next) {
        const DesktopNotice next = *it->next;
        it->next.reset();
        update(handle, next);
    }
}

void DBusDesktopNotifications::sendClose(uint id, bool wait) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       QStringLiteral("CloseNotification"));
    call << QVariant::fromValue(id);
    // At the end the message must leave before the process does: a call
    // that the service answers (or a short time) makes sure it went out.
    if (wait)
        bus_.call(call, QDBus::Block, 250);
    else
        bus_.send(call);
}

int DBusDesktopNotifications::handleOf(uint id) const {
    if (!id) return 0;
    for (auto it = entries_.cbegin(); it != entries_.cend(); ++it)
        if (it->id == id) return it.key();
    return 0;  // not one of ours
}

void DBusDesktopNotifications::onActionInvoked(uint id, const QString& key) {
    if (const int handle = handleOf(id)) Q_EMIT actionInvoked(handle, key);
}

void DBusDesktopNotifications::onNotificationClosed(uint id, uint reason) {
    Q_UNUSED(reason);
    const int handle = handleOf(id);
    if (!handle) return;
    entries_.remove(handle);
    Q_EMIT closed(handle);
}

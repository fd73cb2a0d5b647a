// The notices over D-Bus, against a stand-in notification service on a
// private session bus: the calls, their signatures and hints as a real
// service receives them, the service's signals, and a service that is
// missing or slow to answer. Run under dbus-run-session; without it the test
// is skipped, so it never reaches the desktop's own service.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QSignalSpy>
#include <QtTest/QTest>

#include <cstdio>

#include "notify/dbusnotifications.h"
#include "support/notificationstandin.h"

namespace {

DesktopNotice notice(const QString& body) {
    return DesktopNotice{QStringLiteral("Ricordel - ore 9:05"),
                         body,
                         {{QStringLiteral("default"), QStringLiteral("Apri")},
                          {QStringLiteral("silenzia"), QStringLiteral("Silenzia")}}};
}

// The program's own connection, apart from the stand-in's, so that every
// call goes through the bus.
QDBusConnection programBus() {
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("program"));
}

bool answered(const DBusDesktopNotifications& n) {
    return n.findChildren<QDBusPendingCallWatcher*>().isEmpty();
}

}  // namespace

class DBusNotificationsTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void callsCarryTheirSignaturesAndHints();
    void contentWaitsForTheIdAndStrangersAreIgnored();
};

void DBusNotificationsTest::callsCarryTheirSignaturesAndHints() {
    NotificationStandIn standIn(QDBusConnection::sessionBus());
    DBusDesktopNotifications notices(programBus());
    // No service yet: the post fails without a word; the next update posts afresh.
    const int handle = notices.post(notice(QStringLiteral("Persa")));
    QTRY_VERIFY(answered(notices));
    QVERIFY(standIn.registerOnBus());
    notices.update(handle, notice(QStringLiteral("Dentista & co <3>\nRiunione")));
    // Answered: the client holds the id, so what follows goes out at once
    // instead of waiting for it.
    QTRY_VERIFY(answered(notices));
    QCOMPARE(standIn.calls.size(), 1);
    const NotificationStandIn::Call post = standIn.calls[0];
    QCOMPARE(post.member, "Notify");
    QCOMPARE(post.signature, "susssasa{sv}i");
    QCOMPARE(post.args[0], "Ricordel");
    QCOMPARE(post.args[1].toUInt(), 0u);
    QCOMPARE(post.args[2], "ricordel");
    QCOMPARE(post.args[3], "Ricordel - ore 9:05");
    QCOMPARE(post.args[4], "Dentista &amp; co &lt;3&gt;\nRiunione");
    QCOMPARE(post.args[5].toStringList(), QStringList({"default", "Apri", "silenzia", "Silenzia"}));
    const QVariantMap hints = post.args[6].toMap();
    QCOMPARE(hints.value("urgency").metaType(), QMetaType::fromType<uchar>());
    QCOMPARE(hints.value("urgency").toInt(), 2);
    QCOMPARE(hints.value("desktop-entry"), "ricordel");
    QCOMPARE(post.args[7].toInt(), 0);

    // Later lines replace the notice in place; withdrawing closes that id.
    notices.update(handle, notice(QStringLiteral("Tre")));
    notices.withdraw(handle);
    QTRY_COMPARE(standIn.calls.size(), 3);
    QCOMPARE(standIn.calls[1].args[1].toUInt(), 1u);
    QCOMPARE(standIn.calls[1].args[4], "Tre");
    QCOMPARE(standIn.calls[2].member, "CloseNotification");
    QCOMPARE(standIn.calls[2].signature, "u");
    QCOMPARE(standIn.calls[2].args[0].toUInt(), 1u);

    // A notice still standing when the program ends is withdrawn. This one
    // holds warnings only: normal urgency.
    {
        DBusDesktopNotifications ending(programBus());
        DesktopNotice warning = notice(QStringLiteral("Ultima"));
        warning.urgency = 1;
        ending.post(warning);
        QTRY_VERIFY(answered(ending));
    }
    QTRY_COMPARE(standIn.calls.size(), 5);
    QCOMPARE(standIn.calls[3].args[6].toMap().value("urgency").toInt(), 1);
    QCOMPARE(standIn.calls[4].member, "CloseNotification");
    QCOMPARE(standIn.calls[4].args[0].toUInt(), 2u);
    QDBusConnection::sessionBus().unregisterService("org.freedesktop.Notifications");
    QDBusConnection::sessionBus().unregisterObject("/org/freedesktop/Notifications");
}

void DBusNotificationsTest::contentWaitsForTheIdAndStrangersAreIgnored() {
    NotificationStandIn standIn(QDBusConnection::sessionBus());
    QVERIFY(standIn.registerOnBus());
    DBusDesktopNotifications notices(programBus());
    QSignalSpy actions(&notices, &DesktopNotifications::actionInvoked);
    QSignalSpy closed(&notices, &DesktopNotifications::closed);

    // Two updates before the service has told the id: only the latest goes,
    // with the id, once it is known.
    standIn.holdAnswers = true;
    const int handle = notices.post(notice(QStringLiteral("Uno")));
    notices.update(handle, notice(QStringLiteral("Uno\nDue")));
    notices.update(handle, notice(QStringLiteral("Uno\nDue\nTre")));
    QTRY_COMPARE(standIn.calls.size(), 1);
    standIn.holdAnswers = false;
    standIn.releaseAnswers();
    QTRY_COMPARE(standIn.calls.size(), 2);
    QCOMPARE(standIn.calls[1].args[1].toUInt(), 1u);
    QCOMPARE(standIn.calls[1].args[4], "Uno\nDue\nTre");

    // The service's signals about other programs' notices are not ours.
    standIn.sendActionInvoked(7, "silenzia");
    standIn.sendActionInvoked(1, "silenzia");
    QTRY_COMPARE(actions.size(), 1);
    QCOMPARE(actions[0], QVariantList({handle, QStringLiteral("silenzia")}));
    standIn.sendNotificationClosed(7, 2);
    standIn.sendNotificationClosed(1, 2);
    QTRY_COMPARE(closed.size(), 1);
    QCOMPARE(closed[0], QVariantList{handle});
    notices.withdraw(handle);  // dismissed already: nothing to close

    // Withdrawn before the id came: closed as soon as it comes.
    standIn.holdAnswers = true;
    const int second = notices.post(notice(QStringLiteral("Quattro")));
    notices.withdraw(second);
    QTRY_COMPARE(standIn.calls.size(), 3);
    QCOMPARE(standIn.calls[2].member, "Notify");
    standIn.holdAnswers = false;
    standIn.releaseAnswers();
    QTRY_COMPARE(standIn.calls.size(), 4);
    QCOMPARE(standIn.calls[3].member, "CloseNotification");
    QCOMPARE(standIn.calls[3].args[0].toUInt(), 2u);
    QCOMPARE(actions.size(), 1);
    QCOMPARE(closed.size(), 1);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("RICORDEL_PRIVATE_BUS")) {
        std::puts("SKIP: needs dbus-run-session for a private session bus");
        return 77;
    }
    QCoreApplication app(argc, argv);
    DBusNotificationsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "dbusnotifications_test.moc"

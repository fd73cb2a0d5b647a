// A stand-in notification service for trying the program by hand on a
// private session bus: it prints every call it receives, one per line, and
// reads commands from its input: "action ID KEY" sends ActionInvoked,
// "closed ID REASON" sends NotificationClosed.
//
//   dbus-run-session --config-file=tests/notify/test-bus.conf -- sh -c
//     'build/tests/notify/notify_standin & sleep 1; cd DATA && ricordel'
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <unistd.h>
#include <cstdio>

#include "support/notificationstandin.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    NotificationStandIn standIn(QDBusConnection::sessionBus());
    if (!standIn.registerOnBus()) {
        std::fprintf(stderr, "notify_standin: the service name is taken or there is no bus\n");
        return 1;
    }
    QTextStream out(stdout);
    QObject::connect(&standIn, &NotificationStandIn::called,
                     [&out](const QString& line) { out << line << Qt::endl; });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        if (!std::fgets(buffer, sizeof buffer, stdin)) {
            input.setEnabled(false);
            return;
        }
        const QStringList words = QString::fromUtf8(buffer).simplified().split(u' ');
        if (words.size() == 3 && words[0] == u"action")
            standIn.sendActionInvoked(words[1].toUInt(), words[2]);
        else if (words.size() == 3 && words[0] == u"closed")
            standIn.sendNotificationClosed(words[1].toUInt(), words[2].toUInt());
    });
    return app.exec();
}

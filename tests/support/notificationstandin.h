#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// A stand-in for the desktop's notification service on a test's session bus.
// It answers Notify with ids counted from 1 (or the id it is asked to
// replace), records every call with its D-Bus signature, can hold its
// answers back, and sends the service's two signals on request.
class NotificationStandIn : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
  public:
    struct Call {
        QString member;
        QString signature;
        QVariantList args;
    };

    explicit NotificationStandIn(const QDBusConnection& bus) : bus_(bus) {}

    // Takes the service's name and object path; false when another owns them.
    bool registerOnBus() {
        return bus_.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                   QDBusConnection::ExportAllSlots) &&
               bus_.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }

    QList<Call> calls;
    // While true, Notify answers wait for releaseAnswers().
    bool holdAnswers = false;

    void releaseAnswers() {
        for (const QDBusMessage& answer : std::as_const(held_)) bus_.send(answer);
        held_.clear();
    }
    void sendActionInvoked(uint id, const QString& key) {
        sendSignal(QStringLiteral("ActionInvoked"), {QVariant::fromValue(id), key});
    }
    void sendNotificationClosed(uint id, uint reason) {
        sendSignal(QStringLiteral("NotificationClosed"),
                   {QVariant::fromValue(id), QVariant::fromValue(reason)});
    }

  Q_SIGNALS:
    void called(const QString& line);

  public Q_SLOTS:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int expireTimeout) {
        const uint id = replacesId ? replacesId : ++lastId_;
        record(QStringLiteral("Notify"),
               {appName, replacesId, appIcon, summary, body, actions, hints, expireTimeout});
        if (holdAnswers) {
            setDelayedReply(true);
            held_ << message().createReply(QVariant::fromValue(id));
        }
        return id;
    }
    void CloseNotification(uint id) { record(QStringLiteral("CloseNotification"), {id}); }
    QStringList GetCapabilities() {
        record(QStringLiteral("GetCapabilities"), {});
        return {QStringLiteral("actions"), QStringLiteral("body"), QStringLiteral("body-markup")};
    }
    QString GetServerInformation(QString& vendor, QString& version, QString& specVersion) {
        record(QStringLiteral("GetServerInformation"), {});
        vendor = QStringLiteral("Ricordel");
        version = QStringLiteral("1");
        specVersion = QStringLiteral("1.2");
        return QStringLiteral("stand-in");
    }

  private:
    void record(const QString& member, const QVariantList& args) {
        calls << Call{member, message().signature(), args};
        QStringList shown;
        for (const QVariant& arg : args) {
            if (arg.metaType().id() == QMetaType::QVariantMap) {
                QStringList hints;
                const QVariantMap map = arg.toMap();
                for (auto it = map.cbegin(); it != map.cend(); ++it) {
                    const bool byte = it->metaType() == QMetaType::fromType<uchar>();
                    hints << it.key() + QLatin1Char('(') + it->typeName() + QStringLiteral(")=") +
                                 (byte ? QString::number(it->toUInt()) : it->toString());
                }
                shown << QLatin1Char('{') + hints.join(QStringLiteral(", ")) + QLatin1Char('}');
            } else if (arg.metaType().id() == QMetaType::QStringList) {
                shown << QLatin1Char('[') + arg.toStringList().join(QStringLiteral(", ")) +
                             QLatin1Char(']');
            } else {
                shown << QLatin1Char('"') + arg.toString() + QLatin1Char('"');
            }
        }
        Q_EMIT called(member + QLatin1Char(' ') + message().signature() + QLatin1Char(' ') +
                      shown.join(QLatin1Char(' ')));
    }
    void sendSignal(const QString& name, const QVariantList& args) {
        QDBusMessage signal =
            QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                       QStringLiteral("org.freedesktop.Notifications"), name);
        signal.setArguments(args);
        bus_.send(signal);
    }

    QDBusConnection bus_;
    QList<QDBusMessage> held_;
    uint lastId_ = 0;
};

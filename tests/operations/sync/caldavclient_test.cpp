#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTest>

#include "operations/sync/caldavclient.h"
#include "operations/sync/caldavdiscovery.h"
#include "support/radicale.h"

namespace {

const QString kUser = QStringLiteral("anna@example.com");
const QString kPassword = QStringLiteral("segreto");

// What one asynchronous call answered.
template <class T>
struct Outcome {
    bool done = false;
    std::optional<ServerFailure> failure;
    T value{};
};

template <class T>
auto into(Outcome<T>& out) {
    return [&out](const std::optional<ServerFailure>& failure, const T& value) {
        QVERIFY(!out.done);  // once only
        out.done = true;
        out.failure = failure;
        out.value = value;
    };
}

#define WAIT_FOR(out) QTRY_VERIFY_WITH_TIMEOUT((out).done, 15000)

// The failure, for a check's message (QVERIFY2 reads it even on success).
template <class T>
QByteArray why(const Outcome<T>& out) {
    return out.failure ? describeFailure(*out.failure).toUtf8() : QByteArray("nessun errore");
}

}  // namespace

class CalDavClientTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<RadicaleServer> server_;
    QNetworkAccessManager network_;

    ServerAccount account(const QUrl& url, const QString& password = kPassword) const {
        ServerAccount a;
        a.calendar = url;
        a.user = kUser;
        a.password = password;
        return a;
    }

  private Q_SLOTS:
    void initTestCase() {
        server_ = std::make_unique<RadicaleServer>(RadicaleServer::Users{{kUser, kPassword}});
        QVERIFY2(server_->isRunning(), qPrintable(server_->log()));
    }

    // From the server's root, a user name with "@" leads through the
    // principal and the home set to the user's VEVENT calendars; a
    // calendar's own address is taken as it is; a new calendar takes the
    // next free name.
    void discoveryAndCreation() {
        const QUrl agenda = server_->makeCalendar(kUser, kPassword, QStringLiteral("agenda"));
        QVERIFY(!agenda.isEmpty());
        CalDavDiscovery discovery(&network_);

        Outcome<CalDavDiscovery::Found> fromRoot;
        discovery.discover(account(server_->root()), into(fromRoot));
        QVERIFY(!fromRoot.done);
        WAIT_FOR(fromRoot);
        QVERIFY2(!fromRoot.failure, why(fromRoot).constData());
        QVERIFY(!fromRoot.value.addressIsCalendar);
        QCOMPARE(fromRoot.value.homeSet.path(QUrl::FullyDecoded),
                 QStringLiteral("/anna@example.com/"));
        QCOMPARE(fromRoot.value.calendars.size(), 1);
        QCOMPARE(fromRoot.value.calendars.first().url, agenda);
        QCOMPARE(fromRoot.value.calendars.first().name, QStringLiteral("agenda"));

        Outcome<CalDavDiscovery::Found> fromCalendar;
        discovery.discover(account(agenda), into(fromCalendar));
        WAIT_FOR(fromCalendar);
        QVERIFY(!fromCalendar.failure);
        QVERIFY(fromCalendar.value.addressIsCalendar);
        QCOMPARE(fromCalendar.value.calendars.size(), 1);
        QCOMPARE(fromCalendar.value.calendars.first().url, agenda);

        for (const QString& segment :
             {QStringLiteral("ricordel/"), QStringLiteral("ricordel-2/")}) {
            Outcome<QUrl> created;
            discovery.createCalendar(account(server_->root()), fromRoot.value.homeSet,
                                     QStringLiteral("Agenda di Anna"), into(created));
            WAIT_FOR(created);
            QVERIFY2(!created.failure, why(created).constData());
            QCOMPARE(created.value.path(QUrl::FullyDecoded),
                     QStringLiteral("/anna@example.com/") + segment);
        }
        Outcome<CalDavDiscovery::Found> again;
        discovery.discover(account(server_->root()), into(again));
        WAIT_FOR(again);
        QCOMPARE(again.value.calendars.size(), 3);

        Outcome<CalDavDiscovery::Found> refused;
        discovery.discover(account(server_->root(), QStringLiteral("sbagliata")), into(refused));
        WAIT_FOR(refused);
        QVERIFY(refused.failure);
        QCOMPARE(refused.failure->kind, ServerFailure::Kind::Unauthorized);
    }
};

RICORDEL_RADICALE_TEST_MAIN(CalDavClientTest)
#include "caldavclient_test.moc"

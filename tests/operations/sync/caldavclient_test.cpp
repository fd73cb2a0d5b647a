#include <QNetworkAccessManager>
#include <QProcess>
#include <QSslKey>
#include <QSslServer>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
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

QByteArray icsEvent(const QByteArray& uid, const QByteArray& summary) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Ricordel//prova//IT\r\n"
           "BEGIN:VEVENT\r\nUID:" +
           uid +
           "\r\nDTSTAMP:20240101T000000Z\r\nDTSTART;VALUE=DATE:20240305\r\nSUMMARY:" + summary +
           "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

// A server on 127.0.0.1 that answers every request with `answer` (nothing
// at all when it is empty).
class FakeServer : public QTcpServer {
  public:
    explicit FakeServer(const QByteArray& answer) {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this, answer] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [socket, answer] {
                    socket->readAll();
                    if (!answer.isEmpty()) socket->write(answer);
                });
            }
        });
    }
    QUrl url() const {
        QUrl u;
        u.setScheme(QStringLiteral("http"));
        u.setHost(QStringLiteral("127.0.0.1"));
        u.setPort(serverPort());
        u.setPath(QStringLiteral("/anna/agenda/"));
        return u;
    }
};

QByteArray httpAnswer(const QByteArray& head, const QByteArray& body) {
    return head + "\r\nContent-Type: application/xml\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body;
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

    // Writing is conditional both ways: a new object only where nothing is,
    // an existing one only over its current ETag; deleting twice is fine.
    void conditionalWrites() {
        const QUrl url = server_->makeCalendar(kUser, kPassword, QStringLiteral("scritture"));
        QVERIFY(!url.isEmpty());
        CalDavClient client(&network_, account(url));
        const QString href = client.hrefFor("prova 1@example.com/ è");
        QCOMPARE(href, QStringLiteral("/anna@example.com/scritture/prova-1@example.com---.ics"));

        auto put = [&](const QByteArray& ics, const QByteArray& ifMatch) {
            Outcome<QByteArray> out;
            client.put(href, ics, ifMatch, into(out));
            [&] { WAIT_FOR(out); }();
            return out;
        };
        const auto created = put(icsEvent("prova 1@example.com/ è", "Primo"), {});
        QVERIFY2(!created.failure, why(created).constData());
        QVERIFY(!created.value.isEmpty());
        const auto updated = put(icsEvent("prova 1@example.com/ è", "Secondo"), created.value);
        QVERIFY2(!updated.failure, why(updated).constData());
        QVERIFY(updated.value != created.value);
        for (const QByteArray& stale : {created.value, QByteArray()}) {
            const auto refused = put(icsEvent("prova 1@example.com/ è", "Terzo"), stale);
            QVERIFY(refused.failure);
            QCOMPARE(refused.failure->kind, ServerFailure::Kind::Changed);
        }

        Outcome<bool> staleRemove;
        client.remove(href, created.value, into(staleRemove));
        WAIT_FOR(staleRemove);
        QVERIFY(staleRemove.failure);
        QCOMPARE(staleRemove.failure->kind, ServerFailure::Kind::Changed);
        for (const QByteArray& ifMatch : {updated.value, QByteArray()}) {
            Outcome<bool> removed;  // the second time it is already gone
            client.remove(href, ifMatch, into(removed));
            WAIT_FOR(removed);
            QVERIFY2(!removed.failure, why(removed).constData());
            QVERIFY(removed.value);
        }
    }

    // A token round trip: what changed after it, what was removed, nothing
    // at all for one request; a token the server does not know lists all.
    // The objects come back by href, a missing one left out.
    void changesAndFetch() {
        const QUrl url = server_->makeCalendar(kUser, kPassword, QStringLiteral("cambi"));
        QVERIFY(!url.isEmpty());
        CalDavClient client(&network_, account(url));
        QHash<QString, QByteArray> etags;
        for (const QByteArray uid : {"uno", "due", "tre"}) {
            Outcome<QByteArray> out;
            client.put(client.hrefFor(uid), icsEvent(uid, QByteArray("Evento " + uid)), {},
                       into(out));
            WAIT_FOR(out);
            QVERIFY2(!out.failure, why(out).constData());
            etags.insert(client.hrefFor(uid), out.value);
        }
        auto list = [&](const QByteArray& token) {
            Outcome<EventListing> out;
            client.listChanges(token, into(out));
            [&] { WAIT_FOR(out); }();
            return out;
        };
        const auto first = list({});
        QVERIFY2(!first.failure, why(first).constData());
        QVERIFY(first.value.complete);
        QVERIFY(!first.value.token.isEmpty());
        QCOMPARE(first.value.changed, etags);

        Outcome<QByteArray> added;
        client.put(client.hrefFor("quattro"), icsEvent("quattro", "Nuovo"), {}, into(added));
        WAIT_FOR(added);
        Outcome<bool> removed;
        client.remove(client.hrefFor("uno"), {}, into(removed));
        WAIT_FOR(removed);
        const auto second = list(first.value.token);
        QVERIFY2(!second.failure, why(second).constData());
        QVERIFY(!second.value.complete);
        QCOMPARE(second.value.changed.keys(), QList<QString>{client.hrefFor("quattro")});
        QCOMPARE(second.value.changed.value(client.hrefFor("quattro")), added.value);
        QCOMPARE(second.value.removed, QStringList{client.hrefFor("uno")});

        const int before = client.requestsSent();
        const auto nothing = list(second.value.token);
        QVERIFY2(!nothing.failure, why(nothing).constData());
        QVERIFY(nothing.value.changed.isEmpty() && nothing.value.removed.isEmpty());
        QCOMPARE(client.requestsSent() - before, 1);

        const auto unknown = list("http://radicale.org/ns/sync/sconosciuto");
        QVERIFY2(!unknown.failure, why(unknown).constData());
        QVERIFY(unknown.value.complete);
        QCOMPARE(unknown.value.changed.size(), 3);

        Outcome<QList<FetchedEvent>> fetched;
        client.fetch({client.hrefFor("due"), client.hrefFor("uno"), client.hrefFor("quattro")},
                     into(fetched));
        WAIT_FOR(fetched);
        QVERIFY2(!fetched.failure, why(fetched).constData());
        QCOMPARE(fetched.value.size(), 2);
        for (const FetchedEvent& e : fetched.value) {
            QCOMPARE(e.etag, e.href == client.hrefFor("due") ? etags.value(e.href) : added.value);
            QVERIFY(e.ics.contains(e.href == client.hrefFor("due") ? "SUMMARY:Evento due"
                                                                   : "SUMMARY:Nuovo"));
        }

        // Dropped calls never answer, even when the server has.
        bool called = false;
        client.listChanges({}, [&](const auto&, const auto&) { called = true; });
        client.cancelAll();
        const auto after = list(second.value.token);
        QVERIFY(!after.failure);
        QVERIFY(!called);
    }

    // The failures that come from the account: each is reported as itself.
    void accountFailures() {
        const QUrl url = server_->makeCalendar(kUser, kPassword, QStringLiteral("errori"));
        QVERIFY(!url.isEmpty());
        QUrl missing = url;
        missing.setPath(QStringLiteral("/anna@example.com/non-esiste/"));
        QTcpServer closed;  // a port nobody listens on once closed
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        QUrl refusing = url;
        refusing.setPort(closed.serverPort());
        closed.close();
        QUrl remote(QStringLiteral("http://calendario.example.com/anna/"));
        struct Case {
            QUrl url;
            QString password;
            ServerFailure::Kind kind;
            int requests;
        };
        const Case cases[] = {
            {url, QStringLiteral("sbagliata"), ServerFailure::Kind::Unauthorized, 1},
            {missing, kPassword, ServerFailure::Kind::NotFound, 1},
            {refusing, kPassword, ServerFailure::Kind::Unreachable, 1},
            {remote, kPassword, ServerFailure::Kind::InsecureHttp, 0},
        };
        for (const Case& c : cases) {
            CalDavClient client(&network_, account(c.url, c.password));
            Outcome<EventListing> out;
            client.listChanges({}, into(out));
            QVERIFY(!out.done);  // never inside the call
            WAIT_FOR(out);
            QVERIFY2(out.failure, qPrintable(c.url.toString()));
            QCOMPARE(out.failure->kind, c.kind);
            QCOMPARE(client.requestsSent(), c.requests);
        }

        struct Address {
            const char* url;
            bool safe;
        };
        for (const Address a :
             {Address{"https://calendario.example.com/", true},
              Address{"http://localhost:5232/", true}, Address{"http://127.0.0.2/", true},
              Address{"http://[::1]:5232/", true}, Address{"http://192.168.1.2/", false},
              Address{"http://localhost.example.com/", false},
              Address{"ftp://localhost/", false}}) {
            QVERIFY2(isSafeWithoutAsking(QUrl(QString::fromLatin1(a.url))) == a.safe, a.url);
        }
    }

    // Servers that misbehave: silent, announcing a huge answer, or answering
    // something that does not read as a multistatus.
    void misbehavingServers_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<ServerFailure::Kind>("kind");
        QByteArray nested;
        for (int i = 0; i < 100; ++i) nested += "<D:prop>";
        QTest::newRow("silenzioso") << QByteArray() << ServerFailure::Kind::TimedOut;
        QTest::newRow("enorme")
            << QByteArray("HTTP/1.1 207 Multi-Status\r\nContent-Length: 100000000000\r\n\r\n<?xml")
            << ServerFailure::Kind::BadAnswer;
        QTest::newRow("annidato") << httpAnswer(
                                         "HTTP/1.1 207 Multi-Status",
                                         "<D:multistatus xmlns:D=\"DAV:\"><D:response>" + nested)
                                  << ServerFailure::Kind::BadAnswer;
        QTest::newRow("non xml") << httpAnswer("HTTP/1.1 207 Multi-Status", "ciao")
                                 << ServerFailure::Kind::BadAnswer;
        QTest::newRow("errore") << httpAnswer("HTTP/1.1 500 Guasto", "")
                                << ServerFailure::Kind::Other;
    }
    void misbehavingServers() {
        QFETCH(QByteArray, answer);
        QFETCH(ServerFailure::Kind, kind);
        FakeServer fake(answer);
        QVERIFY(fake.isListening());
        CalDavClient client(&network_, account(fake.url()));
        client.setTimeoutMs(300);
        Outcome<EventListing> out;
        client.listChanges("token", into(out));
        WAIT_FOR(out);
        QVERIFY(out.failure);
        QCOMPARE(out.failure->kind, kind);
        QCOMPARE(client.requestsSent(), 1);
    }

    // A certificate the system does not trust stops the request with its
    // fingerprint; once the user confirmed that fingerprint, it goes through.
    void pinnedCertificate() {
        const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
        if (openssl.isEmpty()) QSKIP("openssl non installato");
        QTemporaryDir dir;
        QProcess make;
        make.start(openssl,
                   {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-days", "2", "-subj", "/CN=calendario.prova", "-keyout",
                    dir.filePath("key.pem"), "-out", dir.filePath("cert.pem")});
        QVERIFY(make.waitForFinished(30000) && make.exitCode() == 0);
        QFile certFile(dir.filePath("cert.pem"));
        QFile keyFile(dir.filePath("key.pem"));
        QVERIFY(certFile.open(QIODevice::ReadOnly) && keyFile.open(QIODevice::ReadOnly));
        const QSslCertificate certificate(certFile.readAll());
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificate(certificate);
        tls.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Ec));

        QSslServer server;
        server.setSslConfiguration(tls);
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        const QByteArray answer = httpAnswer(
            "HTTP/1.1 207 Multi-Status",
            "<D:multistatus xmlns:D=\"DAV:\"><D:sync-token>t1</D:sync-token></D:multistatus>");
        connect(&server, &QSslServer::pendingConnectionAvailable, &server, [&] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [socket, answer] {
                    socket->readAll();
                    socket->write(answer);
                });
            }
        });
        QUrl url(QStringLiteral("https://127.0.0.1/anna/agenda/"));
        url.setPort(server.serverPort());
        const QString fingerprint = QString::fromLatin1(
            certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());

        CalDavClient untrusting(&network_, account(url));
        Outcome<EventListing> refused;
        untrusting.listChanges({}, into(refused));
        WAIT_FOR(refused);
        QVERIFY(refused.failure);
        QCOMPARE(refused.failure->kind, ServerFailure::Kind::Untrusted);
        QCOMPARE(refused.failure->fingerprint, fingerprint);
        QVERIFY(refused.failure->certificateText.contains(QStringLiteral("calendario.prova")));
        QVERIFY(certificateQuestion(url, *refused.failure).contains(fingerprint));

        ServerAccount pinned = account(url);
        pinned.trustedFingerprint = fingerprint.toLower();
        CalDavClient trusting(&network_, pinned);
        Outcome<EventListing> accepted;
        trusting.listChanges({}, into(accepted));
        WAIT_FOR(accepted);
        QVERIFY2(!accepted.failure, why(accepted).constData());
        QCOMPARE(accepted.value.token, QByteArray("t1"));
    }
};

RICORDEL_RADICALE_TEST_MAIN(CalDavClientTest)
#include "caldavclient_test.moc"

#pragma once

// A real CalDAV server for the sync tests: Debian's Radicale on a free
// 127.0.0.1 port, with its own storage folder, no system configuration and
// plain htpasswd users. Usage:
//
//   RadicaleServer server({{"anna@example.com", "segreto"}});
//   QVERIFY2(server.isRunning(), qPrintable(server.log()));
//   const QUrl calendar = server.makeCalendar("anna@example.com", "segreto", "agenda");
//
// and end the test file with RICORDEL_RADICALE_TEST_MAIN(TestClass), which
// exits 77 (skipped, SKIP_RETURN_CODE 77 in CMake) when radicale is missing.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <utility>

class RadicaleServer {
  public:
    using Users = QList<std::pair<QString, QString>>;  // user name, password

    explicit RadicaleServer(const Users& users) {
        QFile htpasswd(dir_.filePath(QStringLiteral("users")));
        if (!htpasswd.open(QIODevice::WriteOnly)) return;
        for (const auto& [user, password] : users) {
            htpasswd.write(user.toUtf8() + ':' + password.toUtf8() + '\n');
        }
        htpasswd.close();
        // The port is free when asked, and could be taken before radicale
        // binds it: a few tries.
        for (int attempt = 0; attempt < 3 && !running_; ++attempt) start();
    }
    RadicaleServer(const RadicaleServer&) = delete;
    RadicaleServer& operator=(const RadicaleServer&) = delete;

    ~RadicaleServer() { stop(); }

    static bool available() {
        return !QStandardPaths::findExecutable(QStringLiteral("radicale")).isEmpty();
    }

    bool isRunning() const { return running_; }
    quint16 port() const { return port_; }
    QUrl root() const {
        QUrl url;
        url.setScheme(QStringLiteral("http"));
        url.setHost(QStringLiteral("127.0.0.1"));
        url.setPort(port_);
        url.setPath(QStringLiteral("/"));
        return url;
    }
    // What radicale wrote, for a failure message.
    QString log() const {
        QFile f(dir_.filePath(QStringLiteral("radicale.log")));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll().right(4000)) : QString();
    }

    // Makes the calendar collection /<user>/<name>/ (MKCALENDAR, VEVENT) and
    // returns its URL; an empty URL when the server refused or took over 10 s.
    QUrl makeCalendar(const QString& user, const QString& password, const QString& name) const {
        QUrl url = root();
        url.setPath(QLatin1Char('/') + user + QLatin1Char('/') + name + QLatin1Char('/'),
                    QUrl::DecodedMode);
        QNetworkRequest request(url);
        request.setRawHeader("Authorization",
                             "Basic " + (user + QLatin1Char(':') + password).toUtf8().toBase64());
        request.setRawHeader("Content-Type", "application/xml; charset=utf-8");
        request.setTransferTimeout(10000);
        const QByteArray body =
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
            "<C:mkcalendar xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\">"
            "<D:set><D:prop><D:displayname>" +
            name.toHtmlEscaped().toUtf8() +
            "</D:displayname><C:supported-calendar-component-set><C:comp name=\"VEVENT\"/>"
            "</C:supported-calendar-component-set></D:prop></D:set></C:mkcalendar>";
        QNetworkAccessManager network;
        QNetworkReply* reply = network.sendCustomRequest(request, "MKCALENDAR", body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        if (!reply->isFinished()) loop.exec();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        reply->abort();
        delete reply;
        return status == 201 ? url : QUrl();
    }

  private:
    static quint16 freePort() {
        QTcpServer probe;
        return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
    }

    void start() {
        stop();
        port_ = freePort();
        if (port_ == 0) return;
        const QString storage = dir_.filePath(QStringLiteral("storage"));
        process_.setProgram(QStandardPaths::findExecutable(QStringLiteral("radicale")));
        process_.setArguments({
            QStringLiteral("--config="),
            QStringLiteral("--server-hosts=127.0.0.1:%1").arg(port_),
            QStringLiteral("--storage-filesystem-folder=") + storage,
            QStringLiteral("--auth-type=htpasswd"),
            QStringLiteral("--auth-htpasswd-filename=") + dir_.filePath(QStringLiteral("users")),
            QStringLiteral("--auth-htpasswd-encryption=plain"),
            QStringLiteral("--auth-delay=0"),
            QStringLiteral("--logging-level=warning"),
        });
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.setStandardOutputFile(dir_.filePath(QStringLiteral("radicale.log")),
                                       QIODevice::Append);
        process_.start();
        if (!process_.waitForStarted(5000)) return;
        // Polls until it accepts a connection, for at most 15 s.
        const QDeadlineTimer deadline(15000);
        while (!deadline.hasExpired() && process_.state() == QProcess::Running) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port_);
            if (socket.waitForConnected(200)) {
                running_ = true;
                return;
            }
            process_.waitForFinished(100);  // a pause, cut short if it exits
        }
    }

    void stop() {
        running_ = false;
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();  // SIGTERM
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }

    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
    bool running_ = false;
};

// The test's main(): exits 77 (skipped) when radicale is not installed.
#define RICORDEL_RADICALE_TEST_MAIN(TestObject)                            \
    int main(int argc, char** argv) {                                      \
        QCoreApplication app(argc, argv);                                  \
        if (!RadicaleServer::available()) {                                \
            std::fputs("radicale non installato: test saltato\n", stderr); \
            return 77;                                                     \
        }                                                                  \
        TestObject test;                                                   \
        QTEST_SET_MAIN_SOURCE_PATH                                         \
        return QTest::qExec(&test, argc, argv);                            \
    }

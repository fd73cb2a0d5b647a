// One copy per data folder: the lock, the channel a second start talks to,
// the runtime folder the channel lives in, the requests and their bounds,
// and other users at either end of the channel.
#include <QCoreApplication>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest/QTest>

#include <functional>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "notify/foreignpeer.h"
#include "notify/logic/channelrequest.h"
#include "notify/singleinstance.h"
#include "support/tempfolder.h"

using namespace std::chrono_literals;

namespace {

// Sets an environment variable for the life of the object.
class EnvironmentVariable {
  public:
    EnvironmentVariable(const char* name, const QString& value)
        : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
        qputenv(name, QFile::encodeName(value));
    }
    ~EnvironmentVariable() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

  private:
    const char* name_;
    QByteArray old_;
    bool had_;
};

// A socket file with nobody behind it, as a copy that crashed leaves.
bool leaveDeadSocket(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(), name.size());
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(s);
    return bound;
}

}  // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        runtime_ = std::make_unique<TempFolder>();  // mode 0700, ours
        runtimeVariable_ =
            std::make_unique<EnvironmentVariable>("XDG_RUNTIME_DIR", runtime_->path());
    }
    void cleanup() {
        runtimeVariable_.reset();
        runtime_.reset();
    }

    void secondCopyAsksTheFirstToShow() {
        TempFolder folder;
        TempFolder other;
        SingleInstance first(folder.path());
        QCOMPARE(first.acquire(), SingleInstance::Outcome::First);
        QVERIFY(first.listening());
        QCOMPARE(first.channelProblem(), QString());
        QVERIFY(folder.exists(SingleInstance::lockFileName()));
        QCOMPARE(QFileInfo(first.channelPath()).absolutePath(), runtime_->path());

        // The same folder by another name is the same folder.
        SingleInstance second(folder.path() + "/.");
        QCOMPARE(second.acquire(), SingleInstance::Outcome::AlreadyRunning);
        QSignalSpy shown(&first, &SingleInstance::showRequested);
        QCOMPARE(second.askRunningCopyToShow(), SingleInstance::Delivery::Delivered);
        QVERIFY(shown.wait(5000));
        QCOMPARE(shown.count(), 1);
        // A calendar file handed over by its absolute path, whatever it holds.
        QSignalSpy imported(&first, &SingleInstance::importRequested);
        const QString odd = folder.file(QStringLiteral("invito è\n1.ics"));
        QCOMPARE(second.askRunningCopyToImport(odd), SingleInstance::Delivery::Delivered);
        QVERIFY(imported.wait(5000));
        QCOMPARE(imported.count(), 1);
        QCOMPARE(imported.at(0).at(0).toString(), odd);
        // A path too long for any request is not sent.
        QCOMPARE(second.askRunningCopyToImport("/" + QString(kMaxChannelRequest, u'x')),
                 SingleInstance::Delivery::NoAnswer);

        SingleInstance elsewhere(other.path());
        QCOMPARE(elsewhere.acquire(), SingleInstance::Outcome::First);
        QVERIFY(elsewhere.listening());
        QVERIFY(SingleInstance::serverName(folder.path()) !=
                SingleInstance::serverName(other.path()));
        QVERIFY(SingleInstance::serverName(folder.path()).size() < 60);
    }

    void staleLockAndSocketAreTakenOver() {
        TempFolder folder;
        // A copy that died without unlocking: its lock names a process that
        // is gone, and its socket is still there.
        QProcess gone;
        gone.start("true", {});
        QVERIFY(gone.waitForFinished(10000));
        const qint64 deadPid = gone.processId() > 0 ? gone.processId() : 999999;
        const QByteArray host = QSysInfo::machineHostName().toUtf8();
        folder.write(SingleInstance::lockFileName(),
                     QByteArray::number(deadPid) + "\nricordel\n" + host + "\n");
        QVERIFY(leaveDeadSocket(runtime_->file(SingleInstance::serverName(folder.path()))));
        {
            SingleInstance next(folder.path());
            QCOMPARE(next.acquire(), SingleInstance::Outcome::First);
            QVERIFY2(next.listening(), qPrintable(next.channelProblem()));
        }
        // A lock whose holder still runs is not taken.
        folder.write(SingleInstance::lockFileName(),
                     QByteArray::number(QCoreApplication::applicationPid()) + "\n" +
                         QCoreApplication::applicationFilePath().toUtf8() + "\n" + host + "\n");
        SingleInstance blocked(folder.path());
        QCOMPARE(blocked.acquire(), SingleInstance::Outcome::AlreadyRunning);
    }

    void runtimeFolderMustBePrivate() {
        TempFolder temp;
        const EnvironmentVariable tmpdir("TMPDIR", temp.path());
        const QString own = temp.file("ricordel-" + QString::number(::geteuid()));
        // A runtime folder others may enter is passed over for the program's
        // own folder, made private.
        QVERIFY(QFile::setPermissions(runtime_->path(), QFile::ReadOwner | QFile::WriteOwner |
                                                            QFile::ExeOwner | QFile::ReadOther |
                                                            QFile::ExeOther));
        {
            TempFolder folder;
            SingleInstance first(folder.path());
            QCOMPARE(first.acquire(), SingleInstance::Outcome::First);
            QVERIFY2(first.listening(), qPrintable(first.channelProblem()));
            QCOMPARE(QFileInfo(first.channelPath()).absolutePath(), own);
            struct stat st {};
            QVERIFY(::lstat(QFile::encodeName(own).constData(), &st) == 0);
            QCOMPARE(st.st_mode & 07777, 0700u);
            SingleInstance second(folder.path());
            QCOMPARE(second.acquire(), SingleInstance::Outcome::AlreadyRunning);
            QCOMPARE(second.askRunningCopyToShow(), SingleInstance::Delivery::Delivered);
        }

        // The program's own folder spoiled: open to others, a link planted in
        // its place, another user's. No copy uses it.
        TempFolder elsewhere;
        struct Spoil {
            const char* what;
            std::function<bool()> spoil;
        };
        QList<Spoil> spoils{
            {"è accessibile ad altri utenti",
             [&] {
                 return QFile::setPermissions(
                     own, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther);
             }},
            {"non è una cartella",
             [&] { return QDir(own).removeRecursively() && QFile::link(elsewhere.path(), own); }},
        };
        if (ForeignPeer::available())
            spoils.append({"appartiene a un altro utente", [&] {
                               return QFile::remove(own) && QDir().mkdir(own) &&
                                      ::chown(QFile::encodeName(own), ForeignPeer::kUid, 0) == 0;
                           }});
        for (const Spoil& s : spoils) {
            QVERIFY2(s.spoil(), s.what);
            TempFolder folder;
            SingleInstance first(folder.path());
            QCOMPARE(first.acquire(), SingleInstance::Outcome::First);
            QVERIFY(!first.listening());
            QVERIFY2(first.channelProblem().startsWith("Ricordel non può ricevere file") &&
                         first.channelProblem().contains(QString::fromUtf8(s.what)),
                     qPrintable(first.channelProblem()));
            SingleInstance second(folder.path());
            QCOMPARE(second.acquire(), SingleInstance::Outcome::AlreadyRunning);
            QCOMPARE(second.askRunningCopyToShow(), SingleInstance::Delivery::Refused);
            QVERIFY2(second.channelProblem().startsWith("nulla inviato") &&
                         second.channelProblem().contains(QString::fromUtf8(s.what)),
                     qPrintable(second.channelProblem()));
        }
        QVERIFY(QDir(elsewhere.path()).isEmpty());  // nothing made behind the link
    }

    void requestLines() {
        const auto import = [](const QString& path) {
            return ChannelRequest{ChannelRequest::Kind::Import, path};
        };
        QVERIFY(parseChannelRequest("show\n") == ChannelRequest{});
        QVERIFY(parseChannelRequest(encodeChannelRequest(import("/a/invito è\n.ics"))) ==
                import("/a/invito è\n.ics"));
        // "import ", 16376 Base64 characters for a path of 12282 bytes, "\n".
        const QByteArray longest = encodeChannelRequest(import("/" + QString(12281, u'x')));
        QCOMPARE(longest.size(), kMaxChannelRequest);
        QVERIFY(parseChannelRequest(longest) == import("/" + QString(12281, u'x')));
        QVERIFY(encodeChannelRequest(import("/" + QString(12282, u'x'))).isEmpty());
        QVERIFY(encodeChannelRequest(import("relativo.ics")).isEmpty());

        for (const QByteArray& wrong : QList<QByteArray>{
                 QByteArray("show"), QByteArray("show\nshow\n"), QByteArray("SHOW\n"),
                 QByteArray("show \n"), QByteArray(), QByteArray("\n"), QByteArray("import \n"),
                 "import " + QByteArray("relativo.ics").toBase64() + "\n",
                 "import " + QByteArray("/a\0b", 4).toBase64() + "\n",
                 "import " + QByteArray("/a/\xff\xfe.ics").toBase64() + "\n",
                 "import " + QByteArray("/a.ics").toBase64().insert(3, '*') + "\n",
                 "import " + QByteArray("/a.ics").toBase64() + "\r\n",
                 "import " + QByteArray("/" + QByteArray(12282, 'x')).toBase64() + "\n"}) {
            QVERIFY2(!parseChannelRequest(wrong), wrong.left(60).constData());
        }
    }

    void connectionsAreBounded() {
        TempFolder folder;
        SingleInstance first(folder.path());
        QCOMPARE(first.acquire(), SingleInstance::Outcome::First);
        first.setRequestDeadline(100ms);
        QSignalSpy shown(&first, &SingleInstance::showRequested);
        QSignalSpy imported(&first, &SingleInstance::importRequested);
        // Half a request and then silence; a line longer than any request;
        // a line that is no request: each connection is closed.
        for (const QByteArray& bytes : {QByteArray("sho"), QByteArray(kMaxChannelRequest + 10, 'a'),
                                        QByteArray("import !!!\n")}) {
            QLocalSocket client;
            client.connectToServer(first.channelPath());
            QVERIFY(client.waitForConnected(5000));
            QSignalSpy closed(&client, &QLocalSocket::disconnected);
            client.write(bytes);
            QVERIFY2(closed.wait(10000), bytes.left(20).constData());
        }
        QCOMPARE(shown.count() + imported.count(), 0);

        // Connections that wait, up to a number; the next one is closed unread.
        first.setRequestDeadline(10min);
        std::vector<std::unique_ptr<QLocalSocket>> idle;
        for (int i = 0; i <= SingleInstance::kMaxWaitingConnections; ++i) {
            idle.push_back(std::make_unique<QLocalSocket>());
            idle.back()->connectToServer(first.channelPath());
            QVERIFY(idle.back()->waitForConnected(5000));
        }
        QSignalSpy closed(idle.back().get(), &QLocalSocket::disconnected);
        QVERIFY(closed.wait(10000));
        idle.pop_back();
        for (const auto& socket : idle) QCOMPARE(socket->state(), QLocalSocket::ConnectedState);
        // Once they are gone, requests are heard again.
        idle.clear();
        SingleInstance second(folder.path());
        QTRY_VERIFY_WITH_TIMEOUT(
            (second.askRunningCopyToShow() == SingleInstance::Delivery::Delivered &&
             !shown.isEmpty()),
            10000);
    }

    void strangerOnTheChannelGetsNothing() {
        if (!ForeignPeer::available()) QSKIP("acting as another user needs root");
        TempFolder folder;
        const QString path = runtime_->file(SingleInstance::serverName(folder.path()));
        ForeignPeer stranger;
        QVERIFY(stranger.listen(path, ::geteuid()));

        // The first copy finds the name taken: it leaves it and says so.
        SingleInstance first(folder.path());
        QCOMPARE(first.acquire(), SingleInstance::Outcome::First);
        QVERIFY(!first.listening());
        QVERIFY2(first.channelProblem().contains(
                     QStringLiteral("il canale \"%1\" è di un altro utente").arg(path)),
                 qPrintable(first.channelProblem()));
        // A second start talks to nobody else.
        SingleInstance second(folder.path());
        QCOMPARE(second.acquire(), SingleInstance::Outcome::AlreadyRunning);
        QCOMPARE(second.askRunningCopyToShow(), SingleInstance::Delivery::Refused);
        QCOMPARE(second.askRunningCopyToImport(folder.file("invito.ics")),
                 SingleInstance::Delivery::Refused);
        QVERIFY(second.channelProblem().startsWith("nulla inviato"));

        const std::optional<ForeignPeer::Seen> seen = stranger.finish();
        QVERIFY(seen);
        QCOMPARE(seen->connections, 3);  // the first copy's look and two requests
        QCOMPARE(seen->bytes, 0LL);
        QVERIFY(QFileInfo::exists(path));
    }

    void strangerIsNotHeard() {
        if (!ForeignPeer::available()) QSKIP("acting as another user needs root");
        TempFolder folder;
        SingleInstance first(folder.path());
        QCOMPARE(first.acquire(), SingleInstance::Outcome::First);
        QSignalSpy shown(&first, &SingleInstance::showRequested);
        ForeignPeer stranger;
        QVERIFY(stranger.connectAndWrite(first.channelPath(), "show\n"));
        const std::optional<ForeignPeer::Seen> seen = stranger.finish();
        QVERIFY(seen);
        QCOMPARE(seen->bytes, 0LL);  // closed unanswered
        QCOMPARE(shown.count(), 0);

        SingleInstance second(folder.path());
        QCOMPARE(second.askRunningCopyToShow(), SingleInstance::Delivery::Delivered);
        QVERIFY(shown.wait(5000));
    }

  private:
    std::unique_ptr<TempFolder> runtime_;
    std::unique_ptr<EnvironmentVariable> runtimeVariable_;
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "singleinstance_test.moc"

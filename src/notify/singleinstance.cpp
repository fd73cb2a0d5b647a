#include "notify/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <optional>

#include "notify/logic/channelrequest.h"

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

// Where the channel of a data folder is, or why there is no safe place for
// it (`cause`, part of a sentence for the user). Both empty: no channel and
// nothing wrong, as when a second start finds no runtime folder at all.
struct ChannelPlace {
    QString path;
    QString cause;
};

QString foreignChannel(const QString& path) {
    return QStringLiteral("il canale \"%1\" è di un altro utente").arg(path);
}

QString receiveProblem(const QString& cause) {
    return QStringLiteral("Ricordel non può ricevere file da un nuovo avvio: %1.").arg(cause);
}

QString sendProblem(const QString& cause) {
    return QStringLiteral("nulla inviato al Ricordel già aperto su questa cartella: %1.")
        .arg(cause);
}

#ifdef Q_OS_UNIX

// Why `folder` is not a folder of this user that nobody else may enter;
// empty when it is. `missing` tells a folder that does not exist.
QString folderFault(const QString& folder, bool followLinks, bool& missing) {
    struct stat st {};
    const QByteArray name = QFile::encodeName(folder);
    if ((followLinks ? ::stat(name.constData(), &st) : ::lstat(name.constData(), &st)) != 0) {
        missing = errno == ENOENT;
        return QStringLiteral("impossibile leggere la cartella \"%1\"").arg(folder);
    }
    if (!S_ISDIR(st.st_mode)) return QStringLiteral("\"%1\" non è una cartella").arg(folder);
    if (st.st_uid != ::geteuid())
        return QStringLiteral("la cartella \"%1\" appartiene a un altro utente").arg(folder);
    if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        return QStringLiteral("la cartella \"%1\" è accessibile ad altri utenti").arg(folder);
    return {};
}

// The user id of the process at the other end of a connected local socket.
std::optional<uid_t> peerUid(qintptr descriptor) {
#ifdef Q_OS_LINUX
    struct ucred credentials {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) !=
            0 ||
        size != sizeof credentials)
        return std::nullopt;
    return credentials.uid;
#else
    uid_t uid = 0;
    gid_t gid = 0;
    if (::getpeereid(static_cast<int>(descriptor), &uid, &gid) != 0) return std::nullopt;
    return uid;
#endif
}

#endif  // Q_OS_UNIX

// Whether the other end of `socket` runs as this user. On Windows the pipe
// itself admits only this user (QLocalServer::UserAccessOption).
bool peerIsThisUser(const QLocalSocket& socket) {
#ifdef Q_OS_UNIX
    const std::optional<uid_t> uid = peerUid(socket.socketDescriptor());
    return uid && *uid == ::geteuid();
#else
    Q_UNUSED(socket);
    return true;
#endif
}

// `create`: make the program's own runtime folder when it is missing (the
// first copy does; a second start only looks).
ChannelPlace locateChannel(const QString& dataFolder, bool create) {
    const QString name = SingleInstance::serverName(dataFolder);
#ifdef Q_OS_UNIX
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime)) {
        bool missing = false;
        const QString fault = folderFault(runtime, true, missing);
        if (fault.isEmpty()) return {runtime + u'/' + name, {}};
        qWarning("Ricordel: XDG_RUNTIME_DIR not used: %s", qPrintable(fault));
    }
    const QString own =
        QDir::tempPath() + QStringLiteral("/ricordel-") + QString::number(::geteuid());
    if (create && ::mkdir(QFile::encodeName(own).constData(), 0700) != 0 && errno != EEXIST)
        return {{}, QStringLiteral("impossibile creare la cartella \"%1\"").arg(own)};
    bool missing = false;
    // A link in the shared temporary folder may come from anybody: never followed.
    const QString fault = folderFault(own, false, missing);
    if (missing && !create) return {};
    if (!fault.isEmpty()) return {{}, fault};
    return {own + u'/' + name, {}};
#else
    Q_UNUSED(create);
    return {name, {}};
#endif
}

}  // namespace

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent), folder_(folder) {}

SingleInstance::~SingleInstance() {
    // The open connections go with the server, while this object is whole.
    delete server_;
    if (lock_) lock_->unlock();
}

QString SingleInstance::lockFileName() {
    return QStringLiteral("Ricordel.lock");
}

QString SingleInstance::serverName(const QString& folder) {
    QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty()) canonical = QDir::cleanPath(QDir(folder).absolutePath());
#ifdef Q_OS_WIN
    canonical = canonical.toLower();  // the same folder in any letter case
#endif
    const QByteArray hash =
        QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex().left(32);
    return QStringLiteral("ricordel-") + QString::fromLatin1(hash);
}

SingleInstance::Outcome SingleInstance::acquire() {
    if (server_) return Outcome::First;
    lock_ = std::make_unique<QLockFile>(QDir(folder_).filePath(lockFileName()));
    // No age makes a lock stale: only a holder that is no longer running.
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        if (lock_->error() == QLockFile::LockFailedError) return Outcome::AlreadyRunning;
        qWarning("Ricordel: cannot create the lock file in %s", qPrintable(folder_));
    }

    server_ = new QLocalServer(this);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    openChannel();
    return Outcome::First;
}

void SingleInstance::openChannel() {
    const ChannelPlace place = locateChannel(folder_, true);
    channelPath_ = place.path;
    if (channelPath_.isEmpty()) {
        channelProblem_ = receiveProblem(place.cause);
        return;
    }
#ifdef Q_OS_UNIX
    // What already has the channel's name is looked at, never written to:
    // a socket of this user is one a copy that crashed left behind (holding
    // the lock, we know no copy of ours answers on it) and is replaced;
    // anything else keeps the name and this copy goes without a channel.
    struct stat st {};
    if (::lstat(QFile::encodeName(channelPath_).constData(), &st) == 0) {
        QString cause;
        if (st.st_uid != ::geteuid()) {
            cause = foreignChannel(channelPath_);
        } else if (!S_ISSOCK(st.st_mode)) {
            cause = QStringLiteral("\"%1\" non è un canale").arg(channelPath_);
        } else {
            QLocalSocket probe;
            probe.connectToServer(channelPath_);
            if (probe.waitForConnected(1000) && !peerIsThisUser(probe))
                cause = foreignChannel(channelPath_);
            probe.abort();
        }
        if (!cause.isEmpty()) {
            channelProblem_ = receiveProblem(cause);
            return;
        }
        if (lock_->isLocked()) QLocalServer::removeServer(channelPath_);
    }
    // The runtime folder keeps others out; the socket is made in place, so
    // that a name taken meanwhile fails instead of being replaced.
    server_->setSocketOptions(QLocalServer::NoOptions);
#else
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (lock_->isLocked()) QLocalServer::removeServer(channelPath_);
#endif
    if (!server_->listen(channelPath_)) {
        qWarning("Ricordel: cannot listen on %s: %s", qPrintable(channelPath_),
                 qPrintable(server_->errorString()));
        channelProblem_ =
            receiveProblem(QStringLiteral("impossibile aprire il canale \"%1\"").arg(channelPath_));
    }
}

bool SingleInstance::listening() const {
    return server_ && server_->isListening();
}

void SingleInstance::onNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (waiting_ >= kMaxWaitingConnections || !peerIsThisUser(*socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++waiting_;
        connect(socket, &QObject::destroyed, this, [this] { --waiting_; });
        socket->setReadBufferSize(kMaxChannelRequest);
        QTimer::singleShot(requestDeadline_, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        if (socket->bytesAvailable() > 0) readRequest(socket);
    }
}

void SingleInstance::readRequest(QLocalSocket* socket) {
    if (!socket->canReadLine()) {
        // A line longer than any request will never be one.
        if (socket->bytesAvailable() >= kMaxChannelRequest) {
            socket->abort();
            socket->deleteLater();
        }
        return;
    }
    const QByteArray line = socket->readLine(kMaxChannelRequest);
    socket->abort();
    socket->deleteLater();
    const std::optional<ChannelRequest> request = parseChannelRequest(line);
    if (!request) return;
    switch (request->kind) {
        case ChannelRequest::Kind::Show:
            Q_EMIT showRequested();
            break;
        case ChannelRequest::Kind::Sync:
            Q_EMIT syncRequested();
            break;
        case ChannelRequest::Kind::Import:
            Q_EMIT importRequested(request->path);
            break;
    }
}

SingleInstance::Delivery SingleInstance::askRunningCopyToShow(int timeoutMs) {
    return send(encodeChannelRequest({ChannelRequest::Kind::Show, {}}), timeoutMs);
}

SingleInstance::Delivery SingleInstance::askRunningCopyToSync(int timeoutMs) {
    return send(encodeChannelRequest({ChannelRequest::Kind::Sync, {}}), timeoutMs);
}

SingleInstance::Delivery SingleInstance::askRunningCopyToImport(const QString& path,
                                                                int timeoutMs) {
    return send(
        encodeChannelRequest({ChannelRequest::Kind::Import, QFileInfo(path).absoluteFilePath()}),
        timeoutMs);
}

SingleInstance::Delivery SingleInstance::send(const QByteArray& request, int timeoutMs) {
    channelProblem_.clear();
    if (request.isEmpty()) return Delivery::NoAnswer;
    const ChannelPlace place = locateChannel(folder_, false);
    channelPath_ = place.path;
    if (!place.cause.isEmpty()) {
        channelProblem_ = sendProblem(place.cause);
        return Delivery::Refused;
    }
    if (channelPath_.isEmpty()) return Delivery::NoAnswer;

    QLocalSocket socket;
    socket.connectToServer(channelPath_);
    if (!socket.waitForConnected(timeoutMs)) return Delivery::NoAnswer;
    if (!peerIsThisUser(socket)) {
        socket.abort();
        channelProblem_ = sendProblem(foreignChannel(channelPath_));
        return Delivery::Refused;
    }
    socket.write(request);
    if (!socket.waitForBytesWritten(timeoutMs)) return Delivery::NoAnswer;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
    return Delivery::Delivered;
}

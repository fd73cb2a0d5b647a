#include "notify/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

namespace {

const QByteArray kShowRequest = QByteArrayLiteral("show\n");

}  // namespace

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent), folder_(folder) {}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
    if (lock_) lock_->unlock();
}

QString SingleInstance::LockFileName() {
    return QStringLiteral("Ricordel.lock");
}

QString SingleInstance::ServerName(const QString& folder) {
    QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty()) canonical = QDir::cleanPath(QDir(folder).absolutePath());
#ifdef Q_OS_WIN
    canonical = canonical.toLower();  // the same folder in any letter case
#endif
    const QByteArray hash =
        QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex().left(32);
    return QStringLiteral("ricordel-") + QString::fromLatin1(hash);
}

SingleInstance::Outcome SingleInstance::Acquire() {
    if (server_) return Outcome::First;
    lock_ = std::make_unique<QLockFile>(QDir(folder_).filePath(LockFileName()));
    // No age makes a lock stale: only a holder that is no longer running.
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        if (lock_->error() == QLockFile::LockFailedError) return Outcome::AlreadyRunning;
        qWarning("Ricordel: cannot create the lock file in %s", qPrintable(folder_));
    }

    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = ServerName(folder_);
    // A copy that crashed may have left its socket behind; holding the lock,
    // we know nobody answers on it.
    if (lock_->isLocked()) QLocalServer::removeServer(name);
    if (!server_->listen(name))
        qWarning("Ricordel: cannot listen on %s: %s", qPrintable(name),
                 qPrintable(server_->errorString()));
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    return Outcome::First;
}

bool SingleInstance::listening() const {
    return server_ && server_->isListening();
}

void SingleInstance::onNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto handle = [this, socket] {
            // Only a full request counts; anything else is dropped.
            if (socket->bytesAvailable() < kShowRequest.size()) return;
            const QByteArray request = socket->read(kShowRequest.size());
            socket->disconnectFromServer();
            if (request == kShowRequest) Q_EMIT showRequested();
        };
        connect(socket, &QLocalSocket::readyRead, this, handle);
        if (socket->bytesAvailable() > 0) handle();
    }
}

bool SingleInstance::AskRunningCopyToShow(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(ServerName(folder_));
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(kShowRequest);
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
    return true;
}

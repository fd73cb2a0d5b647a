#include "notify/singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

namespace {

// Requests are one line: "show", or "import " and the file's absolute path
// in Base64 (a path may hold any character but NUL).
const QByteArray kShowRequest = QByteArrayLiteral("show\n");
const QByteArray kImportRequest = QByteArrayLiteral("import ");
// A longer line is no request of ours.
constexpr qint64 kMaxRequest = 64 * 1024;

}  // namespace

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent), folder_(folder) {}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
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
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = serverName(folder_);
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
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > kMaxRequest) socket->disconnectFromServer();
                return;
            }
            const QByteArray request = socket->readLine(kMaxRequest);
            socket->disconnectFromServer();
            if (request == kShowRequest) {
                Q_EMIT showRequested();
            } else if (request.startsWith(kImportRequest) && request.endsWith('\n')) {
                const QString path = QString::fromUtf8(
                    QByteArray::fromBase64(request.mid(kImportRequest.size()).chopped(1)));
                if (!path.isEmpty()) Q_EMIT importRequested(path);
            }
        };
        connect(socket, &QLocalSocket::readyRead, this, handle);
        if (socket->bytesAvailable() > 0) handle();
    }
}

bool SingleInstance::askRunningCopyToShow(int timeoutMs) {
    return send(kShowRequest, timeoutMs);
}

bool SingleInstance::askRunningCopyToImport(const QString& path, int timeoutMs) {
    return send(kImportRequest + QFileInfo(path).absoluteFilePath().toUtf8().toBase64() + '\n',
                timeoutMs);
}

bool SingleInstance::send(const QByteArray& request, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(serverName(folder_));
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(request);
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
    return true;
}

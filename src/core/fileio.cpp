#include "core/fileio.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

std::optional<QString> openRegularFile(QFile& f, const QString& path) {
#ifdef Q_OS_UNIX
    // Opened without blocking, so that a pipe with no writer cannot hold the
    // program; the kind of file is asked of what was opened, not of the name,
    // which may have been replaced in between.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return QString::fromLocal8Bit(std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const bool folder = S_ISDIR(st.st_mode);
        ::close(fd);
        return folder ? QStringLiteral("è una cartella, non un file")
                      : QStringLiteral("non è un file regolare");
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return f.errorString();
    }
#else
    const QFileInfo info(path);
    if (!info.isFile()) {
        return info.isDir() ? QStringLiteral("è una cartella, non un file")
                            : QStringLiteral("non è un file regolare");
    }
    f.setFileName(path);
    if (!f.open(QIODevice::ReadOnly)) return f.errorString();
#endif
    return std::nullopt;
}

std::optional<QByteArray> readWholeFile(const QString& path, QString* error, qint64 maxBytes) {
    const auto fail = [error](const QString& reason) -> std::optional<QByteArray> {
        if (error) *error = reason;
        return std::nullopt;
    };
    QFile f;
    if (const std::optional<QString> refused = openRegularFile(f, path)) return fail(*refused);
    const auto tooLarge = [&] {
        return fail(QStringLiteral("il file è troppo grande (il massimo è %1 MB)")
                        .arg(maxBytes / (1024 * 1024)));
    };
    // The size said is only a hint: the file may grow while it is read.
    if (f.size() > maxBytes) return tooLarge();
    QByteArray bytes;
    bytes.reserve(f.size());
    char chunk[64 * 1024];
    for (;;) {
        const qint64 n = f.read(chunk, sizeof chunk);
        if (n < 0) return fail(f.errorString());
        if (n == 0) break;
        if (bytes.size() + n > maxBytes) return tooLarge();
        bytes.append(chunk, n);
    }
    return bytes;
}

std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& content) {
    return writeFileAtomically(path,
                               [&](QIODevice& f) { return f.write(content) == content.size(); });
}

std::optional<QString> writeFileAtomically(const QString& path,
                                           const std::function<bool(QIODevice&)>& write) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return f.errorString();
    if (!write(f)) {
        const QString reason = f.errorString();
        f.cancelWriting();
        return reason;
    }
    if (!f.commit()) return f.errorString();
    return std::nullopt;
}

#pragma once

#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QString>

#include <functional>
#include <optional>

// Reading a whole file within bounds, and replacing a file's content
// atomically.

// The most bytes readWholeFile takes unless told otherwise: far more than
// three full lists hold, far less than a memory bomb.
inline constexpr qint64 kMaxReadBytes = 64 * 1024 * 1024;

// Opens `path` for reading when it is a regular file, without ever waiting
// on a pipe or a device; else says why not, in Italian.
std::optional<QString> openRegularFile(QFile& file, const QString& path);

// The whole content of a regular file (or of a link to one), or nothing when
// it cannot be read; then `error`, when given, receives the reason. A pipe, a
// device, a socket or a folder is refused without being opened for reading,
// so it can neither block nor stream without end, and a file that holds more
// than `maxBytes` is refused when the limit is passed, whatever its size
// claimed.
std::optional<QByteArray> readWholeFile(const QString& path, QString* error = nullptr,
                                        qint64 maxBytes = kMaxReadBytes);

// Replaces a file's content atomically: afterwards the file holds the old
// content or the new, never part of either. Returns the reason on failure.
std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& content);
// The same with the content written by `write`, which returns false when a
// write failed.
std::optional<QString> writeFileAtomically(const QString& path,
                                           const std::function<bool(QIODevice&)>& write);

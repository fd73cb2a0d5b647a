#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// What a second start of the program may ask of the copy already running on
// the same data folder. A request is one line: "show" to bring the main
// window forward, "sync" to sync with the calendar server now, or "import " and a calendar file's
// absolute path in UTF-8 and Base64 (a path may hold any character but NUL, new lines included).
struct ChannelRequest {
    enum class Kind { Show, Import, Sync };
    Kind kind = Kind::Show;
    QString path;  // for Import: the file's absolute path

    friend bool operator==(const ChannelRequest&, const ChannelRequest&) = default;
};

// The longest request line, its new line included: room for the longest
// path a Linux system opens (4096 bytes) and more, far less than a hostile
// sender could make the running copy hold.
inline constexpr qsizetype kMaxChannelRequest = 16 * 1024;

// The line that carries `request`; empty when it cannot be sent: an import
// of a path that is empty, relative, holds NUL or makes the line too long.
QByteArray encodeChannelRequest(const ChannelRequest& request);

// The request a connection delivered: exactly one line, ending in its new
// line, no longer than kMaxChannelRequest, in one of the three forms above
// (strict Base64 of valid UTF-8, an absolute path without NUL). Anything
// else is no request.
std::optional<ChannelRequest> parseChannelRequest(QByteArrayView bytes);

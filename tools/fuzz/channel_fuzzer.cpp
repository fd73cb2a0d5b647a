// libFuzzer target: the single-instance channel's request parser never fails
// on any bytes, takes nothing longer than a request line or without its one
// new line at the end, never yields an import of an unusable path, and what
// it takes survives being sent again.
#include <cstdint>
#include <cstdlib>

#include <QDir>

#include "notify/logic/channelrequest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(data, static_cast<qsizetype>(size));
    const std::optional<ChannelRequest> request = parseChannelRequest(bytes);
    if (!request) return 0;
    if (bytes.size() > kMaxChannelRequest || bytes.indexOf('\n') != bytes.size() - 1) abort();
    if (request->kind == ChannelRequest::Kind::Import &&
        (request->path.isEmpty() || request->path.contains(QChar(u'\0')) ||
         !QDir::isAbsolutePath(request->path)))
        abort();
    const QByteArray again = encodeChannelRequest(*request);
    if (again.isEmpty() || parseChannelRequest(again) != request) abort();
    return 0;
}

// libFuzzer target: a server's WebDAV answer is trusted by nothing. Any
// bytes read as a multistatus give nothing, or responses within the bounds
// the client relies on; their hrefs resolve to paths and their ETags clean
// to what may be sent back.
#include <cstdint>
#include <cstdlib>

#include "operations/sync/davxml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray xml(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    constexpr qint64 kMaxObject = 4096;
    QString error;
    const std::optional<dav::Multistatus> answer = dav::parseMultistatus(xml, kMaxObject, &error);
    if (!answer) {
        if (error.isEmpty()) abort();
        return 0;
    }
    if (answer->responses.size() > dav::kMaxResponses) abort();
    if (answer->syncToken.size() > 4 * dav::kMaxShortText) abort();
    const QUrl base(QStringLiteral("https://example.com/anna%40example.com/agenda/"));
    for (const dav::Response& r : answer->responses) {
        // The bound counts characters; their UTF-8 takes at most three bytes each.
        if (r.calendarData.size() > 3 * kMaxObject) abort();
        if (r.calendarDataTooLarge && !r.calendarData.isEmpty()) abort();
        if (r.href.size() > 4 * dav::kMaxShortText || r.displayName.size() > 4 * dav::kMaxShortText)
            abort();
        const QString path = dav::hrefPath(base, r.href);
        (void)dav::urlWithPath(base, path);
        for (char c : dav::cleanEtag(r.etag))
            if (c < 0x20 || c > 0x7E) abort();
    }
    return 0;
}

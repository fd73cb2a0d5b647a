#include "core/win1252.h"

#include <algorithm>
#include <array>

namespace win1252 {
namespace {

// 0x80-0x9F, where the code page differs from Latin-1. Undefined bytes keep
// the control character of the same number.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

int byteFor(char16_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return u;
    for (int i = 0; i < 32; ++i)
        if (kHigh[static_cast<size_t>(i)] == u) return 0x80 + i;
    return -1;
}

}  // namespace

QChar charFromByte(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return QChar(kHigh[byte - 0x80]);
    return QChar(static_cast<char16_t>(byte));
}

QString decode(const char* data, qsizetype size) {
    // Text without bytes 0x80-0x9F reads as Latin-1, which Qt converts in
    // wide steps.
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    if (std::none_of(bytes, bytes + size, [](unsigned char b) { return b >= 0x80 && b <= 0x9F; }))
        return QString::fromLatin1(data, size);
    QString out(size, Qt::Uninitialized);
    QChar* dst = out.data();
    for (qsizetype i = 0; i < size; ++i) *dst++ = charFromByte(static_cast<unsigned char>(data[i]));
    return out;
}

QString decode(const QByteArray& bytes) {
    return decode(bytes.constData(), bytes.size());
}

QByteArray encode(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (QChar ch : text) {
        const int b = byteFor(ch.unicode());
        out.append(b < 0 ? '?' : static_cast<char>(b));
    }
    return out;
}

bool isEncodable(QChar ch) {
    return byteFor(ch.unicode()) >= 0;
}

int toByte(QChar ch) {
    return byteFor(ch.unicode());
}

}  // namespace win1252

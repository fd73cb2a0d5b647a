#include "core/numeric.h"

#include <QString>

#include <cmath>
#include <limits>

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}

// The characters that take part in the reading, blanks removed.
QString squeeze(QStringView text) {
    QString s;
    s.reserve(text.size());
    for (QChar c : text)
        if (!isBlank(c)) s.append(c);
    return s;
}

double readRadix(const QString& s, qsizetype pos, int radix) {
    quint64 value = 0;
    int digits = 0;
    for (; pos < s.size(); ++pos) {
        const int d = s[pos].isDigit() ? s[pos].digitValue()
                      : (radix == 16 && s[pos].toLower() >= u'a' && s[pos].toLower() <= u'f')
                          ? s[pos].toLower().unicode() - u'a' + 10
                          : -1;
        if (d < 0 || d >= radix) break;
        if (value > (std::numeric_limits<quint64>::max() >> 4)) break;  // absurdly long: stop
        value = value * static_cast<quint64>(radix) + static_cast<quint64>(d);
        ++digits;
    }
    if (digits == 0) return 0;
    // A hexadecimal or octal number is a bit pattern: up to 16 bits it is a
    // signed 16-bit value (&HFFFF is -1), up to 32 bits a signed 32-bit one.
    if (value <= 0xFFFF) return static_cast<double>(static_cast<qint16>(value));
    if (value <= 0xFFFFFFFFULL) return static_cast<double>(static_cast<qint32>(value));
    return static_cast<double>(value);
}

}  // namespace

double numericValueOf(QStringView text) {
    const QString s = squeeze(text);
    if (s.size() >= 2 && s[0] == u'&') {
        const QChar kind = s[1].toUpper();
        if (kind == u'H') return readRadix(s, 2, 16);
        if (kind == u'O') return readRadix(s, 2, 8);
        return 0;
    }
    // Collect the longest prefix of the form [sign] digits [. digits] [E|D [sign] digits].
    qsizetype i = 0;
    QByteArray num;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        num.append(static_cast<char>(s[i++].unicode()));
    qsizetype mantissaDigits = 0;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
        num.append(static_cast<char>(s[i++].unicode()));
        ++mantissaDigits;
    }
    if (i < s.size() && s[i] == u'.') {
        num.append('.');
        ++i;
        while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
            num.append(static_cast<char>(s[i++].unicode()));
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0) return 0;
    if (i < s.size() && (s[i].toUpper() == u'E' || s[i].toUpper() == u'D')) {
        qsizetype j = i + 1;
        QByteArray exp("e");
        if (j < s.size() && (s[j] == u'+' || s[j] == u'-'))
            exp.append(static_cast<char>(s[j++].unicode()));
        qsizetype expDigits = 0;
        while (j < s.size() && s[j] >= u'0' && s[j] <= u'9') {
            exp.append(static_cast<char>(s[j++].unicode()));
            ++expDigits;
        }
        if (expDigits > 0) num.append(exp);
    }
    bool ok = false;
    const double v = num.toDouble(&ok);
    if (ok) return v;
    // Out of the range of a double: the sign of infinity says which way.
    return num.startsWith('-') ? -std::numeric_limits<double>::infinity()
                               : std::numeric_limits<double>::infinity();
}

double roundHalfEven(double value) {
    if (!std::isfinite(value)) return value;
    const double floorV = std::floor(value);
    const double diff = value - floorV;
    if (diff < 0.5) return floorV;
    if (diff > 0.5) return floorV + 1;
    return std::fmod(floorV, 2.0) == 0 ? floorV : floorV + 1;
}

std::optional<std::int16_t> toInt16(double value) {
    const double r = roundHalfEven(value);
    if (!std::isfinite(r) || r < -32768 || r > 32767) return std::nullopt;
    return static_cast<std::int16_t>(r);
}

QString formatNumber(double value) {
    if (!std::isfinite(value)) return QStringLiteral("0");
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', 15);
}

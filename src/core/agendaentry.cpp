#include "core/agendaentry.h"

#include <algorithm>

#include "core/win1252.h"

namespace {

bool needsCleaningChar(QChar c) {
    return c == u'"' || c == u'\t' || c == u'\r' || c == u'\n' || !win1252::isEncodable(c);
}

}  // namespace

QString cleanCellText(QString text) {
    // Most texts are clean already: they are given back untouched.
    const auto first = std::find_if(text.cbegin(), text.cend(), needsCleaningChar);
    if (first == text.cend()) return text;
    QString out;
    out.reserve(text.size());
    out.append(QStringView(text.cbegin(), first));
    for (auto it = first; it != text.cend(); ++it) {
        const QChar c = *it;
        if (c == u'"') {
            out.append(u'\'');
        } else if (c == u'\t' || c == u'\r' || c == u'\n') {
            out.append(u' ');
        } else if (win1252::isEncodable(c)) {
            out.append(c);
        } else {
            out.append(u'?');
            // A surrogate pair is one character: one "?".
            if (c.isHighSurrogate() && it + 1 != text.cend() && (it + 1)->isLowSurrogate()) ++it;
        }
    }
    return out;
}

#include "core/listfiles.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <vector>

#include "core/dates.h"
#include "core/numeric.h"
#include "core/win1252.h"

namespace {

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Appends a text as a quoted item: cleaned as typed text is (a double quote
// becomes an apostrophe, TAB, CR and LF spaces) and encoded, in one pass.
void appendQuoted(QByteArray& out, const QString& text) {
    out += '"';
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u == u'"') {
            out += '\'';
        } else if (u == u'\t' || u == u'\r' || u == u'\n') {
            out += ' ';
        } else if (u < 0x80) {
            out += static_cast<char>(u);
        } else {
            const int b = win1252::toByte(ch);
            out += b < 0 ? '?' : static_cast<char>(b);
        }
    }
    out += '"';
}

}  // namespace

ItemReader::ItemReader(const QByteArray& bytes) : bytes_(bytes) {}

void ItemReader::skipBlankLines() {
    while (pos_ < bytes_.size() && (isBlank(bytes_[pos_]) || isLineEnd(bytes_[pos_]))) ++pos_;
}

bool ItemReader::atEnd() {
    qsizetype p = pos_;
    while (p < bytes_.size() && (isBlank(bytes_[p]) || isLineEnd(bytes_[p]))) ++p;
    return p >= bytes_.size();
}

namespace {

// Where one item lies in the content: [start, end) of its text.
struct ItemSpan {
    qsizetype start = 0;
    qsizetype end = 0;
    bool quoted = false;
};

// Finds the next item from pos and moves pos past its end: a comma, or one
// line end (CR LF, CR or LF). Sets lineEnded when the item ended its line or
// the content. The reader and the record parser share it, so both split the
// bytes the same way; the parser then decodes only the texts it keeps.
ItemSpan scanItem(const QByteArray& bytes, qsizetype& pos, bool& lineEnded) {
    const qsizetype n = bytes.size();
    const char* b = bytes.constData();
    ItemSpan item;
    while (pos < n && isBlank(b[pos])) ++pos;
    item.start = item.end = pos;
    if (pos < n && b[pos] == '"') {
        item.quoted = true;
        item.start = ++pos;
        // A text runs to the next double quote; one left open ends at the line
        // end, so a damaged record cannot swallow the records after it.
        while (pos < n && b[pos] != '"' && !isLineEnd(b[pos])) ++pos;
        item.end = pos;
        if (pos < n && b[pos] == '"') ++pos;
        while (pos < n && b[pos] != ',' && !isLineEnd(b[pos])) ++pos;
    } else {
        while (pos < n && b[pos] != ',' && !isLineEnd(b[pos])) ++pos;
        item.end = pos;
        while (item.end > item.start && isBlank(b[item.end - 1])) --item.end;
    }
    if (pos < n) {
        if (b[pos] == ',') {
            ++pos;
        } else if (b[pos] == '\r') {
            ++pos;
            if (pos < n && b[pos] == '\n') ++pos;
            lineEnded = true;
        } else if (b[pos] == '\n') {
            ++pos;
            lineEnded = true;
        }
    } else {
        lineEnded = true;
    }
    return item;
}

QString decodeSpan(const QByteArray& bytes, const ItemSpan& item) {
    const char* data = bytes.constData() + item.start;
    const qsizetype size = item.end - item.start;
    // Windows-1252 differs from Latin-1 only in 0x80-0x9F; texts without
    // those bytes take Qt's vectorised Latin-1 conversion.
    for (qsizetype i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        if (byte >= 0x80 && byte <= 0x9F) return win1252::decode(data, size);
    }
    return QString::fromLatin1(data, size);
}

// A time item. Most appointments hold a time of day as "9:05" or "09:05":
// those texts are made once and shared, the rest are decoded.
QString decodeTimeSpan(const QByteArray& bytes, const ItemSpan& item) {
    constexpr int kMinutesOfDay = 24 * 60;
    static const std::vector<QString> shared = [] {
        // Index: minute of the day, then the same with a two-digit hour.
        std::vector<QString> texts;
        texts.reserve(2 * kMinutesOfDay);
        for (int width : {1, 2})
            for (int minute = 0; minute < kMinutesOfDay; ++minute)
                texts.push_back(QStringLiteral("%1:%2")
                                    .arg(minute / 60, width, 10, QLatin1Char('0'))
                                    .arg(minute % 60, 2, 10, QLatin1Char('0')));
        return texts;
    }();
    const char* t = bytes.constData() + item.start;
    const qsizetype size = item.end - item.start;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (size == 4 || size == 5) {
        const qsizetype colon = size - 3;
        bool plain = t[colon] == ':' && digit(t[colon + 1]) && digit(t[colon + 2]);
        for (qsizetype i = 0; i < colon; ++i) plain = plain && digit(t[i]);
        if (plain) {
            const int hour = size == 4 ? t[0] - '0' : (t[0] - '0') * 10 + (t[1] - '0');
            const int minute = (t[colon + 1] - '0') * 10 + (t[colon + 2] - '0');
            // "9:05" and "09:05" are different texts: each reads back as written.
            const int widthOffset = size == 5 ? kMinutesOfDay : 0;
            if (hour < 24 && minute < 60)
                return shared[static_cast<size_t>(widthOffset + hour * 60 + minute)];
        }
    }
    return decodeSpan(bytes, item);
}

// A day or month item. Files the program wrote hold plain digits, read here
// without building a text; anything else goes through the full numeric reader.
qint16 readInt16Span(const QByteArray& bytes, const ItemSpan& item) {
    const qsizetype length = item.end - item.start;
    if (length >= 1 && length <= 4) {
        int value = 0;
        qsizetype i = item.start;
        for (; i < item.end; ++i) {
            const char c = bytes[i];
            if (c < '0' || c > '9') break;
            value = value * 10 + (c - '0');
        }
        if (i == item.end) return static_cast<qint16>(value);
    }
    return ReadInt16Item(FileItem{decodeSpan(bytes, item), item.quoted});
}

// True when CleanCellText would change a text read from a file (every
// character decoded from a byte has that byte, so only these four count).
bool needsCleaning(const QString& text) {
    for (QChar c : text)
        if (c == u'"' || c == u'\t' || c == u'\r' || c == u'\n') return true;
    return false;
}

}  // namespace

FileItem ItemReader::next() {
    const ItemSpan span = scanItem(bytes_, pos_, lineEnded_);
    return FileItem{decodeSpan(bytes_, span), span.quoted};
}

qint16 ReadInt16Item(const FileItem& item) {
    const double v = NumericValue(item.text);
    const auto r = ToInt16(v);
    return r ? *r : 0;
}

QList<ListRecord> ParseListRecords(const QByteArray& bytes, ListKind kind) {
    const int itemsPerRecord = Traits(kind).itemsPerRecord;
    QList<ListRecord> records;
    // One record a line: counting line ends first spares the list its
    // regrowth on a full file. Capped, so that a file of blank lines does
    // not reserve memory for records it does not hold.
    records.reserve(std::min<qsizetype>(bytes.count('\n') + 1, 1 << 16));
    qsizetype pos = 0;
    std::vector<ItemSpan> items;
    while (true) {
        // The same steps as ItemReader's skipBlankLines and atEnd.
        while (pos < bytes.size() && (isBlank(bytes[pos]) || isLineEnd(bytes[pos]))) ++pos;
        if (pos >= bytes.size()) break;
        // One record per line: the items of the line fill the record in turn;
        // missing items stay empty, and items beyond the last are kept in the
        // message rather than dropped.
        items.clear();
        bool lineEnded = false;
        do {
            items.push_back(scanItem(bytes, pos, lineEnded));
        } while (!lineEnded);
        const qsizetype count = static_cast<qsizetype>(items.size());
        ListRecord rec;
        rec.day = count > 0 ? readInt16Span(bytes, items[0]) : qint16(0);
        rec.month = count > 1 ? readInt16Span(bytes, items[1]) : qint16(0);
        if (count > 2) rec.message = decodeSpan(bytes, items[2]);
        if (itemsPerRecord == 4 && count > 3) rec.time = decodeTimeSpan(bytes, items[3]);
        for (qsizetype i = itemsPerRecord; i < count; ++i)
            rec.message += u',' + decodeSpan(bytes, items[static_cast<size_t>(i)]);
        // Cleaning writes to the text, which would copy a shared time text
        // and allocate for an empty one: only texts that need it are cleaned.
        if (needsCleaning(rec.message)) rec.message = CleanCellText(std::move(rec.message));
        if (needsCleaning(rec.time)) rec.time = CleanCellText(std::move(rec.time));
        records.append(std::move(rec));
    }
    return records;
}

QString RecordDateText(const ListRecord& record) {
    // Every date of a full list is one of 372 texts: they are made once and
    // shared, which saves an allocation and its memory on each entry.
    constexpr int kDays = 31, kMonths = 12;
    static const std::vector<QString> shared = [] {
        std::vector<QString> texts;
        texts.reserve(kDays * kMonths);
        for (int month = 1; month <= kMonths; ++month)
            for (int day = 1; day <= kDays; ++day) texts.push_back(FormatDateText(day, month));
        return texts;
    }();
    if (record.day >= 1 && record.day <= kDays && record.month >= 1 && record.month <= kMonths)
        return shared[static_cast<size_t>((record.month - 1) * kDays + record.day - 1)];
    return FormatDateText(record.day, record.month);
}

AgendaEntry EntryFromRecord(const ListRecord& record, ListKind kind) {
    AgendaEntry e;
    e.date = RecordDateText(record);
    e.message = record.message;
    if (Traits(kind).hasTime) e.time = record.time;
    return e;
}

QByteArray SerializeList(const QList<AgendaEntry>& entries, ListKind kind) {
    const bool withTime = Traits(kind).hasTime;
    QByteArray out;
    out.reserve(entries.size() * 32);
    for (const AgendaEntry& e : entries) {
        const auto dm = DateTextOfAnyYear(e.date);
        out += QByteArray::number(dm ? dm->day : 0);
        out += ',';
        out += QByteArray::number(dm ? dm->month : 0);
        out += ',';
        appendQuoted(out, e.message);
        if (withTime) {
            out += ',';
            appendQuoted(out, e.time);
        }
        out += "\r\n";
    }
    return out;
}

std::optional<QString> ReadWholeFile(const QString& path, QByteArray& out) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return f.errorString();
    out = f.readAll();
    if (f.error() != QFileDevice::NoError) return f.errorString();
    return std::nullopt;
}

std::optional<QString> WriteFileAtomically(const QString& path, const QByteArray& content) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return f.errorString();
    if (f.write(content) != content.size()) {
        const QString reason = f.errorString();
        f.cancelWriting();
        return reason;
    }
    if (!f.commit()) return f.errorString();
    return std::nullopt;
}

QList<ListRecord> ReadListFile(ListKind kind) {
    QByteArray bytes;
    if (ReadWholeFile(QString::fromLatin1(Traits(kind).fileName), bytes)) return {};
    return ParseListRecords(bytes, kind);
}

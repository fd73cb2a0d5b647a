#include "core/listrecords.h"

#include <algorithm>
#include <array>
#include <vector>

#include "core/dates.h"
#include "core/numeric.h"
#include "core/win1252.h"

namespace {

// Writes a text as a quoted item: cleaned as typed text is (a double quote
// becomes an apostrophe, TAB, CR and LF spaces) and encoded, one byte for
// each UTF-16 unit, in one pass.
char* writeQuoted(char* out, const QString& text) {
    *out++ = '"';
    const char16_t* src = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = src[i];
        if (u < 0x80) {
            char c = static_cast<char>(u);
            if (c == '"')
                c = '\'';
            else if (c == '\t' || c == '\r' || c == '\n')
                c = ' ';
            *out++ = c;
        } else {
            const int b = win1252::toByte(QChar(u));
            *out++ = b < 0 ? '?' : static_cast<char>(b);
        }
    }
    *out++ = '"';
    return out;
}

// Day and month as a save writes them: those of a day of some year, else 0.
// The plain "d/m" of one or two digits each is read here; anything else
// goes through the date reader.
DayMonth savedDayMonth(const QString& dateText) {
    const QStringView text(dateText);
    const qsizetype slash = text.indexOf(u'/');
    int day = 0, month = 0;
    if (slash > 0 && readShortNumber(text.left(slash), day) &&
        readShortNumber(text.mid(slash + 1), month))
        return QDate::isValid(2000, month, day) ? DayMonth{day, month} : DayMonth{};
    const auto dm = dateTextOfAnyYear(dateText);
    return dm ? *dm : DayMonth{};
}

char* writeNumber(char* out, int value) {
    if (value >= 0 && value < 100) {
        if (value >= 10) *out++ = static_cast<char>('0' + value / 10);
        *out++ = static_cast<char>('0' + value % 10);
        return out;
    }
    const QByteArray digits = QByteArray::number(value);
    return std::copy(digits.cbegin(), digits.cend(), out);
}

constexpr int kMinutesOfDay = 24 * 60;

// The shared time text a time item holds, as its index, or -1.
int sharedTimeIndex(const QByteArray& bytes, const ItemSpan& item) {
    const char* t = bytes.constData() + item.start;
    const qsizetype size = item.end - item.start;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (size != 4 && size != 5) return -1;
    const qsizetype colon = size - 3;
    bool plain = t[colon] == ':' && digit(t[colon + 1]) && digit(t[colon + 2]);
    for (qsizetype i = 0; i < colon; ++i) plain = plain && digit(t[i]);
    if (!plain) return -1;
    const int hour = size == 4 ? t[0] - '0' : (t[0] - '0') * 10 + (t[1] - '0');
    const int minute = (t[colon + 1] - '0') * 10 + (t[colon + 2] - '0');
    if (hour >= 24 || minute >= 60) return -1;
    // "9:05" and "09:05" are different texts: each reads back as written.
    return (size == 5 ? kMinutesOfDay : 0) + hour * 60 + minute;
}

// A time item. Most appointments hold a time of day as "9:05" or "09:05":
// those texts are shared, the rest are decoded.
QString decodeTimeSpan(const QByteArray& bytes, const ItemSpan& item) {
    const int shared = sharedTimeIndex(bytes, item);
    return shared >= 0 ? sharedtexts::time(shared) : decodeSpan(bytes, item);
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
    return readInt16Item(FileItem{decodeSpan(bytes, item), item.quoted});
}

// True when cleanCellText would change a text read from a file (every
// character decoded from a byte has that byte, so only these four count).
bool needsCleaning(const QString& text) {
    for (QChar c : text)
        if (c == u'"' || c == u'\t' || c == u'\r' || c == u'\n') return true;
    return false;
}

}  // namespace

qint16 readInt16Item(const FileItem& item) {
    const double v = numericValueOf(item.text);
    const auto r = toInt16(v);
    return r ? *r : 0;
}

RawRecord::RawRecord(const QByteArray& bytes, ListKind kind, const std::vector<ItemSpan>& items,
                     bool clean)
    : bytes_(bytes), kind_(kind), items_(items), clean_(clean) {
    if (clean) {
        // Day and month are known to be one to four digits.
        auto digits = [&](const ItemSpan& item) {
            int value = 0;
            for (qsizetype i = item.start; i < item.end; ++i) value = value * 10 + (bytes[i] - '0');
            return static_cast<qint16>(value);
        };
        day = digits(items[0]);
        month = digits(items[1]);
        return;
    }
    day = !items.empty() ? readInt16Span(bytes, items[0]) : qint16(0);
    month = items.size() > 1 ? readInt16Span(bytes, items[1]) : qint16(0);
}

ListRecord RawRecord::decode() const {
    const int itemsPerRecord = listTraits(kind_).itemsPerRecord;
    const qsizetype count = static_cast<qsizetype>(items_.size());
    ListRecord rec;
    rec.day = day;
    rec.month = month;
    if (count > 2) rec.message = decodeSpan(bytes_, items_[2]);
    if (itemsPerRecord == 4 && count > 3) rec.time = decodeTimeSpan(bytes_, items_[3]);
    // Items beyond the last are kept in the message rather than dropped.
    for (qsizetype i = itemsPerRecord; i < count; ++i)
        rec.message += u',' + decodeSpan(bytes_, items_[static_cast<size_t>(i)]);
    // Cleaning writes to the text, which would copy a shared time text
    // and allocate for an empty one: only texts that need it are cleaned.
    if (needsCleaning(rec.message)) rec.message = cleanCellText(std::move(rec.message));
    if (needsCleaning(rec.time)) rec.time = cleanCellText(std::move(rec.time));
    return rec;
}

bool RawRecord::plainMessage(qsizetype& start, qsizetype& size) const {
    const size_t count = items_.size();
    if (count > static_cast<size_t>(listTraits(kind_).itemsPerRecord)) return false;
    if (count < 3) {
        start = size = 0;
        return true;
    }
    const ItemSpan& item = items_[2];
    // Every character decoded from a byte has that byte: only a double
    // quote or a TAB (line ends never reach an item) would be cleaned.
    const char* text = bytes_.constData();
    for (qsizetype i = item.start; !clean_ && i < item.end; ++i)
        if (text[i] == '"' || text[i] == '\t') return false;
    start = item.start;
    size = item.end - item.start;
    return true;
}

int RawRecord::sharedTime() const {
    if (!listTraits(kind_).hasTime || items_.size() < 4) return 0;
    const ItemSpan& item = items_[3];
    if (item.end == item.start) return 0;
    const int index = sharedTimeIndex(bytes_, item);
    return index < 0 ? -1 : 1 + index;
}

namespace {

// The shape of every record the program writes: digits "," digits ","
// quoted text, for appointments "," quoted text, then a line end or the end
// of the content; no blanks, and no TAB or line end inside the texts. Such a
// line is read here in one pass, into the items scanItem would give; any
// other line is left to scanItem. Returns false, leaving pos, when the line
// has another shape.
bool scanPlainRecord(const QByteArray& bytes, qsizetype& pos, bool withTime,
                     std::vector<ItemSpan>& items) {
    const char* b = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype p = pos;
    auto number = [&](ItemSpan& item) {
        item = ItemSpan{p, p, false};
        while (p < n && p - item.start < 5 && b[p] >= '0' && b[p] <= '9') ++p;
        item.end = p;
        const qsizetype length = item.end - item.start;
        if (length < 1 || length > 4 || p >= n || b[p] != ',') return false;
        ++p;
        return true;
    };
    auto quoted = [&](ItemSpan& item) {
        if (p >= n || b[p] != '"') return false;
        item = ItemSpan{++p, p, true};
        // The bytes that end or spoil a plain text, looked up in one step.
        static constexpr auto kStop = [] {
            std::array<bool, 256> stop{};
            for (unsigned char c : {'"', '\r', '\n', '\t'}) stop[c] = true;
            return stop;
        }();
        while (p < n && !kStop[static_cast<unsigned char>(b[p])]) ++p;
        if (p >= n || b[p] != '"') return false;
        item.end = p++;
        return true;
    };
    items.resize(withTime ? 4 : 3);
    if (!number(items[0]) || !number(items[1]) || !quoted(items[2])) return false;
    if (withTime) {
        if (p >= n || b[p] != ',') return false;
        ++p;
        if (!quoted(items[3])) return false;
    }
    if (p < n) {
        if (b[p] == '\r') {
            ++p;
            if (p < n && b[p] == '\n') ++p;
        } else if (b[p] == '\n') {
            ++p;
        } else {
            return false;
        }
    }
    pos = p;
    return true;
}

}  // namespace

void forEachRecord(const QByteArray& bytes, ListKind kind,
                   const std::function<void(const RawRecord&)>& visit) {
    qsizetype pos = 0;
    std::vector<ItemSpan> items;
    const bool withTime = listTraits(kind).itemsPerRecord == 4;
    while (true) {
        pos = pastBlankLines(bytes, pos);
        if (pos >= bytes.size()) break;
        if (scanPlainRecord(bytes, pos, withTime, items)) {
            visit(RawRecord(bytes, kind, items, true));
            continue;
        }
        // One record per line: the items of the line fill the record in turn;
        // missing items stay empty.
        items.clear();
        bool lineEnded = false;
        do {
            items.push_back(scanItem(bytes, pos, lineEnded));
        } while (!lineEnded);
        visit(RawRecord(bytes, kind, items));
    }
}

size_t recordCountEstimate(const QByteArray& bytes) {
    return static_cast<size_t>(std::min<qsizetype>(bytes.size() / 8 + 1, 1 << 16));
}

QList<ListRecord> parseListRecords(const QByteArray& bytes, ListKind kind) {
    QList<ListRecord> records;
    records.reserve(static_cast<qsizetype>(recordCountEstimate(bytes)));
    forEachRecord(bytes, kind, [&](const RawRecord& raw) { records.append(raw.decode()); });
    return records;
}

namespace sharedtexts {
namespace {
constexpr int kDays = 31, kMonths = 12;

const std::vector<QString>& dates() {
    static const std::vector<QString> texts = [] {
        std::vector<QString> out;
        out.reserve(kDays * kMonths);
        for (int month = 1; month <= kMonths; ++month)
            for (int day = 1; day <= kDays; ++day) out.push_back(formatDateText(day, month));
        return out;
    }();
    return texts;
}
}  // namespace

int dateIndex(int day, int month) {
    if (day < 1 || day > kDays || month < 1 || month > kMonths) return -1;
    return (month - 1) * kDays + day - 1;
}

const QString& date(int index) {
    return dates()[static_cast<size_t>(index)];
}

const QString& time(int index) {
    // Index: minute of the day, then the same with a two-digit hour.
    static const std::vector<QString> texts = [] {
        std::vector<QString> out;
        out.reserve(kTimes);
        for (int width : {1, 2})
            for (int minute = 0; minute < kMinutesOfDay; ++minute)
                out.push_back(QStringLiteral("%1:%2")
                                  .arg(minute / 60, width, 10, QLatin1Char('0'))
                                  .arg(minute % 60, 2, 10, QLatin1Char('0')));
        return out;
    }();
    return texts[static_cast<size_t>(index)];
}

const QByteArray& datePrefix(int index) {
    static const std::vector<QByteArray> prefixes = [] {
        std::vector<QByteArray> out;
        out.reserve(kDays * kMonths);
        for (const QString& text : dates()) {
            const DayMonth dm = savedDayMonth(text);
            out.push_back(QByteArray::number(dm.day) + ',' + QByteArray::number(dm.month) + ',');
        }
        return out;
    }();
    return prefixes[static_cast<size_t>(index)];
}

}  // namespace sharedtexts

QString recordDateText(const ListRecord& record) {
    // Every date of a full list is one of 372 texts: they are shared, which
    // saves an allocation and its memory on each entry.
    const int shared = sharedtexts::dateIndex(record.day, record.month);
    return shared >= 0 ? sharedtexts::date(shared) : formatDateText(record.day, record.month);
}

AgendaEntry entryFromRecord(const ListRecord& record, ListKind kind) {
    AgendaEntry e;
    e.date = recordDateText(record);
    e.message = record.message;
    if (listTraits(kind).hasTime) e.time = record.time;
    return e;
}

qsizetype recordSizeBound(const AgendaEntry& entry, ListKind kind) {
    // "dd,mm," (a day of some year, or 0,0), the quoted message, the quoted
    // time and CR LF.
    return 6 + 2 + entry.message.size() + (listTraits(kind).hasTime ? 3 + entry.time.size() : 0) +
           2;
}

char* writeRecord(char* out, const AgendaEntry& entry, ListKind kind) {
    const DayMonth dm = savedDayMonth(entry.date);
    out = writeNumber(out, dm.day);
    *out++ = ',';
    out = writeNumber(out, dm.month);
    *out++ = ',';
    out = writeQuoted(out, entry.message);
    if (listTraits(kind).hasTime) {
        *out++ = ',';
        out = writeQuoted(out, entry.time);
    }
    *out++ = '\r';
    *out++ = '\n';
    return out;
}

QByteArray serializeList(const QList<AgendaEntry>& entries, ListKind kind) {
    qsizetype bound = 0;
    for (const AgendaEntry& e : entries) bound += recordSizeBound(e, kind);
    QByteArray out(bound, Qt::Uninitialized);
    char* end = out.data();
    for (const AgendaEntry& e : entries) end = writeRecord(end, e, kind);
    out.truncate(end - out.constData());
    return out;
}

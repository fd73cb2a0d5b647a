#include "core/listfiles.h"

#include <QFile>
#include <QSaveFile>

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

FileItem ItemReader::next() {
    FileItem item;
    const qsizetype n = bytes_.size();
    while (pos_ < n && isBlank(bytes_[pos_])) ++pos_;
    qsizetype start = pos_;
    qsizetype end = pos_;
    if (pos_ < n && bytes_[pos_] == '"') {
        item.quoted = true;
        start = ++pos_;
        // A text runs to the next double quote; one left open ends at the line
        // end, so a damaged record cannot swallow the records after it.
        while (pos_ < n && bytes_[pos_] != '"' && !isLineEnd(bytes_[pos_])) ++pos_;
        end = pos_;
        if (pos_ < n && bytes_[pos_] == '"') ++pos_;
        while (pos_ < n && bytes_[pos_] != ',' && !isLineEnd(bytes_[pos_])) ++pos_;
    } else {
        while (pos_ < n && bytes_[pos_] != ',' && !isLineEnd(bytes_[pos_])) ++pos_;
        end = pos_;
        while (end > start && isBlank(bytes_[end - 1])) --end;
    }
    item.text = win1252::decode(bytes_.constData() + start, end - start);
    // Consume the item's end: a comma, or one line end (CR LF, CR or LF).
    if (pos_ < n) {
        if (bytes_[pos_] == ',') {
            ++pos_;
        } else if (bytes_[pos_] == '\r') {
            ++pos_;
            if (pos_ < n && bytes_[pos_] == '\n') ++pos_;
            lineEnded_ = true;
        } else if (bytes_[pos_] == '\n') {
            ++pos_;
            lineEnded_ = true;
        }
    } else {
        lineEnded_ = true;
    }
    return item;
}

qint16 ReadInt16Item(const FileItem& item) {
    const double v = NumericValue(item.text);
    const auto r = ToInt16(v);
    return r ? *r : 0;
}

QList<ListRecord> ParseListRecords(const QByteArray& bytes, ListKind kind) {
    const int itemsPerRecord = Traits(kind).itemsPerRecord;
    QList<ListRecord> records;
    ItemReader reader(bytes);
    while (true) {
        reader.skipBlankLines();
        if (reader.atEnd()) break;
        // One record per line: the items of the line fill the record in turn;
        // missing items stay empty, and items beyond the last are kept in the
        // message rather than dropped.
        reader.beginLine();
        QStringList texts;
        QList<FileItem> items;
        do {
            items.append(reader.next());
        } while (!reader.lineEnded());
        ListRecord rec;
        rec.day = items.size() > 0 ? ReadInt16Item(items[0]) : qint16(0);
        rec.month = items.size() > 1 ? ReadInt16Item(items[1]) : qint16(0);
        rec.message = items.size() > 2 ? items[2].text : QString();
        if (itemsPerRecord == 4) rec.time = items.size() > 3 ? items[3].text : QString();
        for (qsizetype i = itemsPerRecord; i < items.size(); ++i)
            rec.message += u',' + items[i].text;
        rec.message = CleanCellText(rec.message);
        rec.time = CleanCellText(rec.time);
        records.append(std::move(rec));
    }
    return records;
}

QString RecordDateText(const ListRecord& record) {
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

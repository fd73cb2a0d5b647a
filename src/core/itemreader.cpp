#include "core/itemreader.h"

namespace {

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

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

ItemReader::ItemReader(const QByteArray& bytes) : bytes_(bytes) {}

void ItemReader::skipBlankLines() {
    pos_ = pastBlankLines(bytes_, pos_);
}

bool ItemReader::atEnd() {
    return pastBlankLines(bytes_, pos_) >= bytes_.size();
}

FileItem ItemReader::next() {
    const ItemSpan span = scanItem(bytes_, pos_, lineEnded_);
    return FileItem{decodeSpan(bytes_, span), span.quoted};
}

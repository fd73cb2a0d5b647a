#pragma once

#include <QByteArray>
#include <QString>

#include "core/win1252.h"

// The items of the program's text files (the lists, the settings, the
// snoozes): items separated by commas, texts in double quotes, one record
// per line, Windows-1252.

// One item as the reader found it.
struct FileItem {
    QString text;
    bool quoted = false;
};

// Where one item lies in file content: [start, end) of its text.
struct ItemSpan {
    qsizetype start = 0;
    qsizetype end = 0;
    bool quoted = false;
};

// Finds the next item from pos and moves pos past its end: a comma, or one
// line end (CR LF, CR or LF). Sets lineEnded when the item ended its line or
// the content. The reader and the record parser share it, so both split the
// bytes the same way; the parser then decodes only the texts it keeps.
ItemSpan scanItem(const QByteArray& bytes, qsizetype& pos, bool& lineEnded);

// The text of an item.
inline QString decodeSpan(const QByteArray& bytes, const ItemSpan& item) {
    return win1252::decode(bytes.constData() + item.start, item.end - item.start);
}

// The first position from pos that holds neither blank space nor a line end.
inline qsizetype pastBlankLines(const QByteArray& bytes, qsizetype pos) {
    const qsizetype n = bytes.size();
    const char* b = bytes.constData();
    while (pos < n && (b[pos] == ' ' || b[pos] == '\t' || b[pos] == '\r' || b[pos] == '\n')) ++pos;
    return pos;
}

// Splits file content into items, the way the records were written: a comma
// or a line end ends an item; spaces before an item are skipped; a double
// quote opens a text that runs to the next double quote on the line, after
// which the rest up to the comma or line end is dropped. Never fails on any
// bytes.
class ItemReader {
  public:
    explicit ItemReader(const QByteArray& bytes);
    bool atEnd();  // true when only blank space and line ends remain
    FileItem next();
    // Skips blank space and line ends before the first item of a record.
    void skipBlankLines();
    // Marks the start of a line; lineEnded() tells when the last item read
    // ended it (or the end of the content was reached).
    void beginLine() { lineEnded_ = false; }
    bool lineEnded() const { return lineEnded_; }

  private:
    const QByteArray& bytes_;
    qsizetype pos_ = 0;
    bool lineEnded_ = false;
};

#pragma once

#include <QByteArray>
#include <QDir>
#include <QIODevice>
#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

#include "core/agendaentry.h"
#include "core/listkind.h"

// The list files: one record per entry, items separated by commas, texts in
// double quotes, CR LF after every record, Windows-1252.

// One item as the reader found it.
struct FileItem {
    QString text;
    bool quoted = false;
};

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

// One record of a list file.
struct ListRecord {
    qint16 day = 0;
    qint16 month = 0;
    QString message;
    QString time;  // appointments only
};

// Where one item lies in file content: [start, end) of its text.
struct ItemSpan {
    qsizetype start = 0;
    qsizetype end = 0;
    bool quoted = false;
};

// One record as it lies in file content, split into items but not decoded.
class RawRecord {
  public:
    // `clean`: the record's texts are known to hold no double quote or TAB.
    RawRecord(const QByteArray& bytes, ListKind kind, const std::vector<ItemSpan>& items,
              bool clean = false);
    qint16 day = 0;
    qint16 month = 0;
    // The record as parseListRecords reads it.
    ListRecord decode() const;
    // When the message is one item whose text needs no cleaning, where it
    // lies: its bytes are then exactly what a save writes between the quotes.
    bool plainMessage(qsizetype& start, qsizetype& size) const;
    // The time as a shared text: 0 when there is none (or the list has no
    // times), 1 + its index among the shared times, or -1 for any other.
    int sharedTime() const;

  private:
    const QByteArray& bytes_;
    ListKind kind_;
    const std::vector<ItemSpan>& items_;
    bool clean_ = false;
};

// Calls `visit` with every record of file content, in file order: the
// records parseListRecords reads, without building them.
void forEachRecord(const QByteArray& bytes, ListKind kind,
                   const std::function<void(const RawRecord&)>& visit);

// How many records to make room for before reading content: more than a
// full list of records written by the program holds (at least 8 bytes
// each), capped so that a huge file does not reserve memory it may not fill.
// Room reserved and never written costs no memory.
size_t recordCountEstimate(const QByteArray& bytes);

// The texts every row that holds them shares: the 372 dates of days 1-31
// and months 1-12, and the times "h:mm" and "hh:mm" of every minute.
namespace sharedtexts {
inline constexpr int kDates = 31 * 12;
inline constexpr int kTimes = 2 * 24 * 60;
// The index of day/month, or -1 when it has no shared text.
int dateIndex(int day, int month);
const QString& date(int index);
const QString& time(int index);
// A save's "day,month," for the shared date text.
const QByteArray& datePrefix(int index);
}  // namespace sharedtexts

// A day or month item as a 16-bit number; anything that does not read as one is 0.
qint16 readInt16Item(const FileItem& item);

// Every record that can be read, in file order: one record per line. A record
// with items missing keeps what it has; items beyond the last go into the
// message. Texts are cleaned as typed text is.
QList<ListRecord> parseListRecords(const QByteArray& bytes, ListKind kind);

// The date text of a record: day "/" month.
QString recordDateText(const ListRecord& record);
AgendaEntry entryFromRecord(const ListRecord& record, ListKind kind);

// The file content for a list. Day and month come from the date text; a text
// that is no day of any year is written as 0 and 0.
QByteArray serializeList(const QList<AgendaEntry>& entries, ListKind kind);
// The most bytes one record of serializeList takes, and the writing of it at
// `out`, which returns where the record ends.
qsizetype recordSizeBound(const AgendaEntry& entry, ListKind kind);
char* writeRecord(char* out, const AgendaEntry& entry, ListKind kind);

// The most bytes readWholeFile takes unless told otherwise: far more than
// three full lists hold, far less than a memory bomb.
inline constexpr qint64 kMaxReadBytes = 64 * 1024 * 1024;

// The whole content of a regular file (or of a link to one), or nothing when
// it cannot be read; then `error`, when given, receives the reason. A pipe, a
// device, a socket or a folder is refused without being opened for reading,
// so it can neither block nor stream without end, and a file that holds more
// than `maxBytes` is refused when the limit is passed, whatever its size
// claimed.
std::optional<QByteArray> readWholeFile(const QString& path, QString* error = nullptr,
                                        qint64 maxBytes = kMaxReadBytes);

// Replaces a file's content atomically: afterwards the file holds the old
// content or the new, never part of either. Returns the reason on failure.
std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& content);
// The same with the content written by `write`, which returns false when a
// write failed.
std::optional<QString> writeFileAtomically(const QString& path,
                                           const std::function<bool(QIODevice&)>& write);

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <vector>

#include "core/agendaentry.h"
#include "core/itemreader.h"
#include "core/listkind.h"

// The list files: one record per entry, items separated by commas, texts in
// double quotes, CR LF after every record, Windows-1252.

// One record of a list file.
struct ListRecord {
    qint16 day = 0;
    qint16 month = 0;
    QString message;
    QString time;  // appointments only
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

// libFuzzer target: the fast paths over list files agree with the plain
// reader (parseListRecords, entryFromRecord, serializeList) on any bytes.
// - For each list, ListModel::appendFileContent into an empty list (rows
//   kept as the content's bytes) and onto a list that has rows (rows copied)
//   reads the plain reader's rows; fileContent writes what serializeList
//   writes of them; writeFileContent reports a sink that fails.
// - For the appointments, the alarm index of a year finds every appointment
//   whose entry date and time the plain reader takes for that year, in time
//   and then file order, and at a given minute exactly those of that minute;
//   the file cache finds the same across a new year.
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/dates.h"
#include "core/fileio.h"
#include "core/listmodel.h"
#include "core/listrecords.h"
#include "notify/logic/alarm.h"

namespace {

QList<AgendaEntry> plainEntries(const QByteArray& bytes, ListKind kind) {
    QList<AgendaEntry> out;
    for (const ListRecord& record : parseListRecords(bytes, kind))
        out.append(entryFromRecord(record, kind));
    return out;
}

void checkModel(const QByteArray& bytes, ListKind kind) {
    const QList<AgendaEntry> expected = plainEntries(bytes, kind);
    const QByteArray expectedFile = serializeList(expected, kind);
    ListModel model(kind);
    model.appendFileContent(bytes);
    if (model.entries() != expected) abort();
    if (model.fileContent() != expectedFile) abort();
    bool offered = false;
    const bool written = model.writeFileContent([&](const char*, qsizetype) {
        offered = true;
        return false;
    });
    if (written != expectedFile.isEmpty() || offered == expectedFile.isEmpty()) abort();

    // The same bytes in two reads: the second appends to rows that exist.
    const qsizetype cut = bytes.size() / 2;
    const QByteArray head = bytes.left(cut), tail = bytes.mid(cut);
    const QList<AgendaEntry> expectedTwo = plainEntries(head, kind) + plainEntries(tail, kind);
    ListModel two(kind);
    two.appendFileContent(head);
    two.appendFileContent(tail);
    if (two.entries() != expectedTwo) abort();
    if (two.fileContent() != serializeList(expectedTwo, kind)) abort();
}

// The appointments of `year` as the plain reader takes them: the entry
// date of the date text in that year and the time text read as a time of
// day, in time and then file order.
QList<AlarmIndex::Due> plainDues(const QList<AgendaEntry>& entries, int year) {
    QList<AlarmIndex::Due> out;
    for (const AgendaEntry& e : entries) {
        const std::optional<QDate> day = entryDate(e.date, year);
        const std::optional<QTime> time = parseTimeText(e.time);
        if (day && time)
            out.append({WallMinute{*day, time->hour() * 60 + time->minute()}.index(), e.message});
    }
    std::stable_sort(
        out.begin(), out.end(),
        [](const AlarmIndex::Due& a, const AlarmIndex::Due& b) { return a.minute < b.minute; });
    return out;
}

bool same(const QList<AlarmIndex::Due>& a, const QList<AlarmIndex::Due>& b) {
    return std::equal(a.cbegin(), a.cend(), b.cbegin(), b.cend(),
                      [](const AlarmIndex::Due& x, const AlarmIndex::Due& y) {
                          return x.minute == y.minute && x.message == y.message;
                      });
}

QList<AlarmIndex::Due> within(const QList<AlarmIndex::Due>& dues, qint64 first, qint64 last) {
    QList<AlarmIndex::Due> out;
    for (const AlarmIndex::Due& d : dues)
        if (d.minute >= first && d.minute <= last) out.append(d);
    return out;
}

qint64 minuteIndex(int year, int month, int day, int minuteOfDay) {
    return WallMinute{QDate(year, month, day), minuteOfDay}.index();
}

void checkAlarmIndex(const QByteArray& bytes) {
    const QList<AgendaEntry> entries = plainEntries(bytes, ListKind::Appointments);
    for (const int year : {2023, 2024}) {  // a common year and a leap year
        const QList<AlarmIndex::Due> expected = plainDues(entries, year);
        const AlarmIndex index(bytes, year);
        QList<AlarmIndex::Due> found;
        index.collectBetween(minuteIndex(year, 1, 1, 0), minuteIndex(year, 12, 31, 1439), found);
        if (!same(found, expected)) abort();
        // Single minutes: each minute that has appointments, and the one
        // before it.
        std::vector<qint64> minutes;
        for (const AlarmIndex::Due& d : expected) {
            if (minutes.empty() || minutes.back() != d.minute) minutes.push_back(d.minute);
            if (minutes.size() >= 16) break;
        }
        for (const qint64 m : minutes) {
            for (const qint64 at : {m, m - 1}) {
                const WallMinute wm = WallMinute::fromIndex(at);
                QStringList want;
                for (const AlarmIndex::Due& d : within(expected, at, at)) want << d.message;
                if (wm.day.year() == year && index.messagesAt(wm.day, wm.time()) != want) abort();
            }
        }
    }
}

// The file cache over the last hour of one year and the first of the next.
void checkFileCache(const QByteArray& bytes) {
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("Ricordel.dat"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        abort();
    file.close();
    AppointmentFileCache cache(path);
    const qint64 first = minuteIndex(2023, 12, 31, 23 * 60), last = minuteIndex(2024, 1, 1, 59);
    const QList<AgendaEntry> entries = plainEntries(bytes, ListKind::Appointments);
    const QList<AlarmIndex::Due> expected = within(plainDues(entries, 2023), first, last) +
                                            within(plainDues(entries, 2024), first, last);
    if (!same(cache.between(first, last), expected)) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (ListKind kind : kAllListKinds) checkModel(bytes, kind);
    checkAlarmIndex(bytes);
    checkFileCache(bytes);
    return 0;
}

#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>

#include <vector>

#include "core/dates.h"
#include "core/listrecords.h"

// True when an appointment's time text rings at the given minute: the text
// reads as a time of day (hours 0-23, ":" or ".", minutes 00-59, so "9:05",
// "09:05" and "9.05" alike) equal to the minute's hour and minute.
bool timeRingsAt(const QString& timeText, const QTime& minute);

// What rings. A due alarm is an appointment at its minute; a warning comes
// some minutes before that minute; a snoozed alarm is a line the user asked
// to hear again later. An alarm is known by its kind, its moment and its
// message: the same alarm never rings twice.
enum class AlarmKind { Due, Warning, Snoozed };

struct Alarm {
    AlarmKind kind = AlarmKind::Due;
    // Due and warning: the appointment's day and minute as the clock reads
    // them. Snoozed: the moment it rings again, to the second. Only the day
    // and time of day count, never the time zone.
    QDateTime at;
    QString message;

    // True for the alarms that keep the sound going: everything but warnings.
    bool keepsRinging() const { return kind != AlarmKind::Warning; }
    friend bool operator==(const Alarm&, const Alarm&) = default;
};

// The line the alarm window and the desktop notice show for `alarm` at
// `shownAt`. A due or snoozed alarm on time is its bare message; more than a
// minute late it carries its time, "(ore 23:55) Medicina della sera". A
// warning counts the whole minutes to go: "Tra 15 minuti (ore 10:00): Dentista".
QString alarmLine(const Alarm& alarm, const QDateTime& shownAt);

// The appointments of one year laid out for the alarm check: each record
// with an entry date in that year and a time that reads as one, ordered by
// day and minute and, within a minute, in file order. Built once per file
// version so a check costs a binary search instead of parsing texts.
class AlarmIndex {
  public:
    AlarmIndex() = default;
    AlarmIndex(const QList<ListRecord>& appointments, int year);
    // Straight from the appointments file's content, which the index keeps
    // (shared, not copied): messages are decoded only when they ring.
    AlarmIndex(const QByteArray& content, int year);

    int year() const { return year_; }
    // The messages due at the minute (seconds ignored), in file order.
    QStringList messagesAt(const QDate& day, const QTime& minute) const;

    struct Due {
        qint64 minute;  // WallMinute::index()
        QString message;
    };
    // The appointments due from `first` to `last` (wall minute indexes, both
    // included) that fall in this index's year, in time and then file order.
    void collectBetween(qint64 first, qint64 last, QList<Due>& out) const;

  private:
    struct Entry {
        int minuteOfYear;  // (day of year - 1) * 1440 + minute of day
        // The message: its bytes in content_, or (size -1) messages_[start].
        qsizetype start;
        qsizetype size;
    };
    void add(int month, int day, int minuteOfDay, qsizetype start, qsizetype size);
    void sort();
    QString messageOf(const Entry& entry) const;
    int year_ = 0;
    qint64 firstIndex_ = 0;  // WallMinute::index() of 1 January 0:00
    std::vector<Entry> due_;
    QByteArray content_;
    QStringList messages_;
};

// The messages of the appointments that ring at the minute, in file order.
// Records without an entry date or without a readable time never ring.
QStringList dueAlarms(const QList<ListRecord>& appointments, const QDate& day, const QTime& minute);

// The appointments file, named by its full path, parsed again only when its
// content changed. Each refresh reads the bytes (cheap: one small file from
// the page cache) and compares them with the last ones: a save with the same
// size within the file system's timestamp granularity is still seen. A
// missing file reads as no appointments.
class AppointmentFileCache {
  public:
    explicit AppointmentFileCache(const QString& path) : path_(path) {}
    const QString& path() const { return path_; }
    // Reads the file again; true when its content changed since the last read.
    bool refresh();
    // The index for `year`, from the content of the last refresh.
    const AlarmIndex& indexFor(int year);
    // The appointments due from `first` to `last` (wall minute indexes, both
    // included), across days and years, in time and then file order.
    QList<AlarmIndex::Due> between(qint64 first, qint64 last);
    // How many times the file has been parsed (for the benchmark and the
    // tests of the cache itself).
    int loads() const { return loads_; }

  private:
    QString path_;
    bool valid_ = false;
    QByteArray bytes_;
    // The years asked for since the content last changed (at most a few).
    std::vector<AlarmIndex> indexes_;
    int loads_ = 0;
};

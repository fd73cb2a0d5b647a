#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>

#include <vector>

#include "core/listfiles.h"

// True when an appointment's time text rings at the given minute: the text
// reads as a time of day (hours 0-23, ":" or ".", minutes 00-59, so "9:05",
// "09:05" and "9.05" alike) equal to the minute's hour and minute.
bool TimeRingsAt(const QString& timeText, const QTime& minute);

// The appointments of one year laid out for the alarm check: each record
// with an entry date in that year and a time that reads as one, by day and
// minute, in file order. Built once per file version so a tick costs a scan
// of integers instead of parsing texts.
class AlarmIndex {
  public:
    AlarmIndex() = default;
    AlarmIndex(const QList<ListRecord>& appointments, int year);

    int year() const { return year_; }
    // The messages due at the minute (seconds ignored), in file order.
    QStringList MessagesAt(const QDate& day, const QTime& minute) const;

  private:
    struct Due {
        int dayOfYear;
        int minuteOfDay;
        qsizetype record;
    };
    int year_ = 0;
    std::vector<Due> due_;
    QStringList messages_;
};

// The messages of the appointments that ring at the minute, in file order.
// Records without an entry date or without a readable time never ring.
QStringList DueAlarms(const QList<ListRecord>& appointments, const QDate& day, const QTime& minute);

// The appointments file of the current folder, parsed again only when its
// content changed. Every tick reads the bytes (cheap: one small file from the
// page cache) and compares them with the last ones: a save with the same size
// within the file system's timestamp granularity is still seen, so an alarm
// is never missed because a stamp looked unchanged. A missing file reads as
// no appointments.
class AppointmentFileCache {
  public:
    // The index for the year of `day`, fresh from the file when it changed.
    const AlarmIndex& IndexFor(const QDate& day);
    // How many times the file has been parsed (for the benchmark and the
    // tests of the cache itself).
    int loads() const { return loads_; }

  private:
    bool valid_ = false;
    QByteArray bytes_;
    AlarmIndex index_;
    int loads_ = 0;
};

#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

#include <optional>

// A date text is day "/" month, without a year. These helpers read it.

struct DayMonth {
    int day = 0;
    int month = 0;
};

// Day and month of a date text when it is a real day of the given year:
// "29/2" only in leap years; "31/4", "7/3/2025" and non-numbers never.
std::optional<DayMonth> parseDateText(const QString& dateText, int year);

// The entry date: the date text taken in the given year.
std::optional<QDate> entryDate(const QString& dateText, int year);

// Day and month when the text is a real day of some year (a leap year
// included). Saving uses this so that "29/2" survives a common year.
std::optional<DayMonth> dateTextOfAnyYear(const QString& dateText);

// One or two decimal digits, the shape of nearly every stored day, month,
// hour and minute, read without the general readers (which handle every
// other text).
bool readShortNumber(QStringView text, int& value);

// "7/3": day and month in decimal without leading zeros.
QString formatDateText(int day, int month);
QString formatDateText(const QDate& date);

// A time of day typed as hours 0-23, ":" or ".", minutes 00-59 (9:30, 09:30,
// 14.30); spaces around it are ignored. Anything else has no time.
std::optional<QTime> parseTimeText(const QString& timeText);

// "9:05": hours without a leading zero, ":", two-digit minutes, the way the
// alarm and the program's own lists write a time of day.
QString formatTimeText(const QTime& time);

// A minute of the wall clock: a day and the minute of that day (0 to 1439).
// Wall minutes are what the user reads on the clock, so an hour an autumn
// clock change repeats is the same hour twice.
struct WallMinute {
    QDate day;
    int minute = 0;

    static WallMinute of(const QDateTime& t);
    // Minutes counted from a fixed origin: wall minutes compare and subtract
    // as these numbers.
    qint64 index() const { return day.toJulianDay() * 1440 + minute; }
    static WallMinute fromIndex(qint64 index);
    QTime time() const { return QTime(minute / 60, minute % 60); }
    bool isValid() const { return day.isValid(); }
    friend bool operator==(const WallMinute&, const WallMinute&) = default;
};

// Seconds of the wall clock counted from a fixed origin: the day and time
// of day as they read, whatever the time zone and its changes.
qint64 wallSeconds(const QDateTime& t);

// The program's name in window titles and the title of boxes that have none
// of their own.
inline constexpr char16_t kProgramTitle[] = u"Ricordel";

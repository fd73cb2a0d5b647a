#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

// The date arithmetic of the postpone commands.

// The moment moved later by `minutes`; midnight carries into the next day,
// month or year.
QDateTime movedByMinutes(const QDate& date, const QTime& time, int minutes);

// The time text written after a minute step: two-digit hours ":" two-digit
// minutes (09:35).
QString postponedTimeText(const QTime& time);

// The date after postponeByDays(days). 30 is the calendar-month step: the
// next month on the same day, or its last day when it is shorter; landing on
// 29 February gives 28 February. Any other value adds that many days.
QDate movedByDays(const QDate& date, int days);

// The argument of postponeByDays that means "one month".
inline constexpr int kMonthStep = 30;

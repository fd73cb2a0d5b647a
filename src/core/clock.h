#pragma once

#include <QDate>
#include <QDateTime>

// Where the program reads the time. Everything that needs today or now is
// handed a Clock, so tests can set the time instead of waiting for it.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    QDate today() const { return now().date(); }
    int year() const { return today().year(); }
};

// The system's local time.
class SystemClock final : public Clock {
  public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

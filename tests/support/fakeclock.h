#pragma once

#include "core/clock.h"

// A clock the test sets by hand.
class FakeClock final : public Clock {
  public:
    explicit FakeClock(QDateTime now = QDateTime(QDate(2026, 3, 7), QTime(10, 0))) : now_(now) {}
    QDateTime now() const override { return now_; }
    void set(const QDateTime& now) { now_ = now; }
    void set(const QDate& date, const QTime& time = QTime(10, 0)) { now_ = QDateTime(date, time); }
    void advanceSecs(qint64 secs) { now_ = now_.addSecs(secs); }

  private:
    QDateTime now_;
};

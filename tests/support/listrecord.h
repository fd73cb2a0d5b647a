#pragma once

#include <QString>

#include "core/listrecords.h"

// One record of a list as the readers hand it on: day and month (0 for an
// entry without a date), the message and, for the appointments, the time.
inline ListRecord listRecord(int day, int month, const QString& message, const QString& time = {}) {
    ListRecord r;
    r.day = static_cast<qint16>(day);
    r.month = static_cast<qint16>(month);
    r.message = message;
    r.time = time;
    return r;
}

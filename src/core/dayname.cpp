#include "core/dayname.h"

QString dayName(int weekday) {
    static const char16_t* const names[] = {u"Domenica", u"Lunedì",  u"Martedì", u"Mercoledì",
                                            u"Giovedì",  u"Venerdì", u"Sabato"};
    if (weekday < 1 || weekday > 7) return {};
    return QString::fromUtf16(names[weekday - 1]);
}

int weekdayNumber(int qtDayOfWeek) {
    // Qt counts Monday as 1 and Sunday as 7.
    return qtDayOfWeek % 7 + 1;
}

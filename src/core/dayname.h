#pragma once

#include <QString>

// The Italian name of a weekday numbered with Sunday as 1; any other number
// gives the empty text.
QString dayName(int weekday);

// The weekday number of a date, Sunday being 1.
int weekdayNumber(int qtDayOfWeek);

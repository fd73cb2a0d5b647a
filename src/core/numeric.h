#pragma once

#include <QStringView>

#include <cstdint>
#include <optional>

// "The numeric value of a text", the one reader shared by the sort, the
// archive year, the notice days and the list-file reader: spaces, tabs and
// line feeds are skipped; an optional sign, digits, a decimal point (always a
// full stop), an optional exponent (E or D, optional sign, digits); "&H" and
// "&O" read hexadecimal and octal. Reading stops at the first character that
// does not fit; 0 when nothing reads.
double numericValueOf(QStringView text);

// Rounds to the nearest whole number, a half going to the even neighbour
// (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
double roundHalfEven(double value);

// The value rounded half to even, when it fits a 16-bit signed integer.
std::optional<std::int16_t> toInt16(double value);

// The shortest plain form of a number: whole numbers without a decimal part.
QString formatNumber(double value);

#pragma once

#include <QColor>
#include <QDateTime>

#include "core/agendaentry.h"

// The urgency tints of the appointments grid.
namespace urgency {
inline constexpr QRgb kWhite = qRgb(255, 255, 255);        // later, or past but "(ny)"
inline constexpr QRgb kLightRed = qRgb(255, 128, 128);     // past, or today and its time reached
inline constexpr QRgb kLightYellow = qRgb(255, 255, 128);  // today
inline constexpr QRgb kLightGreen = qRgb(192, 255, 192);   // tomorrow
}  // namespace urgency

// The tint of one appointment seen at `now`. A date that is no day of the
// current year leaves the row white; a time that cannot be read counts as no
// time.
QRgb UrgencyColour(const AgendaEntry& entry, const QDateTime& now);

#pragma once

#include <QDateTime>

#include "core/agendaentry.h"

// The urgency tints of the appointments grid, as opaque ARGB values.
namespace urgency {
inline constexpr quint32 kWhite = 0xFFFFFFFF;        // later, or past but "(ny)"
inline constexpr quint32 kLightRed = 0xFFFF8080;     // past, or today and its time reached
inline constexpr quint32 kLightYellow = 0xFFFFFF80;  // today
inline constexpr quint32 kLightGreen = 0xFFC0FFC0;   // tomorrow
}  // namespace urgency

// The tint of one appointment seen at `now`. A date that is no day of the
// current year leaves the row white; a time that cannot be read counts as no
// time.
quint32 urgencyColour(const AgendaEntry& entry, const QDateTime& now);

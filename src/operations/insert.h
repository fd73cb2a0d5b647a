#pragma once

#include <QDate>
#include <QString>

class ListModel;

// Where a new entry dated `newDate` goes in a list kept in date order: the
// first row dated on or after it (rising order) or before it (falling order),
// counting every date in `year`. Rows whose date cannot be read never qualify.
// entryCount() means the end.
int insertionPlace(const ListModel& list, const QDate& newDate, bool ascending, int year);

// The prompt of the time question of a new appointment.
inline constexpr char16_t kTimePrompt[] =
    u"Inserisci l'ORARIO come ore:minuti (per esempio 9:30 o 14:30)";
inline constexpr char16_t kTimeTitle[] = u"Premere INVIO per non inserirla";

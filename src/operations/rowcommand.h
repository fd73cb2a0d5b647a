#pragma once

#include <QString>

#include "core/agendaentry.h"
#include "core/listkind.h"

class Agenda;
class ListModel;
class ListSelection;

// The entry that a row command (delete, postpone, archive) acts on: the
// current row of one list, read once. Questions keep the window's events
// flowing, so before changing anything the command checks that the row still
// holds what the user was asked about.
class RowCommand {
  public:
    // The current row of the list of `kind`, as `shown` has it.
    RowCommand(Agenda& agenda, const ListSelection& shown, ListKind kind = ListKind::Appointments);

    bool hasRow() const { return row_ >= 0; }
    int row() const { return row_; }
    const AgendaEntry& entry() const { return entry_; }
    ListModel& targetList() const { return list_; }

    // "date - message" with Yes and No, a question icon and `title`; true on
    // Yes when the row is still the one asked about.
    bool confirm(const QString& title) const;
    bool stillThere() const;
    // After a Yes: whether the row is still there; otherwise says so in a box
    // titled "Errore".
    bool confirmedStillThere() const;

  private:
    Agenda& agenda_;
    ListModel& list_;
    int row_ = -1;
    AgendaEntry entry_;
};

// Saves the appointments list; when another tab is on show, ends as a click
// on that tab. Returns whether it was written.
bool saveAppointmentsList(Agenda& agenda, ListSelection& shown);

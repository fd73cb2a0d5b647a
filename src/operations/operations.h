#pragma once

#include <QDate>
#include <QString>

class Agenda;
class ListSelection;

// What the user does to entries. Each command works on the agenda, asks
// through its Dialogs seam and reads the time from its Clock, so every branch
// runs without a window. Commands on "the current entry" or "the list on
// show" read where the user is from a ListSelection.

// The save command: sorts the appointments, writes the three lists and
// repaints the colours; with `shown`, ends as a click on its selected tab
// (the window's tab-change handling runs). Returns false when a file could
// not be written (the user has been told).
bool saveAll(Agenda& agenda, ListSelection* shown = nullptr);

// The question of the exit command: when there are unsaved edits, asks
// "Salvare le modifiche effettuate ?" and on Yes sorts the appointments,
// saves the three lists and selects the appointments' tab. Hiding the window
// is the caller's business.
void askToSaveOnExit(Agenda& agenda, ListSelection& shown);

// The order commands: set sortAscending, save the settings, run the save command.
void setSortOrder(Agenda& agenda, bool ascending, ListSelection* shown = nullptr);

// Puts the appointments in date-and-time order in the direction of
// sortAscending. Rows whose date cannot be read stay where they are; one
// "Data non valida" box at most.
void sortAppointments(Agenda& agenda);

// Tints the appointments by urgency. Never moves the current cell.
void paintUrgencyColours(Agenda& agenda);

// Adds an entry on the calendar's day to the list of the selected tab.
void insertEntry(Agenda& agenda, ListSelection& shown, const QDate& calendarDate);

// Removes the current entry of the selected tab's list after a question.
void deleteEntry(Agenda& agenda, ListSelection& shown);

// Moves the current appointment later (the postpone popup).
void postponeByMinutes(Agenda& agenda, ListSelection& shown, int minutes);
void postponeByDays(Agenda& agenda, ListSelection& shown,
                    int days);  // 30 is the calendar-month step

// Starts the program that shows an archive file. Returns whether it started.
class ArchiveViewer {
  public:
    virtual ~ArchiveViewer() = default;
    // path: the archive file relative to the data folder (the process's
    // current folder, which the program never changes), '/' separated;
    // windowsFolder: where the Windows text editor lives (ignored elsewhere).
    virtual bool open(const QString& path, const QString& windowsFolder) = 0;
};

// The platform's viewer: the Windows text editor, or the desktop's default
// application for text files.
class DesktopArchiveViewer final : public ArchiveViewer {
  public:
    bool open(const QString& path, const QString& windowsFolder) override;
};

// Appends the current appointment to this year's archive file and removes it.
void archiveEntry(Agenda& agenda, ListSelection& shown);

// Asks for a year and opens its archive file.
void openArchive(Agenda& agenda, ArchiveViewer& viewer);

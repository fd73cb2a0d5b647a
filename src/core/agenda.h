#pragma once

#include <QDir>
#include <QItemSelectionModel>
#include <QObject>
#include <QString>

#include <array>
#include <memory>
#include <set>

#include "core/clock.h"
#include "core/dialogs.h"
#include "core/listkind.h"
#include "core/listmodel.h"
#include "core/settings.h"

// The state of the main window that needs no window: the three lists with
// their current cells, the settings, the selected tab and the unsaved-edits
// flag. The operations work on it; the window shows it. Every file the
// program keeps lives in the data folder given at construction; boxes name
// the files by their names in it.
class Agenda : public QObject {
    Q_OBJECT
  public:
    Agenda(Clock& clock, Dialogs& dialogs, const QString& dataFolder, QObject* parent = nullptr);
    ~Agenda() override;

    // The data folder, as an absolute path, and the path of a file in it.
    QString dataFolder() const { return folder_.absolutePath(); }
    QString filePath(const QString& name) const { return folder_.absoluteFilePath(name); }

    Clock& clock() const { return clock_; }
    Dialogs& dialogs() const { return dialogs_; }

    ListModel& list(ListKind kind) { return *lists_[static_cast<size_t>(kind)]; }
    const ListModel& list(ListKind kind) const { return *lists_[static_cast<size_t>(kind)]; }
    ListModel& appointments() { return list(ListKind::Appointments); }

    // The current cell of each grid; the views share these selection models.
    QItemSelectionModel& selection(ListKind kind) {
        return *selections_[static_cast<size_t>(kind)];
    }
    // The model row of the grid's current cell, or -1 when there is none.
    int currentRow(ListKind kind) const;
    void setCurrentCell(ListKind kind, int row, int column);

    // The selected tab of SSTab1 (0, 1, 2). Selecting another tab emits
    // currentTabChanged, so the window's tab-change handling runs whoever
    // selects it.
    int currentTab() const { return currentTab_; }
    void selectTab(int tab);
    // Selects `tab` and emits currentTabChanged even when it is selected
    // already: the window's tab-change handling runs as after a click on it.
    void showTab(int tab);

    // currentList is the list of the selected tab, as selectCurrentList last set it.
    void selectCurrentList();
    ListModel& currentList() { return *currentGrid_; }
    ListKind currentKind() const { return currentGrid_->kind(); }

    bool listsModified() const { return listsModified_; }
    void setListsModified(bool modified);

    Settings& settings() { return settings_; }
    const Settings& settings() const { return settings_; }

    // The Windows folder the archive's text editor is started from.
    const QString& windowsFolder() const { return windowsFolder_; }
    void setWindowsFolder(const QString& folder) { windowsFolder_ = folder; }

    // Creates a missing list file empty, then appends each file's records to
    // its list. A file that cannot be read is reported and read as empty.
    void loadLists();

    // Writes the list of `kind` to its file, atomically. On success
    // ListsModified is cleared; on failure the old file stays, a box says why
    // and the flag stays as it was. Returns whether the file was written.
    bool saveList(ListKind kind);

    // Reads "Ricordel.ini"; a missing or short file leaves the unread settings
    // as they are.
    void loadSettings();
    // Writes all the settings to "Ricordel.ini". Returns false when the file
    // could not be written (the user has been told).
    bool saveSettings();

    // The program ends: from now on no file is written, so that a command
    // whose questions were abandoned with the program leaves nothing half
    // made. Saves return false without a box.
    void stopWriting() { writing_ = false; }
    // Remembers that the user was told about `key` (an appointment whose time
    // cannot ring); false when it was told before.
    bool markTimeReported(const QString& key) { return reportedTimes_.insert(key).second; }
    bool isWriting() const { return writing_; }

    // Stores a path chosen in a dialog (a sound file, the pictures folder) in
    // `setting` and saves the settings. A path the settings file cannot hold
    // as it is (a file name with a character Windows-1252 lacks, a double
    // quote or a line break) would come back changed at the next start: it is
    // refused with a box naming it, and the setting keeps its value. Returns
    // whether the path was stored.
    bool storePathSetting(QString Settings::*setting, const QString& path);

  Q_SIGNALS:
    void currentTabChanged(int tab);
    void listsModifiedChanged(bool modified);
    // A list file was written.
    void listSaved(ListKind kind);

  private:
    Clock& clock_;
    Dialogs& dialogs_;
    QDir folder_;
    QString windowsFolder_;
    std::array<std::unique_ptr<ListModel>, 3> lists_;
    std::array<std::unique_ptr<QItemSelectionModel>, 3> selections_;
    ListModel* currentGrid_ = nullptr;
    int currentTab_ = 0;
    bool listsModified_ = false;
    bool writing_ = true;
    std::set<QString> reportedTimes_;
    Settings settings_;
};

// Reports a file that could not be written, naming it and the reason.
void reportSaveFailure(Dialogs& dialogs, const QString& fileName, const QString& reason);

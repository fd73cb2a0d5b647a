#pragma once

#include <QDir>
#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <memory>

#include "core/clock.h"
#include "core/dialogs.h"
#include "core/listkind.h"
#include "core/listmodel.h"
#include "core/settings.h"

// The agenda as a document: the three lists, the settings and the data
// folder every file of the program is named through, with the unsaved-edits
// flag. The operations change it, any part of the program may follow its
// changes through its signals, and the window shows it. Where the user is in
// the lists (tab, current cells) is the window's (ListSelection).
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

    bool listsModified() const { return listsModified_; }
    void setListsModified(bool modified);

    Settings& settings() { return settings_; }
    const Settings& settings() const { return settings_; }

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

    // Files are written only while `condition` holds: the program's lifetime
    // gives the condition that it is not ending, so that a command whose
    // questions were abandoned with the program leaves nothing half made.
    // Saves refused so return false without a box.
    void writeWhile(std::function<bool()> condition) { mayWrite_ = std::move(condition); }
    bool isWriting() const { return !mayWrite_ || mayWrite_(); }

    // Stores a path chosen in a dialog (a sound file, the pictures folder) in
    // `setting` and saves the settings. A path the settings file cannot hold
    // as it is (a file name with a character Windows-1252 lacks, a double
    // quote or a line break) would come back changed at the next start: it is
    // refused with a box naming it, and the setting keeps its value. Returns
    // whether the path was stored.
    bool storePathSetting(QString Settings::*setting, const QString& path);

    // Says that the entry at `row` of a list leaves it for the archive, not
    // deleted, before its row is removed.
    void announceArchived(ListKind kind, int row) { Q_EMIT entryArchived(kind, list(kind).identity(row)); }

  Q_SIGNALS:
    void listsModifiedChanged(bool modified);
    // The entry of this identity leaves the list for the archive.
    void entryArchived(ListKind kind, quint64 identity);
    // Rows [first, last] of a list were added, removed or had a text changed.
    void rowsAdded(ListKind kind, int first, int last);
    void rowsRemoved(ListKind kind, int first, int last);
    void rowsEdited(ListKind kind, int first, int last);
    // A list was emptied, filled or reordered as a whole.
    void listReplaced(ListKind kind);
    // A list file was written.
    void listSaved(ListKind kind);

  private:
    Clock& clock_;
    Dialogs& dialogs_;
    QDir folder_;
    std::array<std::unique_ptr<ListModel>, 3> lists_;
    bool listsModified_ = false;
    std::function<bool()> mayWrite_;
    Settings settings_;
};

// Reports a file that could not be written, naming it and the reason.
void reportSaveFailure(Dialogs& dialogs, const QString& fileName, const QString& reason);

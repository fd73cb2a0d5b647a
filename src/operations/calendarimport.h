#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimeZone>

#include <memory>

#include "core/isolatedtask.h"
#include "core/listkind.h"
#include "operations/calendarreading.h"

class Agenda;

// What a calendar's reading would add to the agenda's lists as they are:
// an entry the list already holds (same day, month, time and message) is
// left out, and so is one for a list that is full.
struct CalendarImportPlan {
    QList<ImportedEntry> entries;  // to add, in file order
    int nextOccurrences = 0;       // entries that are a repeated event's next date
    // Events left out, by reason.
    int past = 0;     // over, or a repetition that has ended
    int later = 0;    // more than a year ahead
    int present = 0;  // already in the list (or twice in the file)
    int cancelled = 0;
    int noDay = 0;       // no start, or 29 February in a year without it
    int invalid = 0;     // a date or time that cannot exist
    int tooDense = 0;    // a repetition too dense to follow
    int full = 0;        // the list holds its maximum
    int otherItems = 0;  // to-dos, journal entries, alarms alone, busy times

    int count(ListKind kind) const;
    int leftOut() const {
        return past + later + present + cancelled + noDay + invalid + tooDense + full + otherItems;
    }
};

CalendarImportPlan planCalendarImport(const CalendarReading& reading, const Agenda& agenda);

// The Italian box that lists what will be added and what is left out and why.
QString calendarImportText(const CalendarImportPlan& plan, const QString& path);

// The import command, one file at a time. The file is read (a regular file,
// at most kMaxCalendarFileBytes) and handed to an isolated task that parses
// it, so that a crafted file can crash or hang only that task; the window
// goes on meanwhile and alarms ring. What the task found is shown in one
// box, and on "Sì" the entries that are not in the lists by then are added
// where insertion would put them and the save command runs, which sorts and
// writes the lists. When the lists cannot all be saved, the lists and their
// files are put back exactly as they were before the import: nothing is
// half-imported, and edits not yet saved stay unsaved.
class CalendarImporter : public QObject {
    Q_OBJECT
  public:
    // `readerProgram`: the program that runs the isolated task (this one).
    CalendarImporter(Agenda& agenda, const QString& readerProgram, QObject* parent = nullptr);
    ~CalendarImporter() override;

    void setTimeZone(const QTimeZone& zone) { zone_ = zone; }
    void setLimits(const IsolatedTask::Limits& limits) { limits_ = limits; }

    // Imports a file; a request made while an import runs waits its turn.
    void importFile(const QString& path);
    // Stops the reading under way; its file adds nothing, and the requests
    // waiting go on.
    void cancelReading();
    bool isBusy() const { return !current_.isEmpty(); }

  Q_SIGNALS:
    // The isolated task reads `path`; progress from 0 to 1000.
    void readingStarted(const QString& path);
    void progressed(int permille);
    void readingEnded();
    // One request is over, having added `added` entries.
    void finished(const QString& path, int added);

  private:
    void startNext();
    void onRead(const QByteArray& output);
    void onFailed(IsolatedTask::Failure failure);
    void confirmAndAdd(const CalendarReading& reading);
    void end(int added);
    void reportFailure(const QString& reason);

    Agenda& agenda_;
    QTimeZone zone_ = QTimeZone::systemTimeZone();
    IsolatedTask::Limits limits_;
    std::unique_ptr<IsolatedTask> task_;
    QString current_;
    QStringList waiting_;
};

// Adds `entries` to the lists where insertion would put them and runs the
// save command. When a list cannot be saved, the lists and their files are
// put back as they were, every write of that checked, and false returned.
bool addImportedEntries(Agenda& agenda, const QList<ImportedEntry>& entries);

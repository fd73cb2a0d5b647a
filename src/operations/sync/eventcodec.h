#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

#include "operations/calendarreading.h"

class IsolatedTask;

// What one calendar object of the server (an event with its overrides) is
// for the lists, read as the import reads a calendar (see calendarreading.h).
struct ServerEventReading {
    enum class Status {
        Shown,     // an entry of the lists, from today up to a year ahead
        Past,      // over, or a repetition that has ended
        Later,     // more than a year ahead
        NotShown,  // no event: a task, a journal entry, cancelled, invalid
    };
    Status status = Status::NotShown;
    QByteArray uid;
    // Shown: the entry. Past and Later: the entry the event would be at its
    // own date (its last or its next occurrence), when it has one, so that
    // a first sync can pair it with an entry of the lists; kind ==
    // Appointments and day == 0 when it has none. `repeated`: a series
    // repeated other than yearly, shown as one occurrence.
    ImportedEntry entry;
    // The day the reading may change with time alone: the day after a
    // series' shown occurrence, the day a later event comes within a year.
    // Null: never.
    QDate reviewOn;

    bool operator==(const ServerEventReading&) const = default;
};

// Where and when the objects are read and written.
struct EventContext {
    QDate today;
    QDateTime stampUtc;  // DTSTAMP and LAST-MODIFIED of what is written
    QString zoneId;      // as buildCalendarExport takes it; empty: floating
};

ServerEventReading readServerEvent(const QByteArray& ics, const EventContext& context);

// A new calendar object for `entry`, as the export writes that entry: the
// zone's VTIMEZONE and one VEVENT with `uid`, CATEGORIES naming the list,
// the alarm at the start of a timed appointment, a yearly rule for an
// anniversary. Made by this program, never parsed: safe in the program.
QByteArray makeEventObject(const ImportedEntry& entry, const QByteArray& uid,
                           const EventContext& context);

// `ics` with its event (the master VEVENT) changed to `entry`: summary,
// start and end, CATEGORIES naming the list (other categories kept), the
// yearly rule of an anniversary, an alarm at the start of a timed
// appointment (other alarms kept). Fields that already read as the entry
// are left as written; every other property, parameter and component is
// kept. SEQUENCE goes up by one, DTSTAMP and LAST-MODIFIED are the stamp.
// Nothing when the object holds no event to change.
std::optional<QByteArray> patchEventObject(const QByteArray& ics, const ImportedEntry& entry,
                                           const EventContext& context);

// Work on objects from the server, which must be parsed where a fault
// cannot reach the program.
struct EventJob {
    enum class Kind { Read, Patch };
    Kind kind = Kind::Read;
    QByteArray ics;
    ImportedEntry entry;  // Patch: what the event becomes
};
struct EventJobResult {
    ServerEventReading reading;         // Read
    std::optional<QByteArray> patched;  // Patch
    bool operator==(const EventJobResult&) const = default;
};

// Runs jobs, in the program or out of it. done() is called once, later,
// with one result per job in order; a job that could not be done (its
// object crashed or hung the reader) has no result.
class EventCodec {
  public:
    using Done = std::function<void(const QList<std::optional<EventJobResult>>& results)>;
    virtual ~EventCodec() = default;
    virtual void run(const QList<EventJob>& jobs, const EventContext& context, Done done) = 0;
    virtual void cancel() = 0;
};

// In this process: for the tests and for the program's own objects.
class DirectEventCodec : public QObject, public EventCodec {
    Q_OBJECT
  public:
    using QObject::QObject;
    void run(const QList<EventJob>& jobs, const EventContext& context, Done done) override;
    void cancel() override;

  private:
    int generation_ = 0;
};

// In the isolated task kEventsTask of `program` (normally this program).
// A batch that fails is split in halves until the job that fails is alone,
// and that job has no result.
class IsolatedEventCodec : public QObject, public EventCodec {
    Q_OBJECT
  public:
    explicit IsolatedEventCodec(const QString& program, QObject* parent = nullptr);
    ~IsolatedEventCodec() override;
    void run(const QList<EventJob>& jobs, const EventContext& context, Done done) override;
    void cancel() override;

  private:
    void next();
    void batchFailed(bool notStarted);

    struct Private;
    std::unique_ptr<Private> d;
};

// The task's input and output, and back. Decoding trusts nothing: what was
// not written by the encoder, within bounds (counts, sizes, dates), gives
// nothing.
QByteArray encodeEventJobs(const QList<EventJob>& jobs, const EventContext& context);
std::optional<std::pair<QList<EventJob>, EventContext>> decodeEventJobs(const QByteArray& bytes);
QByteArray encodeEventResults(const QList<EventJobResult>& results);
std::optional<QList<EventJobResult>> decodeEventResults(const QByteArray& bytes, qsizetype jobs);

// The isolated task: jobs on `in`, results on `out`. Returns the exit code.
inline constexpr char kEventsTask[] = "caldav-events";
int runEventsTask(const QStringList& arguments, std::FILE* in, std::FILE* out);

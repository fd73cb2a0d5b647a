#pragma once

#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

#include "operations/sync/caldavclient.h"
#include "operations/sync/eventcodec.h"
#include "operations/sync/syncstore.h"

class Agenda;
class ListModel;

// The key that makes two entries the same for the sync: list, day, month,
// time (a time of day in one spelling) and message.
QString syncKeyOf(const ImportedEntry& entry);
// The row at `row` as the sync compares it; nothing when its date text is
// no day of any year (such a row is left out of the sync).
std::optional<ImportedEntry> syncContentOf(const ListModel& list, int row);

// What one sync did, for the tray's tooltip and the report box.
struct SyncReport {
    QDateTime finishedAt;
    std::optional<ServerFailure> failure;  // the pass stopped, or a request failed, on it
    QString localError;                    // the lists or the store could not be written
    int sent = 0;                          // events added, changed or deleted on the server
    int taken = 0;                         // entries added, changed or removed in the lists
    QStringList conflicts;                 // messages of the entries changed on both sides
    int leftOut = 0;                       // events a full list could not take
    int unreadable = 0;                    // objects of the server that could not be read

    bool succeeded() const { return !failure && localError.isEmpty(); }
    // "Sincronizzato alle 10:42", or the reason it was not.
    QString statusLine() const;
    // The whole report, in Italian, for the box of a sync the user asked for.
    QString text() const;
};

// The two-way sync of the agenda's lists with one calendar on a server.
//
// What the last sync agreed on is in the store: for each event its href,
// ETag, UID and object, and for the events shown in the lists the content
// both sides had. While the program runs every row of the lists has an
// identity (ListModel::identity); the engine pairs records with rows by it,
// and at its first pass by content. A pass then compares three versions of
// each entry (the record, the row, the server's object) and:
// - takes into the lists what changed only on the server, and sends to the
//   server what changed only in the lists (an edit as a conditional PUT of
//   the server's own object, so that what the lists do not hold is kept);
// - keeps both versions of an entry changed on both sides (the server's
//   replaces the entry, the lists' becomes a second entry and event), and
//   the edited version of an entry edited on one side and deleted on the
//   other;
// - never changes or deletes an event the lists do not show; entries
//   archived stay on the server;
// - pairs by content, without sending or taking anything, an entry and an
//   event that are the same (a first sync, or one after a crash).
// The lists are saved before the store records what was taken, and an
// event is recorded, without its ETag, before it is sent: a pass cut short
// anywhere is finished by the next one with nothing lost or doubled.
class SyncEngine : public QObject {
    Q_OBJECT
  public:
    SyncEngine(Agenda& agenda, SyncStore& store, CalendarServer& server, EventCodec& codec,
               QObject* parent = nullptr);
    ~SyncEngine() override;

    // Starts a pass; a pass already running is left to finish.
    void start();
    bool isRunning() const { return pass_ != nullptr; }
    // Whether the pass is writing its changes into the lists now.
    bool isApplying() const { return applying_; }
    // Stops the pass: what was done stays done, the rest waits for the next.
    void cancel();
    // Changes to the lists wait while this says no (a question of the user's
    // is open over a row): checked each second.
    void setApplyGate(std::function<bool()> gate) { gate_ = std::move(gate); }
    // The entry of this identity leaves the lists for the archive (the
    // agenda says so): its event stays on the server and the sync forgets it.
    void forgetArchived(ListKind kind, quint64 identity);

  Q_SIGNALS:
    void finished(const SyncReport& report);

  private:
    struct Pass;
    struct Located;
    void begin();
    void loadRecords();
    void onListed(const std::optional<ServerFailure>& failure, const EventListing& listing);
    void onFetched(const std::optional<ServerFailure>& failure, const QList<FetchedEvent>& events);
    void readObjects();
    void applyWhenFree();
    void pairNearMatches(const QList<const SyncRecord*>& records,
                         const QList<std::pair<quint64, ImportedEntry>>& rows,
                         QHash<QString, QList<quint64>>& unpaired);
    void apply();
    void sendWrites();
    void onWritten();
    void finish(const std::optional<ServerFailure>& failure = std::nullopt);
    bool commit(const QList<SyncRecord>& changed, const QList<qint64>& removed);

    Agenda& agenda_;
    SyncStore& store_;
    CalendarServer& server_;
    EventCodec& codec_;
    std::function<bool()> gate_;
    QMap<qint64, SyncRecord> records_;
    QHash<qint64, quint64> rowOf_;  // record key -> identity of its row
    bool paired_ = false;
    bool applying_ = false;
    std::unique_ptr<Pass> pass_;
    int generation_ = 0;
    bool again_ = false;                 // a write found the event changed: one more pass
    std::optional<SyncReport> carried_;  // the report of the pass before it
};

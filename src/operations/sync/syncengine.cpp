#include "operations/sync/syncengine.h"

#include <QTimer>
#include <QUuid>

#include <algorithm>

#include "core/agenda.h"
#include "core/dates.h"
#include "operations/calendarexport.h"
#include "operations/insert.h"
#include "operations/operations.h"

QString syncKeyOf(const ImportedEntry& e) {
    return entryKey(e.kind, e.day, e.month, e.kind == ListKind::Appointments ? e.time : QString(),
                    e.message.trimmed());
}

std::optional<ImportedEntry> syncContentOf(const ListModel& list, int row) {
    const AgendaEntry e = list.entry(row);
    const std::optional<DayMonth> dm = dateTextOfAnyYear(e.date);
    if (!dm) return std::nullopt;
    ImportedEntry c;
    c.kind = list.kind();
    c.day = dm->day;
    c.month = dm->month;
    c.message = e.message;
    if (c.kind == ListKind::Appointments) c.time = e.time;
    return c;
}

namespace {

QString keyOf(const ImportedEntry& e) {
    return syncKeyOf(e);
}

std::optional<ImportedEntry> contentOf(const ListModel& list, int row) {
    return syncContentOf(list, row);
}

AgendaEntry rowFor(const ImportedEntry& e) {
    AgendaEntry a;
    a.date = formatDateText(e.day, e.month);
    a.message = e.message;
    if (e.kind == ListKind::Appointments) a.time = e.time;
    return a;
}

// The day after an occurrence seen this year: when a series shows its next one.
QDate dayAfter(const ImportedEntry& e, const QDate& today) {
    const QDate date(today.year(), e.month, e.day);
    return date.isValid() && date >= today ? date.addDays(1) : today.addDays(1);
}

// How many days from today to the entry's next day and month: the nearest
// entries first when a list lacks room.
int daysAhead(const ImportedEntry& e, const QDate& today) {
    QDate date(today.year(), e.month, e.day);
    if (!date.isValid() || date < today) date = QDate(today.year() + 1, e.month, e.day);
    return date.isValid() ? static_cast<int>(today.daysTo(date)) : 366;
}

QByteArray newUid() {
    return QUuid::createUuid().toByteArray(QUuid::WithoutBraces) + "@ricordel";
}

}  // namespace

QString SyncReport::statusLine() const {
    if (failure)
        return QStringLiteral("Sincronizzazione non riuscita: %1").arg(describeFailure(*failure));
    if (!localError.isEmpty())
        return QStringLiteral("Sincronizzazione non riuscita: %1").arg(localError);
    return QStringLiteral("Sincronizzato alle %1").arg(finishedAt.toString(QStringLiteral("H:mm")));
}

QString SyncReport::text() const {
    QStringList lines{statusLine() + u'.'};
    lines << QStringLiteral("Modifiche inviate al server: %1; ricevute nelle liste: %2.")
                 .arg(sent)
                 .arg(taken);
    if (!conflicts.isEmpty())
        lines << QStringLiteral(
                     "Voci cambiate su entrambi i lati (tenute tutte e due le versioni): %1.")
                     .arg(conflicts.join(QStringLiteral("; ")));
    if (leftOut > 0)
        lines << QStringLiteral("Eventi non presi perché la lista è piena: %1.").arg(leftOut);
    if (unreadable > 0)
        lines << QStringLiteral("Eventi del server non leggibili, lasciati come sono: %1.")
                     .arg(unreadable);
    return lines.join(u'\n');
}

struct SyncEngine::Located {
    ListKind kind = ListKind::Appointments;
    int row = 0;
};

struct SyncEngine::Pass {
    int generation = 0;
    EventContext context;
    EventListing listing;
    QHash<QString, qint64> keyOfHref;
    QHash<QString, FetchedEvent> fetched;
    // Readings by href: of the objects fetched, and of the stored objects
    // whose review day has come; none for an object that could not be read.
    QHash<QString, std::optional<ServerEventReading>> readings;
    SyncReport report;
    struct Write {
        enum class Kind { Create, Patch, Delete };
        Kind kind = Kind::Create;
        qint64 key = 0;
        ImportedEntry content;
        QByteArray ics;
    };
    QList<Write> writes;
    int waiting = 0;
};

SyncEngine::SyncEngine(Agenda& agenda, SyncStore& store, CalendarServer& server, EventCodec& codec,
                       QObject* parent)
    : QObject(parent), agenda_(agenda), store_(store), server_(server), codec_(codec) {
    loadRecords();
    connect(&agenda_, &Agenda::entryArchived, this,
            [this](ListKind kind, quint64 identity) { forgetArchived(kind, identity); });
}

SyncEngine::~SyncEngine() {
    cancel();
}

void SyncEngine::loadRecords() {
    records_.clear();
    for (const SyncRecord& r : store_.records()) records_.insert(r.key, r);
}

void SyncEngine::cancel() {
    if (!pass_) return;
    ++generation_;
    server_.cancelAll();
    codec_.cancel();
    pass_.reset();
}

void SyncEngine::forgetArchived(ListKind kind, quint64 identity) {
    qint64 key = 0;
    for (auto it = rowOf_.begin(); it != rowOf_.end(); ++it) {
        if (it.value() != identity) continue;
        key = it.key();
        rowOf_.erase(it);
        break;
    }
    if (key == 0) {
        // Not paired yet (no pass has run): the record of the same content.
        const ListModel& list = agenda_.list(kind);
        for (int row = 0; row < list.entryCount() && key == 0; ++row) {
            if (list.identity(row) != identity) continue;
            const std::optional<ImportedEntry> entry = syncContentOf(list, row);
            for (const SyncRecord& r : std::as_const(records_))
                if (entry && r.role == SyncRecord::Role::Entry && !rowOf_.contains(r.key) &&
                    syncKeyOf(r.content) == syncKeyOf(*entry)) {
                    key = r.key;
                    break;
                }
        }
    }
    if (key == 0) return;
    // Kept, hidden, so that the event is neither taken in again nor
    // touched: the archive holds the entry now.
    SyncRecord& r = records_[key];
    r.role = SyncRecord::Role::Hidden;
    r.reviewOn = QDate();
    commit({r}, {});
}

bool SyncEngine::commit(const QList<SyncRecord>& changed, const QList<qint64>& removed) {
    if (changed.isEmpty() && removed.isEmpty()) return true;
    if (!store_.begin()) return false;
    for (SyncRecord r : changed) {
        if (!store_.put(r)) {
            store_.rollback();
            return false;
        }
    }
    for (qint64 key : removed) {
        if (!store_.remove(key)) {
            store_.rollback();
            return false;
        }
    }
    return store_.commit();
}

void SyncEngine::start() {
    if (pass_) return;
    again_ = false;
    carried_.reset();
    begin();
}

void SyncEngine::begin() {
    pass_ = std::make_unique<Pass>();
    if (carried_) pass_->report = *carried_;
    pass_->generation = ++generation_;
    const Clock& clock = agenda_.clock();
    pass_->context = EventContext{clock.today(), clock.now().toUTC(), systemZoneId()};
    for (const SyncRecord& r : std::as_const(records_)) pass_->keyOfHref.insert(r.href, r.key);
    const int generation = generation_;
    server_.listChanges(store_.token(),
                        [this, generation](const auto& failure, const auto& listing) {
                            if (generation == generation_) onListed(failure, listing);
                        });
}

void SyncEngine::onListed(const std::optional<ServerFailure>& failure,
                          const EventListing& listing) {
    if (failure) return finish(failure);
    Pass& p = *pass_;
    p.listing = listing;
    QStringList wanted;
    for (auto it = listing.changed.cbegin(); it != listing.changed.cend(); ++it) {
        const auto known = p.keyOfHref.constFind(it.key());
        if (known == p.keyOfHref.cend() || records_.value(*known).etag != it.value())
            wanted << it.key();
    }
    // Events sent but never confirmed: whether they reached the server.
    for (const SyncRecord& r : std::as_const(records_))
        if (r.etag.isEmpty() && !listing.changed.contains(r.href) &&
            !(listing.complete || listing.removed.contains(r.href)))
            wanted << r.href;
    if (wanted.isEmpty()) return readObjects();
    const int generation = generation_;
    server_.fetch(wanted, [this, generation](const auto& failure, const auto& events) {
        if (generation == generation_) onFetched(failure, events);
    });
}

void SyncEngine::onFetched(const std::optional<ServerFailure>& failure,
                           const QList<FetchedEvent>& events) {
    if (failure) return finish(failure);
    for (const FetchedEvent& e : events) pass_->fetched.insert(e.href, e);
    readObjects();
}

void SyncEngine::readObjects() {
    Pass& p = *pass_;
    QList<EventJob> jobs;
    QStringList hrefs;
    for (const FetchedEvent& e : std::as_const(p.fetched)) {
        jobs << EventJob{EventJob::Kind::Read, e.ics, {}};
        hrefs << e.href;
    }
    // Stored objects whose reading changes with the days: a series whose
    // occurrence has passed, an event that comes within a year.
    for (const SyncRecord& r : std::as_const(records_)) {
        if (!r.reviewOn.isValid() || r.reviewOn > p.context.today || r.ics.isEmpty() ||
            p.fetched.contains(r.href))
            continue;
        jobs << EventJob{EventJob::Kind::Read, r.ics, {}};
        hrefs << r.href;
    }
    if (jobs.isEmpty()) return applyWhenFree();
    const int generation = generation_;
    codec_.run(jobs, p.context, [this, generation, hrefs](const auto& results) {
        if (generation != generation_) return;
        for (qsizetype i = 0; i < hrefs.size() && i < results.size(); ++i)
            pass_->readings.insert(hrefs[i],
                                   results[i] ? std::optional(results[i]->reading) : std::nullopt);
        applyWhenFree();
    });
}

void SyncEngine::applyWhenFree() {
    if (gate_ && !gate_()) {
        const int generation = generation_;
        QTimer::singleShot(1000, this, [this, generation] {
            if (generation == generation_) applyWhenFree();
        });
        return;
    }
    apply();
}

void SyncEngine::pairNearMatches(const QList<const SyncRecord*>& records,
                                 const QList<std::pair<quint64, ImportedEntry>>& rows,
                                 QHash<QString, QList<quint64>>& unpaired) {
    auto near = [](const ImportedEntry& a, const ImportedEntry& b) {
        if (a.kind != b.kind) return false;
        const bool day = a.day == b.day && a.month == b.month;
        const bool time = keyOf(ImportedEntry{a.kind, 1, 1, {}, a.time, false}) ==
                          keyOf(ImportedEntry{b.kind, 1, 1, {}, b.time, false});
        const bool message = a.message.trimmed() == b.message.trimmed();
        return int(day) + int(time) + int(message) == 2;
    };
    QHash<qsizetype, QList<qsizetype>> rowsOf, recordsOf;
    for (qsizetype i = 0; i < records.size(); ++i)
        for (qsizetype j = 0; j < rows.size(); ++j)
            if (near(records[i]->content, rows[j].second)) {
                rowsOf[i] << j;
                recordsOf[j] << i;
            }
    for (auto it = rowsOf.cbegin(); it != rowsOf.cend(); ++it) {
        if (it->size() != 1 || recordsOf.value(it->first()).size() != 1) continue;
        const auto& [id, entry] = rows[it->first()];
        rowOf_.insert(records[it.key()]->key, id);
        unpaired[keyOf(entry)].removeOne(id);
    }
}

void SyncEngine::apply() {
    Pass& p = *pass_;
    const QDate today = p.context.today;
    using Write = Pass::Write;

    // Where each row is, by identity, and the rows no record is paired with.
    QHash<quint64, Located> located;
    for (ListKind kind : kAllListKinds) {
        const ListModel& list = agenda_.list(kind);
        for (int row = 0; row < list.entryCount(); ++row)
            located.insert(list.identity(row), Located{kind, row});
    }
    auto content = [&](quint64 id) -> std::optional<ImportedEntry> {
        const auto at = located.constFind(id);
        if (at == located.cend()) return std::nullopt;
        return contentOf(agenda_.list(at->kind), at->row);
    };
    // Unpaired rows by key, in list order, to pair with events that are
    // the same entry.
    QHash<quint64, bool> paired;
    for (auto it = rowOf_.cbegin(); it != rowOf_.cend(); ++it) paired.insert(it.value(), true);
    QHash<QString, QList<quint64>> unpaired;
    for (ListKind kind : kAllListKinds) {
        const ListModel& list = agenda_.list(kind);
        for (int row = 0; row < list.entryCount(); ++row) {
            const quint64 id = list.identity(row);
            if (paired.contains(id)) continue;
            if (const auto c = contentOf(list, row)) unpaired[keyOf(*c)] << id;
        }
    }
    auto takeUnpaired = [&](const ImportedEntry& e) -> quint64 {
        auto it = unpaired.find(keyOf(e));
        if (it == unpaired.end() || it->isEmpty()) return 0;
        return it->takeFirst();
    };
    // At the first pass every record finds its row by content; then a
    // record and a row of the same list that differ in one field only (an
    // entry moved, or its text edited, while the program was closed) are
    // the same entry when neither has another such match.
    if (!paired_) {
        QList<const SyncRecord*> left;
        for (const SyncRecord& r : std::as_const(records_)) {
            if (r.role != SyncRecord::Role::Entry) continue;
            if (const quint64 id = takeUnpaired(r.content))
                rowOf_.insert(r.key, id);
            else
                left << &r;
        }
        QList<std::pair<quint64, ImportedEntry>> rowsLeft;
        for (const QList<quint64>& ids : std::as_const(unpaired))
            for (quint64 id : ids)
                if (const auto c = content(id)) rowsLeft << std::pair(id, *c);
        if (!left.isEmpty() && left.size() * rowsLeft.size() <= 4'000'000)
            pairNearMatches(left, rowsLeft, unpaired);
        paired_ = true;
    }

    QList<SyncRecord> changed;
    QList<qint64> removed;
    QList<Write> writes;
    QList<quint64> toRemove;
    QList<std::pair<quint64, ImportedEntry>> toEdit;
    struct Addition {
        ImportedEntry entry;
        qint64 key = 0;
    };
    QList<Addition> toAdd;
    QList<SyncRecord> created;  // new records, their keys given at commit

    auto dropRecord = [&](qint64 key) {
        records_.remove(key);
        rowOf_.remove(key);
        removed << key;
    };
    // A new event for the entry of row `id` (0: a row added by this pass).
    auto createFor = [&](const ImportedEntry& entry, quint64 id) {
        SyncRecord r;
        r.role = SyncRecord::Role::Entry;
        r.content = entry;
        r.content.repeated = false;
        r.uid = newUid();
        r.href = server_.hrefFor(r.uid);
        r.ics = makeEventObject(r.content, r.uid, p.context);
        created << r;
        return std::pair(static_cast<qsizetype>(created.size() - 1), id);
    };
    QList<std::pair<qsizetype, quint64>> createdRows;  // created index -> row (0: added)
    QList<std::pair<qsizetype, ImportedEntry>> createdAdditions;
    // Shows an event's entry: on a row with the same content when there is
    // one, else on a new row.
    auto show = [&](const ImportedEntry& entry, qint64 key) {
        if (const quint64 id = takeUnpaired(entry)) {
            rowOf_.insert(key, id);
            return;
        }
        toAdd << Addition{entry, key};
    };

    const EventListing& listing = p.listing;
    enum class Remote { Same, Changed, Reviewed, Gone, Missing };
    for (auto it = records_.begin(); it != records_.end();) {
        SyncRecord& r = it.value();
        ++it;
        Remote remote = Remote::Same;
        const bool fetched = p.fetched.contains(r.href);
        if (r.etag.isEmpty()) {
            remote = fetched ? Remote::Changed : Remote::Missing;
        } else if (listing.complete ? !listing.changed.contains(r.href)
                                    : listing.removed.contains(r.href)) {
            remote = Remote::Gone;
        } else if (listing.changed.contains(r.href) && listing.changed.value(r.href) != r.etag) {
            remote = fetched ? Remote::Changed : Remote::Gone;
        } else if (p.readings.contains(r.href)) {
            remote = Remote::Reviewed;
        }
        std::optional<ServerEventReading> reading;
        if (remote == Remote::Changed || remote == Remote::Reviewed) {
            reading = p.readings.value(r.href);
            if (!reading) {
                ++p.report.unreadable;
                continue;
            }
        }
        SyncRecord next = r;
        if (remote == Remote::Changed) {
            const FetchedEvent& object = p.fetched[r.href];
            next.etag = object.etag;
            next.ics = object.ics;
        }
        if (reading) next.reviewOn = reading->reviewOn;
        const bool shown = reading && reading->status == ServerEventReading::Status::Shown;

        if (r.role != SyncRecord::Role::Entry) {
            if (remote == Remote::Gone || remote == Remote::Missing) {
                dropRecord(r.key);
                continue;
            }
            if (shown && !(r.role == SyncRecord::Role::Detached &&
                           keyOf(reading->entry) == keyOf(r.content))) {
                next.role = SyncRecord::Role::Entry;
                next.content = reading->entry;
                show(reading->entry, r.key);
                ++p.report.taken;
            }
            if (next != r) changed << next;
            r = next;
            continue;
        }

        quint64 id = rowOf_.value(r.key, 0);
        if (id == 0 || !located.contains(id)) {
            // A row made again with the same content (a list read again, an
            // import undone) is still the entry.
            id = takeUnpaired(r.content);
            if (id) rowOf_.insert(r.key, id);
        }
        const bool present = id != 0 && located.contains(id);
        const std::optional<ImportedEntry> local = present ? content(id) : std::nullopt;
        if (present && !local) continue;  // a date no one can read: left as it is
        const bool edited = local && keyOf(*local) != keyOf(r.content);
        if (!present) rowOf_.remove(r.key);

        if (remote == Remote::Missing) {
            // Sent once and never arrived: sent again, as the row is now.
            if (!present) {
                dropRecord(r.key);
                continue;
            }
            next.content = *local;
            next.ics = makeEventObject(*local, r.uid, p.context);
            writes << Write{Write::Kind::Create, r.key, *local, next.ics};
        } else if (remote == Remote::Gone) {
            dropRecord(r.key);
            if (edited) {
                createdRows << createFor(*local, id);  // the edit is kept on both sides
            } else if (present) {
                toRemove << id;
                ++p.report.taken;
            }
            continue;
        } else if (remote == Remote::Changed && local && keyOf(*local) == keyOf(reading->entry) &&
                   (shown || reading->entry.day != 0)) {
            next.content = *local;  // both sides agree already
            next.content.repeated = reading->entry.repeated;
        } else if (remote == Remote::Changed) {
            if (shown) {
                next.content = reading->entry;
                if (!present) {
                    show(reading->entry, r.key);  // an edit wins over a deletion
                } else {
                    if (edited) {  // changed on both sides: both are kept
                        p.report.conflicts << local->message;
                        createdAdditions << std::pair(createFor(*local, 0).first, *local);
                    }
                    toEdit << std::pair(id, reading->entry);
                }
                ++p.report.taken;
            } else {
                // Moved where the lists do not show it.
                next.role = SyncRecord::Role::Hidden;
                rowOf_.remove(r.key);
                if (edited) {
                    p.report.conflicts << local->message;
                    createdRows << createFor(*local, id);
                } else if (present) {
                    toRemove << id;
                    ++p.report.taken;
                }
            }
        } else if (remote == Remote::Reviewed && shown && !edited && present) {
            // A series moved on to its next occurrence.
            if (keyOf(reading->entry) != keyOf(r.content)) {
                next.content = reading->entry;
                toEdit << std::pair(id, reading->entry);
                ++p.report.taken;
            }
        } else if (edited || !present) {
            if (r.content.repeated) {
                // One occurrence of a series edited or deleted: the series
                // stays as it is, and the edit is an entry of its own.
                next.role = SyncRecord::Role::Detached;
                next.reviewOn = dayAfter(r.content, today);
                rowOf_.remove(r.key);
                if (edited) createdRows << createFor(*local, id);
            } else if (edited) {
                writes << Write{Write::Kind::Patch, r.key, *local, {}};
            } else {
                writes << Write{Write::Kind::Delete, r.key, {}, {}};
            }
        } else if (remote == Remote::Reviewed && !shown) {
            next.reviewOn = QDate();  // a series that has ended: its last entry stays
        }
        if (next != r) changed << next;
        r = next;
    }

    // Events new to the sync.
    for (const FetchedEvent& object : std::as_const(p.fetched)) {
        if (p.keyOfHref.contains(object.href)) continue;
        SyncRecord r;
        r.href = object.href;
        r.etag = object.etag;
        r.ics = object.ics;
        r.role = SyncRecord::Role::Hidden;
        const std::optional<ServerEventReading> reading = p.readings.value(object.href);
        if (!reading) {
            ++p.report.unreadable;
        } else {
            r.uid = reading->uid;
            r.reviewOn = reading->reviewOn;
            if (reading->status == ServerEventReading::Status::Shown) {
                r.role = SyncRecord::Role::Entry;
                r.content = reading->entry;
            } else if (reading->entry.day != 0 &&
                       unpaired.value(keyOf(reading->entry)).size() > 0) {
                // A past or later event the lists hold already.
                r.role = SyncRecord::Role::Entry;
                r.content = reading->entry;
            }
        }
        created << r;
        if (r.role == SyncRecord::Role::Entry) {
            const quint64 id = takeUnpaired(r.content);
            if (id) {
                createdRows << std::pair(created.size() - 1, id);
            } else {
                createdAdditions << std::pair(created.size() - 1, r.content);
                ++p.report.taken;
            }
        }
    }
    // Rows new to the sync.
    for (auto it = unpaired.cbegin(); it != unpaired.cend(); ++it)
        for (quint64 id : it.value())
            if (const auto c = content(id)) createdRows << createFor(*c, id);

    // The lists first: rows removed, edited, added; then saved.
    const bool listsChange =
        !toRemove.isEmpty() || !toEdit.isEmpty() || !toAdd.isEmpty() || !createdAdditions.isEmpty();
    std::array<QList<int>, 3> removals;
    for (quint64 id : std::as_const(toRemove))
        if (const auto at = located.constFind(id); at != located.cend())
            removals[static_cast<size_t>(tabOf(at->kind))] << at->row;
    // A deadline or anniversary that moves to another day takes its place in
    // the list: its row goes and comes back where the day puts it.
    for (const auto& [id, entry] : std::as_const(toEdit)) {
        const auto at = located.constFind(id);
        if (at == located.cend()) continue;
        ListModel& list = agenda_.list(at->kind);
        const AgendaEntry row = rowFor(entry);
        if (at->kind != ListKind::Appointments &&
            row.date != list.text(at->row, ListModel::ColDate)) {
            for (auto k = rowOf_.begin(); k != rowOf_.end(); ++k)
                if (k.value() == id) {
                    toAdd << Addition{entry, k.key()};
                    rowOf_.erase(k);
                    break;
                }
            removals[static_cast<size_t>(tabOf(at->kind))] << at->row;
            continue;
        }
        list.setText(at->row, ListModel::ColDate, row.date);
        list.setText(at->row, ListModel::ColMessage, row.message);
        if (at->kind == ListKind::Appointments) list.setText(at->row, ListModel::ColTime, row.time);
    }
    for (ListKind kind : kAllListKinds) {
        QList<int>& rows = removals[static_cast<size_t>(tabOf(kind))];
        std::sort(rows.begin(), rows.end(), std::greater<>());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        for (int row : std::as_const(rows)) agenda_.list(kind).removeAt(row);
    }
    // Additions: the nearest first where a list lacks room.
    struct Pending {
        ImportedEntry entry;
        qint64 key = 0;        // a record's key, or
        qsizetype index = -1;  // a new record's place in `created`
    };
    std::array<QList<Pending>, 3> pending;
    for (const Addition& a : std::as_const(toAdd))
        pending[static_cast<size_t>(tabOf(a.entry.kind))] << Pending{a.entry, a.key, -1};
    for (const auto& [index, entry] : std::as_const(createdAdditions))
        pending[static_cast<size_t>(tabOf(entry.kind))] << Pending{entry, 0, index};
    const int year = today.year();
    QList<std::pair<qint64, quint64>> addedRows;            // record key -> row
    QList<std::pair<qsizetype, quint64>> addedCreatedRows;  // created index -> row
    for (ListKind kind : kAllListKinds) {
        QList<Pending>& adding = pending[static_cast<size_t>(tabOf(kind))];
        if (adding.isEmpty()) continue;
        ListModel& list = agenda_.list(kind);
        const qsizetype room = std::max(0, ListModel::kMaxEntries - list.entryCount());
        if (adding.size() > room) {
            std::stable_sort(adding.begin(), adding.end(), [&](const Pending& a, const Pending& b) {
                return daysAhead(a.entry, today) < daysAhead(b.entry, today);
            });
            for (qsizetype i = room; i < adding.size(); ++i) {
                // Left out, and looked at again tomorrow.
                const Pending& left = adding[i];
                SyncRecord* r = left.index >= 0 ? &created[left.index] : &records_[left.key];
                r->role = SyncRecord::Role::Hidden;
                r->reviewOn = today.addDays(1);
                if (left.index < 0) changed << *r;
                ++p.report.leftOut;
            }
            adding.resize(room);
        }
        QSet<quint64> before;
        for (int row = 0; row < list.entryCount(); ++row) before.insert(list.identity(row));
        QList<std::pair<QDate, AgendaEntry>> entries;
        for (const Pending& a : std::as_const(adding))
            entries.append(
                {entryDate(formatDateText(a.entry.day, a.entry.month), year).value_or(QDate()),
                 rowFor(a.entry)});
        list.insertEntries(insertionPlaces(list, entries, agenda_.settings().sortAscending, year));
        // Which new row is which addition: by content, in order.
        QHash<QString, QList<qsizetype>> byKey;
        for (qsizetype i = 0; i < adding.size(); ++i) byKey[keyOf(adding[i].entry)] << i;
        for (int row = 0; row < list.entryCount(); ++row) {
            const quint64 id = list.identity(row);
            if (before.contains(id)) continue;
            const auto c = contentOf(list, row);
            if (!c) continue;
            auto slot = byKey.find(keyOf(*c));
            if (slot == byKey.end() || slot->isEmpty()) continue;
            const Pending& a = adding[slot->takeFirst()];
            if (a.index >= 0)
                addedCreatedRows << std::pair(a.index, id);
            else
                addedRows << std::pair(a.key, id);
        }
    }
    for (const auto& [key, id] : std::as_const(addedRows)) rowOf_.insert(key, id);

    applying_ = true;
    const bool saved = !listsChange || saveAll(agenda_);
    applying_ = false;
    if (!saved) {
        // The rows stay in the lists, unsaved; the store waits for a save.
        p.report.localError = QStringLiteral("le liste non si sono potute salvare");
        loadRecords();
        paired_ = false;
        rowOf_.clear();
        return finish();
    }

    // Then the store: what was taken, and each new event before it is sent.
    if (!store_.begin()) {
        p.report.localError = store_.lastError();
        return finish();
    }
    bool stored = true;
    for (SyncRecord& r : created) stored = stored && store_.put(r);
    for (SyncRecord r : std::as_const(changed)) stored = stored && store_.put(r);
    for (qint64 key : std::as_const(removed)) stored = stored && store_.remove(key);
    if (stored && !listing.token.isEmpty()) stored = store_.setToken(listing.token);
    if (!stored || !store_.commit()) {
        store_.rollback();
        p.report.localError = store_.lastError();
        loadRecords();
        paired_ = false;
        rowOf_.clear();
        return finish();
    }
    for (const SyncRecord& r : std::as_const(created)) records_.insert(r.key, r);
    for (const auto& [index, id] : std::as_const(createdRows))
        if (id) rowOf_.insert(created[index].key, id);
    for (const auto& [index, id] : std::as_const(addedCreatedRows))
        rowOf_.insert(created[index].key, id);
    for (const SyncRecord& r : std::as_const(created))
        if (r.role == SyncRecord::Role::Entry && r.etag.isEmpty())
            writes << Write{Write::Kind::Create, r.key, r.content, r.ics};

    p.writes = writes;
    sendWrites();
}

void SyncEngine::sendWrites() {
    Pass& p = *pass_;
    using Write = Pass::Write;
    // Edits are made on the server's own object, read apart from the program.
    QList<EventJob> jobs;
    QList<qsizetype> patchIndex;
    for (qsizetype i = 0; i < p.writes.size(); ++i) {
        const Write& w = p.writes[i];
        if (w.kind != Write::Kind::Patch) continue;
        jobs << EventJob{EventJob::Kind::Patch, records_.value(w.key).ics, w.content};
        patchIndex << i;
    }
    const int generation = generation_;
    auto send = [this, generation] {
        Pass& p = *pass_;
        if (p.writes.isEmpty()) return finish();
        p.waiting = static_cast<int>(p.writes.size());
        for (const Write& w : std::as_const(p.writes)) {
            const SyncRecord r = records_.value(w.key);
            auto done = [this, generation, w](const std::optional<ServerFailure>& failure,
                                              const QByteArray& etag) {
                if (generation != generation_) return;
                Pass& p = *pass_;
                auto at = records_.find(w.key);
                if (failure) {
                    if (failure->kind == ServerFailure::Kind::Changed)
                        again_ = true;
                    else if (!p.report.failure)
                        p.report.failure = failure;
                } else if (at != records_.end()) {
                    ++p.report.sent;
                    if (w.kind == Write::Kind::Delete) {
                        records_.erase(at);
                        rowOf_.remove(w.key);
                        commit({}, {w.key});
                    } else {
                        at->etag = etag;
                        at->content = w.content;
                        at->ics = w.ics;
                        if (!commit({*at}, {})) p.report.localError = store_.lastError();
                    }
                }
                if (--p.waiting == 0) finish();
            };
            if (w.kind == Write::Kind::Delete) {
                server_.remove(r.href, r.etag,
                               [done](const auto& failure, bool) { done(failure, {}); });
            } else if (w.ics.isEmpty()) {
                // An object the reader could not change: left for the next pass.
                ++p.report.unreadable;
                QTimer::singleShot(0, this, [done] { done(std::nullopt, {}); });
            } else {
                server_.put(r.href, w.ics, w.kind == Write::Kind::Patch ? r.etag : QByteArray(),
                            done);
            }
        }
    };
    if (jobs.isEmpty()) return send();
    codec_.run(jobs, p.context, [this, generation, patchIndex, send](const auto& results) {
        if (generation != generation_) return;
        for (qsizetype i = 0; i < patchIndex.size(); ++i) {
            const auto& result = i < results.size() ? results[i] : std::nullopt;
            pass_->writes[patchIndex[i]].ics =
                result && result->patched ? *result->patched : QByteArray();
        }
        send();
    });
}

void SyncEngine::finish(const std::optional<ServerFailure>& failure) {
    if (!pass_) return;
    SyncReport report = pass_->report;
    if (failure) report.failure = failure;
    report.finishedAt = agenda_.clock().now();
    ++generation_;
    pass_.reset();
    // A write that found its event changed meanwhile: one more pass takes
    // the change in at once.
    if (again_ && report.succeeded() && !carried_) {
        carried_ = report;
        QTimer::singleShot(0, this, [this] {
            if (!pass_) begin();
        });
        return;
    }
    carried_.reset();
    Q_EMIT finished(report);
}

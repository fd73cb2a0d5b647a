#pragma once

#include <QByteArray>
#include <QMap>
#include <QTimer>

#include <functional>

#include "operations/sync/caldavclient.h"

// A calendar in memory behind the sync's server seam: ETags, conditional
// writes, a change log for sync tokens, answers that come later, and a
// count of the requests. Another client (a phone) changes it directly.
class FakeCalendarServer : public CalendarServer {
  public:
    struct Object {
        QByteArray etag;
        QByteArray ics;
    };

    // Writes made by another client: each gets a new ETag and a log entry.
    void phonePut(const QString& href, const QByteArray& ics) { store(href, ics); }
    void phoneRemove(const QString& href) {
        objects.remove(href);
        log.append({href, true});
    }
    QByteArray ics(const QString& href) const { return objects.value(href).ics; }

    QMap<QString, Object> objects;
    int requests = 0;
    int puts = 0;
    int deletes = 0;
    bool syncCollection = true;
    // While set, every request fails with it.
    std::optional<ServerFailure> down;
    // Writes after this many more are taken by the calendar but never
    // answered (the program died in between); -1: all answered.
    int answerWrites = -1;

    void listChanges(const QByteArray& token, Reply<EventListing> reply) override {
        answer(
            [this, token, reply] {
                EventListing listing;
                bool ok = false;
                const qsizetype since = token.startsWith('t') ? token.mid(1).toLongLong(&ok) : -1;
                if (!syncCollection || !ok || since > log.size()) {
                    listing.complete = true;
                    for (auto it = objects.cbegin(); it != objects.cend(); ++it)
                        listing.changed.insert(it.key(), it->etag);
                } else {
                    for (qsizetype i = since; i < log.size(); ++i) {
                        const auto& [href, removed] = log[i];
                        listing.changed.remove(href);
                        listing.removed.removeAll(href);
                        if (objects.contains(href))
                            listing.changed.insert(href, objects[href].etag);
                        else
                            listing.removed << href;
                    }
                }
                if (syncCollection) listing.token = "t" + QByteArray::number(log.size());
                reply(std::nullopt, listing);
            },
            reply);
    }

    void fetch(const QStringList& hrefs, Reply<QList<FetchedEvent>> reply) override {
        answer(
            [this, hrefs, reply] {
                QList<FetchedEvent> events;
                for (const QString& href : hrefs)
                    if (objects.contains(href))
                        events << FetchedEvent{href, objects[href].etag, objects[href].ics};
                reply(std::nullopt, events);
            },
            reply);
    }

    void put(const QString& href, const QByteArray& ics, const QByteArray& ifMatch,
             Reply<QByteArray> reply) override {
        ++puts;
        const bool exists = objects.contains(href);
        if (ifMatch.isEmpty() ? exists : (!exists || objects[href].etag != ifMatch))
            return answer([reply] { reply(changed(), {}); }, reply);
        store(href, ics);
        if (answerWrites == 0) return;
        if (answerWrites > 0) --answerWrites;
        answer([this, href, reply] { reply(std::nullopt, objects.value(href).etag); }, reply);
    }

    void remove(const QString& href, const QByteArray& ifMatch, Reply<bool> reply) override {
        ++deletes;
        if (objects.contains(href) && !ifMatch.isEmpty() && objects[href].etag != ifMatch)
            return answer([reply] { reply(changed(), false); }, reply);
        if (objects.contains(href)) phoneRemove(href);
        if (answerWrites == 0) return;
        if (answerWrites > 0) --answerWrites;
        answer([reply] { reply(std::nullopt, true); }, reply);
    }

    QString hrefFor(const QByteArray& uid) const override {
        return QStringLiteral("/cal/") + QString::fromUtf8(uid) + QStringLiteral(".ics");
    }

    void cancelAll() override { ++generation_; }

  private:
    static ServerFailure changed() {
        ServerFailure f;
        f.kind = ServerFailure::Kind::Changed;
        f.httpStatus = 412;
        return f;
    }
    void store(const QString& href, const QByteArray& ics) {
        objects[href] = Object{"\"" + QByteArray::number(++etags_) + "\"", ics};
        log.append({href, false});
    }
    // Answers later, as a network does; a dropped call never answers.
    template <class Reply>
    void answer(std::function<void()> work, const Reply& reply) {
        ++requests;
        const int generation = generation_;
        const std::optional<ServerFailure> failure = down;
        QTimer::singleShot(0, [this, generation, failure, work, reply] {
            if (generation != generation_) return;
            if (failure)
                reply(failure, {});
            else
                work();
        });
    }

    QList<std::pair<QString, bool>> log;
    int etags_ = 0;
    int generation_ = 0;
};

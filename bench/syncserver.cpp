// The first sync of 1,000 entries with a local Radicale, and a sync with
// nothing changed after it. The floor is the same 1,000 events written by a
// plain HTTP client one request after the other, on a calendar of their own
// of the same server, in the same run.

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <cstdio>

#include "benchsupport.h"
#include "core/agenda.h"
#include "core/dates.h"
#include "operations/sync/caldavclient.h"
#include "operations/sync/eventcodec.h"
#include "operations/sync/syncengine.h"
#include "operations/sync/syncstore.h"
#include "support/radicale.h"

namespace bench {
namespace {

const QString kUser = QStringLiteral("bench");
const QString kPassword = QStringLiteral("bench");

// Runs the event loop until `finished` says so, for at most two minutes.
template <class Done>
bool runUntil(Done finished) {
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer limit;
    limit.start();
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (finished() || limit.elapsed() > 120000) loop.quit();
    });
    poll.start(1);
    loop.exec();
    return finished();
}

double serialPutsMillis(const QUrl& calendar, const QList<QByteArray>& objects) {
    QNetworkAccessManager network;
    QElapsedTimer timer;
    timer.start();
    for (qsizetype i = 0; i < objects.size(); ++i) {
        QUrl url = calendar;
        url.setPath(calendar.path() + QStringLiteral("floor-%1.ics").arg(i));
        QNetworkRequest request(url);
        request.setRawHeader("Authorization",
                             "Basic " + (kUser + u':' + kPassword).toUtf8().toBase64());
        request.setRawHeader("Content-Type", "text/calendar; charset=utf-8");
        request.setRawHeader("If-None-Match", "*");
        QNetworkReply* reply = network.put(request, objects[i]);
        bool done = false;
        QObject::connect(reply, &QNetworkReply::finished, reply, [&done] { done = true; });
        if (!runUntil([&] { return done; })) return -1;
        delete reply;
    }
    return elapsedMillis(timer);
}

}  // namespace

bool syncServerFigure() {
    if (!RadicaleServer::available()) {
        std::fprintf(stderr, "sync_first_1000: radicale is not installed\n");
        return false;
    }
    RadicaleServer server({{kUser, kPassword}});
    if (!server.isRunning()) {
        std::fprintf(stderr, "sync_first_1000: radicale did not start\n");
        return false;
    }
    const QUrl calendar = server.makeCalendar(kUser, kPassword, QStringLiteral("agenda"));
    const QUrl floorCalendar = server.makeCalendar(kUser, kPassword, QStringLiteral("floor"));
    QTemporaryDir folder;
    FixedClock clock;
    SilentDialogs dialogs;
    Agenda agenda(clock, dialogs, folder.path());
    const QList<AgendaEntry> entries = randomAppointments(1000, 5);
    for (const AgendaEntry& e : entries) agenda.appointments().append(e);

    EventContext context{clock.today(), clock.now().toUTC(), QStringLiteral("Europe/Rome")};
    QList<QByteArray> objects;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        ImportedEntry e;
        const auto dm = dateTextOfAnyYear(entries[i].date);
        e.day = dm ? dm->day : 1;
        e.month = dm ? dm->month : 1;
        e.message = entries[i].message;
        e.time = entries[i].time;
        objects << makeEventObject(e, "floor-" + QByteArray::number(i), context);
    }
    const double floor = serialPutsMillis(floorCalendar, objects);
    if (floor < 0) {
        std::fprintf(stderr, "floor_serial_put_1000: the server did not answer\n");
        return false;
    }

    SyncStore store;
    if (store.open(folder.filePath(QStringLiteral("Sincronizzazione.sqlite")))) return false;
    ServerAccount account;
    account.calendar = calendar;
    account.user = kUser;
    account.password = kPassword;
    QNetworkAccessManager network;
    CalDavClient client(&network, account);
    DirectEventCodec codec;
    SyncEngine engine(agenda, store, client, codec);
    std::optional<SyncReport> report;
    QObject::connect(&engine, &SyncEngine::finished, &engine,
                     [&report](const SyncReport& r) { report = r; });
    QElapsedTimer timer;
    timer.start();
    engine.start();
    if (!runUntil([&] { return report.has_value(); }) || !report->succeeded()) {
        std::fprintf(stderr, "sync_first_1000: %s\n",
                     report ? qPrintable(report->statusLine()) : "no end");
        return false;
    }
    const double first = elapsedMillis(timer);
    const int firstRequests = client.requestsSent();

    report.reset();
    timer.restart();
    engine.start();
    if (!runUntil([&] { return report.has_value(); }) || !report->succeeded()) return false;
    const double nothing = elapsedMillis(timer);

    print("floor_serial_put_1000", floor, "ms");
    print("sync_first_1000", first, "ms");
    print("sync_first_1000_ratio", first / std::max(floor, 1e-3), "");
    print("sync_first_1000_requests", firstRequests, "");
    print("sync_unchanged_1000", nothing, "ms");
    // At most two requests: under three.
    printAgainstBound("sync_unchanged_1000_requests", client.requestsSent() - firstRequests, "", 3,
                      false);
    return true;
}

}  // namespace bench

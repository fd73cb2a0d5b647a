#include <QtTest>

#include <memory>

#include "operations/sync/eventcodec.h"
#include "operations/sync/syncengine.h"
#include "operations/sync/syncstore.h"
#include "support/agendarig.h"
#include "support/fakecalendarserver.h"

namespace {

QByteArray phoneEvent(const QByteArray& uid, const QByteArray& start, const QByteArray& summary,
                      const QByteArray& extra = {}) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Telefono//IT\r\nBEGIN:VEVENT\r\nUID:" +
           uid + "\r\nDTSTAMP:20260301T080000Z\r\nDTSTART:" + start + "\r\nSUMMARY:" + summary +
           "\r\n" + extra + "END:VEVENT\r\nEND:VCALENDAR\r\n";
}

AgendaEntry row(const char* date, const char* message, const char* time = "") {
    return AgendaEntry{
        QString::fromUtf8(date), QString::fromUtf8(message), QString::fromUtf8(time), {}};
}

// The rows of a list as "date|message|time".
QStringList rows(const ListModel& list) {
    QStringList out;
    for (const AgendaEntry& e : list.entries()) out << e.date + u'|' + e.message + u'|' + e.time;
    return out;
}

// An agenda on a folder, a calendar in memory and an engine between them;
// the program can be "restarted" on the same folder and calendar.
struct SyncRig {
    std::unique_ptr<AgendaRig> rig = std::make_unique<AgendaRig>();
    FakeCalendarServer server;
    DirectEventCodec codec;
    std::unique_ptr<SyncStore> store;
    std::unique_ptr<SyncEngine> engine;

    SyncRig() { open(); }
    Agenda& agenda() { return rig->agenda; }
    ListModel& list(ListKind kind) { return rig->agenda.list(kind); }

    void open() {
        rig->agenda.settings().sortAscending = true;
        store = std::make_unique<SyncStore>();
        QVERIFY(!store->open(rig->folder.path() + QStringLiteral("/Sincronizzazione.sqlite")));
        engine = std::make_unique<SyncEngine>(rig->agenda, *store, server, codec);
    }
    // The program ends at once (kill -9) and starts again: the lists come
    // back from their files, the rest from the store.
    void restart() {
        engine.reset();
        store.reset();
        auto next = std::make_unique<AgendaRig>();
        for (const QString& name : QDir(rig->folder.path()).entryList(QDir::Files))
            QVERIFY(
                QFile::copy(rig->folder.path() + u'/' + name, next->folder.path() + u'/' + name));
        rig = std::move(next);
        rig->agenda.loadLists();
        open();
    }
    SyncReport sync() {
        std::optional<SyncReport> report;
        QObject::connect(engine.get(), &SyncEngine::finished, engine.get(),
                         [&report](const SyncReport& r) { report = r; });
        engine->start();
        if (!QTest::qWaitFor([&] { return report.has_value(); }, 10000)) {
            SyncReport none;
            none.localError = QStringLiteral("no end");
            return none;
        }
        return *report;
    }
    void save() {
        for (ListKind kind : kAllListKinds) QVERIFY(agenda().saveList(kind));
    }
    QString hrefOf(const QByteArray& summary) const {
        for (auto it = server.objects.cbegin(); it != server.objects.cend(); ++it)
            if (it->ics.contains(QByteArray("SUMMARY:" + summary + "\r\n"))) return it.key();
        return {};
    }
};

}  // namespace

class SyncEngineTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // A first sync pairs what both sides hold, sends and takes the rest once;
    // then nothing moves, one request a sync, also after a restart.
    void firstSyncPairsThenNothingMoves() {
        SyncRig s;
        s.list(ListKind::Appointments).append(row("10/3", "Riunione", "9:00"));
        s.list(ListKind::Deadlines).append(row("15/4", "Bollo auto"));
        s.list(ListKind::Anniversaries).append(row("2/6", "Festa"));
        s.save();
        s.server.phonePut(QStringLiteral("/cal/p1.ics"),
                          phoneEvent("p1", "20260310T090000", "Riunione"));
        s.server.phonePut(
            QStringLiteral("/cal/p2.ics"),
            phoneEvent("p2", "20260320T093000", "Dentista", "LOCATION:Via Roma 1\r\n"));

        const SyncReport first = s.sync();
        QVERIFY2(first.succeeded(), qPrintable(first.statusLine()));
        QCOMPARE(rows(s.list(ListKind::Appointments)),
                 QStringList({"10/3|Riunione|9:00", "20/3|Dentista|9:30"}));
        QCOMPARE(s.server.objects.size(), 4);
        QCOMPARE(s.server.puts, 2);
        QVERIFY(s.server.ics(s.hrefOf("Bollo auto")).contains("CATEGORIES:Scadenze"));
        QVERIFY(s.server.ics(s.hrefOf("Festa")).contains("RRULE:FREQ=YEARLY"));
        QVERIFY(!s.agenda().listsModified());

        for (int pass = 0; pass < 2; ++pass) {
            const int before = s.server.requests;
            const SyncReport again = s.sync();
            QVERIFY(again.succeeded());
            QCOMPARE(again.sent + again.taken, 0);
            QCOMPARE(s.server.requests - before, 1);
        }
        s.restart();
        const SyncReport afterRestart = s.sync();
        QCOMPARE(afterRestart.sent + afterRestart.taken, 0);
        QCOMPARE(s.server.objects.size(), 4);
        QCOMPARE(s.list(ListKind::Appointments).entryCount(), 2);
    }

    // Edits, moves and deletions travel both ways; an edit in the lists is
    // one conditional write of the same event, which keeps what the lists
    // do not show.
    void changesTravelBothWaysAndKeepTheEvent() {
        SyncRig s;
        s.list(ListKind::Deadlines).append(row("15/4", "Bollo auto"));
        s.list(ListKind::Anniversaries).append(row("2/6", "Festa"));
        s.server.phonePut(QStringLiteral("/cal/p1.ics"),
                          phoneEvent("p1", "20260310T090000", "Riunione"));
        s.server.phonePut(
            QStringLiteral("/cal/p2.ics"),
            phoneEvent("p2", "20260320T093000", "Dentista",
                       "LOCATION:Via Roma 1\r\nATTENDEE:mailto:anna@example.com\r\n"));
        QVERIFY(s.sync().succeeded());

        ListModel& appointments = s.list(ListKind::Appointments);
        appointments.setText(1, ListModel::ColTime, QStringLiteral("10:00"));
        appointments.setText(1, ListModel::ColDate, QStringLiteral("21/3"));
        const int puts = s.server.puts;
        QVERIFY(s.sync().succeeded());
        QCOMPARE(s.server.puts - puts, 1);
        const QByteArray moved = s.server.ics(QStringLiteral("/cal/p2.ics"));
        QVERIFY2(moved.contains("LOCATION:Via Roma 1") && moved.contains("ATTENDEE"), moved);
        QCOMPARE(s.server.objects.size(), 4);

        s.server.phonePut(QStringLiteral("/cal/p1.ics"),
                          phoneEvent("p1", "20260311T110000", "Riunione spostata"));
        s.server.phoneRemove(s.hrefOf("Festa"));
        s.list(ListKind::Deadlines).removeAt(0);
        const SyncReport report = s.sync();
        QVERIFY(report.succeeded());
        QCOMPARE(rows(appointments),
                 QStringList({"11/3|Riunione spostata|11:00", "21/3|Dentista|10:00"}));
        QCOMPARE(s.list(ListKind::Anniversaries).entryCount(), 0);
        QCOMPARE(s.server.objects.size(), 2);
        QCOMPARE(s.server.deletes, 1);
        QVERIFY(!s.agenda().listsModified());
    }

    // The same entry changed on both sides is kept in both versions; a
    // deletion against an edit keeps the edit on both sides.
    void conflictsLoseNothing() {
        SyncRig s;
        s.server.phonePut(QStringLiteral("/cal/p1.ics"),
                          phoneEvent("p1", "20260310T090000", "Riunione"));
        s.server.phonePut(QStringLiteral("/cal/p2.ics"),
                          phoneEvent("p2", "20260320T093000", "Dentista"));
        QVERIFY(s.sync().succeeded());

        ListModel& appointments = s.list(ListKind::Appointments);
        appointments.setText(1, ListModel::ColMessage, QStringLiteral("Dentista, portare lastre"));
        s.server.phonePut(QStringLiteral("/cal/p2.ics"),
                          phoneEvent("p2", "20260320T120000", "Dentista"));
        appointments.removeAt(0);
        s.server.phonePut(QStringLiteral("/cal/p1.ics"),
                          phoneEvent("p1", "20260310T100000", "Riunione"));
        const SyncReport report = s.sync();
        QVERIFY(report.succeeded());
        QCOMPARE(report.conflicts, QStringList({"Dentista, portare lastre"}));
        QCOMPARE(rows(appointments),
                 QStringList({"10/3|Riunione|10:00", "20/3|Dentista, portare lastre|9:30",
                              "20/3|Dentista|12:00"}));
        QCOMPARE(s.server.objects.size(), 3);
        const SyncReport again = s.sync();
        QCOMPARE(again.sent + again.taken, 0);
    }

    // Past events, tasks and a weekly series' other days are never written;
    // an archived entry stays on the server; an edited occurrence becomes an
    // event of its own.
    void whatTheListsCannotShowIsNeverTouched() {
        SyncRig s;
        const QByteArray past = phoneEvent("old", "20260105T080000", "Passato");
        const QByteArray todo =
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//T//IT\r\nBEGIN:VTODO\r\nUID:t\r\n"
            "DTSTAMP:20260301T080000Z\r\nSUMMARY:Compito\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";
        const QByteArray weekly =
            phoneEvent("gym", "20260105T080000", "Palestra", "RRULE:FREQ=WEEKLY\r\n");
        s.server.phonePut(QStringLiteral("/cal/old.ics"), past);
        s.server.phonePut(QStringLiteral("/cal/t.ics"), todo);
        s.server.phonePut(QStringLiteral("/cal/gym.ics"), weekly);
        s.list(ListKind::Appointments).append(row("8/3", "Archiviami", "8:00"));
        QVERIFY(s.sync().succeeded());
        QCOMPARE(rows(s.list(ListKind::Appointments)),
                 QStringList({"8/3|Archiviami|8:00", "9/3|Palestra|8:00"}));

        // Archived after a start, before any pass has paired the rows.
        s.restart();
        ListModel& appointments = s.list(ListKind::Appointments);
        s.agenda().announceArchived(ListKind::Appointments, 0);
        appointments.removeAt(0);
        appointments.setText(0, ListModel::ColTime, QStringLiteral("9:00"));
        QVERIFY(s.sync().succeeded());
        QCOMPARE(s.server.deletes, 0);
        QCOMPARE(s.server.ics(QStringLiteral("/cal/old.ics")), past);
        QCOMPARE(s.server.ics(QStringLiteral("/cal/t.ics")), todo);
        QCOMPARE(s.server.ics(QStringLiteral("/cal/gym.ics")), weekly);
        QVERIFY(!s.hrefOf("Archiviami").isEmpty());
        QCOMPARE(s.server.objects.size(), 5);  // the edited occurrence is an event of its own
        QCOMPARE(rows(appointments).join(u';'), QStringLiteral("9/3|Palestra|9:00"));
    }

    // A program killed while its writes were on the way, started again,
    // agrees with the server after one sync: nothing lost, nothing doubled.
    void aPassCutShortIsFinishedByTheNext() {
        SyncRig s;
        s.list(ListKind::Appointments).append(row("10/3", "Uno", "9:00"));
        s.list(ListKind::Appointments).append(row("11/3", "Due", "9:00"));
        s.list(ListKind::Deadlines).append(row("12/3", "Tre"));
        s.save();
        s.server.phonePut(QStringLiteral("/cal/p.ics"),
                          phoneEvent("p", "20260313T090000", "Quattro"));
        s.server.answerWrites = 1;
        std::optional<SyncReport> report;
        QObject::connect(s.engine.get(), &SyncEngine::finished, s.engine.get(),
                         [&report](const SyncReport& r) { report = r; });
        s.engine->start();
        QTRY_COMPARE(s.server.puts, 3);
        QVERIFY(!report);

        s.restart();
        s.server.answerWrites = -1;
        QVERIFY(s.sync().succeeded());
        QCOMPARE(s.server.objects.size(), 4);
        QCOMPARE(rows(s.list(ListKind::Appointments)),
                 QStringList({"10/3|Uno|9:00", "11/3|Due|9:00", "13/3|Quattro|9:00"}));
        QCOMPARE(s.list(ListKind::Deadlines).entryCount(), 1);
        const SyncReport again = s.sync();
        QCOMPARE(again.sent + again.taken, 0);
    }
};

QTEST_GUILESS_MAIN(SyncEngineTest)
#include "syncengine_test.moc"

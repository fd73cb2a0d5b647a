// Calendar objects of a server as entries and back: new objects read back
// as their entry, what each kind of object reads as, a phone's event
// patched without losing what it holds, the isolated codec against a
// hostile object, and the task's encoding refusing damaged bytes.
#include <QSignalSpy>
#include <QtTest/QTest>

#include "operations/sync/eventcodec.h"

namespace {

const EventContext kContext{QDate(2026, 3, 7), QDateTime(QDate(2026, 3, 7), QTime(9, 0), Qt::UTC),
                            QStringLiteral("Europe/Rome")};

ImportedEntry entryOf(ListKind kind, int day, int month, const QString& message,
                      const QString& time = {}, bool repeated = false) {
    return {kind, day, month, message, time, repeated};
}

QByteArray object(const QByteArray& body) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Telefono//IT\r\n" + body +
           "END:VCALENDAR\r\n";
}

QByteArray vevent(const QByteArray& lines) {
    return "BEGIN:VEVENT\r\nUID:evento@telefono\r\nDTSTAMP:20260101T000000Z\r\n" + lines +
           "END:VEVENT\r\n";
}

QByteArray unfolded(QByteArray ics) {
    return ics.replace("\r\n ", "");
}

using Results = QList<std::optional<EventJobResult>>;

Results runCodec(EventCodec& codec, const QList<EventJob>& jobs) {
    Results results;
    int calls = 0;
    codec.run(jobs, kContext, [&](const Results& r) {
        results = r;
        ++calls;
    });
    if (calls != 0) return {};  // done() must come later, never from run()
    const bool ended = QTest::qWaitFor([&] { return calls > 0; }, 110000);
    return ended && calls == 1 ? results : Results{};
}

}  // namespace

Q_DECLARE_METATYPE(ImportedEntry)
Q_DECLARE_METATYPE(ServerEventReading::Status)

class EventCodecTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void newObjectReadsBackAsItsEntry_data() {
        QTest::addColumn<ImportedEntry>("entry");
        QTest::newRow("timed appointment")
            << entryOf(ListKind::Appointments, 10, 3, "Dentista", "9:05");
        QTest::newRow("all-day appointment") << entryOf(ListKind::Appointments, 1, 4, "Gita");
        QTest::newRow("time that is a note")
            << entryOf(ListKind::Appointments, 2, 4, "Visita", "pomeriggio");
        QTest::newRow("past (ny) goes to next year")
            << entryOf(ListKind::Appointments, 1, 3, "Cena (ny)", "20:30");
        QTest::newRow("deadline") << entryOf(ListKind::Deadlines, 15, 6, "Bollo auto");
        QTest::newRow("anniversary past this year")
            << entryOf(ListKind::Anniversaries, 10, 1, "Compleanno di Anna");
        QTest::newRow("anniversary on 29 February")
            << entryOf(ListKind::Anniversaries, 29, 2, "Nato bisestile");
    }
    void newObjectReadsBackAsItsEntry() {
        QFETCH(ImportedEntry, entry);
        const QByteArray ics = makeEventObject(entry, "uid-1@ricordel", kContext);
        const QByteArray text = unfolded(ics);
        QVERIFY(text.contains("\r\nUID:uid-1@ricordel\r\n"));
        QVERIFY(text.contains("\r\nBEGIN:VTIMEZONE\r\nTZID:Europe/Rome\r\n"));
        QVERIFY(text.contains("\r\nLAST-MODIFIED:20260307T090000Z\r\n"));
        for (const QByteArray& line : ics.split('\n')) QVERIFY(line.size() <= 76);
        if (entry.day == 29)
            QVERIFY(text.contains("\r\nRRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=29\r\n"));
        if (!entry.time.isEmpty() && entry.time[0].isDigit())
            QVERIFY(text.contains("BEGIN:VALARM\r\nACTION:DISPLAY\r\n"));

        const ServerEventReading reading = readServerEvent(ics, kContext);
        QCOMPARE(reading.status, ServerEventReading::Status::Shown);
        QCOMPARE(reading.uid, QByteArray("uid-1@ricordel"));
        QCOMPARE(reading.entry, entry);
        QVERIFY(reading.reviewOn.isNull());
    }

    void serverObjectsRead_data() {
        QTest::addColumn<QByteArray>("ics");
        QTest::addColumn<ServerEventReading::Status>("status");
        QTest::addColumn<ImportedEntry>("entry");
        QTest::addColumn<QDate>("reviewOn");
        using S = ServerEventReading::Status;
        const ImportedEntry none;
        const QByteArray weekly =
            "DTSTART;TZID=Europe/Rome:20260105T180000\r\nRRULE:FREQ=WEEKLY\r\nSUMMARY:Calcetto\r\n";
        QTest::newRow("past") << object(vevent("DTSTART;VALUE=DATE:20260201\r\nSUMMARY:Gita\r\n"))
                              << S::Past << entryOf(ListKind::Appointments, 1, 2, "Gita")
                              << QDate();
        QTest::newRow("later, shown from the day it is within a year")
            << object(vevent("DTSTART:20270601T070000Z\r\nSUMMARY:Volo\r\n")) << S::Later
            << entryOf(ListKind::Appointments, 1, 6, "Volo", "9:00") << QDate(2026, 6, 2);
        QTest::newRow("later anniversary")
            << object(
                   vevent("DTSTART;VALUE=DATE:20270501\r\nRRULE:FREQ=YEARLY\r\nSUMMARY:Nozze\r\n"))
            << S::Later << entryOf(ListKind::Anniversaries, 1, 5, "Nozze") << QDate(2026, 5, 2);
        QTest::newRow("weekly series: its next occurrence, again the day after")
            << object(vevent(weekly)) << S::Shown
            << entryOf(ListKind::Appointments, 9, 3, "Calcetto", "18:00", true)
            << QDate(2026, 3, 10);
        QTest::newRow("an override moves the next occurrence")
            << object(vevent(weekly) +
                      vevent("RECURRENCE-ID;TZID=Europe/Rome:20260309T180000\r\n"
                             "DTSTART;TZID=Europe/Rome:20260310T193000\r\nSUMMARY:Calcetto "
                             "spostato\r\n"))
            << S::Shown
            << entryOf(ListKind::Appointments, 10, 3, "Calcetto spostato", "19:30", true)
            << QDate(2026, 3, 11);
        QTest::newRow("a cancelled override skips it")
            << object(vevent(weekly) +
                      vevent("RECURRENCE-ID;TZID=Europe/Rome:20260309T180000\r\n"
                             "DTSTART;TZID=Europe/Rome:20260309T180000\r\nSTATUS:CANCELLED\r\n"))
            << S::Shown << entryOf(ListKind::Appointments, 16, 3, "Calcetto", "18:00", true)
            << QDate(2026, 3, 17);
        QTest::newRow("ended series: its last occurrence")
            << object(vevent("DTSTART;VALUE=DATE:20260105\r\nRRULE:FREQ=WEEKLY;UNTIL=20260201\r\n"
                             "EXDATE;VALUE=DATE:20260126\r\nSUMMARY:Corso\r\n"))
            << S::Past << entryOf(ListKind::Appointments, 19, 1, "Corso", {}, true) << QDate();
        QTest::newRow("to-do") << object(
                                      "BEGIN:VTODO\r\nUID:t@x\r\nDTSTART:20260310T090000Z\r\n"
                                      "SUMMARY:Spesa\r\nEND:VTODO\r\n")
                               << S::NotShown << none << QDate();
        QTest::newRow("cancelled") << object(vevent("DTSTART;VALUE=DATE:20260401\r\nSUMMARY:No\r\n"
                                                    "STATUS:CANCELLED\r\n"))
                                   << S::NotShown << none << QDate();
        QTest::newRow("not a calendar")
            << QByteArray("BEGIN:VEVENT\r\nEND:VEVENT\r\n") << S::NotShown << none << QDate();
    }
    void serverObjectsRead() {
        QFETCH(QByteArray, ics);
        QFETCH(ServerEventReading::Status, status);
        QFETCH(ImportedEntry, entry);
        QFETCH(QDate, reviewOn);
        const ServerEventReading reading = readServerEvent(ics, kContext);
        QCOMPARE(reading.status, status);
        QCOMPARE(reading.entry, entry);
        QCOMPARE(reading.reviewOn, reviewOn);
        if (status != ServerEventReading::Status::NotShown)
            QCOMPARE(reading.uid, QByteArray("evento@telefono"));
    }

    void patchKeepsWhatThePhoneWrote() {
        const QByteArray phone = object(
            "BEGIN:VTIMEZONE\r\nTZID:Europe/Rome\r\nBEGIN:STANDARD\r\nDTSTART:19701025T030000\r\n"
            "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\n"
            "END:STANDARD\r\nBEGIN:DAYLIGHT\r\nDTSTART:19700329T020000\r\nTZOFFSETFROM:+0100\r\n"
            "TZOFFSETTO:+0200\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\n"
            "END:VTIMEZONE\r\n" +
            vevent("DTSTART;TZID=Europe/Rome:20260312T100000\r\n"
                   "DTEND;TZID=Europe/Rome:20260312T110000\r\nSUMMARY:Riunione\r\n"
                   "LOCATION:Sala verde\\, piano 2\r\nDESCRIPTION:Portare i conti\r\n"
                   "ORGANIZER;CN=Capo:mailto:capo@example.com\r\n"
                   "ATTENDEE;CN=Anna;PARTSTAT=ACCEPTED:mailto:anna@example.com\r\n"
                   "CATEGORIES:Lavoro\r\nSEQUENCE:2\r\nX-PHONE-COLOR:#ff0000\r\n"
                   "BEGIN:VALARM\r\nACTION:AUDIO\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\n"));
        const ImportedEntry moved =
            entryOf(ListKind::Appointments, 20, 3, "Riunione spostata", "15:30");
        const std::optional<QByteArray> patched = patchEventObject(phone, moved, kContext);
        QVERIFY(patched);
        for (const QByteArray& line : patched->split('\n')) QVERIFY(line.size() <= 76);
        const QByteArray text = unfolded(*patched);
        for (const char* kept :
             {"LOCATION:Sala verde\\, piano 2", "DESCRIPTION:Portare i conti",
              "ORGANIZER;CN=Capo:mailto:capo@example.com",
              "ATTENDEE;CN=Anna;PARTSTAT=ACCEPTED:mailto:anna@example.com", "X-PHONE-COLOR:#ff0000",
              "TRIGGER:-PT15M", "CATEGORIES:Lavoro",
              // its own zone and its length of an hour
              "DTSTART;TZID=Europe/Rome:20260320T153000", "DTEND;TZID=Europe/Rome:20260320T163000",
              "SUMMARY:Riunione spostata", "CATEGORIES:Appuntamenti", "SEQUENCE:3",
              "DTSTAMP:20260307T090000Z", "LAST-MODIFIED:20260307T090000Z"})
            QVERIFY2(text.contains(QByteArray("\r\n" + QByteArray(kept) + "\r\n")), kept);
        QCOMPARE(text.count("BEGIN:VALARM"), 2);  // the alarm at the start added
        QCOMPARE(text.count("BEGIN:VTIMEZONE"), 1);
        QCOMPARE(readServerEvent(*patched, kContext).entry, moved);

        // The same entry again changes only the sequence and the stamps.
        const std::optional<QByteArray> again = patchEventObject(*patched, moved, kContext);
        QVERIFY(again);
        QCOMPARE(QByteArray(*again).replace("SEQUENCE:4", "SEQUENCE:3"), *patched);

        // To an anniversary: all day, the yearly rule, its list alone.
        const ImportedEntry yearly = entryOf(ListKind::Anniversaries, 29, 2, "Festa");
        const std::optional<QByteArray> anniversary = patchEventObject(phone, yearly, kContext);
        QVERIFY(anniversary);
        const QByteArray a = unfolded(*anniversary);
        QVERIFY(a.contains("\r\nDTSTART;VALUE=DATE:20240229\r\n"));
        QVERIFY(a.contains("\r\nRRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=29\r\n"));
        QVERIFY(!a.contains("CATEGORIES:Appuntamenti"));
        QVERIFY(a.contains("\r\nCATEGORIES:Ricorrenze\r\n"));
        QCOMPARE(readServerEvent(*anniversary, kContext).entry, yearly);
        // Back to a deadline: the yearly rule goes.
        const ImportedEntry deadline = entryOf(ListKind::Deadlines, 30, 6, "Festa");
        const std::optional<QByteArray> back = patchEventObject(*anniversary, deadline, kContext);
        QVERIFY(back && !back->contains("BYMONTHDAY=29"));
        QCOMPARE(readServerEvent(*back, kContext).entry, deadline);

        // A time that is no time of day goes where a new object keeps it.
        const ImportedEntry noted = entryOf(ListKind::Appointments, 2, 4, "Gita", "pomeriggio");
        const std::optional<QByteArray> note = patchEventObject(
            makeEventObject(entryOf(ListKind::Appointments, 1, 4, "Gita"), "g", kContext), noted,
            kContext);
        QVERIFY(note);
        QCOMPARE(readServerEvent(*note, kContext).entry, noted);

        // Nothing to patch: no event, or text the reader refuses.
        QVERIFY(
            !patchEventObject(object("BEGIN:VTODO\r\nUID:t\r\nEND:VTODO\r\n"), moved, kContext));
        QVERIFY(!patchEventObject("BEGIN:VCALENDAR\r\n" + QByteArray("BEGIN:X\r\n").repeated(100),
                                  moved, kContext));
    }

    void isolatedCodecLeavesOutOnlyTheHostileObject() {
        QFile deep(QStringLiteral(RICORDEL_TEST_DATA "/calendars/deep-nesting.ics"));
        QVERIFY(deep.open(QIODevice::ReadOnly));
        const QByteArray shown = object(vevent("DTSTART;VALUE=DATE:20260401\r\nSUMMARY:Gita\r\n"));
        // Larger than any object the task takes: it refuses its batch.
        const QByteArray huge =
            object(vevent("DTSTART;VALUE=DATE:20260402\r\nDESCRIPTION:" + QByteArray(5 << 20, 'x') +
                          "\r\nSUMMARY:Enorme\r\n"));
        QList<EventJob> jobs = {
            {EventJob::Kind::Read, shown, {}},
            {EventJob::Kind::Read, huge, {}},
            {EventJob::Kind::Read, deep.readAll(), {}},
            {EventJob::Kind::Patch, shown, entryOf(ListKind::Deadlines, 3, 4, "Gita")},
        };
        IsolatedEventCodec isolated(QStringLiteral(RICORDEL_PROGRAM));
        const Results results = runCodec(isolated, jobs);
        QCOMPARE(results.size(), jobs.size());
        QVERIFY(!results[1]);
        jobs.removeAt(1);
        DirectEventCodec direct;
        const Results expected = runCodec(direct, jobs);
        QCOMPARE(expected.size(), jobs.size());
        QCOMPARE(results[0], expected[0]);
        QCOMPARE(results[2], expected[1]);
        QCOMPARE(results[3], expected[2]);
        QCOMPARE(results[0]->reading.status, ServerEventReading::Status::Shown);
        QCOMPARE(results[2]->reading.status, ServerEventReading::Status::NotShown);
        QVERIFY(results[3]->patched);

        // Cancelled: done never comes.
        bool called = false;
        direct.run(jobs, kContext, [&](const Results&) { called = true; });
        direct.cancel();
        QCoreApplication::processEvents();
        QVERIFY(!called);
    }

    void decodingRefusesDamagedBytes() {
        const QList<EventJob> jobs = {
            {EventJob::Kind::Read, object(vevent("DTSTART;VALUE=DATE:20260401\r\n")), {}},
            {EventJob::Kind::Patch, "x", entryOf(ListKind::Appointments, 29, 2, "Té", "9:05")}};
        const QByteArray input = encodeEventJobs(jobs, kContext);
        const auto decoded = decodeEventJobs(input);
        QVERIFY(decoded);
        QCOMPARE(decoded->first.size(), 2);
        QCOMPARE(decoded->first[1].entry, jobs[1].entry);
        QCOMPARE(decoded->first[0].ics, jobs[0].ics);
        QCOMPARE(decoded->second.stampUtc, kContext.stampUtc);
        QCOMPARE(decoded->second.zoneId, kContext.zoneId);

        ServerEventReading reading{ServerEventReading::Status::Later, "u@x",
                                   entryOf(ListKind::Deadlines, 1, 6, "Volo"), QDate(2026, 6, 2)};
        const QList<EventJobResult> results = {{reading, std::nullopt}, {{}, QByteArray("ics")}};
        const QByteArray output = encodeEventResults(results);
        QCOMPARE(decodeEventResults(output, 2), results);

        // Every cut, and bytes after the end.
        for (qsizetype n = 0; n < input.size(); ++n) QVERIFY(!decodeEventJobs(input.left(n)));
        for (qsizetype n = 0; n < output.size(); ++n)
            QVERIFY(!decodeEventResults(output.left(n), 2));
        QVERIFY(!decodeEventJobs(input + "x"));
        QVERIFY(!decodeEventResults(output, 3));

        // Fields out of range, at their places in the layout.
        const qsizetype magic = QByteArray("ricordel-event-jobs 1\n").size();
        const qsizetype count = magic + 7 + 8 + 4 + kContext.zoneId.size();
        const qsizetype firstJob = count + 4;
        // After the first job (kind, object, entry), the kind and object "x" of the second.
        const qsizetype secondEntry = firstJob + 1 + 4 + jobs[0].ics.size() + 4 + 4 + 4 + 1 + 4 + 1;
        const auto damaged = [](QByteArray bytes, qsizetype at, QByteArray with) {
            return bytes.replace(at, with.size(), with);
        };
        QVERIFY(!decodeEventJobs(damaged(input, 0, "R")));             // magic
        QVERIFY(!decodeEventJobs(damaged(input, magic + 5, "\x0D")));  // month 13
        QVERIFY(!decodeEventJobs(
            damaged(input, count, QByteArrayLiteral("\x00\x00\x27\x11"))));  // 10001 jobs
        QVERIFY(!decodeEventJobs(
            damaged(input, count, QByteArrayLiteral("\x00\x00\x00\x03"))));  // more than there
        QVERIFY(!decodeEventJobs(damaged(input, firstJob, "\x02")));         // kind
        QVERIFY(!decodeEventJobs(damaged(input, firstJob + 1, "\xFF\xFF\xFF\xFF")));  // length
        QCOMPARE(input.mid(secondEntry, 3), QByteArray("\x00\x1D\x02", 3));           // tab, 29, 2
        QVERIFY(!decodeEventJobs(damaged(input, secondEntry, "\x03")));               // list
        QVERIFY(!decodeEventJobs(damaged(input, secondEntry + 1, "\x1E")));           // 30 February
        QVERIFY(!decodeEventJobs(damaged(input, secondEntry + 1, QByteArray(2, '\0'))));  // none
        const QByteArray tooLong = encodeEventJobs(
            {{EventJob::Kind::Patch, "x",
              entryOf(ListKind::Appointments, 1, 1, QString(kMaxImportedText + 1, u'a'))}},
            kContext);
        QVERIFY(!decodeEventJobs(tooLong));
        const QByteArray timedDeadline = encodeEventJobs(
            {{EventJob::Kind::Patch, "x", entryOf(ListKind::Deadlines, 1, 1, "a", "9:00")}},
            kContext);
        QVERIFY(!decodeEventJobs(timedDeadline));
        const qsizetype status = QByteArray("ricordel-event-results 1\n").size() + 4;
        QVERIFY(!decodeEventResults(damaged(output, status, "\x04"), 2));
        // Shown without an entry.
        QVERIFY(!decodeEventResults(
            encodeEventResults({{{ServerEventReading::Status::Shown, "u", {}, {}}, std::nullopt}}),
            1));
    }
};

QTEST_GUILESS_MAIN(EventCodecTest)
#include "eventcodec_test.moc"

// iCalendar files into the lists, read by the program's own isolated task:
// what each event becomes, what is left out, the round trip of the
// program's own export, one import at a time, the rollback, and files made
// to crash, hang or fool the reader.
#include <QDir>
#include <QSignalSpy>
#include <QtTest/QTest>

#include <sys/stat.h>

#include "core/agenda.h"
#include "core/listrecords.h"
#include "operations/calendarexport.h"
#include "operations/calendarimport.h"
#include "support/fakeclock.h"
#include "support/records.h"
#include "support/scratchmount.h"
#include "support/scripteddialogs.h"
#include "support/tempfolder.h"

namespace {

const QTimeZone kRome("Europe/Rome");

// The agenda of a data folder, read from its files, with the importer the
// window has.
struct Desk {
    FakeClock clock{QDateTime(QDate(2026, 3, 7), QTime(10, 0))};
    ScriptedDialogs dialogs;
    Agenda agenda;
    CalendarImporter importer;
    explicit Desk(const TempFolder& folder)
        : agenda(clock, dialogs, folder.path()),
          importer(agenda, QStringLiteral(RICORDEL_PROGRAM)) {
        agenda.settings().sortAscending = true;
        agenda.loadLists();
        importer.setTimeZone(kRome);
    }
    // Imports a file and waits for the request to end; how many entries it added.
    int import(const QString& path) {
        QSignalSpy done(&importer, &CalendarImporter::finished);
        importer.importFile(path);
        if (done.isEmpty() && !done.wait(120000)) return -1;
        return done.last().at(1).toInt();
    }
};

QByteArray calendarText(const QByteArray& body) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Prova//IT\r\n" + body + "END:VCALENDAR\r\n";
}

QByteArray eventText(const QByteArray& lines) {
    return "BEGIN:VEVENT\r\nUID:" + QByteArray::number(qHash(lines)) + "@prova\r\n" + lines +
           "END:VEVENT\r\n";
}

QByteArray listsOf(const TempFolder& folder) {
    return folder.read("Ricordel.dat") + "|" + folder.read("Date.dat") + "|" +
           folder.read("Ricorrenze.dat");
}

QString corpus(const char* name) {
    return QStringLiteral(RICORDEL_TEST_DATA "/calendars/") + QString::fromLatin1(name);
}

}  // namespace

class CalendarImportTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void foreignEventsTakenOnceAfterYes() {
        TempFolder folder;
        folder.write("Ricordel.dat", listFile({{8, 3, "Dentista", "09:00"}}));
        const QByteArray ics = calendarText(
            eventText("DTSTART:20260310T080500Z\r\nDTEND:20260310T090000Z\r\n"
                      "SUMMARY:Cena da \"Gino\" \xF0\x9F\x8D\x95 \xC3\xA8\\, ok\r\n") +
            eventText("DTSTART;TZID=Europe/Rome:20260309T143000\r\nSUMMARY:Riunione\r\n") +
            eventText("DTSTART;VALUE=DATE:20260401\r\nSUMMARY:Gita\r\n") +
            eventText("DTSTART:20260315T211500\r\nSUMMARY:Ora locale\r\n") +
            eventText(
                "DTSTART;VALUE=DATE:19800520\r\nRRULE:FREQ=YEARLY\r\nSUMMARY:Compleanno Anna\r\n") +
            eventText("DTSTART:20260105T170000Z\r\nRRULE:FREQ=WEEKLY\r\nEXDATE:20260309T170000Z\r\n"
                      "SUMMARY:Palestra\r\n") +
            eventText("DTSTART;VALUE=DATE:20260630\r\nCATEGORIES:Lavoro,Scadenze\r\n"
                      "SUMMARY:Dichiarazione\r\n") +
            eventText("DTSTART:20260308T080000Z\r\nSUMMARY:Dentista\r\n") +
            eventText("DTSTART:20260311T080000Z\r\nSTATUS:CANCELLED\r\nSUMMARY:Annullato\r\n") +
            eventText("DTSTART;VALUE=DATE:20260110\r\nSUMMARY:Passato\r\n") +
            eventText(
                "DTSTART;VALUE=DATE:20260101\r\nRRULE:FREQ=DAILY;COUNT=3\r\nSUMMARY:Finito\r\n") +
            eventText("DTSTART;VALUE=DATE:20270307\r\nSUMMARY:Tra un anno\r\n") +
            "BEGIN:VTODO\r\nUID:t@prova\r\nSUMMARY:Compito\r\nEND:VTODO\r\n"
            "BEGIN:VJOURNAL\r\nUID:j@prova\r\nSUMMARY:Nota\r\nEND:VJOURNAL\r\n");
        folder.write("invito.ics", ics);
        const QByteArray before = listsOf(folder);

        Desk desk(folder);
        desk.dialogs.answer(MsgAnswer::No);
        QCOMPARE(desk.import(folder.file("invito.ics")), 0);
        QCOMPARE(listsOf(folder), before);
        const QString box = desk.dialogs.texts().value(0);
        QVERIFY2(
            box.contains("- 5 appuntamenti (1 è la prossima data di un evento ripetuto)\n"
                         "- 1 scadenza\n- 1 ricorrenza\n\nTralasciati 7 elementi:\n"
                         "- 2 già passati\n- 1 oltre un anno da oggi\n"
                         "- 1 già presente nelle liste\n- 1 annullato\n"
                         "- 2 non eventi") &&
                box.startsWith("Dal file \"" + QDir::toNativeSeparators(folder.file("invito.ics"))),
            qPrintable(box));

        desk.dialogs.answer(MsgAnswer::Yes);
        QCOMPARE(desk.import(folder.file("invito.ics")), 7);
        QCOMPARE(folder.read("Ricordel.dat"),
                 QByteArray("8,3,\"Dentista\",\"09:00\"\r\n"
                            "9,3,\"Riunione\",\"14:30\"\r\n"
                            "10,3,\"Cena da 'Gino' ? \xE8, ok\",\"9:05\"\r\n"
                            "15,3,\"Ora locale\",\"21:15\"\r\n"
                            "16,3,\"Palestra\",\"18:00\"\r\n"
                            "1,4,\"Gita\",\"\"\r\n"));
        QCOMPARE(folder.read("Date.dat"), listFile({{30, 6, "Dichiarazione"}}));
        QCOMPARE(folder.read("Ricorrenze.dat"), listFile({{20, 5, "Compleanno Anna"}}));

        // The same file again adds nothing and asks nothing.
        const QByteArray once = listsOf(folder);
        QCOMPARE(desk.import(folder.file("invito.ics")), 0);
        QCOMPARE(listsOf(folder), once);
        QVERIFY2(desk.dialogs.shown.last().buttons == MsgButtons::Ok &&
                     desk.dialogs.texts().last().contains("- 8 già presenti nelle liste"),
                 qPrintable(desk.dialogs.texts().last()));
    }

    void ownExportComesBack() {
        // Exported in one folder, imported into an empty one: every entry of
        // today and later comes back as it was, sorted as saving sorts.
        const QByteArray appointments =
            "1,1,\"Passato\",\"9:00\"\r\n7,3,\"Oggi\",\"10:30\"\r\n8,3,\"Spesa\",\"\"\r\n"
            "9,3,\"Pranzo\",\"dopo pranzo\"\r\n20,3,\"Visita \x80 10, s\xEC\",\"9:05\"\r\n"
            "2,1,\"Capodanno (ny)\",\"8:00\"\r\n";
        const QByteArray deadlines = listFile({{1, 2, "Scaduta"}, {25, 12, "Bollo"}});
        const QByteArray anniversaries =
            listFile({{14, 1, "Anna"}, {29, 2, "Leo"}, {14, 7, "Mario"}});
        const FakeClock clock(QDateTime(QDate(2026, 3, 7), QTime(10, 0)));
        const CalendarExport out =
            buildCalendarExport({parseListRecords(appointments, ListKind::Appointments),
                                 parseListRecords(deadlines, ListKind::Deadlines),
                                 parseListRecords(anniversaries, ListKind::Anniversaries)},
                                clock, QStringLiteral("Europe/Rome"));

        TempFolder folder;
        folder.write("Ricordel.ics", out.ics);
        Desk desk(folder);
        desk.dialogs.answer(MsgAnswer::Yes);
        QCOMPARE(desk.import(folder.file("Ricordel.ics")), 9);
        QCOMPARE(folder.read("Ricordel.dat"),
                 QByteArray("2,1,\"Capodanno (ny)\",\"8:00\"\r\n7,3,\"Oggi\",\"10:30\"\r\n"
                            "8,3,\"Spesa\",\"\"\r\n9,3,\"Pranzo\",\"dopo pranzo\"\r\n"
                            "20,3,\"Visita \x80 10, s\xEC\",\"9:05\"\r\n"));
        QCOMPARE(folder.read("Date.dat"), listFile({{25, 12, "Bollo"}}));
        QCOMPARE(folder.read("Ricorrenze.dat"), anniversaries);
    }

    // Files made to crash, hang or fool the reader, and files that are no
    // calendar: each ends in a box, and the lists change only by what the
    // box offered.
    void hostileFilesEndInABox_data() {
        QTest::addColumn<QString>("path");      // "<...>" made by the test
        QTest::addColumn<QString>("box");       // what the last box says
        QTest::addColumn<QByteArray>("added");  // the appointment added before 30/3, if any
        const auto file = [](const char* name) { return corpus(name); };
        QTest::newRow("nested 20 deep")
            << file("deep-nesting.ics") << "il file contiene componenti annidati oltre 16 livelli."
            << QByteArray();
        QTest::newRow("nested 500,000 deep, 10 MB")
            << "<deep>"
            << "il file contiene componenti annidati oltre 16 livelli." << QByteArray();
        QTest::newRow("a rule that never falls on a day")
            << file("never-falls.ics") << "- 1 con una data o un'ora che non esiste"
            << QByteArray();
        QTest::newRow("dates and times that cannot exist")
            << file("impossible-dates.ics") << "- 3 con una data o un'ora che non esiste"
            << QByteArray();
        QTest::newRow("every second since 1970")
            << file("every-second-since-1970.ics") << "1 è la prossima data"
            << QByteArray("7,3,\"Ogni secondo\",\"0:00\"\r\n");
        QTest::newRow("every second since six days")
            << file("every-second-six-days.ics") << "1 è la prossima data"
            << QByteArray("7,3,\"Da sei giorni\",\"0:00\"\r\n");
        QTest::newRow("every day but the excluded ones")
            << file("many-exdates.ics") << "1 è la prossima data"
            << QByteArray("9,3,\"Quasi mai\",\"\"\r\n");
        QTest::newRow("a title of 20,000 characters")
            << file("long-summary.ics") << "- 1 appuntamento"
            << "10,3,\"Lungo " + QByteArray("abcdefghij").repeated(400).left(3993) +
                   "\x85\",\"9:00\"\r\n";
        QTest::newRow("not iCalendar")
            << "<text>Oggetto: invito\r\nCiao!\r\n"
            << "il contenuto non è in formato iCalendar." << QByteArray();
        QTest::newRow("empty") << "<text>\xEF\xBB\xBF \r\n"
                               << "il file è vuoto." << QByteArray();
        QTest::newRow("no event")
            << "<text>BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nUID:t\r\nEND:VTODO\r\nEND:VCALENDAR\r\n"
            << "il file non contiene eventi." << QByteArray();
        QTest::newRow("50 MB") << "<50MB>"
                               << "il file è troppo grande (50 MB" << QByteArray();
        QTest::newRow("missing") << "<none>"
                                 << "il file non esiste." << QByteArray();
        QTest::newRow("folder") << "<dir>"
                                << "è una cartella, non un file." << QByteArray();
        QTest::newRow("pipe") << "<fifo>"
                              << "non è un file regolare." << QByteArray();
        QTest::newRow("endless device") << "/dev/zero"
                                        << "non è un file regolare." << QByteArray();
    }
    void hostileFilesEndInABox() {
        QFETCH(QString, path);
        QFETCH(QString, box);
        QFETCH(QByteArray, added);
        TempFolder folder;
        const QByteArray appointments = listFile({{30, 3, "Dentista", "09:00"}});
        folder.write("Ricordel.dat", appointments);
        if (path.startsWith(u'<')) {
            const QString made = folder.file("invito.ics");
            if (path == "<deep>") {
                folder.write("invito.ics",
                             calendarText(eventText("DTSTART:20260310T090000Z\r\n" +
                                                    QByteArray("BEGIN:X-A\r\n").repeated(500000) +
                                                    QByteArray("END:X-A\r\n").repeated(500000))));
            } else if (path == "<50MB>") {
                QFile big(made);
                QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(50 * 1024 * 1024));
            } else if (path == "<dir>") {
                QVERIFY(QDir(folder.path()).mkdir("invito.ics"));
            } else if (path == "<fifo>") {
                QCOMPARE(::mkfifo(QFile::encodeName(made).constData(), 0600), 0);
            } else if (path.startsWith("<text>")) {
                folder.write("invito.ics", path.mid(6).toUtf8());
            }
            path = made;
        }
        Desk desk(folder);
        if (!added.isEmpty()) desk.dialogs.answer(MsgAnswer::Yes);
        QCOMPARE(desk.import(path), added.isEmpty() ? 0 : 1);
        QCOMPARE(folder.read("Ricordel.dat"), added + appointments);
        QVERIFY2(desk.dialogs.texts().join("\n").contains(box),
                 qPrintable(desk.dialogs.texts().join("\n")));
        QVERIFY(desk.dialogs.scriptUsedUp());
    }

    void oneImportAtATime() {
        // Asked for again while its box waits, the same file is one request;
        // another file waits its turn and finds the lists as the first left
        // them.
        TempFolder folder;
        const QByteArray event = eventText("DTSTART:20260310T080500Z\r\nSUMMARY:Cena\r\n");
        folder.write("a.ics", calendarText(event));
        folder.write("b.ics", calendarText(event + eventText("DTSTART;VALUE=DATE:20260401\r\n"
                                                             "SUMMARY:Gita\r\n")));
        Desk desk(folder);
        QSignalSpy done(&desk.importer, &CalendarImporter::finished);
        desk.dialogs.whileNextBoxWaits = [&] {
            desk.importer.importFile(folder.file("a.ics"));
            desk.importer.importFile(folder.file("b.ics"));
        };
        desk.dialogs.answer(MsgAnswer::Yes);
        desk.dialogs.answer(MsgAnswer::Yes);
        desk.importer.importFile(folder.file("a.ics"));
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 120000);
        QCOMPARE(done[0].at(1).toInt(), 1);
        QCOMPARE(done[1].at(1).toInt(), 1);
        QVERIFY(desk.dialogs.texts().value(1).contains("- 1 già presente nelle liste"));
        QCOMPARE(folder.read("Ricordel.dat"),
                 QByteArray("10,3,\"Cena\",\"9:05\"\r\n1,4,\"Gita\",\"\"\r\n"));
    }

    void rollbackRestoresAndKeepsUnsavedEdits() {
        // The anniversaries' file lies on storage that refuses writes: the
        // appointments and deadlines are written, then put back byte for
        // byte, and an edit typed before the import stays, unsaved.
        ScratchMount mount("size=64k");
        if (!mount.ok()) QSKIP("mounting a scratch file system needs root");
        TempFolder folder;
        const QByteArray appointments = "8,3,\"Dentista\",\"09:00\"\r\n2,3,\"Prima\",\"8:00\"\r\n";
        const QByteArray deadlines = listFile({{1, 5, "Bollo"}});
        folder.write("Ricordel.dat", appointments);
        folder.write("Date.dat", deadlines);
        QFile anniversaries(mount.file("Ricorrenze.dat"));
        QVERIFY(anniversaries.open(QIODevice::WriteOnly));
        anniversaries.write(listFile({{1, 5, "Festa"}}));
        anniversaries.close();
        QVERIFY(mount.remountReadOnly());
        QVERIFY(QFile::link(mount.file("Ricorrenze.dat"), folder.file("Ricorrenze.dat")));
        folder.write("invito.ics",
                     calendarText(eventText("DTSTART:20260310T080500Z\r\nSUMMARY:Cena\r\n") +
                                  eventText("DTSTART;VALUE=DATE:20260310\r\nCATEGORIES:Scadenze\r\n"
                                            "SUMMARY:Tassa\r\n")));

        Desk desk(folder);
        desk.agenda.appointments().setText(0, ListModel::ColMessage, "Dentista alle 9");
        desk.agenda.setListsModified(true);
        desk.dialogs.answer(MsgAnswer::Yes);
        QCOMPARE(desk.import(folder.file("invito.ics")), 0);
        QCOMPARE(folder.read("Ricordel.dat"), appointments);
        QCOMPARE(folder.read("Date.dat"), deadlines);
        QVERIFY(desk.agenda.listsModified());
        QCOMPARE(desk.agenda.appointments().entries(),
                 (QList<AgendaEntry>{{"8/3", "Dentista alle 9", "09:00", {}},
                                     {"2/3", "Prima", "8:00", {}}}));
        QCOMPARE(desk.agenda.list(ListKind::Deadlines).entryCount(), 1);
        const QStringList boxes = desk.dialogs.texts();
        QVERIFY2(boxes.last().contains("le liste non si possono salvare, e non è stato aggiunto "
                                       "nulla") &&
                     boxes.join("\n").contains("Impossibile salvare il file \"Ricorrenze.dat\""),
                 qPrintable(boxes.join("\n")));
    }
};

QTEST_GUILESS_MAIN(CalendarImportTest)
#include "calendarimport_test.moc"

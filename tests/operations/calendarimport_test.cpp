// iCalendar files into the lists: what each event becomes, what is left out,
// the round trip of the program's own export, and bad input.
#include <QDir>
#include <QtTest/QTest>

#include "core/agenda.h"
#include "core/listfiles.h"
#include "operations/calendarexport.h"
#include "operations/calendarimport.h"
#include "support/fakeclock.h"
#include "support/records.h"
#include "support/scripteddialogs.h"
#include "support/tempfolder.h"

namespace {

const QTimeZone kRome("Europe/Rome");

// The agenda of a data folder, read from its files.
struct Desk {
    FakeClock clock{QDateTime(QDate(2026, 3, 7), QTime(10, 0))};
    ScriptedDialogs dialogs;
    Agenda agenda;
    explicit Desk(const TempFolder& folder) : agenda(clock, dialogs, folder.path()) {
        agenda.settings().sortAscending = true;
        agenda.loadLists();
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
        QCOMPARE(importCalendarInto(desk.agenda, folder.file("invito.ics"), kRome), 0);
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
        QCOMPARE(importCalendarInto(desk.agenda, folder.file("invito.ics"), kRome), 7);
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
        QCOMPARE(importCalendarInto(desk.agenda, folder.file("invito.ics"), kRome), 0);
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
            buildCalendarExport({parseListRecords(appointments, ListKind::Appuntamenti),
                                 parseListRecords(deadlines, ListKind::Scadenze),
                                 parseListRecords(anniversaries, ListKind::Ricorrenze)},
                                clock, QStringLiteral("Europe/Rome"));

        TempFolder folder;
        folder.write("Ricordel.ics", out.ics);
        Desk desk(folder);
        desk.dialogs.answer(MsgAnswer::Yes);
        QCOMPARE(importCalendarInto(desk.agenda, folder.file("Ricordel.ics"), kRome), 9);
        QCOMPARE(folder.read("Ricordel.dat"),
                 QByteArray("2,1,\"Capodanno (ny)\",\"8:00\"\r\n7,3,\"Oggi\",\"10:30\"\r\n"
                            "8,3,\"Spesa\",\"\"\r\n9,3,\"Pranzo\",\"dopo pranzo\"\r\n"
                            "20,3,\"Visita \x80 10, s\xEC\",\"9:05\"\r\n"));
        QCOMPARE(folder.read("Date.dat"), listFile({{25, 12, "Bollo"}}));
        QCOMPARE(folder.read("Ricorrenze.dat"), anniversaries);
    }

    void badInputChangesNothing_data() {
        QTest::addColumn<QByteArray>("content");  // "<dir>": a folder; "<none>": no file
        QTest::addColumn<QString>("reason");
        QTest::newRow("not iCalendar") << QByteArray("Oggetto: invito\r\nCiao!\r\n")
                                       << "il contenuto non è in formato iCalendar";
        QTest::newRow("garbage after the header") << QByteArray("BEGIN:VCALENDARX\0\x01\x02", 19)
                                                  << "il contenuto non è in formato iCalendar";
        QTest::newRow("empty") << QByteArray("\xEF\xBB\xBF \r\n") << "il file è vuoto";
        QTest::newRow("no event")
            << calendarText(
                   "BEGIN:VTODO\r\nUID:t\r\nSUMMARY:Compito\r\nEND:VTODO\r\n"
                   "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT5M\r\nEND:VALARM\r\n")
            << "il file non contiene eventi";
        QTest::newRow("50 MB") << QByteArray("<50MB>") << "il file è troppo grande (50 MB";
        QTest::newRow("missing") << QByteArray("<none>") << "il file non esiste";
        QTest::newRow("folder") << QByteArray("<dir>") << "è una cartella";
        // The lists cannot all be saved: the entry is taken out again.
        QTest::newRow("lists not saved")
            << calendarText(
                   eventText("DTSTART:20260310T080500Z\r\nSUMMARY:A\r\n") +
                   eventText("DTSTART;VALUE=DATE:20260310\r\nCATEGORIES:Scadenze\r\nSUMMARY:B\r\n"))
            << "le liste non si possono salvare, e non è stato aggiunto nulla";
    }
    void badInputChangesNothing() {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        TempFolder folder;
        folder.write("Ricordel.dat", listFile({{8, 3, "Dentista", "09:00"}}));
        folder.write("Ricorrenze.dat", listFile({{1, 5, "Festa"}}));
        const QString path = folder.file("invito.ics");
        if (content == "<dir>") {
            QVERIFY(QDir(folder.path()).mkdir("invito.ics"));
        } else if (content == "<50MB>") {
            QFile big(path);
            QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(50 * 1024 * 1024));
        } else if (content != "<none>") {
            folder.write("invito.ics", content);
        }
        const bool saveFails = reason.startsWith("le liste");
        if (saveFails) QVERIFY(QDir(folder.path()).mkdir("Date.dat"));
        const QByteArray before = listsOf(folder);

        Desk desk(folder);
        if (saveFails) desk.dialogs.answer(MsgAnswer::Yes);
        QCOMPARE(importCalendarInto(desk.agenda, path, kRome), 0);
        QCOMPARE(listsOf(folder), before);
        QCOMPARE(desk.agenda.appointments().entryCount(), 1);
        const ScriptedDialogs::Shown& last = desk.dialogs.shown.last();
        QVERIFY2(last.icon == MsgIcon::Critical &&
                     last.text.startsWith("Calendario non importato dal file \"" +
                                          QDir::toNativeSeparators(path) + "\": " + reason),
                 qPrintable(last.text));
    }
};

QTEST_GUILESS_MAIN(CalendarImportTest)
#include "calendarimport_test.moc"

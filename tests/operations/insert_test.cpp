#include <QRandomGenerator>
#include <QtTest/QTest>

#include "core/agenda.h"
#include "core/listmodel.h"
#include "operations/insert.h"
#include "operations/operations.h"
#include "support/agendarig.h"
#include "support/fakeclock.h"
#include "support/records.h"
#include "support/scripteddialogs.h"
#include "support/tempfolder.h"

namespace {

QList<AgendaEntry> datedEntries(const QStringList& dates) {
    QList<AgendaEntry> out;
    for (const QString& d : dates) out.append({d, "voce " + d, {}, {}});
    return out;
}

QStringList datesOf(const ListModel& list) {
    QStringList out;
    for (int r = 0; r < list.entryCount(); ++r) out << list.text(r, ListModel::ColDate);
    return out;
}

}  // namespace

class InsertTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void placeInDateOrder_data() {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QDate>("newDate");
        QTest::addColumn<bool>("ascending");
        QTest::addColumn<int>("place");
        QTest::newRow("empty list") << QStringList() << QDate(2026, 2, 10) << true << 0;
        QTest::newRow("rising, before equal dates")
            << QStringList({"3/2", "10/2", "10/2", "20/2"}) << QDate(2026, 2, 10) << true << 1;
        QTest::newRow("falling, after equal dates")
            << QStringList({"20/2", "10/2", "10/2", "3/2"}) << QDate(2026, 2, 10) << false << 3;
        QTest::newRow("rising, later than all")
            << QStringList({"3/2", "10/2"}) << QDate(2026, 3, 1) << true << 2;
        QTest::newRow("falling, earlier than all")
            << QStringList({"10/2", "3/2"}) << QDate(2026, 1, 1) << false << 2;
        QTest::newRow("5/1 in December goes first")
            << QStringList({"1/12", "20/12"}) << QDate(2026, 1, 5) << true << 0;
        QTest::newRow("unreadable rows never qualify")
            << QStringList({"", "29/2", "boh", "10/2"}) << QDate(2026, 2, 5) << true << 3;
        QTest::newRow("unreadable rows never qualify, falling")
            << QStringList({"20/2", "31/4", "1/2"}) << QDate(2026, 2, 5) << false << 2;
    }
    void placeInDateOrder() {
        QFETCH(QStringList, rows);
        QFETCH(QDate, newDate);
        QFETCH(bool, ascending);
        QFETCH(int, place);
        ListModel list(ListKind::Deadlines);
        list.replaceAll(datedEntries(rows));
        QCOMPARE(insertionPlace(list, newDate, ascending, 2026), place);
    }

    // Many entries placed at once end where inserting them one by one puts
    // them, in lists out of order, with unreadable rows, equal dates and
    // entries without a date.
    void manyAtOnceAsOneByOne() {
        QRandomGenerator random(2026);
        const QStringList pool = {"3/2",   "10/2", "10/2", "20/2", "1/1",
                                  "31/12", "boh",  "29/2", "15/6", "1/3"};
        for (int round = 0; round < 1000; ++round) {
            const bool ascending = round % 2 == 0;
            QStringList rows;
            for (int i = random.bounded(12); i > 0; --i) rows << pool[random.bounded(pool.size())];
            QList<std::pair<QDate, AgendaEntry>> added;
            for (int i = random.bounded(1, 10); i > 0; --i) {
                // Now and then 29 February, which 2026 lacks: no date.
                const QDate day = random.bounded(5) == 0
                                      ? QDate()
                                      : QDate(2026, random.bounded(1, 4), random.bounded(1, 29));
                added.append(
                    {day,
                     {day.isValid() ? QStringLiteral("%1/%2").arg(day.day()).arg(day.month())
                                    : QStringLiteral("29/2"),
                      QStringLiteral("nuova %1").arg(i),
                      {},
                      {}}});
            }
            ListModel oneByOne(ListKind::Deadlines);
            oneByOne.replaceAll(datedEntries(rows));
            for (const auto& [day, entry] : added)
                oneByOne.insertAt(day.isValid() ? insertionPlace(oneByOne, day, ascending, 2026)
                                                : oneByOne.entryCount(),
                                  entry);
            ListModel atOnce(ListKind::Deadlines);
            atOnce.replaceAll(datedEntries(rows));
            atOnce.insertEntries(insertionPlaces(atOnce, added, ascending, 2026));
            QCOMPARE(atOnce.entries(), oneByOne.entries());
        }
    }

    void deadlineKeepsTheOfferedPrefixAndIsSavedAtOnce() {
        TempFolder folder;
        FakeClock clock(QDateTime(QDate(2026, 3, 1), QTime(9, 0)));
        ScriptedDialogs dialogs;
        Agenda agenda(clock, dialogs, folder.path());
        ListSelection shown(agenda);
        agenda.settings().sortAscending = true;
        agenda.list(ListKind::Deadlines).replaceAll(datedEntries({"1/3", "20/3"}));
        shown.selectTab(1);
        dialogs.type(QString::fromUtf16(u"Scade bollo \"auto\" \u2192 Gy\u0151r"));
        insertEntry(agenda, shown, QDate(2027, 3, 15));

        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("Inserisci il MESSAGGIO"));
        QCOMPARE(dialogs.shown[0].title, std::optional<QString>());
        QCOMPARE(dialogs.shown[0].defaultText, QStringLiteral("Scade "));
        // The quote would break the file's record: it is stored as an
        // apostrophe. The list holds what the file keeps: "?" for each
        // character Windows-1252 lacks.
        QCOMPARE(datesOf(agenda.list(ListKind::Deadlines)), QStringList({"1/3", "15/3", "20/3"}));
        QCOMPARE(agenda.list(ListKind::Deadlines).entry(1),
                 (AgendaEntry{"15/3", "Scade bollo 'auto' ? Gy?r", "", ""}));
        QCOMPARE(folder.read("Date.dat"), listFile({{1, 3, "voce 1/3"},
                                                    {15, 3, "Scade bollo 'auto' ? Gy?r"},
                                                    {20, 3, "voce 20/3"}}));
        QVERIFY(folder.exists("Ricordel.dat"));
        QVERIFY(folder.exists("Ricorrenze.dat"));
        QCOMPARE(shown.currentTab(), 1);
    }

    // Appointments start empty, anniversaries with "E' il Compleanno di ".
    void eachListOffersItsStartOfMessage() {
        TempFolder folder;
        FakeClock clock(QDateTime(QDate(2026, 3, 1), QTime(9, 0)));
        ScriptedDialogs dialogs;
        Agenda agenda(clock, dialogs, folder.path());
        ListSelection shown(agenda);
        const QStringList offered = {"", "Scade ", "E' il Compleanno di "};
        for (int tab : {0, 1, 2}) {
            shown.selectTab(tab);
            dialogs.type(QString());
            insertEntry(agenda, shown, QDate(2026, 3, 15));
            QCOMPARE(dialogs.shown.last().defaultText, offered[tab]);
        }
        shown.selectTab(2);
        dialogs.type("E' il Compleanno di Anna");
        insertEntry(agenda, shown, QDate(2026, 3, 15));
        QCOMPARE(folder.read("Ricorrenze.dat"), listFile({{15, 3, "E' il Compleanno di Anna"}}));
    }

    void cancelledMessageAddsAndSavesNothing() {
        TempFolder folder;
        FakeClock clock;
        ScriptedDialogs dialogs;
        Agenda agenda(clock, dialogs, folder.path());
        ListSelection shown(agenda);
        dialogs.type("");
        insertEntry(agenda, shown, QDate(2026, 3, 7));
        QVERIFY(agenda.appointments().isEmpty());
        QVERIFY(!folder.exists("Ricordel.dat"));
    }

    // 29 February in a common year is refused: no list could read that date
    // back.
    void dayMissingFromTheCurrentYearIsRefused() {
        TempFolder folder;
        FakeClock clock(QDateTime(QDate(2026, 2, 1), QTime(9, 0)));
        ScriptedDialogs dialogs;
        Agenda agenda(clock, dialogs, folder.path());
        ListSelection shown(agenda);
        insertEntry(agenda, shown, QDate(2028, 2, 29));
        QCOMPARE(dialogs.texts(), QStringList({"Data non valida"}));
        QVERIFY(agenda.appointments().isEmpty());
        QVERIFY(!folder.exists("Ricordel.dat"));
    }

    void appointmentTimeIsCheckedAndStoredAsTyped() {
        TempFolder folder;
        FakeClock clock(QDateTime(QDate(2026, 2, 1), QTime(9, 0)));
        ScriptedDialogs dialogs;
        Agenda agenda(clock, dialogs, folder.path());
        ListSelection shown(agenda);
        agenda.settings().sortAscending = true;
        agenda.appointments().replaceAll({{"10/2", "riunione", "14:00", {}}});

        dialogs.type("dentista");
        dialogs.type("25:00");
        dialogs.type("9:5");
        dialogs.type(" 15.30 ");
        insertEntry(agenda, shown, QDate(2026, 2, 10));

        const QStringList asked = dialogs.texts();
        QCOMPARE(asked.size(), 6);
        QCOMPARE(asked[2], QStringLiteral("Orario non valido"));
        QCOMPARE(asked[4], QStringLiteral("Orario non valido"));
        QCOMPARE(dialogs.shown[1].title, std::optional<QString>("Premere INVIO per non inserirla"));
        QCOMPARE(dialogs.shown[1].defaultText, QString());
        // Inserted before the other 10/2, then put after it by the save's sort.
        QCOMPARE(folder.read("Ricordel.dat"),
                 listFile({{10, 2, "riunione", "14:00"}, {10, 2, "dentista", "15.30"}}));
    }

    void emptyTimeMeansNoTime() {
        TempFolder folder;
        FakeClock clock(QDateTime(QDate(2026, 2, 1), QTime(9, 0)));
        ScriptedDialogs dialogs;
        Agenda agenda(clock, dialogs, folder.path());
        ListSelection shown(agenda);
        dialogs.type("palestra");
        dialogs.type("");
        insertEntry(agenda, shown, QDate(2026, 2, 1));
        QCOMPARE(folder.read("Ricordel.dat"), listFile({{1, 2, "palestra", ""}}));
        QCOMPARE(agenda.appointments().cellBackground(0, 0), 0xFFFFFF80u);
    }

    void fullListTakesNoMore() {
        TempFolder folder;
        FakeClock clock;
        ScriptedDialogs dialogs;
        Agenda agenda(clock, dialogs, folder.path());
        ListSelection shown(agenda);
        shown.selectTab(1);
        agenda.list(ListKind::Deadlines)
            .replaceAll(QList<AgendaEntry>(ListModel::kMaxEntries, {"1/1", "x", {}, {}}));
        insertEntry(agenda, shown, QDate(2026, 3, 7));
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY(!dialogs.shown[0].isInput);
        QCOMPARE(agenda.list(ListKind::Deadlines).entryCount(), ListModel::kMaxEntries);
    }
};

QTEST_GUILESS_MAIN(InsertTest)
#include "insert_test.moc"

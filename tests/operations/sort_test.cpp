#include <QRandomGenerator>
#include <QtTest/QTest>

#include <numeric>

#include "core/agenda.h"
#include "core/listmodel.h"
#include "operations/operations.h"
#include "operations/sort.h"
#include "support/fakeclock.h"
#include "support/scripteddialogs.h"

namespace {

AgendaEntry appt(const QString& date, const QString& time, const QString& message = {},
                 const QString& id = {}) {
    return AgendaEntry{date, message.isEmpty() ? date + u' ' + time : message, time, id};
}

QStringList columnTexts(const ListModel& list, int column) {
    QStringList out;
    for (int r = 0; r < list.entryCount(); ++r) out << list.text(r, column);
    return out;
}

// The reference bubble sort, kept here as the yardstick: passes of neighbour
// comparisons until a pass swaps nothing.
void bubbleSort(ListModel& list, bool ascending, int year) {
    for (bool clean = false; !clean;) {
        clean = true;
        for (int i = 0; i + 1 < list.entryCount(); ++i) {
            bool unreadable = false;
            const bool later = isLaterThanNext(list, i, year, unreadable);
            const bool earlier = isEarlierThanNext(list, i, year, unreadable);
            if (ascending ? later : earlier) {
                std::vector<int> order(static_cast<size_t>(list.entryCount()));
                std::iota(order.begin(), order.end(), 0);
                std::swap(order[static_cast<size_t>(i)], order[static_cast<size_t>(i + 1)]);
                list.reorderTexts(order);
                clean = false;
            }
        }
    }
}

}  // namespace

class SortTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void timeTextsReadAsHourAndMinute_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("hour");
        QTest::addColumn<double>("minute");
        QTest::newRow("plain") << "9:30" << 9.0 << 30.0;
        QTest::newRow("leading zero") << "09:30" << 9.0 << 30.0;
        QTest::newRow("full stop") << "14.30" << 14.0 << 30.0;
        QTest::newRow("empty") << "" << 0.0 << 0.0;
        QTest::newRow("one character") << "9" << 0.0 << 0.0;
        QTest::newRow("two characters") << "10" << 0.0 << 0.0;
        QTest::newRow("words") << "sera" << 0.0 << 0.0;
    }
    void timeTextsReadAsHourAndMinute() {
        QFETCH(QString, text);
        QFETCH(double, hour);
        QFETCH(double, minute);
        double h = -1, m = -1;
        readSortTime(text, h, m);
        QCOMPARE(h, hour);
        QCOMPARE(m, minute);
    }

    void sortsByDateThenTimeInBothDirections() {
        FakeClock clock(QDateTime(QDate(2026, 3, 7), QTime(10, 0)));
        ScriptedDialogs dialogs;
        Agenda agenda(clock, dialogs, QString());
        const QList<AgendaEntry> rows = {appt("10/2", "14:00"), appt("10/2", ""),
                                         appt("9/2", "18:00")};
        agenda.appointments().replaceAll(rows);
        agenda.settings().sortAscending = true;
        sortAppointments(agenda);
        QCOMPARE(columnTexts(agenda.appointments(), 0), QStringList({"9/2", "10/2", "10/2"}));
        QCOMPARE(columnTexts(agenda.appointments(), 2), QStringList({"18:00", "", "14:00"}));

        agenda.settings().sortAscending = false;
        sortAppointments(agenda);
        QCOMPARE(columnTexts(agenda.appointments(), 0), QStringList({"10/2", "10/2", "9/2"}));
        QCOMPARE(columnTexts(agenda.appointments(), 2), QStringList({"14:00", "", "18:00"}));
        QVERIFY(dialogs.shown.isEmpty());
    }

    void equalKeysKeepTheirOrderAndIdsStayPut() {
        FakeClock clock;
        ScriptedDialogs dialogs;
        Agenda agenda(clock, dialogs, QString());
        agenda.appointments().replaceAll(
            {appt("5/5", "09:30", "primo", "A"), appt("5/5", "9:30", "secondo", "B"),
             appt("1/5", "8:00", "terzo", "C"), appt("5/5", "9.30", "quarto", "D")});
        for (bool ascending : {true, false}) {
            agenda.settings().sortAscending = ascending;
            sortAppointments(agenda);
            const QStringList expected = ascending
                                             ? QStringList({"terzo", "primo", "secondo", "quarto"})
                                             : QStringList({"primo", "secondo", "quarto", "terzo"});
            QCOMPARE(columnTexts(agenda.appointments(), 1), expected);
            QCOMPARE(columnTexts(agenda.appointments(), 3), QStringList({"A", "B", "C", "D"}));
        }
    }

    void everyDateFallsInTheCurrentYear() {
        FakeClock clock(QDateTime(QDate(2026, 12, 10), QTime(9, 0)));
        ScriptedDialogs dialogs;
        Agenda agenda(clock, dialogs, QString());
        agenda.appointments().replaceAll({appt("20/12", "10:00"), appt("5/1", "10:00")});
        agenda.settings().sortAscending = true;
        sortAppointments(agenda);
        QCOMPARE(columnTexts(agenda.appointments(), 0), QStringList({"5/1", "20/12"}));
    }

    // An unreadable date is a wall that no row crosses, and it is reported
    // in one box per sort.
    void unreadableDateIsAWallAndWarnsOnce() {
        FakeClock clock(QDateTime(QDate(2026, 3, 7), QTime(10, 0)));
        ScriptedDialogs dialogs;
        Agenda agenda(clock, dialogs, QString());
        agenda.appointments().replaceAll({appt("20/2", ""), appt("10/2", ""), appt("29/2", ""),
                                          appt("5/2", ""), appt("1/2", ""), appt("boh", ""),
                                          appt("3/1", "")});
        agenda.settings().sortAscending = true;
        sortAppointments(agenda);
        QCOMPARE(columnTexts(agenda.appointments(), 0),
                 QStringList({"10/2", "20/2", "29/2", "1/2", "5/2", "boh", "3/1"}));
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("Data non valida"));
        QCOMPARE(dialogs.shown[0].icon, MsgIcon::Critical);
        QCOMPARE(dialogs.shown[0].title, std::optional<QString>(QString()));
    }

    void singleUnreadableRowAsksNothing() {
        FakeClock clock;
        ScriptedDialogs dialogs;
        Agenda agenda(clock, dialogs, QString());
        agenda.appointments().replaceAll({appt("31/4", "")});
        sortAppointments(agenda);
        QVERIFY(dialogs.shown.isEmpty());
    }

    // The fast sort must land exactly where the neighbour swaps of the first
    // version landed, equal keys and unreadable rows included.
    void matchesTheBubbleSortOnRandomLists() {
        FakeClock clock(QDateTime(QDate(2026, 5, 1), QTime(8, 0)));
        const QStringList dates = {"1/1", "2/1", "2/1", "15/3", "29/2", "", "31/12", "7/7"};
        const QStringList times = {"", "9:30", "09:30", "8:00", "23:59", "7", "12.15"};
        QRandomGenerator random(20260501);
        for (int round = 0; round < 40; ++round) {
            QList<AgendaEntry> rows;
            const int count = random.bounded(0, 30);
            for (int i = 0; i < count; ++i) {
                rows.append(appt(dates[random.bounded(dates.size())],
                                 times[random.bounded(times.size())], QString::number(i)));
            }
            for (bool ascending : {true, false}) {
                ScriptedDialogs dialogs;
                Agenda agenda(clock, dialogs, QString());
                agenda.settings().sortAscending = ascending;
                agenda.appointments().replaceAll(rows);
                sortAppointments(agenda);

                ListModel reference(ListKind::Appointments);
                reference.replaceAll(rows);
                bubbleSort(reference, ascending, 2026);
                QCOMPARE(agenda.appointments().entries(), reference.entries());
                QVERIFY(dialogs.shown.size() <= 1);
            }
        }
    }
};

QTEST_GUILESS_MAIN(SortTest)
#include "sort_test.moc"

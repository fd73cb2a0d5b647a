#include <QRandomGenerator>
#include <QtTest/QTest>

#include "core/agenda.h"
#include "core/listmodel.h"
#include "operations/colours.h"
#include "operations/operations.h"
#include "support/agendarig.h"
#include "support/fakeclock.h"
#include "support/scripteddialogs.h"

class ColoursTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void colourOfOneRow_data() {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("time");
        QTest::addColumn<quint32>("colour");
        const QDateTime jan1(QDate(2026, 1, 1), QTime(8, 0));
        const QDateTime dec31(QDate(2026, 12, 31), QTime(8, 0));
        const QDateTime mar7(QDate(2026, 3, 7), QTime(14, 30, 45));
        using namespace urgency;
        QTest::newRow("31/12 seen on 1 January") << jan1 << "31/12"
                                                 << ""
                                                 << "" << kWhite;
        QTest::newRow("1/1 seen on 31 December") << dec31 << "1/1"
                                                 << ""
                                                 << "" << kLightRed;
        QTest::newRow("(ny) at the start") << dec31 << "1/1"
                                           << "(ny) viaggio"
                                           << "" << kWhite;
        QTest::newRow("(ny) in the middle") << dec31 << "1/1"
                                            << "a (ny) b"
                                            << "" << kWhite;
        QTest::newRow("(ny) at the end") << dec31 << "1/1"
                                         << "cena(ny)"
                                         << "" << kWhite;
        QTest::newRow("(NY) does not count") << dec31 << "1/1"
                                             << "cena (NY)"
                                             << "" << kLightRed;
        QTest::newRow("( ny) does not count") << dec31 << "1/1"
                                              << "cena ( ny)"
                                              << "" << kLightRed;
        QTest::newRow("(ny) today changes nothing") << mar7 << "7/3"
                                                    << "(ny)"
                                                    << "" << kLightYellow;
        QTest::newRow("today, no time") << mar7 << "7/3"
                                        << ""
                                        << "" << kLightYellow;
        QTest::newRow("today, 3 characters") << mar7 << "7/3"
                                             << ""
                                             << "9:5" << kLightYellow;
        QTest::newRow("today, this minute") << mar7 << "7/3"
                                            << ""
                                            << "14:30" << kLightRed;
        QTest::newRow("today, next minute") << mar7 << "7/3"
                                            << ""
                                            << "14:31" << kLightYellow;
        QTest::newRow("today, earlier") << mar7 << "7/3"
                                        << ""
                                        << "09:00" << kLightRed;
        QTest::newRow("today, full stop") << mar7 << "7/3"
                                          << ""
                                          << "14.29" << kLightRed;
        QTest::newRow("today, unreadable time") << mar7 << "7/3"
                                                << ""
                                                << "sera" << kLightYellow;
        QTest::newRow("tomorrow, past hour") << mar7 << "8/3"
                                             << ""
                                             << "0:01" << kLightGreen;
        QTest::newRow("day after tomorrow") << mar7 << "9/3"
                                            << ""
                                            << "" << kWhite;
        QTest::newRow("29/2 in a common year") << mar7 << "29/2"
                                               << ""
                                               << "" << kWhite;
        QTest::newRow("mistyped date") << mar7 << "7-3"
                                       << ""
                                       << "" << kWhite;
    }
    void colourOfOneRow() {
        QFETCH(QDateTime, now);
        QFETCH(QString, date);
        QFETCH(QString, message);
        QFETCH(QString, time);
        QFETCH(quint32, colour);
        FakeClock clock(now);
        ScriptedDialogs dialogs;
        Agenda agenda(clock, dialogs, QString());
        ListSelection shown(agenda);
        agenda.appointments().append({date, message, time, {}});
        paintUrgencyColours(agenda);
        for (int c = 0; c <= ListModel::ColTime; ++c)
            QCOMPARE(agenda.appointments().cellBackground(0, c), colour);
    }

    // Painting once moved the current cell to the last row, so a command a
    // minute later acted on another entry.
    void paintingKeepsTheCurrentCellAndTheIdColumn() {
        FakeClock clock(QDateTime(QDate(2026, 3, 7), QTime(10, 0)));
        ScriptedDialogs dialogs;
        Agenda agenda(clock, dialogs, QString());
        ListSelection shown(agenda);
        ListModel& list = agenda.appointments();
        list.replaceAll({{"1/3", "a", "", "1"}, {"7/3", "b", "", "2"}, {"20/3", "c", "", "3"}});
        list.setCellBackground(1, ListModel::ColId, 0xFF0000FF);
        shown.setCurrentCell(ListKind::Appointments, 1, ListModel::ColMessage);
        shown.selection(ListKind::Appointments)
            .select(list.index(0, 1), QItemSelectionModel::Select);
        const QModelIndexList selectedBefore =
            shown.selection(ListKind::Appointments).selectedIndexes();

        paintUrgencyColours(agenda);

        const QModelIndex current = shown.selection(ListKind::Appointments).currentIndex();
        QCOMPARE(current.row(), 1);
        QCOMPARE(current.column(), int(ListModel::ColMessage));
        QCOMPARE(shown.selection(ListKind::Appointments).selectedIndexes(), selectedBefore);
        QCOMPARE(list.cellBackground(1, ListModel::ColId), 0xFF0000FFu);
        QCOMPARE(list.cellBackground(0, 0), urgency::kLightRed);
    }

    // Painting a whole list reads each shared date once: every row must
    // still get the colour of its own entry.
    void listColoursAreThoseOfEachEntry() {
        const QStringList dates = {"6/3",  "7/3",  "8/3",   "9/3", "1/1", "31/12",
                                   "29/2", "31/4", "07/03", "x",   ""};
        const QStringList times = {"", "9:05", "14:30", "14:31", "23:59", "9.5", "x"};
        const QStringList messages = {"", "cena (ny)", "(NY)", QString::fromUtf16(u"日 (ny)"), "a"};
        QRandomGenerator random(73);
        auto pick = [&](const QStringList& from) { return from[random.bounded(from.size())]; };
        FakeClock clock(QDateTime(QDate(2026, 3, 7), QTime(14, 30, 45)));
        ScriptedDialogs dialogs;
        Agenda agenda(clock, dialogs, QString());
        ListSelection shown(agenda);
        QList<AgendaEntry> rows;
        for (int i = 0; i < 300; ++i) rows.append({pick(dates), pick(messages), pick(times), {}});
        agenda.appointments().replaceAll(rows);
        paintUrgencyColours(agenda);
        for (int r = 0; r < rows.size(); ++r)
            QCOMPARE(agenda.appointments().cellBackground(r, 1),
                     urgencyColour(rows[r], clock.now()));
    }

    void repaintFollowsTheClock() {
        FakeClock clock(QDateTime(QDate(2026, 3, 6), QTime(23, 59)));
        ScriptedDialogs dialogs;
        Agenda agenda(clock, dialogs, QString());
        ListSelection shown(agenda);
        ListModel& list = agenda.appointments();
        list.replaceAll({{"7/3", "dentista", "0:01", {}}});
        paintUrgencyColours(agenda);
        QCOMPARE(list.cellBackground(0, 0), urgency::kLightGreen);
        clock.advanceSecs(60);
        paintUrgencyColours(agenda);
        QCOMPARE(list.cellBackground(0, 0), urgency::kLightYellow);
        clock.advanceSecs(60);
        paintUrgencyColours(agenda);
        QCOMPARE(list.cellBackground(0, 0), urgency::kLightRed);
    }
};

QTEST_GUILESS_MAIN(ColoursTest)
#include "colours_test.moc"

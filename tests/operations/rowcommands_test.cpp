#include <QtTest/QTest>

#include <functional>

#include "core/agenda.h"
#include "core/listmodel.h"
#include "operations/archive.h"
#include "operations/operations.h"
#include "support/agendarig.h"
#include "support/fakeclock.h"
#include "support/records.h"
#include "support/scripteddialogs.h"
#include "support/tempfolder.h"

namespace {

// Records what the archive command asked to open, and fails as told.
class FakeViewer final : public ArchiveViewer {
  public:
    struct Call {
        QString path;
        QString windowsFolder;
    };
    QList<Call> calls;
    int failuresLeft = 0;
    bool open(const QString& path, const QString& windowsFolder) override {
        calls.append({path, windowsFolder});
        if (failuresLeft == 0) return true;
        --failuresLeft;
        return false;
    }
};

// Answers Yes to every question, after running `meanwhile` once, as a timer
// tick may while a box waits for the user.
class MeanwhileDialogs final : public Dialogs {
  public:
    std::function<void()> meanwhile;
    QStringList texts;
    MsgAnswer message(const QString& text, MsgButtons buttons, MsgIcon,
                      const std::optional<QString>&) override {
        texts << text;
        if (buttons != MsgButtons::YesNo) return MsgAnswer::Ok;
        if (meanwhile) std::exchange(meanwhile, nullptr)();
        return MsgAnswer::Yes;
    }
    QString input(const QString&, const std::optional<QString>&, const QString&) override {
        return {};
    }
};

struct Fixture : AgendaRig {
    using AgendaRig::AgendaRig;
    void appointments(const QList<AgendaEntry>& rows, int current) {
        agenda.appointments().replaceAll(rows);
        shown.setCurrentCell(ListKind::Appointments, current, ListModel::ColMessage);
    }
};

}  // namespace

class RowCommandsTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // ---- delete ----

    void deleteAsksInCapitalsAndSavesOnlyItsList() {
        Fixture f;
        f.agenda.list(ListKind::Deadlines)
            .replaceAll({{"1/4", "Scade caffè", {}, {}}, {"2/4", "Scade bollo", {}, {}}});
        f.shown.selectTab(1);
        f.shown.setCurrentCell(ListKind::Deadlines, 0, 1);
        f.agenda.setListsModified(true);
        f.dialogs.answer(MsgAnswer::Yes);
        deleteEntry(f.agenda, f.shown);

        QCOMPARE(f.dialogs.shown.size(), 1);
        QCOMPARE(f.dialogs.shown[0].text, QStringLiteral("Sicuro di voler eliminare SCADE CAFFÈ"));
        QCOMPARE(f.dialogs.shown[0].buttons, MsgButtons::YesNo);
        QCOMPARE(f.dialogs.shown[0].icon, MsgIcon::None);
        QCOMPARE(f.dialogs.shown[0].title, std::optional<QString>());
        QCOMPARE(f.folder.read("Date.dat"), listFile({{2, 4, "Scade bollo"}}));
        QVERIFY(!f.folder.exists("Ricordel.dat"));
        QVERIFY(!f.folder.exists("Ricorrenze.dat"));
        QVERIFY(!f.agenda.listsModified());
    }

    void deleteAnsweredNoChangesNothing() {
        Fixture f;
        f.appointments({{"7/3", "cena", "", {}}}, 0);
        f.dialogs.answer(MsgAnswer::No);
        deleteEntry(f.agenda, f.shown);
        QCOMPARE(f.agenda.appointments().entry(0).message, QStringLiteral("cena"));
        QVERIFY(!f.folder.exists("Ricordel.dat"));
    }

    // The last entry can be deleted: the list may become empty.
    void deletingTheOnlyEntryLeavesAnEmptyFile() {
        Fixture f;
        f.folder.write("Ricordel.dat", listFile({{7, 3, "cena", ""}}));
        f.appointments({{"7/3", "cena", "", {}}}, 0);
        f.dialogs.answer(MsgAnswer::Yes);
        deleteEntry(f.agenda, f.shown);
        QVERIFY(f.agenda.appointments().isEmpty());
        QVERIFY(f.folder.exists("Ricordel.dat"));
        QCOMPARE(f.folder.read("Ricordel.dat"), QByteArray());
    }

    // The row asked about changed or moved while the question was up: the
    // command changes nothing and says so.
    void rowChangedDuringTheQuestionIsLeftAlone() {
        const QString changed =
            QStringLiteral("La voce è stata cambiata nel frattempo: nessuna modifica effettuata.");
        for (int command = 0; command < 3; ++command) {
            TempFolder folder;
            FakeClock clock(QDateTime(QDate(2026, 3, 7), QTime(10, 0)));
            MeanwhileDialogs dialogs;
            Agenda agenda(clock, dialogs, folder.path());
            ListSelection shown(agenda);
            ListModel& list = agenda.appointments();
            list.replaceAll({{"7/3", "cena", "20:00", {}}, {"8/3", "pranzo", "13:00", {}}});
            shown.setCurrentCell(ListKind::Appointments, 0, ListModel::ColMessage);
            if (command == 1) {
                // The row above goes: row 0 now holds another entry.
                dialogs.meanwhile = [&] { list.removeAt(0); };
                postponeByMinutes(agenda, shown, 30);
                QCOMPARE(list.entry(0), (AgendaEntry{"8/3", "pranzo", "13:00", {}}));
            } else {
                dialogs.meanwhile = [&] { list.setText(0, ListModel::ColMessage, "cena!"); };
                if (command == 0)
                    deleteEntry(agenda, shown);
                else
                    archiveEntry(agenda, shown);
                QCOMPARE(list.entryCount(), 2);
                QCOMPARE(list.entry(0), (AgendaEntry{"7/3", "cena!", "20:00", {}}));
            }
            QCOMPARE(dialogs.texts.size(), 2);
            QCOMPARE(dialogs.texts[1], changed);
            QVERIFY(!folder.exists("Ricordel.dat"));
            QVERIFY(!folder.exists("Archivio"));
        }
    }

    // The list file cannot be replaced once the row has left the list: the
    // file still holds the entry (and the archive its line), the user is
    // told, and the removal waits for the next save, which the exit offers.
    void failedSaveAfterTheRemovalLosesNoEntry() {
        for (const bool archive : {false, true}) {
            Fixture f;
            // The list file is reached through a link to a file whose name
            // is as long as a name may be: the save's temporary file beside
            // it cannot be named, so the save fails even for root.
            const QString longName = QString(250, u'x');
            const QByteArray bytes = listFile({{7, 3, "cena", ""}, {8, 3, "pranzo", ""}});
            f.folder.write(longName, bytes);
            QVERIFY(QFile::link(longName, f.folder.file("Ricordel.dat")));
            f.appointments({{"7/3", "cena", "", {}}, {"8/3", "pranzo", "", {}}}, 0);
            f.dialogs.answer(MsgAnswer::Yes);
            archive ? archiveEntry(f.agenda, f.shown) : deleteEntry(f.agenda, f.shown);

            QCOMPARE(f.dialogs.shown.size(), 2);
            QVERIFY2(
                f.dialogs.shown[1].text.startsWith("Impossibile salvare il file \"Ricordel.dat\""),
                qPrintable(f.dialogs.shown[1].text));
            QCOMPARE(f.folder.read("Ricordel.dat"), bytes);
            QCOMPARE(f.folder.exists("Archivio/2026.txt"), archive);
            if (archive)
                QCOMPARE(f.folder.read("Archivio/2026.txt"), listFile({{7, 3, "cena", ""}}));
            QCOMPARE(f.agenda.appointments().entryCount(), 1);
            QVERIFY(f.agenda.listsModified());
        }
    }

    void rowCommandsWithoutACurrentRowAskNothing() {
        Fixture f;
        f.appointments({{"7/3", "cena", "20:00", {}}}, -1);
        deleteEntry(f.agenda, f.shown);
        postponeByMinutes(f.agenda, f.shown, 30);
        postponeByDays(f.agenda, f.shown, 1);
        archiveEntry(f.agenda, f.shown);
        f.agenda.appointments().clear();
        deleteEntry(f.agenda, f.shown);
        archiveEntry(f.agenda, f.shown);
        QVERIFY(f.dialogs.shown.isEmpty());
        QVERIFY(!f.folder.exists("Ricordel.dat"));
        QVERIFY(!f.folder.exists("Archivio"));
    }

    // ---- postpone ----

    void postponeTable_data() {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::addColumn<int>("minutes");  // 0: a day step of `days`
        QTest::addColumn<int>("days");
        QTest::addColumn<QString>("newDate");
        QTest::addColumn<QString>("newTime");
        const QDate y2026(2026, 6, 1), y2028(2028, 6, 1);
        QTest::newRow("23:45 + 1/2 h") << y2026 << "7/12"
                                       << "23:45" << 30 << 0 << "8/12"
                                       << "00:15";
        QTest::newRow("31/12 23:30 + 1 h") << y2026 << "31/12"
                                           << "23:30" << 60 << 0 << "1/1"
                                           << "00:30";
        QTest::newRow("9:05 padded") << y2026 << "7/12"
                                     << "9:05" << 30 << 0 << "7/12"
                                     << "09:35";
        QTest::newRow("14.30 + 1 h") << y2026 << "7/3"
                                     << "14.30" << 60 << 0 << "7/3"
                                     << "15:30";
        QTest::newRow("week over the year") << y2026 << "28/12"
                                            << "" << 0 << 7 << "4/1"
                                            << "";
        QTest::newRow("month from December") << y2026 << "15/12"
                                             << "8:00" << 0 << 30 << "15/1"
                                             << "8:00";
        QTest::newRow("month from 29/1") << y2026 << "29/1"
                                         << "" << 0 << 30 << "28/2"
                                         << "";
        QTest::newRow("month from 29/1, leap") << y2028 << "29/1"
                                               << "" << 0 << 30 << "28/2"
                                               << "";
        QTest::newRow("month from 31/1") << y2026 << "31/1"
                                         << "" << 0 << 30 << "28/2"
                                         << "";
        QTest::newRow("month from 30/1, leap") << y2028 << "30/1"
                                               << "" << 0 << 30 << "28/2"
                                               << "";
        QTest::newRow("month from 31/3") << y2026 << "31/3"
                                         << "" << 0 << 30 << "30/4"
                                         << "";
        QTest::newRow("month from 31/12") << y2026 << "31/12"
                                          << "" << 0 << 30 << "31/1"
                                          << "";
        QTest::newRow("day from 28/2") << y2026 << "28/2"
                                       << "9:00" << 0 << 1 << "1/3"
                                       << "9:00";
        QTest::newRow("day to 29/2, leap") << y2028 << "28/2"
                                           << "" << 0 << 1 << "29/2"
                                           << "";
    }
    void postponeTable() {
        QFETCH(QDate, today);
        QFETCH(QString, date);
        QFETCH(QString, time);
        QFETCH(int, minutes);
        QFETCH(int, days);
        QFETCH(QString, newDate);
        QFETCH(QString, newTime);
        Fixture f(QDateTime(today, QTime(10, 0)));
        f.appointments({{date, "visita", time, {}}}, 0);
        f.shown.selectTab(2);
        f.dialogs.answer(MsgAnswer::Yes);
        if (minutes > 0)
            postponeByMinutes(f.agenda, f.shown, minutes);
        else
            postponeByDays(f.agenda, f.shown, days);

        QCOMPARE(f.dialogs.shown.size(), 1);
        QCOMPARE(f.dialogs.shown[0].text, date + QStringLiteral(" - visita"));
        QCOMPARE(f.dialogs.shown[0].icon, MsgIcon::Question);
        QCOMPARE(f.dialogs.shown[0].title, std::optional<QString>("CONFERMA SPOSTAMENTO"));
        const AgendaEntry moved = f.agenda.appointments().entry(0);
        QCOMPARE(moved.date, newDate);
        QCOMPARE(moved.time, newTime);
        // Saved through the save command, which ends on the tab it started on.
        const QStringList dm = newDate.split(u'/');
        QCOMPARE(
            f.folder.read("Ricordel.dat"),
            QStringLiteral("%1,%2,\"visita\",\"%3\"\r\n").arg(dm[0], dm[1], newTime).toLatin1());
        QCOMPARE(f.shown.currentTab(), 2);
    }

    void postponeRefusals() {
        Fixture f;
        f.appointments({{"7/3", "senza ora", " ", {}},
                        {"31/4", "data", "9:00", {}},
                        {"7/3", "ora", "sera", {}}},
                       0);
        postponeByMinutes(f.agenda, f.shown, 30);
        f.shown.setCurrentCell(ListKind::Appointments, 1, 1);
        postponeByMinutes(f.agenda, f.shown, 30);
        postponeByDays(f.agenda, f.shown, 7);
        f.shown.setCurrentCell(ListKind::Appointments, 2, 1);
        postponeByMinutes(f.agenda, f.shown, 60);
        QCOMPARE(f.dialogs.texts(), QStringList({"Nessun ORARIO impostato", "Data non valida",
                                                 "Data non valida", "Orario non valido"}));
        QCOMPARE(f.dialogs.shown[0].title, std::optional<QString>("Avviso"));
        QCOMPARE(f.dialogs.shown[0].icon, MsgIcon::Exclamation);
        QVERIFY(!f.folder.exists("Ricordel.dat"));

        // No to the question changes nothing, for both kinds of step.
        f.agenda.appointments().setText(0, ListModel::ColTime, "9:00");
        f.dialogs.shown.clear();
        f.shown.setCurrentCell(ListKind::Appointments, 0, 1);
        f.dialogs.answer(MsgAnswer::No);
        postponeByDays(f.agenda, f.shown, 1);
        f.dialogs.answer(MsgAnswer::No);
        postponeByMinutes(f.agenda, f.shown, 30);
        QCOMPARE(f.dialogs.shown.size(), 2);
        QCOMPARE(f.agenda.appointments().entry(0), (AgendaEntry{"7/3", "senza ora", "9:00", {}}));
        QVERIFY(!f.folder.exists("Ricordel.dat"));
    }

    // The minute repaint once moved the current row to the last one, so the
    // next postpone changed an entry the user had not chosen.
    void postponeActsOnTheChosenRowAfterARepaint() {
        Fixture f;
        f.agenda.settings().sortAscending = true;
        f.appointments({{"1/3", "scelto", "9:00", {}}, {"9/3", "ultimo", "9:00", {}}}, 0);
        paintUrgencyColours(f.agenda);
        f.dialogs.answer(MsgAnswer::Yes);
        postponeByDays(f.agenda, f.shown, 7);
        QCOMPARE(f.dialogs.shown[0].text, QStringLiteral("1/3 - scelto"));
        QCOMPARE(f.folder.read("Ricordel.dat"),
                 listFile({{8, 3, "scelto", "9:00"}, {9, 3, "ultimo", "9:00"}}));
    }

    // ---- archive ----

    void archiveLinesAreByteExactAndAppended() {
        Fixture f(QDateTime(QDate(2027, 1, 3), QTime(10, 0)));
        f.folder.write("Ricordel.dat", "junk that the save replaces");
        f.appointments({{"28/12", "cena caffè", "20:30", {}},
                        {"5/1", "medico", "", {}},
                        {"6/1", "bis", "", {}}},
                       0);
        f.dialogs.answer(MsgAnswer::Yes);
        archiveEntry(f.agenda, f.shown);
        QCOMPARE(f.dialogs.shown[0].text, QStringLiteral("28/12 - cena caffè"));
        QCOMPARE(f.dialogs.shown[0].buttons, MsgButtons::YesNo);
        QCOMPARE(f.dialogs.shown[0].icon, MsgIcon::Question);
        QCOMPARE(f.dialogs.shown[0].title, std::optional<QString>("CONFERMA ARCHIVIAZIONE"));
        // The year of archiving, not a year of the entry.
        QVERIFY(!f.folder.exists("Archivio/2026.txt"));
        QCOMPARE(f.folder.read("Archivio/2027.txt"),
                 QByteArray("28,12,\"cena caff\xe8\",\"20:30\"\r\n"));

        // A quote typed in place is written as it stands; an empty time is "".
        f.agenda.appointments().setText(0, ListModel::ColMessage, "medico \"Rossi\"");
        f.dialogs.answer(MsgAnswer::Yes);
        archiveEntry(f.agenda, f.shown);
        f.dialogs.answer(MsgAnswer::No);
        archiveEntry(f.agenda, f.shown);
        QCOMPARE(
            f.folder.read("Archivio/2027.txt"),
            QByteArray("28,12,\"cena caff\xe8\",\"20:30\"\r\n5,1,\"medico \"Rossi\"\",\"\"\r\n"));
        QCOMPARE(f.folder.read("Ricordel.dat"), listFile({{6, 1, "bis", ""}}));
    }

    void archivingTheOnlyEntryTwiceGivesTwoLines() {
        Fixture f;
        // The popup acts on the appointments whatever tab is on show, and
        // their file is the one written.
        f.shown.selectTab(1);
        for (int i = 0; i < 2; ++i) {
            f.appointments({{"7/3", "cena", "", {}}}, 0);
            f.dialogs.answer(MsgAnswer::Yes);
            archiveEntry(f.agenda, f.shown);
            QVERIFY(f.agenda.appointments().isEmpty());
            QVERIFY(f.folder.exists("Ricordel.dat"));
            QCOMPARE(f.folder.read("Ricordel.dat"), QByteArray());
        }
        QVERIFY(!f.folder.exists("Date.dat"));
        QCOMPARE(f.shown.currentTab(), 1);
        QCOMPARE(f.folder.read("Archivio/2026.txt"),
                 listFile({{7, 3, "cena", ""}, {7, 3, "cena", ""}}));
    }

    void archiveThatCannotBeWrittenKeepsTheEntry() {
        Fixture f;
        f.folder.write("Archivio", "a file where the folder should be");
        f.folder.write("Ricordel.dat", listFile({{7, 3, "cena", ""}}));
        f.appointments({{"7/3", "cena", "", {}}}, 0);
        f.dialogs.answer(MsgAnswer::Yes);
        archiveEntry(f.agenda, f.shown);
        QCOMPARE(f.dialogs.shown.size(), 2);
        QCOMPARE(f.dialogs.shown[1].icon, MsgIcon::Critical);
        QCOMPARE(f.agenda.appointments().entryCount(), 1);
        QCOMPARE(f.folder.read("Ricordel.dat"), listFile({{7, 3, "cena", ""}}));
    }

    void openArchiveStartsTheViewer_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("opened");  // empty: nothing opened
        QTest::addColumn<QString>("message");
        QTest::newRow("year followed by letters") << "2026abc"
                                                  << "Archivio/2026.txt"
                                                  << "";
        QTest::newRow("missing year") << "2025"
                                      << ""
                                      << "Archivio Anno 2025 non esistente";
        QTest::newRow("not a number") << "abc"
                                      << ""
                                      << "Archivio Anno 0 non esistente";
        QTest::newRow("beyond 16 bits") << "99999"
                                        << ""
                                        << "Archivio Anno 99999 non esistente";
        QTest::newRow("rounded") << "2025.6"
                                 << "Archivio/2026.txt"
                                 << "";
        QTest::newRow("cancel") << ""
                                << ""
                                << "";
    }
    void openArchiveStartsTheViewer() {
        QFETCH(QString, answer);
        QFETCH(QString, opened);
        QFETCH(QString, message);
        Fixture f;
        QDir(f.folder.path()).mkdir("Archivio");
        f.folder.write("Archivio/2026.txt", listFile({{7, 3, "cena", ""}}));
        qputenv("SystemRoot", "C:\\WINDOWS");
        FakeViewer viewer;
        f.dialogs.type(answer);
        openArchive(f.agenda, viewer);

        QCOMPARE(f.dialogs.shown[0].text, QStringLiteral("Anno ?"));
        QCOMPARE(f.dialogs.shown[0].title, std::optional<QString>("Apertura Archivio"));
        QCOMPARE(f.dialogs.shown[0].defaultText, QStringLiteral("2026"));
        if (opened.isEmpty()) {
            QVERIFY(viewer.calls.isEmpty());
        } else {
            QCOMPARE(viewer.calls.size(), 1);
            QCOMPARE(viewer.calls[0].path, f.folder.file(opened));  // never the current folder's
            QCOMPARE(viewer.calls[0].windowsFolder, QStringLiteral("C:\\WINDOWS"));
        }
        if (message.isEmpty()) {
            QCOMPARE(f.dialogs.shown.size(), 1);
        } else {
            QCOMPARE(f.dialogs.shown.size(), 2);
            QCOMPARE(f.dialogs.shown[1].text, message);
            QCOMPARE(f.dialogs.shown[1].icon, MsgIcon::Exclamation);
            QCOMPARE(f.dialogs.shown[1].title, std::optional<QString>(QString()));
        }
    }

    void viewerFallsBackOnceThenSaysSo() {
        Fixture f;
        QDir(f.folder.path()).mkdir("Archivio");
        f.folder.write("Archivio/2026.txt", "");
        qputenv("SystemRoot", "D:\\NOWIN");
        FakeViewer viewer;
        viewer.failuresLeft = 1;
        f.dialogs.type("2026");
        openArchive(f.agenda, viewer);
        QCOMPARE(viewer.calls.size(), 2);
        QCOMPARE(viewer.calls[1].windowsFolder, QStringLiteral("c:\\windows"));
        QCOMPARE(f.dialogs.shown.size(), 1);

        viewer.calls.clear();
        viewer.failuresLeft = 2;
        f.dialogs.type("2026");
        openArchive(f.agenda, viewer);
        QCOMPARE(viewer.calls.size(), 2);
        QCOMPARE(viewer.calls[0].windowsFolder, QStringLiteral("D:\\NOWIN"));
        QCOMPARE(viewer.calls[1].windowsFolder, QStringLiteral("c:\\windows"));
        QCOMPARE(f.dialogs.shown.size(), 3);
        QVERIFY(f.dialogs.shown[2].text.contains("Archivio"));
        QCOMPARE(f.dialogs.shown[2].buttons, MsgButtons::Ok);
    }
};

QTEST_GUILESS_MAIN(RowCommandsTest)
#include "rowcommands_test.moc"

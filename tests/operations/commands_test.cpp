#include <QDir>
#include <QSignalSpy>
#include <QtTest/QTest>

#include "core/agenda.h"
#include "core/listmodel.h"
#include "operations/colours.h"
#include "operations/operations.h"
#include "support/agendarig.h"
#include "support/fakeclock.h"
#include "support/records.h"
#include "support/scripteddialogs.h"
#include "support/tempfolder.h"

namespace {

struct Fixture : AgendaRig {
    Fixture() {
        agenda.appointments().replaceAll(
            {{"9/3", "tardi", "", "1"}, {"7/3", "oggi", "8:00", "2"}, {"8/3", "domani", "", "3"}});
        agenda.list(ListKind::Deadlines)
            .replaceAll({{"20/3", "Scade b", "", {}}, {"1/3", "Scade a", "", {}}});
        agenda.list(ListKind::Anniversaries)
            .replaceAll({{"2/2", "E' il Compleanno di Ugo", "", {}}});
    }
};

const QByteArray kSortedRising =
    listFile({{7, 3, "oggi", "8:00"}, {8, 3, "domani", ""}, {9, 3, "tardi", ""}});
const QByteArray kDeadlinesAsShown = listFile({{20, 3, "Scade b"}, {1, 3, "Scade a"}});
const QByteArray kAnniversaries = listFile({{2, 2, "E' il Compleanno di Ugo"}});

}  // namespace

class CommandsTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void saveWritesAllThreeAndEndsOnItsTab() {
        Fixture f;
        f.agenda.settings().sortAscending = true;
        f.shown.selectTab(2);
        f.agenda.setListsModified(true);
        QSignalSpy tabs(&f.shown, &ListSelection::currentTabChanged);
        QVERIFY(saveAll(f.agenda, &f.shown));

        QCOMPARE(f.folder.read("Ricordel.dat"), kSortedRising);
        QCOMPARE(f.folder.read("Date.dat"), kDeadlinesAsShown);
        QCOMPARE(f.folder.read("Ricorrenze.dat"), kAnniversaries);
        QCOMPARE(f.shown.currentTab(), 2);
        QCOMPARE(f.shown.currentKind(), ListKind::Anniversaries);
        QCOMPARE(tabs.size(), 1);  // ends as a click on the tab it was on
        QVERIFY(!f.agenda.listsModified());
        const ListModel& appointments = f.agenda.appointments();
        QCOMPARE(appointments.cellBackground(0, 0), urgency::kLightRed);
        QCOMPARE(appointments.cellBackground(1, 0), urgency::kLightGreen);
        QCOMPARE(appointments.cellBackground(2, 0), urgency::kWhite);
        QCOMPARE(appointments.text(0, ListModel::ColId), QStringLiteral("1"));
        QVERIFY(f.dialogs.shown.isEmpty());
    }

    void failedSaveKeepsTheEditsOfferedOnExit() {
        Fixture f;
        QDir(f.folder.path()).mkdir("Date.dat");
        f.agenda.setListsModified(true);
        QVERIFY(!saveAll(f.agenda, &f.shown));
        QCOMPARE(f.dialogs.shown.size(), 1);
        QCOMPARE(f.dialogs.shown[0].title, std::optional<QString>("Errore"));
        QVERIFY(f.agenda.listsModified());
        QCOMPARE(f.folder.read("Ricorrenze.dat"), kAnniversaries);
    }

    void exitWithoutEditsAsksNothing() {
        Fixture f;
        askToSaveOnExit(f.agenda, f.shown);
        QVERIFY(f.dialogs.shown.isEmpty());
        QVERIFY(!f.folder.exists("Ricordel.dat"));
    }

    void exitAnsweredNoKeepsTheEdits() {
        Fixture f;
        f.agenda.setListsModified(true);
        f.dialogs.answer(MsgAnswer::No);
        askToSaveOnExit(f.agenda, f.shown);
        QCOMPARE(f.dialogs.shown.size(), 1);
        QCOMPARE(f.dialogs.shown[0].text, QStringLiteral("Salvare le modifiche effettuate ?"));
        QCOMPARE(f.dialogs.shown[0].buttons, MsgButtons::YesNo);
        QCOMPARE(f.dialogs.shown[0].icon, MsgIcon::Question);
        QCOMPARE(f.dialogs.shown[0].title, std::optional<QString>(QString()));
        QVERIFY(f.agenda.listsModified());
        QVERIFY(!f.folder.exists("Ricordel.dat"));
        QVERIFY(!f.folder.exists("Date.dat"));

        f.dialogs.answer(MsgAnswer::No);
        askToSaveOnExit(f.agenda, f.shown);
        QCOMPARE(f.dialogs.shown.size(), 2);  // asked again
    }

    void exitAnsweredYesSavesAllOnTheAppointmentsTab() {
        Fixture f;
        f.agenda.settings().sortAscending = true;
        f.shown.selectTab(1);
        f.agenda.setListsModified(true);
        f.dialogs.answer(MsgAnswer::Yes);
        askToSaveOnExit(f.agenda, f.shown);
        QCOMPARE(f.folder.read("Ricordel.dat"), kSortedRising);
        QCOMPARE(f.folder.read("Date.dat"), kDeadlinesAsShown);
        QCOMPARE(f.folder.read("Ricorrenze.dat"), kAnniversaries);
        QCOMPARE(f.shown.currentTab(), 0);
        QVERIFY(!f.agenda.listsModified());
    }

    void orderCommandStoresTheSettingAndResorts() {
        Fixture f;
        f.agenda.settings().sortAscending = true;
        QVERIFY(saveAll(f.agenda, &f.shown));
        setSortOrder(f.agenda, false, &f.shown);
        QVERIFY(!f.agenda.settings().sortAscending);
        QCOMPARE(f.folder.read("Ricordel.dat"),
                 listFile({{9, 3, "tardi", ""}, {8, 3, "domani", ""}, {7, 3, "oggi", "8:00"}}));

        Settings stored;
        stored.sortAscending = true;
        parseSettings(f.folder.read("Ricordel.ini"), stored);
        QVERIFY(!stored.sortAscending);

        setSortOrder(f.agenda, true, &f.shown);
        QCOMPARE(f.folder.read("Ricordel.dat"), kSortedRising);
        parseSettings(f.folder.read("Ricordel.ini"), stored);
        QVERIFY(stored.sortAscending);
    }
};

QTEST_GUILESS_MAIN(CommandsTest)
#include "commands_test.moc"

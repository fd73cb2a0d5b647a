// The clock in the main window's title: it counts the seconds of each minute,
// and once a minute the urgency colours follow the date.
#include <QtTest/QTest>

#include "operations/colours.h"
#include "support/notifierrig.h"

class CaptionClockTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void titleCountsSecondsAndColoursFollowTheDate();
};

void CaptionClockTest::titleCountsSecondsAndColoursFollowTheDate() {
    NotifierRig rig;  // 7 March, 8:00
    rig.files("", "8,3,\"Domani\",\"\"\r\n", "");
    rig.app->load();
    QVERIFY(rig.app->caption().timer()->isActive());
    QCOMPARE(rig.app->caption().timer()->interval(), 1000);
    const ListModel& appointments = rig.agenda().appointments();
    QCOMPARE(appointments.cellBackground(0, 0), urgency::kLightGreen);

    // Midnight passes: the title goes on counting, the colour waits for the
    // minute's end, then the entry is due today.
    rig.clock.advanceSecs(16 * 3600);
    for (int second = 0; second <= 59; ++second) {
        rig.app->caption().tick();
        QVERIFY2(rig.mainWindow().windowTitle().startsWith(QStringLiteral("Ricordel by Tobrani")),
                 qPrintable(rig.mainWindow().windowTitle()));
        QVERIFY(rig.mainWindow().windowTitle().endsWith(QStringLiteral(" (%1)").arg(second)));
    }
    QCOMPARE(appointments.cellBackground(0, 0), urgency::kLightGreen);
    rig.app->caption().tick();
    QVERIFY(rig.mainWindow().windowTitle().endsWith(QStringLiteral(" (60)")));
    QCOMPARE(appointments.cellBackground(0, 0), urgency::kLightYellow);
    rig.app->caption().tick();
    QVERIFY(rig.mainWindow().windowTitle().endsWith(QStringLiteral(" (1)")));
}

QTEST_MAIN(CaptionClockTest)
#include "captionclock_test.moc"

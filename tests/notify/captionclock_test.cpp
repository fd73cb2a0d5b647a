// The clock in the main window's title: the seconds it counts and the
// repaint of the urgency colours once a minute.
#include <QSignalSpy>
#include <QTimer>
#include <QWidget>
#include <QtTest/QTest>

#include "core/version.h"
#include "notify/captionclock.h"

class CaptionClockTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void countsTheSecondsAndRepaintsEachMinute();
};

void CaptionClockTest::countsTheSecondsAndRepaintsEachMinute() {
    const auto caption = [](int ticks) {
        return QStringLiteral("Ricordel by Tobrani - Versione " RICORDEL_VERSION_TEXT " (%1)")
            .arg(ticks);
    };
    QWidget mainWindow;
    CaptionClock clock(&mainWindow);
    QSignalSpy repaints(&clock, &CaptionClock::repaintColoursRequested);
    clock.tick();
    QCOMPARE(mainWindow.windowTitle(), caption(0));
    for (int i = 1; i <= 59; ++i) clock.tick();
    QCOMPARE(mainWindow.windowTitle(), caption(59));
    QCOMPARE(repaints.count(), 0);
    clock.tick();
    QCOMPARE(mainWindow.windowTitle(), caption(60));
    QCOMPARE(repaints.count(), 1);  // the tick that shows 60 repaints
    clock.tick();
    QCOMPARE(mainWindow.windowTitle(), caption(1));
    for (int i = 2; i <= 60; ++i) clock.tick();
    QCOMPARE(repaints.count(), 2);
    clock.start();
    QCOMPARE(clock.timer()->interval(), 1000);
    QVERIFY(clock.timer()->isActive());
}

QTEST_MAIN(CaptionClockTest)
#include "captionclock_test.moc"

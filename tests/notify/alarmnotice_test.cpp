// The desktop notice that goes with the alarm window: what is posted, when it
// is updated and withdrawn, and what its actions and its dismissal do to the
// window, through the notifier's real alarm window with a fake service.
#include <QApplication>
#include <QPlainTextEdit>
#include <QtTest/QTest>

#include "notify/alarmwindow.h"
#include "notify/logic/alarmnotice.h"
#include "notify/systemnotifications.h"
#include "support/fakenotifications.h"
#include "support/notifierrig.h"

namespace {

QDateTime at(int h, int m) {
    return QDateTime(QDate(2026, 3, 7), QTime(h, m, 0));
}

struct Notices {
    FakeNotifications notices;
};

// A notifier whose alarm window posts to a fake notification service.
struct NoticeRig : Notices, NotifierRig {
    NoticeRig() : NotifierRig({.start = at(9, 0), .notifications = &notices}) {
        folder.write("allarme.wav", "RIFF");
        agenda().settings().alarmSound = folder.file("allarme.wav");
    }
    void tickAt(const QDateTime& t) {
        clock.set(t);
        app->alarms().checkAlarms();
    }
    const FakeNotifications::Call& last() const { return notices.calls.last(); }
};

}  // namespace

class AlarmNoticeTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void followsTheAlarmWindow();
    void actionsAndDismissal();
    void warningsAreNormalAndRipetiSnoozes();
    void balloonsWhereTheTrayShowsThem();
};

void AlarmNoticeTest::followsTheAlarmWindow() {
    NoticeRig rig;
    rig.folder.write("Ricordel.dat",
                     "7,3,\"Dentista & co\",\"9:05\"\r\n7,3,\"Riunione\",\"10:30\"\r\n");
    // Caught up late (after a sleep): the summary and the line carry the due time.
    rig.tickAt(at(9, 12));
    QCOMPARE(rig.notices.trail(), QStringList{"post 1"});
    const DesktopNotice& posted = rig.last().notice;
    QCOMPARE(posted.summary, "Ricordel - ore 9:05");
    QCOMPARE(posted.body, "(ore 9:05) Dentista & co");
    QCOMPARE(posted.urgency, 2);
    QCOMPARE(posted.actions, QList<DesktopNotice::Action>({{"default", "Apri"},
                                                           {"silenzia", "Silenzia"},
                                                           {"ripeti", "Ripeti tra 10 minuti"}}));
    // A later alarm while the window stays open updates the same notice.
    rig.tickAt(at(10, 30));
    QCOMPARE(rig.notices.trail(), QStringList({"post 1", "update 1"}));
    QCOMPARE(rig.last().notice.summary, "Ricordel - ore 9:05");
    QCOMPARE(rig.last().notice.body, "(ore 9:05) Dentista & co\nRiunione");
    // Acknowledging the window by keyboard withdraws it.
    AlarmWindow* siren = rig.app->alarms().alarmWindow();
    QTest::keyClick(siren->findChild<QPlainTextEdit*>("TxtMsg"), Qt::Key_Escape);
    QCOMPARE(rig.notices.trail(), QStringList({"post 1", "update 1", "withdraw 1"}));

    // The test alarm posts a fresh notice; the end of the program withdraws it.
    rig.app->alarms().testAlarm();
    QCOMPARE(rig.last().what, "post");
    QCOMPARE(rig.last().notice.body, "Smack\nto\nZOLE");
    rig.app->lifetime().terminate();
    QCOMPARE(rig.notices.trail().mid(3), QStringList({"post 2", "withdraw 2"}));
}

void AlarmNoticeTest::actionsAndDismissal() {
    NoticeRig rig;
    rig.app->alarms().testAlarm();
    QPointer<AlarmWindow> siren = rig.app->alarms().alarmWindow();
    // Dismissed by the user: the window keeps ringing, and its next line
    // posts a notice anew.
    rig.notices.dismiss(1);
    QVERIFY(rig.app->alarms().alarmWindow());
    QCOMPARE(rig.sounds->playing().size(), 1);
    rig.app->alarms().testAlarm();
    QCOMPARE(rig.notices.trail(), QStringList({"post 1", "post 2"}));

    // A click on the notice brings the window back in front.
    siren->hide();
    rig.notices.invoke(2, "default");
    QVERIFY(siren->isVisible());
    // Actions on notices that are not the standing one change nothing.
    rig.notices.invoke(1, "silenzia");
    QVERIFY(rig.app->alarms().alarmWindow());
    // "Silenzia" acknowledges as a click on the text does.
    rig.notices.invoke(2, "silenzia");
    QVERIFY(!rig.app->alarms().alarmWindow());
    QVERIFY(rig.sounds->playing().isEmpty());
    QCOMPARE(rig.notices.trail().last(), "withdraw 2");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(siren.isNull());
}

void AlarmNoticeTest::warningsAreNormalAndRipetiSnoozes() {
    NoticeRig rig;
    rig.folder.write("Ricordel.dat", "7,3,\"Dentista\",\"9:30\"\r\n");
    rig.app->alarms().setWarningMinutes(15);
    rig.tickAt(at(9, 15));
    QCOMPARE(rig.last().notice.urgency, 1);  // a warning alone
    QCOMPARE(rig.last().notice.body, "Tra 15 minuti (ore 9:30): Dentista");
    rig.tickAt(at(9, 30));
    QCOMPARE(rig.notices.trail(), QStringList({"post 1", "update 1"}));
    QCOMPARE(rig.last().notice.urgency, 2);  // a due alarm joined
    // "Ripeti tra 10 minuti" on the notice: the window goes, the lines come
    // back as due alarms ten minutes later.
    rig.notices.invoke(1, "ripeti");
    QVERIFY(!rig.app->alarms().alarmWindow());
    QCOMPARE(rig.notices.trail().last(), "withdraw 1");
    rig.tickAt(at(9, 39));
    QVERIFY(!rig.app->alarms().alarmWindow());
    rig.tickAt(at(9, 40));
    QVERIFY(rig.app->alarms().alarmWindow());
    QCOMPARE(rig.app->alarms().alarmWindow()->text(), "Dentista\r\nDentista");
    QVERIFY(rig.app->alarms().alarmWindow()->isRinging());
}

void AlarmNoticeTest::balloonsWhereTheTrayShowsThem() {
    FakeTray tray;
    TrayBalloonNotifications balloons(&tray);
    const QDateTime due(QDate(2026, 3, 7), QTime(14, 30));
    const DesktopNotice notice = AlarmNotice::noticeFor(
        {{AlarmKind::Due, due, "Dentista"}, {AlarmKind::Due, due, "Riunione"}},
        {"Dentista", "Riunione"});
    balloons.post(notice);  // the icon is not in the notification area
    QVERIFY(tray.messages_.isEmpty());
    tray.show();
    balloons.update(balloons.post(notice), notice);
    QCOMPARE(tray.messages_, QStringList(2, "Ricordel - ore 14:30|Dentista\nRiunione"));
}

QTEST_MAIN(AlarmNoticeTest)
#include "alarmnotice_test.moc"

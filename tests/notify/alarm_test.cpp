// The alarm check: which times ring, which minutes are checked when the
// timer is on time, late or missing and the wall clock jumps either way, and
// what the alarm window shows.
#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>
#include <QtTest/QTest>

#include "core/agenda.h"
#include "fakeclock.h"
#include "fakeplayer.h"
#include "faketray.h"
#include "notify/formsiren.h"
#include "notify/logic/alarm.h"
#include "notify/logic/scheduler.h"
#include "notify/notifier.h"
#include "scripteddialogs.h"
#include "tempfolder.h"

namespace {

using Minute = MinuteScheduler::Minute;

QDateTime at(int h, int m, int s = 0, QDate day = QDate(2026, 3, 7)) {
    return QDateTime(day, QTime(h, m, s));
}

QStringList times(const QList<Minute>& minutes) {
    QStringList out;
    for (const Minute& m : minutes) out << m.day.toString(u"d/M ") + m.time.toString(u"H:mm");
    return out;
}

ListRecord appointment(int day, int month, const QString& message, const QString& time) {
    ListRecord r;
    r.day = static_cast<qint16>(day);
    r.month = static_cast<qint16>(month);
    r.message = message;
    r.time = time;
    return r;
}

// A notifier over a temporary folder with a fake clock, player and tray.
struct AlarmRig {
    TempCurrentFolder folder;
    FakeClock clock{at(9, 0, 30)};
    ScriptedDialogs dialogs;
    Agenda agenda{clock, dialogs};
    QWidget mainWindow;
    FakeTray tray;
    std::shared_ptr<PlayerLog> sounds = std::make_shared<PlayerLog>();
    std::unique_ptr<Notifier> notifier;

    AlarmRig() {
        agenda.settings().Suono4 = folder.file("allarme.wav");
        folder.write("allarme.wav", "RIFF");
        startAt(clock.now());
    }
    // The program starts (again) with the clock at `t`.
    void startAt(const QDateTime& t) {
        clock.set(t);
        notifier = std::make_unique<Notifier>(
            agenda, &mainWindow,
            NotifierServices{&clock, &dialogs, FakePlayerFactory(sounds), &tray, nullptr});
    }
    void appointments(const QByteArray& bytes) { folder.write("Ricordel.dat", bytes); }
    // The clock moves to the time and the alarm tick comes.
    void tickAt(const QDateTime& t) {
        clock.set(t);
        notifier->Timer1_Timer();
    }
    QStringList lines() const {
        FormSiren* siren = notifier->Siren();
        return siren ? siren->Text().split(QStringLiteral("\r\n")) : QStringList();
    }
};

}  // namespace

class AlarmTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void timesReadAsTimesOfDay();
    void dueAlarmsKeepFileOrderAndSkipUndated();
    void schedulerChecksEveryMinuteOnce();
    void schedulerRingsEachAlarmOnceADay();
    void schedulerAcrossDays();
    void schedulerWaitsForTheNextMinuteBoundary();
    void ringsOnceAtItsMinuteWithOnTimeTicks();
    void lateTickAndSleepCatchUpInOrder();
    void clockJumpsRingWhatHasNotRung();
    void repeatedAutumnHourRingsOnce();
    void twoAppointmentsInOneMinuteGiveTwoLines();
    void alarmBringsTheMainWindowBack();
    void fileChangesAreSeenByTheNextTick();
    void missingFileIsQuiet();
};

void AlarmTest::timesReadAsTimesOfDay() {
    const QTime nineOhFive(9, 5);
    QVERIFY(TimeRingsAt("9:05", nineOhFive));
    QVERIFY(TimeRingsAt("09:05", nineOhFive));  // postponed times carry two-digit hours
    QVERIFY(TimeRingsAt("9.05", nineOhFive));
    QVERIFY(TimeRingsAt(" 9:05 ", nineOhFive));
    QVERIFY(TimeRingsAt("0:00", QTime(0, 0)));
    QVERIFY(TimeRingsAt("23:59", QTime(23, 59, 59)));
    QVERIFY(!TimeRingsAt("9:5", nineOhFive));
    QVERIFY(!TimeRingsAt("9:06", nineOhFive));
    QVERIFY(!TimeRingsAt("21:05", nineOhFive));
    QVERIFY(!TimeRingsAt("24:00", QTime(0, 0)));
    QVERIFY(!TimeRingsAt("9:60", QTime(10, 0)));
    QVERIFY(!TimeRingsAt("", QTime(0, 0)));
    QVERIFY(!TimeRingsAt("nove", nineOhFive));
    QVERIFY(!TimeRingsAt("9:05:00", nineOhFive));
}

void AlarmTest::dueAlarmsKeepFileOrderAndSkipUndated() {
    const QList<ListRecord> records{
        appointment(7, 3, "Primo", "14:30"),           appointment(7, 3, "Senza ora", ""),
        appointment(0, 0, "Data non valida", "14:30"), appointment(29, 2, "Bisestile", "14:30"),
        appointment(8, 3, "Domani", "14:30"),          appointment(7, 3, "Secondo", "14.30"),
        appointment(7, 3, "Altra ora", "14:31"),
    };
    QCOMPARE(DueAlarms(records, QDate(2026, 3, 7), QTime(14, 30, 45)),
             QStringList({"Primo", "Secondo"}));
    QCOMPARE(DueAlarms(records, QDate(2026, 3, 8), QTime(14, 30)), QStringList({"Domani"}));
    // The year is not stored: the same day of another year rings too.
    QCOMPARE(DueAlarms(records, QDate(2027, 3, 7), QTime(14, 31)), QStringList({"Altra ora"}));
    // 29 February has a date only in leap years.
    QCOMPARE(DueAlarms(records, QDate(2028, 2, 29), QTime(14, 30)), QStringList({"Bisestile"}));
    QVERIFY(DueAlarms(records, QDate(2026, 3, 1), QTime(14, 30)).isEmpty());
}

void AlarmTest::schedulerChecksEveryMinuteOnce() {
    MinuteScheduler s;
    s.Seed(at(9, 0, 30));
    QVERIFY(!s.CheckDue(at(9, 0, 59)));
    QVERIFY(s.MinutesToCheck(at(9, 0, 59)).isEmpty());  // the start-up minute never
    QVERIFY(s.CheckDue(at(9, 1, 0)));
    QCOMPARE(times(s.MinutesToCheck(at(9, 1, 0))), QStringList{"7/3 9:01"});
    QVERIFY(!s.CheckDue(at(9, 1, 40)));
    QVERIFY(s.MinutesToCheck(at(9, 1, 40)).isEmpty());  // an early or extra tick
    // A tick that comes late, or never, leaves nothing out.
    QCOMPARE(times(s.MinutesToCheck(at(9, 4, 2))),
             QStringList({"7/3 9:02", "7/3 9:03", "7/3 9:04"}));
    // Clock set forward within the day: the minutes in between are caught up.
    QCOMPARE(s.MinutesToCheck(at(11, 4, 0)).size(), 120);
    // Clock set back: the minute reached is open again, and so is each later one.
    QVERIFY(s.CheckDue(at(10, 30, 0)));
    QCOMPARE(times(s.MinutesToCheck(at(10, 30, 0))), QStringList{"7/3 10:30"});
    QCOMPARE(times(s.MinutesToCheck(at(10, 31, 5))), QStringList{"7/3 10:31"});
}

void AlarmTest::schedulerRingsEachAlarmOnceADay() {
    MinuteScheduler s;
    const Minute twoThirty{QDate(2026, 10, 25), QTime(2, 30)};
    // Two identical records of one minute ring together, and never again that day.
    QCOMPARE(s.TakeNotYetRung(twoThirty, {"Treno", "Treno", "Taxi"}),
             QStringList({"Treno", "Treno", "Taxi"}));
    QCOMPARE(s.TakeNotYetRung(twoThirty, {"Treno", "Taxi", "Nuovo"}), QStringList{"Nuovo"});
    // The same message at another minute, or on another day, is another alarm.
    QCOMPARE(s.TakeNotYetRung({twoThirty.day, QTime(2, 31)}, {"Treno"}), QStringList{"Treno"});
    QCOMPARE(s.TakeNotYetRung({twoThirty.day.addDays(1), QTime(2, 30)}, {"Treno"}),
             QStringList{"Treno"});
}

void AlarmTest::schedulerAcrossDays() {
    MinuteScheduler s;
    s.Seed(at(23, 58, 10));
    // The late tick after midnight: yesterday's 23:59 is past, today's
    // first minutes are checked.
    QCOMPARE(times(s.MinutesToCheck(at(0, 1, 5, QDate(2026, 3, 8)))),
             QStringList({"8/3 0:00", "8/3 0:01"}));
    // Waking two days later: only that day's minutes, never the days before.
    const QList<Minute> wake = s.MinutesToCheck(at(0, 2, 0, QDate(2026, 3, 10)));
    QCOMPARE(times(wake), QStringList({"10/3 0:00", "10/3 0:01", "10/3 0:02"}));
    // The date set back: the minutes from there on are open again.
    QCOMPARE(times(s.MinutesToCheck(at(12, 0, 0, QDate(2026, 3, 9)))), QStringList{"9/3 12:00"});
    QCOMPARE(times(s.MinutesToCheck(at(12, 1, 0, QDate(2026, 3, 9)))), QStringList{"9/3 12:01"});
}

void AlarmTest::schedulerWaitsForTheNextMinuteBoundary() {
    const int delay = MinuteScheduler::MsecsToNextMinute(at(9, 0, 59).addMSecs(400));
    QVERIFY2(delay > 600 && delay < 1000, qPrintable(QString::number(delay)));
    const int fromBoundary = MinuteScheduler::MsecsToNextMinute(at(9, 1, 0));
    QVERIFY(fromBoundary > 60000 && fromBoundary < 61000);
    // Wherever the timer lands, the next check falls within a second of the boundary.
    QDateTime t = at(9, 1, 17).addMSecs(250);
    t = t.addMSecs(MinuteScheduler::MsecsToNextMinute(t));
    QCOMPARE(t.time().minute(), 2);
    QVERIFY(t.time().second() == 0 && t.time().msec() < 1000);
}

void AlarmTest::ringsOnceAtItsMinuteWithOnTimeTicks() {
    AlarmRig rig;
    rig.appointments(
        "7,3,\"Dentista\",\"9:05\"\r\n7,3,\"Postposto\",\"09:06\"\r\n"
        "7,3,\"Senza ora\",\"\"\r\n");
    for (int m = 1; m <= 4; ++m) rig.tickAt(at(9, m, 0));
    QVERIFY(!rig.notifier->Siren());
    rig.tickAt(at(9, 5, 0));
    QVERIFY(rig.notifier->Siren());
    QVERIFY(rig.notifier->Siren()->isVisible());
    QCOMPARE(rig.lines(), QStringList{"Dentista"});
    QCOMPARE(rig.sounds->events.value(0), "play " + rig.folder.file("allarme.wav"));
    rig.tickAt(at(9, 5, 40));  // a second tick in the same minute
    QCOMPARE(rig.lines(), QStringList{"Dentista"});
    rig.tickAt(at(9, 6, 0));  // two-digit hours ring as well
    QCOMPARE(rig.lines(), QStringList({"Dentista", "Postposto"}));
    rig.tickAt(at(9, 7, 0));
    QCOMPARE(rig.lines(), QStringList({"Dentista", "Postposto"}));
}

void AlarmTest::lateTickAndSleepCatchUpInOrder() {
    AlarmRig rig;
    rig.appointments(
        "7,3,\"Tre\",\"9:03\"\r\n7,3,\"Uno\",\"9:01\"\r\n7,3,\"Due\",\"9:02\"\r\n"
        "7,3,\"Dopo il sonno\",\"10:15\"\r\n");
    rig.tickAt(at(9, 3, 4));  // the ticks of 9:01 and 9:02 never came
    QCOMPARE(rig.lines(), QStringList({"Uno", "Due", "Tre"}));
    rig.notifier->Siren()->TxtMsg_Click();
    QVERIFY(!rig.notifier->Siren());
    rig.tickAt(at(10, 20, 0));  // the machine slept through 10:15
    QCOMPARE(rig.lines(), QStringList{"Dopo il sonno"});
}

void AlarmTest::clockJumpsRingWhatHasNotRung() {
    AlarmRig rig;  // starts at 9:00:30
    rig.appointments(
        "7,3,\"Subito\",\"9:00\"\r\n7,3,\"Dopo\",\"9:02\"\r\n"
        "7,3,\"Riunione\",\"9:30\"\r\n7,3,\"Pranzo\",\"12:30\"\r\n");
    rig.notifier->StartTimers();  // the first check runs at once
    QVERIFY(rig.notifier->alarmTimer()->isActive());
    rig.tickAt(at(9, 0, 59));
    QVERIFY(!rig.notifier->Siren());  // the start-up minute does not ring
    // Waking from sleep: the wall clock jumped, the alarm timer is still far
    // off; the caption clock's next second runs the check.
    rig.clock.set(at(9, 40, 3));
    rig.notifier->Timer2_Timer();
    QCOMPARE(rig.lines(), QStringList({"Dopo", "Riunione"}));
    rig.notifier->Siren()->TxtMsg_Click();
    // The same second again costs nothing and rings nothing.
    rig.notifier->Timer2_Timer();
    QVERIFY(!rig.notifier->Siren());
    // Set back by half an hour: 9:30 rang already, nothing rings again.
    rig.clock.set(at(9, 10, 1));
    rig.notifier->Timer2_Timer();
    for (int m = 11; m <= 40; ++m) rig.tickAt(at(9, m, 0));
    QVERIFY(!rig.notifier->Siren());
    // Started while the clock ran two hours fast, then corrected: the
    // appointments of the true hours still ring when they come.
    AlarmRig fast;
    fast.startAt(at(14, 0, 10));
    fast.appointments("7,3,\"Pranzo\",\"12:31\"\r\n7,3,\"Tardi\",\"14:01\"\r\n");
    fast.notifier->StartTimers();
    fast.tickAt(at(12, 30, 2));
    QVERIFY(!fast.notifier->Siren());
    fast.tickAt(at(12, 31, 0));
    QCOMPARE(fast.lines(), QStringList{"Pranzo"});
    for (int m = 32; m <= 60 + 59; ++m) fast.tickAt(at(12 + m / 60, m % 60, 0));
    fast.tickAt(at(14, 1, 0));
    QCOMPARE(fast.lines(), QStringList({"Pranzo", "Tardi"}));
}

void AlarmTest::repeatedAutumnHourRingsOnce() {
    const QDate autumn(2026, 10, 25);
    AlarmRig rig;
    rig.startAt(at(1, 58, 0, autumn));
    rig.appointments("25,10,\"Notte\",\"2:30\"\r\n25,10,\"Alba\",\"3:01\"\r\n");
    // 1:59 to 2:59, then the clock goes from 3:00 back to 2:00 and on to 3:01.
    for (int m = 119; m <= 180; ++m) rig.tickAt(at(m / 60, m % 60, 0, autumn));
    for (int m = 120; m <= 181; ++m) rig.tickAt(at(m / 60, m % 60, 0, autumn));
    QCOMPARE(rig.lines(), QStringList({"Notte", "Alba"}));
    // The date goes on a day and back: what rang on that day stays rung.
    rig.notifier->Siren()->TxtMsg_Click();
    rig.tickAt(at(2, 29, 0, autumn.addDays(1)));
    rig.tickAt(at(2, 29, 30, autumn));
    rig.tickAt(at(2, 30, 0, autumn));
    QVERIFY(!rig.notifier->Siren());
}

void AlarmTest::twoAppointmentsInOneMinuteGiveTwoLines() {
    AlarmRig rig;
    rig.appointments(
        "7,3,\"Riunione\",\"14:30\"\r\n6,3,\"Ieri\",\"14:30\"\r\n"
        "7,3,\"Telefonata\",\"14:30\"\r\n7,3,\"Dopo\",\"14:31\"\r\n");
    rig.tickAt(at(14, 30, 0));
    QCOMPARE(rig.lines(), QStringList({"Riunione", "Telefonata"}));
    QPlainTextEdit* text = rig.notifier->Siren()->findChild<QPlainTextEdit*>("TxtMsg");
    QVERIFY(text);
    QCOMPARE(text->toPlainText(), "Riunione\nTelefonata");
    // An alarm a minute later, the window still open, adds its line below.
    rig.tickAt(at(14, 31, 0));
    QCOMPARE(rig.lines(), QStringList({"Riunione", "Telefonata", "Dopo"}));
    QCOMPARE(rig.sounds->created, 1);  // one window, one player
}

void AlarmTest::alarmBringsTheMainWindowBack() {
    AlarmRig rig;
    rig.appointments("7,3,\"Sveglia\",\"9:01\"\r\n");
    rig.notifier->AddTrayIcon();
    rig.notifier->HideToTray();
    QVERIFY(!rig.mainWindow.isVisible());
    QVERIFY(rig.tray.isShown());
    rig.tickAt(at(9, 1, 0));
    QVERIFY(rig.mainWindow.isVisible());
    QVERIFY(!rig.tray.isShown());
    QVERIFY(!rig.notifier->InTray());
    QVERIFY(rig.notifier->Siren()->isVisible());
    QVERIFY(rig.notifier->Siren()->windowFlags() & Qt::WindowStaysOnTopHint);
}

void AlarmTest::fileChangesAreSeenByTheNextTick() {
    AlarmRig rig;
    rig.appointments("7,3,\"Vecchio\",\"9:01\"\r\n");
    rig.tickAt(at(9, 1, 0));
    QCOMPARE(rig.lines(), QStringList{"Vecchio"});
    // Saved again with the same length: the change must still be read.
    rig.appointments("7,3,\"Nuovo!!\",\"9:02\"\r\n");
    rig.tickAt(at(9, 2, 0));
    QCOMPARE(rig.lines(), QStringList({"Vecchio", "Nuovo!!"}));

    AppointmentFileCache cache;
    const QDate day(2026, 3, 7);
    QCOMPARE(cache.IndexFor(day).MessagesAt(day, QTime(9, 2)), QStringList{"Nuovo!!"});
    cache.IndexFor(day);
    QCOMPARE(cache.loads(), 1);  // an unchanged file is not parsed again
    QFile::remove(rig.folder.file("Ricordel.dat"));
    QVERIFY(cache.IndexFor(day).MessagesAt(day, QTime(9, 2)).isEmpty());
}

void AlarmTest::missingFileIsQuiet() {
    AlarmRig rig;
    rig.tickAt(at(9, 1, 0));
    rig.tickAt(at(9, 2, 0));
    QVERIFY(!rig.notifier->Siren());
    QVERIFY(rig.dialogs.shown.isEmpty());
    QVERIFY(!rig.folder.exists("Ricordel.dat"));
}

QTEST_MAIN(AlarmTest)
#include "alarm_test.moc"

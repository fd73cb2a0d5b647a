// The alarm engine: which alarms ring when the checks come on time, late or
// after the wall clock jumps either way, across midnight and across dates;
// saves looked at at once; and what the alarm window shows of them.
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>
#include <QtTest/QTest>

#include <QRandomGenerator>

#include "notify/alarmwindow.h"
#include "notify/logic/alarm.h"
#include "notify/logic/alarmengine.h"
#include "operations/operations.h"
#include "support/corpus.h"
#include "support/listrecord.h"
#include "support/notifierrig.h"
#include "ui/flexgrid.h"

namespace {

QDateTime at(int h, int m, int s = 0, QDate day = QDate(2026, 3, 7)) {
    return QDateTime(day, QTime(h, m, s));
}

// An engine over a temporary folder and a fake clock; what it rings is
// written down as the lines the window would show at that moment.
struct EngineRig {
    TempFolder folder;
    FakeClock clock;
    std::unique_ptr<AlarmEngine> engine;
    QStringList rang;

    explicit EngineRig(const QDateTime& start = at(9, 0, 30)) { startAt(start); }
    // The program starts (again) with the clock at `t`.
    void startAt(const QDateTime& t, int warningMinutes = 0) {
        clock.set(t);
        engine = std::make_unique<AlarmEngine>(clock, folder.file("Ricordel.dat"));
        engine->setWarningMinutes(warningMinutes);
        engine->setSnoozeFile(folder.file("Ripeti.dat"));
        QObject::connect(engine.get(), &AlarmEngine::alarmsDue, [this](const QList<Alarm>& alarms) {
            for (const Alarm& a : alarms) rang << alarmLine(a, clock.now());
        });
        engine->start();
    }
    void appointments(const QByteArray& bytes) { folder.write("Ricordel.dat", bytes); }
    // The clock moves to `t` and the one-second look comes.
    QStringList pollAt(const QDateTime& t) {
        clock.set(t);
        rang.clear();
        engine->poll();
        return rang;
    }
    // Every minute from the clock's to `t`, on time.
    QStringList minutesTo(const QDateTime& t) {
        QStringList all;
        for (QDateTime m = clock.now().addSecs(60 - clock.now().time().second()); m <= t;
             m = m.addSecs(60))
            all += pollAt(m);
        return all;
    }
};

}  // namespace

class AlarmTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void timesReadAsTimesOfDay();
    void dueAlarmsKeepFileOrderAndSkipUndated();
    void indexReadFromTheFileMatchesTheRecords_data();
    void indexReadFromTheFileMatchesTheRecords();
    void ringsOnceAtItsMinute();
    void catchesUpAcrossMidnightWithTheDueTime();
    void clockSetBackRingsWhatHasNotRung();
    void dateSetAheadAndBack();
    void savedForNowRingsNow();
    void warningsComeBeforeTheAlarm();
    void snoozesRingOnceAcrossJumpsAndRestarts();
    void manyAlarmsInOneMinute();
    void windowBringsTheMainWindowBackAndAddsLines();
    void savedTimesThatCannotRingAreSaidOnce();
};

void AlarmTest::timesReadAsTimesOfDay() {
    const QTime nineOhFive(9, 5);
    QVERIFY(timeRingsAt("9:05", nineOhFive));
    QVERIFY(timeRingsAt("09:05", nineOhFive));  // postponed times carry two-digit hours
    QVERIFY(timeRingsAt("9.05", nineOhFive));
    QVERIFY(timeRingsAt(" 9:05 ", nineOhFive));
    QVERIFY(timeRingsAt("0:00", QTime(0, 0)));
    QVERIFY(timeRingsAt("23:59", QTime(23, 59, 59)));
    QVERIFY(!timeRingsAt("9:5", nineOhFive));
    QVERIFY(!timeRingsAt("9:06", nineOhFive));
    QVERIFY(!timeRingsAt("24:00", QTime(0, 0)));
    QVERIFY(!timeRingsAt("9:60", QTime(10, 0)));
    QVERIFY(!timeRingsAt("", QTime(0, 0)));
    QVERIFY(!timeRingsAt("16:00Q", QTime(16, 0)));
    QVERIFY(!timeRingsAt("9h05", nineOhFive));
    QVERIFY(!timeRingsAt("9:05:00", nineOhFive));
}

void AlarmTest::dueAlarmsKeepFileOrderAndSkipUndated() {
    const QList<ListRecord> records{
        listRecord(7, 3, "Primo", "14:30"),           listRecord(7, 3, "Senza ora", ""),
        listRecord(0, 0, "Data non valida", "14:30"), listRecord(29, 2, "Bisestile", "14:30"),
        listRecord(8, 3, "Domani", "14:30"),          listRecord(7, 3, "Secondo", "14.30"),
        listRecord(7, 3, "Altra ora", "14:31"),
    };
    QCOMPARE(dueAlarms(records, QDate(2026, 3, 7), QTime(14, 30, 45)),
             QStringList({"Primo", "Secondo"}));
    QCOMPARE(dueAlarms(records, QDate(2026, 3, 8), QTime(14, 30)), QStringList{"Domani"});
    // The year is not stored: the same day of another year rings too.
    QCOMPARE(dueAlarms(records, QDate(2027, 3, 7), QTime(14, 31)), QStringList{"Altra ora"});
    // 29 February has a date only in leap years.
    QCOMPARE(dueAlarms(records, QDate(2028, 2, 29), QTime(14, 30)), QStringList{"Bisestile"});
    QVERIFY(dueAlarms(records, QDate(2026, 3, 1), QTime(14, 30)).isEmpty());
}

void AlarmTest::indexReadFromTheFileMatchesTheRecords_data() {
    addMalformedCorpusRows();
    QTest::newRow("random") << QString();
}

void AlarmTest::indexReadFromTheFileMatchesTheRecords() {
    QFETCH(QString, path);
    QByteArray content = readCorpusFile(path);
    if (path.isEmpty()) {
        QRandomGenerator random(20261209);
        const char* times[] = {"9:05", "09:05", "23:59", "0:00", "9.05", " 7:30", "24:00", "", "x"};
        for (int i = 0; i < 3000; ++i)
            content += QByteArray::number(random.bounded(0, 33)) + ',' +
                       QByteArray::number(random.bounded(0, 14)) + ",\"Voce " +
                       QByteArray::number(i) + (i % 7 ? "" : " \"citata\"") + "\",\"" +
                       times[random.bounded(9)] + "\"\r\n";
    }
    const auto all = [](const AlarmIndex& index, int year) {
        QList<AlarmIndex::Due> due;
        index.collectBetween(WallMinute{QDate(year, 1, 1), 0}.index(),
                             WallMinute{QDate(year, 12, 31), 1439}.index(), due);
        QStringList out;
        for (const AlarmIndex::Due& d : due) out << QString::number(d.minute) + ' ' + d.message;
        return out;
    };
    const QList<ListRecord> records = parseListRecords(content, ListKind::Appointments);
    for (int year : {2026, 2028})
        QCOMPARE(all(AlarmIndex(content, year), year), all(AlarmIndex(records, year), year));
}

void AlarmTest::ringsOnceAtItsMinute() {
    EngineRig rig;
    rig.appointments(
        "7,3,\"Avvio\",\"9:00\"\r\n7,3,\"Dentista\",\"9:02\"\r\n7,3,\"Treno\",\"09:03\"\r\n"
        "7,3,\"Treno\",\"9:03\"\r\n7,3,\"Senza ora\",\"\"\r\n6,3,\"Ieri\",\"9:02\"\r\n");
    rig.startAt(at(9, 0, 30));
    QVERIFY(rig.pollAt(at(9, 0, 59)).isEmpty());  // the start-up minute never rings
    QVERIFY(rig.pollAt(at(9, 1, 0)).isEmpty());
    QCOMPARE(rig.pollAt(at(9, 2, 0)), QStringList{"Dentista"});
    QVERIFY(rig.pollAt(at(9, 2, 40)).isEmpty());  // a second look in the same minute
    rig.engine->check();
    QVERIFY(rig.rang.isEmpty());
    // Two identical records of one minute ring together, as two lines.
    QCOMPARE(rig.pollAt(at(9, 3, 0)), QStringList({"Treno", "Treno"}));
    QVERIFY(rig.minutesTo(at(9, 30, 0)).isEmpty());
    QVERIFY(rig.engine->minuteTimer()->isActive());
    const int delay = AlarmEngine::msecsToNextMinute(at(9, 0, 59).addMSecs(400));
    QVERIFY2(delay > 600 && delay < 1000, qPrintable(QString::number(delay)));
    // No file: nothing, and nothing made.
    QFile::remove(rig.folder.file("Ricordel.dat"));
    QVERIFY(rig.minutesTo(at(9, 40, 0)).isEmpty());
    QVERIFY(!rig.folder.exists("Ricordel.dat"));
}

void AlarmTest::catchesUpAcrossMidnightWithTheDueTime() {
    const QDate day(2026, 3, 7), next = day.addDays(1);
    EngineRig rig(at(23, 49, 0, day));
    rig.appointments(
        "7,3,\"Medicina della sera\",\"23:55\"\r\n8,3,\"Mezzanotte\",\"0:05\"\r\n"
        "8,3,\"Adesso\",\"0:10\"\r\n8,3,\"Dopo\",\"0:11\"\r\n");
    // Asleep from 23:49 to 0:10: the evening and the night in order, the late
    // ones with their time, the one on time bare.
    QCOMPARE(rig.pollAt(at(0, 10, 5, next)),
             QStringList({"(ore 23:55) Medicina della sera", "(ore 0:05) Mezzanotte", "Adesso"}));
    // A gap of more than a day: only today's minutes up to now.
    EngineRig slept(at(22, 0, 0, day));
    slept.appointments(
        "7,3,\"Ieri sera\",\"23:00\"\r\n9,3,\"Alba\",\"0:30\"\r\n9,3,\"Fra poco\",\"0:30\"\r\n"
        "9,3,\"Mattina\",\"8:00\"\r\n");
    QCOMPARE(slept.pollAt(at(0, 40, 0, day.addDays(2))),
             QStringList({"(ore 0:30) Alba", "(ore 0:30) Fra poco"}));
    // The spring night skips 2:00 to 3:00: 2:30 rings at 3:00, as itself.
    qputenv("TZ", "Europe/Rome");
    const QDate spring(2026, 3, 29);
    EngineRig night(at(1, 58, 0, spring));
    night.appointments("29,3,\"Nella notte\",\"2:30\"\r\n");
    QCOMPARE(night.pollAt(QDateTime(spring, QTime(3, 0, 5))),
             QStringList{"(ore 2:30) Nella notte"});
    qunsetenv("TZ");
}

void AlarmTest::clockSetBackRingsWhatHasNotRung() {
    EngineRig rig;  // 9:00:30
    rig.appointments(
        "7,3,\"Dopo\",\"9:02\"\r\n7,3,\"Riunione\",\"9:30\"\r\n7,3,\"Pranzo\",\"12:30\"\r\n");
    QCOMPARE(rig.pollAt(at(9, 40, 3)), QStringList({"(ore 9:02) Dopo", "(ore 9:30) Riunione"}));
    // Set back by half an hour: what rang stays rung.
    rig.pollAt(at(9, 10, 1));
    QVERIFY(rig.minutesTo(at(9, 45, 0)).isEmpty());
    // The autumn hour: 2:00 to 3:00 twice, 2:30 rings once.
    const QDate autumn(2026, 10, 25);
    EngineRig night(at(1, 58, 0, autumn));
    night.appointments("25,10,\"Notte\",\"2:30\"\r\n");
    QCOMPARE(night.minutesTo(at(3, 0, 0, autumn)), QStringList{"Notte"});
    night.pollAt(at(2, 0, 0, autumn));
    QVERIFY(night.minutesTo(at(3, 1, 0, autumn)).isEmpty());
    // Started with the clock two hours fast, then corrected: the true hours
    // ring when they come.
    EngineRig fast(at(14, 0, 10));
    fast.appointments("7,3,\"Pranzo\",\"12:31\"\r\n7,3,\"Tardi\",\"14:01\"\r\n");
    QVERIFY(fast.pollAt(at(12, 30, 2)).isEmpty());
    QCOMPARE(fast.minutesTo(at(14, 1, 0)), QStringList({"Pranzo", "Tardi"}));
}

void AlarmTest::dateSetAheadAndBack() {
    const QDate may12(2026, 5, 12);
    EngineRig rig(at(8, 0, 0, may12));
    rig.appointments("12,5,\"Oggi\",\"9:00\"\r\n14,5,\"Dopodomani\",\"9:00\"\r\n");
    QCOMPARE(rig.minutesTo(at(10, 0, 0, may12)), QStringList{"Oggi"});
    // Set two days ahead by mistake: that morning is caught up...
    QCOMPARE(rig.pollAt(at(10, 0, 0, may12.addDays(2))), QStringList{"(ore 9:00) Dopodomani"});
    // ...then corrected: today's record survived the steps, nothing rings again.
    QVERIFY(rig.pollAt(at(8, 59, 0, may12)).isEmpty());
    QVERIFY(rig.minutesTo(at(9, 1, 0, may12)).isEmpty());
    // The real 14 May rings what rang by mistake.
    QVERIFY(rig.pollAt(at(23, 59, 0, may12)).isEmpty());
    QVERIFY(rig.pollAt(at(0, 0, 0, may12.addDays(1))).isEmpty());
    QVERIFY(rig.pollAt(at(8, 58, 0, may12.addDays(2))).isEmpty());
    QCOMPARE(rig.minutesTo(at(9, 0, 0, may12.addDays(2))), QStringList{"Dopodomani"});
}

void AlarmTest::savedForNowRingsNow() {
    EngineRig rig(at(10, 0, 5));
    rig.appointments("7,3,\"Esistente\",\"10:00\"\r\n");
    rig.startAt(at(10, 0, 5));
    // Saved by the program at 10:00:20 for 10:00, the start-up minute: it
    // rings at once, and once; what the file held at the start does not.
    rig.clock.set(at(10, 0, 20));
    rig.appointments("7,3,\"Esistente\",\"10:00\"\r\n7,3,\"Dentista\",\"10:00\"\r\n");
    rig.engine->appointmentsSaved();
    QVERIFY(rig.rang.isEmpty());  // not inside the save itself
    QTRY_COMPARE_WITH_TIMEOUT(rig.rang, QStringList{"Dentista"}, 1000);
    rig.engine->appointmentsSaved();
    QTest::qWait(0);
    QCOMPARE(rig.rang, QStringList{"Dentista"});
    QVERIFY(rig.minutesTo(at(10, 1, 0)).isEmpty());
    // Written by another program: the one-second look sees the file change.
    rig.appointments("7,3,\"Dentista\",\"10:00\"\r\n7,3,\"Da fuori\",\"10:01\"\r\n");
    QCOMPARE(rig.pollAt(at(10, 1, 21)), QStringList{"Da fuori"});
    QVERIFY(rig.pollAt(at(10, 1, 22)).isEmpty());
}

void AlarmTest::warningsComeBeforeTheAlarm() {
    const QDate day(2026, 3, 7);
    EngineRig rig;
    rig.appointments(
        "7,3,\"Presto\",\"9:10\"\r\n7,3,\"Dentista\",\"10:00\"\r\n"
        "7,3,\"Riunione\",\"11:00\"\r\n7,3,\"Pranzo\",\"12:00\"\r\n8,3,\"Notte\",\"0:10\"\r\n");
    rig.startAt(at(9, 0, 30), 15);
    // A warning minute at or before the start does not ring; the alarm does.
    QCOMPARE(rig.minutesTo(at(9, 44, 0)), QStringList{"Presto"});
    QCOMPARE(rig.pollAt(at(9, 45, 0)), QStringList{"Tra 15 minuti (ore 10:00): Dentista"});
    QCOMPARE(rig.minutesTo(at(10, 0, 0)), QStringList{"Dentista"});
    // A warning missed in a sleep rings on waking while the appointment is
    // ahead, with the minutes still to go...
    QCOMPARE(rig.pollAt(at(10, 50, 10)), QStringList{"Tra 10 minuti (ore 11:00): Riunione"});
    QCOMPARE(rig.minutesTo(at(11, 0, 0)), QStringList{"Riunione"});
    // ...and not at all once the appointment is due.
    QCOMPARE(rig.pollAt(at(12, 5, 0)), QStringList{"(ore 12:00) Pranzo"});
    // Saved after its warning minute: warned at once.
    rig.clock.set(at(12, 56, 20));
    rig.rang.clear();
    rig.appointments("7,3,\"Nuovo\",\"13:00\"\r\n8,3,\"Notte\",\"0:10\"\r\n");
    rig.engine->appointmentsSaved();
    QTRY_COMPARE_WITH_TIMEOUT(rig.rang, QStringList{"Tra 4 minuti (ore 13:00): Nuovo"}, 1000);
    QCOMPARE(rig.pollAt(at(12, 59, 0)), QStringList{});
    QCOMPARE(rig.pollAt(at(23, 55, 0)),
             QStringList({"(ore 13:00) Nuovo", "Tra 15 minuti (ore 0:10): Notte"}));
    QCOMPARE(rig.pollAt(at(23, 59, 0)), QStringList{});  // a warning rings once
    QCOMPARE(rig.pollAt(at(0, 10, 0, day.addDays(1))), QStringList{"Notte"});
    QCOMPARE(alarmLine({AlarmKind::Warning, at(10, 0), "Uno"}, at(9, 59, 59)),
             "Tra 1 minuto (ore 10:00): Uno");
}

void AlarmTest::snoozesRingOnceAcrossJumpsAndRestarts() {
    EngineRig rig;  // 9:00:30
    rig.engine->snooze({{AlarmKind::Due, at(9, 0), "Dentista"}}, 10);
    QCOMPARE(rig.folder.read("Ripeti.dat"), QByteArray("\"2026-03-07 09:10:30\",\"Dentista\"\r\n"));
    QVERIFY(rig.pollAt(at(9, 10, 29)).isEmpty());
    QCOMPARE(rig.pollAt(at(9, 10, 30)), QStringList{"Dentista"});
    QVERIFY(!rig.folder.exists("Ripeti.dat"));
    // Across a jump forward it rings at once, with its time; after a step
    // back, never again.
    rig.engine->snooze({{AlarmKind::Warning, at(9, 30), "Treno"}}, 5);
    QCOMPARE(rig.pollAt(at(9, 40, 0)), QStringList{"(ore 9:15) Treno"});
    rig.pollAt(at(9, 14, 0));
    QVERIFY(rig.minutesTo(at(9, 20, 0)).isEmpty());
    // Kept across a restart: one whose time came rings at start, one still
    // pending at its time.
    rig.engine->snooze({{AlarmKind::Due, at(9, 20), "Presto"}}, 5);
    rig.clock.set(at(9, 22, 0));
    rig.engine->snooze({{AlarmKind::Due, at(9, 20), "Tardi"}}, 60);
    rig.engine.reset();
    rig.rang.clear();
    rig.startAt(at(9, 40, 0));
    QCOMPARE(rig.rang, QStringList{"(ore 9:25) Presto"});
    QCOMPARE(rig.pollAt(at(10, 22, 0)), QStringList{"Tardi"});
    // A damaged file is set aside; what can be read is kept; the start goes on.
    rig.engine.reset();
    rig.folder.write("Ripeti.dat",
                     "\"2026-03-07 11:00:00\",\"Buono\"\r\nrotto,,,\r\n\"ieri\",\"Guasto\"\r\n");
    rig.startAt(at(10, 30, 0));
    QCOMPARE(rig.folder.read("Ripeti.dat"), QByteArray("\"2026-03-07 11:00:00\",\"Buono\"\r\n"));
    QVERIFY(rig.folder.read("Ripeti.dat.danneggiato").contains("Guasto"));
    QCOMPARE(rig.pollAt(at(11, 0, 1)), QStringList{"Buono"});
}

void AlarmTest::manyAlarmsInOneMinute() {
    NotifierRig rig({.start = at(9, 0, 30)});
    QByteArray bytes;
    for (int i = 0; i < 3000; ++i)
        bytes += "7,3,\"Appuntamento " + QByteArray::number(i) + "\",\"9:01\"\r\n";
    rig.folder.write("Ricordel.dat", bytes);
    Application& program = *rig.app;
    rig.clock.set(at(9, 1, 0));
    QElapsedTimer timer;
    timer.start();
    program.alarms().checkAlarms();
    QApplication::processEvents();
    const qint64 ms = timer.elapsed();
    QVERIFY(program.alarms().alarmWindow());
    const QStringList lines = program.alarms().alarmWindow()->text().split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 3000);
    QCOMPARE(lines.last(), "Appuntamento 2999");
    QCOMPARE(program.alarms().alarmWindow()->findChild<QPlainTextEdit*>("TxtMsg")->blockCount(),
             3000);
    QCOMPARE(rig.sounds->events.size(), 1);  // one window, one start of the sound
    qInfo("3000 alarms of one minute: check and window in %lld ms", ms);
}

void AlarmTest::windowBringsTheMainWindowBackAndAddsLines() {
    NotifierRig rig({.start = at(14, 0, 0)});
    rig.folder.write("allarme.wav", "RIFF");
    rig.folder.write("Ricordel.dat",
                     "7,3,\"Riunione\",\"14:30\"\r\n7,3,\"Telefonata\",\"14:30\"\r\n"
                     "7,3,\"Dopo\",\"14:31\"\r\n");
    rig.agenda().settings().alarmSound = rig.folder.file("allarme.wav");
    Application& program = *rig.app;
    FakeClock& clock = rig.clock;
    QWidget& mainWindow = rig.mainWindow();
    program.tray().addIcon();
    program.tray().hideToTray();
    QVERIFY(!mainWindow.isVisible());
    clock.set(at(14, 30, 0));
    program.alarms().checkAlarms();
    QVERIFY(mainWindow.isVisible());
    QVERIFY(!rig.tray.isShown());
    AlarmWindow* siren = program.alarms().alarmWindow();
    QVERIFY(siren && siren->isVisible());
    QVERIFY(siren->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(siren->findChild<QPlainTextEdit*>("TxtMsg")->toPlainText(), "Riunione\nTelefonata");
    QCOMPARE(rig.sounds->events, QStringList{"play " + rig.folder.file("allarme.wav")});
    // The main window closed for good while the alarm window rings, with an
    // edit not yet saved: an alarm a minute later adds its line below and
    // makes the main window again, a view of the same lists, which saves.
    rig.agenda().appointments().append({"8/3", "Domani", "9:00", {}});
    program.closeWindow();
    QVERIFY(!program.window());
    clock.set(at(14, 31, 0));
    program.alarms().checkAlarms();
    QCOMPARE(program.alarms().alarmWindow(), siren);
    MainWindow* again = program.window();
    QVERIFY(again && again->isVisible());
    QCOMPARE(again->grid(ListKind::Appointments)->model(), &rig.agenda().appointments());
    QVERIFY(saveAll(rig.agenda(), &again->shown()));
    QVERIFY(rig.folder.read("Ricordel.dat").contains("\"Domani\""));
    QCOMPARE(siren->text(), "Riunione\r\nTelefonata\r\nDopo");
    QCOMPARE(rig.sounds->created, 1);
    siren->acknowledge();
    QVERIFY(!program.alarms().alarmWindow());
}

// A save tells, in one box, which appointments from today on have a time
// that cannot ring; each is told once while the program runs.
void AlarmTest::savedTimesThatCannotRingAreSaidOnce() {
    NotifierRig rig;  // 7 March
    rig.agenda().settings().sortAscending = true;
    rig.agenda().appointments().replaceAll({{"7/3", "Dentista", "16:00Q", {}},
                                            {"8/3", "Corsa", "9h12", {}},
                                            {"6/3", "Ieri", "boh", {}},  // past: no matter
                                            {"9/3", "Giusto", "9:05", {}},
                                            {"9/3", "Senza ora", "", {}}});
    QVERIFY(saveAll(rig.agenda()));
    QCOMPARE(rig.dialogs.texts(),
             QStringList{"L'ora «16:00Q» dell'appuntamento del 7/3 «Dentista» non è un'ora "
                         "valida: l'allarme non suonerà.\nL'ora «9h12» dell'appuntamento del "
                         "8/3 «Corsa» non è un'ora valida: l'allarme non suonerà."});
    QCOMPARE(rig.dialogs.shown[0].title, std::optional<QString>("ORARIO NON VALIDO"));
    QVERIFY(rig.folder.read("Ricordel.dat").contains("\"16:00Q\""));  // saved as typed
    QVERIFY(saveAll(rig.agenda()));
    QCOMPARE(rig.dialogs.shown.size(), 1);
}

QTEST_MAIN(AlarmTest)
#include "alarm_test.moc"

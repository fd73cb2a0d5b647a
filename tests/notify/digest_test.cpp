// The reminder digest: which lines are gathered from the three files, in
// which order they are presented, with which sound, and how STOP ends a list.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include <functional>

#include "core/settings.h"
#include "notify/alarmwindow.h"
#include "notify/logic/digest.h"
#include "notify/messageassistant.h"
#include "notify/reminderbox.h"
#include "notify/windowreminderpresenter.h"
#include "support/corpus.h"
#include "support/listrecord.h"
#include "support/notifierrig.h"

namespace {

// Saturday 7 March 2026.
const QDate kToday(2026, 3, 7);

Settings notice(int days, bool ascending = true) {
    Settings s;
    s.daysOfNotice = static_cast<qint16>(days);
    s.sortAscending = ascending;
    return s;
}

// Answers each reminder box as it opens, from a script of button names,
// and records the texts the boxes showed.
class BoxClicker : public QObject {
  public:
    explicit BoxClicker(QStringList buttons) : buttons_(std::move(buttons)) { arm(); }
    QStringList texts;
    QStringList remaining() const { return buttons_; }

  private:
    void arm() {
        QTimer::singleShot(0, this, [this] { answer(); });
    }
    void answer() {
        if (buttons_.isEmpty()) return;
        auto* box = qobject_cast<ReminderBox*>(QApplication::activeModalWidget());
        if (!box) {
            if (++misses_ < 1000) arm();
            return;
        }
        misses_ = 0;
        texts << box->findChild<QLabel*>("Label1")->text();
        const QString name = buttons_.takeFirst();
        if (name == "Esc")
            QTest::keyClick(box, Qt::Key_Escape);
        else
            QTest::mouseClick(box->findChild<QPushButton*>(name), Qt::LeftButton);
        arm();
    }
    QStringList buttons_;
    int misses_ = 0;
};

}  // namespace

class DigestTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void labelsAndTimes();
    void noticeDaysBoundTheWindow();
    void undatedAndPastRecordsAreLeftOut();
    void filesGiveTheLinesOfTheirRecords_data();
    void filesGiveTheLinesOfTheirRecords();
    void presentationOrder();
    void showRemindersReadsTheFilesWithEachListsSound();
    void stopEndsOnlyTheCurrentList();
    void assistantModeLoadsThePictureOnce();
    void aSecondDigestWhileOneRunsDoesNothing();
    void startUpRingsAlarmsOverTheDigest();
    void reminderBoxesDrivenByTheirButtons();
    void assistantDrivenByItsButtons();
};

void DigestTest::labelsAndTimes() {
    const QList<ListRecord> appointments{
        listRecord(7, 3, "Dentista", "9:30"), listRecord(7, 3, "Senza ora"),
        listRecord(8, 3, "Riunione", "14:00"), listRecord(10, 3, "Cena", "20:00")};
    const QStringList lines =
        gatherListLines(appointments, ListKind::Appointments, kToday, notice(5).daysOfNotice);
    QCOMPARE(lines, QStringList({"Oggi  Dentista   Ore 9:30", "Oggi  Senza ora",
                                 "Domani  Riunione   Ore 14:00",
                                 QString::fromUtf8("Martedì Cena   Ore 20:00")}));
    // Deadlines and anniversaries never show a time, whatever the record holds.
    const QStringList deadlines =
        gatherListLines({listRecord(13, 3, "Scade bollo", "9:30")}, ListKind::Deadlines, kToday, 6);
    QCOMPARE(deadlines, QStringList{QString::fromUtf8("Venerdì Scade bollo")});
    QCOMPARE(reminderLabel(2, QDate(2026, 3, 14)), "Sabato");
    QCOMPARE(reminderLabel(3, QDate(2026, 3, 8)), "Domenica");
}

void DigestTest::noticeDaysBoundTheWindow() {
    const QList<ListRecord> deadlines{listRecord(7, 3, "Oggi"), listRecord(8, 3, "Domani"),
                                      listRecord(9, 3, "Dopodomani")};
    const QList<ListRecord> none;
    ReminderLists lists = gatherReminders(deadlines, none, none, kToday, notice(0));
    QCOMPARE(lists.deadlines, QStringList{"Oggi  Oggi"});
    lists = gatherReminders(deadlines, none, none, kToday, notice(1));
    QCOMPARE(lists.deadlines, QStringList({"Oggi  Oggi", "Domani  Domani"}));
    lists = gatherReminders(deadlines, none, none, kToday, notice(-1));
    QVERIFY(lists.deadlines.isEmpty());
    // Each list goes to its own collecting list.
    lists = gatherReminders(none, {listRecord(7, 3, "A", "10:00")}, {listRecord(8, 3, "R")}, kToday,
                            notice(1));
    QVERIFY(lists.deadlines.isEmpty());
    QCOMPARE(lists.appointments, QStringList{"Oggi  A   Ore 10:00"});
    QCOMPARE(lists.anniversaries, QStringList{"Domani  R"});
}

void DigestTest::undatedAndPastRecordsAreLeftOut() {
    const QList<ListRecord> records{listRecord(6, 3, "Ieri"),      listRecord(0, 0, "Zero"),
                                    listRecord(29, 2, "Bisesto"),  listRecord(31, 4, "Mai"),
                                    listRecord(-7, 3, "Negativo"), listRecord(7, 3, "Valido")};
    QCOMPARE(gatherListLines(records, ListKind::Anniversaries, kToday, 400),
             QStringList{"Oggi  Valido"});
    // On 31 December the 1 January of the list is this year's, long past.
    QVERIFY(gatherListLines({listRecord(1, 1, "Capodanno")}, ListKind::Anniversaries,
                            QDate(2026, 12, 31), 5)
                .isEmpty());
}

// The files are read record by record: the lines are those of the records
// the list reader reads, on damaged files and on a full random year alike.
void DigestTest::filesGiveTheLinesOfTheirRecords_data() {
    addMalformedCorpusRows();
    QTest::newRow("random year") << QString();  // made in the test
}

void DigestTest::filesGiveTheLinesOfTheirRecords() {
    QFETCH(QString, path);
    QByteArray bytes = readCorpusFile(path);
    QRandomGenerator random(365);
    for (int i = 0; path.isEmpty() && i < 2000; ++i)
        bytes += QByteArray::number(random.bounded(-1, 33)) + ',' +
                 QByteArray::number(random.bounded(0, 14)) + ",\"m" + QByteArray::number(i) +
                 "\",\"" + QByteArray::number(random.bounded(25)) + ":05\"\r\n";
    TempFolder folder;
    for (ListKind kind : kAllListKinds) folder.write(listFileName(kind), bytes);
    for (const QDate& today : {kToday, QDate(2026, 12, 30), QDate(2028, 2, 28)}) {
        const Settings settings = notice(40);
        QCOMPARE(
            gatherRemindersFromFiles(QDir(folder.path()), today, settings),
            gatherReminders(parseListRecords(bytes, ListKind::Deadlines),
                            parseListRecords(bytes, ListKind::Appointments),
                            parseListRecords(bytes, ListKind::Anniversaries), today, settings));
    }
}

void DigestTest::presentationOrder() {
    ReminderLists lists;
    lists.deadlines = {"s1", "s2"};
    lists.anniversaries = {"r1", "r2", "r3"};
    QList<ReminderSection> up = orderForPresentation(lists, true);
    QCOMPARE(up.size(), 2);  // no appointments: no section for them
    QCOMPARE(up[0].kind, ListKind::Anniversaries);
    QCOMPARE(up[0].lines, QStringList({"r1", "r2", "r3"}));
    QCOMPARE(up[1].kind, ListKind::Deadlines);
    QList<ReminderSection> down = orderForPresentation(lists, false);
    QCOMPARE(down[0].lines, QStringList({"r3", "r2", "r1"}));
    QCOMPARE(down[1].lines, QStringList({"s2", "s1"}));
}

void DigestTest::showRemindersReadsTheFilesWithEachListsSound() {
    NotifierRig rig;
    rig.files("7,3,\"Scade bollo\"\r\n8,3,\"Scade tassa\"\r\n", "7,3,\"Dentista\",\"9:30\"\r\n",
              "7,3,\"E' il Compleanno di Anna\"\r\n");
    rig.folder.write("scadenze.wav", "RIFF");
    Settings& s = rig.agenda().settings();
    s.daysOfNotice = 1;
    s.sortAscending = false;
    s.deadlineSound = rig.folder.file("scadenze.wav");
    s.appointmentSound = rig.folder.file("manca.wav");  // names no file: no sound
    s.anniversarySound = QString();
    // What the grid holds but the file does not is not announced.
    rig.agenda().list(ListKind::Appointments).append({"7/3", "Non salvato", "10:00", {}});

    rig.app->digest().run();
    QCOMPARE(rig.presenter.lines,
             QStringList({"Oggi  E' il Compleanno di Anna", "Domani  Scade tassa",
                          "Oggi  Scade bollo", "Oggi  Dentista   Ore 9:30"}));
    const QString sound = rig.folder.file("scadenze.wav");
    QCOMPARE(rig.presenter.sounds, QStringList({QString(), sound, sound, QString()}));
    QVERIFY(!rig.presenter.inAssistant.contains(true));
    QCOMPARE(rig.presenter.assistantPrepared, 0);
    QCOMPARE(rig.app->digest().lastReminders().appointments,
             QStringList{"Oggi  Dentista   Ore 9:30"});
}

void DigestTest::stopEndsOnlyTheCurrentList() {
    NotifierRig rig;
    rig.files("7,3,\"Scadenza uno\"\r\n7,3,\"Scadenza due\"\r\n", "",
              "7,3,\"Anniversario uno\"\r\n7,3,\"Anniversario due\"\r\n");
    rig.agenda().settings().sortAscending = true;
    rig.presenter.stopAfter = [](const QString& line) { return line == "Oggi  Anniversario uno"; };
    rig.app->digest().run();
    QCOMPARE(rig.presenter.lines,
             QStringList({"Oggi  Anniversario uno", "Oggi  Scadenza uno", "Oggi  Scadenza due"}));
    // Missing files read as empty lists.
    QFile::remove(rig.folder.file("Date.dat"));
    QFile::remove(rig.folder.file("Ricorrenze.dat"));
    rig.presenter.lines.clear();
    rig.app->digest().run();
    QVERIFY(rig.presenter.lines.isEmpty());
}

void DigestTest::assistantModeLoadsThePictureOnce() {
    NotifierRig rig;
    rig.files("7,3,\"S\"\r\n", "7,3,\"A\",\"\"\r\n", "");
    rig.agenda().settings().newMessageBox = true;
    rig.app->digest().run();
    QCOMPARE(rig.presenter.assistantPrepared, 1);
    QVERIFY(rig.presenter.assistantPicture.isNull());  // no "img/msgbox.jpg" here
    QCOMPARE(rig.presenter.inAssistant, QList<bool>({true, true}));

    QDir().mkdir(rig.folder.file("img"));
    QImage picture(20, 30, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QVERIFY(picture.save(rig.folder.file("img/msgbox.jpg"), "JPG"));
    rig.app->digest().run();
    QCOMPARE(rig.presenter.assistantPrepared, 2);
    QCOMPARE(rig.presenter.assistantPicture.size(), QSize(20, 30));
}

void DigestTest::aSecondDigestWhileOneRunsDoesNothing() {
    NotifierRig rig;
    rig.files("7,3,\"S\"\r\n", "", "");
    int nested = 0;
    rig.presenter.duringPresent = [&] {
        if (nested++ == 0) rig.app->digest().run();  // the tray menu, meanwhile
    };
    rig.app->digest().run();
    QCOMPARE(rig.presenter.lines, QStringList{"Oggi  S"});
    rig.app->digest().run();  // and afterwards it runs again
    QCOMPARE(rig.presenter.lines.size(), 2);
}

void DigestTest::startUpRingsAlarmsOverTheDigest() {
    NotifierRig rig;
    rig.files("7,3,\"Scadenza\"\r\n",
              "7,3,\"All'avvio\",\"8:00\"\r\n"
              "7,3,\"Durante il promemoria\",\"8:03\"\r\n",
              "");
    QString ringingDuringDigest;
    bool iconDuringDigest = true;
    rig.presenter.duringPresent = [&] {
        iconDuringDigest = rig.tray.isShown();
        // Nobody at the desk for a few minutes: the box waits, the alarm
        // engine's one-second look goes on.
        rig.clock.advanceSecs(4 * 60);
        rig.app->alarms().engine().poll();
        if (AlarmWindow* siren = rig.app->alarms().alarmWindow())
            ringingDuringDigest = siren->text();
    };
    rig.app->load();
    // The start-up minute does not ring; the minute that came while the box
    // waited rings over it.
    QCOMPARE(ringingDuringDigest, "Durante il promemoria");
    QVERIFY(!iconDuringDigest);
    QVERIFY(rig.app->caption().timer()->isActive());
    QVERIFY(rig.app->alarms().engine().minuteTimer()->isActive());
    // Opening the alarm window took the icon away; start-up puts it back.
    QVERIFY(rig.tray.isShown());
    QVERIFY(rig.app->tray().isInTray());
}

void DigestTest::reminderBoxesDrivenByTheirButtons() {
    NotifierRig rig({.windows = true});
    rig.files("7,3,\"Scadenza uno\"\r\n7,3,\"Scadenza due\"\r\n",
              "7,3,\"Appuntamento uno\",\"9:05\"\r\n7,3,\"Appuntamento due\",\"\"\r\n",
              "7,3,\"Anniversario uno\"\r\n7,3,\"Anniversario due\"\r\n");
    rig.folder.write("ricorrenze.wav", "RIFF");
    rig.agenda().settings().sortAscending = true;
    rig.agenda().settings().anniversarySound = rig.folder.file("ricorrenze.wav");

    // STOP on the first anniversary; OK on the first deadline; Esc on the
    // second leaves the flag off; STOP on the first appointment.
    BoxClicker clicker({"BtnStop", "BtnOk", "Esc", "BtnStop"});
    rig.app->digest().run();
    QCOMPARE(clicker.texts,
             QStringList({"Oggi  Anniversario uno", "Oggi  Scadenza uno", "Oggi  Scadenza due",
                          "Oggi  Appuntamento uno   Ore 9:05"}));
    QVERIFY(clicker.remaining().isEmpty());
    QVERIFY(rig.app->reminderWindows()->stopReminders());
    // The anniversary's box played its sound and silenced it on closing.
    QCOMPARE(rig.sounds->events.mid(0, 2),
             QStringList({"play " + rig.folder.file("ricorrenze.wav"), "stop"}));
    QVERIFY(rig.sounds->playing().isEmpty());
    QCOMPARE(rig.sounds->alive, 0);  // each box went with its player
}

void DigestTest::assistantDrivenByItsButtons() {
    NotifierRig rig({.windows = true});
    rig.files("7,3,\"Scadenza\"\r\n", "",
              "7,3,\"Anniversario uno\"\r\n7,3,\"Anniversario due\"\r\n");
    rig.agenda().settings().sortAscending = true;
    rig.agenda().settings().newMessageBox = true;
    rig.folder.write("scadenze.wav", "RIFF");
    rig.agenda().settings().deadlineSound = rig.folder.file("scadenze.wav");

    QStringList seen;
    QStringList presses{"Button2", "Button1"};
    bool wired = false;
    auto press = [&](MessageAssistant* assistant) {
        seen << assistant->assistantText();
        QVERIFY(assistant->isVisible());
        QTest::mouseClick(assistant->findChild<QPushButton*>(presses.takeFirst()), Qt::LeftButton);
    };
    // The assistant host is made by the digest; wire it when it appears.
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        AssistantWindow* host = rig.app->reminderWindows()->assistant();
        if (wired || !host) return;
        MessageAssistant* assistant = host->assistant();
        connect(assistant, &MessageAssistant::waitingForButton, assistant,
                [&, assistant] { press(assistant); });
        wired = true;
        if (assistant->isWaiting()) press(assistant);
    });
    poll.start(0);
    // The host is loaded before the first line is shown, so it exists at once.
    rig.app->digest().run();
    QVERIFY(wired);
    QCOMPARE(seen, QStringList({"Oggi  Anniversario uno", "Oggi  Scadenza"}));
    QCOMPARE(rig.app->reminderWindows()->assistant()->assistant()->pressedButton(), 1);
    QVERIFY(!rig.app->reminderWindows()->assistant()->assistant()->isVisible());
    QVERIFY(!rig.app->reminderWindows()->assistant()->isVisible());  // the host is never shown
    QCOMPARE(rig.sounds->events, QStringList{"play " + rig.folder.file("scadenze.wav")});
}

QTEST_MAIN(DigestTest)
#include "digest_test.moc"

// Whole-program runs through the real windows: one appointment from the
// calendar to the archive, and a start on a folder of prepared files with the
// digest walked in both of its presentations. The clock, the boxes, the player
// and the notification area are fakes; everything else is the program itself.
#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTimer>
#include <QtTest/QTest>

#include <functional>
#include <memory>

#include "app/application.h"
#include "core/agenda.h"
#include "core/listmodel.h"
#include "notify/alarmwindow.h"
#include "notify/messageassistant.h"
#include "notify/reminderbox.h"
#include "operations/operations.h"
#include "support/windowrig.h"
#include "ui/listview.h"

namespace {

const QColor kWhite(255, 255, 255);
const QColor kLightRed(255, 128, 128);
const QColor kLightYellow(255, 255, 128);
const QColor kLightGreen(192, 255, 192);

// One copy of the program over a fresh data folder; no file dialog is
// expected. With `windows` the digest uses the real reminder box and
// assistant instead of the scripted presenter.
struct Program : WindowRig {
    explicit Program(bool windows = false) {
        realDigestWindows = windows;
        files.unexpected = true;
    }

    // A file of the data folder that exists, for the settings to name.
    QString soundFile(const QString& name) {
        folder.write(name, "RIFF");
        return folder.file(name);
    }
    ListModel& appointments() { return form->agenda().appointments(); }
    FlexGrid* grid1() { return form->grid(ListKind::Appointments); }
    QStringList plays() const { return sounds->events.filter(QStringLiteral("play ")); }

    QColor background(int row, int column) {
        return cellBrush(appointments().index(row, column)).color();
    }
    // The user clicks a message cell of the appointments grid.
    void clickAppointment(int row) {
        FlexGrid* g = grid1();
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {},
                          g->visualRect(g->model()->index(row, 1)).center());
    }
};

// Empty when the date, message and time cells of an appointment row carry
// `colour`, both as the grid draws them and as the model keeps them;
// otherwise what differs.
QString rowColourMismatch(Program& p, int row, const QColor& colour) {
    for (int column = 0; column < 3; ++column) {
        const QColor drawn = p.background(row, column);
        const QColor kept = QColor::fromRgba(p.appointments().cellBackground(row, column));
        if (drawn != colour || kept != colour)
            return QStringLiteral("row %1 column %2: drawn %3, kept %4, expected %5")
                .arg(row)
                .arg(column)
                .arg(drawn.name(), kept.name(), colour.name());
    }
    return {};
}

#define VERIFY_ROW_COLOUR(program, row, colour)                           \
    do {                                                                  \
        const QString mismatch = rowColourMismatch(program, row, colour); \
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));               \
    } while (false)

QStringList rowTexts(const ListModel& list, int row) {
    return {list.text(row, 0), list.text(row, 1), list.text(row, 2)};
}

// Answers the digest's windows as a user does: each time a reminder box or
// the assistant comes up it notes the line and the sounds playing at that
// moment, then, once the window waits in its own loop, clicks OK or STOP
// (the assistant's first button or "Stop") as the script says.
class DigestWalker : public QObject {
  public:
    struct Seen {
        QString line;
        QStringList playing;
        bool modal = false;
        QString okCaption, stopCaption;
    };

    DigestWalker(std::shared_ptr<PlayerLog> sounds, QList<bool> stops)
        : sounds_(std::move(sounds)), stops_(std::move(stops)) {
        qApp->installEventFilter(this);
    }
    ~DigestWalker() override { qApp->removeEventFilter(this); }

    QList<Seen> seen;
    QStringList problems;
    // Runs while the first window waits for its answer.
    std::function<void()> whileFirstLineShown;

    QStringList lines() const {
        QStringList out;
        for (const Seen& s : seen) out << s.line;
        return out;
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || event->spontaneous()) return false;
        if (auto* box = qobject_cast<ReminderBox*>(watched)) {
            auto* label = box->findChild<QLabel*>(QStringLiteral("Label1"));
            answerBox(box, label ? label->text() : QString(),
                      box->findChild<QPushButton*>(QStringLiteral("BtnOk")),
                      box->findChild<QPushButton*>(QStringLiteral("BtnStop")), box->isModal());
        } else if (auto* assistant = qobject_cast<MessageAssistant*>(watched)) {
            answerBox(assistant, assistant->assistantText(), assistant->button(1),
                      assistant->button(2), false);
        }
        return false;
    }

  private:
    void answerBox(QWidget* window, const QString& line, QPushButton* ok, QPushButton* stop,
                   bool modal) {
        seen.push_back({line, sounds_->playing(), modal, ok ? ok->text() : QString(),
                        stop ? stop->text() : QString()});
        bool pressStop = false;
        if (stops_.isEmpty())
            problems << QStringLiteral("line beyond the script: ") + line;
        else
            pressStop = stops_.takeFirst();
        if (seen.size() == 1 && whileFirstLineShown)
            QTimer::singleShot(0, this, whileFirstLineShown);
        QPointer<QPushButton> button = pressStop ? stop : ok;
        QPointer<QWidget> target = window;
        QTimer::singleShot(0, this, [button, target, this] {
            if (button) {
                QTest::mouseClick(button, Qt::LeftButton);
            } else {
                problems << QStringLiteral("no button to press");
                if (target) target->close();
            }
        });
    }

    std::shared_ptr<PlayerLog> sounds_;
    QList<bool> stops_;
};

}  // namespace

class EndToEndTests : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void oneAppointmentFromCalendarToArchive();
    void startOnPreparedFilesWalksTheDigest_data();
    void startOnPreparedFilesWalksTheDigest();
};

void EndToEndTests::oneAppointmentFromCalendarToArchive() {
    Program p;
    const QString alarm = p.soundFile(QStringLiteral("allarme.wav"));
    SettingsFile ini;
    ini.days = 3;
    ini.sounds[3] = alarm.toLatin1();
    p.folder.write("Ricordel.ini", ini.bytes());
    // Written by hand, out of order and with leading zeros: the first save
    // must put the appointments in order and rewrite all three files.
    p.folder.write("Ricordel.dat", "9,3,\"Dopo\",\"\"\r\n7,3,\"Sera\",\"18:00\"\r\n");
    p.folder.write("Date.dat", "05,04,\"Scade bollo\"\r\n");
    p.folder.write("Ricorrenze.dat", "08,3,\"E' il Compleanno di Nicol\xF2\"\r\n");
    p.start();
    p.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(p.form));

    const QString message = QStringLiteral("Visita dal dottor Rossi, caffè");
    const QByteArray messageBytes = "Visita dal dottor Rossi, caff\xE8";

    // ---- 7 March picked in the calendar with the keyboard, then inserted.
    QCalendarWidget* calendar = p.form->calendar();
    QCOMPARE(calendar->selectedDate(), QDate(2026, 3, 7));
    calendar->setSelectedDate(QDate(2026, 3, 9));
    auto* days = calendar->findChild<QTableView*>();
    QVERIFY(days);
    days->setFocus();
    QTest::keyClick(days, Qt::Key_Left);
    QTest::keyClick(days, Qt::Key_Left);
    QCOMPARE(calendar->selectedDate(), QDate(2026, 3, 7));

    p.dialogs.type(message);
    p.dialogs.type(QStringLiteral("14:30"));
    QTest::mouseClick(p.button(Command::Insert), Qt::LeftButton);
    QVERIFY(p.dialogs.scriptUsedUp());
    QCOMPARE(p.dialogs.shown.size(), 2);
    QCOMPARE(p.dialogs.shown[0].text, QStringLiteral("Inserisci il MESSAGGIO"));
    QCOMPARE(p.dialogs.shown[1].title.value_or(QString()),
             QStringLiteral("Premere INVIO per non inserirla"));

    // Sorted by date and time, all three files rewritten, nothing left unsaved.
    QCOMPARE(p.folder.read("Ricordel.dat"), "7,3,\"" + messageBytes +
                                                "\",\"14:30\"\r\n7,3,\"Sera\",\"18:00\"\r\n"
                                                "9,3,\"Dopo\",\"\"\r\n");
    QCOMPARE(p.folder.read("Date.dat"), QByteArray("5,4,\"Scade bollo\"\r\n"));
    QCOMPARE(p.folder.read("Ricorrenze.dat"),
             QByteArray("8,3,\"E' il Compleanno di Nicol\xF2\"\r\n"));
    QVERIFY(!p.agenda().listsModified());
    QCOMPARE(p.appointments().entryCount(), 3);
    QCOMPARE(rowTexts(p.appointments(), 0),
             (QStringList{QStringLiteral("7/3"), message, QStringLiteral("14:30")}));
    VERIFY_ROW_COLOUR(p, 0, kLightYellow);  // today, 14:30 still to come
    VERIFY_ROW_COLOUR(p, 1, kLightYellow);
    VERIFY_ROW_COLOUR(p, 2, kWhite);  // two days ahead
    QCOMPARE(p.appointments().cellBackground(0, 3), 0u);

    // The digest reads the file: the new appointment is in today's lines.
    p.presenter.lines.clear();
    p.item("mnuRemember")->trigger();
    QCOMPARE(
        p.presenter.lines,
        (QStringList{QStringLiteral("Domani  E' il Compleanno di Nicolò"),
                     QStringLiteral("Oggi  ") + message + QStringLiteral("   Ore 14:30"),
                     QStringLiteral("Oggi  Sera   Ore 18:00"), QStringLiteral("Lunedì Dopo")}));

    // ---- The program waits in the notification area.
    QTest::mouseClick(p.button(Command::Exit), Qt::LeftButton);
    QCOMPARE(p.dialogs.shown.size(), 2);  // nothing unsaved: no question
    QVERIFY(!p.form->isVisible());
    QVERIFY(p.app->tray().isInTray());
    QVERIFY(p.tray.isShown());
    QVERIFY(!p.app->alarms().alarmWindow());

    // ---- 14:30: the alarm check brings the window back and rings.
    p.clock.set(QDate(2026, 3, 7), QTime(14, 30));
    p.app->alarms().checkAlarms();
    AlarmWindow* siren = p.app->alarms().alarmWindow();
    QVERIFY(siren);
    QVERIFY(siren->isVisible());
    auto* txtMsg = siren->findChild<QPlainTextEdit*>(QStringLiteral("TxtMsg"));
    QVERIFY(txtMsg);
    QCOMPARE(txtMsg->toPlainText(), message);
    QVERIFY(p.form->isVisible());
    QVERIFY(!p.app->tray().isInTray());
    QVERIFY(!p.tray.isShown());
    QCOMPARE(p.plays(), QStringList{QStringLiteral("play ") + alarm});
    QCOMPARE(p.sounds->playing(), QStringList{alarm});

    // Every 3 seconds the sound starts over.
    auto* restart = siren->findChild<QTimer*>(QStringLiteral("Timer1"));
    QVERIFY(restart);
    QCOMPARE(restart->interval(), 3000);
    QVERIFY(restart->isActive());
    QVERIFY(QMetaObject::invokeMethod(restart, "timeout"));
    QCOMPARE(p.plays(),
             (QStringList{QStringLiteral("play ") + alarm, QStringLiteral("play ") + alarm}));
    QCOMPARE(p.sounds->playing(), QStringList{alarm});

    // The next minute's check finds nothing new: it rang once.
    p.clock.set(QDate(2026, 3, 7), QTime(14, 31));
    p.app->alarms().checkAlarms();
    QCOMPARE(p.app->alarms().alarmWindow(), siren);
    QCOMPARE(txtMsg->toPlainText(), message);

    // ---- The colour refresh of the caption clock, on its 61st tick, turns
    // the row light red; the later appointment of the day stays yellow.
    CaptionClock& caption = p.app->caption();
    QSignalSpy repaints(&caption, &CaptionClock::repaintColoursRequested);
    const int ticksToRepaint = 61 - caption.ticks();
    QVERIFY(ticksToRepaint >= 1);
    for (int i = 1; i < ticksToRepaint; ++i) caption.tick();
    QCOMPARE(repaints.count(), 0);
    VERIFY_ROW_COLOUR(p, 0, kLightYellow);
    caption.tick();
    QCOMPARE(repaints.count(), 1);
    VERIFY_ROW_COLOUR(p, 0, kLightRed);
    VERIFY_ROW_COLOUR(p, 1, kLightYellow);

    // A click on the text silences the alarm and closes the window.
    QTest::mouseClick(txtMsg->viewport(), Qt::LeftButton);
    QVERIFY(!p.app->alarms().alarmWindow());
    QVERIFY(p.sounds->playing().isEmpty());

    // ---- The next morning's digest no longer lists it.
    p.clock.set(QDate(2026, 3, 8), QTime(9, 0));
    p.presenter.lines.clear();
    p.item("mnuRemember")->trigger();
    QCOMPARE(p.presenter.lines, (QStringList{QStringLiteral("Oggi  E' il Compleanno di Nicolò"),
                                             QStringLiteral("Domani  Dopo")}));

    // ---- Postponed by one day from the grid's menu.
    p.clickAppointment(0);
    QCOMPARE(p.shown().currentRow(ListKind::Appointments), 0);
    p.dialogs.answer(MsgAnswer::Yes);
    p.item("mnuRimGio")->trigger();
    QVERIFY(p.dialogs.scriptUsedUp());
    const ScriptedDialogs::Shown confirmMove = p.dialogs.shown.last();
    QCOMPARE(confirmMove.text, QStringLiteral("7/3 - ") + message);
    QCOMPARE(confirmMove.title.value_or(QString()), QStringLiteral("CONFERMA SPOSTAMENTO"));
    QCOMPARE(confirmMove.buttons, MsgButtons::YesNo);
    QCOMPARE(p.folder.read("Ricordel.dat"), "7,3,\"Sera\",\"18:00\"\r\n8,3,\"" + messageBytes +
                                                "\",\"14:30\"\r\n9,3,\"Dopo\",\"\"\r\n");
    QCOMPARE(rowTexts(p.appointments(), 1),
             (QStringList{QStringLiteral("8/3"), message, QStringLiteral("14:30")}));
    VERIFY_ROW_COLOUR(p, 0, kLightRed);     // yesterday
    VERIFY_ROW_COLOUR(p, 1, kLightYellow);  // today again, later on
    VERIFY_ROW_COLOUR(p, 2, kLightGreen);   // tomorrow

    // ---- Archived, then the two others too: the archive keeps them in the
    // order of archiving and the list ends empty.
    p.clickAppointment(1);
    QCOMPARE(p.shown().currentRow(ListKind::Appointments), 1);
    p.dialogs.answer(MsgAnswer::Yes);
    p.item("mnuArchivia")->trigger();
    const ScriptedDialogs::Shown confirmArchive = p.dialogs.shown.last();
    QCOMPARE(confirmArchive.text, QStringLiteral("8/3 - ") + message);
    QCOMPARE(confirmArchive.title.value_or(QString()), QStringLiteral("CONFERMA ARCHIVIAZIONE"));
    QCOMPARE(p.folder.read("Archivio/2026.txt"), "8,3,\"" + messageBytes + "\",\"14:30\"\r\n");
    QCOMPARE(p.folder.read("Ricordel.dat"),
             QByteArray("7,3,\"Sera\",\"18:00\"\r\n9,3,\"Dopo\",\"\"\r\n"));

    for (int left = 2; left > 0; --left) {
        p.clickAppointment(0);
        p.dialogs.answer(MsgAnswer::Yes);
        p.item("mnuArchivia")->trigger();
        QCOMPARE(p.appointments().entryCount(), left - 1);
    }
    QVERIFY(p.dialogs.scriptUsedUp());
    QCOMPARE(p.folder.read("Archivio/2026.txt"), "8,3,\"" + messageBytes +
                                                     "\",\"14:30\"\r\n7,3,\"Sera\",\"18:00\"\r\n"
                                                     "9,3,\"Dopo\",\"\"\r\n");
    QCOMPARE(p.folder.read("Ricordel.dat"), QByteArray());
    QVERIFY(p.appointments().isEmpty());
    QCOMPARE(p.grid1()->model()->rowCount(), 0);
    // Archiving writes the appointments only.
    QCOMPARE(p.folder.read("Date.dat"), QByteArray("5,4,\"Scade bollo\"\r\n"));
    QVERIFY(!p.agenda().listsModified());
    // Two prompts and four questions, nothing else.
    QCOMPARE(p.dialogs.shown.size(), 6);
}

void EndToEndTests::startOnPreparedFilesWalksTheDigest_data() {
    QTest::addColumn<bool>("assistant");
    QTest::newRow("reminder box") << false;
    QTest::newRow("assistant") << true;
}

// 7 March 2026 is a Saturday, three days of notice: up to Tuesday 10 March.
void EndToEndTests::startOnPreparedFilesWalksTheDigest() {
    QFETCH(bool, assistant);
    Program p(/*windows=*/true);
    const QString bell = p.soundFile(QStringLiteral("campana.wav"));
    const QString gong = p.soundFile(QStringLiteral("gong.wav"));
    SettingsFile ini;
    ini.days = 3;
    ini.newMsg = assistant;
    ini.sounds[2] = bell.toLatin1();                             // anniversaries
    ini.sounds[0] = gong.toLatin1();                             // deadlines
    ini.sounds[1] = p.folder.file("cancellato.wav").toLatin1();  // appointments: no such file
    ini.sounds[3] = p.soundFile(QStringLiteral("allarme.wav")).toLatin1();
    p.folder.write("Ricordel.ini", ini.bytes());
    p.folder.write("Ricorrenze.dat",
                   "7,3,\"E' il Compleanno di Nicol\xF2\"\r\n"
                   "9,3,\"E' il Compleanno di Bruno\"\r\n"
                   "1,1,\"E' il Compleanno di Carla\"\r\n");
    p.folder.write("Date.dat",
                   "6,3,\"Scade ieri\"\r\n8,3,\"Scade bollo\"\r\n10,3,\"Scade tassa\"\r\n"
                   "11,3,\"Scade troppo tardi\"\r\n");
    p.folder.write("Ricordel.dat",
                   "7,3,\"Dentista\",\"9:30\"\r\n7,3,\"Telefonare\",\"10:01\"\r\n"
                   "8,3,\"Riunione\",\"\"\r\n10,3,\"Cena\",\"20:00\"\r\n");
    QDir(p.folder.path()).mkdir(QStringLiteral("img"));
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(QColor(200, 0, 0));
    QVERIFY(picture.save(p.folder.file("img/msgbox.jpg"), "JPG"));

    // ---- The digest at start-up. STOP on the first anniversary, OK through
    // the deadlines, STOP on the second appointment.
    {
        DigestWalker walker(p.sounds, {true, false, false, false, true});
        p.start();

        QVERIFY2(walker.problems.isEmpty(), qPrintable(walker.problems.join(u'\n')));
        // Anniversaries, deadlines, appointments; STOP ends only its own list,
        // and the list after it still shows its first line.
        QCOMPARE(walker.lines(), (QStringList{QStringLiteral("Oggi  E' il Compleanno di Nicolò"),
                                              QStringLiteral("Domani  Scade bollo"),
                                              QStringLiteral("Martedì Scade tassa"),
                                              QStringLiteral("Oggi  Dentista   Ore 9:30"),
                                              QStringLiteral("Oggi  Telefonare   Ore 10:01")}));
        // Each list's own sound, and none where the sound file is missing.
        QCOMPARE(p.plays(),
                 (QStringList{QStringLiteral("play ") + bell, QStringLiteral("play ") + gong,
                              QStringLiteral("play ") + gong}));
        QVERIFY(walker.seen[0].playing.contains(bell));
        QVERIFY(walker.seen[1].playing.contains(gong));
        QVERIFY(walker.seen[2].playing.contains(gong));

        if (assistant) {
            for (const DigestWalker::Seen& s : walker.seen)
                QCOMPARE(s.stopCaption, QStringLiteral("Stop"));
            AssistantWindow* host = p.app->reminderWindows()->assistant();
            QVERIFY(host);
            QCOMPARE(host->objectName(), QStringLiteral("FormMsgAss"));
            QVERIFY(!host->isVisible());
            QVERIFY(!host->assistant()->isVisible());  // stays loaded, hidden
            auto* shown = host->assistant()->findChild<QLabel*>(QStringLiteral("AssistantPicture"));
            QVERIFY(shown);
            const QImage fromFile = shown->pixmap().toImage();
            QCOMPARE(fromFile.size(), QSize(40, 30));
            QVERIFY(qRed(fromFile.pixel(20, 15)) > 150 && qGreen(fromFile.pixel(20, 15)) < 80);
            // The assistant's Stop is no STOP of the reminder box.
            QVERIFY(!p.app->reminderWindows()->stopReminders());
        } else {
            for (const DigestWalker::Seen& s : walker.seen) {
                QVERIFY(s.modal);
                QCOMPARE(s.okCaption, QStringLiteral("OK"));
                QCOMPARE(s.stopCaption, QStringLiteral("STOP"));
            }
            // A fresh box for each appointment line: the gong of the deadlines
            // ended with its box.
            QVERIFY(walker.seen[3].playing.isEmpty());
            QVERIFY(walker.seen[4].playing.isEmpty());
            QVERIFY(p.sounds->playing().isEmpty());
            QVERIFY(p.app->reminderWindows()->stopReminders());  // the last press was STOP
        }
    }

    // ---- The program then runs on the prepared lists, nothing rewritten.
    QCOMPARE(p.agenda().list(ListKind::Anniversaries).entryCount(), 3);
    QCOMPARE(p.agenda().list(ListKind::Deadlines).entryCount(), 4);
    QCOMPARE(p.appointments().entryCount(), 4);
    VERIFY_ROW_COLOUR(p, 0, kLightRed);     // 9:30 has gone by at 10:00
    VERIFY_ROW_COLOUR(p, 1, kLightYellow);  // 10:01 is still to come
    VERIFY_ROW_COLOUR(p, 2, kLightGreen);   // tomorrow
    QCOMPARE(p.folder.read("Ricorrenze.dat"), QByteArray("7,3,\"E' il Compleanno di Nicol\xF2\"\r\n"
                                                         "9,3,\"E' il Compleanno di Bruno\"\r\n"
                                                         "1,1,\"E' il Compleanno di Carla\"\r\n"));
    QVERIFY(p.tray.isShown());
    QVERIFY(p.app->alarms().engine().minuteTimer()->isActive());
    QVERIFY(!p.app->alarms().alarmWindow());

    // ---- The digest on request. The remembered STOP hides no first line,
    // and 10:01 strikes while the first line waits: the alarm window opens
    // over the digest, which then goes on to its end.
    DigestWalker again(p.sounds, QList<bool>(8, false));
    QString alarmText;
    bool digestWaiting = false;
    again.whileFirstLineShown = [&] {
        p.clock.set(QDate(2026, 3, 7), QTime(10, 1));
        p.app->alarms().checkAlarms();
        AlarmWindow* siren = p.app->alarms().alarmWindow();
        alarmText = siren && siren->isVisible() ? siren->text() : QString();
        digestWaiting =
            assistant ? p.app->reminderWindows()->assistant()->assistant()->isWaiting()
                      : qobject_cast<ReminderBox*>(QApplication::activeModalWidget()) != nullptr;
    };
    p.item("mnuRemember")->trigger();
    QVERIFY2(again.problems.isEmpty(), qPrintable(again.problems.join(u'\n')));
    QCOMPARE(again.lines(),
             (QStringList{
                 QStringLiteral("Oggi  E' il Compleanno di Nicolò"),
                 QStringLiteral("Lunedì E' il Compleanno di Bruno"),
                 QStringLiteral("Domani  Scade bollo"), QStringLiteral("Martedì Scade tassa"),
                 QStringLiteral("Oggi  Dentista   Ore 9:30"),
                 QStringLiteral("Oggi  Telefonare   Ore 10:01"), QStringLiteral("Domani  Riunione"),
                 QStringLiteral("Martedì Cena   Ore 20:00")}));
    QVERIFY(digestWaiting);
    QCOMPARE(alarmText, QStringLiteral("Telefonare"));
    // The alarm outlives the digest and keeps its own sound.
    AlarmWindow* siren = p.app->alarms().alarmWindow();
    QVERIFY(siren);
    QVERIFY(siren->isVisible());
    QVERIFY(p.sounds->playing().contains(QString::fromLatin1(ini.sounds[3])));
    QVERIFY(p.form->isVisible());
    QTest::mouseClick(siren->findChild<QPlainTextEdit*>(QStringLiteral("TxtMsg"))->viewport(),
                      Qt::LeftButton);
    QVERIFY(!p.app->alarms().alarmWindow());
    QVERIFY(!p.sounds->playing().contains(QString::fromLatin1(ini.sounds[3])));
}

QTEST_MAIN(EndToEndTests)
#include "endtoend_test.moc"

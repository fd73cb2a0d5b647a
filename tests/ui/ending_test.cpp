// The program ends whole from any state: a termination signal or a confirmed
// "&Chiudi" leaves every waiting box and event loop, keeps the typed edits,
// and a start-up asked to end never enters its event loop.
#include <QApplication>
#include <QInputDialog>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include <csignal>

#include "app/application.h"
#include "core/agenda.h"
#include "notify/messageassistant.h"
#include "notify/reminderbox.h"
#include "notify/termination.h"
#include "support/windowrig.h"
#include "ui/widgetdialogs.h"

namespace {

// The real program's windows (reminder box, assistant) over a data folder
// with a deadline due today, so every digest has a line to wait on.
struct Program : WindowRig {
    TerminationWatcher termination;

    // `boxes`: the real message and input boxes instead of the script.
    explicit Program(bool assistant, Dialogs* boxes = nullptr) {
        SettingsFile settings;
        settings.newMsg = assistant;
        folder.write("Ricordel.ini", settings.bytes());
        folder.write("Date.dat", "7,3,\"Bollo\"\r\n");
        realDigestWindows = true;
        realBoxes = boxes;
        make();
        QObject::connect(&termination, &TerminationWatcher::terminationRequested, &app->lifetime(),
                         &ProgramLifetime::terminate);
    }
    // Runs `f` once start-up is over and the window is up in the event loop.
    void whenRunning(const std::function<void()>& f) {
        QTimer::singleShot(10, form, [this, f] {
            if (form->isVisible())
                f();
            else
                whenRunning(f);
        });
    }
    // Types a character at the end of the deadline's message.
    void typeEdit() {
        form->shown().selectTab(1);
        form->shown().setCurrentCell(ListKind::Deadlines, 0, 1);
        QTest::keyClick(form->grid(ListKind::Deadlines), 'X');
        QVERIFY(form->agenda().listsModified());
    }
};

// Calls `act` each time the assistant comes to wait for a button.
[[nodiscard]] std::unique_ptr<QTimer> onAssistantWaiting(
    const std::function<void(MessageAssistant*)>& act) {
    auto poll = std::make_unique<QTimer>();
    QObject::connect(poll.get(), &QTimer::timeout, poll.get(), [act, acted = false]() mutable {
        MessageAssistant* waiting = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* assistant = qobject_cast<MessageAssistant*>(w);
            if (assistant && assistant->isWaiting()) waiting = assistant;
        }
        if (!waiting) acted = false;
        if (!waiting || acted) return;
        acted = true;
        act(waiting);
    });
    poll->start(10);
    return poll;
}

}  // namespace

class EndingTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void terminationWhileTheAssistantWaitsKeepsTheEdits();
    void chiudiWhileTheAssistantWaitsEndsTheEventLoops();
    void terminationDuringTheTimePromptInsertsNothing();
    // Last: it leaves the application's event loop flag set.
    void terminationDuringTheStartUpDigestNeverStartsTheLoop();
};

void EndingTest::terminationWhileTheAssistantWaitsKeepsTheEdits() {
    Program p(true);
    if (!p.termination.isActive()) QSKIP("no termination signals on this system");
    int waits = 0;
    const auto watch = onAssistantWaiting([&](MessageAssistant* assistant) {
        if (++waits == 1) {
            assistant->pressButton(1);  // the start-up digest is read
            // Then, in the running program: an edit, and the digest again.
            p.whenRunning([&] {
                p.typeEdit();
                p.app->digest().run();
            });
        } else {
            std::raise(SIGTERM);  // while the assistant waits
        }
    });
    QCOMPARE(p.app->run(), 0);  // returns: every event loop was left
    QCOMPARE(waits, 2);
    QVERIFY(p.app->lifetime().isEnding());
    QCOMPARE(p.folder.read("Date.dat"), QByteArray("7,3,\"BolloX\"\r\n"));
    QVERIFY(p.dialogs.shown.isEmpty());
    QVERIFY(!p.app->reminderWindows()->assistant()->assistant()->isVisible());
}

void EndingTest::chiudiWhileTheAssistantWaitsEndsTheEventLoops() {
    Program p(true);
    int waits = 0;
    const auto watch = onAssistantWaiting([&](MessageAssistant* assistant) {
        if (++waits == 1) {
            assistant->pressButton(1);
            p.whenRunning([&] {
                p.typeEdit();
                p.app->digest().run();
            });
        } else {
            p.dialogs.answer(MsgAnswer::Ok);   // "Conferma chiusura del programma"
            p.dialogs.answer(MsgAnswer::Yes);  // "Salvare le modifiche effettuate ?"
            p.app->tray().menu()->findChild<QAction*>("mnuChiudi")->trigger();
        }
    });
    QCOMPARE(p.app->run(), 0);
    QCOMPARE(waits, 2);
    QCOMPARE(p.dialogs.shown.size(), 2);
    QCOMPARE(p.folder.read("Date.dat"), QByteArray("7,3,\"BolloX\"\r\n"));
    QVERIFY(!p.tray.isShown());
    QVERIFY(!p.app->reminderWindows()->assistant()->assistant()->isVisible());
}

void EndingTest::terminationDuringTheTimePromptInsertsNothing() {
    WidgetDialogs boxes;
    Program p(true, &boxes);
    if (!p.termination.isActive()) QSKIP("no termination signals on this system");
    const auto digest = onAssistantWaiting([](MessageAssistant* a) { a->pressButton(1); });
    int prompts = 0;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&, last = QPointer<QInputDialog>()]() mutable {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!box || box == last) return;
        last = box;
        if (++prompts == 1) {
            box->setTextValue(QStringLiteral("Dentista"));
            box->accept();
        } else {
            std::raise(SIGTERM);  // while Inserisci asks for the time
        }
    });
    answer.start(10);
    p.whenRunning([&] {
        p.form->shown().selectTab(0);
        p.form->runCommand(Command::Insert);
    });
    QCOMPARE(p.app->run(), 0);
    QCOMPARE(prompts, 2);
    QCOMPARE(p.form->agenda().appointments().entryCount(), 0);
    QCOMPARE(p.folder.read("Ricordel.dat"), QByteArray());
}

void EndingTest::terminationDuringTheStartUpDigestNeverStartsTheLoop() {
    Program p(false);
    if (!p.termination.isActive()) QSKIP("no termination signals on this system");
    bool boxWasWaiting = false;
    QTimer::singleShot(0, [&] {
        boxWasWaiting = qobject_cast<ReminderBox*>(QApplication::activeModalWidget()) != nullptr;
        std::raise(SIGTERM);
    });
    // load waits in the reminder box; the signal ends the program there,
    // before the event loop: Run() returns instead of entering it.
    QCOMPARE(p.app->run(), 0);
    QVERIFY(boxWasWaiting);
    QVERIFY(p.app->lifetime().isEnding());
    QVERIFY(!p.form->isVisible());
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(!p.tray.isShown());
}

QTEST_MAIN(EndingTest)
#include "ending_test.moc"

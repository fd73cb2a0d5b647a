// How the program ends: "&Chiudi" and its questions, the end of the desktop
// session, a termination from the system and the refused close requests.
#include <QCoreApplication>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest/QTest>

#include <csignal>

#include "notify/termination.h"
#include "support/notifierrig.h"

namespace {

#ifdef Q_OS_WIN
const QString kCloseText = QString::fromUtf8(
    "Attenzione, non verranno più notificati gli appuntamenti fino al prossimo avvio di Windows");
#else
const QString kCloseText = QString::fromUtf8(
    "Attenzione, non verranno più notificati gli appuntamenti fino al prossimo avvio di Ricordel");
#endif

}  // namespace

class LifetimeTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void closeRequestsAreRefused();
    void chiudiCancelChangesNothing();
    void chiudiOffersToSaveUnsavedEdits();
    void chiudiStaysWhenTheSaveFails();
    void sessionEndSavesWithoutEndingTheProgram();
    void terminationSavesAndEnds();
    void quitFromTheSessionEndsAsATermination();
};

void LifetimeTest::closeRequestsAreRefused() {
    NotifierRig rig;
    rig.showWithIcon();
    QVERIFY(!rig.mainWindow().close());
    QVERIFY(rig.mainWindow().isVisible());
    QVERIFY(rig.tray.isShown());
}

void LifetimeTest::chiudiCancelChangesNothing() {
    NotifierRig rig;
    rig.showWithIcon();
    rig.agenda().setListsModified(true);
    QSignalSpy quit(&rig.app->lifetime(), &ProgramLifetime::quitRequested);
    QSignalSpy save(&rig.app->lifetime(), &ProgramLifetime::saveAllRequested);
    rig.dialogs.answer(MsgAnswer::Cancel);
    rig.app->lifetime().closeProgram();
    QCOMPARE(rig.dialogs.shown.size(), 1);
    const auto& asked = rig.dialogs.shown[0];
    QCOMPARE(asked.text, kCloseText);
    QCOMPARE(asked.title.value_or("?"), "Conferma chiusura del programma");
    QCOMPARE(asked.buttons, MsgButtons::OkCancel);
    QCOMPARE(asked.icon, MsgIcon::Question);
    QCOMPARE(quit.count(), 0);
    QCOMPARE(save.count(), 0);
    QVERIFY(rig.tray.isShown());
    QVERIFY(rig.agenda().listsModified());
}

void LifetimeTest::chiudiOffersToSaveUnsavedEdits() {
    {
        NotifierRig rig;
        rig.showWithIcon();
        rig.agenda().setListsModified(true);
        QStringList order;
        connect(&rig.app->lifetime(), &ProgramLifetime::saveAllRequested, [&] {
            order << "save";
            rig.agenda().setListsModified(false);
        });
        connect(&rig.app->lifetime(), &ProgramLifetime::quitRequested, [&] { order << "quit"; });
        rig.dialogs.answer(MsgAnswer::Ok);
        rig.dialogs.answer(MsgAnswer::Yes);
        rig.app->lifetime().closeProgram();
        QCOMPARE(rig.dialogs.shown.size(), 2);
        QCOMPARE(rig.dialogs.shown[1].text, "Salvare le modifiche effettuate ?");
        QCOMPARE(rig.dialogs.shown[1].buttons, MsgButtons::YesNo);
        QCOMPARE(order, QStringList({"save", "quit"}));
        QVERIFY(!rig.tray.isShown());
        QVERIFY(rig.mainWindow().close());  // the program ends: the window may go
    }
    {
        NotifierRig rig;
        rig.showWithIcon();
        rig.agenda().setListsModified(true);
        QSignalSpy quit(&rig.app->lifetime(), &ProgramLifetime::quitRequested);
        QSignalSpy save(&rig.app->lifetime(), &ProgramLifetime::saveAllRequested);
        rig.dialogs.answer(MsgAnswer::Ok);
        rig.dialogs.answer(MsgAnswer::No);
        rig.app->lifetime().closeProgram();
        QCOMPARE(save.count(), 0);
        QCOMPARE(quit.count(), 1);
    }
    {
        NotifierRig rig;  // nothing unsaved: no second question
        rig.showWithIcon();
        QSignalSpy quit(&rig.app->lifetime(), &ProgramLifetime::quitRequested);
        rig.dialogs.answer(MsgAnswer::Ok);
        rig.app->lifetime().closeProgram();
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(quit.count(), 1);
    }
}

void LifetimeTest::chiudiStaysWhenTheSaveFails() {
    NotifierRig rig;
    rig.showWithIcon();
    rig.agenda().setListsModified(true);
    QSignalSpy quit(&rig.app->lifetime(), &ProgramLifetime::quitRequested);
    rig.savesFail();  // the save runs but cannot write: the edits stay unsaved
    rig.app->alarms().start();
    rig.app->caption().start();
    rig.dialogs.answer(MsgAnswer::Ok);
    rig.dialogs.answer(MsgAnswer::Yes);
    rig.app->lifetime().closeProgram();
    QCOMPARE(quit.count(), 0);
    // Left whole: the alarm check and the icon go on.
    QVERIFY(rig.tray.isShown());
    QVERIFY(rig.app->alarms().engine().minuteTimer()->isActive());
    QVERIFY(rig.app->caption().timer()->isActive());
    QVERIFY(!rig.mainWindow().close());
}

void LifetimeTest::sessionEndSavesWithoutEndingTheProgram() {
    NotifierRig rig;
    rig.showWithIcon();
    rig.agenda().setListsModified(true);
    QSignalSpy save(&rig.app->lifetime(), &ProgramLifetime::saveAllRequested);
    connect(&rig.app->lifetime(), &ProgramLifetime::saveAllRequested,
            [&] { rig.agenda().setListsModified(false); });
    int interactionAsked = 0;
    const auto mayAsk = [&interactionAsked] { return ++interactionAsked > 0; };
    QVERIFY(rig.app->lifetime().sessionEnding(mayAsk));
    QCOMPARE(save.count(), 1);
    QVERIFY(rig.dialogs.shown.isEmpty());  // no question at the session's end
    QCOMPARE(interactionAsked, 0);         // nor a request for interaction
    // Until the session tells the program to quit, nothing has ended: a
    // cancelled logout leaves the close box refusing and the alarms running.
    QVERIFY(!rig.mainWindow().close());
    QVERIFY(!rig.app->lifetime().isEnding());
    QVERIFY(rig.tray.isShown());

    NotifierRig failing;  // the save cannot write: the user may stay in the session
    failing.savesFail();
    failing.agenda().setListsModified(true);
    const QString stay = QStringLiteral(
        "Le modifiche non sono state salvate. Annullare la chiusura della sessione?");
    failing.dialogs.answer(MsgAnswer::Ok);  // the save's own report
    failing.dialogs.answer(MsgAnswer::Yes);
    QVERIFY(!failing.app->lifetime().sessionEnding(mayAsk));
    QCOMPARE(failing.dialogs.texts().count(stay), 1);
    QCOMPARE(interactionAsked, 1);
    failing.dialogs.answer(MsgAnswer::Ok);
    failing.dialogs.answer(MsgAnswer::No);
    QVERIFY(failing.app->lifetime().sessionEnding(mayAsk));
    failing.dialogs.answer(MsgAnswer::Ok);
    QVERIFY(failing.app->lifetime().sessionEnding(
        [] { return false; }));  // no interaction: no question
    QCOMPARE(failing.dialogs.texts().count(stay), 2);
    QVERIFY(failing.agenda().listsModified());
}

void LifetimeTest::terminationSavesAndEnds() {
    TerminationWatcher watcher;
    if (!watcher.isActive()) QSKIP("no termination signals on this system");
    NotifierRig rig;
    rig.showWithIcon();
    rig.agenda().setListsModified(true);
    QStringList order;
    connect(&rig.app->lifetime(), &ProgramLifetime::saveAllRequested, [&] { order << "save"; });
    connect(&rig.app->lifetime(), &ProgramLifetime::quitRequested, [&] { order << "quit"; });
    connect(&watcher, &TerminationWatcher::terminationRequested, &rig.app->lifetime(),
            &ProgramLifetime::terminate);
    QSignalSpy requested(&watcher, &TerminationWatcher::terminationRequested);
    std::raise(SIGTERM);  // caught: the test goes on
    QVERIFY(requested.wait(5000));
    // Out of every waiting box first, so a failing save cannot hold the end up.
    QCOMPARE(order, QStringList({"quit", "save"}));
    QVERIFY(rig.dialogs.shown.isEmpty());
    QVERIFY(!rig.tray.isShown());
    QVERIFY(rig.mainWindow().close());  // the program ends: the window may go
}

void LifetimeTest::quitFromTheSessionEndsAsATermination() {
    NotifierRig rig;
    rig.showWithIcon();
    rig.agenda().setListsModified(true);
    QStringList order;
    connect(&rig.app->lifetime(), &ProgramLifetime::saveAllRequested, [&] { order << "save"; });
    connect(&rig.app->lifetime(), &ProgramLifetime::quitRequested, [&] { order << "quit"; });
    QVERIFY(!rig.mainWindow().close());
    // What the session manager's last word sends: the program ends without
    // asking its windows, so none can refuse and leave it half stopped.
    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(qApp, &quit);
    QCOMPARE(order, QStringList({"quit", "save"}));
    QVERIFY(rig.app->lifetime().isEnding());
    QVERIFY(!rig.app->alarms().engine().minuteTimer()->isActive());
    QVERIFY(rig.mainWindow().close());
}

QTEST_MAIN(LifetimeTest)
#include "lifetime_test.moc"

// The icon in the notification area, the caption clock, the ways the program
// ends, and the guard against a second copy on the same folder.
#include <QApplication>
#include <QLockFile>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest/QTest>

#include <csignal>

#include "core/agenda.h"
#include "core/version.h"
#include "fakeclock.h"
#include "fakeplayer.h"
#include "faketray.h"
#include "notify/formsiren.h"
#include "notify/notifier.h"
#include "notify/singleinstance.h"
#include "notify/termination.h"
#include "notify/trayicon.h"
#include "scripteddialogs.h"
#include "scriptedpresenter.h"
#include "tempfolder.h"

namespace {

#ifdef Q_OS_WIN
const QString kCloseText = QString::fromUtf8(
    "Attenzione, non verranno più notificati gli appuntamenti fino al prossimo avvio di Windows");
#else
const QString kCloseText = QString::fromUtf8(
    "Attenzione, non verranno più notificati gli appuntamenti fino al prossimo avvio di Ricordel");
#endif

struct TrayRig {
    TempCurrentFolder folder;
    FakeClock clock;
    ScriptedDialogs dialogs;
    Agenda agenda{clock, dialogs};
    QWidget mainWindow;
    FakeTray tray;
    QMenu mnuTray;
    ScriptedPresenter presenter;
    std::shared_ptr<PlayerLog> sounds = std::make_shared<PlayerLog>();
    std::unique_ptr<Notifier> notifier;

    explicit TrayRig(bool trayAvailable = true) : tray(trayAvailable) {
        mnuTray.setObjectName("mnuTray");
        for (const char* name : {"mnuVisMess", "mnuApriMess", "mnuProva", "mnuChiudi"})
            mnuTray.addAction(QString::fromLatin1(name))->setObjectName(QString::fromLatin1(name));
        notifier = std::make_unique<Notifier>(
            agenda, &mainWindow,
            NotifierServices{&clock, &dialogs, FakePlayerFactory(sounds), &tray, &presenter});
        notifier->setTrayMenu(&mnuTray);
        // Start-up: the window appears with its icon beside it.
        notifier->AddTrayIcon();
        mainWindow.show();
    }
};

}  // namespace

class TrayTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void captionClockCountsAndRepaints();
    void iconCarriesTipIconAndMenu();
    void clicksOnTheIconOpenTheWindow();
    void exitHidesToTheIconOrMinimisesWithoutOne();
    void clicksWaitWhileTheMenuIsOpenAndItsCommandRuns();
    void closeRequestsAreRefused();
    void chiudiCancelChangesNothing();
    void chiudiOffersToSaveUnsavedEdits();
    void chiudiStaysWhenTheSaveFails();
    void sessionEndSavesWithoutEndingTheProgram();
    void terminationSavesAndEnds();
    void realTrayWhenAvailable();
    void secondCopyAsksTheFirstToShow();
    void staleLockIsTakenOver();
    void quitFromTheSessionEndsAsATermination();
};

void TrayTest::captionClockCountsAndRepaints() {
    TrayRig rig;
    QSignalSpy captions(rig.notifier.get(), &Notifier::captionChanged);
    QSignalSpy repaints(rig.notifier.get(), &Notifier::repaintColoursRequested);
    const QString caption =
        QStringLiteral("Ricordel by Tobrani - Versione " RICORDEL_VERSION_TEXT " (%1)");
    rig.notifier->Timer2_Timer();
    QCOMPARE(rig.mainWindow.windowTitle(), caption.arg(0));
    for (int i = 1; i <= 59; ++i) rig.notifier->Timer2_Timer();
    QCOMPARE(captions.last().at(0).toString(), caption.arg(59));
    QCOMPARE(repaints.count(), 0);
    rig.notifier->Timer2_Timer();
    QCOMPARE(rig.mainWindow.windowTitle(), caption.arg(60));
    QCOMPARE(repaints.count(), 1);  // the tick that shows 60 repaints
    rig.notifier->Timer2_Timer();
    QCOMPARE(rig.mainWindow.windowTitle(), caption.arg(1));
    for (int i = 2; i <= 60; ++i) rig.notifier->Timer2_Timer();
    QCOMPARE(repaints.count(), 2);
    QCOMPARE(captions.count(), 121);
    QCOMPARE(rig.notifier->captionTimer()->interval(), 1000);
}

void TrayTest::iconCarriesTipIconAndMenu() {
    TrayRig rig;
    QVERIFY(rig.tray.isShown());
    QVERIFY(rig.notifier->InTray());
    QCOMPARE(rig.tray.tip_, "Ricordel by Tobrani");
    QVERIFY(!rig.tray.icon_.isNull());
    QVERIFY(!rig.tray.icon_.pixmap(16, 16).isNull());
    QCOMPARE(rig.tray.menu_.data(), &rig.mnuTray);
}

void TrayTest::clicksOnTheIconOpenTheWindow() {
    for (auto reason : {QSystemTrayIcon::DoubleClick, QSystemTrayIcon::Trigger}) {
        TrayRig rig;
        rig.notifier->HideToTray();
        QVERIFY(!rig.mainWindow.isVisible());
        rig.tray.click(QSystemTrayIcon::Context);  // the menu's business, not ours
        rig.tray.click(QSystemTrayIcon::MiddleClick);
        QVERIFY(!rig.mainWindow.isVisible());
        QVERIFY(rig.tray.isShown());
        rig.tray.click(reason);
        QVERIFY(rig.mainWindow.isVisible());
        QVERIFY(!rig.tray.isShown());
        QVERIFY(!rig.notifier->InTray());
        QVERIFY(!rig.notifier->TrayBusy());
    }
    // Opening also brings a minimised window back.
    TrayRig rig;
    rig.mainWindow.showMinimized();
    rig.notifier->OpenMainWindow();
    QVERIFY(!(rig.mainWindow.windowState() & Qt::WindowMinimized));
}

void TrayTest::exitHidesToTheIconOrMinimisesWithoutOne() {
    TrayRig rig;
    rig.notifier->OpenMainWindow();
    rig.notifier->HideToTray();
    QVERIFY(!rig.mainWindow.isVisible());
    QVERIFY(rig.tray.isShown());
    QVERIFY(rig.notifier->InTray());

    TrayRig bare(false);  // a desktop without a notification area
    QVERIFY(!bare.notifier->InTray());
    bare.notifier->HideToTray();
    QVERIFY(bare.mainWindow.isVisible());
    QVERIFY(bare.mainWindow.windowState() & Qt::WindowMinimized);
}

void TrayTest::clicksWaitWhileTheMenuIsOpenAndItsCommandRuns() {
    TrayRig rig;
    rig.notifier->HideToTray();
    Q_EMIT rig.mnuTray.aboutToShow();
    rig.tray.click(QSystemTrayIcon::Trigger);
    QVERIFY(!rig.mainWindow.isVisible());
    Q_EMIT rig.mnuTray.aboutToHide();
    rig.tray.click(QSystemTrayIcon::Trigger);
    QVERIFY(rig.mainWindow.isVisible());

    // The menu hides before its item runs: a digest chosen there still keeps
    // the icon and the menu quiet while its line waits for the user.
    rig.notifier->HideToTray();
    rig.folder.write("Date.dat", "7,3,\"Bollo\"\r\n");  // due today
    QAction* visMess = rig.mnuTray.findChild<QAction*>("mnuVisMess");
    bool quietMeanwhile = false;
    rig.presenter.stopAfter = [&](const QString&) {
        rig.tray.click(QSystemTrayIcon::Trigger);
        quietMeanwhile = !rig.mainWindow.isVisible() && rig.notifier->TrayBusy() &&
                         !rig.mnuTray.findChild<QAction*>("mnuChiudi")->isEnabled();
        return false;
    };
    Q_EMIT rig.mnuTray.aboutToShow();
    Q_EMIT rig.mnuTray.aboutToHide();
    visMess->trigger();
    QCOMPARE(rig.presenter.lines.size(), 1);
    QVERIFY(quietMeanwhile);
    QVERIFY(!rig.notifier->TrayBusy());
    QVERIFY(visMess->isEnabled());
    rig.tray.click(QSystemTrayIcon::Trigger);
    QVERIFY(rig.mainWindow.isVisible());
}

void TrayTest::closeRequestsAreRefused() {
    TrayRig rig;
    QVERIFY(!rig.mainWindow.close());
    QVERIFY(rig.mainWindow.isVisible());
    QVERIFY(rig.tray.isShown());
}

void TrayTest::chiudiCancelChangesNothing() {
    TrayRig rig;
    rig.agenda.SetListsModified(true);
    QSignalSpy quit(rig.notifier.get(), &Notifier::quitRequested);
    QSignalSpy save(rig.notifier.get(), &Notifier::saveAllRequested);
    rig.dialogs.answer(MsgAnswer::Cancel);
    rig.notifier->Chiudi();
    QCOMPARE(rig.dialogs.shown.size(), 1);
    const auto& asked = rig.dialogs.shown[0];
    QCOMPARE(asked.text, kCloseText);
    QCOMPARE(asked.title.value_or("?"), "Conferma chiusura del programma");
    QCOMPARE(asked.buttons, MsgButtons::OkCancel);
    QCOMPARE(asked.icon, MsgIcon::Question);
    QCOMPARE(quit.count(), 0);
    QCOMPARE(save.count(), 0);
    QVERIFY(rig.tray.isShown());
    QVERIFY(rig.agenda.ListsModified());
}

void TrayTest::chiudiOffersToSaveUnsavedEdits() {
    {
        TrayRig rig;
        rig.agenda.SetListsModified(true);
        QStringList order;
        connect(rig.notifier.get(), &Notifier::saveAllRequested, [&] {
            order << "save";
            rig.agenda.SetListsModified(false);
        });
        connect(rig.notifier.get(), &Notifier::quitRequested, [&] { order << "quit"; });
        rig.dialogs.answer(MsgAnswer::Ok);
        rig.dialogs.answer(MsgAnswer::Yes);
        rig.notifier->Chiudi();
        QCOMPARE(rig.dialogs.shown.size(), 2);
        QCOMPARE(rig.dialogs.shown[1].text, "Salvare le modifiche effettuate ?");
        QCOMPARE(rig.dialogs.shown[1].buttons, MsgButtons::YesNo);
        QCOMPARE(order, QStringList({"save", "quit"}));
        QVERIFY(!rig.tray.isShown());
        QVERIFY(rig.mainWindow.close());  // the program ends: the window may go
    }
    {
        TrayRig rig;
        rig.agenda.SetListsModified(true);
        QSignalSpy quit(rig.notifier.get(), &Notifier::quitRequested);
        QSignalSpy save(rig.notifier.get(), &Notifier::saveAllRequested);
        rig.dialogs.answer(MsgAnswer::Ok);
        rig.dialogs.answer(MsgAnswer::No);
        rig.notifier->Chiudi();
        QCOMPARE(save.count(), 0);
        QCOMPARE(quit.count(), 1);
    }
    {
        TrayRig rig;  // nothing unsaved: no second question
        QSignalSpy quit(rig.notifier.get(), &Notifier::quitRequested);
        rig.dialogs.answer(MsgAnswer::Ok);
        rig.notifier->Chiudi();
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(quit.count(), 1);
    }
}

void TrayTest::chiudiStaysWhenTheSaveFails() {
    TrayRig rig;
    rig.agenda.SetListsModified(true);
    QSignalSpy quit(rig.notifier.get(), &Notifier::quitRequested);
    // The save runs but cannot write: the edits are still unsaved.
    connect(rig.notifier.get(), &Notifier::saveAllRequested, [] {});
    rig.notifier->StartTimers();
    rig.dialogs.answer(MsgAnswer::Ok);
    rig.dialogs.answer(MsgAnswer::Yes);
    rig.notifier->Chiudi();
    QCOMPARE(quit.count(), 0);
    // Left whole: the alarm check and the icon go on.
    QVERIFY(rig.tray.isShown());
    QVERIFY(rig.notifier->alarmTimer()->isActive());
    QVERIFY(rig.notifier->captionTimer()->isActive());
    QVERIFY(!rig.mainWindow.close());
}

void TrayTest::sessionEndSavesWithoutEndingTheProgram() {
    TrayRig rig;
    rig.agenda.SetListsModified(true);
    QSignalSpy save(rig.notifier.get(), &Notifier::saveAllRequested);
    connect(rig.notifier.get(), &Notifier::saveAllRequested,
            [&] { rig.agenda.SetListsModified(false); });
    int interactionAsked = 0;
    const auto mayAsk = [&interactionAsked] { return ++interactionAsked > 0; };
    QVERIFY(rig.notifier->SessionEnding(mayAsk));
    QCOMPARE(save.count(), 1);
    QVERIFY(rig.dialogs.shown.isEmpty());  // no question at the session's end
    QCOMPARE(interactionAsked, 0);  // nor a request for interaction
    // Until the session tells the program to quit, nothing has ended: a
    // cancelled logout leaves the close box refusing and the alarms running.
    QVERIFY(!rig.mainWindow.close());
    QVERIFY(!rig.notifier->isEnding());
    QVERIFY(rig.tray.isShown());

    TrayRig failing;  // the save cannot write: the user may stay in the session
    failing.agenda.SetListsModified(true);
    failing.dialogs.answer(MsgAnswer::Yes);
    QVERIFY(!failing.notifier->SessionEnding(mayAsk));
    QCOMPARE(failing.dialogs.shown.size(), 1);
    QCOMPARE(interactionAsked, 1);
    failing.dialogs.answer(MsgAnswer::No);
    QVERIFY(failing.notifier->SessionEnding(mayAsk));
    QVERIFY(failing.notifier->SessionEnding([] { return false; }));  // no interaction: no question
    QCOMPARE(failing.dialogs.shown.size(), 2);
}

void TrayTest::terminationSavesAndEnds() {
    TerminationWatcher watcher;
    if (!watcher.isActive()) QSKIP("no termination signals on this system");
    TrayRig rig;
    rig.agenda.SetListsModified(true);
    QStringList order;
    connect(rig.notifier.get(), &Notifier::saveAllRequested, [&] { order << "save"; });
    connect(rig.notifier.get(), &Notifier::quitRequested, [&] { order << "quit"; });
    connect(&watcher, &TerminationWatcher::terminationRequested, rig.notifier.get(),
            &Notifier::Terminate);
    QSignalSpy requested(&watcher, &TerminationWatcher::terminationRequested);
    std::raise(SIGTERM);  // caught: the test goes on
    QVERIFY(requested.wait(5000));
    // Out of every waiting box first, so a failing save cannot hold the end up.
    QCOMPARE(order, QStringList({"quit", "save"}));
    QVERIFY(rig.dialogs.shown.isEmpty());
    QVERIFY(!rig.tray.isShown());
    QVERIFY(rig.mainWindow.close());  // the program ends: the window may go
}

void TrayTest::realTrayWhenAvailable() {
    SystemTrayIcon tray;
    if (!tray.isAvailable()) QSKIP("no notification area on this platform");
    FakeClock clock;
    ScriptedDialogs dialogs;
    Agenda agenda(clock, dialogs);
    QWidget window;
    Notifier notifier(agenda, &window, {&clock, &dialogs, nullptr, &tray, nullptr});
    notifier.AddTrayIcon();
    QVERIFY(tray.isShown());
    notifier.HideToTray();
    QVERIFY(!window.isVisible());
    Q_EMIT tray.activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(window.isVisible());
    QVERIFY(!tray.isShown());
}

void TrayTest::secondCopyAsksTheFirstToShow() {
    TempCurrentFolder folder;
    TempCurrentFolder other;
    SingleInstance first(folder.path());
    QCOMPARE(first.Acquire(), SingleInstance::Outcome::First);
    QVERIFY(first.listening());
    QVERIFY(folder.exists(SingleInstance::LockFileName()));

    // The same folder by another name is the same folder.
    SingleInstance second(folder.path() + "/.");
    QCOMPARE(second.Acquire(), SingleInstance::Outcome::AlreadyRunning);
    QSignalSpy shown(&first, &SingleInstance::showRequested);
    QVERIFY(second.AskRunningCopyToShow());
    QVERIFY(shown.wait(5000));
    QCOMPARE(shown.count(), 1);
    // A calendar file handed over by its absolute path, whatever it holds.
    QSignalSpy imported(&first, &SingleInstance::importRequested);
    const QString odd = folder.file(QStringLiteral("invito è\n1.ics"));
    QVERIFY(second.AskRunningCopyToImport(odd));
    QVERIFY(imported.wait(5000));
    QCOMPARE(imported.count(), 1);
    QCOMPARE(imported.at(0).at(0).toString(), odd);

    SingleInstance elsewhere(other.path());
    QCOMPARE(elsewhere.Acquire(), SingleInstance::Outcome::First);
    QVERIFY(SingleInstance::ServerName(folder.path()) != SingleInstance::ServerName(other.path()));
    QVERIFY(SingleInstance::ServerName(folder.path()).size() < 60);
}

void TrayTest::staleLockIsTakenOver() {
    TempCurrentFolder folder;
    // A copy that died without unlocking: its lock names a process that is gone.
    QProcess gone;
    gone.start("true", {});
    QVERIFY(gone.waitForFinished(10000));
    const qint64 deadPid = gone.processId() > 0 ? gone.processId() : 999999;
    const QByteArray host = QSysInfo::machineHostName().toUtf8();
    folder.write(SingleInstance::LockFileName(),
                 QByteArray::number(deadPid) + "\nricordel\n" + host + "\n");
    {
        SingleInstance next(folder.path());
        QCOMPARE(next.Acquire(), SingleInstance::Outcome::First);
        QVERIFY(next.listening());
    }
    // A lock whose holder still runs is not taken.
    folder.write(SingleInstance::LockFileName(),
                 QByteArray::number(QCoreApplication::applicationPid()) + "\n" +
                     QCoreApplication::applicationFilePath().toUtf8() + "\n" + host + "\n");
    SingleInstance blocked(folder.path());
    QCOMPARE(blocked.Acquire(), SingleInstance::Outcome::AlreadyRunning);
}

void TrayTest::quitFromTheSessionEndsAsATermination() {
    TrayRig rig;
    rig.agenda.SetListsModified(true);
    QStringList order;
    connect(rig.notifier.get(), &Notifier::saveAllRequested, [&] { order << "save"; });
    connect(rig.notifier.get(), &Notifier::quitRequested, [&] { order << "quit"; });
    QVERIFY(!rig.mainWindow.close());
    // What the session manager's last word sends: the program ends without
    // asking its windows, so none can refuse and leave it half stopped.
    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(qApp, &quit);
    QCOMPARE(order, QStringList({"quit", "save"}));
    QVERIFY(rig.notifier->isEnding());
    QVERIFY(!rig.notifier->alarmTimer()->isActive());
    QVERIFY(rig.mainWindow.close());
}

QTEST_MAIN(TrayTest)
#include "tray_test.moc"

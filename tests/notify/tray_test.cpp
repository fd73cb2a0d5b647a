// The icon in the notification area: its tip, icon and menu, what clicks on
// it do, and where the exit button sends the main window.
#include <QMenu>
#include <QSystemTrayIcon>
#include <QtTest/QTest>

#include "support/notifierrig.h"

class TrayTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void iconCarriesTipIconAndMenu();
    void clicksOnTheIconOpenTheWindow();
    void exitHidesToTheIconOrMinimisesWithoutOne();
    void clicksWaitWhileTheMenuIsOpenAndItsCommandRuns();
    void realTrayWhenAvailable();
};

void TrayTest::iconCarriesTipIconAndMenu() {
    NotifierRig rig;
    rig.showWithIcon();
    QVERIFY(rig.tray.isShown());
    QVERIFY(rig.app->tray().isInTray());
    QCOMPARE(rig.tray.tip_, "Ricordel by Tobrani");
    QVERIFY(!rig.tray.icon_.isNull());
    QVERIFY(!rig.tray.icon_.pixmap(16, 16).isNull());
    QCOMPARE(rig.tray.menu_.data(), &rig.trayMenu());
}

void TrayTest::clicksOnTheIconOpenTheWindow() {
    for (auto reason : {QSystemTrayIcon::DoubleClick, QSystemTrayIcon::Trigger}) {
        NotifierRig rig;
        rig.showWithIcon();
        rig.app->tray().hideToTray();
        QVERIFY(!rig.mainWindow().isVisible());
        rig.tray.click(QSystemTrayIcon::Context);  // the menu's business, not ours
        rig.tray.click(QSystemTrayIcon::MiddleClick);
        QVERIFY(!rig.mainWindow().isVisible());
        QVERIFY(rig.tray.isShown());
        rig.tray.click(reason);
        QVERIFY(rig.mainWindow().isVisible());
        QVERIFY(!rig.tray.isShown());
        QVERIFY(!rig.app->tray().isInTray());
        QVERIFY(!rig.app->tray().isBusy());
    }
    // Opening also brings a minimised window back.
    NotifierRig rig;
    rig.showWithIcon();
    rig.mainWindow().showMinimized();
    rig.app->openMainWindow();
    QVERIFY(!(rig.mainWindow().windowState() & Qt::WindowMinimized));
}

void TrayTest::exitHidesToTheIconOrMinimisesWithoutOne() {
    NotifierRig rig;
    rig.showWithIcon();
    rig.app->openMainWindow();
    rig.app->tray().hideToTray();
    QVERIFY(!rig.mainWindow().isVisible());
    QVERIFY(rig.tray.isShown());
    QVERIFY(rig.app->tray().isInTray());

    NotifierRig bare({.trayAvailable = false});  // a desktop without a notification area
    bare.showWithIcon();
    QVERIFY(!bare.app->tray().isInTray());
    bare.app->tray().hideToTray();
    QVERIFY(bare.mainWindow().isVisible());
    QVERIFY(bare.mainWindow().windowState() & Qt::WindowMinimized);
}

void TrayTest::clicksWaitWhileTheMenuIsOpenAndItsCommandRuns() {
    NotifierRig rig;
    rig.showWithIcon();
    rig.app->tray().hideToTray();
    Q_EMIT rig.trayMenu().aboutToShow();
    rig.tray.click(QSystemTrayIcon::Trigger);
    QVERIFY(!rig.mainWindow().isVisible());
    Q_EMIT rig.trayMenu().aboutToHide();
    rig.tray.click(QSystemTrayIcon::Trigger);
    QVERIFY(rig.mainWindow().isVisible());

    // The menu hides before its item runs: a digest chosen there still keeps
    // the icon and the menu quiet while its line waits for the user.
    rig.app->tray().hideToTray();
    rig.folder.write("Date.dat", "7,3,\"Bollo\"\r\n");  // due today
    QAction* visMess = rig.trayMenu().findChild<QAction*>("mnuVisMess");
    bool quietMeanwhile = false;
    rig.presenter.stopAfter = [&](const QString&) {
        rig.tray.click(QSystemTrayIcon::Trigger);
        quietMeanwhile = !rig.mainWindow().isVisible() && rig.app->tray().isBusy() &&
                         !rig.trayMenu().findChild<QAction*>("mnuChiudi")->isEnabled();
        return false;
    };
    Q_EMIT rig.trayMenu().aboutToShow();
    Q_EMIT rig.trayMenu().aboutToHide();
    visMess->trigger();
    QCOMPARE(rig.presenter.lines.size(), 1);
    QVERIFY(quietMeanwhile);
    QVERIFY(!rig.app->tray().isBusy());
    QVERIFY(visMess->isEnabled());
    rig.tray.click(QSystemTrayIcon::Trigger);
    QVERIFY(rig.mainWindow().isVisible());
}

void TrayTest::realTrayWhenAvailable() {
    SystemTrayIcon tray;
    if (!tray.isAvailable()) QSKIP("no notification area on this platform");
    QWidget window;
    TrayController controller(&tray);
    controller.setMainWindow(&window);
    controller.addIcon();
    QVERIFY(tray.isShown());
    controller.hideToTray();
    QVERIFY(!window.isVisible());
    Q_EMIT tray.activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(window.isVisible());
    QVERIFY(!tray.isShown());
}

QTEST_MAIN(TrayTest)
#include "tray_test.moc"

#include <QtTest>

#include <QTcpServer>

#include "support/notifierrig.h"

// The program with a calendar server that takes connections and never
// answers: the sync waits on it while the program goes on.
class SyncProgramTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void aServerThatHangsNeverHoldsTheProgram() {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        NotifierRig rig;
        rig.files({}, "7,3,\"Dentista\",\"9:05\"\r\n", {});
        rig.app->load();

        SyncAccountSettings account;
        account.calendar.setUrl(
            QStringLiteral("http://127.0.0.1:%1/anna/agenda/").arg(silent.serverPort()));
        account.user = QStringLiteral("anna");
        QVERIFY(!rig.app->sync().setAccount(account, QStringLiteral("segreto")));
        QTRY_VERIFY(silent.hasPendingConnections());
        QVERIFY(rig.app->sync().isRunning());
        QVERIFY2(rig.tray.toolTip().endsWith(QStringLiteral("\nSincronizzazione in corso...")),
                 qPrintable(rig.tray.toolTip()));

        // The alarm rings on its minute, and an edit is kept at the end,
        // which comes at once.
        rig.clock.set(QDate(2026, 3, 7), QTime(9, 5));
        rig.app->alarms().checkAlarms();
        QVERIFY(rig.app->alarms().alarmWindow());
        rig.agenda().appointments().setText(0, ListModel::ColMessage, QStringLiteral("Dentista!"));
        rig.agenda().setListsModified(true);
        rig.app->lifetime().terminate();
        QVERIFY(rig.folder.read(QStringLiteral("Ricordel.dat")).contains("Dentista!"));
        QVERIFY(!rig.app->sync().isRunning());
        QVERIFY(rig.dialogs.shown.empty());
    }
};

QTEST_MAIN(SyncProgramTest)
#include "syncprogram_test.moc"

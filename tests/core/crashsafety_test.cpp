// A save interrupted at any moment leaves every list file whole: the old
// content or the new, never a mix. A child process saves in a loop and is
// killed with SIGKILL at random moments; after each kill every file must
// equal one of the two contents it alternates between.
//
// RICORDEL_CRASH_KILLS sets the number of kills (a short run by default;
// RICORDEL_CRASH_KILLS=1000 build/tests/core/core_crashsafety_test runs a
// thousand, in about a minute).
#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest/QtTest>

#include "core/agenda.h"
#include "core/listfiles.h"
#include "support/fakeclock.h"
#include "support/scripteddialogs.h"

namespace {

QList<AgendaEntry> variant(ListKind kind, int which) {
    QList<AgendaEntry> out;
    const int n = which == 0 ? 300 : 2000;  // different sizes: a torn write would show
    for (int i = 0; i < n; ++i)
        out.append({QString("%1/%2").arg(i % 28 + 1).arg(i % 12 + 1),
                    QString("%1 voce %2 variante %3").arg(listTraits(kind).noun).arg(i).arg(which),
                    listTraits(kind).hasTime
                        ? QString("%1:%2").arg(i % 24).arg(i % 60, 2, 10, QChar('0'))
                        : QString(),
                    {}});
    return out;
}

QByteArray expected(ListKind kind, int which) {
    return serializeList(variant(kind, which), kind);
}

// The child: saves the three lists over and over, alternating two contents.
int runChild(const QString& folder) {
    FakeClock clock;
    ScriptedDialogs dialogs;
    Agenda agenda(clock, dialogs, folder);
    QFile out;
    out.open(stdout, QIODevice::WriteOnly);
    for (int round = 0;; ++round) {
        const int which = round % 2;
        for (ListKind kind : kAllListKinds) {
            agenda.list(kind).replaceAll(variant(kind, which));
            if (!agenda.saveList(kind)) return 2;
        }
        if (round == 0) {
            out.write("saving\n");  // tells the parent the loop is under way
            out.flush();
        }
    }
}

}  // namespace

class CrashSafetyTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void killedSavesLeaveWholeFiles() {
        const int kills = qEnvironmentVariableIntValue("RICORDEL_CRASH_KILLS") > 0
                              ? qEnvironmentVariableIntValue("RICORDEL_CRASH_KILLS")
                              : 25;
        QTemporaryDir dir;
        QRandomGenerator rng(20261208);
        int sawPartialRound = 0;
        QSet<int> seen;
        for (int k = 0; k < kills; ++k) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {"--child", dir.path()});
            QVERIFY(child.waitForStarted());
            QVERIFY(child.waitForReadyRead(10000));
            // Kill it a random while into its loop of saves.
            QTest::qWait(static_cast<int>(rng.bounded(0, 40)));
            child.kill();  // SIGKILL: no clean-up at all
            QVERIFY(child.waitForFinished());
            QVERIFY2(child.exitStatus() == QProcess::CrashExit || child.exitCode() == 0,
                     "the child stopped by itself");
            QList<int> versions;
            for (ListKind kind : kAllListKinds) {
                const QString path = dir.filePath(QString::fromLatin1(listTraits(kind).fileName));
                if (!QFile::exists(path)) continue;  // killed before its first save
                const std::optional<QByteArray> read = readWholeFile(path);
                QVERIFY(read);
                const QByteArray& bytes = *read;
                const int v = bytes == expected(kind, 0) ? 0 : bytes == expected(kind, 1) ? 1 : -1;
                QVERIFY2(v >= 0, qPrintable(QString("kill %1: %2 is torn (%3 bytes)")
                                                .arg(k)
                                                .arg(path)
                                                .arg(bytes.size())));
                versions << v;
                seen << v;
            }
            if (versions.size() == 3 && !(versions[0] == versions[1] && versions[1] == versions[2]))
                ++sawPartialRound;
        }
        qInfo("%d kills; %d left the lists at different rounds", kills, sawPartialRound);
        QCOMPARE(seen.size(), 2);  // both contents were on disk at some kill
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && QByteArray(argv[1]) == "--child") {
        QCoreApplication app(argc, argv);
        return runChild(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    CrashSafetyTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "crashsafety_test.moc"

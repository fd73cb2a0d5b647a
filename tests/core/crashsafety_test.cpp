// A save interrupted at any moment leaves every list file whole: the old
// content or the new, never a mix. A child process saves the three lists in
// turn, alternating two contents, and is killed with SIGKILL at a random
// moment; after each kill every file must equal one of the two contents.
// The child tells each save it finished and waits for the word to go on, so
// the kills land at chosen points of its loop however slow the machine:
// after the save the parent picks, somewhere inside the next one.
//
// RICORDEL_CRASH_KILLS sets the number of kills (a short run by default;
// RICORDEL_CRASH_KILLS=1000 build/tests/core/core_crashsafety_test runs a
// thousand).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest/QtTest>

#include <array>
#include <cstdio>

#include "core/agenda.h"
#include "core/fileio.h"
#include "core/listrecords.h"
#include "support/fakeclock.h"
#include "support/scripteddialogs.h"

namespace {

QList<AgendaEntry> variant(ListKind kind, int which) {
    QList<AgendaEntry> out;
    const int n = which == 0 ? 300 : 2000;  // different sizes: a torn write would show
    for (int i = 0; i < n; ++i)
        out.append({QStringLiteral("%1/%2").arg(i % 28 + 1).arg(i % 12 + 1),
                    QStringLiteral("%1 voce %2 variante %3")
                        .arg(QString::fromLatin1(listTraits(kind).noun))
                        .arg(i)
                        .arg(which),
                    listTraits(kind).hasTime
                        ? QString("%1:%2").arg(i % 24).arg(i % 60, 2, 10, QChar('0'))
                        : QString(),
                    {}});
    return out;
}

// The two contents of each list's file, made once.
const QByteArray& expected(ListKind kind, int which) {
    static const auto contents = [] {
        std::array<std::array<QByteArray, 2>, 3> out;
        for (ListKind k : kAllListKinds)
            for (int w : {0, 1})
                out[static_cast<size_t>(k)][static_cast<size_t>(w)] =
                    serializeList(variant(k, w), k);
        return out;
    }();
    return contents[static_cast<size_t>(kind)][static_cast<size_t>(which)];
}

// The child: saves the lists one at a time, round after round, alternating
// two contents. After each save it writes a line with the number of saves
// so far and how long this one took (in microseconds), then waits for a
// line on standard input; it ends when standard input does.
int runChild(const QString& folder) {
    FakeClock clock;
    ScriptedDialogs dialogs;
    Agenda agenda(clock, dialogs, folder);
    QElapsedTimer timer;
    char go[8];
    for (int saves = 0;;) {
        const int which = saves / 3 % 2;
        const ListKind kind = kAllListKinds[static_cast<size_t>(saves % 3)];
        agenda.list(kind).replaceAll(variant(kind, which));
        timer.start();
        if (!agenda.saveList(kind)) return 2;
        std::printf("%d %lld\n", ++saves, static_cast<long long>(timer.nsecsElapsed() / 1000));
        std::fflush(stdout);
        if (!std::fgets(go, sizeof go, stdin)) return 0;
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
        int interrupted = 0;  // kills before the child told the next save done
        QSet<int> seen;
        for (int k = 0; k < kills; ++k) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {"--child", dir.path()});
            QVERIFY(child.waitForStarted(30000));
            // Let it finish 1 to 6 saves in turn (up to the end of its
            // second round), each time a further point of the loop.
            const int after = k % 6 + 1;
            qint64 lastSaveUs = 0;
            for (int saves = 0; saves < after;) {
                while (!child.canReadLine()) QVERIFY(child.waitForReadyRead(30000));
                const QList<QByteArray> report = child.readLine().trimmed().split(' ');
                QCOMPARE(report.size(), 2);
                saves = report[0].toInt();
                lastSaveUs = report[1].toLongLong();
                child.write("\n");
                QVERIFY(child.waitForBytesWritten(30000));
            }
            // Then kill it a random while into the next save: up to a
            // little longer than the last one took, so that some kills
            // come after it.
            QThread::usleep(rng.bounded(static_cast<quint64>(lastSaveUs) * 5 / 4 + 1));
            child.kill();  // SIGKILL: no clean-up at all
            QVERIFY(child.waitForFinished(30000));
            QVERIFY2(child.exitStatus() == QProcess::CrashExit, "the child stopped by itself");
            if (!child.canReadLine()) ++interrupted;
            QList<int> versions;
            for (ListKind kind : kAllListKinds) {
                const QString path = dir.filePath(listFileName(kind));
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
        qInfo("%d kills, %d inside a save; %d left the lists at different rounds", kills,
              interrupted, sawPartialRound);
        // Both contents were on disk at some kill: killed in its fifth save,
        // the child leaves the first list with the second content and the
        // third with the first.
        QCOMPARE(seen.size(), 2);
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

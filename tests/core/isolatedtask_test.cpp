// The wall round an isolated task: whatever the task does (crash, hang,
// flood its output, eat memory), the program hears one failure and goes on.
// The task here is a shell script standing in for the program.
#include <QFile>
#include <QSignalSpy>
#include <QtTest/QTest>

#include "core/isolatedtask.h"
#include "support/tempfolder.h"

namespace {

// A program that runs "$3" (the task's first argument) as a shell command,
// after the option and the task's name the program is always given.
QString scriptProgram(const TempFolder& folder) {
    const QString path = folder.file("task.sh");
    folder.write("task.sh", "#!/bin/sh\n[ \"$1\" = --isolated-task ] || exit 9\neval \"$3\"\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

}  // namespace

class IsolatedTaskTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void endsInOneOutcome_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("failure");  // -1: finished
        QTest::addColumn<QByteArray>("output");
        using F = IsolatedTask::Failure;
        QTest::newRow("echoes its input, reports progress")
            << "echo ricordel-progress 500 >&2; echo junk >&2; cat" << -1 << QByteArray("dati");
        QTest::newRow("crashes") << "kill -SEGV $$" << int(F::Crashed) << QByteArray();
        QTest::newRow("exits with an error") << "cat; exit 3" << int(F::Crashed) << QByteArray();
        QTest::newRow("never ends") << "exec sleep 600" << int(F::TimedOut) << QByteArray();
        QTest::newRow("writes without end")
            << "exec yes ricordel" << int(F::TooMuchOutput) << QByteArray();
        // The address space it may take, in KB, as the shell reads it.
        QTest::newRow("memory limited")
            << "ulimit -v" << -1 << (kSanitized ? QByteArray() : QByteArray("65536\n"));
    }
    void endsInOneOutcome() {
        QFETCH(QString, command);
        QFETCH(int, failure);
        QFETCH(QByteArray, output);
        TempFolder folder;
        IsolatedTask task(scriptProgram(folder));
        QSignalSpy finished(&task, &IsolatedTask::finished);
        QSignalSpy failed(&task, &IsolatedTask::failed);
        QSignalSpy progressed(&task, &IsolatedTask::progressed);
        IsolatedTask::Limits limits;
        limits.timeMs = failure == int(IsolatedTask::Failure::TimedOut) ? 500 : 60000;
        limits.memoryBytes = 64 * 1024 * 1024;
        limits.outputBytes = 1024 * 1024;
        task.start(QStringLiteral("prova"), {command}, "dati", limits);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size() + failed.size(), 1, 60000);
        if (failure < 0) {
            QCOMPARE(finished.size(), 1);
            if (!output.isEmpty()) QCOMPARE(finished[0][0].toByteArray(), output);
        } else {
            QCOMPARE(failed[0][0].value<IsolatedTask::Failure>(),
                     static_cast<IsolatedTask::Failure>(failure));
        }
        if (command.startsWith("echo ricordel-progress"))
            QCOMPARE(progressed.value(0).value(0).toInt(), 500);
        QVERIFY(!task.isRunning());
    }

    void cancelledTaskSaysNothing() {
        TempFolder folder;
        IsolatedTask task(scriptProgram(folder));
        QSignalSpy finished(&task, &IsolatedTask::finished);
        QSignalSpy failed(&task, &IsolatedTask::failed);
        task.start(QStringLiteral("prova"), {QStringLiteral("exec sleep 600")}, {}, {});
        QVERIFY(task.isRunning());
        task.cancel();
        QVERIFY(!task.isRunning());
        QCOMPARE(finished.size() + failed.size(), 0);
    }
};

QTEST_GUILESS_MAIN(IsolatedTaskTest)
#include "isolatedtask_test.moc"

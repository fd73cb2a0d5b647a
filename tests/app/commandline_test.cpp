// The command line through the real executable, started as a cron job starts
// it: with no display, so that a start that made a window would fail.
#include <QDir>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest/QTest>

#include "core/version.h"
#include "notify/foreignpeer.h"
#include "notify/singleinstance.h"
#include "support/records.h"
#include "support/tempfolder.h"

namespace {

struct Run {
    int code = -1;
    QString out, err;
};

// platform: "xcb" fails without a display, so a start that made a window
// fails too.
Run startProgram(const QString& program, const QStringList& arguments, const QString& folder,
                 QProcessEnvironment env = QProcessEnvironment::systemEnvironment(),
                 const QString& platform = QStringLiteral("xcb")) {
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    env.insert(QStringLiteral("TZ"), QStringLiteral("Europe/Rome"));
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(folder);
    p.start(program, arguments);
    if (!p.waitForFinished(30000)) p.kill();
    p.waitForFinished();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

Run runRicordel(const QStringList& arguments, const QString& folder) {
    return startProgram(QStringLiteral(RICORDEL_EXECUTABLE), arguments, folder);
}

}  // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void helpVersionAndWrongOptions() {
        TempFolder folder;
        const Run help = runRicordel({"--help"}, folder.path());
        QCOMPARE(help.code, 0);
        QVERIFY2(help.out.startsWith("Uso: ricordel") && help.out.contains("--export-ics FILE"),
                 qPrintable(help.out + help.err));
        QCOMPARE(runRicordel({"--version"}, folder.path()).out,
                 QStringLiteral("Ricordel " RICORDEL_VERSION_TEXT "\n"));

        const Run unknown = runRicordel({"--bogus"}, folder.path());
        QCOMPARE(unknown.code, 2);
        QVERIFY2(unknown.err.startsWith("ricordel: opzione sconosciuta: --bogus") &&
                     unknown.err.contains("Uso: ricordel"),
                 qPrintable(unknown.err));
        for (const QStringList& wrong : {QStringList{"--export-ics"}, QStringList{"a.ics", "b.ics"},
                                         QStringList{"--export-ics=x.ics", "a.ics"}}) {
            const Run r = runRicordel(wrong, folder.path());
            QCOMPARE(r.code, 2);
            QVERIFY(r.out.isEmpty() && r.err.contains("Uso: ricordel"));
        }
        QVERIFY(QDir(folder.path()).isEmpty());  // no program started there
    }

    void exportBesideARunningCopy() {
        TempFolder folder;
        folder.write("Ricordel.dat",
                     listFile({{7, 3, "Dentista", "10:30"}, {0, 0, "Senza data", ""}}));
        folder.write("Date.dat", listFile({{25, 12, "Scade bollo"}}));  // no Ricorrenze.dat: empty
        QLockFile running(folder.file("Ricordel.lock"));                // what a running copy holds
        QVERIFY(running.tryLock(0));

        const Run r = runRicordel({"--export-ics", "agenda.ics"}, folder.path());
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains("Scritti 2 eventi; 1 voce tralasciata"), qPrintable(r.out + r.err));
        const QByteArray ics = folder.read("agenda.ics");
        QCOMPARE(ics.count("BEGIN:VEVENT"), 2);
        QVERIFY(ics.contains("\r\nDTSTART;TZID=Europe/Rome:"));
        QVERIFY(!folder.exists("Ricorrenze.dat"));
    }

    void launcherTakesTheFileFromWhereTheCommandWasTyped() {
        TempFolder home;
        QVERIFY(QDir(home.path()).mkpath("data/Ricordel") && QDir(home.path()).mkpath("work/sub"));
        home.write("data/Ricordel/Ricordel.dat", listFile({{7, 3, "Dentista", "10:30"}}));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_DATA_HOME", home.file("data"));
        env.insert("RICORDEL_PROGRAM", RICORDEL_EXECUTABLE);
        for (const QStringList& args :
             {QStringList{"--export-ics", "a b.ics"}, QStringList{"--export-ics=sub/c.ics"}}) {
            const Run r = startProgram("/bin/sh", QStringList{RICORDEL_LAUNCHER} + args,
                                       home.file("work"), env);
            QVERIFY2(r.code == 0 && r.out.contains("Scritto 1 evento;"), qPrintable(r.out + r.err));
        }
        QVERIFY(home.exists("work/a b.ics") && home.exists("work/sub/c.ics"));
    }

    void calendarFileGoesToTheRunningCopy() {
        // The copy running on the data folder is this test's own listener; the
        // launcher enters the folder and keeps the file named where the
        // command was typed.
        TempFolder home;
        QVERIFY(QDir(home.path()).mkpath("data/Ricordel") && QDir(home.path()).mkpath("work"));
        SingleInstance running(home.file("data/Ricordel"));
        QCOMPARE(running.acquire(), SingleInstance::Outcome::First);
        QSignalSpy handed(&running, &SingleInstance::importRequested);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_DATA_HOME", home.file("data"));
        env.insert("RICORDEL_PROGRAM", RICORDEL_EXECUTABLE);
        // The second copy is a windowed program: it needs a platform to start.
        const Run r = startProgram("/bin/sh", {RICORDEL_LAUNCHER, "invito 1.ics"},
                                   home.file("work"), env, "offscreen");
        QVERIFY2(r.code == 0 && r.out.isEmpty(), qPrintable(r.out + r.err));
        QVERIFY(handed.count() == 1 || handed.wait(5000));
        QCOMPARE(handed.at(0).at(0).toString(), home.file("work/invito 1.ics"));
    }

    void channelOfAnotherUser() {
        // Another user's socket where the channel goes: the first copy leaves
        // it, says so and runs on; a second start with an invitation sends it
        // nothing and says so.
        if (!ForeignPeer::available()) QSKIP("acting as another user needs root");
        TempFolder runtime;  // mode 0700
        TempFolder folder;
        const QString channel = runtime.file(SingleInstance::serverName(folder.path()));
        ForeignPeer stranger;
        QVERIFY(stranger.listen(channel, ForeignPeer::kUid));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());

        QProcess first;
        QProcessEnvironment firstEnv = env;
        firstEnv.remove("DISPLAY");
        firstEnv.remove("WAYLAND_DISPLAY");
        firstEnv.insert("QT_QPA_PLATFORM", "offscreen");
        first.setProcessEnvironment(firstEnv);
        first.setWorkingDirectory(folder.path());
        first.start(RICORDEL_EXECUTABLE, {});
        const QString taken = QStringLiteral("il canale \"%1\" è di un altro utente").arg(channel);
        QString said;
        QTRY_VERIFY2_WITH_TIMEOUT(
            (said += QString::fromUtf8(first.readAllStandardError())).contains(taken),
            qPrintable(said), 30000);
        QVERIFY(said.contains("ricordel: Ricordel non può ricevere file da un nuovo avvio"));

        const Run second =
            startProgram(RICORDEL_EXECUTABLE, {"invito.ics"}, folder.path(), env, "offscreen");
        QCOMPARE(second.code, 1);
        QVERIFY2(second.err.startsWith("ricordel: nulla inviato") && second.err.contains(taken) &&
                     second.err.contains("non importato"),
                 qPrintable(second.err));
        QCOMPARE(first.state(), QProcess::Running);
        first.kill();
        first.waitForFinished();

        const std::optional<ForeignPeer::Seen> seen = stranger.finish();
        QVERIFY(seen);
        QCOMPARE(seen->connections, 1);  // the second start's, closed unwritten
        QCOMPARE(seen->bytes, 0LL);
        QVERIFY(QFileInfo::exists(channel));
    }

    void cannotReadOrWrite() {
        TempFolder folder;
        const Run none = runRicordel({"--export-ics=out.ics"}, folder.path());
        QCOMPARE(none.code, 1);
        QVERIFY2(none.err.contains("nessuna lista"), qPrintable(none.err));

        folder.write("Ricordel.dat", listFile({{7, 3, "Dentista", "10:30"}}));
        const Run unwritable =
            runRicordel({"--export-ics", folder.file("missing/out.ics")}, folder.path());
        QCOMPARE(unwritable.code, 1);
        QVERIFY2(unwritable.out.isEmpty() && unwritable.err.contains("impossibile scrivere"),
                 qPrintable(unwritable.err));

        QVERIFY(QDir(folder.path()).mkdir("Date.dat"));  // a list that cannot be read
        const Run unreadable = runRicordel({"--export-ics", "out.ics"}, folder.path());
        QCOMPARE(unreadable.code, 1);
        QVERIFY2(unreadable.err.contains("impossibile leggere il file \"Date.dat\""),
                 qPrintable(unreadable.err));
        QVERIFY(!folder.exists("out.ics"));
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "commandline_test.moc"

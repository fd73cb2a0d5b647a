// The command line through the real executable, started as a user or a cron
// job starts it: no display, so a window could not open.
#include <QDir>
#include <QLockFile>
#include <QProcess>
#include <QtTest/QTest>

#include "support/tempfolder.h"

namespace {

struct Run {
    int code = -1;
    QString out, err;
};

// Runs the program in folder with the display taken away: a start that made
// a window would fail on the xcb platform instead of passing unnoticed.
Run Start(const QString& program, const QStringList& arguments, const QString& folder,
          QProcessEnvironment env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("TZ"), QStringLiteral("Europe/Rome"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(folder);
    p.start(program, arguments);
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    Run r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

Run Ricordel(const QStringList& arguments, const QString& folder) {
    return Start(QStringLiteral(RICORDEL_EXECUTABLE), arguments, folder);
}

}  // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void helpVersionAndUnknownOptions() {
        TempCurrentFolder folder;
        const Run help = Ricordel({QStringLiteral("--help")}, folder.path());
        QCOMPARE(help.code, 0);
        QVERIFY2(help.out.startsWith(QStringLiteral("Uso: ricordel")), qPrintable(help.out));
        QVERIFY(help.out.contains(QStringLiteral("--export-ics FILE")));

        const Run version = Ricordel({QStringLiteral("--version")}, folder.path());
        QCOMPARE(version.code, 0);
        QCOMPARE(version.out, QStringLiteral("Ricordel 2.1.9\n"));

        for (const QStringList& wrong :
             {QStringList{QStringLiteral("--bogus")}, QStringList{QStringLiteral("--export-ics")},
              QStringList{QStringLiteral("stray")}}) {
            const Run r = Ricordel(wrong, folder.path());
            QCOMPARE(r.code, 2);
            if (wrong.first() == QStringLiteral("--bogus"))
                QVERIFY(r.err.contains(QStringLiteral("opzione sconosciuta: --bogus")));
            QVERIFY(r.out.isEmpty());
            QVERIFY2(r.err.startsWith(QStringLiteral("ricordel: ")) &&
                         r.err.contains(QStringLiteral("Uso: ricordel")),
                     qPrintable(r.err));
        }
        QVERIFY(!folder.exists(QStringLiteral("Ricordel.dat")));  // nothing started
    }

    void exportBesideARunningCopy() {
        TempCurrentFolder folder;
        folder.write(QStringLiteral("Ricordel.dat"),
                     "7,3,\"Dentista\",\"10:30\"\r\n0,0,\"Senza data\",\"\"\r\n");
        folder.write(QStringLiteral("Date.dat"), "25,12,\"Scade bollo\"\r\n");
        // Ricorrenze.dat is missing: an empty list.
        // The lock a running copy holds on the folder.
        QLockFile running(folder.file(QStringLiteral("Ricordel.lock")));
        QVERIFY(running.tryLock(0));

        const Run r =
            Ricordel({QStringLiteral("--export-ics"), QStringLiteral("agenda.ics")}, folder.path());
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QStringLiteral("Scritti 2 eventi; 1 voce tralasciata")),
                 qPrintable(r.out + r.err));
        const QByteArray ics = folder.read(QStringLiteral("agenda.ics"));
        QVERIFY(ics.startsWith("BEGIN:VCALENDAR\r\n"));
        QCOMPARE(ics.count("BEGIN:VEVENT"), 2);
        QVERIFY(ics.contains("SUMMARY:Dentista\r\n"));
        QVERIFY(ics.contains("DTSTART;TZID=Europe/Rome:"));
        QVERIFY(!folder.exists(QStringLiteral("Ricorrenze.dat")));  // read, never created
    }

    void launcherTakesTheFileFromWhereTheCommandWasTyped() {
        TempCurrentFolder home;
        QDir(home.path()).mkpath(QStringLiteral("data/Ricordel"));
        QDir(home.path()).mkpath(QStringLiteral("work"));
        home.write(QStringLiteral("data/Ricordel/Ricordel.dat"), "7,3,\"Dentista\",\"10:30\"\r\n");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.file(QStringLiteral("data")));
        env.insert(QStringLiteral("RICORDEL_PROGRAM"), QStringLiteral(RICORDEL_EXECUTABLE));
        for (const QStringList& args :
             {QStringList{QStringLiteral("--export-ics"), QStringLiteral("a b.ics")},
              QStringList{QStringLiteral("--export-ics=sub/c.ics")}}) {
            QDir(home.file(QStringLiteral("work"))).mkpath(QStringLiteral("sub"));
            const Run r = Start(QStringLiteral("/bin/sh"),
                                QStringList{QStringLiteral(RICORDEL_LAUNCHER)} + args,
                                home.file(QStringLiteral("work")), env);
            QCOMPARE(r.code, 0);
            QVERIFY2(r.out.contains(QStringLiteral("Scritto 1 evento;")), qPrintable(r.out + r.err));
        }
        QVERIFY(home.exists(QStringLiteral("work/a b.ics")));
        QVERIFY(home.exists(QStringLiteral("work/sub/c.ics")));
    }

    void cannotReadOrWrite() {
        TempCurrentFolder folder;
        // No list at all: not an agenda folder.
        const Run empty = Ricordel({QStringLiteral("--export-ics=out.ics")}, folder.path());
        QCOMPARE(empty.code, 1);
        QVERIFY2(empty.err.contains(QStringLiteral("nessuna lista")), qPrintable(empty.err));
        QVERIFY(!folder.exists(QStringLiteral("out.ics")));

        folder.write(QStringLiteral("Ricordel.dat"), "7,3,\"Dentista\",\"10:30\"\r\n");
        const Run unwritable = Ricordel(
            {QStringLiteral("--export-ics"), folder.file(QStringLiteral("missing/out.ics"))},
            folder.path());
        QCOMPARE(unwritable.code, 1);
        QVERIFY(unwritable.out.isEmpty());
        QVERIFY2(unwritable.err.contains(QStringLiteral("impossibile scrivere")),
                 qPrintable(unwritable.err));

        // A list that cannot be read: nothing is written from a partial agenda.
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("Date.dat")));
        const Run unreadable =
            Ricordel({QStringLiteral("--export-ics"), QStringLiteral("out.ics")}, folder.path());
        QCOMPARE(unreadable.code, 1);
        QVERIFY2(
            unreadable.err.contains(QStringLiteral("impossibile leggere il file \"Date.dat\"")),
            qPrintable(unreadable.err));
        QVERIFY(!folder.exists(QStringLiteral("out.ics")));
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "commandline_test.moc"

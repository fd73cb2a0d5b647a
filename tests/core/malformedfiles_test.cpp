// Damaged files from the corpus in tests/data/malformed: loading never fails,
// and a save after the load keeps every record that was read.
#include <QDirIterator>
#include <QtTest/QtTest>

#include "core/agenda.h"
#include "core/dates.h"
#include "core/listrecords.h"
#include "support/corpus.h"
#include "support/fakeclock.h"
#include "support/scripteddialogs.h"
#include "support/tempfolder.h"

class MalformedFilesTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void everyCorpusFileLoadsAndSurvivesASave_data() { addMalformedCorpusRows(); }
    void everyCorpusFileLoadsAndSurvivesASave() {
        QFETCH(QString, path);
        const QByteArray bytes = readCorpusFile(path);
        QVERIFY(!bytes.isEmpty() || QFileInfo(path).size() == 0);

        TempFolder folder;
        for (ListKind kind : kAllListKinds) folder.write(listFileName(kind), bytes);
        folder.write("Ricordel.ini", bytes);
        FakeClock clock;
        ScriptedDialogs dialogs;
        Agenda agenda(clock, dialogs, folder.path());
        agenda.loadSettings();
        agenda.loadLists();
        QVERIFY(dialogs.shown.isEmpty());

        // The rows hold what the record reader reads, and write what the
        // list writer writes for it.
        QList<QList<AgendaEntry>> loaded;
        for (ListKind kind : kAllListKinds) {
            QList<AgendaEntry> read;
            for (const ListRecord& r : parseListRecords(bytes, kind))
                read << entryFromRecord(r, kind);
            QCOMPARE(agenda.list(kind).entries(), read);
            QCOMPARE(agenda.list(kind).fileContent(), serializeList(read, kind));
            loaded << read;
        }
        for (ListKind kind : kAllListKinds) {
            QVERIFY(agenda.saveList(kind));
        }
        QVERIFY(agenda.saveSettings());

        // A fresh load of what was saved gives back every record; only dates
        // that are no day of any year read back as 0/0.
        Agenda again(clock, dialogs, folder.path());
        again.loadSettings();
        again.loadLists();
        QCOMPARE(again.settings(), agenda.settings());
        for (ListKind kind : kAllListKinds) {
            const auto before = loaded[tabOf(kind)];
            const auto after = again.list(kind).entries();
            QCOMPARE(after.size(), before.size());
            for (qsizetype i = 0; i < before.size(); ++i) {
                QCOMPARE(after[i].message, before[i].message);
                QCOMPARE(after[i].time, before[i].time);
                if (dateTextOfAnyYear(before[i].date))
                    QCOMPARE(after[i].date, before[i].date);
                else
                    QCOMPARE(after[i].date, QString("0/0"));
            }
        }
    }
};

QTEST_GUILESS_MAIN(MalformedFilesTest)
#include "malformedfiles_test.moc"

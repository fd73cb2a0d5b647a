// The agenda state: loading the lists, saving the selected one, the settings
// file, and what happens when storage fails.
#include <QtTest/QtTest>

#include "core/agenda.h"
#include "core/listmodel.h"
#include "core/listselection.h"
#include "support/agendarig.h"
#include "support/fakeclock.h"
#include "support/records.h"
#include "support/scripteddialogs.h"
#include "support/tempfolder.h"

class AgendaTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void emptyFolderGetsThreeEmptyFiles() {
        TempFolder folder;
        FakeClock clock;
        ScriptedDialogs dialogs;
        Agenda agenda(clock, dialogs, folder.path());
        agenda.loadLists();
        for (const QString& name : QStringList{"Ricordel.dat", "Date.dat", "Ricorrenze.dat"}) {
            QVERIFY2(folder.exists(name), qPrintable(name));
            QCOMPARE(folder.read(name), QByteArray());
        }
        for (ListKind k : kAllListKinds) QCOMPARE(agenda.list(k).entryCount(), 0);
        QVERIFY(dialogs.shown.isEmpty());
    }

    void preparedFilesLoadAndSaveBackByteForByte() {
        TempFolder folder;
        const QByteArray appts = listFile({{7, 3, "Dentista", "10:30"}, {29, 2, "Bisestile", ""}});
        const QByteArray deadlines =
            listFile({{25, 12, "Scade bollo"}, {1, 1, "Capodanno, festa"}});
        const QByteArray anniversaries = "3,5,\"E' il Compleanno di Niccol\xf2\"\r\n";
        folder.write("Ricordel.dat", appts);
        folder.write("Date.dat", deadlines);
        folder.write("Ricorrenze.dat", anniversaries);
        FakeClock clock(QDateTime(QDate(2026, 12, 8), QTime(9, 0)));  // a common year
        ScriptedDialogs dialogs;
        Agenda agenda(clock, dialogs, folder.path());
        agenda.loadLists();
        QCOMPARE(agenda.appointments().entryCount(), 2);
        QCOMPARE(agenda.appointments().entry(0), (AgendaEntry{"7/3", "Dentista", "10:30", {}}));
        QCOMPARE(agenda.list(ListKind::Anniversaries).entry(0).message,
                 QString::fromUtf16(u"E' il Compleanno di Niccolò"));

        // Files written back hold the same bytes; the leap day survives a common year.
        for (ListKind kind : kAllListKinds) {
            QVERIFY(agenda.saveList(kind));
        }
        QCOMPARE(folder.read("Ricordel.dat"), appts);
        QCOMPARE(folder.read("Date.dat"), deadlines);
        QCOMPARE(folder.read("Ricorrenze.dat"), anniversaries);
    }

    void savingOneListClearsTheSharedFlagAndTouchesNothingElse() {
        TempFolder folder;
        FakeClock clock;
        ScriptedDialogs dialogs;
        Agenda agenda(clock, dialogs, folder.path());
        agenda.loadLists();
        agenda.list(ListKind::Anniversaries).append({"2/2", "x", "", {}});
        agenda.appointments().append({"1/1", "y", "", {}});
        agenda.setListsModified(true);
        QVERIFY(agenda.saveList(ListKind::Deadlines));
        QVERIFY(!agenda.listsModified());
        QCOMPARE(folder.read("Ricorrenze.dat"), QByteArray());
        QCOMPARE(folder.read("Ricordel.dat"), QByteArray());
    }

    void failedSaveKeepsOldFileAndFlagAndSaysWhy() {
        TempFolder folder;
        FakeClock clock;
        ScriptedDialogs dialogs;
        Agenda agenda(clock, dialogs, folder.path());
        folder.write("Date.dat", listFile({{1, 1, "vecchio"}}));
        agenda.loadLists();
        agenda.list(ListKind::Deadlines).append({"2/2", "nuovo", "", {}});
        agenda.setListsModified(true);
        // A folder where the file's temporary copy must go cannot take it
        // when the file itself has been replaced by a folder.
        QVERIFY(QFile::remove(folder.file("Date.dat")));
        QVERIFY(QDir(folder.path()).mkdir("Date.dat"));
        QVERIFY(!agenda.saveList(ListKind::Deadlines));
        QVERIFY(agenda.listsModified());
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY(dialogs.shown[0].text.contains("Date.dat"));
        QCOMPARE(dialogs.shown[0].title, std::optional<QString>("Errore"));
        QVERIFY(QFileInfo(folder.file("Date.dat")).isDir());
    }

    void settingsLoadSaveAndMissingFile() {
        TempFolder folder;
        FakeClock clock;
        ScriptedDialogs dialogs;
        Agenda agenda(clock, dialogs, folder.path());
        agenda.loadSettings();  // missing: initial values, silently
        QCOMPARE(agenda.settings(), Settings());
        QVERIFY(!folder.exists("Ricordel.ini"));
        agenda.settings().daysOfNotice = 4;
        agenda.settings().sortAscending = true;
        QVERIFY(agenda.saveSettings());
        QCOMPARE(folder.read("Ricordel.ini").count("\r\n"), 9);

        Agenda again(clock, dialogs, folder.path());
        again.loadSettings();
        QCOMPARE(again.settings().daysOfNotice, qint16(4));
        QVERIFY(again.settings().sortAscending);
        QVERIFY(dialogs.shown.isEmpty());
    }

    void selectionFollowsTabsAndCells() {
        AgendaRig rig;
        QSignalSpy spy(&rig.shown, &ListSelection::currentTabChanged);
        rig.shown.selectTab(2);
        rig.shown.selectTab(2);
        rig.shown.selectTab(7);
        QCOMPARE(spy.size(), 1);
        rig.shown.showTab(2);  // selected already, yet announced
        QCOMPARE(spy.size(), 2);
        QCOMPARE(rig.shown.currentKind(), ListKind::Anniversaries);
        QCOMPARE(rig.shown.currentRow(ListKind::Anniversaries), -1);
        rig.agenda.list(ListKind::Anniversaries).append({"1/1", "x", "", {}});
        rig.shown.setCurrentCell(ListKind::Anniversaries, 0, 1);
        QCOMPARE(rig.shown.currentRow(ListKind::Anniversaries), 0);
        QCOMPARE(&rig.shown.currentList(), &rig.agenda.list(ListKind::Anniversaries));
    }

    // Any part can follow the agenda: rows added, edited, removed, lists
    // replaced and saved, each said once with its list; a cell's colour is
    // no change.
    void agendaTellsWhatChanged() {
        AgendaRig rig;
        QStringList heard;
        const auto note = [&](const char* what) {
            return [&heard, what](ListKind kind, int first = -1, int last = -1) {
                heard << QStringLiteral("%1 %2 %3 %4")
                             .arg(QLatin1String(what))
                             .arg(tabOf(kind))
                             .arg(first)
                             .arg(last);
            };
        };
        QObject::connect(&rig.agenda, &Agenda::rowsAdded, note("added"));
        QObject::connect(&rig.agenda, &Agenda::rowsEdited, note("edited"));
        QObject::connect(&rig.agenda, &Agenda::rowsRemoved, note("removed"));
        QObject::connect(&rig.agenda, &Agenda::listReplaced,
                         [&](ListKind kind) { note("replaced")(kind); });
        QObject::connect(&rig.agenda, &Agenda::listSaved,
                         [&](ListKind kind) { note("saved")(kind); });
        ListModel& deadlines = rig.agenda.list(ListKind::Deadlines);
        deadlines.replaceAll({{"1/3", "a", "", {}}});
        deadlines.insertAt(1, {"2/3", "b", "", {}});
        deadlines.setText(1, ListModel::ColMessage, "c");
        deadlines.setCellBackground(0, 0, 0xFFFF0000);
        deadlines.removeAt(0);
        QVERIFY(rig.agenda.saveList(ListKind::Deadlines));
        QCOMPARE(heard, QStringList({"replaced 1 -1 -1", "added 1 1 1", "edited 1 1 1",
                                     "removed 1 0 0", "saved 1 -1 -1"}));
    }
};

QTEST_GUILESS_MAIN(AgendaTest)
#include "agenda_test.moc"

// "? -> Esporta calendario..." and "? -> Importa calendario..." in the main
// window: the file dialogs, the files and the boxes.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QtTest/QtTest>

#include "core/agenda.h"
#include "operations/calendarimport.h"
#include "operations/operations.h"
#include "support/fakeclock.h"
#include "support/fakeplayer.h"
#include "support/faketray.h"
#include "support/records.h"
#include "support/scripteddialogs.h"
#include "support/scriptedpresenter.h"
#include "support/tempfolder.h"
#include "support/windowrig.h"
#include "ui/filedialogs.h"
#include "ui/importprogress.h"
#include "ui/mainwindow.h"
#include "ui/printcommand.h"

namespace {

class SaveAnswers final : public FileDialogs {
  public:
    QString openFileName(const QString&) override {
        QDir::setCurrent(QDir::tempPath());
        return openAnswer;
    }
    QString openAnswer;
    QString saveFileName(const QString&, const QString& proposedPath, const QString&) override {
        proposed << proposedPath;
        QDir::setCurrent(QDir::tempPath());  // a real dialog may move the current folder
        return answer;
    }
    QString answer;
    QStringList proposed;
};

}  // namespace

class ExportMenuTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void exportsTheSavedListsAndSaysHowMany() {
        TempFolder folder;
        folder.write("Ricordel.dat",
                     listFile({{7, 3, "Dentista", "10:30"}, {0, 0, "Senza data", ""}}));
        folder.write("Date.dat", listFile({{25, 12, "Scade bollo"}}));
        FakeDesktop desktop;
        SaveAnswers files;
        Application program(desktop.services(&files, folder.path()));
        MainWindow& form = *program.window();
        ScriptedDialogs& dialogs = desktop.dialogs;
        program.load();

        // The item follows "Copia dati in DB" in the "?" menu.
        const QList<QAction*> items = form.findChild<QMenu*>("mnuDebug")->actions();
        const qsizetype copy = items.indexOf(form.findChild<QAction*>("mnuCopiaDB"));
        QAction* item = items.value(copy + 1);
        QVERIFY(copy >= 0 && item && item->objectName() == "mnuEsporta");
        QCOMPARE(item->text(), QStringLiteral("&Esporta calendario..."));

        // Proposed in the documents folder, or at home when there is none.
        // Cancelled: nothing written, nothing said.
        qputenv("HOME", folder.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", folder.file("config").toLocal8Bit());
        item->trigger();
        QVERIFY(QDir(folder.path()).mkdir("Documents"));
        item->trigger();
        QCOMPARE(files.proposed,
                 QStringList({folder.file("Ricordel.ics"), folder.file("Documents/Ricordel.ics")}));
        QVERIFY(dialogs.shown.isEmpty());

        // The saved lists are written; typed edits not yet saved are not, and
        // the box says so.
        program.agenda().setListsModified(true);
        files.answer = folder.file("uscita.ics");
        item->trigger();
        QCOMPARE(folder.read("uscita.ics").count("BEGIN:VEVENT"), 2);
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY2(dialogs.shown[0].icon == MsgIcon::Information &&
                     dialogs.shown[0].text.contains("Scritti 2 eventi; 1 voce tralasciata") &&
                     dialogs.shown[0].text.contains("non ancora salvate"),
                 qPrintable(dialogs.shown[0].text));

        files.answer = folder.file("manca/uscita.ics");
        item->trigger();
        QCOMPARE(dialogs.shown.size(), 2);
        QVERIFY2(
            dialogs.shown[1].icon == MsgIcon::Critical &&
                dialogs.shown[1].text.startsWith("Calendario non esportato: impossibile scrivere"),
            qPrintable(dialogs.shown[1].text));
    }

    void importsTheChosenFileAfterYes() {
        TempFolder folder;
        folder.write("invito.ics",
                     "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\n"
                     "UID:1@prova\r\nDTSTART;VALUE=DATE:20260320\r\n"
                     "SUMMARY:Riunione\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
        FakeDesktop desktop;
        SaveAnswers files;
        Application program(desktop.services(&files, folder.path()));
        MainWindow& form = *program.window();
        program.load();

        const QList<QAction*> items = form.findChild<QMenu*>("mnuDebug")->actions();
        QAction* item = items.value(items.indexOf(form.findChild<QAction*>("mnuEsporta")) + 1);
        QVERIFY(item && item->objectName() == "mnuImporta");
        QCOMPARE(item->text(), QStringLiteral("&Importa calendario..."));

        item->trigger();  // cancelled: nothing asked
        QVERIFY(desktop.dialogs.shown.isEmpty());
        files.openAnswer = folder.file("invito.ics");
        desktop.dialogs.answer(MsgAnswer::Yes);
        QSignalSpy done(&program.importer(), &CalendarImporter::finished);
        item->trigger();
        QVERIFY(done.wait(120000));
        QVERIFY2(desktop.dialogs.texts().value(0).contains("- 1 appuntamento"),
                 qPrintable(desktop.dialogs.texts().join('|')));
        QCOMPARE(folder.read("Ricordel.dat"), listFile({{20, 3, "Riunione", ""}}));
        QCOMPARE(program.agenda().appointments().entryCount(), 1);
    }

    // A reading that goes on shows its progress after a second, with
    // "Annulla", which stops it: no box, no entry, and the window free.
    void slowReadingShowsProgressAndCanBeCancelled() {
        TempFolder folder;
        folder.write("invito.ics", "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n");
        folder.write("lento.sh", "#!/bin/sh\nexec sleep 600\n");
        QFile::setPermissions(folder.file("lento.sh"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        FakeDesktop desktop;
        SaveAnswers files;
        ProgramServices services = desktop.services(&files, folder.path());
        services.calendarReader = folder.file("lento.sh");
        Application program(services);
        program.load();
        QSignalSpy done(&program.importer(), &CalendarImporter::finished);
        program.importProgress().setDelay(0);  // the bar's second, not waited for here
        program.importCalendarFile(folder.file("invito.ics"));
        QTRY_VERIFY_WITH_TIMEOUT(
            program.importProgress().dialog() && program.importProgress().dialog()->isVisible(),
            30000);
        QProgressDialog* bar = program.importProgress().dialog();
        QCOMPARE(bar->labelText(), "Lettura del calendario \"" +
                                       QDir::toNativeSeparators(folder.file("invito.ics")) +
                                       "\"...");
        QPushButton* cancel = bar->findChild<QPushButton*>();
        QVERIFY(cancel && cancel->text() == "Annulla");
        QTest::mouseClick(cancel, Qt::LeftButton);
        QCOMPARE(done.size(), 1);
        QCOMPARE(done[0][1].toInt(), 0);
        QVERIFY(!program.importer().isBusy());
        QVERIFY(desktop.dialogs.shown.isEmpty());
        QTRY_VERIFY(!program.importProgress().dialog());
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ExportMenuTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "exportmenu_test.moc"

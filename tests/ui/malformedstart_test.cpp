// The program starts on every damaged file of the corpus (as each list file
// and as the settings file at once), shows every record it could read, and
// the save command keeps every one of them.
#include <QApplication>
#include <QtTest/QtTest>

#include "app/application.h"
#include "core/agenda.h"
#include "core/fileio.h"
#include "core/listrecords.h"
#include "operations/operations.h"
#include "support/corpus.h"
#include "support/windowrig.h"

class MalformedStartTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void startsAndSavesEveryRecord_data() { addMalformedCorpusRows(); }
    void startsAndSavesEveryRecord() {
        QFETCH(QString, path);
        const QByteArray bytes = readCorpusFile(path);
        QVERIFY(!bytes.isEmpty() || QFileInfo(path).size() == 0);

        WindowRig rig;
        TempFolder& folder = rig.folder;
        for (ListKind kind : kAllListKinds) folder.write(listFileName(kind), bytes);
        folder.write("Ricordel.ini", bytes);

        rig.start();
        MainWindow& form = *rig.form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(rig.dialogs.shown.isEmpty());

        for (ListKind kind : kAllListKinds)
            QCOMPARE(form.agenda().list(kind).entryCount(), parseListRecords(bytes, kind).size());
        QList<QList<AgendaEntry>> shown;
        for (ListKind kind : kAllListKinds) shown << form.agenda().list(kind).entries();

        QVERIFY(saveAll(form.agenda()));
        for (ListKind kind : kAllListKinds) {
            const std::optional<QByteArray> saved = readWholeFile(folder.file(listFileName(kind)));
            QVERIFY(saved);
            const auto records = parseListRecords(*saved, kind);
            QCOMPARE(records.size(), shown[tabOf(kind)].size());
            // Sorting may reorder the appointments: compare the messages as sets.
            QStringList before, after;
            for (const auto& e : shown[tabOf(kind)]) before << e.message;
            for (const auto& r : records) after << r.message;
            before.sort();
            after.sort();
            QCOMPARE(after, before);
        }
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    MalformedStartTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "malformedstart_test.moc"

// The program starts on every damaged file of the corpus (as each list file
// and as the settings file at once), shows every record it could read, and
// the save command keeps every one of them.
#include <QApplication>
#include <QtTest/QtTest>

#include "core/agenda.h"
#include "core/listfiles.h"
#include "notify/notifier.h"
#include "operations/operations.h"
#include "support/corpus.h"
#include "support/fakeclock.h"
#include "support/fakeplayer.h"
#include "support/faketray.h"
#include "support/nodesktop.h"
#include "support/scripteddialogs.h"
#include "support/scriptedpresenter.h"
#include "support/tempfolder.h"
#include "ui/filedialogs.h"
#include "ui/form1.h"
#include "ui/printcommand.h"

namespace {

class NoFiles final : public FileDialogs {
  public:
    QString OpenFileName(const QString&) override { return {}; }
};

}  // namespace

class MalformedStartTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void startsAndSavesEveryRecord_data() { AddMalformedCorpusRows(); }
    void startsAndSavesEveryRecord() {
        QFETCH(QString, path);
        const QByteArray bytes = ReadCorpusFile(path);
        QVERIFY(!bytes.isEmpty() || QFileInfo(path).size() == 0);

        TempCurrentFolder folder;
        for (ListKind kind : kAllListKinds) folder.write(Traits(kind).fileName, bytes);
        folder.write("Ricordel.ini", bytes);

        FakeDesktop desktop;
        NoFiles files;
        Form1 form(desktop.services(&files));
        ScriptedDialogs& dialogs = desktop.dialogs;
        form.Form_Load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(dialogs.shown.isEmpty());

        for (ListKind kind : kAllListKinds)
            QCOMPARE(form.agenda().list(kind).entryCount(), ParseListRecords(bytes, kind).size());
        QList<QList<AgendaEntry>> shown;
        for (ListKind kind : kAllListKinds) shown << form.agenda().list(kind).entries();

        QVERIFY(saveAll(form.agenda()));
        for (ListKind kind : kAllListKinds) {
            const std::optional<QByteArray> saved = ReadWholeFile(folder.file(Traits(kind).fileName));
            QVERIFY(saved);
            const auto records = ParseListRecords(*saved, kind);
            QCOMPARE(records.size(), shown[TabOf(kind)].size());
            // Sorting may reorder the appointments: compare the messages as sets.
            QStringList before, after;
            for (const auto& e : shown[TabOf(kind)]) before << e.message;
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

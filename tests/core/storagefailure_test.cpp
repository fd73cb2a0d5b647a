// Saving into storage that refuses the write: a read-only data folder and a
// full file system. The user is told in Italian, the old files stay as they
// were and the unsaved-edits flag stays set, so nothing is reported as saved.
//
// As root, permissions do not stop a write: the test then mounts a small
// tmpfs of its own (read-only, or full); without the rights to mount it
// skips those cases.
#include <QStorageInfo>
#include <QtTest/QtTest>

#include "core/agenda.h"
#include "support/fakeclock.h"
#include "support/records.h"
#include "support/scratchmount.h"
#include "support/scripteddialogs.h"

namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

struct Scene {
    FakeClock clock;
    ScriptedDialogs dialogs;
    Agenda agenda;

    explicit Scene(const QString& folder) : agenda(clock, dialogs, folder) {
        agenda.loadLists();
        agenda.loadSettings();
    }

    // An edit, then the save of every list and of the settings.
    void editAndSaveEverything(int entries) {
        for (ListKind kind : kAllListKinds)
            for (int i = 0; i < entries; ++i)
                agenda.list(kind).append({"1/2", QString("Nuova voce %1").arg(i), {}, {}});
        agenda.setListsModified(true);
        for (ListKind kind : kAllListKinds) {
            QVERIFY(!agenda.saveList(kind));
        }
    }

    void checkTold() {
        QCOMPARE(dialogs.shown.size(), 3);  // one box for each list
        for (const auto& s : dialogs.shown) {
            QVERIFY2(s.text.startsWith(QString::fromUtf8("Impossibile salvare il file \"")),
                     qPrintable(s.text));
            QCOMPARE(s.icon, MsgIcon::Critical);
        }
        QVERIFY(agenda.listsModified());
    }
};

const QByteArray kDeadlines = listFile({{25, 12, "Scade bollo"}});
const QByteArray kSettingsFile = SettingsFile().bytes();

void prepare(const QString& folder) {
    for (const auto& [name, bytes] :
         {std::pair{"Date.dat", kDeadlines},
          std::pair{"Ricordel.dat", listFile({{7, 3, "Dentista", "10:30"}})},
          std::pair{"Ricorrenze.dat", QByteArray()}, std::pair{"Ricordel.ini", kSettingsFile}}) {
        QFile f(QDir(folder).filePath(QString::fromLatin1(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
}

}  // namespace

class StorageFailureTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void readOnlyFolder() {
        std::unique_ptr<ScratchMount> mount;
        QTemporaryDir plain;
        QString folder = plain.path();
        if (geteuid() == 0) {
            mount = std::make_unique<ScratchMount>("size=1m");
            if (!mount->ok()) QSKIP("running as root without the right to mount a tmpfs");
            folder = mount->path();
        }
        prepare(folder);
        if (mount) {
            QVERIFY(mount->remountReadOnly());
        } else {
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        }
        {
            Scene scene(folder);
            QCOMPARE(scene.agenda.list(ListKind::Deadlines).entryCount(), 1);
            scene.editAndSaveEverything(3);
            scene.checkTold();
            scene.agenda.settings().daysOfNotice = 9;
            QVERIFY(!scene.agenda.saveSettings());
            QCOMPARE(scene.dialogs.shown.size(), 4);
            QVERIFY(scene.dialogs.shown.last().text.contains("Ricordel.ini"));
        }
        QCOMPARE(readFile(QDir(folder).filePath("Date.dat")), kDeadlines);
        QCOMPARE(readFile(QDir(folder).filePath("Ricordel.ini")), kSettingsFile);
        if (!mount)
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void fullFileSystem() {
        if (geteuid() != 0) QSKIP("needs root to mount a small tmpfs");
        ScratchMount mount("size=64k");
        if (!mount.ok()) QSKIP("running as root without the right to mount a tmpfs");
        prepare(mount.path());
        {
            // Fill what is left of the file system.
            QFile filler(QDir(mount.path()).filePath("filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly));
            const QByteArray block(4096, 'x');
            while (filler.write(block) == block.size() && filler.flush()) {
            }
        }
        QCOMPARE(QStorageInfo(mount.path()).bytesAvailable(), 0);
        {
            Scene scene(mount.path());
            scene.editAndSaveEverything(2000);  // far more than the space left
            scene.checkTold();
            QVERIFY(scene.dialogs.shown[0].text.contains("Ricordel.dat"));
        }
        QCOMPARE(readFile(QDir(mount.path()).filePath("Date.dat")), kDeadlines);
        QCOMPARE(readFile(QDir(mount.path()).filePath("Ricordel.ini")), kSettingsFile);
        QCOMPARE(readFile(QDir(mount.path()).filePath("Ricordel.dat")),
                 listFile({{7, 3, "Dentista", "10:30"}}));
        // No temporary copies are left behind to eat the space.
        const QStringList left = QDir(mount.path()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(left.size(), 5);
    }
};

QTEST_GUILESS_MAIN(StorageFailureTest)
#include "storagefailure_test.moc"

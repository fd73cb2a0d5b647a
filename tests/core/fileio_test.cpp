// Replacing a file's content atomically, and reading it back whole.
#include <QtTest/QtTest>

#include "core/fileio.h"

class FileIoTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void atomicWriteReplacesOrKeeps() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Ricordel.dat");
        QVERIFY(!writeFileAtomically(path, "old\r\n"));
        QVERIFY(!writeFileAtomically(path, "new\r\n"));
        QCOMPARE(readWholeFile(path), QByteArray("new\r\n"));
        // A folder in the way cannot be replaced: the failure has a reason.
        QVERIFY(QDir(dir.path()).mkdir("blocked"));
        const auto error = writeFileAtomically(dir.filePath("blocked"), "x");
        QVERIFY(error.has_value());
        QVERIFY(!error->isEmpty());
        QVERIFY(QFileInfo(dir.filePath("blocked")).isDir());
    }
};

QTEST_GUILESS_MAIN(FileIoTest)
#include "fileio_test.moc"

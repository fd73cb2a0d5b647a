#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest/QTest>

#include "core/agenda.h"
#include "support/agendarig.h"
#include "support/fakeclock.h"
#include "support/scripteddialogs.h"
#include "support/tempfolder.h"
#include "ui/backgroundchooser.h"

// The background chooser, driven through its lists and buttons, with the
// program's folder a fresh temporary folder holding generated pictures.
class BackgroundChooserTest : public QObject {
    Q_OBJECT

    struct Fixture : AgendaRig {
        BackgroundChooser* dialog = nullptr;
        QSignalSpy* chosen = nullptr;

        ~Fixture() {
            delete chosen;
            delete dialog;
        }
        QString makeFolder(const QString& name) const {
            QDir(folder.path()).mkpath(name);
            return folder.file(name);
        }
        // A picture of one colour, written in the format its name says.
        void picture(const QString& name, QSize size) const {
            QImage image(size, QImage::Format_RGB32);
            image.fill(QColor(200, 40, 90));
            if (!image.save(folder.file(name), name.endsWith("bmp") ? "BMP" : "JPG")) {
                qFatal("cannot write the test picture");
            }
        }
        BackgroundChooser& open() {
            dialog = new BackgroundChooser(agenda);
            chosen = new QSignalSpy(dialog, &BackgroundChooser::backgroundChosen);
            dialog->show();
            QApplication::setActiveWindow(dialog);
            if (!QTest::qWaitForWindowActive(dialog)) qFatal("the chooser did not become active");
            return *dialog;
        }
        QListWidget* files() const { return dialog->findChild<QListWidget*>("File1"); }
        QLabel* label(const char* name) const {
            return dialog->findChild<QLabel*>(QString::fromLatin1(name));
        }
        QPushButton* button(const char* name) const {
            return dialog->findChild<QPushButton*>(QString::fromLatin1(name));
        }
        QStringList fileNames() const {
            QStringList out;
            for (int i = 0; i < files()->count(); ++i) out << files()->item(i)->text();
            return out;
        }
        QPoint fileAt(const QString& name) const {
            const auto found = files()->findItems(name, Qt::MatchExactly);
            if (found.isEmpty()) qFatal("file not listed");
            return files()->visualItemRect(found.first()).center();
        }
        void clickFile(const QString& name) const {
            QTest::mouseClick(files()->viewport(), Qt::LeftButton, {}, fileAt(name));
        }
        bool previewEmpty() const {
            return label("Image1")->pixmap().isNull() && label("LabelRis")->text().isEmpty() &&
                   !button("CmdOk")->isEnabled();
        }
    };

  private Q_SLOTS:
    void opensAtTheImgFolderWithOnlyPictures() {
        Fixture f;
        f.makeFolder("Img/Vacanze");
        f.picture("Img/b.jpg", {20, 10});
        f.picture("Img/A.BMP", {20, 10});
        f.folder.write("Img/c.png", "");
        f.folder.write("Img/notes.txt", "x");
        BackgroundChooser& dialog = f.open();
        QCOMPARE(QDir(dialog.shownFolder()), QDir(f.folder.file("Img")));
        QCOMPARE(f.fileNames(), QStringList({"A.BMP", "b.jpg"}));
        auto* tree = dialog.findChild<QTreeWidget*>("Dir1");
        QCOMPARE(tree->currentItem()->text(0), QString("Img"));
        QCOMPARE(tree->currentItem()->child(0)->text(0), QString("Vacanze"));
        QVERIFY(f.previewEmpty());
    }

    void opensWhereverImgIsFound() {
        Fixture lower;
        if (!QFileInfo::exists(lower.folder.file("IMG"))) {
            lower.makeFolder("img");
            QCOMPARE(QDir(lower.open().shownFolder()), QDir(lower.folder.file("img")));
        }
        Fixture none;
        QCOMPARE(QDir(none.open().shownFolder()), QDir(none.folder.path()));
        QVERIFY(none.dialogs.shown.isEmpty());
    }

    void previewKeepsTheProportions_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("preview");
        QTest::newRow("wide") << "wide.jpg" << QSize(1610, 1000) << QSize(161, 100);
        QTest::newRow("tall") << "tall.bmp" << QSize(300, 699) << QSize(100, 233);
        QTest::newRow("small") << "small.JPG" << QSize(50, 50) << QSize(161, 161);
    }
    void previewKeepsTheProportions() {
        QFETCH(QString, name);
        QFETCH(QSize, picture);
        QFETCH(QSize, preview);
        Fixture f;
        f.makeFolder("Img");
        f.picture("Img/" + name, picture);
        f.open();
        f.clickFile(name);
        QCOMPARE(f.label("Image1")->geometry(), QRect(QPoint(376, 32), preview));
        QCOMPARE(f.label("Image1")->pixmap().size(), picture);
        QCOMPARE(f.label("LabelRis")->text(),
                 QString("%1 x %2").arg(picture.width()).arg(picture.height()));
        QVERIFY(f.button("CmdOk")->isEnabled());
    }

    // Every way of confirming copies the file byte for byte and hands the
    // whole picture to the main window.
    void confirmingCopiesThePicture_data() {
        QTest::addColumn<QString>("how");
        for (const char* how : {"Ok", "double click", "Enter", "preview"})
            QTest::newRow(how) << how;
    }
    void confirmingCopiesThePicture() {
        QFETCH(QString, how);
        Fixture f;
        f.makeFolder("Img");
        f.picture("Img/foto.jpg", {1610, 1000});
        f.folder.write("Sfondo.dat", "old");
        BackgroundChooser& dialog = f.open();
        f.clickFile("foto.jpg");  // also the first click of the double click
        if (how == "Ok") QTest::mouseClick(f.button("CmdOk"), Qt::LeftButton);
        if (how == "double click") {
            QTest::mouseDClick(f.files()->viewport(), Qt::LeftButton, {}, f.fileAt("foto.jpg"));
        }
        if (how == "Enter") QTest::keyClick(f.files(), Qt::Key_Return);
        if (how == "preview") QTest::mouseClick(f.label("Image1"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(f.chosen->size(), 1);
        QCOMPARE(f.chosen->first().first().value<QPixmap>().size(), QSize(1610, 1000));
        QCOMPARE(f.folder.read("Sfondo.dat"), f.folder.read("Img/foto.jpg"));
        QCOMPARE(loadBackgroundPicture(f.folder.path()).size(), QSize(1610, 1000));
        Settings saved;
        parseSettings(f.folder.read("Ricordel.ini"), saved);
        QCOMPARE(QDir(saved.picturesFolder), QDir(f.folder.file("Img")));
    }

    // Nothing selected, or a file that is no picture: nothing to confirm.
    void confirmNeedsAReadablePicture() {
        Fixture f;
        f.makeFolder("Img");
        f.picture("Img/buona.jpg", {40, 20});
        f.folder.write("Img/rotta.jpg", "non è un JPEG");
        BackgroundChooser& dialog = f.open();
        f.files()->setFocus();
        QTest::keyClick(f.files(), Qt::Key_Return);
        QTest::mouseClick(f.label("Image1"), Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        f.clickFile("buona.jpg");
        QVERIFY(!f.previewEmpty());
        QTest::keyClick(f.files(), Qt::Key_Down);  // the keyboard selects too
        QCOMPARE(f.dialogs.shown.size(), 1);
        QVERIFY(f.dialogs.shown.first().text.contains("rotta.jpg"));
        QVERIFY(f.previewEmpty());
        QTest::keyClick(f.files(), Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QCOMPARE(f.chosen->size(), 0);
        QVERIFY(!f.folder.exists("Sfondo.dat"));
    }

    // The picture went away after the preview, or a folder blocks the copy:
    // the user is told and the earlier copy, if any, stays whole.
    void failedCopyIsReported() {
        Fixture f;
        f.makeFolder("Img");
        f.picture("Img/foto.jpg", {40, 20});
        f.folder.write("Sfondo.dat", "old picture");
        f.open();
        f.clickFile("foto.jpg");
        QVERIFY(QFile::remove(f.folder.file("Img/foto.jpg")));
        QTest::mouseClick(f.button("CmdOk"), Qt::LeftButton);
        QCOMPARE(f.dialogs.shown.size(), 1);
        QVERIFY(f.dialogs.shown.first().text.contains("Sfondo.dat"));
        QCOMPARE(f.folder.read("Sfondo.dat"), QByteArray("old picture"));

        Fixture g;
        g.makeFolder("Img");
        g.picture("Img/foto.jpg", {40, 20});
        g.makeFolder("Sfondo.dat");
        g.open();
        g.clickFile("foto.jpg");
        QTest::mouseClick(g.button("CmdOk"), Qt::LeftButton);
        QCOMPARE(g.dialogs.shown.size(), 1);
        QVERIFY(QFileInfo(g.folder.file("Sfondo.dat")).isDir());
    }

    // However the chooser closes after browsing, the folder it shows is
    // remembered, and the next opening starts there.
    void cancellingStillStoresTheFolder_data() {
        QTest::addColumn<QString>("how");
        for (const char* how : {"Annulla", "Escape", "title bar"}) QTest::newRow(how) << how;
    }
    void cancellingStillStoresTheFolder() {
        QFETCH(QString, how);
        Fixture f;
        const QString other = f.makeFolder("Img/Vacanze 2026, mare");
        f.picture("Img/Vacanze 2026, mare/spiaggia.bmp", {8, 8});
        f.folder.write("Sfondo.dat", "old");
        BackgroundChooser& dialog = f.open();
        auto* tree = dialog.findChild<QTreeWidget*>("Dir1");
        const QPoint at = tree->visualItemRect(tree->currentItem()->child(0)).center();
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(QDir(dialog.shownFolder()), QDir(f.folder.file("Img")));
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
        QTRY_COMPARE(QDir(dialog.shownFolder()), QDir(other));
        QCOMPARE(f.fileNames(), QStringList({"spiaggia.bmp"}));
        f.clickFile("spiaggia.bmp");
        if (how == "Annulla") QTest::mouseClick(f.button("CmdAnnulla"), Qt::LeftButton);
        if (how == "Escape") QTest::keyClick(f.files(), Qt::Key_Escape);
        if (how == "title bar") dialog.close();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(f.chosen->size(), 0);
        QCOMPARE(f.folder.read("Sfondo.dat"), QByteArray("old"));
        Settings saved;
        parseSettings(f.folder.read("Ricordel.ini"), saved);
        QCOMPARE(QDir(saved.picturesFolder), QDir(other));
        QCOMPARE(QDir(BackgroundChooser(f.agenda).shownFolder()), QDir(other));
    }

    // A folder whose name the settings file cannot hold would come back
    // changed at the next start: it is refused with a box naming it, and the
    // setting keeps the folder it had.
    void aFolderTheSettingsCannotHoldIsNotStored() {
        Fixture f;
        f.makeFolder("Img");
        const QString odd = f.makeFolder(QString::fromUtf16(u"Img/Gy\u0151r"));
        f.agenda.settings().picturesFolder = QDir::toNativeSeparators(f.folder.file("Img"));
        BackgroundChooser& dialog = f.open();
        QVERIFY(dialog.setFolder(odd));
        dialog.reject();
        QCOMPARE(f.dialogs.shown.size(), 1);
        QVERIFY2(f.dialogs.shown[0].text.contains(QDir::toNativeSeparators(odd)),
                 qPrintable(f.dialogs.shown[0].text));
        QCOMPARE(f.agenda.settings().picturesFolder,
                 QDir::toNativeSeparators(f.folder.file("Img")));
        QVERIFY(!f.folder.exists("Ricordel.ini"));
    }

    // Enter in the folder list opens the folder and does not close the chooser.
    void enterInTheFolderListOpensTheFolder() {
        Fixture f;
        f.makeFolder("Img");
        BackgroundChooser& dialog = f.open();
        auto* tree = dialog.findChild<QTreeWidget*>("Dir1");
        tree->setCurrentItem(tree->currentItem()->parent());
        QTest::keyClick(tree, Qt::Key_Return);
        QTRY_COMPARE(QDir(dialog.shownFolder()), QDir(f.folder.path()));
        QVERIFY(dialog.isVisible());
    }

    // No copy, or one that is no picture: the plain background.
    void missingOrBrokenBackgroundIsNull() {
        Fixture f;
        QVERIFY(loadBackgroundPicture(f.folder.path()).isNull());
        f.folder.write("Sfondo.dat", "not a picture");
        QVERIFY(loadBackgroundPicture(f.folder.path()).isNull());
    }
};

QTEST_MAIN(BackgroundChooserTest)
#include "backgroundchooser_test.moc"

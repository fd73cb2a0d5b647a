#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include "ui/fonts.h"

class FontsTest : public QObject {
    Q_OBJECT

    using Names = QStringList;

  private Q_SLOTS:
    void choosesFromTheInstalledFaces() {
        QCOMPARE(chooseFontSubstitutes("MS Sans Serif", Names{"DejaVu Sans", "Liberation Sans"}),
                 Names({"Liberation Sans", "DejaVu Sans"}));
        QCOMPARE(chooseFontSubstitutes("arial", Names{"liberation sans"}),
                 Names({"Liberation Sans"}));
        QCOMPARE(chooseFontSubstitutes("Arial", Names{"Arial", "DejaVu Sans"}), Names());
        QCOMPARE(chooseFontSubstitutes("Comic Sans MS", Names{"DejaVu Sans", "Comic Neue"}),
                 Names({"Comic Neue", "DejaVu Sans"}));
        QCOMPARE(chooseFontSubstitutes("Comic Sans MS", Names{"Noto Serif"}), Names());
    }

    // On this machine the windows' faces resolve to the chosen stand-ins.
    void windowsFacesResolveToStandIns() {
        const QStringList installed = QFontDatabase::families();
        installFontSubstitutes();
        const QList<std::pair<QString, QString>> expected = {{"MS Sans Serif", "Liberation Sans"},
                                                             {"Comic Sans MS", "Comic Neue"}};
        int checked = 0;
        for (const auto& [family, standIn] : expected) {
            if (installed.contains(family) || !installed.contains(standIn)) continue;
            QCOMPARE(QFontInfo(QFont(family)).family(), standIn);
            ++checked;
        }
        if (checked == 0) QSKIP("neither stand-in is installed here");
    }

    void standardButtonsReadInItalian() {
        QTemporaryDir empty;
        QVERIFY(!loadItalianTranslation(*qApp, empty.path()));
        QMessageBox english(QMessageBox::Question, "t", "q", QMessageBox::Yes);
        QCOMPARE(english.button(QMessageBox::Yes)->text().remove('&'), QString("Yes"));

        QVERIFY(loadItalianTranslation(*qApp));
        QMessageBox box(QMessageBox::Question, "t", "q",
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Yes)->text().remove('&'), QString("Sì"));
        QCOMPARE(box.button(QMessageBox::No)->text().remove('&'), QString("No"));
        QCOMPARE(box.button(QMessageBox::Cancel)->text().remove('&'), QString("Annulla"));
    }
};

QTEST_MAIN(FontsTest)
#include "fonts_test.moc"

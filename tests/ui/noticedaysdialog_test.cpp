#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <QtTest/QTest>

#include "core/agenda.h"
#include "support/agendarig.h"
#include "support/fakeclock.h"
#include "support/scripteddialogs.h"
#include "support/tempfolder.h"
#include "ui/noticedaysdialog.h"

// The notice-days dialog, shown for real so that the focus moves as it does
// for the user, and driven through its own controls.
class NoticeDaysDialogTest : public QObject {
    Q_OBJECT

    struct Fixture : AgendaRig {
        NoticeDaysDialog* dialog = nullptr;
        explicit Fixture(qint16 days) { agenda.settings().daysOfNotice = days; }
        ~Fixture() { delete dialog; }
        NoticeDaysDialog& open() {
            dialog = new NoticeDaysDialog(agenda);
            dialog->show();
            QApplication::setActiveWindow(dialog);
            if (!QTest::qWaitForWindowActive(dialog)) qFatal("the dialog did not become active");
            return *dialog;
        }
        QLineEdit* box() const { return dialog->findChild<QLineEdit*>("TxtGG"); }
        QPushButton* button(const char* name) const {
            return dialog->findChild<QPushButton*>(QString::fromLatin1(name));
        }
        // The focus frame lies 4 pixels round the control that has the focus.
        bool frameSurrounds(const QWidget* control) const {
            return dialog->findChild<QWidget*>("Shape1")->geometry() ==
                   control->geometry().adjusted(-4, -4, 4, 4);
        }
        void retype(const QString& typed) const {
            box()->setFocus();
            box()->selectAll();
            QTest::keyClick(box(), Qt::Key_Delete);
            QTest::keyClicks(box(), typed);
        }
        qint16 days() const { return agenda.settings().daysOfNotice; }
    };

  private Q_SLOTS:
    void frameFollowsTheFocus() {
        Fixture f(-3);
        NoticeDaysDialog& dialog = f.open();
        QCOMPARE(f.box()->text(), QString("-3"));
        QCOMPARE(dialog.focusWidget(), f.box());
        QVERIFY(f.frameSurrounds(f.box()));
        QCOMPARE(dialog.findChild<QLabel*>("Shape1")->palette().color(QPalette::Window),
                 QColor(0, 255, 0));
        // Leaving the box rewrites its number but does not store it.
        f.retype("0012 giorni");
        QTest::keyClick(f.box(), Qt::Key_Tab);
        QCOMPARE(f.box()->text(), QString("12"));
        QCOMPARE(f.days(), qint16(-3));
        QVERIFY(f.frameSurrounds(f.button("BtnAnnulla")));
        QTest::keyClick(f.button("BtnAnnulla"), Qt::Key_Tab);
        QVERIFY(f.frameSurrounds(f.button("BtnOk")));
    }

    void okStoresTheRoundedNumber_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("words") << "10 giorni" << 10 << "10";
        QTest::newRow("letters") << "dieci" << 0 << "0";
        QTest::newRow("zeros") << "0012" << 12 << "12";
        QTest::newRow("negative") << "-2" << -2 << "-2";
        QTest::newRow("half down") << "2.5" << 2 << "2.5";
        QTest::newRow("half up") << "3.5" << 4 << "3.5";
        QTest::newRow("hex") << "&H10" << 16 << "16";
        QTest::newRow("into range") << "32767.4" << 32767 << "32767.4";
        QTest::newRow("lowest") << "-32768" << -32768 << "-32768";
    }
    void okStoresTheRoundedNumber() {
        QFETCH(QString, typed);
        QFETCH(int, stored);
        QFETCH(QString, shown);
        Fixture f(3);
        NoticeDaysDialog& dialog = f.open();
        f.retype(typed);
        QTest::mouseClick(f.button("BtnOk"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(int(f.days()), stored);
        QCOMPARE(f.box()->text(), shown);
        QVERIFY(f.dialogs.shown.isEmpty());
    }

    void okRefusesANumberOutOfRange_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("40000") << "40000";
        QTest::newRow("-32769") << "-32769";
        QTest::newRow("beyond any number") << "1E400";
    }
    void okRefusesANumberOutOfRange() {
        QFETCH(QString, typed);
        Fixture f(3);
        NoticeDaysDialog& dialog = f.open();
        f.retype(typed);
        QTest::mouseClick(f.button("BtnOk"), Qt::LeftButton);
        QCOMPARE(f.dialogs.shown.size(), 1);
        QVERIFY(f.dialogs.shown.first().text.contains("32767"));
        QVERIFY(dialog.isVisible());
        QCOMPARE(f.days(), qint16(3));
        f.retype("7");
        QTest::mouseClick(f.button("BtnOk"), Qt::LeftButton);
        QCOMPARE(f.days(), qint16(7));
    }

    void onlyTheButtonsClose() {
        Fixture f(3);
        NoticeDaysDialog& dialog = f.open();
        f.retype("9");
        for (QWidget* w :
             {static_cast<QWidget*>(f.box()), static_cast<QWidget*>(f.button("BtnOk"))}) {
            w->setFocus();
            QTest::keyClick(w, Qt::Key_Return);
            QTest::keyClick(w, Qt::Key_Escape);
        }
        QVERIFY(dialog.isVisible());
        QCOMPARE(f.days(), qint16(3));
        QTest::keyClick(dialog.windowHandle(), Qt::Key_A, Qt::AltModifier);
        QVERIFY(f.button("BtnAnnulla")->isDown());
        QTest::mouseClick(f.button("BtnAnnulla"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(f.days(), qint16(3));
    }

    // The menu command, with the dialog answered from inside its modal loop.
    void commandWritesSettingsOnlyWhenChanged_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("closeBy");
        QTest::addColumn<int>("stored");
        QTest::newRow("ok unchanged") << "3"
                                      << "BtnOk" << 3;
        QTest::newRow("ok, same value written otherwise") << "003"
                                                          << "BtnOk" << 3;
        QTest::newRow("annulla") << "8"
                                 << "BtnAnnulla" << 3;
        QTest::newRow("title bar") << "8"
                                   << "" << 3;
        QTest::newRow("ok changed") << "7"
                                    << "BtnOk" << 7;
    }
    void commandWritesSettingsOnlyWhenChanged() {
        QFETCH(QString, typed);
        QFETCH(QString, closeBy);
        QFETCH(int, stored);
        Fixture f(3);
        bool answered = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<NoticeDaysDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            answered = true;
            dialog->findChild<QLineEdit*>("TxtGG")->setText(typed);
            if (closeBy.isEmpty()) {
                dialog->close();
            } else {
                dialog->findChild<QPushButton*>(closeBy)->click();
            }
        });
        openNoticeDaysDialog(f.agenda, nullptr);
        QVERIFY(answered);
        QCOMPARE(int(f.days()), stored);
        QCOMPARE(f.folder.exists("Ricordel.ini"), stored != 3);
        if (stored != 3) {
            QVERIFY(f.folder.read("Ricordel.ini")
                        .endsWith("7,\"giorni preavviso\"\r\n0,\"minuti preavviso\"\r\n"));
        }
    }
};

QTEST_MAIN(NoticeDaysDialogTest)
#include "noticedaysdialog_test.moc"

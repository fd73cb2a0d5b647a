// The real message and input boxes behind the dialog seam: titles, buttons,
// icons and what each way of closing them answers. Each box is answered from
// a zero timer as soon as it is shown.
#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include <functional>

#include "ui/widgetdialogs.h"

namespace {

struct Seen {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    Qt::TextFormat format = Qt::AutoText;
    QString inputDefault;
    bool wholeTextShows = false;  // the input field is as wide as its text
    bool withinScreen = false;    // the box fits the screen's width
};

// Runs `answer` on the modal box once it is up, after noting what it shows.
void whenShown(Seen& seen, std::function<void(QWidget*)> answer) {
    QTimer::singleShot(0, [&seen, answer] {
        QWidget* modal = QApplication::activeModalWidget();
        QVERIFY(modal);
        seen.title = modal->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen.text = box->text();
            seen.icon = box->icon();
            seen.buttons = box->standardButtons();
            seen.format = box->textFormat();
        }
        if (auto* input = qobject_cast<QInputDialog*>(modal)) {
            seen.text = input->labelText();
            seen.inputDefault = input->textValue();
            const QLineEdit* field = input->findChild<QLineEdit*>();
            seen.wholeTextShows =
                field && field->contentsRect().width() >=
                             field->fontMetrics().horizontalAdvance(input->textValue());
            seen.withinScreen =
                input->frameGeometry().width() <= input->screen()->availableGeometry().width();
        }
        answer(modal);
    });
}

void pressButton(QWidget* modal, QMessageBox::StandardButton which) {
    static_cast<QMessageBox*>(modal)->button(which)->click();
}

}  // namespace

class WidgetDialogsTests : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void messageBoxTitlesButtonsAndAnswers() {
        WidgetDialogs dialogs;
        Seen seen;

        whenShown(seen, [](QWidget* m) { pressButton(m, QMessageBox::Yes); });
        QCOMPARE(dialogs.message(QStringLiteral("Salvare?"), MsgButtons::YesNo, MsgIcon::Question,
                                 std::nullopt),
                 MsgAnswer::Yes);
        QCOMPARE(seen.title, QStringLiteral("Ricordel"));
        QCOMPARE(seen.icon, QMessageBox::Question);
        QCOMPARE(seen.buttons, QMessageBox::Yes | QMessageBox::No);

        whenShown(seen, [](QWidget* m) { pressButton(m, QMessageBox::Cancel); });
        QCOMPARE(dialogs.message(QStringLiteral("Chiudere?"), MsgButtons::OkCancel,
                                 MsgIcon::Exclamation, QStringLiteral("Conferma")),
                 MsgAnswer::Cancel);
        QCOMPARE(seen.title, QStringLiteral("Conferma"));
        QCOMPARE(seen.icon, QMessageBox::Warning);

        // An empty title stays empty: it is not the program's name.
        whenShown(seen, [](QWidget* m) { pressButton(m, QMessageBox::Ok); });
        QCOMPARE(dialogs.message(QStringLiteral("<b>x</b>"), MsgButtons::Ok, MsgIcon::Information,
                                 QString()),
                 MsgAnswer::Ok);
        QCOMPARE(seen.title, QString());
        QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(seen.icon, QMessageBox::Information);
        // Messages quote the user's text; it is never read as markup.
        QCOMPARE(seen.format, Qt::PlainText);
    }

    void escapeGivesTheAnswerThatChangesNothing() {
        WidgetDialogs dialogs;
        Seen seen;
        const auto escape = [](QWidget* m) { QTest::keyClick(m, Qt::Key_Escape); };
        whenShown(seen, escape);
        QCOMPARE(dialogs.message(QStringLiteral("?"), MsgButtons::YesNo, MsgIcon::Question,
                                 std::nullopt),
                 MsgAnswer::No);
        whenShown(seen, escape);
        QCOMPARE(dialogs.message(QStringLiteral("?"), MsgButtons::OkCancel, MsgIcon::Question,
                                 std::nullopt),
                 MsgAnswer::Cancel);
    }

    void inputBoxReturnsTheTextOrEmptyOnCancel() {
        WidgetDialogs dialogs;
        Seen seen;
        whenShown(seen, [](QWidget* m) {
            auto* input = static_cast<QInputDialog*>(m);
            input->setTextValue(QStringLiteral("Dentista alle 9"));
            input->accept();
        });
        QCOMPARE(dialogs.input(QStringLiteral("Inserisci il MESSAGGIO"), std::nullopt,
                               QStringLiteral("Scade ")),
                 QStringLiteral("Dentista alle 9"));
        QCOMPARE(seen.title, QStringLiteral("Ricordel"));
        QCOMPARE(seen.text, QStringLiteral("Inserisci il MESSAGGIO"));
        QCOMPARE(seen.inputDefault, QStringLiteral("Scade "));

        // A long message shows whole in the box; one longer than the screen
        // is wide gets a box as wide as the screen.
        const QString message = QStringLiteral(
            "Riunione di condominio per il rifacimento della "
            "facciata, portare i preventivi delle tre ditte");
        whenShown(seen, [](QWidget* m) { static_cast<QInputDialog*>(m)->reject(); });
        QCOMPARE(dialogs.input(QString(), QStringLiteral("Modifica"), message), QString());
        QCOMPARE(seen.title, QStringLiteral("Modifica"));
        QVERIFY(seen.wholeTextShows);
        QVERIFY(seen.withinScreen);
        whenShown(seen, [](QWidget* m) { static_cast<QInputDialog*>(m)->reject(); });
        dialogs.input(QString(), QStringLiteral("Modifica"), message.repeated(6));
        QVERIFY(!seen.wholeTextShows);
        QVERIFY(seen.withinScreen);
    }
};

QTEST_MAIN(WidgetDialogsTests)
#include "mainwindow_dialogs_test.moc"

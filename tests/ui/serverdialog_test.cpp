// The server dialog against a real Radicale, driven through its controls;
// the questions it asks are answered by a script. Skipped (77) without
// radicale.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QtTest/QTest>

#include <cstdio>

#include "operations/sync/caldavclient.h"
#include "support/radicale.h"
#include "support/scripteddialogs.h"
#include "ui/serverdialog.h"

namespace {

const QString kUser = QStringLiteral("anna@example.com");
const QString kPassword = QStringLiteral("segreto");

// Waiting for a real server's answer.
constexpr int kAnswerMs = 20000;

struct Rig {
    QNetworkAccessManager network;
    ScriptedDialogs dialogs;
    ServerDialog dialog;

    explicit Rig(const std::optional<SyncAccountSettings>& current = std::nullopt,
                 const QString& password = {})
        : dialog(&network, dialogs, current, password) {
        dialog.show();
    }
    template <class T = QWidget>
    T* control(const char* name) {
        T* found = dialog.findChild<T*>(QString::fromLatin1(name));
        if (!found) qFatal("no control %s", name);
        return found;
    }
    void type(const char* field, const QString& text) {
        QLineEdit* edit = control<QLineEdit>(field);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
    void click(const char* button) { QTest::mouseClick(control(button), Qt::LeftButton); }
    QString status() { return control<QLabel>("lblStato")->text(); }
    QComboBox* calendars() { return control<QComboBox>("cboCalendario"); }
};

}  // namespace

class ServerDialogTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(server_.isRunning(), qPrintable(server_.log()));
        agenda_ = server_.makeCalendar(kUser, kPassword, "agenda");
        QVERIFY(!agenda_.isEmpty());
    }

    // From the server's root, the user's one calendar is found and chosen;
    // OK gives its address.
    void findsTheCalendarFromTheRoot() {
        Rig rig;
        QVERIFY(!rig.control("cmdOK")->isEnabled());
        QVERIFY(!rig.control("cmdDisattiva")->isEnabled());
        rig.type("txtServer", server_.root().toString());
        rig.type("txtUtente", kUser);
        rig.type("txtPassword", kPassword);
        rig.click("cmdProva");
        QCOMPARE(rig.status(), "Ricerca in corso...");
        QVERIFY(!rig.control("cmdProva")->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(rig.status(), "Trovato 1 calendario.", kAnswerMs);
        QCOMPARE(rig.calendars()->currentText(), "agenda");
        QVERIFY(rig.control("cmdCrea")->isEnabled());  // no "Ricordel" yet
        // Any edit forgets what was found, until Prova again.
        rig.type("txtPassword", kPassword + "x");
        QVERIFY(!rig.control("cmdOK")->isEnabled());
        rig.type("txtPassword", kPassword);
        rig.click("cmdProva");
        QTRY_COMPARE_WITH_TIMEOUT(rig.status(), "Trovato 1 calendario.", kAnswerMs);
        rig.click("cmdOK");
        const ServerDialog::Outcome outcome = rig.dialog.outcome();
        QCOMPARE(outcome.choice, ServerDialog::Outcome::Choice::Saved);
        QCOMPARE(outcome.account.calendar, agenda_);
        QCOMPARE(outcome.account.user, kUser);
        QCOMPARE(outcome.password, kPassword);
        QVERIFY(rig.dialogs.shown.isEmpty());
    }

    // With an account: "Ricordel" is created in the home set and chosen,
    // found again by name; Disattiva asks first.
    void createsRicordelAndTurnsOff() {
        const SyncAccountSettings current{agenda_, kUser, {}, false};
        Rig rig(current, kPassword);
        // The calendar in use stays chosen.
        QCOMPARE(rig.calendars()->currentText(), "agenda");
        QVERIFY(rig.control("cmdOK")->isEnabled());
        QVERIFY(rig.control("cmdDisattiva")->isEnabled());
        // The calendar's own address: that calendar alone, nowhere to create one.
        rig.click("cmdProva");
        QTRY_COMPARE_WITH_TIMEOUT(rig.status(), "Trovato 1 calendario.", kAnswerMs);
        QCOMPARE(rig.calendars()->currentText(), "agenda");
        QVERIFY(!rig.control("cmdCrea")->isEnabled());
        rig.type("txtServer", server_.root().toString());
        rig.click("cmdProva");
        QTRY_COMPARE_WITH_TIMEOUT(rig.status(), "Trovato 1 calendario.", kAnswerMs);
        QVERIFY(rig.control("cmdCrea")->isEnabled());
        rig.click("cmdCrea");
        QTRY_COMPARE_WITH_TIMEOUT(rig.status(), "Calendario \"Ricordel\" creato.", kAnswerMs);
        QCOMPARE(rig.calendars()->currentText(), "Ricordel");
        QVERIFY(!rig.control("cmdCrea")->isEnabled());
        rig.click("cmdProva");
        QTRY_COMPARE_WITH_TIMEOUT(rig.status(), "Trovati 2 calendari.", kAnswerMs);
        QCOMPARE(rig.calendars()->currentText(), "Ricordel");
        QVERIFY(!rig.control("cmdCrea")->isEnabled());

        rig.dialogs.answer(MsgAnswer::No);
        rig.click("cmdDisattiva");
        QVERIFY(rig.dialog.isVisible());
        rig.dialogs.answer(MsgAnswer::Yes);
        rig.click("cmdDisattiva");
        QCOMPARE(rig.dialogs.texts(),
                 QStringList(2, "Disattivare la sincronizzazione e dimenticare l'account?"));
        QCOMPARE(rig.dialogs.shown[0].buttons, MsgButtons::YesNo);
        QCOMPARE(rig.dialog.outcome().choice, ServerDialog::Outcome::Choice::TurnedOff);
        QVERIFY(!rig.dialog.isVisible());
    }

    // A wrong password: the server's refusal in the status line, OK stays
    // off. Plain http elsewhere is asked about. An address without a scheme
    // is taken as https; closing the dialog drops the search.
    void failuresAreShown() {
        Rig rig;
        rig.type("txtServer", server_.root().toString());
        rig.type("txtUtente", kUser);
        rig.type("txtPassword", "sbagliata");
        rig.click("cmdProva");
        QTRY_VERIFY_WITH_TIMEOUT(rig.control("cmdProva")->isEnabled(), kAnswerMs);
        QVERIFY2(rig.status().contains("401"), qPrintable(rig.status()));
        QVERIFY(!rig.control("cmdOK")->isEnabled());
        QCOMPARE(rig.calendars()->count(), 0);

        // Plain http to another machine: asked first; No leaves the reason,
        // Yes searches again.
        const QString elsewhere = "http://192.0.2.1/";
        rig.type("txtServer", elsewhere);
        rig.dialogs.answer(MsgAnswer::No);
        rig.click("cmdProva");
        QTRY_VERIFY_WITH_TIMEOUT(rig.control("cmdProva")->isEnabled(), kAnswerMs);
        QCOMPARE(rig.dialogs.texts(), QStringList{plainHttpQuestion(QUrl(elsewhere))});
        QVERIFY2(rig.status().contains("non cifrata"), qPrintable(rig.status()));
        rig.dialogs.answer(MsgAnswer::Yes);
        rig.click("cmdProva");
        QTRY_COMPARE_WITH_TIMEOUT(rig.dialogs.shown.size(), 2, kAnswerMs);
        QTRY_COMPARE(rig.status(), "Ricerca in corso...");
        QVERIFY(!rig.control("cmdProva")->isEnabled());

        rig.type("txtServer", QStringLiteral("127.0.0.1:%1/").arg(server_.port()));
        rig.click("cmdProva");
        QCOMPARE(rig.control<QLineEdit>("txtServer")->text(),
                 QStringLiteral("https://127.0.0.1:%1/").arg(server_.port()));
        rig.click("cmdAnnulla");
        QCOMPARE(rig.dialog.outcome().choice, ServerDialog::Outcome::Choice::Cancelled);
        QVERIFY(rig.control("cmdProva")->isEnabled());
    }

  private:
    RadicaleServer server_{{{kUser, kPassword}}};
    QUrl agenda_;
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (!RadicaleServer::available()) {
        std::fputs("radicale non installato: test saltato\n", stderr);
        return 77;
    }
    ServerDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "serverdialog_test.moc"

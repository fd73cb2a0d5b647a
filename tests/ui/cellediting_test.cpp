#include <QtTest/QTest>

#include "core/listmodel.h"
#include "ui/cellediting.h"

using namespace cellediting;

class CellEditingTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void editingKeysActOnEntriesOnly() {
        for (ListKind kind : kAllListKinds) {
            QCOMPARE(actionForKey(kind, Qt::Key_Backspace, true), KeyAction::DropLastCharacter);
            QCOMPARE(actionForKey(kind, Qt::Key_Delete, true), KeyAction::ClearCell);
            QCOMPARE(actionForKey(kind, Qt::Key_Backspace, false), KeyAction::None);
            QCOMPARE(actionForKey(kind, Qt::Key_Delete, false), KeyAction::None);
            QCOMPARE(actionForKey(kind, Qt::Key_Down, true), KeyAction::None);
        }
        QCOMPARE(withoutLastCharacter(QStringLiteral("Anna")), QStringLiteral("Ann"));
        QCOMPARE(withoutLastCharacter(QString()), QString());
    }

    void f5SavesFromTheAppointmentsOnly() {
        QCOMPARE(actionForKey(ListKind::Appointments, Qt::Key_F5, false), KeyAction::Save);
        QCOMPARE(actionForKey(ListKind::Deadlines, Qt::Key_F5, true), KeyAction::None);
        QCOMPARE(actionForKey(ListKind::Anniversaries, Qt::Key_F5, true), KeyAction::None);
    }

    // Codes 32 to 125 and 160 to 255 type; the rest, "~" (126) and the
    // control codes included, do not.
    void charactersTypeWithinTheCodeRanges() {
        QCOMPARE(typedCharacter(' '), std::optional<QChar>(QLatin1Char(' ')));
        QCOMPARE(typedCharacter('}'), std::optional<QChar>(QLatin1Char('}')));
        QCOMPARE(typedCharacter(0xE8), std::optional<QChar>(QChar(0xE8)));
        QCOMPARE(typedCharacter(0xFF), std::optional<QChar>(QChar(0xFF)));
        for (int code : {-1, 8, 13, 31, 126, 127, 128, 159, 256})
            QVERIFY2(!typedCharacter(code), qPrintable(QString::number(code)));
    }

    void enterEditsTheMessageColumnOnly() {
        QVERIFY(opensMessageEditor(13, ListModel::ColMessage));
        QVERIFY(!opensMessageEditor(13, ListModel::ColDate));
        QVERIFY(!opensMessageEditor(13, ListModel::ColTime));
        QVERIFY(!opensMessageEditor('a', ListModel::ColMessage));
    }
};

QTEST_APPLESS_MAIN(CellEditingTest)
#include "cellediting_test.moc"

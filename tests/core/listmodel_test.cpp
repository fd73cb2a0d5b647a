// The list model: the working copy that the grids show.
#include <QAbstractItemModelTester>
#include <QtTest/QtTest>

#include "core/listmodel.h"

class ListModelTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void behavesAsAModelThroughEveryChange() {
        ListModel model(ListKind::Appuntamenti);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.columnCount(), 4);
        QCOMPARE(model.rowCount(), 0);
        model.append({"7/3", "b", "10:00", {}});
        model.insertAt(0, {"6/3", "a", "", {}});
        model.insertAt(2, {"8/3", "c", "", {}});
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.text(0, ListModel::ColMessage), QString("a"));
        QCOMPARE(model.text(2, ListModel::ColMessage), QString("c"));
        model.removeAt(1);
        QCOMPARE(model.text(1, ListModel::ColMessage), QString("c"));
        model.removeAt(7);  // out of range: nothing
        QCOMPARE(model.rowCount(), 2);
        model.setText(0, ListModel::ColMessage, "nuovo");
        QCOMPARE(model.data(model.index(0, 1)).toString(), QString("nuovo"));
        model.replaceAll({{"1/1", "x", "", {}}});
        QCOMPARE(model.rowCount(), 1);
        model.removeAt(0);  // the last row goes too: a list may be empty
        QCOMPARE(model.rowCount(), 0);
    }

    void headersFollowTheList() {
        ListModel a(ListKind::Appuntamenti), s(ListKind::Scadenze);
        QStringList ha, hs;
        for (int c = 0; c < 4; ++c) {
            ha << a.headerData(c, Qt::Horizontal).toString();
            hs << s.headerData(c, Qt::Horizontal).toString();
        }
        QCOMPARE(ha, QStringList({"DATA", "MESSAGGIO", "ORA", "ID"}));
        QCOMPARE(hs, QStringList({"DATA", "MESSAGGIO", "", "ID"}));
    }

    void editingCleansText() {
        ListModel model(ListKind::Scadenze);
        model.append({"1/1", "", "", {}});
        QVERIFY(model.setData(model.index(0, 1), "a\"b\tc"));
        QCOMPARE(model.text(0, 1), QString("a'b c"));
    }

    void reorderMovesTextsButNotIdsOrColours() {
        ListModel model(ListKind::Appuntamenti);
        model.append({"2/1", "secondo", "9:00", "id-a"});
        model.append({"1/1", "primo", "", "id-b"});
        model.setCellBackground(0, 0, Qt::red);
        model.reorderTexts({1, 0});
        QCOMPARE(model.entry(0), (AgendaEntry{"1/1", "primo", "", "id-a"}));
        QCOMPARE(model.entry(1), (AgendaEntry{"2/1", "secondo", "9:00", "id-b"}));
        QCOMPARE(model.cellBackground(0, 0), QColor(Qt::red));
        QVERIFY(!model.cellBackground(1, 0).isValid());
    }

    void paintingColoursThreeColumnsAndSignalsOnce() {
        ListModel model(ListKind::Appuntamenti);
        for (int i = 0; i < 3; ++i) model.append({"1/1", "m", "", {}});
        model.setCellBackground(1, 3, Qt::blue);
        QSignalSpy spy(&model, &QAbstractItemModel::dataChanged);
        model.paintRows({QColor(255, 128, 128), QColor(255, 255, 128), QColor()});
        QCOMPARE(spy.size(), 1);
        QCOMPARE(model.cellBackground(0, 2), QColor(255, 128, 128));
        QCOMPARE(model.data(model.index(1, 1), Qt::BackgroundRole).value<QBrush>().color(),
                 QColor(255, 255, 128));
        QVERIFY(!model.cellBackground(2, 0).isValid());
        QCOMPARE(model.cellBackground(1, 3), QColor(Qt::blue));  // column 3 keeps its colour
    }
};

QTEST_GUILESS_MAIN(ListModelTest)
#include "listmodel_test.moc"

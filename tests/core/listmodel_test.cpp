// The list model: the working copy that the grids show.
#include <QAbstractItemModelTester>
#include <QtTest/QtTest>

#include "core/listmodel.h"
#include "core/listrecords.h"

#include <numeric>

class ListModelTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void behavesAsAModelThroughEveryChange() {
        ListModel model(ListKind::Appointments);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
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
        ListModel a(ListKind::Appointments), s(ListKind::Deadlines);
        QStringList ha, hs;
        for (int c = 0; c < 4; ++c) {
            ha << a.headerData(c, Qt::Horizontal).toString();
            hs << s.headerData(c, Qt::Horizontal).toString();
        }
        QCOMPARE(ha, QStringList({"DATA", "MESSAGGIO", "ORA", "ID"}));
        QCOMPARE(hs, QStringList({"DATA", "MESSAGGIO", "", "ID"}));
    }

    void editingCleansText() {
        ListModel model(ListKind::Deadlines);
        model.append({"1/1", "", "", {}});
        QVERIFY(model.setData(model.index(0, 1), "a\"b\tc"));
        QCOMPARE(model.text(0, 1), QString("a'b c"));
    }

    void reorderMovesTextsButNotIdsOrColours() {
        ListModel model(ListKind::Appointments);
        model.append({"2/1", "secondo", "9:00", "id-a"});
        model.append({"1/1", "primo", "", "id-b"});
        model.setCellBackground(0, 0, 0xFFFF0000);
        model.reorderTexts({1, 0});
        QCOMPARE(model.entry(0), (AgendaEntry{"1/1", "primo", "", "id-a"}));
        QCOMPARE(model.entry(1), (AgendaEntry{"2/1", "secondo", "9:00", "id-b"}));
        QCOMPARE(model.cellBackground(0, 0), 0xFFFF0000u);
        QCOMPARE(model.cellBackground(1, 0), 0u);
    }

    // Rows kept as the file's bytes and shared texts, and rows that own their
    // texts, read, change and save as a plain list of entries would.
    void rowsAgreeWithAPlainListThroughRandomChanges() {
        const QStringList dates = {"7/3", "07/03", "31/4", "29/2", "0/0", "abc", "", "12/12"};
        const QStringList times = {"", "9:05", "09:05", "0:00", "24:00", "9.30", "x", "23:59"};
        const QStringList messages = {"",
                                      "Dentista",
                                      "a,b",
                                      "cena (ny)",
                                      "dice \"ciao\"",
                                      "tab\there",
                                      QString::fromUtf16(u"€ è “x” \u0081"),
                                      QString::fromUtf16(u"日本")};
        QRandomGenerator random(766);
        auto pick = [&](const QStringList& from) { return from[random.bounded(from.size())]; };
        auto randomEntry = [&] {
            return AgendaEntry{pick(dates), pick(messages), pick(times),
                               random.bounded(8) ? QString() : QStringLiteral("id")};
        };
        for (ListKind kind : kAllListKinds) {
            for (int round = 0; round < 30; ++round) {
                QList<AgendaEntry> plain;
                for (int i = random.bounded(12); i > 0; --i) plain.append(randomEntry());
                ListModel model(kind);
                // Half the lists come from a file, the rest from entries.
                if (round % 2) {
                    const QByteArray file = serializeList(plain, kind);
                    plain.clear();
                    for (const ListRecord& r : parseListRecords(file, kind))
                        plain.append(entryFromRecord(r, kind));
                    model.appendFileContent(file);
                } else {
                    model.replaceAll(plain);
                }
                // Colours stay with the row positions.
                std::vector<quint32> colours;
                for (qsizetype i = 0; i < plain.size(); ++i) colours.push_back(0xFF010200u + i);
                if (round % 3)
                    model.paintRows(colours);
                else
                    colours.assign(colours.size(), 0);
                for (int step = 0; step < 8; ++step) {
                    const int row = plain.isEmpty() ? 0 : random.bounded(int(plain.size()));
                    switch (random.bounded(4)) {
                        case 0: {
                            const AgendaEntry e = randomEntry();
                            model.insertAt(row, e);
                            plain.insert(row, e);
                            colours.insert(colours.begin() + row, 0);
                            break;
                        }
                        case 1:
                            if (plain.isEmpty()) break;
                            model.removeAt(row);
                            plain.removeAt(row);
                            colours.erase(colours.begin() + row);
                            break;
                        case 2: {
                            if (plain.isEmpty()) break;
                            const int column = random.bounded(3);
                            const QString text = pick(column == 0   ? dates
                                                      : column == 1 ? messages
                                                                    : times);
                            model.setText(row, column, text);
                            (column == 0   ? plain[row].date
                             : column == 1 ? plain[row].message
                                           : plain[row].time) = text;
                            break;
                        }
                        default: {
                            std::vector<int> order(size_t(plain.size()));
                            std::iota(order.begin(), order.end(), 0);
                            std::shuffle(order.begin(), order.end(), random);
                            model.reorderTexts(order);
                            QList<AgendaEntry> moved = plain;
                            for (size_t i = 0; i < order.size(); ++i) {
                                const AgendaEntry& from = plain[order[i]];
                                moved[qsizetype(i)] = {from.date, from.message, from.time,
                                                       plain[qsizetype(i)].id};
                            }
                            plain = moved;
                        }
                    }
                    QCOMPARE(model.entries(), plain);
                }
                QCOMPARE(model.fileContent(), serializeList(plain, kind));
                for (int r = 0; r < plain.size(); ++r)
                    QCOMPARE(model.cellBackground(r, 2), colours[size_t(r)]);
                for (int r = 0; r < plain.size(); ++r)
                    QCOMPARE(model.data(model.index(r, 1)).toString(), plain[r].message);
            }
        }
    }

    void paintingColoursThreeColumnsAndSignalsOnce() {
        ListModel model(ListKind::Appointments);
        for (int i = 0; i < 3; ++i) model.append({"1/1", "m", "", {}});
        model.setCellBackground(1, 3, 0xFF0000FF);
        QSignalSpy spy(&model, &QAbstractItemModel::dataChanged);
        model.paintRows({0xFFFF8080, 0xFFFFFF80, 0});
        QCOMPARE(spy.size(), 1);
        QCOMPARE(model.cellBackground(0, 2), 0xFFFF8080u);
        QCOMPARE(model.data(model.index(1, 1), ListModel::CellColourRole).value<quint32>(),
                 0xFFFFFF80u);
        QVERIFY(!model.data(model.index(2, 0), ListModel::CellColourRole).isValid());
        QCOMPARE(model.cellBackground(1, 3), 0xFF0000FFu);  // column 3 keeps its colour
    }
};

QTEST_GUILESS_MAIN(ListModelTest)
#include "listmodel_test.moc"

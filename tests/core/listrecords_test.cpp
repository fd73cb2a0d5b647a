// The list records: byte-exact records, round trips and damaged content.
#include <QtTest/QtTest>

#include "core/dates.h"
#include "core/listrecords.h"
#include "core/win1252.h"
#include "support/records.h"

namespace {

QList<AgendaEntry> entries(std::initializer_list<AgendaEntry> list) {
    return QList<AgendaEntry>(list);
}

// The plain writer the fast one must match byte for byte: a character at a
// time through the date reader and the code-page table.
QByteArray plainSerialize(const QList<AgendaEntry>& list, ListKind kind) {
    auto quoted = [](const QString& text) -> QByteArray {
        QByteArray out = "\"";
        for (QChar ch : text) {
            if (ch == u'"')
                out += '\'';
            else if (ch == u'\t' || ch == u'\r' || ch == u'\n')
                out += ' ';
            else
                out += win1252::isEncodable(ch) ? static_cast<char>(win1252::toByte(ch)) : '?';
        }
        return out + '"';
    };
    QByteArray out;
    for (const AgendaEntry& e : list) {
        const auto dm = dateTextOfAnyYear(e.date);
        out += QByteArray::number(dm ? dm->day : 0) + ',' + QByteArray::number(dm ? dm->month : 0) +
               ',' + quoted(e.message);
        if (listTraits(kind).hasTime) out += ',' + quoted(e.time);
        out += "\r\n";
    }
    return out;
}

}  // namespace

class ListRecordsTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void goldenRecords() {
        QCOMPARE(serializeList(entries({{"7/3", "Dentista", "10:30", {}}}), ListKind::Appointments),
                 listFile({{7, 3, "Dentista", "10:30"}}));
        QCOMPARE(serializeList(entries({{"25/12", "Scade bollo", {}, {}}}), ListKind::Deadlines),
                 listFile({{25, 12, "Scade bollo"}}));
        // The other lists carry no time, whatever the cell holds.
        QCOMPARE(serializeList(entries({{"1/1", "x", "9:00", {}}}), ListKind::Anniversaries),
                 listFile({{1, 1, "x"}}));
        QCOMPARE(serializeList({}, ListKind::Appointments), QByteArray());
    }

    void dateTextsAreWrittenAsNumbers() {
        const auto out = serializeList(entries({{"07/03", "a", "", {}},
                                                {"31/4", "b", "", {}},
                                                {"abc", "c", "", {}},
                                                {"7/3/2025", "d", "", {}},
                                                {"", "e", "", {}},
                                                {"29/2", "f", "", {}}}),
                                       ListKind::Appointments);
        QCOMPARE(out, listFile({{7, 3, "a", ""},
                                {0, 0, "b", ""},
                                {0, 0, "c", ""},
                                {0, 0, "d", ""},
                                {0, 0, "e", ""},
                                {29, 2, "f", ""}}));
    }

    void roundTrip_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("time");
        QTest::newRow("commas") << 0 << "Pranzo, cena, dopocena"
                                << "13:00";
        QTest::newRow("empty time") << 0 << "Senza ora"
                                    << "";
        QTest::newRow("empty message") << 1 << ""
                                       << "";
        QTest::newRow("accents") << 2 << QString::fromUtf16(u"E' il Compleanno di Niccolò è à")
                                 << "";
        QTest::newRow("code page high")
            << 0 << QString::fromUtf16(u"€ “citazione” – … œ Ÿ") << "9.30";
        QTest::newRow("spaces around") << 1 << "  spazi  "
                                       << "";
        QTest::newRow("path-like") << 0 << "C:\\Documenti, vari\\file.txt"
                                   << "8:00";
    }
    void roundTrip() {
        QFETCH(int, kind);
        QFETCH(QString, message);
        QFETCH(QString, time);
        const auto k = static_cast<ListKind>(kind);
        const AgendaEntry e{"15/8", message, listTraits(k).hasTime ? time : QString(), {}};
        const QByteArray bytes = serializeList(entries({e, e}), k);
        const auto records = parseListRecords(bytes, k);
        QCOMPARE(records.size(), 2);
        QCOMPARE(entryFromRecord(records[1], k), e);
        // Reading and writing again gives the same bytes.
        QList<AgendaEntry> back;
        for (const auto& r : records) back.append(entryFromRecord(r, k));
        QCOMPARE(serializeList(back, k), bytes);
    }

    // Random texts, dates and times of every shape, written by the fast
    // writer and by the plain one.
    void writerMatchesThePlainWriterOnRandomLists() {
        const QStringList dates = {"7/3", "07/03",    "31/4", "29/2",  "0/0",   "abc",
                                   "",    "7/3/2025", " 1/2", "12/12", "100/1", "+1/1"};
        const QString chars = QString::fromUtf16(u"aZ 0,\"'\t\r\néà€“…Ÿ\u0081日") + QChar(0xD83D) +
                              QChar(0xDE00) + QChar(0);
        QRandomGenerator random(1252);
        for (int round = 0; round < 50; ++round) {
            QList<AgendaEntry> list;
            for (int i = random.bounded(20); i > 0; --i) {
                QString message, time;
                for (int n = random.bounded(12); n > 0; --n)
                    message += chars[random.bounded(chars.size())];
                for (int n = random.bounded(6); n > 0; --n)
                    time += chars[random.bounded(chars.size())];
                list.append({dates[random.bounded(dates.size())],
                             message,
                             random.bounded(2) ? QStringLiteral("9:05") : time,
                             {}});
            }
            for (ListKind kind : kAllListKinds)
                QCOMPARE(serializeList(list, kind), plainSerialize(list, kind));
        }
    }

    void textsThatWouldBreakAFileAreCleaned() {
        const auto out = serializeList(entries({{"1/2", "dice \"ciao\"\tpoi\r\nfine", "9:00", {}}}),
                                       ListKind::Appointments);
        QCOMPARE(out, listFile({{1, 2, "dice 'ciao' poi  fine", "9:00"}}));
        QCOMPARE(parseListRecords(out, ListKind::Appointments).size(), 1);
        QCOMPARE(serializeList(entries({{"1/2", QString::fromUtf16(u"日本"), "", {}}}),
                               ListKind::Deadlines),
                 listFile({{1, 2, "??"}}));
    }

    void otherWritersLeadingZerosAndSpaces() {
        const auto r =
            parseListRecords(" 07 , 03 ,  \"Dentista\" ,\"10:30\"\r\n", ListKind::Appointments);
        QCOMPARE(r.size(), 1);
        QCOMPARE(recordDateText(r[0]), QString("7/3"));
        QCOMPARE(r[0].message, QString("Dentista"));
        QCOMPARE(r[0].time, QString("10:30"));
    }

    void damagedContentKeepsEveryRecord_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("records");
        QTest::newRow("no last line end")
            << QByteArray("1,2,\"a\",\"\"\r\n3,4,\"b\",\"9:00\"") << 2;
        QTest::newRow("lone CR and LF")
            << QByteArray("1,2,\"a\",\"\"\r3,4,\"b\",\"\"\n5,6,\"c\",\"\"") << 3;
        QTest::newRow("missing items") << QByteArray("1,2\r\n3\r\n4,5,\"x\"\r\n") << 3;
        QTest::newRow("unclosed quote") << QByteArray("1,2,\"aperto\r\n3,4,\"b\",\"\"\r\n") << 2;
        QTest::newRow("blank lines") << QByteArray("\r\n\r\n1,2,\"a\",\"\"\r\n\r\n") << 1;
        QTest::newRow("NUL bytes") << QByteArray("1,2,\"a\0b\",\"\"\r\n\0\0\r\n", 18) << 2;
        QTest::newRow("huge numbers") << QByteArray("99999,-70000,\"a\",\"\"\r\n") << 1;
        QTest::newRow("binary") << QByteArray("\xff\xfe\x01\x02,\x80\x81\r\n\x9d,\"") << 2;
        QTest::newRow("only a quote") << QByteArray("\"") << 1;
        QTest::newRow("extra items") << QByteArray("1,2,\"a\",\"9:00\",\"b\",c\r\n") << 1;
    }
    void damagedContentKeepsEveryRecord() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, records);
        const auto r = parseListRecords(bytes, ListKind::Appointments);
        QCOMPARE(r.size(), records);
        // What was read writes back to a file that reads the same.
        QList<AgendaEntry> list;
        for (const auto& rec : r) list.append(entryFromRecord(rec, ListKind::Appointments));
        const QByteArray again = serializeList(list, ListKind::Appointments);
        QCOMPARE(parseListRecords(again, ListKind::Appointments).size(), records);
    }

    void damagedDetails() {
        auto r = parseListRecords("99999,-70000,\"a\",\"\"\r\n", ListKind::Appointments);
        QCOMPARE(r[0].day, qint16(0));
        QCOMPARE(r[0].month, qint16(0));
        r = parseListRecords("1,2,\"a\",\"9:00\",\"b\",c\r\n", ListKind::Appointments);
        QCOMPARE(r[0].message, QString("a,b,c"));  // nothing read is dropped
        QCOMPARE(r[0].time, QString("9:00"));
        r = parseListRecords("1,2,\"aperto\r\n3,4,\"b\",\"\"\r\n", ListKind::Appointments);
        QCOMPARE(r[0].message, QString("aperto"));
        QCOMPARE(r[1].message, QString("b"));
    }

    void tenMegabyteLine() {
        QByteArray big =
            "1,2,\"" + QByteArray(10 * 1024 * 1024, 'x') + "\",\"\"\r\n4,5,\"y\",\"\"\r\n";
        const auto r = parseListRecords(big, ListKind::Appointments);
        QCOMPARE(r.size(), 2);
        QCOMPARE(r[0].message.size(), 10 * 1024 * 1024);
    }
};

QTEST_GUILESS_MAIN(ListRecordsTest)
#include "listrecords_test.moc"

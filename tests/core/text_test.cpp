// The shared text helpers: the Windows-1252 codec, the numeric reader and
// the date and time texts.
#include <QtTest/QtTest>

#include <cmath>

#include "core/agendaentry.h"
#include "core/dates.h"
#include "core/numeric.h"
#include "core/settings.h"
#include "core/win1252.h"

class TextTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void everyByteSurvivesDecodeAndEncode() {
        QByteArray all;
        for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
        const QString text = win1252::decode(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(win1252::encode(text), all);
    }

    void codePageCharacters() {
        QCOMPARE(win1252::decode(QByteArray("\x80\x92\x9c\xe8", 4)), QString::fromUtf16(u"€’œè"));
        QCOMPARE(win1252::encode(QString::fromUtf16(u"€ è à ù")),
                 QByteArray("\x80 \xe8 \xe0 \xf9"));
        // Characters outside the code page cannot be stored: they become '?'.
        QCOMPARE(win1252::encode(QString::fromUtf16(u"a\u4e2db\u0100")), QByteArray("a?b?"));
    }

    // Text entering a list or the settings becomes what the files keep, one
    // "?" per character the code page lacks, a pair of surrogates included.
    void enteringTextBecomesWhatTheFileKeeps() {
        QCOMPARE(cleanCellText(
                     QString::fromUtf16(u"\"a\"\tb\r\nc \u2192 \u0151\U0001F600 \u20ac\u00e8")),
                 QString::fromUtf16(u"'a' b  c ? ?? \u20ac\u00e8"));
        QVERIFY(settingsCanHold(QString::fromUtf16(u"C:\\Suoni, miei\\gong \u00e8.wav")));
        for (const char16_t* path : {u"/home/anna/Gy\u0151r.wav", u"/tmp/a\"b.wav", u"/tmp/a\nb"})
            QVERIFY(!settingsCanHold(QString::fromUtf16(path)));
    }

    void numericValue_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << "12" << 12.0;
        QTest::newRow("leading spaces") << "   42" << 42.0;
        QTest::newRow("words after") << "12 giorni" << 12.0;
        QTest::newRow("letters only") << "abc" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("leading zeros") << "0012" << 12.0;
        QTest::newRow("negative") << "-2" << -2.0;
        QTest::newRow("plus") << "+7" << 7.0;
        QTest::newRow("decimal") << "2.5" << 2.5;
        QTest::newRow("comma stops") << "2,5" << 2.0;
        QTest::newRow("exponent") << "1.5E2" << 150.0;
        QTest::newRow("exponent sign") << "25e-1" << 2.5;
        QTest::newRow("bare exponent letter") << "3e" << 3.0;
        QTest::newRow("hex") << "&H10" << 16.0;
        QTest::newRow("hex lower") << "&hff" << 255.0;
        QTest::newRow("hex 16-bit pattern") << "&HFFFF" << -1.0;
        QTest::newRow("octal") << "&O17" << 15.0;
        QTest::newRow("blanks inside") << "1 2" << 12.0;
        QTest::newRow("year then letters") << "2026abc" << 2026.0;
        QTest::newRow("sign alone") << "-" << 0.0;
    }
    void numericValue() {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(numericValueOf(text), value);
    }

    void hugeNumbersDoNotFitSixteenBits() {
        QVERIFY(!toInt16(numericValueOf(u"40000")).has_value());
        QVERIFY(!toInt16(numericValueOf(u"1e400")).has_value());
        QVERIFY(!toInt16(numericValueOf(QString(500, u'9'))).has_value());
        QCOMPARE(*toInt16(32767), qint16(32767));
        QCOMPARE(*toInt16(-32768), qint16(-32768));
        QVERIFY(!toInt16(32767.5).has_value());  // rounds to 32768
    }

    void roundHalfToEven() {
        QCOMPARE(roundHalfEven(2.5), 2.0);
        QCOMPARE(roundHalfEven(3.5), 4.0);
        QCOMPARE(roundHalfEven(-2.5), -2.0);
        QCOMPARE(roundHalfEven(-3.5), -4.0);
        QCOMPARE(roundHalfEven(2.4999), 2.0);
        QCOMPARE(roundHalfEven(2.5001), 3.0);
        QCOMPARE(formatNumber(12.0), QString("12"));
        QCOMPARE(formatNumber(-2.0), QString("-2"));
        QCOMPARE(formatNumber(2.5), QString("2.5"));
    }

    void entryDates() {
        QCOMPARE(entryDate("7/3", 2026), QDate(2026, 3, 7));
        QCOMPARE(entryDate("07/03", 2026), QDate(2026, 3, 7));
        QCOMPARE(entryDate("31/12", 2026), QDate(2026, 12, 31));
        QVERIFY(!entryDate("31/4", 2026));
        QVERIFY(!entryDate("7/3/2025", 2026));
        QVERIFY(!entryDate("abc", 2026));
        QVERIFY(!entryDate("", 2026));
        QVERIFY(!entryDate("0/0", 2026));
        QVERIFY(!entryDate("7/", 2026));
        QVERIFY(!entryDate("-7/3", 2026));
        QVERIFY(!entryDate("29/2", 2026));
        QCOMPARE(entryDate("29/2", 2028), QDate(2028, 2, 29));
        // Saving keeps a leap day in any year; only no-day texts lose their date.
        QVERIFY(dateTextOfAnyYear("29/2").has_value());
        QVERIFY(!dateTextOfAnyYear("31/4").has_value());
        QCOMPARE(formatDateText(QDate(2026, 3, 7)), QString("7/3"));
    }

    void timeTexts() {
        QCOMPARE(parseTimeText("9:30"), QTime(9, 30));
        QCOMPARE(parseTimeText("09:30"), QTime(9, 30));
        QCOMPARE(parseTimeText("14.30"), QTime(14, 30));
        QCOMPARE(parseTimeText(" 0:00 "), QTime(0, 0));
        QCOMPARE(parseTimeText("23:59"), QTime(23, 59));
        for (const char* bad :
             {"24:00", "9:60", "9:5", "930", "9:30:00", "a9:30", "", "::", "123:00", "9:3x"})
            QVERIFY2(!parseTimeText(QString::fromLatin1(bad)), bad);
    }
};

QTEST_GUILESS_MAIN(TextTest)
#include "text_test.moc"

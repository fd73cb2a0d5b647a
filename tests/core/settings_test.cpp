// The settings file: exact bytes, reading by position, damaged files.
#include <QtTest/QtTest>

#include "core/settings.h"
#include "support/records.h"

namespace {

Settings sample() {
    Settings s;
    s.sortAscending = true;
    s.deadlineSound = "C:\\Suoni\\scadenza.wav";
    s.appointmentSound = "/home/anna/Suoni, vari/appuntamento.wav";
    s.anniversarySound = "";
    s.alarmSound = QString::fromUtf16(u"/home/anna/città/sveglia.wav");
    s.newMessageBox = false;
    s.picturesFolder = "C:\\Programmi\\Ricordel\\Img";
    s.daysOfNotice = 5;
    s.alarmWarningMinutes = 15;
    return s;
}

}  // namespace

class SettingsTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void goldenFile() {
        const SettingsFile golden{
            true,
            {"C:\\Suoni\\scadenza.wav", "/home/anna/Suoni, vari/appuntamento.wav", "",
             "/home/anna/citt\xe0/sveglia.wav"},
            false,
            "C:\\Programmi\\Ricordel\\Img",
            5,
            15};
        QCOMPARE(serializeSettings(sample()), golden.bytes());
        Settings neg;
        neg.daysOfNotice = -3;
        QVERIFY(serializeSettings(neg).endsWith(
            "-3,\"giorni preavviso\"\r\n0,\"minuti preavviso\"\r\n"));
    }

    void ninthRecordIsTheWarningMinutes() {
        // Eight records read as no warning; the first eight are written as
        // they were read, the ninth after them.
        QByteArray eight = serializeSettings(sample());
        eight.chop(QByteArray("15,\"minuti preavviso\"\r\n").size());
        Settings s;
        s.alarmWarningMinutes = 30;
        parseSettings(eight, s);
        QCOMPARE(s.alarmWarningMinutes, 0);
        QCOMPARE(serializeSettings(s), eight + "0,\"minuti preavviso\"\r\n");
        for (const char* bad : {"1441", "-5", "7.5", "\"15\"", "15x", "abc", ""}) {
            Settings t = sample();
            parseSettings(eight + bad + ",\"minuti preavviso\"\r\n", t);
            QVERIFY2(t.alarmWarningMinutes == 0, bad);
        }
        Settings u;
        parseSettings(eight + "1440,\"minuti preavviso\"\r\n", u);
        QCOMPARE(u.alarmWarningMinutes, 1440);
    }

    void roundTrip() {
        Settings back;
        parseSettings(serializeSettings(sample()), back);
        QCOMPARE(back, sample());
    }

    void keysInAnotherOrderFillByPosition() {
        const QByteArray bytes =
            "#FALSE#,\"NewMsg\"\r\n\"a\",\"Suono4\"\r\n\"b\",\"Suono3\"\r\n"
            "\"c\",\"Suono2\"\r\n\"d\",\"Suono1\"\r\n#TRUE#,\"Ord\"\r\n"
            "\"e\",\"giorni preavviso\"\r\n7,\"percorso immagini\"\r\n";
        Settings s;
        parseSettings(bytes, s);
        QCOMPARE(s.sortAscending, false);
        QCOMPARE(s.deadlineSound, QString("a"));
        QCOMPARE(s.alarmSound, QString("d"));
        QCOMPARE(s.newMessageBox, true);
        QCOMPARE(s.picturesFolder, QString("e"));
        QCOMPARE(s.daysOfNotice, qint16(7));
    }

    void shortOrDamagedFilesKeepTheInitialValues() {
        Settings s;
        parseSettings("#TRUE#,\"Ord\"\r\n\"x.wav\",\"Suono1\"\r\n", s);
        QCOMPARE(s.sortAscending, true);
        QCOMPARE(s.deadlineSound, QString("x.wav"));
        QCOMPARE(s.appointmentSound, QString());
        QCOMPARE(s.daysOfNotice, qint16(0));

        Settings t;
        parseSettings(
            "maybe,\"Ord\"\r\n\"\",\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n12,\"NewMsg\"\r\n\"\"\r\n"
            "99999,\"giorni preavviso\"\r\n",
            t);
        QCOMPARE(t, Settings());  // wrong kinds and a number out of range change nothing

        Settings u;
        parseSettings(QByteArray("\0\xff\r\n\"", 5), u);
        QCOMPARE(u.sortAscending, false);
        Settings v;
        parseSettings("", v);
        QCOMPARE(v, Settings());
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "settings_test.moc"

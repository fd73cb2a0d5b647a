// The iCalendar export, read back with libical.
#include <QSet>
#include <QtTest/QTest>

#include <libical/ical.h>

#include "core/version.h"
#include "operations/calendarexport.h"
#include "support/fakeclock.h"
#include "support/records.h"

namespace {

QString textOf(const char* s) {
    return QString::fromUtf8(s);
}

// Each event as one line: category, summary, start, then what it carries
// beside them ("tz=", "end=" of a timed event, "alarm=", RRULE, "note=").
struct ReadBack {
    QString zone;  // TZID of the VTIMEZONE
    QStringList events, uids, summaries, alarmTexts;

    explicit ReadBack(const QByteArray& ics) {
        icalcomponent* root = icalparser_parse_string(ics.constData());
        if (!root) return;
        if (icalcomponent* tz = icalcomponent_get_first_component(root, ICAL_VTIMEZONE_COMPONENT))
            zone = textOf(icalcomponent_get_first_property(tz, ICAL_TZID_PROPERTY)
                              ? icalproperty_get_tzid(
                                    icalcomponent_get_first_property(tz, ICAL_TZID_PROPERTY))
                              : "");
        for (icalcomponent* ev = icalcomponent_get_first_component(root, ICAL_VEVENT_COMPONENT); ev;
             ev = icalcomponent_get_next_component(root, ICAL_VEVENT_COMPONENT)) {
            icalproperty* start = icalcomponent_get_first_property(ev, ICAL_DTSTART_PROPERTY);
            QString line = textOf(icalproperty_get_categories(
                               icalcomponent_get_first_property(ev, ICAL_CATEGORIES_PROPERTY))) +
                           '|' + textOf(icalcomponent_get_summary(ev)) + '|' +
                           textOf(icaltime_as_ical_string(icalproperty_get_dtstart(start)));
            if (icalparameter* tzid = icalproperty_get_first_parameter(start, ICAL_TZID_PARAMETER))
                line += " tz=" + textOf(icalparameter_get_tzid(tzid));
            if (icalcomponent_get_first_property(ev, ICAL_DURATION_PROPERTY)) line += " DURATION";
            const icaltimetype end = icalcomponent_get_dtend(ev);
            if (!icaltime_is_date(end)) line += " end=" + textOf(icaltime_as_ical_string(end));
            if (icalcomponent* a = icalcomponent_get_first_component(ev, ICAL_VALARM_COMPONENT)) {
                const bool display = icalproperty_get_action(icalcomponent_get_first_property(
                                         a, ICAL_ACTION_PROPERTY)) == ICAL_ACTION_DISPLAY;
                const int at = icaldurationtype_as_int(
                    icalproperty_get_trigger(
                        icalcomponent_get_first_property(a, ICAL_TRIGGER_PROPERTY))
                        .duration);
                line += QStringLiteral(" alarm=%1@%2")
                            .arg(display ? QStringLiteral("DISPLAY") : QStringLiteral("other"))
                            .arg(at);
                alarmTexts << textOf(icalcomponent_get_description(a));
            }
            if (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_RRULE_PROPERTY)) {
                icalrecurrencetype r = icalproperty_get_rrule(p);
                line += ' ' + textOf(icalrecurrencetype_as_string(&r));
            }
            if (const char* note = icalcomponent_get_description(ev))
                line += " note=" + textOf(note);
            events << line;
            uids << textOf(icalcomponent_get_uid(ev));
            summaries << textOf(icalcomponent_get_summary(ev));
        }
        icalcomponent_free(root);
    }
};

CalendarLists listsOf(const QByteArray& appointments, const QByteArray& deadlines,
                      const QByteArray& anniversaries) {
    return {parseListRecords(appointments, ListKind::Appointments),
            parseListRecords(deadlines, ListKind::Deadlines),
            parseListRecords(anniversaries, ListKind::Anniversaries)};
}

const FakeClock kMarch2026(QDateTime(QDate(2026, 3, 7), QTime(10, 0)));

}  // namespace

class CalendarExportTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void whatEachListBecomes() {
        const CalendarExport out = buildCalendarExport(
            listsOf(
                "7,3,\"Dentista\",\"10:30\"\r\n25,10,\"Notte\",\"2:30\"\r\n"
                "29,3,\"Salto\",\"2:30\"\r\n8,3,\"Spesa\",\"\"\r\n"
                "9,3,\"Pranzo\",\"dopo pranzo\"\r\n1,1,\"Capodanno (ny)\",\"9.05\"\r\n"
                "2,1,\"Passato\",\"08:00\"\r\n0,0,\"Data persa\",\"10:00\"\r\nabc,\"Rotto\"\r\n",
                listFile({{25, 12, "Scade bollo"}, {29, 2, "Scade bisestile"}}),
                listFile({{14, 7, "Anna"}, {29, 2, "Leo"}, {31, 4, "Mai"}})),
            kMarch2026, QStringLiteral("Europe/Rome"));
        QCOMPARE(out.written, 10);
        QCOMPARE(out.skipped, 4);  // 0/0, the unreadable record, 29/2 in 2026, 31/4
        QVERIFY(
            out.ics.contains("\r\nPRODID:-//Tobrani//Ricordel " RICORDEL_VERSION_TEXT "//IT\r\n"));
        QVERIFY(out.ics.contains("\r\nRRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=29\r\n"));
        const ReadBack cal(out.ics);
        QCOMPARE(cal.zone, QStringLiteral("Europe/Rome"));
        QCOMPARE(cal.events,
                 QStringList({
                     "Appuntamenti|Dentista|20260307T103000 tz=Europe/Rome end=20260307T110000 "
                     "alarm=DISPLAY@0",
                     // The nights the clock goes back and forward: the end
                     // reads after the start either way.
                     "Appuntamenti|Notte|20261025T023000 tz=Europe/Rome end=20261025T030000 "
                     "alarm=DISPLAY@0",
                     "Appuntamenti|Salto|20260329T023000 tz=Europe/Rome end=20260329T040000 "
                     "alarm=DISPLAY@0",
                     "Appuntamenti|Spesa|20260308",
                     "Appuntamenti|Pranzo|20260309 note=Ora: dopo pranzo",
                     "Appuntamenti|Capodanno (ny)|20270101T090500 tz=Europe/Rome "
                     "end=20270101T093500 alarm=DISPLAY@0",
                     "Appuntamenti|Passato|20260102T080000 tz=Europe/Rome end=20260102T083000 "
                     "alarm=DISPLAY@0",
                     "Scadenze|Scade bollo|20261225",
                     "Ricorrenze|Anna|20260714 FREQ=YEARLY",
                     // From the latest leap year, on leap years only.
                     "Ricorrenze|Leo|20240229 FREQ=YEARLY;BYMONTHDAY=29;BYMONTH=2",
                 }));
    }

    void leapYearAndFloatingTime() {
        // In 2028 29/2 is a day of every list, but a past "(ny)" one has none
        // next year. No zone: floating time and no VTIMEZONE.
        const CalendarExport out = buildCalendarExport(
            listsOf(listFile({{29, 2, "Bisestile (ny)", ""}, {7, 3, "Dentista", "10:30"}}),
                    listFile({{29, 2, "Scade"}}), listFile({{29, 2, "Leo"}})),
            FakeClock(QDateTime(QDate(2028, 3, 7), QTime(10, 0))), QString());
        QCOMPARE(out.skipped, 1);
        const ReadBack cal(out.ics);
        QVERIFY(cal.zone.isEmpty());
        QCOMPARE(cal.events,
                 QStringList({"Appuntamenti|Dentista|20280307T103000 end=20280307T110000 "
                              "alarm=DISPLAY@0",
                              "Scadenze|Scade|20280229",
                              "Ricorrenze|Leo|20280229 FREQ=YEARLY;BYMONTHDAY=29;BYMONTH=2"}));
    }

    void utcZonesAndDamagedMessages() {
        // A zone of UTC writes UTC times. An empty message gets a title, and
        // control bytes from a damaged file go while the rest stays.
        const QByteArray appointments = QByteArray("7,3,\"\",\"10:30\"\r\n8,3,\"Vi") + '\0' +
                                        "sita\x01\x1B\x7F\x8D ok\ts\xEC\",\"23:45\"\r\n";
        for (const char* zone : {"UTC", "Etc/UTC", "GMT"}) {
            const CalendarExport out = buildCalendarExport(listsOf(appointments, {}, {}),
                                                           kMarch2026, QString::fromLatin1(zone));
            const ReadBack cal(out.ics);
            QVERIFY(cal.zone.isEmpty());
            QCOMPARE(cal.events, QStringList({"Appuntamenti|(senza testo)|20260307T103000Z "
                                              "end=20260307T110000Z alarm=DISPLAY@0",
                                              "Appuntamenti|Visita ok sì|20260308T234500Z "
                                              "end=20260309T001500Z alarm=DISPLAY@0"}));
            QCOMPARE(cal.alarmTexts, QStringList({"(senza testo)", "Visita ok sì"}));
        }
    }

    void windows1252TextAndFolding() {
        // è is byte 0xE8 and € 0x80 in the list file. A tail after the last
        // space of every length around the 73 bytes where libical folds into
        // the line end, in ASCII and in two-byte characters, in the title and
        // in the alarm's text.
        QByteArray file = "1,4,\"Caff\xE8 \x80 5, s\xEC\",\"\"\r\n";
        QStringList expected = {QStringLiteral("Caffè € 5, sì")};
        for (int n = 60; n <= 160; ++n) {
            file += "2,4,\"Visita " + QByteArray(n, 'a') + "\",\"9:30\"\r\n";
            file += "3,4,\"Visita " + QByteArray(n, '\xE8') + "\",\"9:30\"\r\n";
            expected << "Visita " + QString(n, u'a') << "Visita " + QString(n, u'è');
        }
        const CalendarExport out =
            buildCalendarExport(listsOf(file, {}, {}), kMarch2026, QString());
        const ReadBack cal(out.ics);
        QCOMPARE(cal.summaries, expected);
        QCOMPARE(cal.alarmTexts, expected.mid(1));
        // Every line ends with CR LF, holds at most 75 octets and is whole
        // UTF-8: the folding splits no character.
        const QList<QByteArray> lines = out.ics.split('\n');
        QVERIFY(lines.last().isEmpty());
        for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
            QVERIFY2(lines[i].endsWith('\r') && lines[i].count('\r') == 1 &&
                         lines[i].size() - 1 <= 75 && QUtf8StringView(lines[i]).isValidUtf8(),
                     lines[i].constData());
        }
    }

    void uidsAreStableAndUnique() {
        const QByteArray twins = listFile({{5, 5, "Riunione", "9:00"}, {5, 5, "Riunione", "9:00"}});
        const QByteArray others = listFile({{6, 5, "Altro", ""}});
        const ReadBack first(
            buildCalendarExport(listsOf(twins + others, listFile({{5, 5, "Riunione"}}),
                                        listFile({{5, 5, "Riunione"}})),
                                kMarch2026, {})
                .ics);
        // Later, in another zone, with an entry added in front.
        const ReadBack again(
            buildCalendarExport(
                listsOf(listFile({{1, 5, "Nuovo", ""}}) + twins + others,
                        listFile({{5, 5, "Riunione"}}), listFile({{5, 5, "Riunione"}})),
                FakeClock(QDateTime(QDate(2026, 6, 1), QTime(18, 45))),
                QStringLiteral("Europe/Rome"))
                .ics);
        const QSet<QString> firstUids(first.uids.begin(), first.uids.end());
        QCOMPARE(firstUids.size(), 5);  // identical entries and lists told apart
        QCOMPARE(again.uids.mid(1), first.uids);
        QVERIFY(!firstUids.contains(again.uids.first()));
    }
};

QTEST_GUILESS_MAIN(CalendarExportTest)
#include "calendarexport_test.moc"

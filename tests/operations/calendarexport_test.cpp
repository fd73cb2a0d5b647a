// The iCalendar export, read back with libical.
#include <QHash>
#include <QSet>
#include <QtTest/QTest>

#include <libical/ical.h>

#include "operations/calendarexport.h"
#include "support/fakeclock.h"

namespace {

struct Event {
    QString uid, summary, categories, description;
    QString start;  // "20260307T103000" or "20260307"
    bool allDay = false;
    QString tzid, duration, end, rrule;
    QString alarmAction;
    int alarmTriggerSecs = -1;
};

struct Calendar {
    QString prodid, zone;  // zone: TZID of the VTIMEZONE, if any
    QList<Event> events;
    QHash<QString, Event> bySummary;
};

QString Text(const char* s) {
    return s ? QString::fromUtf8(s) : QString();
}

Calendar ReadBack(const QByteArray& ics) {
    Calendar out;
    icalcomponent* root = icalparser_parse_string(ics.constData());
    if (!root) return out;
    out.prodid =
        Text(icalproperty_get_prodid(icalcomponent_get_first_property(root, ICAL_PRODID_PROPERTY)));
    if (icalcomponent* tz = icalcomponent_get_first_component(root, ICAL_VTIMEZONE_COMPONENT))
        out.zone =
            Text(icalproperty_get_tzid(icalcomponent_get_first_property(tz, ICAL_TZID_PROPERTY)));
    for (icalcomponent* ev = icalcomponent_get_first_component(root, ICAL_VEVENT_COMPONENT); ev;
         ev = icalcomponent_get_next_component(root, ICAL_VEVENT_COMPONENT)) {
        Event e;
        e.uid = Text(icalcomponent_get_uid(ev));
        e.summary = Text(icalcomponent_get_summary(ev));
        e.description = Text(icalcomponent_get_description(ev));
        if (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_CATEGORIES_PROPERTY))
            e.categories = Text(icalproperty_get_categories(p));
        if (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_DTSTART_PROPERTY)) {
            const icaltimetype t = icalproperty_get_dtstart(p);
            e.start = Text(icaltime_as_ical_string(t));
            e.allDay = icaltime_is_date(t);
            if (icalparameter* tzid = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER))
                e.tzid = Text(icalparameter_get_tzid(tzid));
        }
        if (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_DTEND_PROPERTY))
            e.end = Text(icaltime_as_ical_string(icalproperty_get_dtend(p)));
        if (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_DURATION_PROPERTY))
            e.duration = Text(icaldurationtype_as_ical_string(icalproperty_get_duration(p)));
        if (icalproperty* p = icalcomponent_get_first_property(ev, ICAL_RRULE_PROPERTY)) {
            const icalrecurrencetype r = icalproperty_get_rrule(p);
            e.rrule = Text(icalrecurrencetype_as_string(const_cast<icalrecurrencetype*>(&r)));
        }
        if (icalcomponent* alarm = icalcomponent_get_first_component(ev, ICAL_VALARM_COMPONENT)) {
            icalproperty* action = icalcomponent_get_first_property(alarm, ICAL_ACTION_PROPERTY);
            e.alarmAction = action && icalproperty_get_action(action) == ICAL_ACTION_DISPLAY
                                ? QStringLiteral("DISPLAY")
                                : QStringLiteral("other");
            if (icalproperty* trigger =
                    icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY))
                e.alarmTriggerSecs =
                    icaldurationtype_as_int(icalproperty_get_trigger(trigger).duration);
        }
        out.events << e;
        out.bySummary.insert(e.summary, e);
    }
    icalcomponent_free(root);
    return out;
}

CalendarLists Lists(const QByteArray& appointments, const QByteArray& deadlines,
                    const QByteArray& anniversaries) {
    return {ParseListRecords(appointments, ListKind::Appuntamenti),
            ParseListRecords(deadlines, ListKind::Scadenze),
            ParseListRecords(anniversaries, ListKind::Ricorrenze)};
}

const QByteArray kAppointments =
    "7,3,\"Dentista\",\"10:30\"\r\n"
    "8,3,\"Spesa\",\"\"\r\n"
    "9,3,\"Pranzo\",\"dopo pranzo\"\r\n"
    "1,1,\"Capodanno (ny)\",\"9.05\"\r\n"
    "2,1,\"Passato\",\"08:00\"\r\n"
    "0,0,\"Data persa\",\"10:00\"\r\n"
    "abc,\"Rotto\"\r\n";
const QByteArray kDeadlines = "25,12,\"Scade bollo\"\r\n29,2,\"Scade bisestile\"\r\n";
const QByteArray kAnniversaries =
    "14,7,\"E' il Compleanno di Anna\"\r\n29,2,\"E' il Compleanno di Leo\"\r\n31,4,\"Mai\"\r\n";

}  // namespace

class CalendarExportTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void whatEachListBecomes() {
        const FakeClock clock(QDateTime(QDate(2026, 3, 7), QTime(10, 0)));
        const CalendarExport out = ExportCalendar(Lists(kAppointments, kDeadlines, kAnniversaries),
                                                  clock, QStringLiteral("Europe/Rome"));
        // 0/0, the unreadable record, 29/2 as a deadline in a common year, 31/4.
        QCOMPARE(out.skipped, 4);
        QCOMPARE(out.written, 8);
        const Calendar cal = ReadBack(out.ics);
        QCOMPARE(cal.events.size(), 8);
        QVERIFY2(cal.prodid.contains(QStringLiteral("Ricordel 2.1.9")), qPrintable(cal.prodid));
        QCOMPARE(cal.zone, QStringLiteral("Europe/Rome"));

        const Event dentist = cal.bySummary.value(QStringLiteral("Dentista"));
        QCOMPARE(dentist.start, QStringLiteral("20260307T103000"));
        QVERIFY(!dentist.allDay);
        QCOMPARE(dentist.tzid, QStringLiteral("Europe/Rome"));
        QCOMPARE(dentist.duration, QStringLiteral("PT30M"));
        QCOMPARE(dentist.alarmAction, QStringLiteral("DISPLAY"));
        QCOMPARE(dentist.alarmTriggerSecs, 0);
        QCOMPARE(dentist.categories, QStringLiteral("Appuntamenti"));

        const Event shopping = cal.bySummary.value(QStringLiteral("Spesa"));
        QVERIFY(shopping.allDay);
        QCOMPARE(shopping.start, QStringLiteral("20260308"));
        QCOMPARE(shopping.end, QStringLiteral("20260309"));
        QVERIFY(shopping.alarmAction.isEmpty());
        // A time that is no time of day: all day, the text kept as a note.
        const Event lunch = cal.bySummary.value(QStringLiteral("Pranzo"));
        QVERIFY(lunch.allDay);
        QCOMPARE(lunch.description, QStringLiteral("Ora: dopo pranzo"));

        // Past with "(ny)": next year; past without it: this year.
        QCOMPARE(cal.bySummary.value(QStringLiteral("Capodanno (ny)")).start,
                 QStringLiteral("20270101T090500"));
        QCOMPARE(cal.bySummary.value(QStringLiteral("Passato")).start,
                 QStringLiteral("20260102T080000"));

        const Event bollo = cal.bySummary.value(QStringLiteral("Scade bollo"));
        QVERIFY(bollo.allDay);
        QCOMPARE(bollo.start, QStringLiteral("20261225"));
        QCOMPARE(bollo.categories, QStringLiteral("Scadenze"));
        QVERIFY(bollo.rrule.isEmpty());

        const Event anna = cal.bySummary.value(QStringLiteral("E' il Compleanno di Anna"));
        QVERIFY(anna.allDay);
        QCOMPARE(anna.start, QStringLiteral("20260714"));
        QCOMPARE(anna.rrule, QStringLiteral("FREQ=YEARLY"));
        QCOMPARE(anna.categories, QStringLiteral("Ricorrenze"));
        // 29 February: from the latest leap year, so it recurs in leap years only.
        const Event leo = cal.bySummary.value(QStringLiteral("E' il Compleanno di Leo"));
        QCOMPARE(leo.start, QStringLiteral("20240229"));
        QCOMPARE(leo.rrule, QStringLiteral("FREQ=YEARLY"));
    }

    void leapYearsAndFloatingTime() {
        // In a leap year 29/2 is an ordinary day of every list; a past
        // "(ny)" 29/2 has no day next year and is left out.
        const FakeClock clock(QDateTime(QDate(2028, 3, 7), QTime(10, 0)));
        const CalendarExport out = ExportCalendar(
            Lists("29,2,\"Bisestile (ny)\",\"\"\r\n7,3,\"Dentista\",\"10:30\"\r\n",
                  "29,2,\"Scade bisestile\"\r\n", "29,2,\"E' il Compleanno di Leo\"\r\n"),
            clock, QString());
        QCOMPARE(out.skipped, 1);
        const Calendar cal = ReadBack(out.ics);
        QCOMPARE(cal.bySummary.value(QStringLiteral("Scade bisestile")).start,
                 QStringLiteral("20280229"));
        QCOMPARE(cal.bySummary.value(QStringLiteral("E' il Compleanno di Leo")).start,
                 QStringLiteral("20280229"));
        // No zone: floating local time, no VTIMEZONE.
        QVERIFY(cal.zone.isEmpty());
        const Event dentist = cal.bySummary.value(QStringLiteral("Dentista"));
        QCOMPARE(dentist.start, QStringLiteral("20280307T103000"));
        QVERIFY(dentist.tzid.isEmpty());
        QVERIFY(!out.ics.contains("Z\r\nDURATION"));
    }

    void textFromWindows1252AndFolding() {
        // Bytes of the list file: è is 0xE8, € is 0x80 in Windows-1252.
        QByteArray longMessage;
        for (int i = 0; i < 50; ++i) longMessage += "Caff\xE8;";  // 300 characters
        const QByteArray deadlines =
            "1,4,\"Caff\xE8 \x80 5, s\xEC\"\r\n4,4,\"" + longMessage + "\"\r\n";
        const FakeClock clock(QDateTime(QDate(2026, 3, 7), QTime(10, 0)));
        const CalendarExport out = ExportCalendar(Lists({}, deadlines, {}), clock, QString());
        const Calendar cal = ReadBack(out.ics);
        QVERIFY(cal.bySummary.contains(QStringLiteral("Caffè € 5, sì")));
        QString expectedLong;
        for (int i = 0; i < 50; ++i) expectedLong += QStringLiteral("Caffè;");
        QVERIFY(cal.bySummary.contains(expectedLong));

        // Every physical line ends with CR LF, holds at most 75 octets and
        // is whole UTF-8 by itself: no character is split by the folding.
        const QList<QByteArray> lines = out.ics.split('\n');
        QVERIFY(lines.last().isEmpty());
        int continuation = 0;
        for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
            const QByteArray& line = lines[i];
            QVERIFY2(line.endsWith('\r'), line.constData());
            QVERIFY2(line.size() - 1 <= 75, line.constData());
            QVERIFY2(QUtf8StringView(line).isValidUtf8(), line.constData());
            if (line.startsWith(' ')) ++continuation;
        }
        QVERIFY(continuation >= 4);
    }

    void uidsAreStableAndUnique() {
        const QByteArray twins = "5,5,\"Riunione\",\"9:00\"\r\n5,5,\"Riunione\",\"9:00\"\r\n";
        const FakeClock march(QDateTime(QDate(2026, 3, 7), QTime(10, 0)));
        const FakeClock june(QDateTime(QDate(2026, 6, 1), QTime(18, 45)));
        const Calendar first = ReadBack(
            ExportCalendar(Lists(twins + kAppointments, kDeadlines, kAnniversaries), march, {})
                .ics);
        // Later, with an entry added in front: every other entry keeps its UID.
        const Calendar again =
            ReadBack(ExportCalendar(Lists("1,5,\"Nuovo\",\"\"\r\n" + twins + kAppointments,
                                          kDeadlines, kAnniversaries),
                                    june, QStringLiteral("Europe/Rome"))
                         .ics);
        QSet<QString> firstUids, againUids;
        for (const Event& e : first.events) firstUids << e.uid;
        for (const Event& e : again.events) againUids << e.uid;
        QCOMPARE(firstUids.size(), first.events.size());  // unique, the twins included
        QCOMPARE(againUids.size(), again.events.size());
        QCOMPARE(againUids - firstUids, QSet<QString>{again.bySummary.value("Nuovo").uid});
        QVERIFY(firstUids.isEmpty() == false && (firstUids - againUids).isEmpty());
        // The same day and message in another list is another entry.
        const Calendar crossed = ReadBack(
            ExportCalendar(Lists({}, "5,5,\"Riunione\"\r\n", "5,5,\"Riunione\"\r\n"), march, {})
                .ics);
        QCOMPARE(crossed.events.size(), 2);
        QVERIFY(crossed.events[0].uid != crossed.events[1].uid);
    }
};

QTEST_GUILESS_MAIN(CalendarExportTest)
#include "calendarexport_test.moc"

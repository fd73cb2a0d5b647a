#include "operations/calendarexport.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QTimeZone>

#include <libical/ical.h>

#include <memory>

#include "core/clock.h"
#include "core/dates.h"
#include "core/fileio.h"
#include "core/listkind.h"
#include "core/version.h"

namespace {

struct ComponentDeleter {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, ComponentDeleter>;

QByteArray programVersion() {
    return QByteArrayLiteral(RICORDEL_VERSION_TEXT);
}

icaltimetype dateValue(const QDate& date) {
    icaltimetype t = icaltime_null_date();
    t.year = date.year();
    t.month = date.month();
    t.day = date.day();
    return t;
}

icaltimetype localDateTimeValue(const QDate& date, const QTime& time) {
    icaltimetype t = icaltime_null_time();
    t.year = date.year();
    t.month = date.month();
    t.day = date.day();
    t.hour = time.hour();
    t.minute = time.minute();
    return t;
}

// Ids under which the system names Coordinated Universal Time.
bool isUtcZone(const QString& zoneId) {
    static const QStringList kUtc = {
        QStringLiteral("UTC"),           QStringLiteral("UCT"),
        QStringLiteral("GMT"),           QStringLiteral("GMT0"),
        QStringLiteral("GMT+0"),         QStringLiteral("GMT-0"),
        QStringLiteral("Greenwich"),     QStringLiteral("Universal"),
        QStringLiteral("Zulu"),          QStringLiteral("Etc/UTC"),
        QStringLiteral("Etc/UCT"),       QStringLiteral("Etc/GMT"),
        QStringLiteral("Etc/GMT0"),      QStringLiteral("Etc/GMT+0"),
        QStringLiteral("Etc/GMT-0"),     QStringLiteral("Etc/Greenwich"),
        QStringLiteral("Etc/Universal"), QStringLiteral("Etc/Zulu"),
        QStringLiteral("UTC0"),          QStringLiteral("Z"),
    };
    return kUtc.contains(zoneId);
}

// The zone's VTIMEZONE under the zone's own id, trimmed to the rules in force
// from last year on; null when libical does not know the zone.
Component zoneComponent(const QString& zoneId, int year) {
    if (zoneId.isEmpty()) return nullptr;
    icaltimezone* zone = icaltimezone_get_builtin_timezone(zoneId.toUtf8().constData());
    icalcomponent* source = zone ? icaltimezone_get_component(zone) : nullptr;
    if (!source) return nullptr;
    Component vtimezone(icalcomponent_new_clone(source));
    icaltimetype from = icaltime_null_time();
    from.year = year - 1;
    from.month = 1;
    from.day = 1;
    from.zone = icaltimezone_get_utc_timezone();
    icaltimezone_truncate_vtimezone(vtimezone.get(), from, icaltime_null_time(), 1);
    // libical names system zones with a prefix of its own; calendars know
    // the plain id.
    if (icalproperty* tzid = icalcomponent_get_first_property(vtimezone.get(), ICAL_TZID_PROPERTY))
        icalproperty_set_tzid(tzid, zoneId.toUtf8().constData());
    return vtimezone;
}

// The same entry gets the same UID in every export; identical entries are
// told apart by their occurrence number.
QByteArray entryUid(ListKind kind, const ListRecord& record, int occurrence) {
    QByteArray key = listTraits(kind).tabCaption;
    key += '\n' + QByteArray::number(record.day) + '\n' + QByteArray::number(record.month) + '\n' +
           record.time.toUtf8() + '\n' + record.message.toUtf8() + '\n' +
           QByteArray::number(occurrence);
    return QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex() + "@ricordel";
}

}  // namespace

QByteArray foldContentLines(QByteArray text) {
    text.replace("\r\n ", "").replace("\r\n\t", "");
    // libical names the day before the month; written month first, the rule
    // reads as the RFC's own examples and calendars write it.
    text.replace("\r\nRRULE:FREQ=YEARLY;BYMONTHDAY=29;BYMONTH=2\r\n",
                 "\r\nRRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=29\r\n");
    QByteArray out;
    out.reserve(text.size() + text.size() / 32);
    for (const QByteArray& line : text.split('\n')) {
        const QByteArray content = line.endsWith('\r') ? line.chopped(1) : line;
        if (content.isEmpty()) continue;
        qsizetype pos = 0;
        qsizetype room = 75;
        while (content.size() - pos > room) {
            qsizetype cut = pos + room;
            while (cut > pos && (static_cast<unsigned char>(content[cut]) & 0xC0) == 0x80) --cut;
            out += content.mid(pos, cut - pos);
            out += "\r\n ";
            pos = cut;
            room = 74;  // the leading space counts
        }
        out += content.mid(pos);
        out += "\r\n";
    }
    return out;
}

std::optional<QDate> calendarEventDate(ListKind kind, const ListRecord& record,
                                       const QDate& today) {
    const int year = today.year();
    const QString dateText = recordDateText(record);
    std::optional<QDate> date = entryDate(dateText, year);
    if (kind == ListKind::Anniversaries && !date && record.day == 29 && record.month == 2) {
        int leapYear = year;
        while (!QDate::isLeapYear(leapYear)) --leapYear;
        date = QDate(leapYear, 2, 29);
    }
    if (!date) return std::nullopt;
    if (kind == ListKind::Appointments && *date < today &&
        record.message.contains(QStringLiteral("(ny)")))
        return entryDate(dateText, year + 1);  // 29/2 of a leap year: no day next year
    return date;
}

namespace {

class Builder {
  public:
    // `object`: one object of a calendar server, which has no calendar name
    // of its own and says when it was last changed.
    Builder(const QDate& today, const QDateTime& stampUtc, const QString& zoneId,
            bool object = false)
        : today_(today),
          stamp_(stampUtc),
          object_(object),
          calendar_(icalcomponent_new_vcalendar()) {
        const QByteArray prodid = "-//Tobrani//Ricordel " + programVersion() + "//IT";
        icalcomponent_add_property(calendar_.get(), icalproperty_new_prodid(prodid.constData()));
        icalcomponent_add_property(calendar_.get(), icalproperty_new_version("2.0"));
        icalcomponent_add_property(calendar_.get(), icalproperty_new_calscale("GREGORIAN"));
        if (!object_) {
            icalproperty* name = icalproperty_new_x("Ricordel");
            icalproperty_set_x_name(name, "X-WR-CALNAME");
            icalcomponent_add_property(calendar_.get(), name);
        }
        if (isUtcZone(zoneId)) {
            utc_ = true;
        } else if (Component zone = zoneComponent(zoneId, today_.year())) {
            zoneId_ = zoneId.toUtf8();
            zone_ = QTimeZone(zoneId_);
            icalcomponent_add_component(calendar_.get(), zone.release());
        }
    }

    void addList(ListKind kind, const QList<ListRecord>& records) {
        QHash<QByteArray, int> seen;
        for (const ListRecord& record : records) {
            // Occurrences count over the whole list, readable or not, so that
            // the UIDs of the others do not move when one entry is mended.
            const QByteArray identity = entryUid(kind, record, 0);
            const int occurrence = seen[identity]++;
            if (addEntry(kind, record, entryUid(kind, record, occurrence)))
                ++result_.written;
            else
                ++result_.skipped;
        }
    }

    CalendarExport finish() {
        char* text = icalcomponent_as_ical_string_r(calendar_.get());
        result_.ics = foldContentLines(QByteArray(text));
        icalmemory_free_buffer(text);
        return result_;
    }

    bool addEntry(ListKind kind, const ListRecord& record, const QByteArray& uid) {
        const std::optional<QDate> date = calendarEventDate(kind, record, today_);
        if (!date) return false;

        icalcomponent* event = icalcomponent_new_vevent();
        icalcomponent_add_component(calendar_.get(), event);
        icalcomponent_add_property(event, icalproperty_new_uid(uid.constData()));
        const icaltimetype stamp = icaltime_from_timet_with_zone(stamp_.toSecsSinceEpoch(), 0,
                                                                 icaltimezone_get_utc_timezone());
        icalcomponent_add_property(event, icalproperty_new_dtstamp(stamp));
        if (object_) icalcomponent_add_property(event, icalproperty_new_lastmodified(stamp));
        const QByteArray summary = calendarTitle(record.message).toUtf8();
        icalcomponent_add_property(event, icalproperty_new_summary(summary.constData()));
        icalcomponent_add_property(event, icalproperty_new_categories(listTraits(kind).tabCaption));

        const std::optional<QTime> time =
            kind == ListKind::Appointments ? parseTimeText(record.time) : std::nullopt;
        if (time) {
            const QDateTime end = endOf(*date, *time);
            icalcomponent_add_property(event,
                                       timedProperty(icalproperty_new_dtstart, *date, *time));
            icalcomponent_add_property(
                event, timedProperty(icalproperty_new_dtend, end.date(), end.time()));
            icalcomponent* alarm = icalcomponent_new_valarm();
            icalcomponent_add_property(alarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
            icaltriggertype trigger{};
            trigger.time = icaltime_null_time();
            trigger.duration = icaldurationtype_null_duration();
            icalcomponent_add_property(alarm, icalproperty_new_trigger(trigger));
            icalcomponent_add_property(alarm, icalproperty_new_description(summary.constData()));
            icalcomponent_add_component(event, alarm);
        } else {
            icalcomponent_add_property(event, icalproperty_new_dtstart(dateValue(*date)));
            icalcomponent_add_property(event, icalproperty_new_dtend(dateValue(date->addDays(1))));
            // A time that is no time of day is still the user's note.
            if (!record.time.trimmed().isEmpty() && kind == ListKind::Appointments) {
                const QByteArray note = "Ora: " + withoutControlCharacters(record.time).toUtf8();
                icalcomponent_add_property(event, icalproperty_new_description(note.constData()));
            }
        }
        // From 29 February, readers differ on what a plain yearly rule
        // means in common years; naming the day makes every one of them keep
        // it to leap years.
        if (kind == ListKind::Anniversaries)
            icalcomponent_add_property(event, icalproperty_new_rrule(icalrecurrencetype_from_string(
                                                  date->month() == 2 && date->day() == 29
                                                      ? "FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=29"
                                                      : "FREQ=YEARLY")));
        return true;
    }

  private:
    // A start or end at a local time: with the zone's TZID, in UTC with "Z",
    // or floating.
    icalproperty* timedProperty(icalproperty* (*make)(icaltimetype), const QDate& date,
                                const QTime& time) const {
        if (utc_) {
            icaltimetype t = localDateTimeValue(date, time);
            t.zone = icaltimezone_get_utc_timezone();
            return make(t);
        }
        icalproperty* property = make(localDateTimeValue(date, time));
        if (!zoneId_.isEmpty())
            icalproperty_add_parameter(property, icalparameter_new_tzid(zoneId_.constData()));
        return property;
    }

    // Thirty minutes after the start, as a local time. Where the clock goes
    // back that would read as earlier than the start, and some readers then
    // reject the event: the end is then thirty minutes of the clock's face.
    QDateTime endOf(const QDate& date, const QTime& time) const {
        const QDateTime byFace = QDateTime(date, time).addSecs(30 * 60);
        if (zoneId_.isEmpty() || !zone_.isValid()) return byFace;
        QDateTime start(date, time, zone_);
        if (!start.isValid()) {
            // A time the clock skips reads, as RFC 5545 has it, with the
            // offset in force before the change.
            const QDateTime asUtc(date, time, Qt::UTC);
            start = asUtc.addSecs(-zone_.offsetFromUtc(asUtc.addDays(-1)));
        }
        const QDateTime end = start.addSecs(30 * 60).toTimeZone(zone_);
        const QDateTime endFace(end.date(), end.time());
        return endFace > QDateTime(date, time) ? endFace : byFace;
    }

    QDate today_;
    QDateTime stamp_;
    bool object_ = false;
    Component calendar_;
    QByteArray zoneId_;  // empty: floating times (or UTC)
    QTimeZone zone_;
    bool utc_ = false;
    CalendarExport result_;
};

}  // namespace

CalendarExport buildCalendarExport(const CalendarLists& lists, const Clock& clock,
                                   const QString& zoneId) {
    Builder builder(clock.today(), clock.now().toUTC(), zoneId);
    builder.addList(ListKind::Appointments, lists.appointments);
    builder.addList(ListKind::Deadlines, lists.deadlines);
    builder.addList(ListKind::Anniversaries, lists.anniversaries);
    return builder.finish();
}

std::optional<QByteArray> buildEventObject(ListKind kind, const ListRecord& record,
                                           const QByteArray& uid, const QDate& today,
                                           const QDateTime& stampUtc, const QString& zoneId) {
    Builder builder(today, stampUtc.toUTC(), zoneId, true);
    if (!builder.addEntry(kind, record, uid)) return std::nullopt;
    return builder.finish().ics;
}

QString systemZoneId() {
    return QString::fromUtf8(QTimeZone::systemTimeZoneId());
}

CalendarFileOutcome exportCalendarFile(const QDir& dataFolder, const QString& path,
                                       const Clock& clock) {
    CalendarFileOutcome outcome;
    CalendarLists lists;
    QList<ListRecord>* targets[] = {&lists.appointments, &lists.deadlines, &lists.anniversaries};
    int found = 0;
    for (ListKind kind : kAllListKinds) {
        const QString name = listFileName(kind);
        if (!dataFolder.exists(name)) continue;
        ++found;
        QString reason;
        const auto bytes = readWholeFile(dataFolder.filePath(name), &reason);
        if (!bytes) {
            outcome.error =
                QStringLiteral("impossibile leggere il file \"%1\": %2").arg(name, reason);
            return outcome;
        }
        *targets[tabOf(kind)] = parseListRecords(*bytes, kind);
    }
    if (found == 0) {
        outcome.error = QStringLiteral(
                            "nessuna lista di Ricordel (Ricordel.dat, Date.dat, "
                            "Ricorrenze.dat) nella cartella %1")
                            .arg(QDir::toNativeSeparators(dataFolder.absolutePath()));
        return outcome;
    }
    const CalendarExport calendar = buildCalendarExport(lists, clock, systemZoneId());
    if (const auto reason = writeFileAtomically(path, calendar.ics)) {
        outcome.error = QStringLiteral("impossibile scrivere il file \"%1\": %2")
                            .arg(QDir::toNativeSeparators(path), *reason);
        return outcome;
    }
    outcome.written = calendar.written;
    outcome.skipped = calendar.skipped;
    return outcome;
}

QString withoutControlCharacters(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t') || (u >= 0x7F && u <= 0x9F)) continue;
        out += c;
    }
    return out;
}

QString calendarTitle(const QString& message) {
    const QString title = withoutControlCharacters(message);
    return title.trimmed().isEmpty() ? QStringLiteral("(senza testo)") : title;
}

QString calendarCountsText(int written, int skipped) {
    const QString events = written == 1 ? QStringLiteral("Scritto 1 evento")
                                        : QStringLiteral("Scritti %1 eventi").arg(written);
    const QString left = skipped == 1 ? QStringLiteral("1 voce tralasciata")
                                      : QStringLiteral("%1 voci tralasciate").arg(skipped);
    return QStringLiteral("%1; %2 (data non leggibile).").arg(events, left);
}

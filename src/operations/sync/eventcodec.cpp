#include "operations/sync/eventcodec.h"

#include <QPointer>
#include <QTimeZone>
#include <QTimer>

#include <libical/ical.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

#include "core/dates.h"
#include "core/isolatedtask.h"
#include "core/listkind.h"
#include "core/listrecords.h"
#include "operations/calendarexport.h"

namespace {

struct ComponentDeleter {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, ComponentDeleter>;

// Bounds of the task's input and output.
constexpr qsizetype kMaxJobs = 10000;
constexpr qsizetype kMaxObjectBytes = 4 * 1024 * 1024;
constexpr qsizetype kMaxJobsBytes = 64 * 1024 * 1024;
// A patch adds a few lines to an object: room for them.
constexpr qsizetype kMaxPatchedBytes = kMaxObjectBytes + 1024 * 1024;
constexpr qsizetype kMaxZoneIdBytes = 256;
// A UID longer than this is no UID a server keeps: it is not passed on.
constexpr qsizetype kMaxUidBytes = 1024;
// What a text of kMaxImportedText characters takes at most in UTF-8.
constexpr qsizetype kMaxTextBytes = 4 * kMaxImportedText;
// The isolated task runs this many jobs at most, within this many bytes.
constexpr qsizetype kBatchJobs = 500;
constexpr qsizetype kBatchBytes = 48 * 1024 * 1024;

const QByteArray kJobsMagic = QByteArrayLiteral("ricordel-event-jobs 1\n");
const QByteArray kResultsMagic = QByteArrayLiteral("ricordel-event-results 1\n");
const QByteArray kEndMark = QByteArrayLiteral("\nEND\n");

// The zone in which times with a zone of their own are read: the context's,
// the system's when none is named, UTC for a name of UTC Qt does not know.
QTimeZone readingZone(const EventContext& context) {
    if (context.zoneId.isEmpty()) return QTimeZone::systemTimeZone();
    const QTimeZone zone(context.zoneId.toUtf8());
    return zone.isValid() ? zone : QTimeZone::utc();
}

ListRecord recordOf(const ImportedEntry& entry) {
    ListRecord record;
    record.day = static_cast<qint16>(entry.day);
    record.month = static_cast<qint16>(entry.month);
    record.message = entry.message;
    record.time = entry.kind == ListKind::Appointments ? entry.time : QString();
    return record;
}

// Text that may be handed to the parser: within the sizes and nesting the
// calendar reader allows, a calendar, no NUL (where the parser would stop).
std::optional<QByteArray> parseableText(const QByteArray& ics) {
    if (ics.size() > kMaxCalendarFileBytes) return std::nullopt;
    QByteArray text = ics;
    if (text.startsWith("\xEF\xBB\xBF")) text.remove(0, 3);
    if (!text.trimmed().left(15).toUpper().startsWith("BEGIN:VCALENDAR") ||
        nestedDeeperThan(text, kMaxCalendarNesting))
        return std::nullopt;
    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0) text.truncate(nul);
    return text;
}

Component parseText(const QByteArray& text) {
    icalerror_set_errors_are_fatal(0);
    return Component(icalparser_parse_string(text.constData()));
}

void removeProperties(icalcomponent* c, icalproperty_kind kind) {
    while (icalproperty* p = icalcomponent_get_first_property(c, kind)) {
        icalcomponent_remove_property(c, p);
        icalproperty_free(p);
    }
}

QDateTime toInstant(const QDate& date, const QTime& time, const QTimeZone& zone) {
    return zone.isValid() ? QDateTime(date, time, zone) : QDateTime(date, time);
}

// The local start of an event (a date, or a date and time), as the reader
// takes it.
struct LocalStart {
    QDate date;
    std::optional<QTime> time;
};

LocalStart localStart(const icaltimetype& t, const QTimeZone& zone) {
    if (icaltime_is_null_time(t) || !QDate(t.year, t.month, t.day).isValid()) return {};
    const QDate date(t.year, t.month, t.day);
    if (icaltime_is_date(t)) return {date, std::nullopt};
    if (!t.zone) return {date, QTime(t.hour, t.minute, t.second)};
    const QDateTime instant =
        QDateTime::fromSecsSinceEpoch(icaltime_as_timet_with_zone(t, t.zone), Qt::UTC);
    const QDateTime local = zone.isValid() ? instant.toTimeZone(zone) : instant.toLocalTime();
    return {local.date(), local.time()};
}

icaltimetype fieldsOf(const QDateTime& at) {
    icaltimetype t = icaltime_null_time();
    t.year = at.date().year();
    t.month = at.date().month();
    t.day = at.date().day();
    t.hour = at.time().hour();
    t.minute = at.time().minute();
    t.second = at.time().second();
    return t;
}

icaltimetype dateFields(const QDate& date) {
    icaltimetype t = icaltime_null_date();
    t.year = date.year();
    t.month = date.month();
    t.day = date.day();
    return t;
}

// How a timed start is written: in UTC, in a named zone, or floating.
struct TimeForm {
    enum class Kind { Utc, Zone, Floating } kind = Kind::Floating;
    QByteArray tzid;
    QTimeZone zone;
};

icalproperty* timedProperty(icalproperty* (*make)(icaltimetype), const QDateTime& instant,
                            const QDateTime& face, const TimeForm& form) {
    switch (form.kind) {
        case TimeForm::Kind::Utc: {
            icaltimetype t = fieldsOf(instant.toUTC());
            t.zone = icaltimezone_get_utc_timezone();
            return make(t);
        }
        case TimeForm::Kind::Zone: {
            icalproperty* p = make(fieldsOf(instant.toTimeZone(form.zone)));
            icalproperty_add_parameter(p, icalparameter_new_tzid(form.tzid.constData()));
            return p;
        }
        case TimeForm::Kind::Floating:
            break;
    }
    return make(fieldsOf(face));
}

// The master event of a calendar: the first VEVENT without RECURRENCE-ID.
icalcomponent* masterEvent(icalcomponent* calendar) {
    for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); c;
         c = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT))
        if (!icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY)) return c;
    return nullptr;
}

bool hasZone(icalcomponent* calendar, const QByteArray& tzid) {
    for (icalcomponent* z = icalcomponent_get_first_component(calendar, ICAL_VTIMEZONE_COMPONENT);
         z; z = icalcomponent_get_next_component(calendar, ICAL_VTIMEZONE_COMPONENT)) {
        icalproperty* p = icalcomponent_get_first_property(z, ICAL_TZID_PROPERTY);
        if (p && icalproperty_get_tzid(p) && tzid == icalproperty_get_tzid(p)) return true;
    }
    return false;
}

// Whether an alarm of the event rings at `start`.
bool hasAlarmAtStart(icalcomponent* event, const QDateTime& start) {
    for (icalcomponent* a = icalcomponent_get_first_component(event, ICAL_VALARM_COMPONENT); a;
         a = icalcomponent_get_next_component(event, ICAL_VALARM_COMPONENT)) {
        icalproperty* p = icalcomponent_get_first_property(a, ICAL_TRIGGER_PROPERTY);
        if (!p) continue;
        const icaltriggertype trigger = icalproperty_get_trigger(p);
        if (!icaltime_is_null_time(trigger.time)) {
            const icaltimezone* zone =
                trigger.time.zone ? trigger.time.zone : icaltimezone_get_utc_timezone();
            if (icaltime_as_timet_with_zone(trigger.time, zone) == start.toSecsSinceEpoch())
                return true;
            continue;
        }
        icalparameter* related = icalproperty_get_first_parameter(p, ICAL_RELATED_PARAMETER);
        if (icaldurationtype_as_int(trigger.duration) == 0 &&
            (!related || icalparameter_get_related(related) != ICAL_RELATED_END))
            return true;
    }
    return false;
}

void setStamp(icalcomponent* event, const QDateTime& stampUtc) {
    const icaltimetype stamp = icaltime_from_timet_with_zone(stampUtc.toSecsSinceEpoch(), 0,
                                                             icaltimezone_get_utc_timezone());
    icalcomponent_set_dtstamp(event, stamp);
    removeProperties(event, ICAL_LASTMODIFIED_PROPERTY);
    icalcomponent_add_property(event, icalproperty_new_lastmodified(stamp));
}

// The start and end of `event` moved to the entry's date and time. A timed
// start keeps the way it was written (UTC, its zone, floating) when that
// can be followed, and the event its length; otherwise it is written as the
// new object `model` writes it, with the zone's VTIMEZONE.
void moveEvent(icalcomponent* calendar, icalcomponent* event, icalcomponent* model,
               const QDate& date, const std::optional<QTime>& time, const QTimeZone& zone) {
    const icaltimetype oldStart = icalcomponent_get_dtstart(event);
    const bool wasTimed = !icaltime_is_null_time(oldStart) && !icaltime_is_date(oldStart);
    const LocalStart was = localStart(oldStart, zone);
    const auto sameMinute = [&] {
        return was.time && time && was.time->hour() == time->hour() &&
               was.time->minute() == time->minute() && was.time->second() == 0;
    };
    if (was.date == date && ((!time && !wasTimed) || (time && wasTimed && sameMinute()))) return;

    icalproperty* endProperty = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY);
    const bool hasDuration =
        icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY) != nullptr;
    if (!time) {
        int days = 1;
        if (!wasTimed && endProperty) {
            const LocalStart end = localStart(icalcomponent_get_dtend(event), zone);
            if (was.date.isValid() && end.date.isValid())
                days = static_cast<int>(std::clamp<qint64>(was.date.daysTo(end.date), 1, 366));
        }
        removeProperties(event, ICAL_DTSTART_PROPERTY);
        removeProperties(event, ICAL_DTEND_PROPERTY);
        removeProperties(event, ICAL_DURATION_PROPERTY);
        icalcomponent_add_property(event, icalproperty_new_dtstart(dateFields(date)));
        icalcomponent_add_property(event, icalproperty_new_dtend(dateFields(date.addDays(days))));
        return;
    }

    std::optional<TimeForm> form;
    if (wasTimed && !oldStart.zone) {
        form = TimeForm{};
    } else if (wasTimed && icaltime_is_utc(oldStart)) {
        form = TimeForm{TimeForm::Kind::Utc, {}, {}};
    } else if (wasTimed) {
        icalproperty* p = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
        icalparameter* tzid =
            p ? icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER) : nullptr;
        const char* id = tzid ? icalparameter_get_tzid(tzid) : nullptr;
        const QTimeZone own = id ? QTimeZone(QByteArray(id)) : QTimeZone();
        if (own.isValid()) form = TimeForm{TimeForm::Kind::Zone, QByteArray(id), own};
    }
    if (!form) {
        // Written as a new event would be.
        removeProperties(event, ICAL_DTSTART_PROPERTY);
        removeProperties(event, ICAL_DTEND_PROPERTY);
        removeProperties(event, ICAL_DURATION_PROPERTY);
        for (icalproperty_kind kind : {ICAL_DTSTART_PROPERTY, ICAL_DTEND_PROPERTY})
            if (icalproperty* p = icalcomponent_get_first_property(model, kind))
                icalcomponent_add_property(event, icalproperty_new_clone(p));
        icalcomponent* modelCalendar = icalcomponent_get_parent(model);
        for (icalcomponent* z =
                 icalcomponent_get_first_component(modelCalendar, ICAL_VTIMEZONE_COMPONENT);
             z; z = icalcomponent_get_next_component(modelCalendar, ICAL_VTIMEZONE_COMPONENT)) {
            icalproperty* p = icalcomponent_get_first_property(z, ICAL_TZID_PROPERTY);
            const char* id = p ? icalproperty_get_tzid(p) : nullptr;
            if (id && !hasZone(calendar, QByteArray(id)))
                icalcomponent_add_component(calendar, icalcomponent_new_clone(z));
        }
        return;
    }

    // The length kept when it is one an appointment can have.
    qint64 length = 30 * 60;
    if (endProperty) {
        const icaltimetype oldEnd = icalcomponent_get_dtend(event);
        if (!icaltime_is_null_time(oldEnd) && !icaltime_is_date(oldEnd)) {
            const qint64 seconds =
                static_cast<qint64>(icaltime_as_timet_with_zone(oldEnd, oldEnd.zone)) -
                static_cast<qint64>(icaltime_as_timet_with_zone(oldStart, oldStart.zone));
            if (seconds > 0 && seconds <= 31LL * 24 * 3600) length = seconds;
        }
    }
    const QDateTime face(date, *time, Qt::UTC);  // the clock's face, never skipped
    const QDateTime instant = toInstant(date, *time, zone);
    removeProperties(event, ICAL_DTSTART_PROPERTY);
    removeProperties(event, ICAL_DTEND_PROPERTY);
    icalcomponent_add_property(event,
                               timedProperty(icalproperty_new_dtstart, instant, face, *form));
    // A length given as DURATION goes on as it is.
    if (!hasDuration)
        icalcomponent_add_property(event,
                                   timedProperty(icalproperty_new_dtend, instant.addSecs(length),
                                                 face.addSecs(length), *form));
}

// The CATEGORIES of `event` naming `kind`'s list and no other list; other
// categories kept.
void setCategories(icalcomponent* event, ListKind kind) {
    QList<QByteArray> others;
    QList<ListKind> lists;
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_CATEGORIES_PROPERTY); p;
         p = icalcomponent_get_next_property(event, ICAL_CATEGORIES_PROPERTY)) {
        const char* value = icalproperty_get_categories(p);
        if (!value) continue;
        for (const QByteArray& name : QByteArray(value).split(',')) {
            const QByteArray trimmed = name.trimmed();
            if (trimmed.isEmpty()) continue;
            bool isList = false;
            for (ListKind k : kAllListKinds) {
                if (qstricmp(trimmed.constData(), listTraits(k).tabCaption) == 0) {
                    lists << k;
                    isList = true;
                }
            }
            if (!isList) others << trimmed;
        }
    }
    if (lists == QList<ListKind>{kind}) return;
    removeProperties(event, ICAL_CATEGORIES_PROPERTY);
    for (const QByteArray& name : std::as_const(others))
        icalcomponent_add_property(event, icalproperty_new_categories(name.constData()));
    icalcomponent_add_property(event, icalproperty_new_categories(listTraits(kind).tabCaption));
}

// The yearly rule of an anniversary as `model` has it; no yearly rule for
// anything else (other rules kept).
void setRule(icalcomponent* event, icalcomponent* model, ListKind kind) {
    const auto text = [](const icalrecurrencetype& r) {
        char* s = icalrecurrencetype_as_string_r(const_cast<icalrecurrencetype*>(&r));
        const QByteArray out(s ? s : "");
        icalmemory_free_buffer(s);
        return out;
    };
    icalproperty* wanted = icalcomponent_get_first_property(model, ICAL_RRULE_PROPERTY);
    QList<icalproperty*> drop;
    bool kept = false;
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY); p;
         p = icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY)) {
        const icalrecurrencetype rule = icalproperty_get_rrule(p);
        if (kind == ListKind::Anniversaries) {
            if (!kept && wanted && text(rule) == text(icalproperty_get_rrule(wanted)))
                kept = true;
            else
                drop << p;
        } else if (rule.freq == ICAL_YEARLY_RECURRENCE) {
            drop << p;
        }
    }
    for (icalproperty* p : std::as_const(drop)) {
        icalcomponent_remove_property(event, p);
        icalproperty_free(p);
    }
    if (kind == ListKind::Anniversaries && !kept && wanted)
        icalcomponent_add_property(event, icalproperty_new_clone(wanted));
}

// ------------------------------------------------------------ the encoding

class Writer {
  public:
    explicit Writer(const QByteArray& magic) : out_(magic) {}
    void u8(int v) { out_.append(static_cast<char>(v)); }
    void u32(quint32 v) {
        for (int shift = 24; shift >= 0; shift -= 8) out_.append(static_cast<char>(v >> shift));
    }
    void i64(qint64 v) {
        const auto u = static_cast<quint64>(v);
        u32(static_cast<quint32>(u >> 32));
        u32(static_cast<quint32>(u));
    }
    void bytes(const QByteArray& b) {
        u32(static_cast<quint32>(b.size()));
        out_.append(b);
    }
    void text(const QString& s) { bytes(s.toUtf8()); }
    void date(const QDate& d) {
        u8(d.isValid() ? 1 : 0);
        u32(d.isValid() ? static_cast<quint32>(d.year()) : 0);
        u8(d.isValid() ? d.month() : 0);
        u8(d.isValid() ? d.day() : 0);
    }
    void entry(const ImportedEntry& e) {
        // A day or month out of range is written as none can be read.
        u8(tabOf(e.kind));
        u8(e.day >= 0 && e.day <= 31 ? e.day : 255);
        u8(e.month >= 0 && e.month <= 12 ? e.month : 255);
        u8(e.repeated ? 1 : 0);
        text(e.message);
        text(e.time);
    }
    QByteArray finish() { return out_ + kEndMark; }

  private:
    QByteArray out_;
};

// Reads what Writer wrote; every read checks its bounds first and fails
// for good once one fails.
class Reader {
  public:
    Reader(const QByteArray& bytes, const QByteArray& magic) : bytes_(bytes) {
        ok_ = bytes.startsWith(magic) && bytes.endsWith(kEndMark) &&
              bytes.size() >= magic.size() + kEndMark.size();
        pos_ = magic.size();
        end_ = bytes.size() - kEndMark.size();
    }
    bool ok() const { return ok_; }
    bool atEnd() const { return ok_ && pos_ == end_; }
    std::optional<int> u8(int max) {
        if (!take(1)) return std::nullopt;
        const int v = static_cast<unsigned char>(bytes_[pos_ - 1]);
        return check(v <= max) ? std::optional<int>(v) : std::nullopt;
    }
    std::optional<quint32> u32() {
        if (!take(4)) return std::nullopt;
        quint32 v = 0;
        for (qsizetype i = pos_ - 4; i < pos_; ++i)
            v = (v << 8) | static_cast<unsigned char>(bytes_[i]);
        return v;
    }
    std::optional<qint64> i64() {
        const auto high = u32();
        const auto low = u32();
        if (!high || !low) return std::nullopt;
        return static_cast<qint64>((static_cast<quint64>(*high) << 32) | *low);
    }
    std::optional<QByteArray> bytes(qsizetype max) {
        const auto size = u32();
        if (!size || !check(*size <= static_cast<quint64>(max)) ||
            !take(static_cast<qsizetype>(*size)))
            return std::nullopt;
        return bytes_.mid(pos_ - static_cast<qsizetype>(*size), static_cast<qsizetype>(*size));
    }
    std::optional<QString> text() {
        const auto b = bytes(kMaxTextBytes);
        if (!b) return std::nullopt;
        QString s = QString::fromUtf8(*b);
        if (!check(s.size() <= kMaxImportedText)) return std::nullopt;
        return s;
    }
    // A valid date, or (when `nullable`) none.
    std::optional<QDate> date(bool nullable) {
        const auto set = u8(1);
        const auto year = u32();
        const auto month = u8(12);
        const auto day = u8(31);
        if (!set || !year || !month || !day) return std::nullopt;
        if (*set == 0) {
            if (check(nullable && *year == 0 && *month == 0 && *day == 0)) return QDate();
            return std::nullopt;
        }
        const QDate d(static_cast<int>(std::min<quint32>(*year, 100000)), *month, *day);
        if (!check(*year >= 1 && *year <= 9999 && d.isValid())) return std::nullopt;
        return d;
    }
    // An entry of the lists, or (when `nullable`) none (day and month 0).
    std::optional<ImportedEntry> entry(bool nullable) {
        const auto tab = u8(2);
        const auto day = u8(31);
        const auto month = u8(12);
        const auto repeated = u8(1);
        const auto message = text();
        const auto time = text();
        if (!tab || !day || !month || !repeated || !message || !time) return std::nullopt;
        ImportedEntry e;
        e.kind = kindForTab(*tab);
        e.day = *day;
        e.month = *month;
        e.repeated = *repeated == 1;
        e.message = *message;
        e.time = *time;
        const bool none = e.day == 0 && e.month == 0;
        if (!check((none && nullable) || QDate(2024, e.month, e.day).isValid()) ||
            !check(e.time.isEmpty() || e.kind == ListKind::Appointments))
            return std::nullopt;
        return e;
    }

  private:
    bool take(qsizetype n) {
        if (!ok_ || n > end_ - pos_) return ok_ = false;
        pos_ += n;
        return true;
    }
    bool check(bool condition) {
        if (!condition) ok_ = false;
        return ok_;
    }
    const QByteArray& bytes_;
    qsizetype pos_ = 0;
    qsizetype end_ = 0;
    bool ok_ = false;
};

}  // namespace

ServerEventReading readServerEvent(const QByteArray& ics, const EventContext& context) {
    const CalendarObjectReading object =
        readCalendarObject(ics, context.today, readingZone(context));
    ServerEventReading reading;
    if (object.uid.size() <= kMaxUidBytes) reading.uid = object.uid;
    const bool dated = object.date.isValid();
    switch (object.fate) {
        case EventFate::Taken:
            reading.status = ServerEventReading::Status::Shown;
            reading.entry = object.entry;
            if (object.series) reading.reviewOn = object.date.addDays(1);
            break;
        case EventFate::Past:
            reading.status = ServerEventReading::Status::Past;
            if (dated) reading.entry = object.entry;
            break;
        case EventFate::Later:
            reading.status = ServerEventReading::Status::Later;
            if (dated) {
                reading.entry = object.entry;
                reading.reviewOn = firstDayShowing(object.date);
            }
            break;
        default:
            break;
    }
    return reading;
}

QByteArray makeEventObject(const ImportedEntry& entry, const QByteArray& uid,
                           const EventContext& context) {
    return buildEventObject(entry.kind, recordOf(entry), uid, context.today, context.stampUtc,
                            context.zoneId)
        .value_or(QByteArray());
}

std::optional<QByteArray> patchEventObject(const QByteArray& ics, const ImportedEntry& entry,
                                           const EventContext& context) {
    const ListRecord record = recordOf(entry);
    const std::optional<QDate> date = calendarEventDate(entry.kind, record, context.today);
    if (!date) return std::nullopt;
    // The entry as a new object would have it: a model, made here.
    const std::optional<QByteArray> modelText =
        buildEventObject(entry.kind, record, QByteArrayLiteral("model"), context.today,
                         context.stampUtc, context.zoneId);
    const std::optional<QByteArray> text = parseableText(ics);
    if (!modelText || !text) return std::nullopt;
    const Component modelRoot = parseText(*modelText);
    icalcomponent* model =
        modelRoot ? icalcomponent_get_first_component(modelRoot.get(), ICAL_VEVENT_COMPONENT)
                  : nullptr;
    const Component root = parseText(*text);
    if (!model || !root || icalcomponent_isa(root.get()) != ICAL_VCALENDAR_COMPONENT)
        return std::nullopt;
    icalcomponent* event = masterEvent(root.get());
    if (!event) return std::nullopt;
    icalcomponent_strip_errors(root.get());

    const QString title = importedText(icalcomponent_get_summary(event));
    if ((title.isEmpty() ? calendarTitle(QString()) : title) != entry.message)
        icalcomponent_set_summary(event, calendarTitle(entry.message).toUtf8().constData());

    const QTimeZone zone = readingZone(context);
    const std::optional<QTime> time =
        entry.kind == ListKind::Appointments ? parseTimeText(entry.time) : std::nullopt;
    moveEvent(root.get(), event, model, *date, time, zone);
    setCategories(event, entry.kind);
    setRule(event, model, entry.kind);
    if (entry.kind == ListKind::Appointments && !time) {
        // A time that is no time of day is the note the reader takes it
        // from, where the event has no description of its own.
        const QString note = importedText(icalcomponent_get_description(event));
        const QString prefix = QStringLiteral("Ora: ");
        const QString wanted = withoutControlCharacters(entry.time).trimmed();
        if (note.isEmpty() || note.startsWith(prefix)) {
            removeProperties(event, ICAL_DESCRIPTION_PROPERTY);
            if (!wanted.isEmpty())
                icalcomponent_add_property(
                    event,
                    icalproperty_new_description(QString(prefix + wanted).toUtf8().constData()));
        }
    }
    if (time && !hasAlarmAtStart(event, toInstant(*date, *time, zone))) {
        if (icalcomponent* alarm =
                icalcomponent_get_first_component(model, ICAL_VALARM_COMPONENT)) {
            icalcomponent_add_component(event, icalcomponent_new_clone(alarm));
        }
    }
    const int sequence = icalcomponent_get_sequence(event);
    icalcomponent_set_sequence(event, sequence < 0 || sequence == INT_MAX ? 1 : sequence + 1);
    setStamp(event, context.stampUtc);

    char* out = icalcomponent_as_ical_string_r(root.get());
    QByteArray patched = foldContentLines(QByteArray(out));
    icalmemory_free_buffer(out);
    return patched;
}

QByteArray encodeEventJobs(const QList<EventJob>& jobs, const EventContext& context) {
    Writer w(kJobsMagic);
    w.date(context.today);
    w.i64(context.stampUtc.isValid() ? context.stampUtc.toMSecsSinceEpoch() : 0);
    w.text(context.zoneId);
    w.u32(static_cast<quint32>(jobs.size()));
    for (const EventJob& job : jobs) {
        w.u8(job.kind == EventJob::Kind::Patch ? 1 : 0);
        w.bytes(job.ics);
        w.entry(job.entry);
    }
    return w.finish();
}

std::optional<std::pair<QList<EventJob>, EventContext>> decodeEventJobs(const QByteArray& bytes) {
    if (bytes.size() > kMaxJobsBytes + 1024 * 1024) return std::nullopt;
    Reader r(bytes, kJobsMagic);
    EventContext context;
    const auto today = r.date(false);
    const auto stamp = r.i64();
    const auto zone = r.bytes(kMaxZoneIdBytes);
    const auto count = r.u32();
    // Years 1 to 9999, as the dates.
    constexpr qint64 kMinMs = -62135596800000LL;
    constexpr qint64 kMaxMs = 253402300799999LL;
    if (!today || !stamp || !zone || !count || *count > kMaxJobs || *stamp < kMinMs ||
        *stamp > kMaxMs)
        return std::nullopt;
    context.today = *today;
    context.stampUtc = QDateTime::fromMSecsSinceEpoch(*stamp, Qt::UTC);
    context.zoneId = QString::fromUtf8(*zone);
    QList<EventJob> jobs;
    jobs.reserve(static_cast<qsizetype>(*count));
    qsizetype total = 0;
    for (quint32 i = 0; i < *count; ++i) {
        EventJob job;
        const auto kind = r.u8(1);
        auto ics = r.bytes(std::min(kMaxObjectBytes, kMaxJobsBytes - total));
        if (!kind || !ics) return std::nullopt;
        job.kind = *kind == 1 ? EventJob::Kind::Patch : EventJob::Kind::Read;
        const auto entry = r.entry(job.kind == EventJob::Kind::Read);
        if (!entry) return std::nullopt;
        total += ics->size();
        job.ics = std::move(*ics);
        job.entry = *entry;
        jobs << job;
    }
    if (!r.atEnd()) return std::nullopt;
    return std::make_pair(jobs, context);
}

QByteArray encodeEventResults(const QList<EventJobResult>& results) {
    Writer w(kResultsMagic);
    w.u32(static_cast<quint32>(results.size()));
    for (const EventJobResult& result : results) {
        const ServerEventReading& reading = result.reading;
        w.u8(static_cast<int>(reading.status));
        w.bytes(reading.uid);
        w.entry(reading.entry);
        w.date(reading.reviewOn);
        w.u8(result.patched ? 1 : 0);
        if (result.patched) w.bytes(*result.patched);
    }
    return w.finish();
}

std::optional<QList<EventJobResult>> decodeEventResults(const QByteArray& bytes, qsizetype jobs) {
    Reader r(bytes, kResultsMagic);
    const auto count = r.u32();
    if (!count || jobs < 0 || jobs > kMaxJobs || *count != static_cast<quint32>(jobs))
        return std::nullopt;
    QList<EventJobResult> results;
    results.reserve(jobs);
    for (qsizetype i = 0; i < jobs; ++i) {
        EventJobResult result;
        const auto status = r.u8(static_cast<int>(ServerEventReading::Status::NotShown));
        if (!status) return std::nullopt;
        ServerEventReading& reading = result.reading;
        reading.status = static_cast<ServerEventReading::Status>(*status);
        const bool shown = reading.status == ServerEventReading::Status::Shown;
        const auto uid = r.bytes(kMaxUidBytes);
        const auto entry = r.entry(!shown);
        const auto reviewOn = r.date(true);
        const auto patched = r.u8(1);
        if (!uid || !entry || !reviewOn || !patched) return std::nullopt;
        reading.uid = *uid;
        reading.entry = *entry;
        reading.reviewOn = *reviewOn;
        if (*patched == 1) {
            auto object = r.bytes(kMaxPatchedBytes);
            if (!object) return std::nullopt;
            result.patched = std::move(*object);
        }
        results << result;
    }
    if (!r.atEnd()) return std::nullopt;
    return results;
}

int runEventsTask(const QStringList& arguments, std::FILE* in, std::FILE* out) {
    if (!arguments.isEmpty()) return 2;
    const std::optional<QByteArray> input =
        isolatedtask::readInput(in, kMaxJobsBytes + 1024 * 1024);
    if (!input) return 3;
    const auto decoded = decodeEventJobs(*input);
    if (!decoded) return 3;
    const auto& [jobs, context] = *decoded;
    isolatedtask::reportProgress(0);
    QList<EventJobResult> results;
    results.reserve(jobs.size());
    for (const EventJob& job : jobs) {
        EventJobResult result;
        if (job.kind == EventJob::Kind::Read) {
            result.reading = readServerEvent(job.ics, context);
        } else {
            result.patched = patchEventObject(job.ics, job.entry, context);
            if (result.patched && result.patched->size() > kMaxPatchedBytes) result.patched.reset();
        }
        results << result;
        isolatedtask::reportProgress(static_cast<int>(1000 * results.size() / jobs.size()));
    }
    const QByteArray encoded = encodeEventResults(results);
    if (std::fwrite(encoded.constData(), 1, size_t(encoded.size()), out) !=
            size_t(encoded.size()) ||
        std::fflush(out) != 0)
        return 4;
    return 0;
}

// ------------------------------------------------------------ the codecs

namespace {

EventJobResult runJob(const EventJob& job, const EventContext& context) {
    EventJobResult result;
    if (job.kind == EventJob::Kind::Read)
        result.reading = readServerEvent(job.ics, context);
    else
        result.patched = patchEventObject(job.ics, job.entry, context);
    return result;
}

}  // namespace

void DirectEventCodec::run(const QList<EventJob>& jobs, const EventContext& context, Done done) {
    const int generation = generation_;
    QTimer::singleShot(0, this, [this, generation, jobs, context, done = std::move(done)] {
        if (generation != generation_) return;
        QList<std::optional<EventJobResult>> results;
        results.reserve(jobs.size());
        for (const EventJob& job : jobs) results << runJob(job, context);
        done(results);
    });
}

void DirectEventCodec::cancel() {
    ++generation_;
}

struct IsolatedEventCodec::Private {
    IsolatedTask task;
    QList<EventJob> jobs;
    EventContext context;
    Done done;
    QList<std::optional<EventJobResult>> results;
    // The batches still to run, in order: the first job and how many.
    QList<std::pair<qsizetype, qsizetype>> waiting;
    std::pair<qsizetype, qsizetype> current{0, 0};
    int generation = 0;

    explicit Private(const QString& program) : task(program) {}
};

IsolatedEventCodec::IsolatedEventCodec(const QString& program, QObject* parent)
    : QObject(parent), d(std::make_unique<Private>(program)) {
    connect(&d->task, &IsolatedTask::finished, this, [this](const QByteArray& output) {
        const auto [first, count] = d->current;
        const auto results = decodeEventResults(output, count);
        if (!results) {
            batchFailed(false);
            return;
        }
        for (qsizetype i = 0; i < count; ++i) d->results[first + i] = results->at(i);
        next();
    });
    connect(&d->task, &IsolatedTask::failed, this, [this](IsolatedTask::Failure failure) {
        batchFailed(failure == IsolatedTask::Failure::CouldNotStart);
    });
}

IsolatedEventCodec::~IsolatedEventCodec() = default;

void IsolatedEventCodec::run(const QList<EventJob>& jobs, const EventContext& context, Done done) {
    cancel();
    d->jobs = jobs;
    d->context = context;
    d->done = std::move(done);
    d->results = QList<std::optional<EventJobResult>>(jobs.size());
    d->waiting.clear();
    // Batches of kBatchJobs jobs at most, within kBatchBytes.
    for (qsizetype first = 0; first < jobs.size();) {
        qsizetype count = 0;
        qsizetype size = 0;
        while (first + count < jobs.size() && count < kBatchJobs &&
               (count == 0 || size + jobs.at(first + count).ics.size() <= kBatchBytes))
            size += jobs.at(first + count++).ics.size();
        d->waiting.append({first, count});
        first += count;
    }
    next();
}

void IsolatedEventCodec::cancel() {
    ++d->generation;
    d->task.cancel();
    d->waiting.clear();
    d->done = nullptr;
}

void IsolatedEventCodec::next() {
    // Each step starts from the event loop: a task that fails as it starts
    // does not nest one step in the other.
    const int generation = d->generation;
    QTimer::singleShot(0, this, [this, generation] {
        if (generation != d->generation) return;
        if (d->waiting.isEmpty()) {
            const Done done = std::exchange(d->done, nullptr);
            const QList<std::optional<EventJobResult>> results = std::exchange(d->results, {});
            d->jobs.clear();
            ++d->generation;
            if (done) done(results);
            return;
        }
        d->current = d->waiting.takeFirst();
        const auto [first, count] = d->current;
        IsolatedTask::Limits limits;
        limits.timeMs = 60000;
        limits.outputBytes = std::min<qint64>(
            count * (kMaxPatchedBytes + 2 * kMaxTextBytes + kMaxUidBytes + 64), 512 * 1024 * 1024);
        d->task.start(QString::fromLatin1(kEventsTask), {},
                      encodeEventJobs(d->jobs.mid(first, count), d->context), limits);
    });
}

void IsolatedEventCodec::batchFailed(bool notStarted) {
    const auto [first, count] = d->current;
    if (notStarted) {
        // The program cannot run at all: no job has a result.
        d->waiting.clear();
    } else if (count > 1) {
        // Halves, the first first, until the job that fails is alone.
        d->waiting.prepend({first + count / 2, count - count / 2});
        d->waiting.prepend({first, count / 2});
    }
    next();
}

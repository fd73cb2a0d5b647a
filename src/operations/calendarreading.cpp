#include "operations/calendarreading.h"

#include <QDateTime>
#include <QSet>

#include <libical/ical.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "core/agendaentry.h"
#include "core/dates.h"
#include "core/isolatedtask.h"
#include "core/listmodel.h"
#include "operations/calendarexport.h"

namespace {

struct ComponentDeleter {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, ComponentDeleter>;

struct IteratorDeleter {
    void operator()(icalrecur_iterator* it) const { icalrecur_iterator_free(it); }
};
using RecurIterator = std::unique_ptr<icalrecur_iterator, IteratorDeleter>;

// Occurrences a repetition may take to reach today (or, after an excluded
// date, the next one): more means it is too dense to follow.
constexpr int kMaxOccurrences = 200000;

// The local start of an event or an occurrence: a date, or a time in the
// given zone. A time in no zone (floating) is taken as it reads. An invalid
// date means the start cannot exist.
struct LocalStart {
    QDate date;
    std::optional<QTime> time;
};

bool earlier(const LocalStart& a, const LocalStart& b) {
    if (a.date != b.date) return a.date < b.date;
    return a.time.value_or(QTime(0, 0)) < b.time.value_or(QTime(0, 0));
}

// Whether the fields of a start name a day (and a time) that exists.
bool exists(const icaltimetype& t) {
    if (!QDate(t.year, t.month, t.day).isValid()) return false;
    return icaltime_is_date(t) || QTime(t.hour, t.minute, t.second).isValid();
}

LocalStart toLocal(const icaltimetype& t, const QTimeZone& zone) {
    if (!exists(t)) return {};
    if (icaltime_is_date(t)) return {QDate(t.year, t.month, t.day), std::nullopt};
    if (t.zone) {
        const time_t secs = icaltime_as_timet_with_zone(t, t.zone);
        // A system zone Qt cannot name (TZ=UTC0) is still the local time.
        const QDateTime local = zone.isValid() ? QDateTime::fromSecsSinceEpoch(secs, zone)
                                               : QDateTime::fromSecsSinceEpoch(secs);
        return {local.date(), local.time()};
    }
    return {QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second)};
}

bool unset(const short* values) {
    return values[0] == ICAL_RECURRENCE_ARRAY_MAX;
}

bool onlyValue(const short* values, int value) {
    return unset(values) || (values[0] == value && values[1] == ICAL_RECURRENCE_ARRAY_MAX);
}

// Every year on the start's day and month, with no end: what an anniversary is.
bool isYearlyOnSameDay(const icalrecurrencetype& r, const icaltimetype& start) {
    return r.freq == ICAL_YEARLY_RECURRENCE && r.interval <= 1 && r.count == 0 &&
           icaltime_is_null_time(r.until) && unset(r.by_day) && unset(r.by_year_day) &&
           unset(r.by_week_no) && unset(r.by_set_pos) && onlyValue(r.by_month, start.month) &&
           onlyValue(r.by_month_day, start.day);
}

// Whether the days of the month a rule names exist in one of the months it
// names. A rule that asks for 30 February never falls on a day, and the
// library walks such a rule for ever.
bool canFallOnADay(const icalrecurrencetype& r) {
    if (unset(r.by_month_day)) return true;
    static constexpr std::array<int, 13> kLongest = {0,  31, 29, 31, 30, 31, 30,
                                                     31, 31, 30, 31, 30, 31};
    for (int m = 1; m <= 12; ++m) {
        bool named = unset(r.by_month);
        for (int i = 0;
             !named && i < ICAL_BY_MONTH_SIZE && r.by_month[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i)
            named = r.by_month[i] == m;
        if (!named) continue;
        for (int i = 0; i < ICAL_BY_MONTHDAY_SIZE && r.by_month_day[i] != ICAL_RECURRENCE_ARRAY_MAX;
             ++i) {
            const int day = r.by_month_day[i];
            if (day != 0 && std::abs(day) <= kLongest[static_cast<size_t>(m)]) return true;
        }
    }
    return false;
}

// The list named by the event's CATEGORIES, if any.
std::optional<ListKind> namedList(icalcomponent* event) {
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_CATEGORIES_PROPERTY); p;
         p = icalcomponent_get_next_property(event, ICAL_CATEGORIES_PROPERTY)) {
        const char* value = icalproperty_get_categories(p);
        if (!value) continue;
        const QStringList names = QString::fromUtf8(value).split(u',', Qt::SkipEmptyParts);
        for (const QString& name : names)
            for (ListKind kind : kAllListKinds)
                if (name.trimmed().compare(QString::fromLatin1(listTraits(kind).tabCaption),
                                           Qt::CaseInsensitive) == 0)
                    return kind;
    }
    return std::nullopt;
}

// The dates a repeated event leaves out (EXDATE), looked up in constant time.
class ExcludedDates {
  public:
    void add(const LocalStart& x) {
        if (!x.date.isValid()) return;
        anyTime_.insert(x.date.toJulianDay());
        if (x.time)
            exact_.insert(x.date.toJulianDay() * 86400000 + x.time->msecsSinceStartOfDay());
        else
            wholeDay_.insert(x.date.toJulianDay());
    }
    // An occurrence without a time is excluded by any date of its day; one
    // with a time by its day or by its exact time.
    bool contains(const LocalStart& at) const {
        const qint64 day = at.date.toJulianDay();
        if (!at.time) return anyTime_.contains(day);
        return wholeDay_.contains(day) ||
               exact_.contains(day * 86400000 + at.time->msecsSinceStartOfDay());
    }

  private:
    QSet<qint64> anyTime_;
    QSet<qint64> wholeDay_;
    QSet<qint64> exact_;
};

// Feeds the parser one line at a time, saying how far it has read.
struct LineSource {
    const QByteArray* text = nullptr;
    qsizetype pos = 0;
    qsizetype lineEnd = -1;  // where the current line's '\n' is, or its end
    std::function<void(int)> progress;
    qsizetype reported = 0;

    // The parser's line generator: like fgets, up to size - 1 bytes of the
    // current line with its '\n'.
    static char* next(char* out, size_t size, void* data) {
        auto* self = static_cast<LineSource*>(data);
        const QByteArray& text = *self->text;
        if (self->pos >= text.size() || size < 2) return nullptr;
        if (self->lineEnd < self->pos) {
            const void* nl =
                std::memchr(text.constData() + self->pos, '\n', size_t(text.size() - self->pos));
            self->lineEnd = nl ? static_cast<const char*>(nl) - text.constData() : text.size();
        }
        const qsizetype available = std::min<qsizetype>(self->lineEnd + 1, text.size()) - self->pos;
        const qsizetype n = std::min<qsizetype>(available, qsizetype(size) - 1);
        std::memcpy(out, text.constData() + self->pos, size_t(n));
        out[n] = '\0';
        self->pos += n;
        if (self->progress && self->pos - self->reported > text.size() / 100) {
            self->reported = self->pos;
            self->progress(static_cast<int>(500 * self->pos / text.size()));
        }
        return out;
    }
};

class Reader {
  public:
    Reader(const QDate& today, const QTimeZone& zone, const std::function<void(int)>& progress)
        : zone_(zone), today_(today), progress_(progress) {
        lastDay_ = windowEnd(today_);
    }

    CalendarReading read(const QByteArray& ics) {
        Component root = parse(ics);
        const QList<icalcomponent*> calendars = calendarsOf(root.get());
        if (calendars.isEmpty()) return failure(CalendarError::NotCalendar);
        int total = 0;
        for (icalcomponent* calendar : calendars)
            total += icalcomponent_count_components(calendar, ICAL_VEVENT_COMPONENT);
        int events = 0;
        for (icalcomponent* calendar : calendars) {
            const bool cancelled = icalcomponent_get_method(calendar) == ICAL_METHOD_CANCEL;
            for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT);
                 c; c = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT)) {
                switch (icalcomponent_isa(c)) {
                    case ICAL_VEVENT_COMPONENT:
                        ++events;
                        addEvent(c, cancelled);
                        if (progress_) progress_(500 + static_cast<int>(500LL * events / total));
                        break;
                    case ICAL_VTIMEZONE_COMPONENT:
                        break;
                    default:
                        ++reading_.otherItems;
                        break;
                }
            }
        }
        if (events == 0) return failure(CalendarError::NoEvents);
        return reading_;
    }

    // One object of a server: its events read together, an override
    // standing for the occurrence of the series it replaces.
    CalendarObjectReading readObject(const QByteArray& ics) {
        CalendarObjectReading reading;
        Component root = parse(ics);
        icalcomponent* master = nullptr;
        QList<icalcomponent*> overrides;
        bool cancelled = false;
        for (icalcomponent* calendar : calendarsOf(root.get())) {
            for (icalcomponent* c =
                     icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT);
                 c; c = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
                if (icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY)) {
                    overrides << c;
                } else if (!master) {
                    master = c;
                    cancelled = icalcomponent_get_method(calendar) == ICAL_METHOD_CANCEL;
                }
            }
        }
        if (!master && overrides.isEmpty()) return reading;
        if (const char* uid = icalcomponent_get_uid(master ? master : overrides.constFirst()))
            reading.uid = QByteArray(uid);
        ownDates_ = true;
        Outcome outcome;
        if (master) {
            ExcludedDates replaced;
            for (icalcomponent* o : overrides) replaced.add(toLocal(recurrenceId(o), zone_));
            outcome = evaluate(master, cancelled, &replaced);
            reading.series = outcome.series;
        }
        if (!master || outcome.series) {
            // The first of the series' own next occurrence and the overrides
            // that fall from today on.
            for (icalcomponent* o : overrides) {
                Outcome moved = evaluate(o, cancelled, nullptr);
                if (moved.fate != EventFate::Taken && moved.fate != EventFate::Later) {
                    if (!master && moved.fate == EventFate::Past &&
                        (outcome.fate == EventFate::NotEvent ||
                         (outcome.fate == EventFate::Past && earlier(outcome.when, moved.when))))
                        outcome = moved;  // the last of overrides that are all over
                    continue;
                }
                if (master) {
                    moved.entry.kind = outcome.entry.kind;
                    moved.entry.repeated = true;
                }
                const bool pending =
                    outcome.fate == EventFate::Taken || outcome.fate == EventFate::Later;
                if (!pending || earlier(moved.when, outcome.when)) outcome = moved;
            }
            if (master) outcome.series = true;
        }
        reading.fate = outcome.fate;
        if (outcome.dated) {
            reading.entry = outcome.entry;
            reading.date = outcome.when.date;
        }
        return reading;
    }

  private:
    static CalendarReading failure(CalendarError error) {
        CalendarReading reading;
        reading.error = error;
        return reading;
    }

    Component parse(const QByteArray& ics) const {
        icalerror_set_errors_are_fatal(0);
        LineSource source;
        source.text = &ics;
        source.progress = progress_;
        icalparser* parser = icalparser_new();
        icalparser_set_gen_data(parser, &source);
        Component root(icalparser_parse(parser, &LineSource::next));
        icalparser_free(parser);
        return root;
    }

    static QList<icalcomponent*> calendarsOf(icalcomponent* root) {
        QList<icalcomponent*> calendars;
        if (!root) return calendars;
        if (icalcomponent_isa(root) == ICAL_VCALENDAR_COMPONENT) {
            calendars << root;
        } else {
            for (icalcomponent* c =
                     icalcomponent_get_first_component(root, ICAL_VCALENDAR_COMPONENT);
                 c; c = icalcomponent_get_next_component(root, ICAL_VCALENDAR_COMPONENT))
                calendars << c;
        }
        return calendars;
    }

    static icaltimetype recurrenceId(icalcomponent* event) {
        icalproperty* p = icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY);
        return p ? icalproperty_get_datetime_with_component(p, event) : icaltime_null_time();
    }

    // What one event is for the lists: its entry, or why it is left out.
    // `dated`: the entry is filled, at the event's own date when it is left
    // out as past or later (only when ownDates_ asks for it).
    struct Outcome {
        EventFate fate = EventFate::NotEvent;
        ImportedEntry entry;
        LocalStart when;
        bool dated = false;
        bool series = false;  // repeated other than every year
    };

    Outcome evaluate(icalcomponent* event, bool cancelled, const ExcludedDates* replaced) {
        Outcome out;
        if (cancelled || icalcomponent_get_status(event) == ICAL_STATUS_CANCELLED) {
            out.fate = EventFate::Cancelled;
            return out;
        }
        const icaltimetype start = icalcomponent_get_dtstart(event);
        if (icaltime_is_null_time(start)) {
            out.fate = EventFate::NoDay;
            return out;
        }
        if (!exists(start)) {
            out.fate = EventFate::Invalid;
            return out;
        }
        const std::optional<ListKind> named = namedList(event);
        icalproperty* rule = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY);
        const icalrecurrencetype recurrence =
            rule ? icalproperty_get_rrule(rule) : icalrecurrencetype{};
        if (rule && (recurrence.freq == ICAL_NO_RECURRENCE || !canFallOnADay(recurrence))) {
            out.fate = EventFate::Invalid;
            return out;
        }
        const bool yearly = rule && isYearlyOnSameDay(recurrence, start);
        const ListKind kind =
            named ? *named : (yearly ? ListKind::Anniversaries : ListKind::Appointments);
        out.series = rule && !yearly;

        LocalStart when = toLocal(start, zone_);
        if (!when.date.isValid()) {
            out.fate = EventFate::Invalid;
            return out;
        }
        // Left out as past or later; the entry at its own date when asked for.
        const auto leftOut = [&](EventFate fate, const std::optional<LocalStart>& at) {
            out.fate = fate;
            if (ownDates_ && at && at->date.isValid()) {
                out.when = *at;
                out.entry = entryOf(event, kind, named, *at, out.series);
                out.dated = true;
            }
            return out;
        };
        if (kind == ListKind::Anniversaries && yearly) {
            // An anniversary has no year: only one that starts after the
            // window is left out. 29 February stays, for the leap years.
            if (when.date > lastDay_) return leftOut(EventFate::Later, when);
        } else {
            if (rule) {
                bool dense = false;
                const std::optional<LocalStart> next =
                    nextOccurrence(event, recurrence, start, dense, replaced);
                if (!next) {
                    if (dense) {
                        out.fate = EventFate::TooDense;
                        return out;
                    }
                    return leftOut(EventFate::Past,
                                   ownDates_ ? lastOccurrence(event, recurrence, start, replaced)
                                             : std::nullopt);
                }
                when = *next;
            }
            if (when.date < today_) return leftOut(EventFate::Past, when);
            if (when.date > lastDay_) return leftOut(EventFate::Later, when);
            if (!entryDate(formatDateText(when.date), today_.year())) {
                out.fate = EventFate::NoDay;  // 29 February of a leap year seen in a common one
                return out;
            }
        }
        out.fate = EventFate::Taken;
        out.when = when;
        out.entry = entryOf(event, kind, named, when, out.series);
        out.dated = true;
        return out;
    }

    static ImportedEntry entryOf(icalcomponent* event, ListKind kind,
                                 const std::optional<ListKind>& named, const LocalStart& when,
                                 bool series) {
        ImportedEntry entry;
        entry.kind = kind;
        entry.day = when.date.day();
        entry.month = when.date.month();
        entry.repeated = series;
        entry.message = importedText(icalcomponent_get_summary(event));
        if (entry.message.isEmpty()) entry.message = calendarTitle(QString());
        if (kind == ListKind::Appointments) {
            if (when.time) {
                entry.time = formatTimeText(*when.time);
            } else if (named) {
                // An appointment whose time is no time of day keeps it as a
                // note, which is how it was exported.
                const QString note = importedText(icalcomponent_get_description(event));
                if (note.startsWith(QStringLiteral("Ora: "))) entry.time = note.mid(5).trimmed();
            }
        }
        return entry;
    }

    void addEvent(icalcomponent* event, bool cancelled) {
        const Outcome outcome = evaluate(event, cancelled, nullptr);
        switch (outcome.fate) {
            case EventFate::Taken:
                break;
            case EventFate::Past:
                ++reading_.past;
                return;
            case EventFate::Later:
                ++reading_.later;
                return;
            case EventFate::Cancelled:
                ++reading_.cancelled;
                return;
            case EventFate::NoDay:
                ++reading_.noDay;
                return;
            case EventFate::Invalid:
                ++reading_.invalid;
                return;
            case EventFate::TooDense:
                ++reading_.tooDense;
                return;
            case EventFate::NotEvent:
                ++reading_.otherItems;
                return;
        }
        const ImportedEntry& entry = outcome.entry;
        const ListKind kind = entry.kind;
        const QString key = entryKey(kind, entry.day, entry.month, entry.time, entry.message);
        if (keys_.contains(key)) {
            ++reading_.twice;
            return;
        }
        keys_.insert(key);
        if (taken_[static_cast<size_t>(tabOf(kind))]++ >= ListModel::kMaxEntries) {
            ++reading_.full;
            return;
        }
        reading_.entries << entry;
    }

    // The first occurrence from today on, skipping excluded dates; none when
    // the repetition has ended, or when it is too dense to follow (`dense`).
    // Occurrences in `replaced` (overridden by events of their own) are
    // skipped too.
    std::optional<LocalStart> nextOccurrence(icalcomponent* event, const icalrecurrencetype& rule,
                                             const icaltimetype& start, bool& dense,
                                             const ExcludedDates* replaced) {
        ExcludedDates excluded;
        for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY); p;
             p = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY))
            excluded.add(toLocal(icalproperty_get_datetime_with_component(p, event), zone_));
        RecurIterator it = iteratorFromToday(rule, start);
        if (!it) return std::nullopt;
        for (int n = 0; n < kMaxOccurrences; ++n) {
            const icaltimetype t = icalrecur_iterator_next(it.get());
            if (icaltime_is_null_time(t)) return std::nullopt;
            const LocalStart at = toLocal(t, zone_);
            if (!at.date.isValid() || at.date < today_) continue;
            if (at.date > lastDay_) return at;  // the caller counts it as later
            if (excluded.contains(at) || (replaced && replaced->contains(at))) continue;
            return at;
        }
        dense = true;
        return std::nullopt;
    }

    // The last occurrence of a repetition that has ended, walked from its
    // start; none when it takes more than kMaxOccurrences steps to find.
    std::optional<LocalStart> lastOccurrence(icalcomponent* event, const icalrecurrencetype& rule,
                                             const icaltimetype& start,
                                             const ExcludedDates* replaced) const {
        ExcludedDates excluded;
        for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY); p;
             p = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY))
            excluded.add(toLocal(icalproperty_get_datetime_with_component(p, event), zone_));
        RecurIterator it(icalrecur_iterator_new(rule, start));
        if (!it) return std::nullopt;
        std::optional<LocalStart> last;
        for (int n = 0; n < kMaxOccurrences; ++n) {
            const icaltimetype t = icalrecur_iterator_next(it.get());
            if (icaltime_is_null_time(t)) return last;
            const LocalStart at = toLocal(t, zone_);
            if (!at.date.isValid() || excluded.contains(at) || (replaced && replaced->contains(at)))
                continue;
            if (at.date >= today_) return last;
            last = at;
        }
        return std::nullopt;
    }

    // The start of today here, as a time like `start` (a date, a floating
    // time or a time of the event's own zone).
    icaltimetype startOfToday(const icaltimetype& start) const {
        icaltimetype from = start;
        if (!icaltime_is_date(start) && start.zone) {
            const QDateTime midnight = zone_.isValid() ? QDateTime(today_, QTime(0, 0), zone_)
                                                       : QDateTime(today_, QTime(0, 0));
            return icaltime_from_timet_with_zone(midnight.toSecsSinceEpoch(), 0,
                                                 const_cast<icaltimezone*>(start.zone));
        }
        from.year = today_.year();
        from.month = today_.month();
        from.day = today_.day();
        from.hour = from.minute = from.second = 0;
        return from;
    }

    // An iterator over a repetition that begun before today brought near
    // today, so that a rule repeated every second since years does not walk
    // every second; what it gives before today is still skipped. A rule
    // with a COUNT is walked from its start: its count starts there.
    RecurIterator iteratorFromToday(const icalrecurrencetype& rule,
                                    const icaltimetype& start) const {
        const icaltimetype from = startOfToday(start);
        if (rule.count > 0 || icaltime_compare(from, start) <= 0)
            return RecurIterator(icalrecur_iterator_new(rule, start));
        const qint64 unit = rule.freq == ICAL_SECONDLY_RECURRENCE   ? 1
                            : rule.freq == ICAL_MINUTELY_RECURRENCE ? 60
                            : rule.freq == ICAL_HOURLY_RECURRENCE   ? 3600
                                                                    : 0;
        if (unit == 0 || icaltime_is_date(start)) {
            // Days and longer: the library starts from a day before today.
            RecurIterator it(icalrecur_iterator_new(rule, start));
            icaltimetype dayBefore = from;
            icaltime_adjust(&dayBefore, -1, 0, 0, 0);
            if (it && icaltime_compare(dayBefore, start) > 0)
                icalrecur_iterator_set_start(it.get(), dayBefore);
            return it;
        }
        // Below a day the library misplaces a new start within the day: the
        // rule starts again, instead, one step before the last step of its
        // own that is not after today's start. Steps count on the start's
        // clock, as the library counts them.
        const qint64 step = unit * std::max<qint64>(rule.interval, 1);
        const qint64 wall = static_cast<qint64>(icaltime_as_timet(from)) -
                            static_cast<qint64>(icaltime_as_timet(start));
        const qint64 steps = wall / step - 1;
        if (steps <= 0) return RecurIterator(icalrecur_iterator_new(rule, start));
        // The fields of the start moved on as if they were UTC, then given
        // back their zone: a move on the start's own clock.
        icaltimetype rebased = icaltime_from_timet_with_zone(
            icaltime_as_timet(start) + static_cast<time_t>(steps * step), 0, nullptr);
        rebased.zone = start.zone;
        return RecurIterator(icalrecur_iterator_new(rule, rebased));
    }

    QTimeZone zone_;
    QDate today_;
    QDate lastDay_;
    std::function<void(int)> progress_;
    bool ownDates_ = false;
    QSet<QString> keys_;
    std::array<int, 3> taken_{};
    CalendarReading reading_;
};

// ------------------------------------------------------------ the encoding

const QByteArray kHeader = QByteArrayLiteral("ricordel-calendar 1\n");
const QByteArray kEnd = QByteArrayLiteral("END\n");
constexpr int kCountFields = 9;
// More than any count a 16 MB file can give.
constexpr int kMaxCount = 100'000'000;

std::array<int*, kCountFields> countsOf(CalendarReading& r) {
    return {&r.past,    &r.later,    &r.twice,      &r.cancelled, &r.noDay,
            &r.invalid, &r.tooDense, &r.otherItems, &r.full};
}

// One field of a line written by the encoding: no TAB, CR or LF.
QByteArray field(const QString& text) {
    QByteArray out = text.toUtf8();
    for (char& c : out)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return out;
}

std::optional<int> number(QByteArrayView text, int min, int max) {
    if (text.isEmpty() || text.size() > 9) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < min || value > max) return std::nullopt;
    return value;
}

}  // namespace

QString importedText(const char* utf8) {
    if (!utf8) return {};
    // Only the start of a very long text can be kept: the rest is not read.
    const size_t length = std::min<size_t>(std::strlen(utf8), 4 * kMaxImportedText + 4);
    QString text =
        withoutControlCharacters(QString::fromUtf8(utf8, static_cast<qsizetype>(length)));
    text = cleanCellText(text.trimmed());
    if (text.size() > kMaxImportedText) {
        text.truncate(kMaxImportedText - 1);
        text += u'…';
    }
    return text;
}

QString entryKey(ListKind kind, int day, int month, const QString& time, const QString& message) {
    const std::optional<QTime> t = parseTimeText(time);
    const QString when = t ? formatTimeText(*t) : time.trimmed();
    QString key;
    key.reserve(12 + when.size() + message.size());
    key += QChar(u'0' + tabOf(kind));
    key += QChar(u'0' + day / 10);
    key += QChar(u'0' + day % 10);
    key += QChar(u'0' + month / 10);
    key += QChar(u'0' + month % 10);
    key += when;
    key += QChar(u'\t');  // which no cleaned text holds
    key += message;
    return key;
}

QString calendarErrorText(CalendarError error) {
    switch (error) {
        case CalendarError::Empty:
            return QStringLiteral("il file è vuoto");
        case CalendarError::NotCalendar:
            return QStringLiteral("il contenuto non è in formato iCalendar");
        case CalendarError::NoEvents:
            return QStringLiteral("il file non contiene eventi");
        case CalendarError::TooDeep:
            return QStringLiteral("il file contiene componenti annidati oltre %1 livelli")
                .arg(kMaxCalendarNesting);
    }
    return {};
}

bool nestedDeeperThan(const QByteArray& ics, int maxDepth) {
    // Only lines that start with BEGIN or END matter: the start of each
    // unfolded line is read into a small buffer, and for those two the
    // component they name is kept on a stack never deeper than allowed.
    constexpr size_t kPrefix = 96;
    std::vector<QByteArray> open;
    const char* p = ics.constData();
    const char* const end = p + ics.size();
    char line[kPrefix];
    while (p < end) {
        // One line with its continuations (lines that start with a space or
        // a tab), of which only the first kPrefix bytes are kept.
        size_t length = 0;
        for (bool first = true;; first = false) {
            const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
            const char* stop = nl ? nl : end;
            const char* from = first ? p : p + 1;
            const char* to = (stop > from && stop[-1] == '\r') ? stop - 1 : stop;
            if (to > from && length < kPrefix) {
                const size_t n = std::min(size_t(to - from), kPrefix - length);
                std::memcpy(line + length, from, n);
                length += n;
            }
            p = nl ? nl + 1 : end;
            if (p >= end || (*p != ' ' && *p != '\t')) break;
        }
        const QByteArrayView text(line, static_cast<qsizetype>(length));
        const bool begins = text.size() > 5 && qstrnicmp(line, "BEGIN", 5) == 0;
        const bool ends = !begins && text.size() > 3 && qstrnicmp(line, "END", 3) == 0;
        if (!begins && !ends) continue;
        const qsizetype nameEnd = begins ? 5 : 3;
        const qsizetype colon = text.indexOf(':');
        if (colon < 0 || (text[nameEnd] != ':' && text[nameEnd] != ';' && text[nameEnd] != ' '))
            continue;
        const QByteArray value = text.sliced(colon + 1).trimmed().toByteArray().toUpper();
        if (begins) {
            if (static_cast<int>(open.size()) >= maxDepth) return true;
            open.push_back(value);
        } else if (!open.empty() && open.back() == value) {
            open.pop_back();
        }
    }
    return false;
}

CalendarReading readCalendar(const QByteArray& ics, const QDate& today, const QTimeZone& zone,
                             const std::function<void(int)>& progress) {
    QByteArray text = ics;
    if (text.startsWith("\xEF\xBB\xBF")) text.remove(0, 3);
    CalendarReading reading;
    const QByteArray trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        reading.error = CalendarError::Empty;
    } else if (!trimmed.left(15).toUpper().startsWith("BEGIN:VCALENDAR")) {
        reading.error = CalendarError::NotCalendar;
    } else if (nestedDeeperThan(text, kMaxCalendarNesting)) {
        reading.error = CalendarError::TooDeep;
    } else {
        // The parser stops at the first NUL.
        const qsizetype nul = text.indexOf('\0');
        if (nul >= 0) text.truncate(nul);
        return Reader(today, zone, progress).read(text);
    }
    return reading;
}

CalendarObjectReading readCalendarObject(const QByteArray& ics, const QDate& today,
                                         const QTimeZone& zone) {
    if (ics.size() > kMaxCalendarFileBytes) return {};
    QByteArray text = ics;
    if (text.startsWith("\xEF\xBB\xBF")) text.remove(0, 3);
    if (!text.trimmed().left(15).toUpper().startsWith("BEGIN:VCALENDAR") ||
        nestedDeeperThan(text, kMaxCalendarNesting))
        return {};
    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0) text.truncate(nul);
    return Reader(today, zone, {}).readObject(text);
}

QDate windowEnd(const QDate& today) {
    return std::min(today.addDays(365), today.addYears(1).addDays(-1));
}

QDate firstDayShowing(const QDate& date) {
    QDate day = date.addDays(-365);
    while (windowEnd(day) < date) day = day.addDays(1);
    return day;
}

QByteArray encodeCalendarReading(const CalendarReading& reading) {
    QByteArray out = kHeader;
    if (reading.error) {
        out += "E\t" + QByteArray::number(static_cast<int>(*reading.error)) + '\n';
        return out + kEnd;
    }
    CalendarReading copy = reading;
    out += 'C';
    for (int* count : countsOf(copy)) out += '\t' + QByteArray::number(*count);
    out += '\n';
    out.reserve(out.size() + reading.entries.size() * 48);
    for (const ImportedEntry& e : reading.entries) {
        out.append("N\t").append(QByteArray::number(tabOf(e.kind))).append('\t');
        out.append(QByteArray::number(e.day)).append('\t').append(QByteArray::number(e.month));
        out.append('\t').append(e.repeated ? '1' : '0').append('\t');
        out.append(field(e.time)).append('\t').append(field(e.message)).append('\n');
    }
    return out + kEnd;
}

std::optional<CalendarReading> decodeCalendarReading(const QByteArray& bytes) {
    if (!bytes.startsWith(kHeader) || !bytes.endsWith(kEnd)) return std::nullopt;
    const QByteArrayView body(bytes.constData() + kHeader.size(),
                              bytes.size() - kHeader.size() - kEnd.size());
    CalendarReading reading;
    bool counted = false;
    std::array<int, 3> perList{};
    for (qsizetype pos = 0; pos < body.size();) {
        const qsizetype nl = body.indexOf('\n', pos);
        if (nl < 0) return std::nullopt;
        const QByteArrayView line = body.sliced(pos, nl - pos);
        pos = nl + 1;
        // The fields of the line, never more than the longest line has.
        constexpr qsizetype kMaxFields = kCountFields + 1;
        QList<QByteArrayView> fields;
        for (qsizetype from = 0;;) {
            if (fields.size() == kMaxFields) return std::nullopt;
            const qsizetype tab = line.indexOf('\t', from);
            fields << line.sliced(from, (tab < 0 ? line.size() : tab) - from);
            if (tab < 0) break;
            from = tab + 1;
        }
        if (fields[0] == "E") {
            // An error is all a reading says.
            if (counted || pos != body.size() || fields.size() != 2) return std::nullopt;
            const auto error = number(fields[1], 0, static_cast<int>(CalendarError::TooDeep));
            if (!error) return std::nullopt;
            reading.error = static_cast<CalendarError>(*error);
            return reading;
        }
        if (fields[0] == "C") {
            if (counted || fields.size() != kCountFields + 1) return std::nullopt;
            const auto targets = countsOf(reading);
            for (size_t i = 0; i < targets.size(); ++i) {
                const auto value = number(fields[static_cast<qsizetype>(i) + 1], 0, kMaxCount);
                if (!value) return std::nullopt;
                *targets[i] = *value;
            }
            counted = true;
            continue;
        }
        if (fields[0] != "N" || !counted || fields.size() != 7) return std::nullopt;
        const auto tab = number(fields[1], 0, 2);
        const auto day = number(fields[2], 1, 31);
        const auto month = number(fields[3], 1, 12);
        const auto repeated = number(fields[4], 0, 1);
        if (!tab || !day || !month || !repeated || !QDate(2024, *month, *day).isValid())
            return std::nullopt;
        if (++perList[static_cast<size_t>(*tab)] > ListModel::kMaxEntries) return std::nullopt;
        if (fields[5].size() > 4 * kMaxImportedText || fields[6].size() > 4 * kMaxImportedText)
            return std::nullopt;
        ImportedEntry e;
        e.kind = kindForTab(*tab);
        e.day = *day;
        e.month = *month;
        e.repeated = *repeated == 1;
        e.time = cleanCellText(QString::fromUtf8(fields[5]));
        e.message = cleanCellText(QString::fromUtf8(fields[6]));
        if (e.time.size() > kMaxImportedText || e.message.size() > kMaxImportedText ||
            (!e.time.isEmpty() && e.kind != ListKind::Appointments))
            return std::nullopt;
        reading.entries << e;
    }
    if (!counted) return std::nullopt;
    return reading;
}

int runCalendarTask(const QStringList& arguments, std::FILE* in, std::FILE* out) {
    if (arguments.size() != 2) return 2;
    const QDate today = QDate::fromString(arguments[0], Qt::ISODate);
    if (!today.isValid()) return 2;
    const QTimeZone zone =
        arguments[1].isEmpty() ? QTimeZone::systemTimeZone() : QTimeZone(arguments[1].toUtf8());
    const std::optional<QByteArray> ics = isolatedtask::readInput(in, kMaxCalendarFileBytes);
    if (!ics) return 3;
    isolatedtask::reportProgress(0);
    const CalendarReading reading = readCalendar(*ics, today, zone, &isolatedtask::reportProgress);
    const QByteArray encoded = encodeCalendarReading(reading);
    if (std::fwrite(encoded.constData(), 1, size_t(encoded.size()), out) !=
            size_t(encoded.size()) ||
        std::fflush(out) != 0)
        return 4;
    return 0;
}

#include "operations/calendarimport.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <libical/ical.h>

#include <algorithm>
#include <memory>

#include "core/agenda.h"
#include "core/agendaentry.h"
#include "core/dates.h"
#include "core/listfiles.h"
#include "core/listmodel.h"
#include "operations/calendarexport.h"
#include "operations/insert.h"
#include "operations/operations.h"

namespace {

struct ComponentDeleter {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, ComponentDeleter>;

// A repetition that has not reached today after this many occurrences (a rule
// every minute since long ago) is given up as over.
constexpr int kMaxOccurrences = 200000;

// The local start of an event or an occurrence: a date, or a time in the
// given zone. A time in no zone (floating) is taken as it reads.
struct LocalStart {
    QDate date;
    std::optional<QTime> time;
};

LocalStart toLocal(const icaltimetype& t, const QTimeZone& zone) {
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

// The list named by the event's CATEGORIES, if any.
std::optional<ListKind> namedList(icalcomponent* event) {
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_CATEGORIES_PROPERTY); p;
         p = icalcomponent_get_next_property(event, ICAL_CATEGORIES_PROPERTY)) {
        const QStringList names =
            QString::fromUtf8(icalproperty_get_categories(p)).split(u',', Qt::SkipEmptyParts);
        for (const QString& name : names)
            for (ListKind kind : kAllListKinds)
                if (name.trimmed().compare(QString::fromLatin1(listTraits(kind).tabCaption),
                                           Qt::CaseInsensitive) == 0)
                    return kind;
    }
    return std::nullopt;
}

// A time text as it compares: a time of day in one spelling, anything else as
// written.
QString comparableTime(const QString& time) {
    const std::optional<QTime> t = parseTimeText(time);
    return t ? formatTimeText(*t) : time.trimmed();
}

QString entryKey(ListKind kind, int day, int month, const QString& time, const QString& message) {
    return QStringLiteral("%1|%2/%3|%4|%5")
        .arg(tabOf(kind))
        .arg(day)
        .arg(month)
        .arg(comparableTime(time), message);
}

class Planner {
  public:
    Planner(const Agenda& agenda, const QTimeZone& zone)
        : zone_(zone), today_(agenda.clock().today()) {
        // Up to 365 days ahead, but never today's day and month a year later.
        lastDay_ = std::min(today_.addDays(365), today_.addYears(1).addDays(-1));
        for (ListKind kind : kAllListKinds) {
            const ListModel& list = agenda.list(kind);
            room_[tabOf(kind)] = ListModel::kMaxEntries - list.entryCount();
            for (int r = 0; r < list.entryCount(); ++r) {
                const AgendaEntry& e = list.entry(r);
                if (const auto dm = dateTextOfAnyYear(e.date))
                    keys_.insert(entryKey(kind, dm->day, dm->month, e.time, e.message));
            }
        }
    }

    CalendarImportPlan planImport(const QByteArray& ics) {
        Component root(icalparser_parse_string(ics.constData()));
        if (!root) return failure(QStringLiteral("il contenuto non è in formato iCalendar"));
        QList<icalcomponent*> calendars;
        if (icalcomponent_isa(root.get()) == ICAL_VCALENDAR_COMPONENT) {
            calendars << root.get();
        } else {
            for (icalcomponent* c =
                     icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT);
                 c; c = icalcomponent_get_next_component(root.get(), ICAL_VCALENDAR_COMPONENT))
                calendars << c;
        }
        if (calendars.isEmpty())
            return failure(QStringLiteral("il contenuto non è in formato iCalendar"));
        int events = 0;
        for (icalcomponent* calendar : calendars) {
            const bool cancelled = icalcomponent_get_method(calendar) == ICAL_METHOD_CANCEL;
            for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT);
                 c; c = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT)) {
                switch (icalcomponent_isa(c)) {
                    case ICAL_VEVENT_COMPONENT:
                        ++events;
                        addEvent(c, cancelled);
                        break;
                    case ICAL_VTIMEZONE_COMPONENT:
                        break;
                    default:
                        ++plan_.otherItems;
                        break;
                }
            }
        }
        if (events == 0) return failure(QStringLiteral("il file non contiene eventi"));
        return plan_;
    }

  private:
    CalendarImportPlan failure(const QString& reason) {
        CalendarImportPlan plan;
        plan.error = reason;
        return plan;
    }

    void addEvent(icalcomponent* event, bool cancelled) {
        if (cancelled || icalcomponent_get_status(event) == ICAL_STATUS_CANCELLED) {
            ++plan_.cancelled;
            return;
        }
        const icaltimetype start = icalcomponent_get_dtstart(event);
        if (icaltime_is_null_time(start)) {
            ++plan_.noDay;
            return;
        }
        const std::optional<ListKind> named = namedList(event);
        icalproperty* rule = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY);
        const icalrecurrencetype recurrence =
            rule ? icalproperty_get_rrule(rule) : icalrecurrencetype{};
        const ListKind kind =
            named ? *named
                  : (rule && isYearlyOnSameDay(recurrence, start) ? ListKind::Ricorrenze
                                                                  : ListKind::Appuntamenti);

        LocalStart when = toLocal(start, zone_);
        bool repeated = false;
        if (kind == ListKind::Ricorrenze && rule && isYearlyOnSameDay(recurrence, start)) {
            // An anniversary has no year: only one that starts after the
            // window is left out. 29 February stays, for the leap years.
            if (when.date > lastDay_) {
                ++plan_.later;
                return;
            }
        } else {
            if (rule) {
                const std::optional<LocalStart> next = nextOccurrence(event, recurrence, start);
                if (!next) {
                    ++plan_.past;
                    return;
                }
                when = *next;
                repeated = true;
            }
            if (when.date < today_) {
                ++plan_.past;
                return;
            }
            if (when.date > lastDay_) {
                ++plan_.later;
                return;
            }
            if (!entryDate(formatDateText(when.date), today_.year())) {
                ++plan_.noDay;  // 29 February of a leap year seen in a common one
                return;
            }
        }

        ImportedEntry entry;
        entry.kind = kind;
        entry.day = when.date.day();
        entry.month = when.date.month();
        entry.message = cleanCellText(
            calendarTitle(QString::fromUtf8(icalcomponent_get_summary(event))).trimmed());
        if (kind == ListKind::Appuntamenti) {
            if (when.time) {
                entry.time = formatTimeText(*when.time);
            } else {
                // An appointment whose time is no time of day keeps it as a
                // note, which is how it was exported.
                const QString note = QString::fromUtf8(icalcomponent_get_description(event));
                if (named && note.startsWith(QStringLiteral("Ora: ")))
                    entry.time = cleanCellText(withoutControlCharacters(note.mid(5)).trimmed());
            }
        }
        const QString key = entryKey(kind, entry.day, entry.month, entry.time, entry.message);
        if (keys_.contains(key)) {
            ++plan_.present;
            return;
        }
        if (room_[tabOf(kind)] <= 0) {
            ++plan_.full;
            return;
        }
        --room_[tabOf(kind)];
        keys_.insert(key);
        if (repeated) ++plan_.nextOccurrences;
        plan_.entries << entry;
    }

    // The first occurrence from today on, skipping excluded dates; none when
    // the repetition has ended.
    std::optional<LocalStart> nextOccurrence(icalcomponent* event, const icalrecurrencetype& rule,
                                             const icaltimetype& start) {
        QList<LocalStart> excluded;
        for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY); p;
             p = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY))
            excluded << toLocal(icalproperty_get_datetime_with_component(p, event), zone_);
        icalrecur_iterator* it = icalrecur_iterator_new(rule, start);
        if (!it) return std::nullopt;
        std::optional<LocalStart> found;
        for (int n = 0; n < kMaxOccurrences; ++n) {
            const icaltimetype t = icalrecur_iterator_next(it);
            if (icaltime_is_null_time(t)) break;
            const LocalStart at = toLocal(t, zone_);
            if (at.date < today_) continue;
            if (std::any_of(excluded.cbegin(), excluded.cend(), [&](const LocalStart& x) {
                    return x.date == at.date && (!x.time || !at.time || *x.time == *at.time);
                }))
                continue;
            found = at;
            break;
        }
        icalrecur_iterator_free(it);
        return found;
    }

    QTimeZone zone_;
    QDate today_;
    QDate lastDay_;
    QSet<QString> keys_;
    int room_[3] = {};
    CalendarImportPlan plan_;
};

QString countedText(int n, const char* one, const char* many) {
    return n == 1 ? QStringLiteral("1 %1").arg(QString::fromUtf8(one))
                  : QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(many));
}

// What was left out and why, one reason a line.
QString leftOutText(const CalendarImportPlan& plan) {
    const int total = plan.leftOut();
    if (total == 0) return {};
    QString text = total == 1 ? QStringLiteral("Tralasciato 1 elemento:")
                              : QStringLiteral("Tralasciati %1 elementi:").arg(total);
    const struct {
        int count;
        const char* one;
        const char* many;
    } reasons[] = {
        {plan.past, "già passato", "già passati"},
        {plan.later, "oltre un anno da oggi", "oltre un anno da oggi"},
        {plan.present, "già presente nelle liste", "già presenti nelle liste"},
        {plan.cancelled, "annullato", "annullati"},
        {plan.noDay, "senza una data che le liste possano tenere quest'anno",
         "senza una data che le liste possano tenere quest'anno"},
        {plan.full, "per una lista piena", "per liste piene"},
        {plan.otherItems, "non evento (attività, nota o allarme a sé)",
         "non eventi (attività, note o allarmi a sé)"},
    };
    for (const auto& r : reasons)
        if (r.count > 0) text += QStringLiteral("\n- ") + countedText(r.count, r.one, r.many);
    return text;
}

void removeLast(ListModel& list, const AgendaEntry& entry) {
    for (int r = list.entryCount() - 1; r >= 0; --r) {
        const AgendaEntry& e = list.entry(r);
        if (e.date == entry.date && e.message == entry.message && e.time == entry.time) {
            list.removeAt(r);
            return;
        }
    }
}

// Adds the entries where insertion would put them and runs the save command.
// When a list cannot be saved the entries come out again and the lists are
// written back as they were before.
bool addAndSave(Agenda& agenda, const QList<ImportedEntry>& entries) {
    const int year = agenda.clock().year();
    QList<AgendaEntry> added;
    for (const ImportedEntry& e : entries) {
        ListModel& list = agenda.list(e.kind);
        AgendaEntry entry;
        entry.date = formatDateText(e.day, e.month);
        entry.message = e.message;
        entry.time = e.time;
        const std::optional<QDate> date = entryDate(entry.date, year);
        list.insertAt(date ? insertionPlace(list, *date, agenda.settings().sortAscending, year)
                           : list.entryCount(),
                      entry);
        added << entry;
    }
    if (saveAll(agenda)) return true;
    for (qsizetype i = added.size() - 1; i >= 0; --i)
        removeLast(agenda.list(entries[i].kind), added[i]);
    for (ListKind kind : kAllListKinds)
        writeFileAtomically(agenda.filePath(QString::fromLatin1(listTraits(kind).fileName)),
                            serializeList(agenda.list(kind).entries(), kind));
    paintUrgencyColours(agenda);
    return false;
}

}  // namespace

int CalendarImportPlan::count(ListKind kind) const {
    return static_cast<int>(
        std::count_if(entries.cbegin(), entries.cend(),
                      [kind](const ImportedEntry& e) { return e.kind == kind; }));
}

CalendarImportPlan planCalendarImport(const QByteArray& ics, const Agenda& agenda,
                                      const QTimeZone& zone) {
    icalerror_set_errors_are_fatal(0);
    QByteArray text = ics;
    if (text.startsWith("\xEF\xBB\xBF")) text.remove(0, 3);
    CalendarImportPlan plan;
    if (text.trimmed().isEmpty()) {
        plan.error = QStringLiteral("il file è vuoto");
        return plan;
    }
    if (!text.trimmed().toUpper().startsWith("BEGIN:VCALENDAR")) {
        plan.error = QStringLiteral("il contenuto non è in formato iCalendar");
        return plan;
    }
    return Planner(agenda, zone).planImport(text);
}

CalendarImportPlan planCalendarFileImport(const QString& path, const Agenda& agenda,
                                          const QTimeZone& zone) {
    CalendarImportPlan plan;
    const QFileInfo info(path);
    QString reason;
    if (!info.exists()) {
        plan.error = QStringLiteral("il file non esiste");
    } else if (info.isDir()) {
        plan.error = QStringLiteral("è una cartella, non un file");
    } else if (info.size() > kMaxCalendarFileBytes) {
        plan.error = QStringLiteral("il file è troppo grande (%1 MB; il massimo è %2 MB)")
                         .arg((info.size() + 1024 * 1024 - 1) / (1024 * 1024))
                         .arg(kMaxCalendarFileBytes / (1024 * 1024));
    } else if (const auto bytes = readWholeFile(path, &reason)) {
        return planCalendarImport(*bytes, agenda, zone);
    } else {
        plan.error = QStringLiteral("impossibile leggerlo (%1)").arg(reason);
    }
    return plan;
}

QString calendarImportText(const CalendarImportPlan& plan, const QString& path) {
    const QString name = QDir::toNativeSeparators(path);
    const QString leftOut = leftOutText(plan);
    if (plan.entries.isEmpty())
        return QStringLiteral("Nessun evento da aggiungere dal file \"%1\".\n\n%2")
            .arg(name, leftOut);
    QString text = QStringLiteral("Dal file \"%1\" verranno aggiunti:").arg(name);
    const int appointments = plan.count(ListKind::Appuntamenti);
    if (appointments > 0)
        text += "\n- " + countedText(appointments, "appuntamento", "appuntamenti");
    if (plan.nextOccurrences > 0)
        text += plan.nextOccurrences == 1
                    ? QStringLiteral(" (1 è la prossima data di un evento ripetuto)")
                    : QStringLiteral(" (%1 sono la prossima data di un evento ripetuto)")
                          .arg(plan.nextOccurrences);
    if (const int n = plan.count(ListKind::Scadenze))
        text += "\n- " + countedText(n, "scadenza", "scadenze");
    if (const int n = plan.count(ListKind::Ricorrenze))
        text += "\n- " + countedText(n, "ricorrenza", "ricorrenze");
    if (!leftOut.isEmpty()) text += "\n\n" + leftOut;
    return text + QStringLiteral("\n\nAggiungerli alle liste?");
}

int importCalendarInto(Agenda& agenda, const QString& path, const QTimeZone& zone) {
    Dialogs& dialogs = agenda.dialogs();
    const QString title = QStringLiteral("IMPORTA CALENDARIO");
    const CalendarImportPlan plan = planCalendarFileImport(path, agenda, zone);
    if (plan.error) {
        dialogs.notice(QStringLiteral("Calendario non importato dal file \"%1\": %2.")
                           .arg(QDir::toNativeSeparators(path), *plan.error),
                       MsgIcon::Critical, title);
        return 0;
    }
    if (plan.entries.isEmpty()) {
        dialogs.notice(calendarImportText(plan, path), MsgIcon::Information, title);
        return 0;
    }
    if (dialogs.message(calendarImportText(plan, path), MsgButtons::YesNo, MsgIcon::Question,
                        title) != MsgAnswer::Yes)
        return 0;
    if (!addAndSave(agenda, plan.entries)) {
        dialogs.notice(QStringLiteral("Calendario non importato dal file \"%1\": le liste non si "
                                      "possono salvare, e non è stato aggiunto nulla.")
                           .arg(QDir::toNativeSeparators(path)),
                       MsgIcon::Critical, title);
        return 0;
    }
    return static_cast<int>(plan.entries.size());
}

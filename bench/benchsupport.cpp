#include "benchsupport.h"

#include <QRandomGenerator>

#include <cstdio>

#include "core/dates.h"
#include "core/fileio.h"
#include "core/listkind.h"
#include "core/listrecords.h"
#include "core/settings.h"

namespace bench {

QList<AgendaEntry> randomAppointments(int count, quint32 seed) {
    QRandomGenerator random(seed);
    QList<AgendaEntry> out;
    out.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QDate date = QDate(2026, 1, 1).addDays(random.bounded(365));
        AgendaEntry e;
        e.date = formatDateText(date);
        e.message = QStringLiteral("Appuntamento numero %1").arg(i);
        const int kind = random.bounded(10);
        if (kind == 0) {
            e.time.clear();
        } else {
            const int h = random.bounded(24), m = random.bounded(4) * 15;
            e.time = kind == 1 ? QStringLiteral("%1:%2")
                                     .arg(h, 2, 10, QLatin1Char('0'))
                                     .arg(m, 2, 10, QLatin1Char('0'))
                               : QStringLiteral("%1:%2").arg(h).arg(m, 2, 10, QLatin1Char('0'));
        }
        out.append(e);
    }
    return out;
}

bool writeListFiles(int perList, quint32 seed) {
    for (ListKind kind : kAllListKinds) {
        QList<AgendaEntry> entries = randomAppointments(perList, seed + tabOf(kind));
        if (!listTraits(kind).hasTime)
            for (AgendaEntry& e : entries) e.time.clear();
        if (const auto error =
                writeFileAtomically(listFileName(kind), serializeList(entries, kind))) {
            std::fprintf(stderr, "cannot write the lists: %s\n", qPrintable(*error));
            return false;
        }
    }
    // A week of notice, as a user who relies on the digest would set it.
    Settings settings;
    settings.daysOfNotice = 7;
    if (const auto error = writeFileAtomically(QString::fromLatin1(kSettingsFileName),
                                               serializeSettings(settings))) {
        std::fprintf(stderr, "cannot write the settings: %s\n", qPrintable(*error));
        return false;
    }
    return true;
}

void print(const char* name, double value, const char* unit) {
    std::printf("%s: %.3f%s%s\n", name, value, unit[0] ? " " : "", unit);
    std::fflush(stdout);
}

void printAgainstFloor(const char* name, double value, const char* unit, const char* floorName,
                       double floor, double limit) {
    const double ratio = floor > 0 ? value / floor : 0;
    std::printf("%s: %.3f %s  (%.2f x %s; goal at most %g x: %s)\n", name, value, unit, ratio,
                floorName, limit, floor > 0 && ratio <= limit ? "met" : "NOT met");
    std::fflush(stdout);
}

void printAgainstAllowance(const char* name, double value, const char* unit, const char* floorName,
                           double floor, double allowance) {
    std::printf("%s: %.3f %s  (%s + %.3f %s; goal at most %s + %g %s: %s)\n", name, value, unit,
                floorName, value - floor, unit, floorName, allowance, unit,
                value - floor <= allowance ? "met" : "NOT met");
    std::fflush(stdout);
}

void printAgainstBound(const char* name, double value, const char* unit, double bound,
                       bool atLeast) {
    const bool met = atLeast ? value >= bound : value < bound;
    std::printf("%s: %.3f%s%s  (goal %s %g%s%s: %s)\n", name, value, unit[0] ? " " : "", unit,
                atLeast ? "at least" : "under", bound, unit[0] ? " " : "", unit,
                met ? "met" : "NOT met");
    std::fflush(stdout);
}

}  // namespace bench

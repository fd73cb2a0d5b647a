// libFuzzer target: what the calendar reader's isolated task hands back is
// trusted by nothing. Any bytes either decode to a reading within the
// limits, which is planned against the lists and put in a box, or to
// nothing; a decoded reading survives encoding and decoding unchanged.
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

#include "core/agenda.h"
#include "core/clock.h"
#include "core/dialogs.h"
#include "core/listmodel.h"
#include "operations/calendarimport.h"
#include "operations/calendarreading.h"

namespace {

class FixedClock final : public Clock {
  public:
    QDateTime now() const override { return QDateTime(QDate(2026, 3, 7), QTime(10, 0)); }
};

class NoDialogs final : public Dialogs {
  public:
    MsgAnswer message(const QString&, MsgButtons, MsgIcon, const std::optional<QString>&) override {
        return MsgAnswer::No;
    }
    QString input(const QString&, const std::optional<QString>&, const QString&) override {
        return {};
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    nestedDeeperThan(bytes, kMaxCalendarNesting);
    const std::optional<CalendarReading> reading = decodeCalendarReading(bytes);
    if (!reading) return 0;
    const std::optional<CalendarReading> again =
        decodeCalendarReading(encodeCalendarReading(*reading));
    if (!again || !(*again == *reading)) abort();  // the encoding loses or changes something

    static FixedClock clock;
    static NoDialogs dialogs;
    static Agenda agenda(clock, dialogs, QStringLiteral("/nonexistent"));
    static const bool filled = [] {
        agenda.appointments().replaceAll(
            {{QStringLiteral("10/3"), QStringLiteral("Cena"), QStringLiteral("9:05"), {}},
             {QStringLiteral("1/4"), QStringLiteral("Gita"), QString(), {}}});
        return true;
    }();
    (void)filled;
    const CalendarImportPlan plan = planCalendarImport(*reading, agenda);
    for (const ImportedEntry& e : plan.entries) {
        if (e.message.size() > kMaxImportedText || e.time.size() > kMaxImportedText) abort();
        if (e.kind != ListKind::Appointments && !e.time.isEmpty()) abort();
    }
    if (plan.entries.size() + plan.leftOut() < reading->entries.size()) abort();  // lost an event
    calendarImportText(plan, QStringLiteral("invito.ics"));
    return 0;
}

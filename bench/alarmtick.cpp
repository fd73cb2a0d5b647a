// One tick of the alarm check on a full appointments file: the steady tick,
// when the file is as the last tick left it, and the first tick after a save
// changed it, which reads and indexes the file again.

#include <QFileInfo>

#include <cstdio>
#include <memory>

#include "benchsupport.h"
#include "core/agenda.h"
#include "core/dates.h"
#include "core/fileio.h"
#include "core/listkind.h"
#include "core/listmodel.h"
#include "core/listrecords.h"
#include "notify/alarmringer.h"
#include "notify/alarmwindow.h"
#include "notify/soundplayer.h"

namespace bench {
namespace {

constexpr int kSteadyTicks = 200;
constexpr int kFirstTicks = 21;

class SilentPlayer final : public SoundPlayer {
  public:
    void play(const QString&) override {}
    void stop() override {}
};

bool writeAppointments(const QList<AgendaEntry>& entries) {
    const QString name = listFileName(ListKind::Appointments);
    if (const auto error =
            writeFileAtomically(name, serializeList(entries, ListKind::Appointments))) {
        std::fprintf(stderr, "alarm_tick_32766: cannot write the file: %s\n", qPrintable(*error));
        return false;
    }
    return true;
}

}  // namespace

bool alarmTickFigure() {
    ScratchFolder folder;
    const QDate today = benchNow().date();
    const QString todayText = formatDateText(today);

    // A full year of appointments with none today, so the ticks measure the
    // check itself and never open the alarm window.
    QList<AgendaEntry> entries = randomAppointments(ListModel::kMaxEntries, 21);
    for (AgendaEntry& e : entries)
        if (e.date == todayText) e.date = formatDateText(today.addDays(1));
    // A second version of the same size plus one character, so that every
    // rewrite is a change the check must notice even within one clock tick.
    QList<AgendaEntry> changed = entries;
    changed.first().message += QLatin1Char('!');
    if (!writeAppointments(entries)) return false;

    SteppedClock clock(benchNow().addSecs(30));
    SilentDialogs dialogs;
    Agenda agenda(clock, dialogs, QDir::currentPath());
    AlarmRinger alarms(
        agenda, clock, dialogs, [] { return std::unique_ptr<SoundPlayer>(new SilentPlayer); },
        nullptr);

    std::vector<double> steady, first;
    QElapsedTimer timer;
    clock.advanceSecs(60);
    alarms.checkAlarms();  // reads the file the first time
    for (int i = 0; i < kSteadyTicks; ++i) {
        clock.advanceSecs(60);
        timer.start();
        alarms.checkAlarms();
        steady.push_back(elapsedMillis(timer));
    }
    for (int i = 0; i < kFirstTicks; ++i) {
        if (!writeAppointments(i % 2 ? entries : changed)) return false;
        clock.advanceSecs(60);
        timer.start();
        alarms.checkAlarms();
        first.push_back(elapsedMillis(timer));
    }
    printAgainstBound("alarm_tick_32766", median(steady), "ms", 2, false);
    print("alarm_tick_32766_first", median(first), "ms");

    if (alarms.alarmWindow()) {
        std::fprintf(stderr, "alarm_tick_32766: an alarm rang though nothing is due today\n");
        return false;
    }
    // The figures only count if the ticks really look at the file: an
    // appointment saved for the next minute must ring on the next tick.
    const QTime next = clock.now().addSecs(60).time();
    const QString message = QStringLiteral("Controllo della sveglia");
    changed = entries;
    changed.last().date = todayText;
    changed.last().message = message;
    changed.last().time =
        QStringLiteral("%1:%2").arg(next.hour()).arg(next.minute(), 2, 10, QLatin1Char('0'));
    if (!writeAppointments(changed)) return false;
    clock.advanceSecs(60);
    alarms.checkAlarms();
    AlarmWindow* siren = alarms.alarmWindow();
    if (!siren || !siren->text().contains(message)) {
        std::fprintf(stderr, "alarm_tick_32766: the appointment due now did not ring\n");
        return false;
    }
    return true;
}

}  // namespace bench

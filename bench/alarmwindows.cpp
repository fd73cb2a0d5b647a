// Resident memory over many alarm windows. Each window is opened as an
// alarm opens it (the real AlarmWindow with the program's own player, its
// sound a short .wav of silence), shown and painted offscreen, then closed
// as a click on its text closes it, and destroyed. What each window leaves
// behind adds up over months in the notification area.

#include <QCoreApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScopeGuard>
#include <QtEndian>

#include <cstdio>
#include <memory>

#include "benchsupport.h"
#include "core/settings.h"
#include "notify/alarmwindow.h"
#include "notify/soundplayer.h"

namespace bench {
namespace {

constexpr int kWarmUpWindows = 20;
constexpr int kWindows = 500;

// Resident memory of this process in KiB (VmRSS), or -1 where /proc is
// missing.
qint64 residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// A tenth of a second of silence, 16-bit mono at 8,000 Hz.
bool writeSilence(const QString& path) {
    const quint32 dataBytes = 1600;
    QByteArray wav("RIFF");
    auto u32 = [&wav](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        wav.append(b, 4);
    };
    auto u16 = [&wav](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        wav.append(b, 2);
    };
    u32(36 + dataBytes);
    wav += "WAVEfmt ";
    u32(16), u16(1), u16(1), u32(8000), u32(16000), u16(2), u16(16);
    wav += "data";
    u32(dataBytes);
    wav += QByteArray(dataBytes, '\0');
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(wav) == wav.size();
}

// Counts the paints of a widget.
class PaintCounter final : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// The offscreen platform says this for every window shown; the rest goes on
// to the handler that was there.
QtMessageHandler gPreviousHandler = nullptr;
void dropRaiseWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message == QLatin1String("This plugin does not support raise()")) return;
    gPreviousHandler(type, context, message);
}

// One alarm window from opening to destruction. False, with a message,
// when the window was not painted, did not play its sound through its own
// output or outlived its closing.
bool ringOnce(const SoundPlayerFactory& makePlayer, const Settings& settings) {
    WavSoundPlayer* player = nullptr;
    auto* siren = new AlarmWindow(
        [&] {
            auto made = makePlayer();
            player = dynamic_cast<WavSoundPlayer*>(made.get());
            return made;
        }(),
        settings);
    QPointer<AlarmWindow> guard(siren);
    PaintCounter counter;
    siren->findChild<QPlainTextEdit*>(QStringLiteral("TxtMsg"))
        ->viewport()
        ->installEventFilter(&counter);
    const QDateTime now = benchNow();
    siren->addAlarms({{AlarmKind::Due, now, QStringLiteral("Dentista")}}, now);
    siren->showAlarm();
    QElapsedTimer waited;
    waited.start();
    while (counter.paints == 0 && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (counter.paints == 0) {
        std::fprintf(stderr, "alarm_windows_500_rss: a window was never painted\n");
        return false;
    }
    if (!player || player->route() != SoundRoute::Samples) {
        std::fprintf(
            stderr,
            "alarm_windows_500_rss: the sound did not go through the player's own output\n");
        return false;
    }
    siren->acknowledge();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (guard) {
        std::fprintf(stderr, "alarm_windows_500_rss: a closed window was not destroyed\n");
        return false;
    }
    return true;
}

}  // namespace

bool alarmWindowsFigure() {
    ScratchFolder folder;
    Settings settings;
    settings.alarmSound = folder.path() + QStringLiteral("/silenzio.wav");
    if (!writeSilence(settings.alarmSound)) {
        std::fprintf(stderr, "alarm_windows_500_rss: cannot write the sound\n");
        return false;
    }
    const SoundPlayerFactory makePlayer = systemSoundPlayerFactory();
    gPreviousHandler = qInstallMessageHandler(dropRaiseWarnings);
    const auto restoreHandler = qScopeGuard([] { qInstallMessageHandler(gPreviousHandler); });
    // The first windows load what every later one shares (fonts, styles,
    // the audio devices): not counted.
    for (int i = 0; i < kWarmUpWindows; ++i)
        if (!ringOnce(makePlayer, settings)) return false;
    const qint64 before = residentKiB();
    for (int i = 0; i < kWindows; ++i)
        if (!ringOnce(makePlayer, settings)) return false;
    const qint64 after = residentKiB();
    if (before < 0 || after < 0) {
        std::fprintf(stderr, "alarm_windows_500_rss: the resident memory cannot be read here\n");
        return false;
    }
    printAgainstBound("alarm_windows_500_rss", (after - before) / 1024.0, "MB", 1, false);
    return true;
}

}  // namespace bench

// The alarm sound heard as the user hears it: played through a real audio
// server (a PulseAudio null sink, recorded from its monitor with parec) by
// the real alarm window and player, with the media backend the environment
// names. The recording must hold the sound again every 3 seconds. Skipped
// (exit code 77) where no audio server can be started.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest/QTest>

#include <cmath>
#include <cstdio>

#include "core/settings.h"
#include "notify/alarmwindow.h"
#include "notify/soundplayer.h"

namespace {

constexpr int kRecordRate = 8000;
// Long enough for a player that gives up after a few restarts to show it.
constexpr int kRingingMs = 22500;  // ends between two starts

// A mono 16-bit PCM .wav: `seconds` of a 1 kHz tone.
QByteArray toneWav(double seconds) {
    const int rate = 44100;
    const int samples = static_cast<int>(seconds * rate);
    QByteArray data(samples * 2, Qt::Uninitialized);
    for (int i = 0; i < samples; ++i)
        qToLittleEndian<qint16>(static_cast<qint16>(12000 * std::sin(2 * M_PI * 1000 * i / rate)),
                                data.data() + 2 * i);
    QByteArray wav("RIFF");
    auto u32 = [&wav](quint32 v) { wav.append(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&wav](quint16 v) { wav.append(reinterpret_cast<const char*>(&v), 2); };
    u32(36 + data.size());
    wav += "WAVEfmt ";
    u32(16), u16(1), u16(1), u32(rate), u32(rate * 2), u16(2), u16(16);
    wav += "data";
    u32(data.size());
    return wav + data;
}

// The sounds in a recording (signed 16-bit mono at kRecordRate): where each
// starts and how long it lasts, in seconds, from 20 ms windows above a
// threshold, a sound ending after 200 ms of quiet.
struct Burst {
    double start;
    double length;
};
QList<Burst> burstsIn(const QByteArray& raw) {
    const int window = kRecordRate / 50;
    const auto* s = reinterpret_cast<const qint16*>(raw.constData());
    const qsizetype n = raw.size() / 2;
    QList<Burst> bursts;
    int quiet = 10;
    double lastLoud = 0;
    for (qsizetype w = 0; w + window <= n; w += window) {
        double sum = 0;
        for (int i = 0; i < window; ++i) sum += double(s[w + i]) * s[w + i];
        const bool loud = std::sqrt(sum / window) > 1000;
        const double t = double(w) / kRecordRate;
        if (loud && quiet >= 10) bursts.append({t, 0});
        if (loud) {
            lastLoud = t + 0.02;
            bursts.last().length = lastLoud - bursts.last().start;
        }
        quiet = loud ? 0 : quiet + 1;
    }
    return bursts;
}

QString gServer;  // the PulseAudio socket the test started

}  // namespace

class SoundTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void alarmSoundStartsAgainEveryThreeSeconds() {
        QTemporaryDir dir;
        const QString wav = dir.filePath("allarme.wav");
        QFile f(wav);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(toneWav(0.5));
        f.close();
        QCOMPARE(readWavFile(wav).kind, WavSampleKind::Int16);

        // Silence played into the sink all along keeps it running, so the
        // recording's time runs with the clock between the sounds too. Its
        // latency is short: the server mixes a new sound after what it has
        // already taken of this stream.
        QProcess silence;
        silence.start(QStandardPaths::findExecutable("pacat"),
                      {"--server=" + gServer, "--latency-msec=20", "-d", "rec", "--raw",
                       "--format=s16le", "--channels=1", "--rate=8000", "/dev/zero"});
        QVERIFY(silence.waitForStarted());
        QProcess recorder;
        recorder.setStandardOutputFile(dir.filePath("rec.raw"));
        recorder.start(
            QStandardPaths::findExecutable("parec"),
            {"--server=" + gServer, "-d", "rec.monitor", "--raw", "--format=s16le", "--channels=1",
             "--rate=" + QString::number(kRecordRate), "--latency-msec=20"});
        QVERIFY(recorder.waitForStarted());
        QTest::qWait(500);

        Settings settings;
        settings.alarmSound = wav;
        {
            AlarmWindow siren(systemSoundPlayerFactory()(), settings);
            const QDateTime now = QDateTime::currentDateTime();
            siren.addAlarms({{AlarmKind::Due, now, "Dentista"}}, now);
            // The sound plays as long as it must: this waits on real audio.
            QTest::qWait(kRingingMs);
        }
        QTest::qWait(300);
        recorder.terminate();
        QVERIFY(recorder.waitForFinished(3000));
        silence.terminate();
        silence.waitForFinished(3000);

        QFile rec(dir.filePath("rec.raw"));
        QVERIFY(rec.open(QIODevice::ReadOnly));
        const QList<Burst> bursts = burstsIn(rec.readAll());
        QStringList at;
        for (const Burst& b : bursts)
            at << QStringLiteral("%1 (%2 s)").arg(b.start, 0, 'f', 2).arg(b.length, 0, 'f', 2);
        const QByteArray seen = at.join(", ").toLocal8Bit();
        qInfo("backend %s: the sound started at %s", qgetenv("QT_MEDIA_BACKEND").constData(),
              seen.constData());
        // At once, and every 3 seconds the whole tone again, for as long as
        // the window rings. Where the server has not yet kept the sink
        // running, the recording may begin with the first tone and skip the
        // quiet after it: the first tone and gap are not measured.
        QVERIFY2(bursts.size() == kRingingMs / 3000 + 1, seen.constData());
        for (int i = 1; i < bursts.size(); ++i) {
            QVERIFY2(std::abs(bursts[i].length - 0.5) < 0.1, seen.constData());
            if (i == 1) continue;
            QVERIFY2(std::abs(bursts[i].start - bursts[i - 1].start - 3) < 0.3, seen.constData());
        }
    }

    void otherFilesGoToTheMediaPlayerThenTheBeep() {
        QTemporaryDir dir;
        const QString compressed = dir.filePath("compresso.wav");
        QFile f(compressed);
        QVERIFY(f.open(QIODevice::WriteOnly));
        // A .wav of MP3 frames (format 0x55).
        QByteArray mp3Wav("RIFF\x30\0\0\0WAVEfmt \x10\0\0\0\x55\0\x01\0", 24);
        f.write(mp3Wav + QByteArray(16, '\0'));
        f.close();
        QCOMPARE(readWavFile(compressed).verdict, WavVerdict::OtherFormat);
        int beeps = 0;
        WavSoundPlayer player(std::make_shared<SoundLibrary>(readWavFile, [&beeps] { ++beeps; }));
        auto handedToMediaPlayer = [&player](const QString& path) {
            return player.mediaPlayer() &&
                   player.mediaPlayer()->mediaPlayer()->source() ==
                       QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
        };
        player.play(compressed);
        QVERIFY(handedToMediaPlayer(compressed));

        // A header that claims more than the file holds: the media player
        // gets it, fails (at once or a little later, as the backend goes),
        // and the beep takes over, now and at every restart after.
        const QString damaged = QStringLiteral(RICORDEL_TEST_DATA "/sounds/fmt-claims-4gb.wav");
        const int before = beeps;
        player.play(damaged);
        QVERIFY(handedToMediaPlayer(damaged));
        QTRY_COMPARE_WITH_TIMEOUT(player.route(), SoundRoute::Beep, 15000);
        QCOMPARE(beeps, before + 1);
        player.play(damaged);
        QCOMPARE(beeps, before + 2);
    }
};

int main(int argc, char** argv) {
    const QString pulseaudio = QStandardPaths::findExecutable("pulseaudio");
    const QString parec = QStandardPaths::findExecutable("parec");
    if (pulseaudio.isEmpty() || parec.isEmpty()) {
        std::puts(
            "skipped: pulseaudio and parec are needed (packages pulseaudio, pulseaudio-utils)");
        return 77;
    }
    QTemporaryDir runtime;
    const QString socket = runtime.filePath("native");
    QProcess server;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("HOME", runtime.path());
    server.setProcessEnvironment(env);
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(pulseaudio,
                 {"--daemonize=no", "-n", "--exit-idle-time=-1", "--disallow-exit",
                  "--load=module-null-sink sink_name=rec",
                  "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket});
    bool up = server.waitForStarted(5000);
    for (int i = 0; up && i < 100 && !QFile::exists(socket); ++i) QThread::msleep(50);
    if (!up || !QFile::exists(socket)) {
        std::puts("skipped: no audio server could be started");
        return 77;
    }
    gServer = "unix:" + socket;
    qputenv("PULSE_SERVER", gServer.toLocal8Bit());
    qputenv("PULSE_SINK", "rec");
    int result = 0;
    {
        QApplication app(argc, argv);
        SoundTest test;
        result = QTest::qExec(&test, argc, argv);
    }
    server.terminate();
    server.waitForFinished(3000);
    return result;
}

#include "sound_test.moc"

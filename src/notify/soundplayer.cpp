#include "notify/soundplayer.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QAudioSink>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QtEndian>

#include <algorithm>
#include <cstring>

bool soundFileExists(const QString& path) {
    return !path.trimmed().isEmpty() && QFileInfo(path).isFile();
}

WavSamples readWavSamples(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray head = file.read(12);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE") return {};
    int format = 0, channels = 0, rate = 0, bits = 0;
    // The chunks: "fmt " tells the kind of samples, "data" holds them.
    for (;;) {
        const QByteArray chunk = file.read(8);
        if (chunk.size() < 8) return {};
        const quint32 size = qFromLittleEndian<quint32>(chunk.constData() + 4);
        if (chunk.startsWith("fmt ")) {
            const QByteArray fmt = file.read(size + (size & 1));
            if (fmt.size() < 16) return {};
            format = qFromLittleEndian<quint16>(fmt.constData());
            channels = qFromLittleEndian<quint16>(fmt.constData() + 2);
            rate = static_cast<int>(qFromLittleEndian<quint32>(fmt.constData() + 4));
            bits = qFromLittleEndian<quint16>(fmt.constData() + 14);
            // Extensible: the sample kind is the first field of its sub-format.
            if (format == 0xFFFE && fmt.size() >= 26)
                format = qFromLittleEndian<quint16>(fmt.constData() + 24);
        } else if (chunk.startsWith("data")) {
            if (format == 0) return {};  // samples before their description
            WavSamples out;
            out.data = file.read(std::min<qint64>(size, WavSoundPlayer::kMaxBytes));
            QAudioFormat& f = out.format;
            f.setSampleRate(rate);
            f.setChannelCount(channels);
            if (format == 1 && bits == 8) {
                f.setSampleFormat(QAudioFormat::UInt8);
            } else if (format == 1 && bits == 16) {
                f.setSampleFormat(QAudioFormat::Int16);
            } else if (format == 1 && bits == 32) {
                f.setSampleFormat(QAudioFormat::Int32);
            } else if (format == 1 && bits == 24) {
                // The output takes no 24-bit samples: each becomes the top
                // three bytes of a 32-bit one.
                QByteArray wide((out.data.size() / 3) * 4, '\0');
                for (qsizetype i = 0, j = 0; i + 3 <= out.data.size(); i += 3, j += 4)
                    std::memcpy(wide.data() + j + 1, out.data.constData() + i, 3);
                out.data = wide;
                f.setSampleFormat(QAudioFormat::Int32);
            } else if (format == 3 && bits == 32) {
                f.setSampleFormat(QAudioFormat::Float);
            } else {
                return {};
            }
            const int frame = f.bytesPerFrame();
            if (!f.isValid() || frame <= 0 || rate <= 0) return {};
            out.data.truncate(out.data.size() - out.data.size() % frame);
            // A little silence first: a new stream may drop its first
            // milliseconds, which then fall on no sound instead of cutting
            // the start of the tone with a click.
            const qsizetype leadIn = f.bytesForDuration(kLeadInMicroseconds) / frame * frame;
            out.data.prepend(leadIn, f.sampleFormat() == QAudioFormat::UInt8 ? char(0x80) : '\0');
            return out;
        } else if (!file.seek(file.pos() + size + (size & 1))) {
            return {};
        }
    }
}

namespace {

QUrl urlOf(const QString& path) {
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
}

}  // namespace

MediaSoundPlayer::MediaSoundPlayer()
    : output_(std::make_unique<QAudioOutput>()), player_(std::make_unique<QMediaPlayer>()) {
    player_->setAudioOutput(output_.get());
}

MediaSoundPlayer::~MediaSoundPlayer() {
    player_->stop();
    player_->setAudioOutput(nullptr);
}

void MediaSoundPlayer::play(const QString& path) {
    if (!soundFileExists(path)) {
        stop();
        return;
    }
    // Handing the same source again does nothing: clear it first, so the
    // file is loaded again and plays from its beginning on every backend.
    player_->stop();
    player_->setSource(QUrl());
    player_->setSource(urlOf(path));
    player_->play();
}

void MediaSoundPlayer::stop() {
    player_->stop();
}

WavSoundPlayer::WavSoundPlayer() = default;

WavSoundPlayer::~WavSoundPlayer() {
    stop();
}

void WavSoundPlayer::play(const QString& path) {
    if (!soundFileExists(path)) {
        stop();
        return;
    }
    if (path != path_) {
        stop();
        path_ = path;
        samples_ = readWavSamples(path);
        fallbackActive_ = !samples_.format.isValid();
    }
    if (fallbackActive_) {
        if (!fallback_) fallback_ = std::make_unique<MediaSoundPlayer>();
        fallback_->play(path);
        return;
    }
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return;  // no audio output on this machine
    // A fresh stream for each start: the last one is dropped wherever it was.
    if (sink_) sink_->stop();
    sink_ = std::make_unique<QAudioSink>(device, samples_.format);
    buffer_ = std::make_unique<QBuffer>();
    buffer_->setData(samples_.data);
    buffer_->open(QIODevice::ReadOnly);
    sink_->start(buffer_.get());
}

void WavSoundPlayer::stop() {
    if (sink_) sink_->stop();
    sink_.reset();
    buffer_.reset();
    if (fallback_) fallback_->stop();
}

SoundPlayerFactory systemSoundPlayerFactory() {
    return [] { return std::unique_ptr<SoundPlayer>(std::make_unique<WavSoundPlayer>()); };
}

#include "notify/soundplayer.h"

#include <QAudioOutput>
#include <QFile>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QSoundEffect>
#include <QTimer>
#include <QtEndian>

bool SoundFileExists(const QString& path) {
    return !path.trimmed().isEmpty() && QFileInfo(path).isFile();
}

bool IsPlainWav(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = file.read(4096);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE") return false;
    // The chunks after the header, up to "fmt ", whose first field is the
    // sample format: 1 PCM, 3 float, 0xFFFE extensible (which names either).
    qsizetype at = 12;
    while (at + 8 <= head.size()) {
        const quint32 size = qFromLittleEndian<quint32>(head.constData() + at + 4);
        if (head.mid(at, 4) == "fmt ") {
            if (at + 10 > head.size()) return false;
            const quint16 format = qFromLittleEndian<quint16>(head.constData() + at + 8);
            return format == 1 || format == 3 || format == 0xFFFE;
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

namespace {

QUrl UrlOf(const QString& path) {
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
    if (!SoundFileExists(path)) {
        stop();
        return;
    }
    // Handing the same source again does nothing: clear it first, so the
    // file is loaded again and plays from its beginning on every backend.
    player_->stop();
    player_->setSource(QUrl());
    player_->setSource(UrlOf(path));
    player_->play();
}

void MediaSoundPlayer::stop() {
    player_->stop();
}

EffectSoundPlayer::EffectSoundPlayer()
    : effect_(std::make_unique<QSoundEffect>()), loadWait_(std::make_unique<QTimer>()) {
    QObject::connect(effect_.get(), &QSoundEffect::statusChanged, effect_.get(),
                     [this] { onStatusChanged(); });
    // Some files leave the effect loading for ever instead of failing.
    loadWait_->setSingleShot(true);
    loadWait_->setInterval(kLoadWaitMs);
    QObject::connect(loadWait_.get(), &QTimer::timeout, loadWait_.get(), [this] {
        if (effect_->status() != QSoundEffect::Ready) useFallback();
    });
}

EffectSoundPlayer::~EffectSoundPlayer() {
    loadWait_->stop();
    effect_->stop();
}

void EffectSoundPlayer::play(const QString& path) {
    if (!SoundFileExists(path)) {
        stop();
        return;
    }
    wanted_ = true;
    if (path != path_) {
        path_ = path;
        fallbackActive_ = !IsPlainWav(path);
        if (!fallbackActive_) {
            effect_->setSource(UrlOf(path));
            loadWait_->start();
        }
    }
    if (fallbackActive_ || effect_->status() == QSoundEffect::Error) {
        useFallback();
        return;
    }
    // Still loading: play() starts it as soon as it is loaded.
    effect_->stop();
    effect_->play();
}

void EffectSoundPlayer::stop() {
    wanted_ = false;
    effect_->stop();
    if (fallback_) fallback_->stop();
}

void EffectSoundPlayer::onStatusChanged() {
    if (effect_->status() == QSoundEffect::Ready) loadWait_->stop();
    if (effect_->status() == QSoundEffect::Error) useFallback();
}

void EffectSoundPlayer::useFallback() {
    loadWait_->stop();
    const bool switching = !fallbackActive_;
    fallbackActive_ = true;
    if (!wanted_) return;
    if (switching) effect_->stop();
    if (!fallback_) fallback_ = std::make_unique<MediaSoundPlayer>();
    fallback_->play(path_);
}

SoundPlayerFactory SystemSoundPlayerFactory() {
    return [] { return std::unique_ptr<SoundPlayer>(std::make_unique<EffectSoundPlayer>()); };
}

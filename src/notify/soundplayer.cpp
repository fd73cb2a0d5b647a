#include "notify/soundplayer.h"

#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QSoundEffect>

bool SoundFileExists(const QString& path) {
    return !path.trimmed().isEmpty() && QFileInfo(path).isFile();
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

EffectSoundPlayer::EffectSoundPlayer() : effect_(std::make_unique<QSoundEffect>()) {
    QObject::connect(effect_.get(), &QSoundEffect::statusChanged, effect_.get(),
                     [this] { onStatusChanged(); });
}

EffectSoundPlayer::~EffectSoundPlayer() {
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
        fallbackActive_ = false;
        effect_->setSource(UrlOf(path));
    }
    if (fallbackActive_ || effect_->status() == QSoundEffect::Error) {
        onStatusChanged();
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
    if (effect_->status() != QSoundEffect::Error || !wanted_) return;
    if (!fallback_) fallback_ = std::make_unique<MediaSoundPlayer>();
    fallbackActive_ = true;
    fallback_->play(path_);
}

SoundPlayerFactory SystemSoundPlayerFactory() {
    return [] { return std::unique_ptr<SoundPlayer>(std::make_unique<EffectSoundPlayer>()); };
}

#include "notify/soundplayer.h"

#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QUrl>

bool SoundFileExists(const QString& path) {
    return !path.trimmed().isEmpty() && QFileInfo(path).isFile();
}

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
    const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    // Handing the same source again does not restart it: stop first, then
    // play from the beginning.
    player_->stop();
    if (player_->source() != url) player_->setSource(url);
    player_->setPosition(0);
    player_->play();
}

void MediaSoundPlayer::stop() {
    player_->stop();
}

SoundPlayerFactory MediaSoundPlayerFactory() {
    return [] { return std::unique_ptr<SoundPlayer>(std::make_unique<MediaSoundPlayer>()); };
}

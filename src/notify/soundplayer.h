#pragma once

#include <QString>

#include <functional>
#include <memory>

class QAudioOutput;
class QMediaPlayer;

// The sound of a window. play() starts the file from its beginning, also
// when it is the file already playing; a path that names no file stops
// whatever played and plays nothing.
class SoundPlayer {
  public:
    virtual ~SoundPlayer() = default;
    virtual void play(const QString& path) = 0;
    virtual void stop() = 0;
};

// Each window that sounds gets a player of its own from the factory.
using SoundPlayerFactory = std::function<std::unique_ptr<SoundPlayer>()>;

// Plays through Qt Multimedia.
class MediaSoundPlayer final : public SoundPlayer {
  public:
    MediaSoundPlayer();
    ~MediaSoundPlayer() override;
    void play(const QString& path) override;
    void stop() override;
    QMediaPlayer* mediaPlayer() const { return player_.get(); }

  private:
    std::unique_ptr<QAudioOutput> output_;
    std::unique_ptr<QMediaPlayer> player_;
};

// A factory of MediaSoundPlayer.
SoundPlayerFactory MediaSoundPlayerFactory();

// True when a sound path names an existing file.
bool SoundFileExists(const QString& path);

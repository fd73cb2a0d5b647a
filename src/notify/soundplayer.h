#pragma once

#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class QAudioOutput;
class QMediaPlayer;
class QSoundEffect;
class QTimer;

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

// Plays through QMediaPlayer, any format the media backend decodes. Each
// play() loads the file afresh: once a file has played to its end, some
// backends (GStreamer) do not start it again from a mere stop and play.
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

// Plays uncompressed .wav files through QSoundEffect, which mixes them
// itself and starts them again from the beginning on every play(), whatever
// media backend Qt picked on the machine. A file it cannot decode (a
// compressed .wav, another format under that name: its header says so, or
// the effect reports an error or is still not loaded after kLoadWaitMs) is
// played by a MediaSoundPlayer instead.
class EffectSoundPlayer final : public SoundPlayer {
  public:
    static constexpr int kLoadWaitMs = 2000;
    EffectSoundPlayer();
    ~EffectSoundPlayer() override;
    void play(const QString& path) override;
    void stop() override;
    // True while the sound goes through the fallback player.
    bool usesFallback() const { return fallbackActive_; }

  private:
    void onStatusChanged();
    void useFallback();
    std::unique_ptr<QSoundEffect> effect_;
    std::unique_ptr<QTimer> loadWait_;
    std::unique_ptr<MediaSoundPlayer> fallback_;
    QString path_;
    bool wanted_ = false;
    bool fallbackActive_ = false;
};

// A factory of the players the program uses.
SoundPlayerFactory SystemSoundPlayerFactory();

// True when the file starts as a .wav of plain samples (PCM or float), the
// kind QSoundEffect plays.
bool IsPlainWav(const QString& path);

// True when a sound path names an existing file.
bool SoundFileExists(const QString& path);

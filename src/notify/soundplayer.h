#pragma once

#include <QAudioFormat>
#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class QAudioOutput;
class QMediaPlayer;
class QAudioSink;
class QBuffer;

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

// The samples of a .wav file of plain samples (integer PCM of 8, 16, 24 or
// 32 bits, or 32-bit float), ready for an audio output: 24-bit samples are
// widened to 32 bits, and kLeadInMicroseconds of silence come first. Empty
// `format` when the file is no such .wav.
inline constexpr qint64 kLeadInMicroseconds = 40000;
struct WavSamples {
    QAudioFormat format;
    QByteArray data;
};
WavSamples readWavSamples(const QString& path);

// Plays .wav files of plain samples through an audio output of its own: the
// samples are read once, and every play() opens a new output stream from
// the first sample, so a restart never depends on how the last one ended
// and no media backend is involved. Any other file (a compressed .wav,
// another format under that name) is played by a MediaSoundPlayer.
class WavSoundPlayer final : public SoundPlayer {
  public:
    // Longer sounds are cut: the alarm window starts its sound again every
    // 3 seconds anyway.
    static constexpr qint64 kMaxBytes = 16 * 1024 * 1024;
    WavSoundPlayer();
    ~WavSoundPlayer() override;
    void play(const QString& path) override;
    void stop() override;
    // True while the sound goes through the media player.
    bool usesFallback() const { return fallbackActive_; }

  private:
    std::unique_ptr<QAudioSink> sink_;
    std::unique_ptr<QBuffer> buffer_;
    std::unique_ptr<MediaSoundPlayer> fallback_;
    WavSamples samples_;
    QString path_;
    bool fallbackActive_ = false;
};

// A factory of the players the program uses.
SoundPlayerFactory systemSoundPlayerFactory();

// True when a sound path names an existing file.
bool soundFileExists(const QString& path);

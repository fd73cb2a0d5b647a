#pragma once

#include <QAudioFormat>
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <vector>

#include "notify/logic/wavreader.h"

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
// Only regular files are handed to the backend.
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

// The samples of a .wav file of plain samples, ready for an audio output:
// 24-bit samples are widened to 32 bits, and kLeadInMicroseconds of silence
// come first. Empty `format` unless `wav` holds samples.
inline constexpr qint64 kLeadInMicroseconds = 40000;
struct WavSamples {
    QAudioFormat format;
    QByteArray data;
};
WavSamples playableSamples(const WavFile& wav);

// How a sound file is played.
enum class SoundRoute {
    Nothing,      // no file, or one that is no regular file or cannot be read
    Samples,      // plain samples, through an audio output of the player's own
    MediaPlayer,  // any other file, through a MediaSoundPlayer
    Beep,         // a file the media player could not play either
};

// One sound file as it was read, shared by the players that play it.
struct Sound {
    QString path;
    SoundRoute route = SoundRoute::Nothing;
    WavSamples samples;  // for SoundRoute::Samples
};

// The sound files read so far, shared by every player of one factory. A
// file is read when it is first played and again only when its path, size
// or time of change differ from the last read, so a sound is read once per
// change of the settings (or of the file), not once per window. A file that
// cannot be played as it is (damaged, not a regular file, refused by the
// media player) is told on standard error once per read.
class SoundLibrary {
  public:
    using Reader = std::function<WavFile(const QString& path)>;
    // `beep` defaults to the desktop's beep.
    explicit SoundLibrary(Reader reader = readWavFile, std::function<void()> beep = {});

    // The sound of `path`, an existing regular file.
    std::shared_ptr<Sound> sound(const QString& path);
    // The media player could not play `sound`: it beeps from now on.
    void mediaPlayerFailed(Sound& sound, const QString& error);
    void beep();

    // The most sounds kept (one for each sound setting), and the most of
    // their samples kept besides the latest sound's.
    static constexpr int kMaxSounds = 4;
    static constexpr qint64 kMaxKeptBytes = 2 * kMaxWavDataBytes;

  private:
    struct Entry {
        qint64 size = 0;
        QDateTime modified;
        std::shared_ptr<Sound> sound;
    };
    Reader reader_;
    std::function<void()> beep_;
    std::vector<Entry> entries_;  // latest first
};

// Plays .wav files of plain samples through an audio output of its own:
// every play() opens a new output stream from the first sample, so a
// restart never depends on how the last one ended and no media backend is
// involved. Any other file (a compressed .wav, another format under that
// name, a .wav outside the reader's bounds) is played by a
// MediaSoundPlayer, and where that fails too, by the desktop's beep.
class WavSoundPlayer final : public SoundPlayer {
  public:
    explicit WavSoundPlayer(std::shared_ptr<SoundLibrary> library = {});
    ~WavSoundPlayer() override;
    void play(const QString& path) override;
    void stop() override;
    // How the last play() went.
    SoundRoute route() const;
    // Null until a file went to the media player.
    MediaSoundPlayer* mediaPlayer() const { return fallback_.get(); }

  private:
    void playThroughMediaPlayer();
    std::shared_ptr<SoundLibrary> library_;
    std::shared_ptr<Sound> sound_;
    std::unique_ptr<QAudioSink> sink_;
    std::unique_ptr<QBuffer> buffer_;
    std::unique_ptr<MediaSoundPlayer> fallback_;
};

// A factory of the players the program uses; they share one SoundLibrary.
SoundPlayerFactory systemSoundPlayerFactory();
// The same over a given library.
SoundPlayerFactory soundPlayerFactory(std::shared_ptr<SoundLibrary> library);

// True when a sound path names an existing regular file.
bool soundFileExists(const QString& path);

#include "notify/soundplayer.h"

#include <QApplication>
#include <QAudioDevice>
#include <QAudioOutput>
#include <QAudioSink>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>

#include <algorithm>
#include <cstring>

bool soundFileExists(const QString& path) {
    return !path.trimmed().isEmpty() && QFileInfo(path).isFile();
}

WavSamples playableSamples(const WavFile& wav) {
    if (wav.verdict != WavVerdict::Samples) return {};
    WavSamples out;
    QAudioFormat& f = out.format;
    f.setSampleRate(wav.sampleRate);
    f.setChannelCount(wav.channels);
    out.data = wav.data;
    switch (wav.kind) {
        case WavSampleKind::UInt8:
            f.setSampleFormat(QAudioFormat::UInt8);
            break;
        case WavSampleKind::Int16:
            f.setSampleFormat(QAudioFormat::Int16);
            break;
        case WavSampleKind::Int24: {
            // The output takes no 24-bit samples: each becomes the top three
            // bytes of a 32-bit one.
            QByteArray wide((out.data.size() / 3) * 4, '\0');
            for (qsizetype i = 0, j = 0; i + 3 <= out.data.size(); i += 3, j += 4)
                std::memcpy(wide.data() + j + 1, out.data.constData() + i, 3);
            out.data = wide;
            f.setSampleFormat(QAudioFormat::Int32);
            break;
        }
        case WavSampleKind::Int32:
            f.setSampleFormat(QAudioFormat::Int32);
            break;
        case WavSampleKind::Float32:
            f.setSampleFormat(QAudioFormat::Float);
            break;
        case WavSampleKind::None:
            return {};
    }
    const int frame = f.bytesPerFrame();
    if (!f.isValid() || frame <= 0) return {};
    // A little silence first: a new stream may drop its first milliseconds,
    // which then fall on no sound instead of cutting the start of the tone
    // with a click. The reader's bounds on rate and channels keep it small.
    const qsizetype leadIn = f.bytesForDuration(kLeadInMicroseconds) / frame * frame;
    out.data.prepend(leadIn, f.sampleFormat() == QAudioFormat::UInt8 ? char(0x80) : '\0');
    return out;
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

SoundLibrary::SoundLibrary(Reader reader, std::function<void()> beep)
    : reader_(std::move(reader)), beep_(std::move(beep)) {}

std::shared_ptr<Sound> SoundLibrary::sound(const QString& path) {
    const QFileInfo info(path);
    const qint64 size = info.size();
    const QDateTime modified = info.lastModified();
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->sound->path != path) continue;
        if (it->size == size && it->modified == modified) {
            std::rotate(entries_.begin(), it, it + 1);
            return entries_.front().sound;
        }
        entries_.erase(it);  // the file changed since it was read
        break;
    }

    auto sound = std::make_shared<Sound>();
    sound->path = path;
    const WavFile wav = reader_ ? reader_(path) : WavFile{};
    const QByteArray shownPath = QFile::encodeName(QDir::toNativeSeparators(path));
    const QByteArray reason = wav.reason.toLocal8Bit();
    switch (wav.verdict) {
        case WavVerdict::Samples:
            sound->samples = playableSamples(wav);
            sound->route =
                sound->samples.format.isValid() ? SoundRoute::Samples : SoundRoute::MediaPlayer;
            break;
        case WavVerdict::OtherFormat:
            sound->route = SoundRoute::MediaPlayer;
            break;
        case WavVerdict::Damaged:
            qWarning(
                "Ricordel: il suono \"%s\" non si legge come .wav: %s; lo suona il lettore multimediale",
                shownPath.constData(), reason.constData());
            sound->route = SoundRoute::MediaPlayer;
            break;
        case WavVerdict::NotAFile:
            qWarning("Ricordel: il suono \"%s\" non si legge: %s; nessun suono",
                     shownPath.constData(), reason.constData());
            sound->route = SoundRoute::Nothing;
            break;
    }

    // The latest sound is always kept; older ones while they fit.
    entries_.insert(entries_.begin(), Entry{size, modified, sound});
    qint64 kept = 0;
    for (size_t i = 1; i < entries_.size(); ++i) {
        kept += entries_[i].sound->samples.data.size();
        if (i >= size_t(kMaxSounds) || kept > kMaxKeptBytes) {
            entries_.resize(i);
            break;
        }
    }
    return sound;
}

void SoundLibrary::mediaPlayerFailed(Sound& sound, const QString& error) {
    if (sound.route == SoundRoute::Beep) return;
    sound.route = SoundRoute::Beep;
    qWarning(
        "Ricordel: il lettore multimediale non suona \"%s\": %s; al suo posto un segnale acustico",
        QFile::encodeName(QDir::toNativeSeparators(sound.path)).constData(),
        error.toLocal8Bit().constData());
}

void SoundLibrary::beep() {
    if (beep_)
        beep_();
    else
        QApplication::beep();
}

WavSoundPlayer::WavSoundPlayer(std::shared_ptr<SoundLibrary> library)
    : library_(library ? std::move(library) : std::make_shared<SoundLibrary>()) {}

WavSoundPlayer::~WavSoundPlayer() {
    stop();
}

SoundRoute WavSoundPlayer::route() const {
    return sound_ ? sound_->route : SoundRoute::Nothing;
}

void WavSoundPlayer::play(const QString& path) {
    if (!soundFileExists(path)) {
        stop();
        sound_.reset();
        return;
    }
    std::shared_ptr<Sound> sound = library_->sound(path);
    if (sound != sound_) {
        stop();
        sound_ = std::move(sound);
    }
    switch (sound_->route) {
        case SoundRoute::Nothing:
            return;
        case SoundRoute::Beep:
            library_->beep();
            return;
        case SoundRoute::MediaPlayer:
            playThroughMediaPlayer();
            return;
        case SoundRoute::Samples:
            break;
    }
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return;  // no audio output on this machine
    // A fresh stream for each start: the last one is dropped wherever it was.
    if (sink_) sink_->stop();
    sink_ = std::make_unique<QAudioSink>(device, sound_->samples.format);
    buffer_ = std::make_unique<QBuffer>();
    buffer_->setData(sound_->samples.data);  // shared, not copied
    buffer_->open(QIODevice::ReadOnly);
    sink_->start(buffer_.get());
}

void WavSoundPlayer::playThroughMediaPlayer() {
    if (!fallback_) {
        fallback_ = std::make_unique<MediaSoundPlayer>();
        QMediaPlayer* player = fallback_->mediaPlayer();
        QObject::connect(player, &QMediaPlayer::errorOccurred, player,
                         [this, player](QMediaPlayer::Error, const QString& error) {
                             // Only an error about the sound this player plays now.
                             if (!sound_ || sound_->route != SoundRoute::MediaPlayer ||
                                 player->source() != urlOf(sound_->path))
                                 return;
                             library_->mediaPlayerFailed(*sound_, error);
                             library_->beep();
                         });
    }
    if (!fallback_->mediaPlayer()->isAvailable()) {
        library_->mediaPlayerFailed(*sound_, QStringLiteral("nessun lettore multimediale"));
        library_->beep();
        return;
    }
    fallback_->play(sound_->path);
}

void WavSoundPlayer::stop() {
    if (sink_) sink_->stop();
    sink_.reset();
    buffer_.reset();
    if (fallback_) fallback_->stop();
}

SoundPlayerFactory soundPlayerFactory(std::shared_ptr<SoundLibrary> library) {
    return [library = std::move(library)] {
        return std::unique_ptr<SoundPlayer>(std::make_unique<WavSoundPlayer>(library));
    };
}

SoundPlayerFactory systemSoundPlayerFactory() {
    return soundPlayerFactory(std::make_shared<SoundLibrary>());
}

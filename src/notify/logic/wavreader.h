#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The reader of .wav files of plain samples. Nothing in a file is believed
// before it is checked: every chunk size against the bytes the file holds,
// the sample rate, the channels and the sample size against fixed bounds.
// A file is never read past kMaxWavFileBytes, and nothing is reserved beyond
// what was read.

// What the reader made of a file.
enum class WavVerdict {
    Samples,      // plain samples, ready in `data`
    OtherFormat,  // not a RIFF WAVE file, or one of compressed samples
    Damaged,      // a RIFF WAVE file whose sizes or values are out of bounds
    NotAFile,     // not a regular file, or unreadable
};

// How each sample is stored in the file, little-endian.
enum class WavSampleKind { None, UInt8, Int16, Int24, Int32, Float32 };

inline constexpr int kMinWavSampleRate = 8000;
inline constexpr int kMaxWavSampleRate = 192000;
inline constexpr int kMaxWavChannels = 8;
// The most sample bytes kept: a longer sound is cut, since the alarm window
// starts its sound again every 3 seconds anyway (16 MB are over 90 seconds
// of CD sound).
inline constexpr qint64 kMaxWavDataBytes = 16 * 1024 * 1024;
// The most of a file read: the samples kept, and room for the chunks that
// come before them.
inline constexpr qint64 kMaxWavFileBytes = kMaxWavDataBytes + 1024 * 1024;

struct WavFile {
    WavVerdict verdict = WavVerdict::OtherFormat;
    // Why the samples cannot be used, in Italian; empty for Samples.
    QString reason;
    WavSampleKind kind = WavSampleKind::None;
    int sampleRate = 0;
    int channels = 0;
    // Whole frames only, at most kMaxWavDataBytes.
    QByteArray data;

    int bytesPerFrame() const;
};

// Reads a .wav file from its bytes; `bytes` is taken as the whole file. A
// "data" chunk that claims more bytes than follow it gives the bytes that
// follow (a recording cut short, or written with an unknown length); any
// other chunk that claims more makes the file Damaged.
WavFile parseWav(QByteArrayView bytes);

// Reads the .wav file at `path`: only a regular file (or a link to one) is
// read, without blocking on a pipe, and no further than kMaxWavFileBytes,
// whatever its size claims and even if it grows while it is read.
WavFile readWavFile(const QString& path);

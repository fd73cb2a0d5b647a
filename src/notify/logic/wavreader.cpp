#include "notify/logic/wavreader.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>

#include "core/fileio.h"

int WavFile::bytesPerFrame() const {
    switch (kind) {
        case WavSampleKind::UInt8:
            return channels;
        case WavSampleKind::Int16:
            return 2 * channels;
        case WavSampleKind::Int24:
            return 3 * channels;
        case WavSampleKind::Int32:
        case WavSampleKind::Float32:
            return 4 * channels;
        case WavSampleKind::None:
            break;
    }
    return 0;
}

namespace {

WavFile refused(WavVerdict verdict, const QString& reason) {
    WavFile out;
    out.verdict = verdict;
    out.reason = reason;
    return out;
}

quint16 u16At(QByteArrayView bytes, qsizetype at) {
    return qFromLittleEndian<quint16>(bytes.data() + at);
}

quint32 u32At(QByteArrayView bytes, qsizetype at) {
    return qFromLittleEndian<quint32>(bytes.data() + at);
}

// What the "fmt " chunk says, as read; checked only once the samples come.
struct FormatChunk {
    bool seen = false;
    quint16 tag = 0;
    quint32 rate = 0;
    quint16 channels = 0;
    quint16 blockSize = 0;
    quint16 bits = 0;
};

constexpr quint16 kTagPcm = 1;
constexpr quint16 kTagFloat = 3;
constexpr quint16 kTagExtensible = 0xFFFE;

// The kind of sample `format` describes, or the reason it cannot be played.
WavFile checkFormat(const FormatChunk& format) {
    if (format.tag != kTagPcm && format.tag != kTagFloat) {
        return refused(WavVerdict::OtherFormat,
                       QStringLiteral("i campioni sono compressi (formato 0x%1)")
                           .arg(format.tag, 4, 16, QLatin1Char('0')));
    }
    if (format.rate < kMinWavSampleRate || format.rate > kMaxWavSampleRate) {
        return refused(WavVerdict::Damaged,
                       QStringLiteral("la frequenza di %1 Hz è fuori dai limiti (da %2 a %3 Hz)")
                           .arg(format.rate)
                           .arg(kMinWavSampleRate)
                           .arg(kMaxWavSampleRate));
    }
    if (format.channels < 1 || format.channels > kMaxWavChannels) {
        return refused(
            WavVerdict::Damaged,
            QStringLiteral("%1 canali (da 1 a %2)").arg(format.channels).arg(kMaxWavChannels));
    }
    WavFile out;
    if (format.tag == kTagFloat && format.bits == 32) {
        out.kind = WavSampleKind::Float32;
    } else if (format.tag == kTagPcm && format.bits == 8) {
        out.kind = WavSampleKind::UInt8;
    } else if (format.tag == kTagPcm && format.bits == 16) {
        out.kind = WavSampleKind::Int16;
    } else if (format.tag == kTagPcm && format.bits == 24) {
        out.kind = WavSampleKind::Int24;
    } else if (format.tag == kTagPcm && format.bits == 32) {
        out.kind = WavSampleKind::Int32;
    } else {
        return refused(WavVerdict::Damaged,
                       QStringLiteral("campioni di %1 bit (solo 8, 16, 24 o 32)").arg(format.bits));
    }
    out.verdict = WavVerdict::Samples;
    out.sampleRate = static_cast<int>(format.rate);
    out.channels = format.channels;
    // The size of a frame is fixed by the two values above; a file that says
    // otherwise cannot be cut into frames with any confidence.
    if (format.blockSize != out.bytesPerFrame()) {
        return refused(WavVerdict::Damaged, QStringLiteral("blocchi di %1 byte, invece di %2")
                                                .arg(format.blockSize)
                                                .arg(out.bytesPerFrame()));
    }
    return out;
}

}  // namespace

WavFile parseWav(QByteArrayView bytes) {
    if (bytes.size() < 12 || bytes.first(4) != "RIFF" || bytes.sliced(8, 4) != "WAVE")
        return refused(WavVerdict::OtherFormat, QStringLiteral("non è un file WAVE"));
    FormatChunk format;
    // The chunks: "fmt " tells the kind of samples, "data" holds them. Each
    // step moves on by at least the 8 bytes of a chunk's head.
    for (qsizetype pos = 12;;) {
        if (bytes.size() - pos < 8)
            return refused(WavVerdict::Damaged,
                           QStringLiteral("il file finisce prima dei campioni"));
        const QByteArrayView id = bytes.sliced(pos, 4);
        const qint64 size = u32At(bytes, pos + 4);
        pos += 8;
        const qint64 left = bytes.size() - pos;
        if (id == "data") {
            if (!format.seen) {
                return refused(WavVerdict::Damaged,
                               QStringLiteral("i campioni precedono la loro descrizione"));
            }
            WavFile out = checkFormat(format);
            if (out.verdict != WavVerdict::Samples) return out;
            qint64 take = std::min({size, left, kMaxWavDataBytes});
            take -= take % out.bytesPerFrame();
            out.data = bytes.sliced(pos, static_cast<qsizetype>(take)).toByteArray();
            return out;
        }
        if (size > left) {
            return refused(
                WavVerdict::Damaged,
                QStringLiteral("un blocco dichiara %1 byte, ma il file ne ha %2 dopo di esso")
                    .arg(size)
                    .arg(left));
        }
        if (id == "fmt ") {
            if (size < 16) {
                return refused(WavVerdict::Damaged,
                               QStringLiteral("la descrizione dei campioni è troppo corta"));
            }
            format.seen = true;
            format.tag = u16At(bytes, pos);
            format.channels = u16At(bytes, pos + 2);
            format.rate = u32At(bytes, pos + 4);
            format.blockSize = u16At(bytes, pos + 12);
            format.bits = u16At(bytes, pos + 14);
            // Extensible: the sample kind is the first field of its sub-format.
            if (format.tag == kTagExtensible) {
                if (size < 26) {
                    return refused(WavVerdict::Damaged,
                                   QStringLiteral("la descrizione dei campioni è troppo corta"));
                }
                format.tag = u16At(bytes, pos + 24);
            }
            // Compressed samples are the media player's business, whatever
            // follows.
            if (format.tag != kTagPcm && format.tag != kTagFloat) return checkFormat(format);
        }
        pos += size + (size & 1);
    }
}

WavFile readWavFile(const QString& path) {
    const auto notAFile = [](const QString& reason) {
        return refused(WavVerdict::NotAFile, reason);
    };
    QFile file;
    if (const std::optional<QString> refused = openRegularFile(file, path))
        return notAFile(*refused);
    const qint64 size = file.size();
    // No more than the file held when it was opened, and no more than the
    // limit: a file that grows meanwhile is read as it was.
    QByteArray bytes(static_cast<qsizetype>(std::clamp<qint64>(size, 0, kMaxWavFileBytes)),
                     Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.read(bytes.data() + done, bytes.size() - done);
        if (n < 0) return notAFile(file.errorString());
        if (n == 0) break;
        done += static_cast<qsizetype>(n);
    }
    bytes.truncate(done);
    return parseWav(bytes);
}

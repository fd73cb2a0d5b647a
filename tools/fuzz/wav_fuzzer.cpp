// libFuzzer target: the .wav reader never fails on any bytes, never keeps
// more samples than the bytes hold, and what it accepts lies within its
// bounds, in whole frames.
#include <cstdint>
#include <cstdlib>

#include "notify/logic/wavreader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const WavFile wav = parseWav(bytes);
    if (wav.verdict != WavVerdict::Samples) {
        // A refusal says why and keeps nothing.
        if (wav.reason.isEmpty() || !wav.data.isEmpty()) abort();
        return 0;
    }
    if (!wav.reason.isEmpty()) abort();
    if (wav.sampleRate < kMinWavSampleRate || wav.sampleRate > kMaxWavSampleRate) abort();
    if (wav.channels < 1 || wav.channels > kMaxWavChannels) abort();
    const int frame = wav.bytesPerFrame();
    if (frame <= 0 || wav.data.size() % frame != 0) abort();
    // The samples come from the bytes: never more than they hold after the
    // three heads (RIFF, "fmt " with its 16 bytes, "data"), never more
    // than the limit.
    if (wav.data.size() > bytes.size() - 44 || wav.data.size() > kMaxWavDataBytes) abort();
    return 0;
}

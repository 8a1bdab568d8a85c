#pragma once
// How much time a format's bytes hold. Block codecs (IMA ADPCM, GSM 6.10)
// are timed by whole blocks and the samples each holds, never by
// nAvgBytesPerSec: encoders in the wild write wrong values there (IMA ADPCM
// files claiming 16000 where 4055 is right).

#include <cstdint>

#include "audio/base/wave_format.h"

namespace sonvel {

// Sample frames one block holds; 1 for PCM and G.711, 0 when unknown.
inline uint32_t FramesPerBlock(const WaveFormat& format) {
    if (format.nChannels <= 0 || format.nBlockAlign <= 0) {
        return 0;
    }
    const auto channels = static_cast<uint32_t>(format.nChannels);
    const auto blockAlign = static_cast<uint32_t>(format.nBlockAlign);
    switch (format.wFormatTag) {
        case WAVE_FORMAT_PCM:
        case WAVE_FORMAT_MULAW:
        case WAVE_FORMAT_ALAW:
            return 1;
        case WAVE_FORMAT_GSM610:
            return blockAlign == 65 ? 320 : 0;
        case WAVE_FORMAT_ADPCM:
            // A 4-byte header per channel, then 4-bit codes; the header holds
            // the block's first sample.
            return blockAlign > 4 * channels ? (blockAlign - 4 * channels) * 2 / channels + 1 : 0;
        default:
            return 0;
    }
}

// Bytes a second of sound takes, rounded to whole bytes; nAvgBytesPerSec
// only for formats whose blocks are not known.
inline int64_t SoundBytesPerSecond(const WaveFormat& format) {
    const uint32_t frames = FramesPerBlock(format);
    if (frames == 0 || format.nSamplesPerSec <= 0) {
        return format.nAvgBytesPerSec;
    }
    const int64_t perSecond = int64_t{format.nBlockAlign} * format.nSamplesPerSec;
    return (perSecond + frames / 2) / frames;
}

// Sample frames in `bytes` of sound: whole blocks only, and no more than a
// "fact" count says (hasFact false: none given).
inline uint64_t SoundFrames(const WaveFormat& format, uint64_t bytes, bool hasFact,
                            uint32_t factFrames) {
    const uint32_t perBlock = FramesPerBlock(format);
    if (perBlock == 0) {
        const int64_t rate = format.nAvgBytesPerSec;
        return rate > 0 ? bytes * static_cast<uint64_t>(format.nSamplesPerSec) /
                              static_cast<uint64_t>(rate)
                        : 0;
    }
    const uint64_t frames = bytes / static_cast<uint64_t>(format.nBlockAlign) * perBlock;
    return hasFact && perBlock > 1 && factFrames <= frames ? factFrames : frames;
}

}  // namespace sonvel

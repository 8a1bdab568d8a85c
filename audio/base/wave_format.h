#pragma once
// The 28-byte format record in which formats cross into the engine: the
// platform's wave-format header followed by room for a codec's extra bytes.
// Always copied and stored whole, whatever cbSize says.

#include <cstddef>
#include <cstdint>

namespace sonvel {

enum WaveTags : int16_t {
    WAVE_FORMAT_UNKNOWN = 0,
    WAVE_FORMAT_PCM = 1,
    WAVE_FORMAT_ALAW = 6,
    WAVE_FORMAT_MULAW = 7,
    WAVE_FORMAT_ADPCM = 17,  // IMA / DVI ADPCM
    WAVE_FORMAT_DSPGROUP_TRUESPEECH = 34,
    WAVE_FORMAT_GSM610 = 49,
};

struct WaveFormat {
    int16_t wFormatTag = 0;
    int16_t nChannels = 0;
    int32_t nSamplesPerSec = 0;
    int32_t nAvgBytesPerSec = 0;
    int16_t nBlockAlign = 0;
    int16_t wBitsPerSample = 0;
    int16_t cbSize = 0;
    uint8_t xBytes[10] = {};

    bool operator==(const WaveFormat&) const = default;
};

static_assert(sizeof(WaveFormat) == 28, "WaveFormat crosses the interface as 28 bytes");
static_assert(offsetof(WaveFormat, nSamplesPerSec) == 4);
static_assert(offsetof(WaveFormat, nAvgBytesPerSec) == 8);
static_assert(offsetof(WaveFormat, nBlockAlign) == 12);
static_assert(offsetof(WaveFormat, cbSize) == 16);
static_assert(offsetof(WaveFormat, xBytes) == 18);

// The first 18 bytes, the platform's WAVEFORMATEX without extra bytes.
inline constexpr size_t kWaveFormatHeaderSize = 18;

// A 16-bit PCM format (the engine's common currency between codecs).
constexpr WaveFormat Pcm16Format(int32_t samplesPerSec, int16_t channels) {
    WaveFormat format;
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = samplesPerSec;
    format.nBlockAlign = static_cast<int16_t>(2 * channels);
    format.nAvgBytesPerSec = samplesPerSec * 2 * channels;
    format.wBitsPerSample = 16;
    return format;
}

}  // namespace sonvel

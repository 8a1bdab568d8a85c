#include <algorithm>

#include "audio/acm/acm.h"
#include "audio/acm/acm_drivers.h"
#include "audio/acm/gsm610.h"
#include "audio/acm/ima_adpcm.h"

namespace sonvel {
namespace {

constexpr uint32_t kSuggestFlags = ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_NCHANNELS |
                                   ACM_FORMATSUGGESTF_NSAMPLESPERSEC |
                                   ACM_FORMATSUGGESTF_WBITSPERSAMPLE;

// The only sample size each codec has; PCM has two.
int16_t CodecBits(int16_t tag) {
    switch (tag) {
        case WAVE_FORMAT_MULAW:
        case WAVE_FORMAT_ALAW:
            return 8;
        case WAVE_FORMAT_ADPCM:
            return 4;
        case WAVE_FORMAT_GSM610:
            return 0;
        default:
            return 16;
    }
}

void PutExtraWord(WaveFormat& format, size_t value) {
    format.cbSize = 2;
    format.xBytes[0] = static_cast<uint8_t>(value & 0xFF);
    format.xBytes[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

}  // namespace

MMRESULT acmFormatSuggest(const WaveFormat& src, WaveFormat* dst, uint32_t flags) {
    if (dst == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if ((flags & ~kSuggestFlags) != 0) {
        return MMSYSERR_INVALFLAG;
    }
    WaveFormat format;
    format.wFormatTag =
        (flags & ACM_FORMATSUGGESTF_WFORMATTAG) ? dst->wFormatTag : int16_t{WAVE_FORMAT_PCM};
    format.nSamplesPerSec =
        (flags & ACM_FORMATSUGGESTF_NSAMPLESPERSEC) ? dst->nSamplesPerSec : src.nSamplesPerSec;
    format.nChannels = (flags & ACM_FORMATSUGGESTF_NCHANNELS) ? dst->nChannels : src.nChannels;
    format.wBitsPerSample = (flags & ACM_FORMATSUGGESTF_WBITSPERSAMPLE)
                                ? dst->wBitsPerSample
                                : CodecBits(format.wFormatTag);
    const int32_t rate = format.nSamplesPerSec;
    const int16_t channels = format.nChannels;
    if (rate <= 0 || channels <= 0 || channels > 2) {
        return ACMERR_NOTPOSSIBLE;
    }
    switch (format.wFormatTag) {
        case WAVE_FORMAT_PCM:
        case WAVE_FORMAT_MULAW:
        case WAVE_FORMAT_ALAW:
            format.nBlockAlign = static_cast<int16_t>(channels * format.wBitsPerSample / 8);
            format.nAvgBytesPerSec = rate * format.nBlockAlign;
            break;
        case WAVE_FORMAT_GSM610:
            // GSM 06.10 is mono only; a stereo source is mixed down.
            if (!(flags & ACM_FORMATSUGGESTF_NCHANNELS)) {
                format.nChannels = 1;
            }
            format.nBlockAlign = static_cast<int16_t>(gsm610::kBlockBytes);
            format.nAvgBytesPerSec =
                static_cast<int32_t>(int64_t{rate} * static_cast<int64_t>(gsm610::kBlockBytes) /
                                     static_cast<int64_t>(gsm610::kSamplesPerBlock));
            PutExtraWord(format, gsm610::kSamplesPerBlock);
            break;
        case WAVE_FORMAT_ADPCM: {
            // 256 bytes a channel up to 11 kHz, more at higher rates.
            const int32_t blockAlign = 256 * channels * std::clamp(rate / 11025, 1, 8);
            const size_t samples = ima::SamplesPerBlock(static_cast<size_t>(blockAlign), channels);
            format.nBlockAlign = static_cast<int16_t>(blockAlign);
            format.nAvgBytesPerSec =
                static_cast<int32_t>(int64_t{rate} * blockAlign / static_cast<int64_t>(samples));
            PutExtraWord(format, samples);
            break;
        }
        default:
            return ACMERR_NOTPOSSIBLE;
    }
    if (format.wBitsPerSample != CodecBits(format.wFormatTag) &&
        !(format.wFormatTag == WAVE_FORMAT_PCM && format.wBitsPerSample == 8)) {
        return ACMERR_NOTPOSSIBLE;
    }
    const MMRESULT result = acmStreamOpen(nullptr, src, format, ACM_STREAMOPENF_QUERY);
    if (result != MMSYSERR_NOERROR) {
        return result;
    }
    *dst = format;
    return MMSYSERR_NOERROR;
}

}  // namespace sonvel

#include "audio/export/pcm_source.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "audio/base/block_rate.h"

namespace sonvel {
namespace {

// Source read per conversion call: a few seconds.
constexpr uint32_t kChunkSeconds = 4;
constexpr uint32_t kMinChunkBlocks = 16;

std::string Code(MMRESULT result) {
    return " (error " + std::to_string(result) + ")";
}

}  // namespace

PcmSource::~PcmSource() {
    if (prepared_) {
        acmStreamUnprepareHeader(stream_, &header_, 0);
    }
    if (stream_ != nullptr) {
        acmStreamClose(stream_, 0);
    }
    if (in_ != nullptr) {
        mmioClose(in_);
    }
}

std::string PcmSource::Open(const std::string& path, int channels) {
    path_ = path;
    MMRESULT result = OpenWaveFile(path.c_str(), &in_, &info_);
    if (result != MMSYSERR_NOERROR) {
        in_ = nullptr;
        return path + ": not a WAV file that can be read" + Code(result);
    }
    totalFrames_ = WaveFileFrames(info_);
    pcm_.wFormatTag = WAVE_FORMAT_PCM;
    pcm_.wBitsPerSample = 16;
    uint32_t flags = ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_WBITSPERSAMPLE;
    if (channels > 0) {
        pcm_.nChannels = static_cast<int16_t>(channels);
        flags |= ACM_FORMATSUGGESTF_NCHANNELS;
    }
    result = acmFormatSuggest(info_.format, &pcm_, flags);
    if (result == MMSYSERR_NOERROR) {
        result = acmStreamOpen(&stream_, info_.format, pcm_, ACM_STREAMOPENF_NONREALTIME);
    }
    if (result != MMSYSERR_NOERROR || totalFrames_ == std::numeric_limits<uint64_t>::max()) {
        stream_ = nullptr;
        return path + ": its sound format cannot be decoded" + Code(result);
    }
    const auto srcBlock = static_cast<uint32_t>(info_.format.nBlockAlign);
    const uint64_t blocks = std::clamp<uint64_t>(
        uint64_t{kChunkSeconds} * static_cast<uint32_t>(info_.format.nAvgBytesPerSec) / srcBlock,
        kMinChunkBlocks, (16u << 20) / srcBlock + 1);
    source_.resize(blocks * srcBlock);
    uint32_t room = 0;
    result = acmStreamSize(stream_, static_cast<uint32_t>(source_.size()), &room,
                           ACM_STREAMSIZEF_SOURCE);
    if (result != MMSYSERR_NOERROR) {
        return path + ": cannot size the decoding" + Code(result);
    }
    // Samples held back between calls come out with the next call.
    destination_.resize(room + 2 * static_cast<uint32_t>(pcm_.nBlockAlign));
    header_.pbSrc = source_.data();
    header_.cbSrcLength = static_cast<uint32_t>(source_.size());
    header_.pbDst = destination_.data();
    header_.cbDstLength = static_cast<uint32_t>(destination_.size());
    result = acmStreamPrepareHeader(stream_, &header_, 0);
    if (result != MMSYSERR_NOERROR) {
        return path + ": cannot prepare the decoding" + Code(result);
    }
    prepared_ = true;
    left_ = info_.dataSize;
    flags_ = ACM_STREAMCONVERTF_START;
    return {};
}

std::string PcmSource::Read(std::vector<int16_t>* samples) {
    samples->clear();
    const auto frameBytes = static_cast<uint32_t>(pcm_.nBlockAlign);
    while (!ended_) {
        const auto want = static_cast<uint32_t>(std::min<uint64_t>(source_.size() - held_, left_));
        if (want > 0) {
            const int32_t got = mmioRead(in_, source_.data() + held_, static_cast<int32_t>(want));
            if (got < 0) {
                return path_ + ": the file cannot be read";
            }
            held_ += static_cast<uint32_t>(got);
            // A file that shrinks meanwhile ends where it ends.
            left_ = static_cast<uint32_t>(got) < want ? 0 : left_ - want;
        }
        const bool last = left_ == 0;
        // The last piece goes without BLOCKALIGN so that a cut final block
        // still gives its samples.
        header_.cbSrcLength = held_;
        header_.cbDstLength = static_cast<uint32_t>(destination_.size());
        const MMRESULT result = acmStreamConvert(
            stream_, &header_,
            flags_ | (last ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN));
        if (result != MMSYSERR_NOERROR) {
            return path_ + ": the sound cannot be decoded" + Code(result);
        }
        flags_ = 0;
        const uint32_t used = header_.cbSrcLengthUsed;
        std::memmove(source_.data(), source_.data() + used, held_ - used);
        held_ -= used;
        // The padding of a codec's last block is not sound.
        const uint64_t frames =
            std::min<uint64_t>(header_.cbDstLengthUsed / frameBytes, totalFrames_ - framesRead_);
        if (last && used == 0 && header_.cbDstLengthUsed == 0) {
            ended_ = true;  // what is left is too short to be a sample
        } else if (!last && used == 0 && header_.cbDstLengthUsed == 0 && held_ == source_.size()) {
            return path_ + ": the decoding does not advance";
        }
        if (frames > 0) {
            const size_t count = frames * frameBytes / sizeof(int16_t);
            samples->resize(count);
            std::memcpy(samples->data(), destination_.data(), count * sizeof(int16_t));
            framesRead_ += frames;
            return {};
        }
    }
    return {};
}

}  // namespace sonvel

#include "audio/acm/acm_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>

#include "audio/acm/acm.h"

namespace sonvel::acm {
namespace {

// A source unit may span at most this many of the larger of the two blocks.
constexpr size_t kMaxUnitBlocks = 8;
// Frames decoded per round, so that a large buffer does not need a
// pending area of its own size.
constexpr size_t kFramesPerRound = 16384;

MMRESULT CheckShapes(const WaveFormat& src, const WaveFormat& dst) {
    if (!DescribeFormat(src) || !DescribeFormat(dst)) {
        return ACMERR_NOTPOSSIBLE;
    }
    // No sample-rate conversion: telephone audio never needs one.
    if (src.nSamplesPerSec != dst.nSamplesPerSec) {
        return ACMERR_NOTPOSSIBLE;
    }
    return MMSYSERR_NOERROR;
}

}  // namespace

MMRESULT Stream::Check(const WaveFormat& src, const WaveFormat& dst) {
    return CheckShapes(src, dst);
}

std::unique_ptr<Stream> Stream::Open(const WaveFormat& src, const WaveFormat& dst,
                                     MMRESULT* result) {
    *result = CheckShapes(src, dst);
    if (*result != MMSYSERR_NOERROR) {
        return nullptr;
    }
    std::unique_ptr<Stream> stream(new Stream);
    stream->source_ = *DescribeFormat(src);
    stream->destination_ = *DescribeFormat(dst);
    if (SameFormat(src, dst)) {
        stream->copy_ = true;
        return stream;
    }
    stream->decoder_ = MakeDecoder(src);
    stream->encoder_ = MakeEncoder(dst);
    if (!stream->decoder_ || !stream->encoder_) {
        *result = MMSYSERR_NOMEM;
        return nullptr;
    }
    const size_t decodeFrames = stream->source_.blockFrames;
    const size_t encodeFrames = stream->destination_.blockFrames;
    const size_t unitFrames = std::lcm(decodeFrames, encodeFrames);
    if (unitFrames <= kMaxUnitBlocks * std::max(decodeFrames, encodeFrames)) {
        stream->unitBlocks_ = unitFrames / decodeFrames;
    } else {
        stream->carries_ = true;
    }
    return stream;
}

MMRESULT Stream::Size(uint32_t input, uint32_t* output, uint32_t flags) const {
    uint64_t result = 0;
    if (copy_) {
        result = uint64_t{input} / source_.blockBytes * source_.blockBytes;
    } else if (flags == ACM_STREAMSIZEF_SOURCE) {
        const uint64_t frames = uint64_t{input} / source_.blockBytes * source_.blockFrames +
                                decoder_->PartialFrames(input % source_.blockBytes);
        uint64_t blocks = (frames + destination_.blockFrames - 1) / destination_.blockFrames;
        if (carries_ && frames > 0) {
            ++blocks;  // frames held back from the previous call
        }
        result = blocks * destination_.blockBytes;
    } else {
        const uint64_t frames =
            uint64_t{input} / destination_.blockBytes * destination_.blockFrames;
        result = frames / source_.blockFrames * source_.blockBytes;
    }
    // Too little to make one block, or more than the header can count.
    if ((input > 0 && result == 0) || result > std::numeric_limits<uint32_t>::max()) {
        return ACMERR_NOTPOSSIBLE;
    }
    *output = static_cast<uint32_t>(result);
    return MMSYSERR_NOERROR;
}

size_t Stream::PendingFrames() const {
    return pending_.size() / static_cast<size_t>(destination_.channels);
}

void Stream::AppendMapped(const int16_t* frames, size_t count) {
    const int from = source_.channels;
    const int to = destination_.channels;
    if (from == to) {
        pending_.insert(pending_.end(), frames, frames + count * static_cast<size_t>(from));
    } else if (from == 1) {
        for (size_t i = 0; i < count; ++i) {
            pending_.push_back(frames[i]);
            pending_.push_back(frames[i]);
        }
    } else {
        for (size_t i = 0; i < count; ++i) {
            pending_.push_back(static_cast<int16_t>((frames[2 * i] + frames[2 * i + 1]) >> 1));
        }
    }
}

void Stream::DecodeAppend(const uint8_t* src, size_t blocks) {
    const size_t frames = blocks * source_.blockFrames;
    scratch_.resize(frames * static_cast<size_t>(source_.channels));
    decoder_->Decode(src, blocks, scratch_.data());
    AppendMapped(scratch_.data(), frames);
}

void Stream::DecodePartialAppend(const uint8_t* src, size_t bytes, size_t frames) {
    scratch_.resize(frames * static_cast<size_t>(source_.channels));
    const size_t decoded = decoder_->DecodePartial(src, bytes, scratch_.data());
    AppendMapped(scratch_.data(), decoded);
}

size_t Stream::EncodePending(uint8_t* dst, size_t maxBlocks, bool pad) {
    const size_t blockFrames = destination_.blockFrames;
    const size_t channels = static_cast<size_t>(destination_.channels);
    size_t frames = PendingFrames();
    if (pad && frames % blockFrames != 0) {
        frames = (frames / blockFrames + 1) * blockFrames;
        pending_.resize(frames * channels, 0);
    }
    const size_t blocks = std::min(frames / blockFrames, maxBlocks);
    if (blocks == 0) {
        return 0;
    }
    encoder_->Encode(pending_.data(), blocks, dst);
    pending_.erase(pending_.begin(),
                   pending_.begin() + static_cast<ptrdiff_t>(blocks * blockFrames * channels));
    return blocks * destination_.blockBytes;
}

Stream::Used Stream::Convert(const uint8_t* src, size_t srcLength, uint8_t* dst, size_t dstLength,
                             uint32_t flags) {
    if (copy_) {
        const size_t bytes =
            std::min(srcLength, dstLength) / source_.blockBytes * source_.blockBytes;
        if (bytes > 0) {
            std::memmove(dst, src, bytes);
        }
        return {bytes, bytes};
    }
    if (flags & ACM_STREAMCONVERTF_START) {
        decoder_->Reset();
        encoder_->Reset();
        pending_.clear();
    }
    const bool blockAlign = (flags & ACM_STREAMCONVERTF_BLOCKALIGN) != 0;
    const bool lastPiece = !blockAlign || (flags & ACM_STREAMCONVERTF_END) != 0;
    const size_t decodeFrames = source_.blockFrames;
    const size_t encodeFrames = destination_.blockFrames;
    const size_t unitFrames = unitBlocks_ * decodeFrames;
    const size_t unitBytes = unitBlocks_ * source_.blockBytes;

    Used used;
    // How many more frames may enter pending so that what gets encoded still
    // fits the destination (padded to a whole block on the last piece).
    auto room = [&]() -> size_t {
        const size_t blocks = (dstLength - used.destination) / destination_.blockBytes;
        const size_t limit = lastPiece ? blocks * encodeFrames : (blocks + 1) * encodeFrames - 1;
        const size_t pending = PendingFrames();
        return limit > pending ? limit - pending : 0;
    };
    auto freeBlocks = [&]() { return (dstLength - used.destination) / destination_.blockBytes; };

    size_t unitsLeft = srcLength / unitBytes;
    const size_t unitsPerRound = std::max<size_t>(1, kFramesPerRound / unitFrames);
    while (unitsLeft > 0) {
        const size_t units = std::min({unitsLeft, unitsPerRound, room() / unitFrames});
        if (units == 0) {
            break;
        }
        DecodeAppend(src + used.source, units * unitBlocks_);
        used.source += units * unitBytes;
        unitsLeft -= units;
        used.destination += EncodePending(dst + used.destination, freeBlocks(), false);
    }

    bool allTaken = unitsLeft == 0;
    if (allTaken && !blockAlign) {
        // What is left is shorter than a unit: whole decoder blocks, then
        // whatever a cut-off block still holds.
        const size_t restBytes = srcLength - used.source;
        const size_t restBlocks = restBytes / source_.blockBytes;
        const size_t blocks = std::min(restBlocks, room() / decodeFrames);
        if (blocks > 0) {
            DecodeAppend(src + used.source, blocks);
            used.source += blocks * source_.blockBytes;
        }
        allTaken = blocks == restBlocks;
        if (allTaken) {
            const size_t tailBytes = restBytes % source_.blockBytes;
            const size_t tailFrames = decoder_->PartialFrames(tailBytes);
            if (tailFrames > 0 && tailFrames <= room()) {
                DecodePartialAppend(src + used.source, tailBytes, tailFrames);
                used.source += tailBytes;
            } else if (tailFrames > 0) {
                allTaken = false;
            }
        }
    }
    used.destination += EncodePending(dst + used.destination, freeBlocks(), lastPiece && allTaken);
    return used;
}

}  // namespace sonvel::acm

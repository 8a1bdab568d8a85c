#include "audio/acm/ima_adpcm.h"

#include <algorithm>
#include <array>

namespace sonvel::ima {
namespace {

using detail::ClampIndex;
using detail::EncodeStep;
using detail::Step;

constexpr size_t kGroupBytes = 4;
constexpr size_t kSamplesPerGroup = 8;

// From this magnitude up the other code moves the step index differently
// (3 and 4 are where it turns from shrinking to growing) and wins often
// enough to pay for the try; below, the nearest code nearly always stays.
constexpr int kTryOtherFrom = 3;
// The other code is judged on this many samples, its own included.
constexpr size_t kLookAhead = 3;

// For each code and for a sample above (1) or below (0) that code's level:
// the code whose level lies on the other side of the sample, or the code
// itself where there is none (the largest step cannot go further out).
constexpr std::array<std::array<uint8_t, 2>, 16> MakeOtherSide() {
    std::array<std::array<uint8_t, 2>, 16> table{};
    for (int code = 0; code < 16; ++code) {
        const int magnitude = code & 7;
        const bool negative = (code & 8) != 0;
        // Outward: a larger magnitude in the code's own direction.
        const int outward = magnitude < 7 ? (code + 1) : code;
        // Inward: a smaller magnitude, past zero the other sign's smallest.
        const int inward = magnitude > 0 ? (code - 1) : (code ^ 8);
        const auto at = [](int c) { return static_cast<uint8_t>(c); };
        table[static_cast<size_t>(code)][1] = at(negative ? inward : outward);
        table[static_cast<size_t>(code)][0] = at(negative ? outward : inward);
    }
    return table;
}

constexpr auto kOtherSide = MakeOtherSide();

int64_t Squared(int value) {
    return static_cast<int64_t>(value) * value;
}

int16_t ReadLe16(const uint8_t* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

}  // namespace

size_t SamplesPerBlock(size_t blockAlign, int channels) {
    if (channels < 1) {
        return 0;
    }
    const size_t header = kGroupBytes * static_cast<size_t>(channels);
    const size_t groupRow = kGroupBytes * static_cast<size_t>(channels);
    if (blockAlign <= header || (blockAlign - header) % groupRow != 0) {
        return 0;
    }
    return (blockAlign - header) / groupRow * kSamplesPerGroup + 1;
}

size_t FramesInBlock(const BlockLayout& layout, size_t bytes) {
    const size_t channels = static_cast<size_t>(layout.channels);
    const size_t header = kGroupBytes * channels;
    if (bytes < header) {
        return 0;
    }
    const size_t rows = (std::min(bytes, layout.blockAlign) - header) / (kGroupBytes * channels);
    return std::min(layout.samplesPerBlock, 1 + rows * kSamplesPerGroup);
}

Encoder::Encoder(const BlockLayout& layout)
    : layout_(layout), codes_(layout.samplesPerBlock > 0 ? layout.samplesPerBlock - 1 : 0) {}

void Encoder::Reset() {
    index_[0] = 0;
    index_[1] = 0;
    started_ = false;
}

int64_t Encoder::EncodeChannel(const int16_t* frames, size_t channel, int& index,
                               uint8_t* codes) const {
    const size_t channels = static_cast<size_t>(layout_.channels);
    const size_t count = layout_.samplesPerBlock;
    const auto sampleAt = [&](size_t frame) -> int { return frames[frame * channels + channel]; };
    int predictor = sampleAt(0);
    int64_t error = 0;
    // The nearest code's step for this frame, when the look-ahead of the
    // previous frame already took it.
    bool known = false;
    int knownCode = 0;
    int knownPredictor = 0;
    int knownIndex = 0;
    for (size_t frame = 1; frame < count; ++frame) {
        const int sample = sampleAt(frame);
        int nextPredictor = predictor;
        int nextIndex = index;
        int code = 0;
        if (known) {
            code = knownCode;
            nextPredictor = knownPredictor;
            nextIndex = knownIndex;
        } else {
            code = EncodeStep(sample, nextPredictor, nextIndex);
        }
        known = false;
        if ((code & 7) >= kTryOtherFrom && frame + 1 < count) {
            const int other = kOtherSide[static_cast<size_t>(code)][sample > nextPredictor ? 1 : 0];
            int otherPredictor = predictor;
            int otherIndex = index;
            Step(other, otherPredictor, otherIndex);
            int64_t nearestError = Squared(sample - nextPredictor);
            int64_t otherError = Squared(sample - otherPredictor);
            int p1 = nextPredictor;
            int i1 = nextIndex;
            int p2 = otherPredictor;
            int i2 = otherIndex;
            const int following = sampleAt(frame + 1);
            knownCode = EncodeStep(following, p1, i1);
            knownPredictor = p1;
            knownIndex = i1;
            EncodeStep(following, p2, i2);
            nearestError += Squared(following - p1);
            otherError += Squared(following - p2);
            if (frame + 2 < count) {
                const int later = sampleAt(frame + 2);
                EncodeStep(later, p1, i1);
                EncodeStep(later, p2, i2);
                nearestError += Squared(later - p1);
                otherError += Squared(later - p2);
            }
            if (otherError < nearestError) {
                code = other;
                nextPredictor = otherPredictor;
                nextIndex = otherIndex;
            } else {
                known = true;
            }
        }
        predictor = nextPredictor;
        index = nextIndex;
        error += Squared(sample - predictor);
        if (codes != nullptr) {
            codes[frame - 1] = static_cast<uint8_t>(code);
        }
    }
    return error;
}

int Encoder::FirstIndex(const int16_t* frames, size_t channel) const {
    // Index 0 would make loud sound at the start of a call take dozens of
    // samples to catch up with; one block per stream can afford to try all.
    int best = 0;
    int64_t bestError = -1;
    for (int start = 0; start <= 88; ++start) {
        int index = start;
        const int64_t error = EncodeChannel(frames, channel, index, nullptr);
        if (bestError < 0 || error < bestError) {
            best = start;
            bestError = error;
        }
    }
    return best;
}

void Encoder::EncodeBlock(const int16_t* frames, uint8_t* out) {
    const size_t channels = static_cast<size_t>(layout_.channels);
    const size_t rows = (layout_.samplesPerBlock - 1) / kSamplesPerGroup;
    for (size_t c = 0; c < channels; ++c) {
        const int predictor = frames[c];
        int index = started_ ? index_[c] : FirstIndex(frames, c);
        uint8_t* header = out + c * kGroupBytes;
        header[0] = static_cast<uint8_t>(predictor & 0xFF);
        header[1] = static_cast<uint8_t>((predictor >> 8) & 0xFF);
        header[2] = static_cast<uint8_t>(index);
        header[3] = 0;
        EncodeChannel(frames, c, index, codes_.data());
        for (size_t row = 0; row < rows; ++row) {
            uint8_t* group = out + channels * kGroupBytes * (row + 1) + c * kGroupBytes;
            const uint8_t* rowCodes = codes_.data() + row * kSamplesPerGroup;
            for (size_t k = 0; k < kGroupBytes; ++k) {
                group[k] = static_cast<uint8_t>(rowCodes[2 * k] | (rowCodes[2 * k + 1] << 4));
            }
        }
        index_[c] = index;
    }
    started_ = true;
}

size_t DecodeBlock(const BlockLayout& layout, const uint8_t* in, size_t bytes, int16_t* frames) {
    const size_t count = FramesInBlock(layout, bytes);
    if (count == 0) {
        return 0;
    }
    const size_t channels = static_cast<size_t>(layout.channels);
    for (size_t c = 0; c < channels; ++c) {
        const uint8_t* header = in + c * kGroupBytes;
        int predictor = ReadLe16(header);
        // A damaged header must not index past the table.
        int index = ClampIndex(header[2]);
        frames[c] = static_cast<int16_t>(predictor);
        // Group by group: eight samples from four bytes.
        const uint8_t* group = in + channels * kGroupBytes + c * kGroupBytes;
        for (size_t frame = 1; frame < count; group += channels * kGroupBytes) {
            const size_t end = std::min(count, frame + kSamplesPerGroup);
            for (size_t k = 0; frame < end; ++k, ++frame) {
                const uint8_t byte = group[k / 2];
                Step((k % 2 == 0) ? (byte & 0x0F) : (byte >> 4), predictor, index);
                frames[frame * channels + c] = static_cast<int16_t>(predictor);
            }
        }
    }
    return count;
}

}  // namespace sonvel::ima

#include "audio/acm/ima_adpcm.h"

#include <algorithm>
#include <array>

namespace sonvel::ima {
namespace {

constexpr std::array<int, 89> kStepTable = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr std::array<int, 8> kIndexAdjust = {-1, -1, -1, -1, 2, 4, 6, 8};

constexpr size_t kGroupBytes = 4;
constexpr size_t kSamplesPerGroup = 8;

int ClampIndex(int index) {
    return std::clamp(index, 0, 88);
}

int ClampSample(int sample) {
    return std::clamp(sample, -32768, 32767);
}

// One decoding step; the encoder runs the same arithmetic so that both sides
// track the same predictor.
void Step(int code, int& predictor, int& index) {
    int step = kStepTable[static_cast<size_t>(index)];
    int diff = step >> 3;
    if (code & 4) {
        diff += step;
    }
    if (code & 2) {
        diff += step >> 1;
    }
    if (code & 1) {
        diff += step >> 2;
    }
    predictor = ClampSample((code & 8) ? predictor - diff : predictor + diff);
    index = ClampIndex(index + kIndexAdjust[static_cast<size_t>(code & 7)]);
}

int Quantize(int sample, int predictor, int index) {
    int diff = sample - predictor;
    int code = 0;
    if (diff < 0) {
        code = 8;
        diff = -diff;
    }
    int step = kStepTable[static_cast<size_t>(index)];
    if (diff >= step) {
        code |= 4;
        diff -= step;
    }
    step >>= 1;
    if (diff >= step) {
        code |= 2;
        diff -= step;
    }
    step >>= 1;
    if (diff >= step) {
        code |= 1;
    }
    return code;
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

Encoder::Encoder(const BlockLayout& layout) : layout_(layout) {}

void Encoder::Reset() {
    index_[0] = 0;
    index_[1] = 0;
    started_ = false;
}

int64_t Encoder::SquaredError(const int16_t* frames, size_t channel, int index) const {
    const size_t channels = static_cast<size_t>(layout_.channels);
    int predictor = frames[channel];
    int64_t error = 0;
    for (size_t frame = 1; frame < layout_.samplesPerBlock; ++frame) {
        const int sample = frames[frame * channels + channel];
        Step(Quantize(sample, predictor, index), predictor, index);
        const int64_t difference = sample - predictor;
        error += difference * difference;
    }
    return error;
}

int Encoder::StartIndex(const int16_t* frames, size_t channel) const {
    // A step index carried from the previous block already fits; the first
    // block has none, and index 0 would make loud sound take dozens of
    // samples to catch up with, so it tries every index.
    const int carried = index_[channel];
    const int lowest = started_ ? std::max(carried - kStartIndexReach, 0) : 0;
    const int highest = started_ ? std::min(carried + kStartIndexReach, 88) : 88;
    int best = carried;
    int64_t bestError = SquaredError(frames, channel, carried);
    for (int index = lowest; index <= highest; ++index) {
        const int64_t error = index == carried ? bestError : SquaredError(frames, channel, index);
        if (error < bestError) {
            best = index;
            bestError = error;
        }
    }
    return best;
}

void Encoder::EncodeBlock(const int16_t* frames, uint8_t* out) {
    const size_t channels = static_cast<size_t>(layout_.channels);
    const size_t rows = (layout_.samplesPerBlock - 1) / kSamplesPerGroup;
    for (size_t c = 0; c < channels; ++c) {
        int predictor = frames[c];
        int index = StartIndex(frames, c);
        uint8_t* header = out + c * kGroupBytes;
        header[0] = static_cast<uint8_t>(predictor & 0xFF);
        header[1] = static_cast<uint8_t>((predictor >> 8) & 0xFF);
        header[2] = static_cast<uint8_t>(index);
        header[3] = 0;
        for (size_t row = 0; row < rows; ++row) {
            uint8_t* group = out + channels * kGroupBytes * (row + 1) + c * kGroupBytes;
            for (size_t k = 0; k < kSamplesPerGroup; ++k) {
                const size_t frame = 1 + row * kSamplesPerGroup + k;
                const int code = Quantize(frames[frame * channels + c], predictor, index);
                Step(code, predictor, index);
                if (k % 2 == 0) {
                    group[k / 2] = static_cast<uint8_t>(code);
                } else {
                    group[k / 2] = static_cast<uint8_t>(group[k / 2] | (code << 4));
                }
            }
        }
        index_[c] = index;
    }
    started_ = true;
}

int16_t DecodeNibble(int code, int& predictor, int& index) {
    index = ClampIndex(index);
    Step(code & 0x0F, predictor, index);
    return static_cast<int16_t>(predictor);
}

int EncodeSample(int16_t sample, int& predictor, int& index) {
    index = ClampIndex(index);
    const int code = Quantize(sample, predictor, index);
    Step(code, predictor, index);
    return code;
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
        for (size_t frame = 1; frame < count; ++frame) {
            const size_t k = (frame - 1) % kSamplesPerGroup;
            const size_t row = (frame - 1) / kSamplesPerGroup;
            const uint8_t byte = in[channels * kGroupBytes * (row + 1) + c * kGroupBytes + k / 2];
            const int code = (k % 2 == 0) ? (byte & 0x0F) : (byte >> 4);
            Step(code, predictor, index);
            frames[frame * channels + c] = static_cast<int16_t>(predictor);
        }
    }
    return count;
}

}  // namespace sonvel::ima

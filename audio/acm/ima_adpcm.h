#pragma once
// IMA/DVI ADPCM in the WAV block layout: per channel a 4-byte header (first
// sample, step index, reserved 0), then 4-bit codes, low nibble first, the
// channels alternating in groups of 4 bytes (8 samples).

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sonvel::ima {

struct BlockLayout {
    int channels = 1;
    size_t blockAlign = 256;
    size_t samplesPerBlock = 505;  // per channel, the header sample included
};

// Samples per channel that a block of blockAlign bytes holds, 0 when the
// size does not split into headers and whole 4-byte groups per channel.
size_t SamplesPerBlock(size_t blockAlign, int channels);

// The first block of a stream starts from the step index (written in its
// header) that encodes it with the least error; later blocks carry on from
// the index the previous block ended with. Where a sample's code is one of
// the larger steps, the code on the other side of the sample is tried too
// and kept when it tracks this and the next samples closer: the step size
// then adapts sooner to sound that rises or falls.
class Encoder {
  public:
    explicit Encoder(const BlockLayout& layout);
    // frames: samplesPerBlock interleaved frames; out: blockAlign bytes.
    void EncodeBlock(const int16_t* frames, uint8_t* out);
    void Reset();

  private:
    // Codes for samples 1.. of one channel starting from `index`, which ends
    // as the index after the block; `codes` may be null. Returns the squared
    // error of the decoded samples.
    int64_t EncodeChannel(const int16_t* frames, size_t channel, int& index, uint8_t* codes) const;
    int FirstIndex(const int16_t* frames, size_t channel) const;

    BlockLayout layout_;
    int index_[2] = {0, 0};
    bool started_ = false;
    std::vector<uint8_t> codes_;  // one channel's codes of the block being written
};

// Decodes whole or partial blocks: a block cut short after its headers
// yields the frames its complete groups hold. Returns the frame count.
size_t DecodeBlock(const BlockLayout& layout, const uint8_t* in, size_t bytes, int16_t* frames);

// Frames that DecodeBlock gives for `bytes` bytes of one block.
size_t FramesInBlock(const BlockLayout& layout, size_t bytes);

namespace detail {

inline constexpr std::array<int, 89> kStepTable = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

inline constexpr std::array<int, 8> kIndexAdjust = {-1, -1, -1, -1, 2, 4, 6, 8};

constexpr int ClampIndex(int index) {
    return std::clamp(index, 0, 88);
}

// The step index after each index and code magnitude: one load instead of
// an add and a clamp in every sample's chain.
inline constexpr auto kNextIndex = [] {
    std::array<uint8_t, 89 * 8> table{};
    for (int index = 0; index <= 88; ++index) {
        for (int magnitude = 0; magnitude < 8; ++magnitude) {
            table[static_cast<size_t>(index * 8 + magnitude)] = static_cast<uint8_t>(
                ClampIndex(index + kIndexAdjust[static_cast<size_t>(magnitude)]));
        }
    }
    return table;
}();

// One decoding step; the encoder runs the same arithmetic so that both sides
// track the same predictor. Inline: every sample of a stream goes through it.
constexpr void Step(int code, int& predictor, int& index) {
    const int step = kStepTable[static_cast<size_t>(index)];
    // Masks instead of branches: the code bits are as good as random.
    const int magnitude = (step >> 3) + (step & -((code >> 2) & 1)) +
                          ((step >> 1) & -((code >> 1) & 1)) + ((step >> 2) & -(code & 1));
    const int negative = -((code >> 3) & 1);
    predictor = std::clamp(predictor + ((magnitude ^ negative) - negative), -32768, 32767);
    index = kNextIndex[static_cast<size_t>(index * 8 + (code & 7))];
}

// The code nearest to `sample`, and the step taken with it.
constexpr int EncodeStep(int sample, int& predictor, int& index) {
    const int step = kStepTable[static_cast<size_t>(index)];
    const int diff = sample - predictor;
    const int negative = diff < 0 ? -1 : 0;
    int magnitude = (diff ^ negative) - negative;
    int reconstructed = step >> 3;
    int code = 0;
    int taken = magnitude >= step ? -1 : 0;
    code |= taken & 4;
    magnitude -= step & taken;
    reconstructed += step & taken;
    taken = magnitude >= (step >> 1) ? -1 : 0;
    code |= taken & 2;
    magnitude -= (step >> 1) & taken;
    reconstructed += (step >> 1) & taken;
    taken = magnitude >= (step >> 2) ? -1 : 0;
    code |= taken & 1;
    reconstructed += (step >> 2) & taken;
    predictor = std::clamp(predictor + ((reconstructed ^ negative) - negative), -32768, 32767);
    index = kNextIndex[static_cast<size_t>(index * 8 + code)];
    return code | (negative & 8);
}

}  // namespace detail

// One sample of a headerless stream (voice modems): the caller keeps the
// predictor and step index from sample to sample.
inline int16_t DecodeNibble(int code, int& predictor, int& index) {
    index = detail::ClampIndex(index);
    detail::Step(code & 0x0F, predictor, index);
    return static_cast<int16_t>(predictor);
}

// Returns the 4-bit code for `sample` and advances the state as the decoder will.
inline int EncodeSample(int16_t sample, int& predictor, int& index) {
    index = detail::ClampIndex(index);
    return detail::EncodeStep(sample, predictor, index);
}

}  // namespace sonvel::ima

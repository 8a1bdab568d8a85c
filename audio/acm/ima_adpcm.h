#pragma once
// IMA/DVI ADPCM in the WAV block layout: per channel a 4-byte header (first
// sample, step index, reserved 0), then 4-bit codes, low nibble first, the
// channels alternating in groups of 4 bytes (8 samples).

#include <cstddef>
#include <cstdint>

namespace sonvel::ima {

struct BlockLayout {
    int channels = 1;
    size_t blockAlign = 256;
    size_t samplesPerBlock = 505;  // per channel, the header sample included
};

// Samples per channel that a block of blockAlign bytes holds, 0 when the
// size does not split into headers and whole 4-byte groups per channel.
size_t SamplesPerBlock(size_t blockAlign, int channels);

// Each block starts from the step index (written in its header) that encodes
// it with the least error: the first block searches them all, later ones
// look near the index the previous block ended with.
class Encoder {
  public:
    explicit Encoder(const BlockLayout& layout);
    // frames: samplesPerBlock interleaved frames; out: blockAlign bytes.
    void EncodeBlock(const int16_t* frames, uint8_t* out);
    void Reset();

  private:
    static constexpr int kStartIndexReach = 8;

    int64_t SquaredError(const int16_t* frames, size_t channel, int index) const;
    int StartIndex(const int16_t* frames, size_t channel) const;

    BlockLayout layout_;
    int index_[2] = {0, 0};
    bool started_ = false;
};

// Decodes whole or partial blocks: a block cut short after its headers
// yields the frames its complete groups hold. Returns the frame count.
size_t DecodeBlock(const BlockLayout& layout, const uint8_t* in, size_t bytes, int16_t* frames);

// Frames that DecodeBlock gives for `bytes` bytes of one block.
size_t FramesInBlock(const BlockLayout& layout, size_t bytes);

// One sample of a headerless stream (voice modems): the caller keeps the
// predictor and step index from sample to sample.
int16_t DecodeNibble(int code, int& predictor, int& index);
// Returns the 4-bit code for `sample` and advances the state as the decoder will.
int EncodeSample(int16_t sample, int& predictor, int& index);

}  // namespace sonvel::ima

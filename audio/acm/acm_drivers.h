#pragma once
// The compression manager's drivers. Every supported format has a decoder
// to and an encoder from interleaved 16-bit PCM frames at the format's own
// rate and channel count; streams join them, so a pair without a direct
// driver runs through 16-bit PCM.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "audio/base/wave_format.h"

namespace sonvel::acm {

// How a format cuts into blocks: the unit that converts on its own.
struct BlockShape {
    size_t blockBytes = 0;
    size_t blockFrames = 0;
    int channels = 0;
};

// The shape of a format some driver takes; nothing for formats no driver
// takes (TrueSpeech among them) or whose fields contradict each other.
std::optional<BlockShape> DescribeFormat(const WaveFormat& format);

// Formats equal in every field that counts (extra bytes up to cbSize).
bool SameFormat(const WaveFormat& a, const WaveFormat& b);

class Decoder {
  public:
    explicit Decoder(const BlockShape& shape) : shape_(shape) {}
    virtual ~Decoder() = default;
    const BlockShape& shape() const { return shape_; }

    virtual void Decode(const uint8_t* in, size_t blocks, int16_t* frames) = 0;
    // Frames that a trailing block of `bytes` (< blockBytes) still yields.
    virtual size_t PartialFrames(size_t bytes) const;
    virtual size_t DecodePartial(const uint8_t* in, size_t bytes, int16_t* frames);
    // Forget history, as at the start of a stream; false when that failed.
    virtual bool Reset() { return true; }

  private:
    BlockShape shape_;
};

class Encoder {
  public:
    explicit Encoder(const BlockShape& shape) : shape_(shape) {}
    virtual ~Encoder() = default;
    const BlockShape& shape() const { return shape_; }

    virtual void Encode(const int16_t* frames, size_t blocks, uint8_t* out) = 0;
    virtual bool Reset() { return true; }

  private:
    BlockShape shape_;
};

// Null when no driver takes the format or the codec cannot start.
std::unique_ptr<Decoder> MakeDecoder(const WaveFormat& format);
std::unique_ptr<Encoder> MakeEncoder(const WaveFormat& format);

}  // namespace sonvel::acm

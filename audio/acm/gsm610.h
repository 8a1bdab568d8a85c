#pragma once
// GSM 06.10 full rate in the WAV49 packing through libgsm: 65-byte blocks of
// two frames, 320 samples, mono.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace sonvel::gsm610 {

inline constexpr size_t kBlockBytes = 65;
inline constexpr size_t kSamplesPerBlock = 320;

// One codec state (libgsm keeps filter history between frames); encode and
// decode need separate instances.
class Codec {
  public:
    Codec();
    ~Codec();
    Codec(const Codec&) = delete;
    Codec& operator=(const Codec&) = delete;

    bool valid() const { return state_ != nullptr; }
    // Back to the state of a fresh codec.
    bool Reset();
    void EncodeBlock(const int16_t* samples, uint8_t* out);
    // Returns false when libgsm rejects a frame; its samples are then silence.
    bool DecodeBlock(const uint8_t* in, int16_t* samples);

  private:
    struct State;
    State* state_ = nullptr;
};

}  // namespace sonvel::gsm610

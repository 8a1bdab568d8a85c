#pragma once
// One conversion stream: a decoder to 16-bit PCM, a channel mapping and an
// encoder, or a plain block copy when both formats are the same.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/acm/acm_drivers.h"
#include "audio/base/mm_result.h"
#include "audio/base/wave_format.h"

namespace sonvel::acm {

class Stream {
  public:
    struct Used {
        size_t source = 0;
        size_t destination = 0;
    };

    // MMSYSERR_NOERROR when src converts to dst; only checks, builds nothing.
    static MMRESULT Check(const WaveFormat& src, const WaveFormat& dst);
    // Null with *result set when the pair does not convert.
    static std::unique_ptr<Stream> Open(const WaveFormat& src, const WaveFormat& dst,
                                        MMRESULT* result);

    // flags: ACM_STREAMSIZEF_SOURCE or _DESTINATION.
    MMRESULT Size(uint32_t input, uint32_t* output, uint32_t flags) const;
    // flags: the ACM_STREAMCONVERTF_* bits. Without _BLOCKALIGN (or with
    // _END) this is the stream's last piece: a short final block is padded
    // with silence.
    Used Convert(const uint8_t* src, size_t srcLength, uint8_t* dst, size_t dstLength,
                 uint32_t flags);
    void DropPending() { pending_.clear(); }

  private:
    Stream() = default;

    size_t PendingFrames() const;
    void DecodeAppend(const uint8_t* src, size_t blocks);
    void DecodePartialAppend(const uint8_t* src, size_t bytes, size_t frames);
    void AppendMapped(const int16_t* frames, size_t count);
    size_t EncodePending(uint8_t* dst, size_t maxBlocks, bool pad);

    BlockShape source_;
    BlockShape destination_;
    bool copy_ = false;
    std::unique_ptr<Decoder> decoder_;
    std::unique_ptr<Encoder> encoder_;
    // Decoder blocks that make one source unit: a whole number of encoder
    // blocks, so block-aligned conversions leave nothing behind. When that
    // unit would be unreasonably long the unit is one decoder block and
    // leftover frames wait in pending_ for the next call.
    size_t unitBlocks_ = 1;
    bool carries_ = false;
    std::vector<int16_t> pending_;  // destination channel layout
    std::vector<int16_t> scratch_;
};

}  // namespace sonvel::acm

#include "telephony/modem/transmit_pacer.h"

#include <algorithm>

#include "telephony/modem/dle_codec.h"

namespace orvane::modem {

int PayloadBytesPerSecond(const VoiceFormatChoice& choice) {
    const int rate = choice.rate > 0 ? choice.rate : 8000;
    return rate * BitsPerSample(choice.encoding) / 8;
}

TransmitPacer::TransmitPacer(std::span<const uint8_t> stream, int payloadPerSecond)
    : stream_(stream),
      perSecond_(std::max(payloadPerSecond, 1)),
      // A tenth of a second covers a late timer on a busy desktop.
      lead_(std::min<std::size_t>(static_cast<std::size_t>(perSecond_ / 10), kMostAhead)) {}

std::span<const uint8_t> TransmitPacer::Due(std::chrono::milliseconds elapsed) {
    const int64_t due =
        static_cast<int64_t>(lead_) + std::max<int64_t>(elapsed.count(), 0) * perSecond_ / 1000;
    const std::size_t from = offset_;
    while (offset_ < stream_.size()) {
        std::size_t length = 1;
        int64_t payload = 1;
        if (stream_[offset_] == kDle && offset_ + 1 < stream_.size()) {
            length = 2;
            // <DLE><DLE> is one byte of sound; any other pair is a code.
            payload = stream_[offset_ + 1] == kDle ? 1 : 0;
        }
        if (payload > 0 && payloadSent_ >= due) {
            break;
        }
        offset_ += length;
        payloadSent_ += payload;
    }
    return stream_.subspan(from, offset_ - from);
}

std::chrono::milliseconds TransmitPacer::NextDue() const {
    // The byte after payloadSent_ falls due once lead + elapsed * rate
    // passes it.
    const int64_t ahead = payloadSent_ + 1 - static_cast<int64_t>(lead_);
    if (ahead <= 0) {
        return std::chrono::milliseconds(0);
    }
    return std::chrono::milliseconds((ahead * 1000 + perSecond_ - 1) / perSecond_);
}

}  // namespace orvane::modem

#pragma once
// Feeds a voice transmit to the modem about as fast as the modem plays it.
// A voice modem buffers only a kilobyte or two of sound, and the serial
// port runs without flow control (a cable that never raises CTS would stall
// every write), so a stream written whole overflows the buffer on an RS-232
// line and the caller hears gaps. The host keeps a little ahead of the play
// instead: enough to ride out a late timer, never more than such a buffer
// holds.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

#include "telephony/modem/voice_format.h"

namespace orvane::modem {

// Bytes of sound (after shielding is taken off) the modem plays a second.
int PayloadBytesPerSecond(const VoiceFormatChoice& choice);

class TransmitPacer {
  public:
    // Never further ahead of the play than this, whatever the rate.
    static constexpr std::size_t kMostAhead = 768;

    // `stream`: the whole shielded stream, <DLE><ETX> included; it must
    // outlive the pacer.
    TransmitPacer(std::span<const uint8_t> stream, int payloadPerSecond);

    // What is due once `elapsed` has passed since the first write; a DLE
    // pair is never split, and the closing <DLE><ETX> goes with the last
    // sound.
    std::span<const uint8_t> Due(std::chrono::milliseconds elapsed);
    bool Done() const { return offset_ == stream_.size(); }
    // When the next byte of sound falls due.
    std::chrono::milliseconds NextDue() const;
    // How far ahead of the play the pacer starts.
    std::size_t Lead() const { return lead_; }

  private:
    std::span<const uint8_t> stream_;
    int64_t perSecond_;
    std::size_t lead_;
    std::size_t offset_ = 0;
    int64_t payloadSent_ = 0;
};

}  // namespace orvane::modem

#pragma once
// Splits what a modem sends into text lines, shielded events and sound. In
// command state the modem sends result codes and unsolicited lines (RING,
// caller ID) separated by any run of CR and LF; in voice command state it
// may also send <DLE><x> events (a ring as <DLE>R). After the host starts a
// voice receive, the "CONNECT" line is followed at once by DLE-shielded
// sound up to <DLE><ETX>, then text again.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "telephony/modem/dle_codec.h"

namespace orvane::modem {

// Longest line kept; the rest of a longer line is dropped up to its end, so a
// stream without line ends cannot grow memory.
inline constexpr std::size_t kMaxLineBytes = 512;

class ModemStreamSink {
  public:
    virtual ~ModemStreamSink() = default;
    // A non-empty text line, without CR/LF, at most kMaxLineBytes long.
    virtual void OnLine(std::string_view line) = 0;
    // A shielded event code (the byte after a DLE), in either state.
    virtual void OnEvent(char code) = 0;
    // Decoded sound bytes in the modem's sample format.
    virtual void OnAudio(std::span<const uint8_t> bytes) = 0;
    // The voice receive ended (<DLE><ETX>); text follows.
    virtual void OnVoiceEnd() = 0;
};

class ModemStream {
  public:
    // The next "CONNECT" line switches to voice receive: the bytes after it
    // are sound. Call before sending the receive command.
    void ArmVoiceReceive() { armed_ = true; }
    // Forgets a pending arm (the receive command failed).
    void Disarm() { armed_ = false; }
    bool InVoiceReceive() const { return inVoice_; }

    // Feeds bytes in arrival order; calls the sink in the same order.
    void Feed(std::span<const uint8_t> data, ModemStreamSink& sink);

    // Back to command state with nothing pending (after the port reopens).
    void Reset();

  private:
    void FeedText(std::span<const uint8_t> data, std::size_t& used, ModemStreamSink& sink);
    std::size_t FeedVoice(std::span<const uint8_t> data, ModemStreamSink& sink);
    // True when the line switched to voice receive.
    bool EndLine(ModemStreamSink& sink);

    std::string line_;
    bool overlong_ = false;
    bool textDle_ = false;
    bool armed_ = false;
    bool inVoice_ = false;
    // "CONNECT" ended with CR: an LF right after it still belongs to the line.
    bool skipLf_ = false;
    DleDecoder decoder_;
    std::vector<uint8_t> audio_;
    std::vector<char> events_;
};

}  // namespace orvane::modem

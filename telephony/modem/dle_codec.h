#pragma once
// The DLE shielding of a voice modem's data stream. In voice receive the
// modem sends a data byte 0x10 as <DLE><DLE> and two of them as <DLE><SUB>;
// every other <DLE><x> pair is an event (ring, busy tone, DTMF digit, ...)
// and is not sound. <DLE><ETX> ends the stream. Towards the modem every data
// DLE is doubled.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace orvane::modem {

inline constexpr uint8_t kDle = 0x10;
inline constexpr uint8_t kEtx = 0x03;
inline constexpr uint8_t kSub = 0x1A;

// Codes the host sends after a DLE.
inline constexpr uint8_t kReceiveAbort = '!';  // ends +VRX; the modem drains, then <DLE><ETX>
inline constexpr uint8_t kCan = 0x18;          // in +VTX: drop the sound not yet played

// Event codes the driver acts on (after a DLE).
namespace event {
inline constexpr char kRing = 'R';
inline constexpr char kBusy = 'b';
inline constexpr char kDialTone = 'd';
inline constexpr char kSilence = 's';          // no voice, then silence ("presumed hang-up")
inline constexpr char kQuiet = 'q';            // voice, then silence
inline constexpr char kLoopBreak = 'l';        // loop-current interruption
inline constexpr char kHandsetOnHook = 'h';    // local phone put down
inline constexpr char kHandsetOffHook = 'H';   // local phone picked up
inline constexpr char kLineVoltageUp = 'p';    // extension put down (Conexant)
inline constexpr char kLineVoltageDown = 'P';  // extension picked up (Conexant)
inline constexpr char kRockwellOffHook = 't';  // Rockwell: local phone off-hook
inline constexpr char kUnderrun = 'u';         // voice transmit ran dry (Conexant)
inline constexpr char kEndOfStream = '\x03';   // <DLE><ETX>
}  // namespace event

// Decodes the modem-to-host stream of a voice receive. Keeps a DLE that ends
// one read for the next, so a pair split across reads decodes the same as a
// whole one.
class DleDecoder {
  public:
    // Decodes bytes of `data` up to and including <DLE><ETX>: sound bytes are
    // appended to `audio`, event codes (without the DLE) to `events`, ETX
    // included. Returns how many bytes were used: all of them, or fewer when
    // the stream ended, in which case what follows is command-mode text.
    std::size_t Decode(std::span<const uint8_t> data, std::vector<uint8_t>& audio,
                       std::vector<char>& events);

    // True after <DLE><ETX>, until Reset().
    bool Ended() const { return ended_; }
    // True when the last byte decoded was a lone DLE.
    bool PendingDle() const { return pendingDle_; }
    void Reset();

  private:
    bool pendingDle_ = false;
    bool ended_ = false;
};

// Appends `data` to `out` with every DLE doubled.
void AppendShielded(std::span<const uint8_t> data, std::vector<uint8_t>& out);

// Appends a whole voice transmit: `data` shielded, then <DLE><ETX>, after
// which the modem plays out its buffer and answers.
void AppendTransmit(std::span<const uint8_t> data, std::vector<uint8_t>& out);

// Reads the host-to-modem stream of a voice transmit, as a modem does.
// <DLE><DLE> is a data 0x10, <DLE><ETX> ends the stream, <DLE><CAN> drops
// the sound received so far, and the volume, pause and keep-alive codes
// (u d p r <NUL>) are taken and ignored. A DLE before any other byte is the
// host's fault: the pair is dropped and counted.
class TransmitDecoder {
  public:
    // Like DleDecoder::Decode: sound to `audio`, bytes used returned.
    std::size_t Decode(std::span<const uint8_t> data, std::vector<uint8_t>& audio);
    bool Ended() const { return ended_; }
    // The unknown pairs so far, and the byte after the DLE of the first one.
    std::size_t Faults() const { return faults_; }
    uint8_t FirstFault() const { return firstFault_; }
    void Reset();

  private:
    bool pendingDle_ = false;
    bool ended_ = false;
    std::size_t faults_ = 0;
    uint8_t firstFault_ = 0;
};

}  // namespace orvane::modem

#pragma once
// Caller identification as voice modems report it: formatted lines
// ("NMBR = 5551234", with or without blanks, one tag per line or several on
// one line, under the names different firmwares use) or the unformatted
// packet as one line of hex (SDMF or MDMF, with its checksum), bare or as
// the value of a MESG tag. A caller ID is
// text from a stranger: everything taken from it is cleaned before it leaves
// this file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::modem {

// What stands in for a name or number the network withheld or could not
// deliver, and for one that never came.
inline constexpr std::string_view kCallerPrivate = "PRIVATE";
inline constexpr std::string_view kCallerUnavailable = "UNAVAILABLE";
inline constexpr std::string_view kCallerUnknown = "UNKNOWN";

// Longest name and number kept, in characters.
inline constexpr std::size_t kMaxCallerNameChars = 40;
inline constexpr std::size_t kMaxCallerNumberChars = 32;

struct CallerId {
    std::string name;    // UTF-8, cleaned; empty when not (yet) received
    std::string number;  // UTF-8, cleaned; empty when not (yet) received
    std::string date;    // "MMDD" as sent, cleaned; may be empty
    std::string time;    // "HHMM" as sent, cleaned; may be empty

    bool Empty() const { return name.empty() && number.empty(); }
};

// Text from the line made safe for a label, a journal line and a file name:
// invalid UTF-8 bytes are read as Latin-1, control characters (C0, DEL, C1)
// become blanks, "/" and "\" become "-", blanks are trimmed and runs of
// blanks shortened to one, and the result is cut to `maxChars` characters
// (never inside a character).
std::string CleanCallerText(std::string_view raw, std::size_t maxChars);

// Collects the formatted caller-ID lines of one call.
class CallerIdCollector {
  public:
    // Takes one line from the modem. True when it was caller ID (a known tag,
    // or a valid hex packet); false for anything else (RING, OK, ...), which
    // the caller handles. The first value of a repeated tag is kept.
    bool FeedLine(std::string_view line);

    // True once a name or a number has arrived.
    bool HasCaller() const { return !current_.Empty(); }
    // True when any caller-ID line arrived since the last Take/Reset.
    bool Started() const { return started_; }

    // The collected caller: "P"/"O" and the usual texts for withheld and
    // unavailable become kCallerPrivate / kCallerUnavailable; a part that did
    // not arrive becomes kCallerUnknown. Resets the collector.
    CallerId Take();
    // The same without resetting: what has arrived so far.
    CallerId Peek() const;
    void Reset();

  private:
    CallerId current_;
    bool started_ = false;
};

// Decodes one unformatted caller-ID packet given as hex text (SDMF type 0x04
// or MDMF type 0x80). Nothing when the text is not hex, the length byte
// disagrees, the checksum does not sum to zero, or the packet carries no
// caller. A number or name the network withheld gives kCallerPrivate or
// kCallerUnavailable.
std::optional<CallerId> DecodeCallerIdPacket(std::string_view hex);

// The packet of a caller for the emulator and the tests: MDMF with date and
// time (MMDDhhmm), number (or reason absent) and name (or reason absent), as
// upper-case hex with a correct checksum. An empty name or number is sent as
// "reason absent: unavailable"; kCallerPrivate as "private".
std::string EncodeMdmfPacket(std::string_view dateTime, std::string_view number,
                             std::string_view name);
// SDMF (number only) with MMDDhhmm.
std::string EncodeSdmfPacket(std::string_view dateTime, std::string_view number);

}  // namespace orvane::modem

#pragma once
// The voice command sets of real modems. ITU V.253 ("+V") is the standard;
// Rockwell/Conexant and U.S. Robotics firmwares of the 1990s use "#" commands
// instead, and Lucent/Agere the "+V" commands with a few of their own. The
// dialect is chosen from what the modem answers when probed.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "telephony/modem/dle_codec.h"
#include "telephony/modem/voice_format.h"

namespace orvane::modem {

enum class Dialect { V253, Rockwell, UsRobotics, Lucent };

// "V.253", "Rockwell", "U.S. Robotics", "Lucent".
std::string_view DialectName(Dialect dialect);

// The command lines of one dialect, without the trailing CR. An empty text
// means the dialect has no such command (the step is skipped).
struct DialectCommands {
    std::string reset;          // back to the stored profile
    std::string basicSetup;     // echo off, verbose result codes, no auto-answer
    std::string callerIdOn;     // formatted caller ID
    std::string callerIdOnAlt;  // tried when callerIdOn gives ERROR
    std::string voiceMode;      // enter voice class
    std::string dataMode;       // leave voice class
    std::string voiceSetup;     // flow control, inactivity timer off, ... (may be empty)
    std::string formatQuery;    // AT+VSM=? or its kind; empty when fixed
    std::string formatPrefix;   // "AT+VSM=" + VoiceFormatArgument(choice)
    // When formatQuery is empty: the command that selects the one format we
    // use, and what the modem then sends.
    std::string fixedFormatCommand;
    std::optional<VoiceFormatChoice> fixedFormat;
    std::string lineQuery;        // AT+VLS=? ; empty when the dialect has fixed numbers
    std::string linePrefix;       // "AT+VLS=" + label number
    std::string offHookFallback;  // the off-hook command when lineQuery is empty or fails
    std::string startReceive;     // AT+VRX
    // The bytes the dialect's manuals give for ending a receive. The driver
    // sends <DLE>! to every dialect instead (see kEndReceive).
    std::vector<unsigned char> stopReceive;
    std::string hangUp;         // on-hook
    std::string dialPrefix;     // "ATD"
    std::string toneQuery;      // AT+VTS=? or AT#VTS=?: can it send digits
    std::string startTransmit;  // AT+VTX: sound to the line until <DLE><ETX>
};

// Ends a voice receive on every dialect: a modem that takes a bare "!" or a
// lone <DLE> takes <DLE>! too, and one that wants <DLE>! takes nothing else.
inline constexpr unsigned char kEndReceive[] = {kDle, kReceiveAbort};

// The commands of one command line, each as a line of its own:
// "AT+VPR=0;+VIT=0" gives "AT+VPR=0" and "AT+VIT=0". A line without ";" is
// given back whole.
std::vector<std::string> SplitCommandLine(std::string_view line);

DialectCommands CommandsFor(Dialect dialect);

// What a probe learnt; each list holds the lines of one answer (echo and
// "OK" removed).
struct ProbeReplies {
    std::vector<std::string> classList;       // AT+FCLASS=?
    std::vector<std::string> identification;  // ATI3 / AT+GMI / AT+GMM
    bool poundClassOk = false;                // AT#CLS=? answered OK
};

// The dialect a modem speaks.
Dialect DetectDialect(const ProbeReplies& replies);

// The service classes in an AT+FCLASS=? answer, e.g. "0,1,1.0,2,8" or
// "(0,1,2,8)"; a list, not a text search: "80" is not class 8.
std::vector<std::string> ParseClassList(std::span<const std::string> lines);
bool HasVoiceClass(std::span<const std::string> lines);

// One entry of the AT+VLS=? answer: `1,"T",0B8433C1,...` gives {1, "T"}.
struct LineSelection {
    int label = 0;
    std::string primitives;
};
std::vector<LineSelection> ParseLineSelections(std::span<const std::string> lines);
// The label that takes the line off-hook for a call: "T" (modem on the line)
// or, when `withHandset`, "LT" (modem and local handset on the line) when
// offered, else "T". Nothing when neither is offered.
std::optional<int> ChooseLineLabel(std::span<const LineSelection> selections, bool withHandset);

}  // namespace orvane::modem

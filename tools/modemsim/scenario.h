#pragma once
// The scenario language: what happens on the emulated telephone line and
// what the emulator waits for. Steps are separated by ";" or line ends; a
// line whose first non-blank character is "#" is a comment. The grammar is
// kScenarioGrammar below, which --help prints.

#include <string>
#include <string_view>
#include <vector>

#include "tools/modemsim/at_interpreter.h"
#include "tools/modemsim/line_signals.h"

namespace orvane::modemsim {

extern const char kScenarioGrammar[];
// The built-in demonstration of --demo.
extern const char kDemoScenario[];

enum class StepKind {
    WaitClient,
    WaitCommand,
    WaitHangup,
    Sleep,
    Ring,
    CallerId,
    Call,
    Pickup,
    HandsetHangup,
    Voice,
    RemoteHangup,
    DialAnswer,
    Raw,
    Repeat,
    End,
    Exit,
};

// What a wait does when its time is up.
enum class WaitLimit { None, Fail, GiveUp };
enum class CidPlacement { AfterFirstRing, BeforeFirstRing, None };
enum class VoiceKind { Silence, Tone, File, Pattern, Speech };
enum class RemoteHangupKind { Busy, DialTone, LoopBreak, Silence, EndOfStream };

inline constexpr int kDefaultRingEveryMs = 6000;
inline constexpr int kDefaultCallRings = 2;
inline constexpr int kDefaultDialDelayMs = 1000;

struct Step {
    StepKind kind = StepKind::Sleep;
    std::string source;  // file name or "-e"
    int line = 0;
    WaitLimit limit = WaitLimit::None;
    int limitMs = 0;
    std::string text;  // wait-command, raw, voice file (resolved path)
    int count = 1;     // rings; repeat count, 0 = for ever
    int ms = 0;        // sleep; ring/call/repeat interval; dial-answer delay
    CallerIdMessage callerId;
    CidPlacement placement = CidPlacement::AfterFirstRing;
    VoiceKind voice = VoiceKind::Silence;
    int hz = 0;
    RemoteHangupKind hangup = RemoteHangupKind::Busy;
    ResultCode endResult = ResultCode::Ok;  // remote-hangup etx
    DialOutcome dial = DialOutcome::Answered;
    int exitCode = 0;
    std::size_t partner = 0;  // repeat <-> its end, as an index into the steps
    std::string display;      // the step as written, shortened, for the transcript

    // "FILE:LINE" for messages.
    std::string Where() const { return source + ":" + std::to_string(line); }
};

struct ParseError {
    std::string source;
    int line = 0;
    std::string message;
    // "FILE:LINE: message"
    std::string Text() const;
};

struct Scenario {
    std::vector<Step> steps;
};

// Parses `text` and appends its steps. `source` names it in messages;
// relative voice file paths are taken from `baseDir` (empty: as given).
// Nothing is appended when there is an error.
std::vector<ParseError> AppendScenario(Scenario& scenario, std::string_view text,
                                       const std::string& source, const std::string& baseDir);

}  // namespace orvane::modemsim

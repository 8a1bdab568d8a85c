#pragma once
// Screening: what happens to an incoming call by who is calling. The
// record rules say whether its sound is kept (always, never, ask); the
// block list says whether it rings through at all. Both are data here and
// the decision is a pure function of the caller, so the settings pages,
// the state machine and the tests see one answer.
//
// An entry matches a caller by number (digits, "+", and the wildcards "*"
// for any run of digits and "?" for one digit, compared in the user's
// number plan and as written), by phone-book contact, or as "withheld" or
// "unknown" (the line said it could not tell, or said nothing). Withheld
// and unknown callers only ever match their own entries: a rule for
// "everyone else" never touches them, so by default they are recorded.

#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

#include "calls/phonebook/phone_number.h"

namespace orvane {

// What the line said about the caller's number.
enum class CallerIdState {
    kPresent,      // a number with digits
    kWithheld,     // the caller withheld it ("P", "PRIVATE", …)
    kUnavailable,  // the network could not give it ("O", "OUT OF AREA", …)
    kMissing,      // nothing usable arrived (no caller ID, or ringing stopped first)
};

// The state of a number as the line passes it on ("PRIVATE",
// "UNAVAILABLE", "UNKNOWN", digits, or anything else a modem sends).
CallerIdState CallerIdStateOf(QStringView number);

struct ScreenedCaller {
    CallerIdState state = CallerIdState::kMissing;
    QString number;   // as the line sent it
    QString contact;  // the phone book's name for it; empty when not in the book
};

// Whom an entry is for.
struct CallerMatch {
    enum class Kind { kNumber, kContact, kWithheld, kUnknown };
    Kind kind = Kind::kNumber;
    QString value;  // the number pattern or the contact's name; empty otherwise
    bool operator==(const CallerMatch&) const = default;
};

// A number pattern as typed: blanks, dashes, dots, slashes and
// parentheses dropped; nullopt when something else than digits, "+",
// "*" and "?" is left, or nothing is.
std::optional<QString> CleanNumberPattern(QStringView typed);

// Whether `match` is for `caller`; number patterns are compared in `plan`.
bool Matches(const CallerMatch& match, const ScreenedCaller& caller, const NumberPlan& plan);

enum class RecordMode { kAlways, kNever, kAsk };
// How a blocked call is ended: hung up at once, or after a message played
// to the line (needs voice transmit; hung up at once where the line has none).
enum class BlockAction { kHangUp, kMessage };

struct RecordRule {
    CallerMatch match;
    RecordMode choice = RecordMode::kAlways;
    bool operator==(const RecordRule&) const = default;
};

struct BlockEntry {
    CallerMatch match;
    BlockAction action = BlockAction::kHangUp;
    bool operator==(const BlockEntry&) const = default;
};

struct ScreeningRules {
    std::vector<RecordRule> recordRules;            // the first that matches wins
    RecordMode everyoneElse = RecordMode::kAlways;  // callers with a number no rule matched
    std::vector<BlockEntry> blockList;              // the first that matches wins
    std::vector<CallerMatch> allowList;             // never blocked; wins over the block list
    // Only phone-book callers and the allow list ring through.
    bool allowListMode = false;
    bool operator==(const ScreeningRules&) const = default;
};

struct ScreeningDecision {
    RecordMode record = RecordMode::kAlways;
    bool block = false;
    BlockAction blockAction = BlockAction::kHangUp;
    bool operator==(const ScreeningDecision&) const = default;
};

// The decision for `caller`. No rules at all: record, ring through, as
// every call did before screening existed.
ScreeningDecision Screen(const ScreeningRules& rules, const ScreenedCaller& caller,
                         const NumberPlan& plan);

}  // namespace orvane

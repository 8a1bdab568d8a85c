#pragma once
// Who may ring through and be recorded, as the call state machine asks it:
// once per call, at the first caller-ID report, or as an unknown caller
// when the call rings a second time without one.

#include <QString>

#include "calls/screening/screening_rules.h"

namespace orvane {

class PhoneBook;
class ScreeningFile;

class CallScreen {
  public:
    virtual ~CallScreen() = default;
    // Whether any caller could be blocked: only then do the ringing signs
    // (display, window, balloon, sound) wait for the decision.
    virtual bool MayBlock() const = 0;
    // The decision for the number the line sent ("" when none came).
    virtual ScreeningDecision Decide(const QString& number) const = 0;
};

// The user's rules (as the file holds them now) over the phone book: a
// caller is "in the phone book" when the book names the number.
class CallScreener final : public CallScreen {
  public:
    CallScreener(const PhoneBook& book, const ScreeningFile& rules) : book_(book), rules_(rules) {}
    bool MayBlock() const override;
    ScreeningDecision Decide(const QString& number) const override;

  private:
    const PhoneBook& book_;
    const ScreeningFile& rules_;
};

}  // namespace orvane

#include <gtest/gtest.h>

#include "calls/screening/screening_rules.h"

namespace orvane {
namespace {

using Kind = CallerMatch::Kind;

ScreenedCaller Caller(const char* number, const char* contact = "") {
    const QString text = QString::fromUtf8(number);
    return {CallerIdStateOf(text), text, QString::fromUtf8(contact)};
}

CallerMatch Number(const char* pattern) {
    return {Kind::kNumber, QString::fromUtf8(pattern)};
}

TEST(Screening, CallerIdStateOfWhatTheLineSends) {
    const struct {
        const char* sent;
        CallerIdState state;
    } cases[] = {
        {"0301234", CallerIdState::kPresent},    {"+49 30 1234", CallerIdState::kPresent},
        {"PRIVATE", CallerIdState::kWithheld},   {" p ", CallerIdState::kWithheld},
        {"Anonymous", CallerIdState::kWithheld}, {"UNAVAILABLE", CallerIdState::kUnavailable},
        {"O", CallerIdState::kUnavailable},      {"OUT OF AREA", CallerIdState::kUnavailable},
        {"UNKNOWN", CallerIdState::kMissing},    {"", CallerIdState::kMissing},
        {"+", CallerIdState::kMissing},          {"garbage", CallerIdState::kMissing},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CallerIdStateOf(QString::fromUtf8(c.sent)), c.state) << c.sent;
    }
}

TEST(Screening, NumberPatternsMatchInThePlanAndAsWritten) {
    const NumberPlan de = PlanFor(u"DE", u"30");
    const NumberPlan us = PlanFor(u"US", u"212");
    const struct {
        const char* pattern;
        const char* number;
        const NumberPlan* plan;
        bool matches;
    } cases[] = {
        {"0301234", "+49301234", &de, true},  // one number written two ways
        {"1234", "0301234", &de, true},       // a local number in the user's area
        {"030 12-34", "0049301234", &de, true},
        {"0301234", "03012345", &de, false},  // without "*" the whole number
        {"0900*", "09001234567", &de, true},
        {"0900*", "+499001234567", &de, true},
        {"0900*", "0901234567", &de, false},
        {"+44*", "00442079460000", &de, true},
        {"030123?", "0301234", &de, true},
        {"030123?", "03012345", &de, false},
        {"0*4", "0301234", &de, true},
        {"*", "0301234", &de, true},
        {"212*", "2125551234", &us, true},  // a prefix the plan cannot place, as written
        {"+1212*", "12125551234", &us, true},
        {"555*", "2125551234", &us, true},  // a local prefix in area 212
        {"556*", "2125551234", &us, false},
        {"abc", "0301234", &de, false},  // no pattern: matches nothing
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Matches(Number(c.pattern), Caller(c.number), *c.plan), c.matches)
            << c.pattern << " vs " << c.number;
    }
}

TEST(Screening, CleanNumberPatternRefusesWhatIsNoNumber) {
    const struct {
        const char* typed;
        const char* clean;  // nullptr: refused
    } cases[] = {
        {"(030) 12-34", "0301234"},
        {"+49 30*", "+4930*"},
        {"??", "??"},
        {"", nullptr},
        {"  ", nullptr},
        {"+", nullptr},
        {"12+3", nullptr},
        {"0900x", nullptr},
        {"../x", nullptr},
    };
    for (const auto& c : cases) {
        const auto clean = CleanNumberPattern(QString::fromUtf8(c.typed));
        if (c.clean == nullptr) {
            EXPECT_FALSE(clean.has_value()) << c.typed;
        } else {
            EXPECT_EQ(clean.value_or(QString()), QString::fromUtf8(c.clean)) << c.typed;
        }
    }
}

TEST(Screening, DecisionForEachCaller) {
    const NumberPlan de = PlanFor(u"DE", u"30");
    ScreeningRules rules;
    rules.everyoneElse = RecordMode::kAsk;
    rules.recordRules = {{Number("0301111"), RecordMode::kNever},
                         {{Kind::kContact, QStringLiteral("Anna")}, RecordMode::kAlways},
                         {{Kind::kUnknown, {}}, RecordMode::kAsk}};
    rules.blockList = {{Number("0900*"), BlockAction::kMessage},
                       {{Kind::kWithheld, {}}, BlockAction::kHangUp}};
    rules.allowList = {Number("09001234")};

    ScreeningRules allowOnly;
    allowOnly.allowListMode = true;
    allowOnly.allowList = {Number("0302222")};

    const ScreeningRules none;
    ScreeningRules everyoneNever;
    everyoneNever.everyoneElse = RecordMode::kNever;

    const struct {
        const char* what;
        const ScreeningRules* rules;
        ScreenedCaller caller;
        ScreeningDecision decision;
    } cases[] = {
        {"no rules: as before", &none, Caller("0301234"), {}},
        {"no rules, withheld", &none, Caller("PRIVATE"), {}},
        {"no rules, no caller ID", &none, Caller(""), {}},
        {"default never spares withheld", &everyoneNever, Caller("P"), {}},
        {"default never spares unknown", &everyoneNever, Caller("UNKNOWN"), {}},
        {"default never", &everyoneNever, Caller("0301234"), {RecordMode::kNever}},
        {"everyone else", &rules, Caller("0301234"), {RecordMode::kAsk}},
        {"number rule", &rules, Caller("+49301111"), {RecordMode::kNever}},
        {"contact rule", &rules, Caller("0303333", "Anna"), {RecordMode::kAlways}},
        {"unknown rule", &rules, Caller("O"), {RecordMode::kAsk}},
        {"blocked prefix",
         &rules,
         Caller("0900555"),
         {RecordMode::kNever, true, BlockAction::kMessage}},
        {"allow wins over block", &rules, Caller("09001234"), {RecordMode::kAsk}},
        {"withheld blocked", &rules, Caller("PRIVATE"), {RecordMode::kNever, true}},
        {"allow-list mode: phone book", &allowOnly, Caller("0301234", "Anna"), {}},
        {"allow-list mode: allowed", &allowOnly, Caller("0302222"), {}},
        {"allow-list mode: stranger", &allowOnly, Caller("0301234"), {RecordMode::kNever, true}},
        {"allow-list mode: withheld", &allowOnly, Caller("P"), {RecordMode::kNever, true}},
        {"allow-list mode: no caller ID", &allowOnly, Caller(""), {RecordMode::kNever, true}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Screen(*c.rules, c.caller, de), c.decision) << c.what;
    }
}

}  // namespace
}  // namespace orvane

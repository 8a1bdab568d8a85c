// The scenario language: good scripts, and bad ones reported by line.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/modemsim/scenario.h"

namespace orvane::modemsim {
namespace {

const std::string kDataDir = MODEMSIM_TEST_DATA_DIR;

std::string ReadFixture(const std::string& name) {
    std::ifstream in(kDataDir + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<Step> Parse(const std::string& text, std::vector<ParseError>* errors = nullptr) {
    Scenario scenario;
    std::vector<ParseError> found = AppendScenario(scenario, text, "-e", "");
    if (errors != nullptr) {
        *errors = found;
    } else {
        EXPECT_TRUE(found.empty()) << found.front().Text();
    }
    return scenario.steps;
}

std::vector<int> Lines(const std::vector<ParseError>& errors) {
    std::vector<int> lines;
    for (const ParseError& error : errors) {
        lines.push_back(error.line);
    }
    return lines;
}

TEST(ScenarioParser, ReadsEveryStepOfAScript) {
    Scenario scenario;
    const std::vector<ParseError> errors =
        AppendScenario(scenario, ReadFixture("calls.scn"), "calls.scn", "/data");
    ASSERT_TRUE(errors.empty()) << errors.front().Text();
    const std::vector<Step>& steps = scenario.steps;
    ASSERT_EQ(steps.size(), 21u);

    EXPECT_EQ(steps[0].kind, StepKind::WaitClient);
    EXPECT_EQ(steps[0].limit, WaitLimit::Fail);
    EXPECT_EQ(steps[0].limitMs, 5000);
    EXPECT_EQ(steps[1].kind, StepKind::WaitCommand);
    EXPECT_EQ(steps[1].text, "AT+FCLASS=8;+VCID=1");
    EXPECT_EQ(steps[1].limit, WaitLimit::GiveUp);
    EXPECT_EQ(steps[1].Where(), "calls.scn:4");
    // A relative sound file belongs to the script's folder.
    EXPECT_EQ(steps[2].text, "/data/sounds/hello.wav");

    EXPECT_EQ(steps[3].kind, StepKind::Repeat);
    EXPECT_EQ(steps[3].count, 2);
    EXPECT_EQ(steps[3].ms, 20000);
    EXPECT_EQ(steps[3].partner, 8u);
    EXPECT_EQ(steps[8].partner, 3u);

    const Step& call = steps[4];
    EXPECT_EQ(call.kind, StepKind::Call);
    EXPECT_EQ(call.count, 3);
    EXPECT_EQ(call.ms, 4000);
    EXPECT_EQ(call.callerId.name, "Alice Example");
    EXPECT_EQ(call.callerId.number, "5551234");
    EXPECT_EQ(call.placement, CidPlacement::BeforeFirstRing);
    EXPECT_EQ(call.callerId.format, CidFormat::NoSpaces);

    // Several steps on one line.
    EXPECT_EQ(steps[5].kind, StepKind::Pickup);
    EXPECT_EQ(steps[6].ms, 1500);
    EXPECT_EQ(steps[7].kind, StepKind::HandsetHangup);
    EXPECT_EQ(steps[7].line, 8);
    EXPECT_EQ(steps[9].count, 1);
    EXPECT_EQ(steps[9].ms, kDefaultRingEveryMs);
    EXPECT_EQ(steps[10].count, 4);
    EXPECT_EQ(steps[10].ms, 100);

    EXPECT_EQ(steps[11].callerId.date, "1231");
    EXPECT_EQ(steps[11].callerId.format, CidFormat::Sdmf);
    EXPECT_EQ(steps[12].hz, 440);
    EXPECT_EQ(steps[13].voice, VoiceKind::Pattern);
    EXPECT_EQ(steps[16].hangup, RemoteHangupKind::EndOfStream);
    EXPECT_EQ(steps[16].endResult, ResultCode::NoCarrier);
    EXPECT_EQ(steps[17].dial, DialOutcome::NoAnswer);
    EXPECT_EQ(steps[17].ms, 3000);
    EXPECT_EQ(steps[18].text, "\x10R\r\nRING\r\n");
    EXPECT_EQ(steps[19].limit, WaitLimit::None);
    EXPECT_EQ(steps[20].exitCode, 4);
}

TEST(ScenarioParser, QuotedTextKeepsItsBytes) {
    const std::vector<Step> steps = Parse(R"(raw "a;b # c\t\e\0\\\"\x7f"; raw plain\word)");
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].text, std::string("a;b # c\t\x1b\0\\\"\x7f", 13));
    EXPECT_EQ(steps[1].text, "plain\\word");
}

TEST(ScenarioParser, CallerIdKeysAndDefaults) {
    std::vector<Step> steps = Parse("call; cid raw=\"x\"; CALL Rings=0 cid=none");
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0].count, kDefaultCallRings);
    EXPECT_EQ(steps[0].placement, CidPlacement::AfterFirstRing);
    EXPECT_FALSE(steps[0].callerId.format.has_value());
    EXPECT_EQ(steps[1].callerId.format, CidFormat::Raw);
    EXPECT_EQ(steps[1].callerId.raw, "x");
    EXPECT_EQ(steps[2].count, 0);
    EXPECT_EQ(steps[2].placement, CidPlacement::None);
}

TEST(ScenarioParser, SlowCallerIdAndALateEndResult) {
    const std::vector<Step> steps = Parse(
        "cid format=mesg pace=40; remote-hangup etx error after 300; remote-hangup etx after 5");
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0].callerId.format, CidFormat::Mesg);
    EXPECT_EQ(steps[0].callerId.paceMs, 40);
    EXPECT_EQ(steps[1].endResult, ResultCode::Error);
    EXPECT_EQ(steps[1].ms, 300);
    EXPECT_EQ(steps[2].endResult, ResultCode::Ok);
    EXPECT_EQ(steps[2].ms, 5);
}

TEST(ScenarioParser, ReportsEveryFaultWithItsLine) {
    Scenario scenario;
    const std::vector<ParseError> errors =
        AppendScenario(scenario, ReadFixture("broken.scn"), "broken.scn", "");
    EXPECT_EQ(Lines(errors), (std::vector<int>{3, 4, 5, 6, 7, 8, 9}));
    ASSERT_EQ(errors.size(), 7u);
    EXPECT_EQ(errors[0].Text(), "broken.scn:3: unknown step \"rnig\"");
    EXPECT_NE(errors[1].message.find("soon"), std::string::npos);
    EXPECT_NE(errors[2].message.find("unterminated"), std::string::npos);
    EXPECT_NE(errors[3].message.find("3999"), std::string::npos);
    EXPECT_EQ(errors[4].message, "end without repeat");
    EXPECT_EQ(errors[5].message, "repeat without end");
    EXPECT_NE(errors[6].message.find("raw=TEXT"), std::string::npos);
    // A script with faults adds nothing.
    EXPECT_TRUE(scenario.steps.empty());
}

TEST(ScenarioParser, RefusesBadValues) {
    const char* const bad[] = {
        "sleep",
        "sleep -5",
        "sleep 86400001",
        "ring 0",
        "ring 2 every",
        "wait-client after 5",
        "wait-command",
        "wait-command \"\"",
        "wait-hangup timeout",
        "cid name",
        "cid colour=red",
        "cid date=321",
        "cid format=fancy",
        "cid raw=x format=spaces",
        "call cid=later",
        "call rings=x",
        "voice",
        "voice tone",
        "voice tone 0",
        "voice file",
        "voice noise",
        "remote-hangup",
        "remote-hangup busy ok",
        "remote-hangup etx maybe",
        "remote-hangup etx error after",
        "remote-hangup busy after 300",
        "cid pace=x",
        "cid pace=10001",
        "dial-answer",
        "dial-answer busy soon 5",
        "raw",
        "raw a b",
        "exit 256",
        "pickup now",
        "raw \"\\q\"",
        "raw \"\\x4\"",
    };
    for (const char* text : bad) {
        std::vector<ParseError> errors;
        Parse(text, &errors);
        EXPECT_EQ(errors.size(), 1u) << text;
        if (!errors.empty()) {
            EXPECT_EQ(errors[0].line, 1) << text;
        }
    }
}

TEST(ScenarioParser, CommentsOnlyAtTheStartOfALine) {
    std::vector<ParseError> errors;
    const std::vector<Step> steps = Parse("  # a comment; ring\nwait-command #CID=1\n", &errors);
    ASSERT_TRUE(errors.empty());
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].text, "#CID=1");
    EXPECT_EQ(steps[0].line, 2);
}

TEST(ScenarioParser, SourcesAppendWithTheirOwnLines) {
    Scenario scenario;
    ASSERT_TRUE(AppendScenario(scenario, "repeat 2\nring\nend", "a.scn", "").empty());
    ASSERT_TRUE(AppendScenario(scenario, "repeat\n sleep 10\nend", "-e", "").empty());
    ASSERT_EQ(scenario.steps.size(), 6u);
    EXPECT_EQ(scenario.steps[3].partner, 5u);
    EXPECT_EQ(scenario.steps[5].partner, 3u);
    EXPECT_EQ(scenario.steps[3].count, 0);  // for ever
    EXPECT_EQ(scenario.steps[4].Where(), "-e:2");
}

TEST(ScenarioParser, LongHostileTextIsKept) {
    Scenario scenario;
    const std::vector<ParseError> errors =
        AppendScenario(scenario, ReadFixture("hostile_cid.scn"), "hostile_cid.scn", "");
    ASSERT_TRUE(errors.empty()) << errors.front().Text();
    ASSERT_EQ(scenario.steps.size(), 3u);
    const std::string& raw = scenario.steps[1].callerId.raw;
    EXPECT_EQ(raw.size(), 10048u);
    EXPECT_EQ(raw.substr(0, 12), std::string("\r\nNAME = \0\x1b[", 12));
}

TEST(ScenarioParser, TheDemoParses) {
    std::vector<ParseError> errors;
    Scenario scenario;
    errors = AppendScenario(scenario, kDemoScenario, "demo", "");
    EXPECT_TRUE(errors.empty());
    EXPECT_FALSE(scenario.steps.empty());
}

}  // namespace
}  // namespace orvane::modemsim

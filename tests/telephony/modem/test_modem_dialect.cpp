// Command sets per dialect, dialect detection from probe answers, and the
// capability lists (+FCLASS=?, +VLS=?) read as lists, not text searches.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "telephony/modem/dialect.h"
#include "telephony/modem/dle_codec.h"

namespace orvane::modem {
namespace {

using Bytes = std::vector<unsigned char>;

TEST(ModemDialect, V253Commands) {
    const DialectCommands c = CommandsFor(Dialect::V253);
    EXPECT_EQ(c.reset, "ATZ");
    EXPECT_EQ(c.basicSetup, "ATE0V1Q0S0=0");
    EXPECT_EQ(c.callerIdOn, "AT+VCID=1");
    EXPECT_EQ(c.callerIdOnAlt, "AT#CID=1");
    EXPECT_EQ(c.voiceMode, "AT+FCLASS=8");
    EXPECT_EQ(c.dataMode, "AT+FCLASS=0");
    EXPECT_EQ(c.voiceSetup, "AT+VIT=0");
    EXPECT_EQ(c.formatQuery, "AT+VSM=?");
    EXPECT_EQ(c.formatPrefix, "AT+VSM=");
    EXPECT_FALSE(c.fixedFormat);
    EXPECT_EQ(c.lineQuery, "AT+VLS=?");
    EXPECT_EQ(c.linePrefix, "AT+VLS=");
    EXPECT_EQ(c.offHookFallback, "AT+VLS=1");
    EXPECT_EQ(c.startReceive, "AT+VRX");
    EXPECT_EQ(c.stopReceive, (Bytes{kDle, '!'}));
    EXPECT_EQ(c.hangUp, "ATH0");
    EXPECT_EQ(c.dialPrefix, "ATD");
}

TEST(ModemDialect, PoundDialects) {
    const DialectCommands rockwell = CommandsFor(Dialect::Rockwell);
    EXPECT_EQ(rockwell.voiceMode, "AT#CLS=8");
    EXPECT_EQ(rockwell.dataMode, "AT#CLS=0");
    EXPECT_EQ(rockwell.callerIdOn, "AT#CID=1");
    EXPECT_EQ(rockwell.lineQuery, "");
    EXPECT_EQ(rockwell.offHookFallback, "ATA");
    EXPECT_EQ(rockwell.startReceive, "AT#VRX");
    EXPECT_EQ(rockwell.stopReceive, Bytes{'!'});
    EXPECT_EQ(rockwell.hangUp, "ATH");
    EXPECT_EQ(rockwell.formatQuery, "");
    EXPECT_EQ(rockwell.fixedFormatCommand, "AT#VBS=8");
    ASSERT_TRUE(rockwell.fixedFormat);
    EXPECT_EQ(rockwell.fixedFormat->rate, 7200);

    const DialectCommands usr = CommandsFor(Dialect::UsRobotics);
    EXPECT_EQ(usr.voiceMode, "AT#CLS=8");
    EXPECT_EQ(usr.callerIdOn, "AT#CID=1");
    EXPECT_EQ(usr.formatQuery, "AT#VSM=?");
    EXPECT_EQ(usr.offHookFallback, "AT#VLS=0A");
    EXPECT_EQ(usr.startReceive, "AT#VRX");
    EXPECT_EQ(usr.stopReceive, Bytes{kDle});
    EXPECT_EQ(usr.hangUp, "AT#VLS=0H0");
    // A Sportster without +FCLASS leaves voice class only by its own command.
    EXPECT_EQ(usr.dataMode, "AT#CLS=0");
    EXPECT_EQ(usr.toneQuery, "AT#VTS=?");
    EXPECT_EQ(rockwell.toneQuery, "AT#VTS=?");
    EXPECT_EQ(CommandsFor(Dialect::V253).toneQuery, "AT+VTS=?");
}

TEST(ModemDialect, SplitsACompoundCommandLineIntoItsCommands) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(SplitCommandLine("AT+VPR=0;+VIT=0;+VLS=0"),
              (Lines{"AT+VPR=0", "AT+VIT=0", "AT+VLS=0"}));
    EXPECT_EQ(SplitCommandLine("AT#VTD=3F,3F,3F"), Lines{"AT#VTD=3F,3F,3F"});
    EXPECT_EQ(SplitCommandLine("AT+VIT=0; ;+VLS=0;"), (Lines{"AT+VIT=0", "AT+VLS=0"}));
    EXPECT_EQ(SplitCommandLine("AT"), Lines{"AT"});
}

TEST(ModemDialect, LucentIsV253WithItsOwnInit) {
    DialectCommands lucent = CommandsFor(Dialect::Lucent);
    EXPECT_EQ(lucent.voiceSetup, "AT+VPR=0;+VIT=0;+VLS=0");
    DialectCommands v253 = CommandsFor(Dialect::V253);
    lucent.voiceSetup.clear();
    v253.voiceSetup.clear();
    EXPECT_EQ(lucent.voiceMode, v253.voiceMode);
    EXPECT_EQ(lucent.formatQuery, v253.formatQuery);
    EXPECT_EQ(lucent.lineQuery, v253.lineQuery);
    EXPECT_EQ(lucent.startReceive, v253.startReceive);
    EXPECT_EQ(lucent.stopReceive, v253.stopReceive);
}

TEST(ModemDialect, EveryDialectCanRunACall) {
    for (const Dialect d :
         {Dialect::V253, Dialect::Rockwell, Dialect::UsRobotics, Dialect::Lucent}) {
        SCOPED_TRACE(std::string(DialectName(d)));
        const DialectCommands c = CommandsFor(d);
        for (const std::string* command :
             {&c.reset, &c.basicSetup, &c.callerIdOn, &c.voiceMode, &c.dataMode, &c.offHookFallback,
              &c.startReceive, &c.hangUp, &c.dialPrefix}) {
            EXPECT_TRUE(command->starts_with("AT")) << *command;
        }
        EXPECT_FALSE(c.stopReceive.empty());
        // Either the formats are asked for or one is fixed.
        EXPECT_EQ(c.formatQuery.empty(), c.formatPrefix.empty());
        EXPECT_EQ(c.formatQuery.empty(), c.fixedFormat.has_value());
        EXPECT_EQ(c.fixedFormat.has_value(), !c.fixedFormatCommand.empty());
    }
    EXPECT_EQ(DialectName(Dialect::V253), "V.253");
    EXPECT_EQ(DialectName(Dialect::Rockwell), "Rockwell");
    EXPECT_EQ(DialectName(Dialect::UsRobotics), "U.S. Robotics");
    EXPECT_EQ(DialectName(Dialect::Lucent), "Lucent");
}

struct DetectCase {
    const char* what;
    std::vector<std::string> classList;
    std::vector<std::string> identification;
    bool poundClassOk;
    Dialect expected;
};

TEST(ModemDialect, DetectsTheDialectFromProbeAnswers) {
    const std::vector<DetectCase> cases = {
        {"Conexant",
         {"0,1,1.0,2,8"},
         {"CX93001-EIS_V0.2002-V92", "+GMI: CONEXANT"},
         false,
         Dialect::V253},
        {"V.253 modem that also knows #CLS", {"(0,1,2,8)"}, {"56000"}, true, Dialect::V253},
        {"USR 5637 speaks V.253", {"0,1,2,8"}, {"U.S. Robotics 56K FAX USB"}, true, Dialect::V253},
        {"old Rockwell", {"0,1,2"}, {"RC56D/SP"}, true, Dialect::Rockwell},
        {"class 80 is not voice", {"0,1,1.0,80"}, {"5601"}, true, Dialect::Rockwell},
        {"Sportster", {"0,1,2"}, {"Sportster 33600 Fax"}, true, Dialect::UsRobotics},
        {"USR by PnP id",
         {"0,1,2"},
         {"(1.0USR9100\\\\Modem\\PNPC107\\Sportster)"},
         true,
         Dialect::UsRobotics},
        {"Courier", {"0,1,2.0"}, {"USRobotics Courier V.Everything"}, true, Dialect::UsRobotics},
        {"Lucent", {"0,1,2,8"}, {"Lucent Win Modem"}, false, Dialect::Lucent},
        {"Agere", {"0,1,8"}, {"AGERE SYSTEMS"}, false, Dialect::Lucent},
        {"LT as a word", {"0,1,8"}, {"LT V.92 Data+Fax Modem"}, false, Dialect::Lucent},
        {"LT inside words is nothing", {"0,1,8"}, {"VOLTAGE DEFAULT"}, false, Dialect::V253},
        {"no voice at all", {"0,1,2"}, {}, false, Dialect::V253},
    };
    for (const DetectCase& c : cases) {
        ProbeReplies replies;
        replies.classList = c.classList;
        replies.identification = c.identification;
        replies.poundClassOk = c.poundClassOk;
        EXPECT_EQ(DetectDialect(replies), c.expected) << c.what;
    }
}

struct ClassCase {
    std::vector<std::string> lines;
    std::vector<std::string> classes;
    bool voice;
};

TEST(ModemDialect, ReadsClassLists) {
    const std::vector<ClassCase> cases = {
        {{"0,1,1.0,2,8"}, {"0", "1", "1.0", "2", "8"}, true},
        {{"(0,1,2,8)"}, {"0", "1", "2", "8"}, true},
        {{"0,1,1.0,80"}, {"0", "1", "1.0", "80"}, false},
        {{"0,2,8.0"}, {"0", "2", "8.0"}, true},
        {{"0, 2, 8"}, {"0", "2", "8"}, true},
        {{"+FCLASS: (0-2,8)"}, {"0", "1", "2", "8"}, true},
        {{"AT+FCLASS=?", "0,1,2", "OK"}, {"0", "1", "2"}, false},
        {{"0,8.1,18"}, {"0", "8.1", "18"}, false},
        {{"8.", "x8", ""}, {}, false},
    };
    for (const ClassCase& c : cases) {
        EXPECT_EQ(ParseClassList(c.lines), c.classes) << c.lines.front();
        EXPECT_EQ(HasVoiceClass(c.lines), c.voice) << c.lines.front();
    }
}

// Telenetics manual layout: label,"primitives",tx mask,rx mask,idle mask.
const std::vector<std::string> kLineAnswer = {
    "AT+VLS=?",
    "0,\"\",0B0000C1,0F0000C1,0B0000C1",
    "1,\"T\",0B8433C1,0FE431C1,0B8431C1",
    "2,\"L\",00000000,00000000,00000000",
    "3,\"LT\",0B8433C1,0FE431C1,0B8431C1",
    "4,\"S\",00000000,00000000,00000000",
    "OK",
};

TEST(ModemDialect, ReadsLineSelections) {
    const auto selections = ParseLineSelections(kLineAnswer);
    ASSERT_EQ(selections.size(), 5u);
    EXPECT_EQ(selections[0].label, 0);
    EXPECT_EQ(selections[0].primitives, "");
    EXPECT_EQ(selections[3].label, 3);
    EXPECT_EQ(selections[3].primitives, "LT");
}

TEST(ModemDialect, ChoosesTheLineByItsPrimitives) {
    const auto selections = ParseLineSelections(kLineAnswer);
    EXPECT_EQ(ChooseLineLabel(selections, false), 1);
    EXPECT_EQ(ChooseLineLabel(selections, true), 3);

    // IS-101 numbering: the modem on the line is label 2.
    const std::vector<std::string> is101 = {"0,\"\",0,0,0", "1,\"L\",0,0,0", "2,\"T\",0,0,0"};
    EXPECT_EQ(ChooseLineLabel(ParseLineSelections(is101), false), 2);
    EXPECT_EQ(ChooseLineLabel(ParseLineSelections(is101), true), 2);

    const std::vector<std::string> none = {"0,\"\",0,0,0", "4,\"S\",0,0,0", "5,\"ST\",0,0,0"};
    EXPECT_FALSE(ChooseLineLabel(ParseLineSelections(none), false));
    EXPECT_FALSE(ChooseLineLabel(ParseLineSelections(none), true));
}

}  // namespace
}  // namespace orvane::modem

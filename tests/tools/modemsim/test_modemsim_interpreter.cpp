// The emulated modem's command side without a terminal: bytes in, bytes out.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "telephony/modem/caller_id.h"
#include "telephony/modem/dialect.h"
#include "telephony/modem/voice_format.h"
#include "tools/modemsim/at_interpreter.h"
#include "tools/modemsim/line_signals.h"

namespace orvane::modemsim {
namespace {

class RecordingHost : public ModemHost {
  public:
    void Send(std::string_view bytes) override { out += bytes; }
    void CommandLineReceived(std::string_view line) override { lines.emplace_back(line); }
    void HookChanged(bool offHook) override { hooks.push_back(offHook); }
    void ReceiveStarted() override { ++receives; }
    void ReceiveAborted() override {
        ++aborts;
        out += "<stream end>";
    }
    void TransmitStarted() override {}
    void TransmitEnded(std::size_t bytes) override { transmitted = bytes; }
    void TransmitFault(uint8_t code) override { faults.push_back(static_cast<char>(code)); }
    void TransmitPlayed(std::span<const uint8_t> sound, SampleEncoding encoding) override {
        played.assign(sound.begin(), sound.end());
        playedAs = encoding;
    }
    void DialRequested(std::string_view number) override { dialled = number; }

    std::string Take() {
        std::string taken;
        taken.swap(out);
        return taken;
    }

    std::string out;
    std::vector<std::string> lines;
    std::vector<bool> hooks;
    int receives = 0;
    int aborts = 0;
    std::size_t transmitted = 0;
    std::string faults;
    std::string played;
    SampleEncoding playedAs = SampleEncoding::Unsigned8;
    std::string dialled;
};

class InterpreterTest : public ::testing::Test {
  protected:
    explicit InterpreterTest(Dialect dialect = Dialect::V253, bool echo = false)
        : modem_({dialect, echo}, host_) {
        modem_.PowerOn();
    }

    // The answer to one command line.
    std::string Run(const std::string& line) {
        host_.Take();
        modem_.Feed(line + "\r");
        return host_.Take();
    }

    // The information lines of an answer, without "OK".
    std::vector<std::string> InfoLines(const std::string& line) {
        std::vector<std::string> lines;
        std::string answer = Run(line);
        std::string current;
        for (char c : answer) {
            if (c == '\r' || c == '\n') {
                if (!current.empty() && current != "OK") {
                    lines.push_back(current);
                }
                current.clear();
            } else {
                current += c;
            }
        }
        return lines;
    }

    RecordingHost host_;
    AtInterpreter modem_;
};

class EchoingInterpreterTest : public InterpreterTest {
  protected:
    EchoingInterpreterTest() : InterpreterTest(Dialect::V253, true) {}
};

class RockwellInterpreterTest : public InterpreterTest {
  protected:
    RockwellInterpreterTest() : InterpreterTest(Dialect::Rockwell, false) {}
};

TEST_F(EchoingInterpreterTest, EchoesTheLineWithItsCrBeforeTheReply) {
    modem_.Feed("ATZ\r");
    EXPECT_EQ(host_.Take(), "ATZ\r\r\nOK\r\n");

    // Typed a byte at a time, the echo comes a byte at a time and the same.
    for (char c : std::string("AT+FCLASS?\r")) {
        modem_.Feed(std::string(1, c));
    }
    EXPECT_EQ(host_.Take(), "AT+FCLASS?\r\r\n0\r\n\r\nOK\r\n");

    // E0 is echoed itself; the next line is not.
    modem_.Feed("ATE0\r");
    EXPECT_EQ(host_.Take(), "ATE0\r\r\nOK\r\n");
    modem_.Feed("AT\r");
    EXPECT_EQ(host_.Take(), "\r\nOK\r\n");

    // A reset brings back the echo of --echo.
    modem_.Feed("ATZ\r");
    host_.Take();
    modem_.Feed("AT\r");
    EXPECT_EQ(host_.Take(), "AT\r\r\nOK\r\n");
}

TEST_F(InterpreterTest, WithoutEchoOnlyTheReplyComes) {
    EXPECT_EQ(Run("ATZ"), "\r\nOK\r\n");
    EXPECT_EQ(Run("ATI3"), "\r\nmodemsim V.253 voice modem\r\n\r\nOK\r\n");
}

TEST_F(InterpreterTest, RunsSeveralCommandsOfOneLine) {
    EXPECT_EQ(Run("AT Z S0=2 E0 V1 Q0"), "\r\nOK\r\n");
    EXPECT_EQ(Run("ATS0?"), "\r\n002\r\n\r\nOK\r\n");

    EXPECT_EQ(Run("AT+FCLASS=8;+VCID=1"), "\r\nOK\r\n");
    EXPECT_TRUE(modem_.VoiceClass());
    EXPECT_EQ(modem_.settings().callerId, 1);

    EXPECT_EQ(Run("ATE1V1"), "\r\nOK\r\n");
    EXPECT_TRUE(modem_.settings().echo);
}

TEST_F(InterpreterTest, StopsTheLineAtTheFirstBadCommand) {
    EXPECT_EQ(Run("ATE1+BOGUS=1V0"), "\r\nERROR\r\n");
    EXPECT_TRUE(modem_.settings().echo);     // ran before the error
    EXPECT_TRUE(modem_.settings().verbose);  // never ran
    EXPECT_EQ(Run("ATE7"), "ATE7\r\r\nERROR\r\n");
    EXPECT_EQ(Run("ATS3=0"), "ATS3=0\r\r\nERROR\r\n");  // would make CR ordinary
}

TEST_F(InterpreterTest, ReadsAnyCaseAndIgnoresLinesWithoutAt) {
    EXPECT_EQ(Run("at+fclass=8"), "\r\nOK\r\n");
    EXPECT_EQ(Run("aT+vCiD=2"), "\r\nOK\r\n");
    EXPECT_EQ(modem_.settings().callerId, 2);
    EXPECT_EQ(Run("hello"), "");
    // Noise before the "AT" is dropped, as a modem does.
    EXPECT_EQ(Run("\x10!xATE0"), "\r\nOK\r\n");
    EXPECT_EQ(host_.lines.back(), "ATE0");
    EXPECT_EQ(Run("AT+NOSUCH"), "\r\nERROR\r\n");
    EXPECT_EQ(Run("AT" + std::string(300, 'E')), "\r\nERROR\r\n");
    EXPECT_EQ(host_.lines.back(), "AT" + std::string(253, 'E'));
}

TEST_F(InterpreterTest, NumericResultCodesEndWithCrAlone) {
    EXPECT_EQ(Run("ATV0"), "0\r");
    EXPECT_EQ(Run("AT+NOSUCH"), "4\r");
    EXPECT_EQ(Run("ATI3"), "modemsim V.253 voice modem\r\n0\r");
    EXPECT_EQ(Run("ATQ1"), "");
}

TEST_F(InterpreterTest, VoiceCapabilitiesReadByTheClientsParsers) {
    EXPECT_TRUE(modem::HasVoiceClass(InfoLines("AT+FCLASS=?")));
    EXPECT_EQ(InfoLines("AT+VCID=?"), std::vector<std::string>{"(0-2)"});

    // The client's own choice from our offers is one we accept.
    const std::vector<modem::VoiceFormatOffer> offers =
        modem::ParseVoiceFormatOffers(InfoLines("AT+VSM=?"));
    ASSERT_EQ(offers.size(), 6u);
    const auto choice = modem::ChooseVoiceFormat(offers);
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(Run("AT+FCLASS=8"), "\r\nOK\r\n");
    EXPECT_EQ(Run("AT+VSM=" + modem::VoiceFormatArgument(*choice)), "\r\nOK\r\n");
    EXPECT_EQ(modem_.settings().encoding, choice->encoding);
    EXPECT_EQ(Run("AT+VSM=131,8000,0,0"), "\r\nOK\r\n");
    EXPECT_EQ(modem_.settings().encoding, SampleEncoding::MuLaw);
    EXPECT_EQ(Run("AT+VSM=131,7200"), "\r\nERROR\r\n");
    EXPECT_EQ(Run("AT+VSM=7"), "\r\nERROR\r\n");
    EXPECT_EQ(InfoLines("AT+VSM?"), std::vector<std::string>{"131,8000,0,0"});

    const auto selections = modem::ParseLineSelections(InfoLines("AT+VLS=?"));
    EXPECT_EQ(modem::ChooseLineLabel(selections, false), 1);
    EXPECT_EQ(modem::ChooseLineLabel(selections, true), 3);
}

TEST_F(InterpreterTest, OffHookAndOnHook) {
    EXPECT_EQ(Run("AT+VLS=1"), "\r\nERROR\r\n");  // not in voice class
    Run("AT+FCLASS=8");
    EXPECT_EQ(Run("AT+VLS=3"), "\r\nOK\r\n");
    EXPECT_TRUE(modem_.OffHook());
    EXPECT_EQ(Run("AT+VLS=0"), "\r\nOK\r\n");
    EXPECT_FALSE(modem_.OffHook());
    EXPECT_EQ(Run("ATA"), "\r\nOK\r\n");
    EXPECT_TRUE(modem_.OffHook());
    EXPECT_EQ(Run("ATH0"), "\r\nOK\r\n");
    EXPECT_EQ(host_.hooks, (std::vector<bool>{true, false, true, false}));

    // In data class nothing answers an ATA.
    Run("AT+FCLASS=0");
    EXPECT_EQ(Run("ATA"), "\r\nNO CARRIER\r\n");
    EXPECT_FALSE(modem_.OffHook());
}

TEST_F(InterpreterTest, VoiceReceiveEndsOnDleExclamationOnly) {
    EXPECT_EQ(Run("AT+VRX"), "\r\nERROR\r\n");  // neither voice class nor off-hook
    Run("AT+FCLASS=8");
    Run("AT+VLS=1");
    EXPECT_EQ(Run("AT+VRX"), "\r\nCONNECT\r\n");
    EXPECT_EQ(host_.receives, 1);
    EXPECT_EQ(modem_.state(), AtInterpreter::State::Receive);

    // A doubled DLE is data, a bare "!" is nothing, and nothing is echoed.
    modem_.Feed(std::string("AT\r\x10\x10!x\x10", 8));
    EXPECT_EQ(host_.Take(), "");
    EXPECT_EQ(host_.aborts, 0);
    // The pair split across two reads still counts; what follows is a command.
    modem_.Feed(std::string("!ATH\r"));
    EXPECT_EQ(host_.Take(), "<stream end>\x10\x03\r\nOK\r\n\r\nOK\r\n");
    EXPECT_FALSE(modem_.OffHook());
    EXPECT_EQ(modem_.state(), AtInterpreter::State::Command);
}

TEST_F(InterpreterTest, ModemEndsTheReceiveWithEtxAndAResult) {
    Run("AT+FCLASS=8");
    Run("AT+VLS=1");
    Run("AT+VRX");
    modem_.EndReceive(ResultCode::NoCarrier);
    EXPECT_EQ(host_.Take(), "\x10\x03\r\nNO CARRIER\r\n");
    EXPECT_EQ(Run("AT"), "\r\nOK\r\n");
}

TEST_F(InterpreterTest, VoiceTransmitTakesShieldedDataUntilDleEtx) {
    Run("AT+FCLASS=8");
    Run("ATA");
    EXPECT_EQ(Run("AT+VTX"), "\r\nCONNECT\r\n");
    modem_.Feed(
        std::string("ab\x10\x10"
                    "c\x10\x03",
                    7));
    EXPECT_EQ(host_.Take(), "\r\nOK\r\n");
    EXPECT_EQ(host_.transmitted, 4u);
}

TEST(InterpreterTransmit, EachDialectPlaysTheUnshieldedSoundAndNamesFaults) {
    struct Case {
        Dialect dialect;
        std::vector<std::string> setup;
        std::string start;
        SampleEncoding encoding;
    };
    const std::vector<Case> cases = {
        {Dialect::V253, {"AT+FCLASS=8", "AT+VSM=131,8000", "ATA"}, "AT+VTX", SampleEncoding::MuLaw},
        {Dialect::Rockwell, {"AT#CLS=8", "AT#VBS=8", "ATA"}, "AT#VTX", SampleEncoding::Unsigned8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        RecordingHost host;
        AtInterpreter modem({c.dialect, false}, host);
        modem.PowerOn();
        for (const std::string& line : c.setup) {
            modem.Feed(line + "\r");
        }
        host.Take();
        modem.Feed(c.start + "\r");
        EXPECT_EQ(host.Take(), "\r\nCONNECT\r\n");
        // A fault pair is dropped and named; the stream goes on to its end,
        // and what follows it is a command again.
        modem.Feed(
            std::string("a\x10\x10"
                        "b\x10Zc\x10\x03"
                        "AT\r",
                        12));
        EXPECT_EQ(host.Take(), "\r\nOK\r\n\r\nOK\r\n");
        EXPECT_EQ(host.played,
                  "a\x10"
                  "bc");
        EXPECT_EQ(host.faults, "Z");
        EXPECT_EQ(host.playedAs, c.encoding);
        EXPECT_EQ(host.transmitted, 4u);
    }
}

TEST_F(InterpreterTest, DialHoldsInputUntilTheAnswer) {
    Run("AT+FCLASS=8");
    EXPECT_EQ(Run("ATDT555-1234;"), "\r\nERROR\r\n");  // "-" is not a dial character
    EXPECT_EQ(Run("ATDT5551234;"), "");
    EXPECT_EQ(host_.dialled, "5551234");
    EXPECT_TRUE(modem_.OffHook());
    modem_.Feed("AT\r");
    EXPECT_EQ(host_.Take(), "");
    modem_.FinishDial(DialOutcome::Busy);
    EXPECT_EQ(host_.Take(), "\r\nBUSY\r\n\r\nOK\r\n");
    EXPECT_FALSE(modem_.OffHook());

    Run("ATD5551234");
    modem_.FinishDial(DialOutcome::Answered);
    EXPECT_EQ(host_.Take(), "\r\nOK\r\n");
    EXPECT_TRUE(modem_.OffHook());
    Run("ATH");
    Run("ATD5551234");
    modem_.FinishDial(DialOutcome::NoDialtone);
    EXPECT_EQ(host_.Take(), "\r\nNO DIALTONE\r\n");
}

TEST_F(InterpreterTest, RefusesTheRockwellCommands) {
    EXPECT_EQ(Run("AT#CLS=?"), "\r\nERROR\r\n");
    EXPECT_EQ(Run("AT#CID=1"), "\r\nERROR\r\n");
}

TEST_F(RockwellInterpreterTest, SpeaksThePoundDialect) {
    // No class 8 under +FCLASS: a client must find it with #CLS.
    EXPECT_FALSE(modem::HasVoiceClass(InfoLines("AT+FCLASS=?")));
    EXPECT_TRUE(modem::HasVoiceClass(InfoLines("AT#CLS=?")));
    EXPECT_EQ(Run("AT+FCLASS=8"), "\r\nERROR\r\n");
    EXPECT_EQ(Run("AT+VCID=1"), "\r\nERROR\r\n");
    EXPECT_EQ(Run("AT+VRX"), "\r\nERROR\r\n");

    EXPECT_EQ(Run("AT#CLS=8#CID=1"), "\r\nOK\r\n");
    EXPECT_TRUE(modem_.VoiceClass());
    EXPECT_EQ(modem_.settings().callerId, 1);
    EXPECT_EQ(Run("AT#VBS=4"), "\r\nERROR\r\n");
    EXPECT_EQ(Run("AT#VBS=16"), "\r\nOK\r\n");
    EXPECT_EQ(modem_.settings().encoding, SampleEncoding::Signed16Le);
    EXPECT_EQ(Run("ATA"), "\r\nVCON\r\n");
    EXPECT_EQ(Run("AT#VRX"), "\r\nCONNECT\r\n");
    // Old Rockwell firmware ends a receive on a bare "!".
    modem_.Feed("!");
    EXPECT_EQ(host_.Take(), "<stream end>\x10\x03\r\nOK\r\n");

    Run("ATD5551234");
    modem_.FinishDial(DialOutcome::Answered);
    EXPECT_EQ(host_.Take(), "\r\nVCON\r\n");
}

class CallerIdTest : public InterpreterTest {
  protected:
    std::string CallerId(std::optional<CidFormat> format = std::nullopt) {
        CallerIdMessage message;
        message.name = "Alice Example";
        message.number = "5551234";
        message.date = "0321";
        message.time = "1405";
        message.format = format;
        return CallerIdBytes(ContextOf(modem_, false), message);
    }
};

TEST_F(CallerIdTest, SentOnlyWhileTheClientHasItOn) {
    EXPECT_EQ(CallerId(), "");
    Run("AT+VCID=1");
    const std::string formatted =
        "\r\nDATE = 0321\r\nTIME = 1405\r\nNMBR = 5551234\r\nNAME = Alice Example\r\n";
    EXPECT_EQ(CallerId(), formatted);

    // Modems that forget +VCID on a reset: ATZ and AT&F turn it off.
    Run("ATZ");
    EXPECT_EQ(CallerId(), "");
    Run("AT+VCID=1");
    Run("AT&F");
    EXPECT_EQ(CallerId(), "");
    Run("AT+VCID=0");
    EXPECT_EQ(CallerId(CidFormat::Spaces), "");
}

TEST_F(CallerIdTest, TheFormatsAModemPrints) {
    Run("AT+VCID=1");
    EXPECT_EQ(CallerId(CidFormat::NoSpaces),
              "\r\nDATE=0321\r\nTIME=1405\r\nNMBR=5551234\r\nNAME=Alice Example\r\n");
    EXPECT_EQ(CallerId(CidFormat::OneLine),
              "\r\nDATE = 0321 TIME = 1405 NMBR = 5551234 NAME = Alice Example\r\n");

    // +VCID=2 means the packet as hex, which the client's decoder reads.
    Run("AT+VCID=2");
    const std::string mdmf = CallerId();
    ASSERT_GE(mdmf.size(), 4u);
    const auto decoded = modem::DecodeCallerIdPacket(mdmf.substr(2, mdmf.size() - 4));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->name, "Alice Example");
    EXPECT_EQ(decoded->number, "5551234");
    const std::string sdmf = CallerId(CidFormat::Sdmf);
    const auto number = modem::DecodeCallerIdPacket(sdmf.substr(2, sdmf.size() - 4));
    ASSERT_TRUE(number.has_value());
    EXPECT_EQ(number->number, "5551234");

    CallerIdMessage raw;
    raw.format = CidFormat::Raw;
    static constexpr char kHostile[] = "NAME = \0\x1b../../x\r\n";
    raw.raw = std::string(kHostile, sizeof kHostile - 1);
    EXPECT_EQ(CallerIdBytes(ContextOf(modem_, false), raw), raw.raw);
}

TEST_F(InterpreterTest, RingsAndHandsetByServiceClass) {
    EXPECT_EQ(RingBytes(ContextOf(modem_, true)), "\r\nRING\r\n");
    EXPECT_EQ(HandsetBytes(ContextOf(modem_, false), true), "");
    Run("AT+FCLASS=8");
    EXPECT_EQ(RingBytes(ContextOf(modem_, false)), "\x10R");
    EXPECT_EQ(RingBytes(ContextOf(modem_, true)), "\x10R\r\nRING\r\n");
    EXPECT_EQ(HandsetBytes(ContextOf(modem_, false), true), "\x10H");
    EXPECT_EQ(HandsetBytes(ContextOf(modem_, false), false), "\x10h");
}

TEST_F(RockwellInterpreterTest, ReportsThePickUpAsDleT) {
    Run("AT#CLS=8");
    EXPECT_EQ(HandsetBytes(ContextOf(modem_, false), true), "\x10t");
    EXPECT_EQ(Run("AT#CID=1"), "\r\nOK\r\n");
    CallerIdMessage message;
    message.number = "5551234";
    message.date = "0101";
    message.time = "0000";
    EXPECT_EQ(CallerIdBytes(ContextOf(modem_, false), message),
              "\r\nDATE = 0101\r\nTIME = 0000\r\nNMBR = 5551234\r\n");
}

// The modems people own, from their manuals' command lists: what the client
// types (raw bytes, the receive's end included) and what comes back.
struct Exchange {
    std::string in;
    std::string out;
};

struct ProfileCase {
    const char* name;
    InterpreterOptions options;
    std::vector<Exchange> transcript;
    int chosenFormat;  // what the program picks from the +VSM=? offers
};

void PrintTo(const ProfileCase& profile, std::ostream* out) {
    *out << profile.name;
}

const std::string kOk = "\r\nOK\r\n";
const std::string kError = "\r\nERROR\r\n";

std::string Answer(const std::string& info) {
    return "\r\n" + info + "\r\n" + kOk;
}

std::vector<ProfileCase> ProfileCases() {
    InterpreterOptions conexant{Dialect::V253, false};
    conexant.model = ModemModel::Conexant;
    InterpreterOptions usr{Dialect::V253, false};
    usr.model = ModemModel::Usr5637;
    usr.abortRepeats = 2;
    const std::string voiceOn = "AT+FCLASS=8\r";
    return {
        {"Conexant",
         conexant,
         {{"ATI0\r", Answer("56000")},
          {"ATI3\r", Answer("CX93001-EIS_V0.2002-V92")},
          {"AT+VSM=?\r", kError},  // voice class only
          {voiceOn, kOk},
          {"AT+VSM=?\r", Answer("1,\"UNSIGNED PCM\",8,0,8000,0,0\r\n"
                                "129,\"IMA ADPCM\",4,0,8000,0,0\r\n"
                                "130,\"UNSIGNED PCM\",8,0,8000,0,0\r\n"
                                "140,\"2 Bit ADPCM\",2,0,8000,0,0\r\n"
                                "141,\"4 Bit ADPCM\",4,0,8000,0,0")},
          {"AT+VSM=131,8000\r", kError},
          {"AT+VSM=141,8000,0,0\r", kOk},
          {"AT+VSM?\r", Answer("141,8000,0,0")},
          {"AT!4886?\r", Answer("000")},
          {"AT!4886=02;+VCID=1\r", kOk},
          {"AT!4886?\r", Answer("002")},
          {"AT!4886=\r", kError},
          {"AT!48=1\r", kError},
          {"ATZ\r", kOk},
          {"AT!4886?\r", Answer("000")},  // forgotten on reset
          {voiceOn + "AT+VLS=1\rAT+VRX\r", kOk + kOk + "\r\nCONNECT\r\n"},
          {"\x10\x10\x10!", "<stream end>\x10\x03" + kOk}},
         1},
        {"USR 5637",
         usr,
         {{"ATI0\r", Answer("5601")},
          {"ATI3\r", Answer("U.S. Robotics 56K FAX USB V1.2.23")},
          {voiceOn, kOk},
          {"AT+VSM=?\r", Answer("128,\"8-BIT LINEAR\",(7200,8000,11025)\r\n"
                                "129,\"16-BIT LINEAR\",(7200,8000,11025)\r\n"
                                "130,\"8-BIT ALAW\",(8000)\r\n"
                                "131,\"8-BIT ULAW\",(8000)\r\n"
                                "132,\"IMA ADPCM\",(7200,8000,11025)")},
          {"AT+VSM?\r", Answer("128,8000")},
          {"AT+VSM=128\r", kError},  // the rate must be given
          {"AT+VSM=128,8000\r", kOk},
          {"AT!4886=1\r", kError},
          {"AT+VLS=1\rAT+VRX\r", kOk + "\r\nCONNECT\r\n"},
          // This unit misses the first end; a lone DLE ends nothing.
          {"\x10!", ""},
          {"\x10x!", ""},
          {"\x10!", "<stream end>\x10\x03" + kOk}},
         131},
    };
}

class ProfileTest : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(ProfileTest, FollowsTheManualsTranscript) {
    const ProfileCase& profile = GetParam();
    RecordingHost host;
    AtInterpreter modem(profile.options, host);
    modem.PowerOn();
    for (const Exchange& step : profile.transcript) {
        host.Take();
        modem.Feed(step.in);
        EXPECT_EQ(host.Take(), step.out) << "after " << step.in;
    }
}

TEST_P(ProfileTest, TheProgramReadsItAsV253AndPicksAFormatItTakes) {
    const ProfileCase& profile = GetParam();
    RecordingHost host;
    AtInterpreter modem(profile.options, host);
    modem.PowerOn();
    const auto infoLines = [&](const std::string& command) {
        host.Take();
        modem.Feed(command + "\r");
        std::vector<std::string> lines;
        std::string answer = host.Take();
        for (std::size_t start = 0; start < answer.size();) {
            const std::size_t end = std::min(answer.find("\r\n", start), answer.size());
            const std::string line = answer.substr(start, end - start);
            if (!line.empty() && line != "OK") {
                lines.push_back(line);
            }
            start = end + 2;
        }
        return lines;
    };
    modem::ProbeReplies replies;
    replies.classList = infoLines("AT+FCLASS=?");
    replies.identification = infoLines("ATI3");
    EXPECT_EQ(modem::DetectDialect(replies), Dialect::V253);
    infoLines("AT+FCLASS=8");
    const std::vector<std::string> offers = infoLines("AT+VSM=?");
    const auto choice = modem::ChooseVoiceFormat(modem::ParseVoiceFormatOffers(offers));
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->code, profile.chosenFormat);
    host.Take();
    modem.Feed("AT+VSM=" + modem::VoiceFormatArgument(*choice) + "\r");
    EXPECT_EQ(host.Take(), kOk);
}

INSTANTIATE_TEST_SUITE_P(Modems, ProfileTest, ::testing::ValuesIn(ProfileCases()),
                         [](const auto& param) {
                             std::string name = param.param.name;
                             std::erase(name, ' ');
                             return name;
                         });

TEST(ConexantSignalsTest, CallerIdWaitsForTheStandardAndTheExtensionIsLineVoltage) {
    InterpreterOptions options{Dialect::V253, false};
    options.model = ModemModel::Conexant;
    options.callerIdNeedsStandard = true;
    RecordingHost host;
    AtInterpreter modem(options, host);
    modem.PowerOn();
    CallerIdMessage message;
    message.number = "5551234";
    message.date = "0101";
    message.time = "0000";
    const std::string report = "\r\nDATE = 0101\r\nTIME = 0000\r\nNMBR = 5551234\r\n";
    const struct {
        const char* line;
        bool reported;
    } kSteps[] = {
        {"AT+VCID=1", false},  // the region's standard is not the line's
        {"AT!4886=0", true},  {"ATZ", false},
        {"AT+VCID=1", false},  // the standard went with the reset
        {"AT!4886=0", true},
    };
    for (const auto& step : kSteps) {
        modem.Feed(std::string(step.line) + "\r");
        EXPECT_EQ(CallerIdBytes(ContextOf(modem, false), message), step.reported ? report : "")
            << "after " << step.line;
    }
    modem.Feed("AT+FCLASS=8\r");
    EXPECT_EQ(HandsetBytes(ContextOf(modem, false), true), "\x10P");
    EXPECT_EQ(HandsetBytes(ContextOf(modem, false), false), "\x10p");
}

}  // namespace
}  // namespace orvane::modemsim

// modemsim as a process: a plain POSIX client on its pseudo-terminal, the
// way the program's serial code uses it.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "telephony/modem/caller_id.h"
#include "telephony/modem/dle_codec.h"
#include "telephony/modem/voice_format.h"
#include "telephony/modem/voice_transmit.h"
#include "tests/support/run_as_nobody.h"
#include "tests/tools/modemsim/sim_test_support.h"
#include "tools/modemsim/voice_source.h"

namespace orvane::modemsim::test {
namespace {

using namespace std::chrono_literals;

const std::string kDataDir = MODEMSIM_TEST_DATA_DIR;
const std::string kRing = "\r\nRING\r\n";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Waits until the transcript holds `text`. The log is a file, so it is
// looked at again every few milliseconds until the limit.
bool LogShows(const std::string& path, const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + kLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (ReadFile(path).find(text) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(5ms);
    }
    return false;
}

// The sound and events of a voice receive, decoded as the program does.
struct Received {
    std::vector<uint8_t> audio;
    std::vector<char> events;
    std::size_t rawBytes = 0;
    std::string after;  // text after <DLE><ETX>
};

class VoiceReader {
  public:
    explicit VoiceReader(SimClient& client) : client_(client) {}

    // Feeds what arrived until `done`; stops at <DLE><ETX>.
    void ReadUntil(const std::function<bool(const Received&)>& done) {
        Feed(client_.TakeBuffered());
        while (!decoder_.Ended() && !done(received_)) {
            const std::string chunk =
                client_.ReadUntil([](const std::string& bytes) { return !bytes.empty(); });
            if (chunk.empty()) {
                return;
            }
            Feed(chunk);
        }
    }
    void ReadToEnd() {
        ReadUntil([](const Received&) { return false; });
    }
    const Received& received() const { return received_; }
    bool ended() const { return decoder_.Ended(); }

  private:
    void Feed(const std::string& chunk) {
        if (decoder_.Ended()) {
            received_.after += chunk;
            return;
        }
        const auto* bytes = reinterpret_cast<const uint8_t*>(chunk.data());
        const std::size_t used = decoder_.Decode(std::span<const uint8_t>(bytes, chunk.size()),
                                                 received_.audio, received_.events);
        received_.rawBytes += used;
        received_.after += chunk.substr(used);
    }

    SimClient& client_;
    modem::DleDecoder decoder_;
    Received received_;
};

// Voice class, off-hook, receiving.
void StartReceive(SimClient& client, const std::string& format = "") {
    client.Send("ATE0\r");
    ASSERT_EQ(client.ReadUntil("OK\r\n"), "ATE0\r\r\nOK\r\n");
    client.Send("AT+FCLASS=8" + format + ";+VLS=1\r");
    ASSERT_EQ(client.ReadUntil("OK\r\n"), "\r\nOK\r\n");
    client.Send("AT+VRX\r");
    ASSERT_EQ(client.ReadUntil("CONNECT\r\n"), "\r\nCONNECT\r\n");
}

TEST(ModemsimProcess, AnswersCommandsUntilStopped) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({})) << sim.errors();
    SimClient client;
    ASSERT_TRUE(client.Open(sim.slave()));
    client.Send("ATZ\r");
    EXPECT_EQ(client.ReadUntil("OK\r\n"), "ATZ\r\r\nOK\r\n");
    client.Send("AT+NOSUCH\r");
    EXPECT_EQ(client.ReadUntil("ERROR\r\n"), "AT+NOSUCH\r\r\nERROR\r\n");
    client.Send("ATI3\r");
    EXPECT_EQ(client.ReadUntil("OK\r\n"), "ATI3\r\r\nmodemsim V.253 voice modem\r\n\r\nOK\r\n");
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(), 0);
}

TEST(ModemsimProcess, CallerIdInEveryFormatOnlyWhileTurnedOn) {
    const std::string alice = "name=\"Alice Example\" number=5551234 date=0321 time=1405";
    SimProcess sim;
    ASSERT_TRUE(sim.Start(
        {"-e", "wait-command ATZ; call rings=1 " + alice +
                   "; wait-command VCID=1"
                   "; call rings=2 every=50 format=spaces " +
                   alice + "; call rings=2 every=50 format=nospaces " + alice +
                   "; call rings=1 format=oneline " + alice + "; call rings=1 cid=before " + alice +
                   "; call rings=1 format=mdmf " + alice + "; call rings=1 format=sdmf " + alice +
                   "; raw \"END\\r\\n\"" + "; wait-command ATZ; call rings=1 " + alice +
                   "; raw \"END\\r\\n\"; wait-command ATH"}))
        << sim.errors();
    SimClient client;
    ASSERT_TRUE(client.Open(sim.slave()));

    client.Send("ATZ\r");
    EXPECT_EQ(client.ReadUntil(kRing), "ATZ\r\r\nOK\r\n" + kRing);

    client.Send("AT+VCID=1\r");
    const std::string spaces =
        "\r\nDATE = 0321\r\nTIME = 1405\r\nNMBR = 5551234\r\nNAME = Alice Example\r\n";
    const std::string nospaces =
        "\r\nDATE=0321\r\nTIME=1405\r\nNMBR=5551234\r\nNAME=Alice Example\r\n";
    const std::string oneline =
        "\r\nDATE = 0321 TIME = 1405 NMBR = 5551234 NAME = Alice Example\r\n";
    const std::string text = client.ReadUntil("END\r\n");
    const std::string expected = "AT+VCID=1\r\r\nOK\r\n" + kRing + spaces + kRing + kRing +
                                 nospaces + kRing + kRing + oneline + spaces + kRing + kRing;
    ASSERT_EQ(text.substr(0, expected.size()), expected);

    // The two packets, as the program's decoder reads them.
    std::vector<std::string> packets;
    std::istringstream rest(text.substr(expected.size()));
    for (std::string line; std::getline(rest, line, '\n');) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line != "RING" && line != "END") {
            packets.push_back(line);
        }
    }
    ASSERT_EQ(packets.size(), 2u) << text;
    const auto mdmf = modem::DecodeCallerIdPacket(packets[0]);
    ASSERT_TRUE(mdmf.has_value()) << packets[0];
    EXPECT_EQ(mdmf->name, "Alice Example");
    EXPECT_EQ(mdmf->number, "5551234");
    EXPECT_EQ(packets[1].substr(0, 2), "04");  // SDMF
    const auto sdmf = modem::DecodeCallerIdPacket(packets[1]);
    ASSERT_TRUE(sdmf.has_value()) << packets[1];
    EXPECT_EQ(sdmf->number, "5551234");

    // A reset turns caller ID off again.
    client.Send("ATZ\r");
    EXPECT_EQ(client.ReadUntil("END\r\n"), "ATZ\r\r\nOK\r\n" + kRing + "END\r\n");
    client.Send("ATH\r");
    EXPECT_EQ(client.ReadUntil("OK\r\n"), "ATH\r\r\nOK\r\n");
    EXPECT_EQ(sim.Wait(), 0);
}

TEST(ModemsimProcess, HostileCallerIdArrivesByteForByte) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--script", kDataDir + "/hostile_cid.scn"})) << sim.errors();
    SimClient client;
    ASSERT_TRUE(client.Open(sim.slave()));
    client.Send("AT+VCID=1\r");
    const std::string hostile =
        "\r\nNAME = " + std::string(1, '\0') +
        "\x1b[2J../../x\r\nNMBR = 5551234\r\nNAME = " + std::string(10000, 'X') + "\r\n";
    const std::string expected = "AT+VCID=1\r\r\nOK\r\n" + kRing + hostile;
    const std::string received =
        client.ReadUntil([&](const std::string& bytes) { return bytes.size() >= expected.size(); });
    EXPECT_TRUE(received == expected) << "got " << received.size() << " bytes";
    client.Send("ATH\r");
    EXPECT_EQ(client.ReadUntil("OK\r\n"), "ATH\r\r\nOK\r\n");
    EXPECT_EQ(sim.Wait(), 0);
}

TEST(ModemsimProcess, RingCallerIdAndHandsetInVoiceClass) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"-e",
                           "wait-command FCLASS=8; ring; cid name=A number=1 date=0101 time=0000; "
                           "pickup; handset-hangup; raw END; wait-command ATH"}))
        << sim.errors();
    SimClient client;
    ASSERT_TRUE(client.Open(sim.slave()));
    client.Send("AT+FCLASS=8;+VCID=1\r");
    EXPECT_EQ(client.ReadUntil("END"),
              "AT+FCLASS=8;+VCID=1\r\r\nOK\r\n\x10R"
              "\r\nDATE = 0101\r\nTIME = 0000\r\nNMBR = 1\r\nNAME = A\r\n\x10H\x10hEND");
    client.Send("ATH\r");
    client.ReadUntil("OK\r\n");
    EXPECT_EQ(sim.Wait(), 0);
}

TEST(ModemsimProcess, PatternStreamsExactlyAndEndsOnDleExclamation) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--speed", "50", "-e", "voice pattern; wait-command ATH"}))
        << sim.errors();
    SimClient client;
    ASSERT_TRUE(client.Open(sim.slave()));
    StartReceive(client);

    VoiceReader reader(client);
    reader.ReadUntil([](const Received& received) { return received.audio.size() >= 4000; });
    client.Send("\x10!");
    reader.ReadToEnd();
    ASSERT_TRUE(reader.ended());
    const Received& received = reader.received();

    ASSERT_GE(received.audio.size(), 4000u);
    for (std::size_t i = 0; i < received.audio.size(); ++i) {
        ASSERT_EQ(received.audio[i], static_cast<uint8_t>(i % 256)) << "at byte " << i;
    }
    // Each data DLE came doubled; the only event is the end.
    const std::size_t dles = (received.audio.size() + 256 - 17) / 256;
    EXPECT_EQ(received.rawBytes, received.audio.size() + dles + 2);
    EXPECT_EQ(received.events, std::vector<char>{modem::kEtx});

    std::string after = received.after;
    if (after.find("OK\r\n") == std::string::npos) {
        after += client.ReadUntil("OK\r\n");
    }
    EXPECT_EQ(after, "\r\nOK\r\n");
    client.Send("ATH\r");
    EXPECT_EQ(client.ReadUntil("OK\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(sim.Wait(), 0);
}

TEST(ModemsimProcess, VoiceFromAWavFileInTheChosenFormat) {
    TempDir dir;
    std::vector<int16_t> samples;
    for (int i = 0; i < 1000; ++i) {
        samples.push_back(static_cast<int16_t>((i * 97) % 20000 - 10000));
    }
    WriteWav(dir.File("voice.wav"), samples, 8000, 1);
    SimProcess sim;
    ASSERT_TRUE(sim.Start(
        {"--speed", "50", "-e", "voice file " + dir.File("voice.wav") + "; wait-command ATH"}))
        << sim.errors();
    SimClient client;
    ASSERT_TRUE(client.Open(sim.slave()));
    StartReceive(client, ";+VSM=131,8000");

    VoiceReader reader(client);
    reader.ReadUntil([](const Received& received) { return received.audio.size() >= 2500; });
    client.Send("\x10!");
    reader.ReadToEnd();
    const std::vector<uint8_t>& audio = reader.received().audio;
    ASSERT_GE(audio.size(), 2500u);

    // The file plays in a loop, in mu-law.
    std::vector<int16_t> looped;
    while (looped.size() < audio.size()) {
        looped.insert(looped.end(), samples.begin(), samples.end());
    }
    looped.resize(audio.size());
    std::vector<uint8_t> expected;
    modem::VoiceEncoder(modem::SampleEncoding::MuLaw).Encode(looped, expected);
    EXPECT_TRUE(audio == expected);
    client.Send("ATH\r");
    client.ReadUntil("OK\r\n");
    EXPECT_EQ(sim.Wait(), 0);
}

TEST(ModemsimProcess, PlayedSoundOfATransmitIsWrittenBeforeItsOk) {
    TempDir dir;
    std::vector<int16_t> samples;
    for (int i = 0; i < 4000; ++i) {
        samples.push_back(static_cast<int16_t>((i * 89) % 24000 - 12000));
    }
    WriteWav(dir.File("announce.wav"), samples, 8000, 1);
    const WavLoad known = LoadWavFile(dir.File("announce.wav"));
    ASSERT_TRUE(known.samples) << known.error;

    SimProcess sim;
    ASSERT_TRUE(sim.Start(
        {"--played", dir.File("played.wav"), "--log", dir.File("log"), "-e", "wait-command ATH"}))
        << sim.errors();
    SimClient client;
    ASSERT_TRUE(client.Open(sim.slave()));
    client.Send("ATE0\r");
    client.ReadUntil("OK\r\n");
    client.Send("AT+FCLASS=8;+VSM=131,8000;+VLS=1\r");
    ASSERT_EQ(client.ReadUntil("OK\r\n"), "\r\nOK\r\n");
    client.Send("AT+VTX\r");
    ASSERT_EQ(client.ReadUntil("CONNECT\r\n"), "\r\nCONNECT\r\n");
    std::vector<uint8_t> stream =
        modem::TransmitStream(*known.samples, {131, modem::SampleEncoding::MuLaw, 8000});
    // A pair no host sends, before the end: dropped, and named in the log.
    stream.insert(stream.end() - 2, {modem::kDle, 'Z'});
    client.Send(std::string(stream.begin(), stream.end()));
    ASSERT_EQ(client.ReadUntil("OK\r\n"), "\r\nOK\r\n");

    const WavLoad played = LoadWavFile(dir.File("played.wav"));
    ASSERT_TRUE(played.samples) << played.error;
    std::vector<uint8_t> muLaw;
    modem::VoiceEncoder(modem::SampleEncoding::MuLaw).Encode(samples, muLaw);
    std::vector<int16_t> expected;
    modem::VoiceDecoder(modem::SampleEncoding::MuLaw, 8000).Decode(muLaw, expected);
    EXPECT_TRUE(*played.samples == expected);
    EXPECT_TRUE(LogShows(dir.File("log"), "voice transmit fault: <DLE>Z"));

    client.Send("ATH\r");
    client.ReadUntil("OK\r\n");
    EXPECT_EQ(sim.Wait(), 0);
}

struct HangupCase {
    const char* step;
    char code;
};

void PrintTo(const HangupCase& hangup, std::ostream* out) {
    *out << hangup.step;
}

class RemoteHangup : public ::testing::TestWithParam<HangupCase> {};

TEST_P(RemoteHangup, ArrivesAsAnEventInTheStream) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--speed", "10", "-e",
                           std::string("voice tone 440; wait-command VRX; sleep 50; "
                                       "remote-hangup ") +
                               GetParam().step + "; wait-command ATH"}))
        << sim.errors();
    SimClient client;
    ASSERT_TRUE(client.Open(sim.slave()));
    StartReceive(client);

    VoiceReader reader(client);
    const char code = GetParam().code;
    // Busy and dial tone come again while they last (4 s and 3 s of sound).
    const std::size_t wanted = code == 'b' || code == 'd' ? 2 : 1;
    reader.ReadUntil([&](const Received& received) {
        return static_cast<std::size_t>(
                   std::count(received.events.begin(), received.events.end(), code)) >= wanted;
    });
    ASSERT_FALSE(reader.ended());
    const Received first = reader.received();
    ASSERT_FALSE(first.events.empty());
    EXPECT_EQ(first.events.front(), code);
    EXPECT_EQ(static_cast<std::size_t>(std::count(first.events.begin(), first.events.end(), code)),
              wanted);
    client.Send("\x10!");
    reader.ReadToEnd();
    EXPECT_TRUE(reader.ended());
    client.Send("ATH\r");
    client.ReadUntil("OK\r\n");
    EXPECT_EQ(sim.Wait(), 0);
}

INSTANTIATE_TEST_SUITE_P(Kinds, RemoteHangup,
                         ::testing::Values(HangupCase{"busy", 'b'}, HangupCase{"dialtone", 'd'},
                                           HangupCase{"loop", 'l'}, HangupCase{"silence", 's'}),
                         [](const ::testing::TestParamInfo<HangupCase>& param) {
                             return std::string(param.param.step);
                         });

// A Conexant modem tells the host of a far end that talked and then went
// quiet for the +VSD time (<DLE>q), and of a transmit whose sound came
// slower than it plays (<DLE>u); other profiles report neither.
struct ConexantEventCase {
    const char* label;
    const char* dialect;
    const char* transmitRate;  // nullptr: no limit
    std::size_t quiet, underrunsAtLeast, underrunsAtMost;
};

class ConexantEvents : public ::testing::TestWithParam<ConexantEventCase> {};

TEST_P(ConexantEvents, QuietAfterTalkingAndATransmitThatRunsDry) {
    const ConexantEventCase& c = GetParam();
    std::vector<std::string> options = {"--dialect", c.dialect, "--speed", "10"};
    if (c.transmitRate != nullptr) {
        options.insert(options.end(), {"--transmit-rate", c.transmitRate});
    }
    // 1 s of tone, then 3 s of silence, then busy.
    options.insert(options.end(), {"-e",
                                   "voice tone 440; wait-command VRX; sleep 100; voice silence; "
                                   "sleep 300; remote-hangup busy; wait-command ATH"});
    SimProcess sim;
    ASSERT_TRUE(sim.Start(options)) << sim.errors();
    SimClient client;
    ASSERT_TRUE(client.Open(sim.slave()));
    StartReceive(client, ";+VSD=128,10");
    VoiceReader reader(client);
    reader.ReadUntil([](const Received& received) {
        return std::count(received.events.begin(), received.events.end(), 'b') > 0;
    });
    const std::vector<char> events = reader.received().events;
    EXPECT_EQ(static_cast<std::size_t>(std::count(events.begin(), events.end(), 'q')), c.quiet);
    client.Send("\x10!");
    reader.ReadToEnd();
    if (reader.received().after.find("OK\r\n") == std::string::npos) {
        client.ReadUntil("OK\r\n");
    }

    // A second of sound sent at once: over the slow link it comes slower
    // than it plays.
    client.Send("AT+VTX\r");
    ASSERT_EQ(client.ReadUntil("CONNECT\r\n"), "\r\nCONNECT\r\n");
    const std::vector<int16_t> samples(8000, 1000);
    const std::vector<uint8_t> stream =
        modem::TransmitStream(samples, {1, modem::SampleEncoding::Unsigned8, 8000});
    client.Send(std::string(stream.begin(), stream.end()));
    const std::string answer = client.ReadUntil("OK\r\n");
    std::size_t underruns = 0;
    for (std::size_t at = answer.find("\x10u"); at != std::string::npos;
         at = answer.find("\x10u", at + 2)) {
        ++underruns;
    }
    EXPECT_GE(underruns, c.underrunsAtLeast);
    EXPECT_LE(underruns, c.underrunsAtMost);
    client.Send("ATH\r");
    client.ReadUntil("OK\r\n");
    EXPECT_EQ(sim.Wait(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, ConexantEvents,
    ::testing::Values(ConexantEventCase{"Conexant", "conexant", nullptr, 1, 0, 0},
                      ConexantEventCase{"ConexantOverASlowLink", "conexant", "4000", 1, 2, 1000},
                      ConexantEventCase{"V253OverASlowLink", "v253", "4000", 0, 0, 0}),
    [](const ::testing::TestParamInfo<ConexantEventCase>& param) {
        return std::string(param.param.label);
    });

TEST(ModemsimProcess, ModemEndsTheReceiveItself) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--speed", "10", "-e",
                           "voice tone 440; wait-command VRX; sleep 50; "
                           "remote-hangup etx no-carrier; wait-command ATH"}))
        << sim.errors();
    SimClient client;
    ASSERT_TRUE(client.Open(sim.slave()));
    StartReceive(client);
    VoiceReader reader(client);
    reader.ReadToEnd();
    ASSERT_TRUE(reader.ended());
    EXPECT_EQ(reader.received().events, std::vector<char>{modem::kEtx});
    std::string after = reader.received().after;
    if (after.find("CARRIER\r\n") == std::string::npos) {
        after += client.ReadUntil("CARRIER\r\n");
    }
    EXPECT_EQ(after, "\r\nNO CARRIER\r\n");
    client.Send("ATH\r");
    client.ReadUntil("OK\r\n");
    EXPECT_EQ(sim.Wait(), 0);
}

TEST(ModemsimProcess, DialOutAnswersAsTheScenarioSays) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"-e",
                           "dial-answer busy after 20; wait-command ATD; "
                           "dial-answer answered after 20; wait-command ATH"}))
        << sim.errors();
    SimClient client;
    ASSERT_TRUE(client.Open(sim.slave()));
    client.Send("AT+FCLASS=8\r");
    client.ReadUntil("OK\r\n");
    client.Send("ATD5551234\r");
    EXPECT_EQ(client.ReadUntil("BUSY\r\n"), "ATD5551234\r\r\nBUSY\r\n");
    client.Send("ATD5551234\r");
    EXPECT_EQ(client.ReadUntil("OK\r\n"), "ATD5551234\r\r\nOK\r\n");
    client.Send("ATH\r");
    client.ReadUntil("OK\r\n");
    EXPECT_EQ(sim.Wait(), 0);
}

TEST(ModemsimProcess, RingWaitsForTheCommandBeingTyped) {
    TempDir dir;
    const std::string log = dir.File("log");
    SimProcess sim;
    ASSERT_TRUE(
        sim.Start({"--log", log, "-e", "wait-command ATZ; sleep 50; ring; wait-command VCID=1"}))
        << sim.errors();
    SimClient client;
    ASSERT_TRUE(client.Open(sim.slave()));
    client.Send("ATZ\rAT+VC");
    EXPECT_EQ(client.ReadUntil("AT+VC"), "ATZ\r\r\nOK\r\nAT+VC");
    ASSERT_TRUE(LogShows(log, ": ring\n"));
    client.Send("ID=1\r");
    EXPECT_EQ(client.ReadUntil(kRing), "ID=1\r\r\nOK\r\n" + kRing);
    EXPECT_EQ(sim.Wait(), 0);
}

TEST(ModemsimProcess, ServesAReopenedPortAsAfterPowerOn) {
    TempDir dir;
    const std::string log = dir.File("log");
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--log", log})) << sim.errors();
    {
        SimClient client;
        ASSERT_TRUE(client.Open(sim.slave()));
        client.Send("AT+VCID=1\r");
        EXPECT_EQ(client.ReadUntil("OK\r\n"), "AT+VCID=1\r\r\nOK\r\n");
        client.Send("ATE0\r");
        EXPECT_EQ(client.ReadUntil("OK\r\n"), "ATE0\r\r\nOK\r\n");
        // Left unread: must not reach the next client.
        client.Send("ATI3\r");
        ASSERT_TRUE(LogShows(log, "modemsim V.253 voice modem"));
    }
    ASSERT_TRUE(LogShows(log, "client left"));

    SimClient again;
    ASSERT_TRUE(again.Open(sim.slave()));
    again.Send("AT+VCID?\r");
    EXPECT_EQ(again.ReadUntil("OK\r\n"), "AT+VCID?\r\r\n0\r\n\r\nOK\r\n");
    sim.Signal(SIGINT);
    EXPECT_EQ(sim.Wait(), 0);
}

TEST(ModemsimProcess, AClientThatReopensAtOnceGetsAFreshModem) {
    TempDir dir;
    const std::string log = dir.File("log");
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--log", log})) << sim.errors();
    SimClient client;
    ASSERT_TRUE(client.Open(sim.slave()));
    client.Send("ATE0;+VCID=1\r");
    EXPECT_EQ(client.ReadUntil("OK\r\n"), "ATE0;+VCID=1\r\r\nOK\r\n");
    client.Send("ATI3\r");
    ASSERT_TRUE(LogShows(log, "modemsim V.253 voice modem"));
    // Closed and opened again without a pause, as a serial port object does
    // when the program reopens its line. What was sent before the close can
    // still be waiting (the emulator cannot be quicker than the client), so
    // the client drops it, as after any open.
    client.ReleaseExclusive();
    client.Close();
    ASSERT_TRUE(client.Open(sim.slave()));
    client.DiscardInput();
    client.Send("AT+VCID?\r");
    EXPECT_EQ(client.ReadUntil("OK\r\n"), "AT+VCID?\r\r\n0\r\n\r\nOK\r\n");
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(), 0);
}

TEST(ModemsimProcess, RefusesASecondOpenWhileAClientIsThere) {
    // Root (CAP_SYS_ADMIN) opens a terminal in exclusive mode anyway.
    if (orvane::testing::RanAsNobody({{MODEMSIM_PATH, kModemsimVariable}})) {
        return;
    }
    TempDir dir;
    const std::string log = dir.File("log");
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--log", log})) << sim.errors();
    SimClient first;
    ASSERT_TRUE(first.Open(sim.slave()));
    first.Send("AT\r");
    ASSERT_EQ(first.ReadUntil("OK\r\n"), "AT\r\r\nOK\r\n");
    SimClient second;
    EXPECT_FALSE(second.Open(sim.slave()));
    EXPECT_EQ(errno, EBUSY);

    // Once the first client has gone, the port opens again.
    first.Close();
    ASSERT_TRUE(LogShows(log, "client left"));
    EXPECT_TRUE(second.Open(sim.slave()));
    second.Send("AT\r");
    EXPECT_EQ(second.ReadUntil("OK\r\n"), "AT\r\r\nOK\r\n");
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(), 0);
}

TEST(ModemsimProcess, LinkIsMadeAndRemoved) {
    TempDir dir;
    const std::string link = dir.File("modem");
    // A stale link from an earlier run is replaced.
    ASSERT_EQ(::symlink("/dev/pts/nonexistent", link.c_str()), 0);
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--link", link})) << sim.errors();
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.slave());
    SimClient client;
    ASSERT_TRUE(client.Open(link));
    client.Send("AT\r");
    EXPECT_EQ(client.ReadUntil("OK\r\n"), "AT\r\r\nOK\r\n");
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(link));
}

TEST(ModemsimProcess, LeavesAFileAtTheLinkPathAlone) {
    TempDir dir;
    const std::string path = dir.File("modem");
    std::ofstream(path) << "precious";
    SimProcess sim;
    EXPECT_FALSE(sim.Start({"--link", path}));
    EXPECT_EQ(sim.Wait(), 1);
    EXPECT_NE(sim.errors().find("not a symbolic link"), std::string::npos) << sim.errors();
    EXPECT_EQ(ReadFile(path), "precious");
}

TEST(ModemsimProcess, ExitStatus) {
    {
        SimProcess sim;
        ASSERT_TRUE(sim.Start({"-e", "wait-command NEVER timeout 100"}));
        EXPECT_EQ(sim.Wait(), 3);
        EXPECT_NE(sim.errors().find("-e:1: wait-command \"NEVER\" timed out after 100 ms"),
                  std::string::npos)
            << sim.errors();
    }
    {
        SimProcess sim;
        EXPECT_FALSE(sim.Start({"-e", "ring\nrnig"}));
        EXPECT_EQ(sim.Wait(), 2);
        EXPECT_NE(sim.errors().find("-e:2: unknown step \"rnig\""), std::string::npos);
    }
    {
        SimProcess sim;
        EXPECT_FALSE(sim.Start({"--speed", "0"}));
        EXPECT_EQ(sim.Wait(), 2);
    }
    {
        SimProcess sim;
        ASSERT_TRUE(sim.Start({"--stay", "-e", "sleep 1; exit 7"}));
        EXPECT_EQ(sim.Wait(), 7);
    }
    {
        SimProcess sim;
        EXPECT_FALSE(sim.Start({"-e", "voice file /nonexistent/x.wav"}));
        EXPECT_EQ(sim.Wait(), 1);
    }
}

}  // namespace
}  // namespace orvane::modemsim::test

// The modem channel on a bare pseudo-terminal: the test plays the modem on
// the master side, byte for byte, so the cases do not depend on the
// emulator's timing.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "telephony/line_backend.h"
#include "telephony/modem/dle_codec.h"
#include "telephony/modem_channel.h"

namespace orvane {
namespace {

class RecordingListener : public ModemChannelListener {
  public:
    void OnModemLine(std::string_view line) override { lines.emplace_back(line); }
    void OnModemEvent(char code) override {
        events.push_back(code);
        eventsAt.push_back(voice.size());
    }
    void OnVoiceData(std::span<const uint8_t> bytes) override {
        voice.insert(voice.end(), bytes.begin(), bytes.end());
    }
    void OnVoiceEnd() override { ++voiceEnds; }
    void OnChannelLost(qint32 code) override { lost.push_back(code); }
    void OnModemInputDone() override { ++handOffs; }

    std::vector<std::string> lines;
    std::string events;
    std::vector<size_t> eventsAt;  // how much sound had come before each event
    std::vector<uint8_t> voice;
    int voiceEnds = 0;
    int handOffs = 0;  // reads handed to this thread outside a command
    std::vector<qint32> lost;
};

class ModemChannelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(::grantpt(master_), 0);
        ASSERT_EQ(::unlockpt(master_), 0);
        ASSERT_EQ(channel_.Open(QString::fromLocal8Bit(::ptsname(master_))), line_error::kNone);
    }
    void TearDown() override {
        channel_.Close();
        if (master_ >= 0) {
            ::close(master_);
        }
    }

    void ModemSends(const std::string& bytes) const {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    std::string ModemReceived() const {
        std::string received;
        char buffer[256];
        const int flags = ::fcntl(master_, F_GETFL);
        ::fcntl(master_, F_SETFL, flags | O_NONBLOCK);
        for (ssize_t n; (n = ::read(master_, buffer, sizeof buffer)) > 0;) {
            received.append(buffer, static_cast<size_t>(n));
        }
        ::fcntl(master_, F_SETFL, flags);
        return received;
    }

    int master_ = -1;
    RecordingListener listener_;
    ModemChannel channel_{&listener_};
};

TEST_F(ModemChannelTest, ACommandTakesItsReplyAndPassesUnsolicitedLinesOn) {
    // The reply is already waiting, echo included; a ring and a caller-ID
    // line came first.
    ModemSends("\r\nRING\r\n\r\nNMBR = 5551234\r\nAT+GMI\r\r\nOrvane\r\nOK\r\n");
    const ModemReply reply = channel_.Command("AT+GMI", 1000);
    EXPECT_EQ(reply.result, ModemResult::Ok);
    EXPECT_EQ(reply.lines, std::vector<std::string>{"Orvane"});
    EXPECT_EQ(ModemReceived(), "AT+GMI\r");
    EXPECT_EQ(listener_.lines, (std::vector<std::string>{"RING", "NMBR = 5551234"}));

    // A modem that says nothing: the command ends at its time limit and the
    // port stays open.
    EXPECT_EQ(channel_.Command("AT", 50).result, ModemResult::Timeout);
    EXPECT_TRUE(channel_.IsOpen());
}

TEST_F(ModemChannelTest, AReadThatFindsNothingIsNotALostModem) {
    // The port's thread announces what it read; a command's wait may take
    // those bytes first, so the announcement arrives with nothing to read.
    ModemSends("OK\r\n");
    EXPECT_EQ(channel_.Command("AT", 1000).result, ModemResult::Ok);
    QCoreApplication::processEvents();

    EXPECT_TRUE(listener_.lost.empty());
    ASSERT_TRUE(channel_.IsOpen());
    ModemSends("OK\r\n");
    EXPECT_EQ(channel_.Command("AT", 1000).result, ModemResult::Ok);
}

TEST_F(ModemChannelTest, AHungUpTtyIsALostModemOnce) {
    ::close(master_);
    master_ = -1;
    EXPECT_EQ(channel_.Command("AT", 1000).result, ModemResult::Closed);
    QCoreApplication::processEvents();
    EXPECT_EQ(listener_.lost, std::vector<qint32>{line_error::kDeviceLost});
    EXPECT_FALSE(channel_.IsOpen());
    EXPECT_EQ(channel_.Command("AT", 10).result, ModemResult::Closed);
}

struct StreamCase {
    const char* label;
    int pieces;     // 20 ms pieces of 8-bit sound, as a modem sends them
    int busyAfter;  // the far end's busy tone after this many pieces; -1 none
};

class ModemChannelStreamTest : public ModemChannelTest,
                               public ::testing::WithParamInterface<StreamCase> {};

// The sound of a call reaches the window's thread a few times a second,
// byte for byte, with an event in the stream in its place, and all of it
// by the end of the receive, which comes in the middle of a batch.
TEST_P(ModemChannelStreamTest, SoundIsHandedOnInBatchesExactlyAndInOrder) {
    const StreamCase& param = GetParam();
    ModemSends("CONNECT\r\n");
    channel_.ArmVoiceReceive();
    ASSERT_EQ(channel_.Command("AT+VRX", 1000).result, ModemResult::Connect);
    listener_.handOffs = 0;

    constexpr size_t kPiece = 160;
    std::vector<uint8_t> sent;
    std::vector<std::string> pieces;
    for (int piece = 0; piece < param.pieces; ++piece) {
        std::vector<uint8_t> sound(kPiece);
        for (uint8_t& byte : sound) {
            byte = static_cast<uint8_t>(sent.size() * 7 % 256);  // DLE bytes too
            sent.push_back(byte);
        }
        std::vector<uint8_t> shielded;
        modem::AppendShielded(sound, shielded);
        pieces.emplace_back(shielded.begin(), shielded.end());
        if (piece + 1 == param.busyAfter) {
            pieces.back() += std::string{static_cast<char>(modem::kDle), modem::event::kBusy};
        }
    }
    pieces.back() +=
        std::string{static_cast<char>(modem::kDle), static_cast<char>(modem::kEtx)} + "\r\nOK\r\n";

    // The modem keeps its own time on a thread of its own, as a modem does.
    const auto started = std::chrono::steady_clock::now();
    std::thread modem([&] {
        for (const std::string& piece : pieces) {
            ModemSends(piece);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const QDeadlineTimer deadline(30000);
    while (listener_.voiceEnds == 0 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    modem.join();
    const auto elapsed = std::chrono::steady_clock::now() - started;

    ASSERT_EQ(listener_.voiceEnds, 1);
    EXPECT_EQ(listener_.voice, sent);
    // Each event after the sound before it: the busy tone, then the end.
    std::string events;
    std::vector<size_t> eventsAt;
    if (param.busyAfter > 0) {
        events += modem::event::kBusy;
        eventsAt.push_back(static_cast<size_t>(param.busyAfter) * kPiece);
    }
    events += static_cast<char>(modem::kEtx);
    eventsAt.push_back(sent.size());
    EXPECT_EQ(listener_.events, events);
    EXPECT_EQ(listener_.eventsAt, eventsAt);
    // Whatever the machine's speed: one hand-off per interval of the
    // batching, and a few around the stream's start and end (not one per
    // piece: fifty a second).
    const auto intervals = elapsed / std::chrono::milliseconds(200);
    EXPECT_LE(listener_.handOffs, intervals + 4)
        << param.pieces << " pieces in " << elapsed / std::chrono::milliseconds(1) << " ms";
}

INSTANTIATE_TEST_SUITE_P(Streams, ModemChannelStreamTest,
                         ::testing::Values(StreamCase{"OneSecond", 50, -1},
                                           StreamCase{"BusyToneMidway", 60, 25}),
                         [](const auto& each) { return std::string(each.param.label); });

}  // namespace
}  // namespace orvane

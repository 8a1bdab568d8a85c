// The modem channel on a bare pseudo-terminal: the test plays the modem on
// the master side, byte for byte, so the cases do not depend on the
// emulator's timing.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <cstdlib>
#include <string>
#include <vector>

#include "telephony/line_backend.h"
#include "telephony/modem_channel.h"

namespace orvane {
namespace {

class RecordingListener : public ModemChannelListener {
  public:
    void OnModemLine(std::string_view line) override { lines.emplace_back(line); }
    void OnModemEvent(char code) override { events.push_back(code); }
    void OnVoiceData(std::span<const uint8_t>) override {}
    void OnVoiceEnd() override {}
    void OnChannelLost(qint32 code) override { lost.push_back(code); }
    void OnModemInputDone() override {}

    std::vector<std::string> lines;
    std::string events;
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

}  // namespace
}  // namespace orvane

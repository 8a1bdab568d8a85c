// The modem's byte stream split into lines, events and sound, in arrival
// order and independent of how the bytes were cut into reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "telephony/modem/modem_stream.h"

namespace orvane::modem {
namespace {

// One sink call, written as text so a failure shows the whole sequence:
// "line:OK", "event:R", "audio:<bytes>", "end". Adjacent audio calls are
// merged, since how sound is chunked depends on the reads.
class RecordingSink : public ModemStreamSink {
  public:
    explicit RecordingSink(ModemStream* stream = nullptr) : stream_(stream) {}

    void OnLine(std::string_view line) override {
        log.push_back("line:" + std::string(line));
        if (stream_ != nullptr) {
            voiceAtLine.push_back(stream_->InVoiceReceive());
        }
    }
    void OnEvent(char code) override { log.push_back(std::string("event:") + code); }
    void OnAudio(std::span<const uint8_t> bytes) override {
        EXPECT_FALSE(bytes.empty());
        const std::string text(bytes.begin(), bytes.end());
        if (!log.empty() && log.back().starts_with("audio:")) {
            log.back() += text;
        } else {
            log.push_back("audio:" + text);
        }
    }
    void OnVoiceEnd() override { log.push_back("end"); }

    std::vector<std::string> log;
    std::vector<bool> voiceAtLine;

  private:
    ModemStream* stream_;
};

std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

std::vector<std::string> FeedWhole(std::string_view input, bool arm) {
    ModemStream stream;
    if (arm) {
        stream.ArmVoiceReceive();
    }
    RecordingSink sink;
    stream.Feed(Bytes(input), sink);
    return sink.log;
}

const std::string kEtx = "\x10\x03";

struct StreamCase {
    const char* what;
    std::string input;
    bool arm;
    std::vector<std::string> expected;
};

const std::vector<StreamCase>& Cases() {
    static const std::vector<StreamCase> cases = {
        {"echo and blank-line layouts (Conexant)",
         "ATZ\r\r\nOK\r\nATI3\r\r\nCX93001-EIS_V0.2002-V92\r\n\r\nOK\r\n",
         false,
         {"line:ATZ", "line:OK", "line:ATI3", "line:CX93001-EIS_V0.2002-V92", "line:OK"}},
        {"numeric codes end with CR only", "0\r4\r\r", false, {"line:0", "line:4"}},
        {"a ring in voice command state is an event, not text",
         "\x10R\r\nRING\r\n\x10R",
         false,
         {"event:R", "line:RING", "event:R"}},
        {"a voice receive from CONNECT to ETX, then text",
         "AT+VRX\r\r\nCONNECT\r\nab\x10\x10z\x10"
         "d\x10\x1a"
         "e" +
             kEtx + "\r\nOK\r\n",
         true,
         {"line:AT+VRX", "line:CONNECT", "audio:ab\x10z", "event:d",
          "audio:\x10\x10"
          "e",
          "event:\x03", "end", "line:OK"}},
        {"sound right after CONNECT starts with CR/LF-like bytes",
         "\r\nCONNECT\r\n\n\r\x80" + kEtx,
         true,
         {"line:CONNECT", "audio:\n\r\x80", "event:\x03", "end"}},
        {"CONNECT ended by CR alone, then sound",
         "CONNECT\rxy" + kEtx + "OK\r",
         true,
         {"line:CONNECT", "audio:xy", "event:\x03", "end", "line:OK"}},
        {"CONNECT without an armed receive is text",
         "\r\nCONNECT\r\nab\r\n",
         false,
         {"line:CONNECT", "line:ab"}},
        {"only the whole word CONNECT switches",
         "CONNECT 9600\r\nab\r\n",
         true,
         {"line:CONNECT 9600", "line:ab"}},
    };
    return cases;
}

TEST(ModemStream, SplitsLinesEventsAndSound) {
    for (const StreamCase& c : Cases()) {
        EXPECT_EQ(FeedWhole(c.input, c.arm), c.expected) << c.what;
    }
}

TEST(ModemStream, SameCallsAtEverySplitPoint) {
    for (const StreamCase& c : Cases()) {
        const auto all = Bytes(c.input);
        for (std::size_t split = 0; split <= all.size(); ++split) {
            ModemStream stream;
            if (c.arm) {
                stream.ArmVoiceReceive();
            }
            RecordingSink sink;
            stream.Feed(std::span(all).first(split), sink);
            stream.Feed(std::span(all).subspan(split), sink);
            EXPECT_EQ(sink.log, c.expected) << c.what << " split at " << split;
        }
    }
}

TEST(ModemStream, SameCallsOneByteAtATime) {
    for (const StreamCase& c : Cases()) {
        ModemStream stream;
        if (c.arm) {
            stream.ArmVoiceReceive();
        }
        RecordingSink sink;
        for (const uint8_t byte : Bytes(c.input)) {
            stream.Feed(std::span(&byte, 1), sink);
        }
        EXPECT_EQ(sink.log, c.expected) << c.what;
    }
}

TEST(ModemStream, SoundBeforeAnEventArrivesBeforeIt) {
    ModemStream stream;
    stream.ArmVoiceReceive();
    std::vector<std::string> calls;
    struct Sink : ModemStreamSink {
        std::vector<std::string>* calls;
        void OnLine(std::string_view line) override { calls->push_back(std::string(line)); }
        void OnEvent(char code) override { calls->push_back(std::string("E") + code); }
        void OnAudio(std::span<const uint8_t> bytes) override {
            calls->push_back("A" + std::to_string(bytes.size()));
        }
        void OnVoiceEnd() override { calls->push_back("end"); }
    } sink;
    sink.calls = &calls;
    stream.Feed(Bytes("CONNECT\r\nabc\x10"
                      "bde\x10"
                      "b" +
                      kEtx),
                sink);
    EXPECT_EQ(calls, (std::vector<std::string>{"CONNECT", "A3", "Eb", "A2", "Eb", "E\x03", "end"}));
}

TEST(ModemStream, CutsOverlongLinesAndDropsTheirRest) {
    const std::string longLine(3 * kMaxLineBytes, 'A');
    const auto log = FeedWhole(longLine + "TAIL\r\nOK\r\n", false);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "line:" + std::string(kMaxLineBytes, 'A'));
    EXPECT_EQ(log[1], "line:OK");
}

TEST(ModemStream, AStreamWithoutLineEndsStaysBounded) {
    ModemStream stream;
    RecordingSink sink;
    const std::vector<uint8_t> junk(4096, 'x');
    for (int i = 0; i < 256; ++i) {
        stream.Feed(junk, sink);
    }
    EXPECT_TRUE(sink.log.empty());
    stream.Feed(Bytes("\n"), sink);
    EXPECT_EQ(sink.log, (std::vector<std::string>{"line:" + std::string(kMaxLineBytes, 'x')}));
}

TEST(ModemStream, TellsTheSinkItIsInVoiceWhenCONNECTArrives) {
    ModemStream stream;
    RecordingSink sink(&stream);
    stream.ArmVoiceReceive();
    stream.Feed(Bytes("OK\r\nCONNECT\r\n"), sink);
    EXPECT_EQ(sink.voiceAtLine, (std::vector<bool>{false, true}));
    EXPECT_TRUE(stream.InVoiceReceive());
    stream.Feed(Bytes(kEtx), sink);
    EXPECT_FALSE(stream.InVoiceReceive());
}

TEST(ModemStream, ArmingCountsForOneReceiveOnly) {
    ModemStream stream;
    RecordingSink sink;
    stream.ArmVoiceReceive();
    stream.Feed(Bytes("CONNECT\r\nx" + kEtx + "\r\nOK\r\nCONNECT\r\ny\r\n"), sink);
    EXPECT_EQ(sink.log, (std::vector<std::string>{"line:CONNECT", "audio:x", "event:\x03", "end",
                                                  "line:OK", "line:CONNECT", "line:y"}));
}

TEST(ModemStream, DisarmAndResetGoBackToText) {
    {
        ModemStream stream;
        RecordingSink sink;
        stream.ArmVoiceReceive();
        stream.Disarm();
        stream.Feed(Bytes("ERROR\r\nCONNECT\r\nab\r\n"), sink);
        EXPECT_EQ(sink.log, (std::vector<std::string>{"line:ERROR", "line:CONNECT", "line:ab"}));
    }
    {
        // The port reopened in the middle of a receive and of a line.
        ModemStream stream;
        RecordingSink sink;
        stream.ArmVoiceReceive();
        stream.Feed(Bytes("CONNECT\r\nsound\x10"), sink);
        stream.Reset();
        EXPECT_FALSE(stream.InVoiceReceive());
        stream.Feed(Bytes("R\r\nOK\r\n"), sink);
        EXPECT_EQ(sink.log,
                  (std::vector<std::string>{"line:CONNECT", "audio:sound", "line:R", "line:OK"}));
    }
}

}  // namespace
}  // namespace orvane::modem

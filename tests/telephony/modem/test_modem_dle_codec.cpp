// The DLE decoder against the shielding rules, whatever the split of the
// input into reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "telephony/modem/dle_codec.h"

namespace orvane::modem {
namespace {

std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

struct DecodeCase {
    const char* what;
    std::string input;
    std::string audio;
    std::string events;
    std::size_t used;  // bytes up to the end of the stream
    bool pendingDle;
};

const std::vector<DecodeCase>& Cases() {
    static const std::vector<DecodeCase> cases = {
        {"plain sound", "ab\x80\xff", "ab\x80\xff", "", 4, false},
        {"doubled DLE is one data byte", "a\x10\x10z", "a\x10z", "", 4, false},
        {"DLE SUB is two data bytes", "\x10\x1a", "\x10\x10", "", 2, false},
        {"other pairs are events",
         "a\x10Rb\x10"
         "5\x10"
         "5c",
         "abc", "R55", 9, false},
        {"DLE ETX ends the stream", std::string("a\x10\x03\r\nOK\r\n"), "a", "\x03", 3, false},
        {"data DLE before the end", std::string("\x10\x10\x10\x03x"), "\x10", "\x03", 4, false},
        {"a DLE at the end waits", "a\x10\x10\x10", "a\x10", "", 4, true},
        {"control bytes as event codes", std::string("\x10\x00\x10\x11", 4), "",
         std::string("\x00\x11", 2), 4, false},
    };
    return cases;
}

struct Result {
    std::vector<uint8_t> audio;
    std::vector<char> events;
    std::size_t used = 0;
    bool pendingDle = false;
};

// Feeds `pieces` in order as separate reads, stopping where the stream ends.
Result DecodePieces(const std::vector<std::vector<uint8_t>>& pieces) {
    DleDecoder decoder;
    Result result;
    for (const auto& piece : pieces) {
        if (decoder.Ended()) {
            break;
        }
        result.used += decoder.Decode(piece, result.audio, result.events);
    }
    result.pendingDle = decoder.PendingDle();
    return result;
}

void ExpectMatches(const DecodeCase& c, const Result& r, const std::string& how) {
    SCOPED_TRACE(std::string(c.what) + " / " + how);
    EXPECT_EQ(r.audio, Bytes(c.audio));
    EXPECT_EQ(std::string(r.events.begin(), r.events.end()), c.events);
    EXPECT_EQ(r.used, c.used);
    EXPECT_EQ(r.pendingDle, c.pendingDle);
}

TEST(ModemDleDecoder, DecodesEveryCaseWhole) {
    for (const DecodeCase& c : Cases()) {
        ExpectMatches(c, DecodePieces({Bytes(c.input)}), "whole");
    }
}

TEST(ModemDleDecoder, SameResultAtEverySplitPoint) {
    for (const DecodeCase& c : Cases()) {
        const auto all = Bytes(c.input);
        for (std::size_t split = 0; split <= all.size(); ++split) {
            const std::vector<uint8_t> first(all.begin(), all.begin() + split);
            const std::vector<uint8_t> second(all.begin() + split, all.end());
            ExpectMatches(c, DecodePieces({first, second}), "split at " + std::to_string(split));
        }
    }
}

TEST(ModemDleDecoder, SameResultOneByteAtATime) {
    for (const DecodeCase& c : Cases()) {
        std::vector<std::vector<uint8_t>> pieces;
        for (const uint8_t byte : Bytes(c.input)) {
            pieces.push_back({byte});
        }
        ExpectMatches(c, DecodePieces(pieces), "bytewise");
    }
}

TEST(ModemDleDecoder, UsesNothingAfterTheEndUntilReset) {
    DleDecoder decoder;
    std::vector<uint8_t> audio;
    std::vector<char> events;
    const auto end = Bytes("\x10\x03");
    EXPECT_EQ(decoder.Decode(end, audio, events), 2u);
    EXPECT_TRUE(decoder.Ended());
    EXPECT_EQ(decoder.Decode(Bytes("more"), audio, events), 0u);
    EXPECT_TRUE(audio.empty());

    decoder.Reset();
    EXPECT_FALSE(decoder.Ended());
    EXPECT_EQ(decoder.Decode(Bytes("more"), audio, events), 4u);
    EXPECT_EQ(audio, Bytes("more"));
}

TEST(ModemDleDecoder, ResetDropsAPendingDle) {
    DleDecoder decoder;
    std::vector<uint8_t> audio;
    std::vector<char> events;
    decoder.Decode(Bytes("\x10"), audio, events);
    ASSERT_TRUE(decoder.PendingDle());
    decoder.Reset();
    decoder.Decode(Bytes("R"), audio, events);
    EXPECT_EQ(audio, Bytes("R"));
    EXPECT_TRUE(events.empty());
}

TEST(ModemDleShielding, EveryByteValueSurvivesShieldingAndDecoding) {
    std::vector<uint8_t> data;
    for (int round = 0; round < 3; ++round) {
        for (int value = 0; value < 256; ++value) {
            data.push_back(static_cast<uint8_t>(value));
        }
    }
    data.push_back(kDle);  // a data DLE last of all
    std::vector<uint8_t> shielded;
    AppendShielded(data, shielded);
    EXPECT_EQ(shielded.size(), data.size() + 4);

    DleDecoder decoder;
    std::vector<uint8_t> audio;
    std::vector<char> events;
    EXPECT_EQ(decoder.Decode(shielded, audio, events), shielded.size());
    EXPECT_EQ(audio, data);
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(decoder.PendingDle());
}

TEST(ModemDleShielding, AppendsToWhatIsThere) {
    std::vector<uint8_t> out = {'x'};
    AppendShielded(Bytes("\x10y"), out);
    EXPECT_EQ(out, Bytes("x\x10\x10y"));
}

struct TransmitCase {
    const char* what;
    std::string input;
    std::string audio;
    std::size_t used;
    bool ended;
    std::size_t faults;
    char firstFault;
};

TEST(ModemTransmitDecoder, ReadsTheHostStreamAsAModemDoes) {
    const std::vector<TransmitCase> cases = {
        {"plain sound", "ab\x80\xff", "ab\x80\xff", 4, false, 0, 0},
        {"doubled DLE is one data byte", "a\x10\x10z", "a\x10z", 4, false, 0, 0},
        {"DLE ETX ends, the rest is commands",
         std::string("a\x10\x03"
                     "AT\r"),
         "a", 3, true, 0, 0},
        {"DLE CAN drops what came so far",
         "ab\x10\x18"
         "c",
         "c", 5, false, 0, 0},
        {"volume, pause and keep-alive codes",
         std::string("a\x10u\x10"
                     "d\x10p\x10r\x10\x00"
                     "b",
                     12),
         "ab", 12, false, 0, 0},
        {"an unknown pair is dropped and counted", "a\x10Zb\x10!c", "abc", 7, false, 2, 'Z'},
        {"DLE SUB is no transmit code", "\x10\x1a", "", 2, false, 1, '\x1a'},
    };
    for (const TransmitCase& c : cases) {
        for (const bool bytewise : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (bytewise ? " / bytewise" : " / whole"));
            TransmitDecoder decoder;
            std::vector<uint8_t> audio;
            std::size_t used = 0;
            const auto input = Bytes(c.input);
            if (bytewise) {
                for (std::size_t i = 0; i < input.size() && !decoder.Ended(); ++i) {
                    used += decoder.Decode(std::span(&input[i], 1), audio);
                }
            } else {
                used = decoder.Decode(input, audio);
            }
            EXPECT_EQ(audio, Bytes(c.audio));
            EXPECT_EQ(used, c.used);
            EXPECT_EQ(decoder.Ended(), c.ended);
            EXPECT_EQ(decoder.Faults(), c.faults);
            if (c.faults > 0) {
                EXPECT_EQ(decoder.FirstFault(), static_cast<uint8_t>(c.firstFault));
            }
        }
    }
}

TEST(ModemTransmitDecoder, EveryByteValueSurvivesATransmit) {
    std::vector<uint8_t> data;
    for (int value = 0; value < 256; ++value) {
        data.push_back(static_cast<uint8_t>(value));
    }
    data.push_back(kDle);
    std::vector<uint8_t> stream;
    AppendTransmit(data, stream);
    ASSERT_GE(stream.size(), 2u);
    EXPECT_EQ(stream[stream.size() - 2], kDle);
    EXPECT_EQ(stream.back(), kEtx);

    TransmitDecoder decoder;
    std::vector<uint8_t> audio;
    EXPECT_EQ(decoder.Decode(stream, audio), stream.size());
    EXPECT_TRUE(decoder.Ended());
    EXPECT_EQ(decoder.Faults(), 0u);
    EXPECT_EQ(audio, data);
}

}  // namespace
}  // namespace orvane::modem

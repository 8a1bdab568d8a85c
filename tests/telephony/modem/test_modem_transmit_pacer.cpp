// The pacer against a clock: whatever the timer's hiccups, the modem gets
// the whole stream unchanged, no DLE pair split, and never more sound ahead
// of its play than its small buffer holds.
#include <gtest/gtest.h>

#include <vector>

#include "telephony/modem/dle_codec.h"
#include "telephony/modem/transmit_pacer.h"

namespace orvane::modem {
namespace {

using std::chrono::milliseconds;

// `sound` bytes of sound, every seventh a DLE that shielding doubles.
std::vector<uint8_t> Stream(std::size_t sound) {
    std::vector<uint8_t> payload;
    for (std::size_t i = 0; i < sound; ++i) {
        payload.push_back(i % 7 == 3 ? kDle : static_cast<uint8_t>(0x80 + i % 50));
    }
    std::vector<uint8_t> stream;
    AppendTransmit(payload, stream);
    return stream;
}

// Sound bytes in `bytes`, and whether it ends inside a DLE pair.
std::pair<int64_t, bool> Sound(std::span<const uint8_t> bytes) {
    int64_t sound = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != kDle) {
            ++sound;
        } else if (i + 1 == bytes.size()) {
            return {sound, true};
        } else {
            sound += bytes[++i] == kDle ? 1 : 0;
        }
    }
    return {sound, false};
}

struct Case {
    const char* what;
    VoiceFormatChoice format;
    std::size_t sound;
    int tickMs;  // the timer's usual period
    int lateMs;  // every fifth tick comes this much late (0: never)
};

class TransmitPacerTest : public testing::TestWithParam<Case> {};

TEST_P(TransmitPacerTest, SendsTheWholeStreamKeepingJustAheadOfThePlay) {
    const Case& c = GetParam();
    const std::vector<uint8_t> stream = Stream(c.sound);
    const int perSecond = PayloadBytesPerSecond(c.format);
    TransmitPacer pacer(stream, perSecond);
    ASSERT_GT(pacer.Lead(), 0u);
    ASSERT_LE(pacer.Lead(), TransmitPacer::kMostAhead);

    std::vector<uint8_t> sent;
    int64_t sound = 0;
    int64_t elapsed = 0;
    for (int tick = 0; !pacer.Done(); ++tick) {
        ASSERT_LT(tick, 100000) << "the pacer never finished";
        const std::span<const uint8_t> chunk = pacer.Due(milliseconds(elapsed));
        const auto [chunkSound, splitsPair] = Sound(chunk);
        EXPECT_FALSE(splitsPair) << "at " << elapsed << " ms";
        sent.insert(sent.end(), chunk.begin(), chunk.end());
        sound += chunkSound;
        const int64_t played = elapsed * perSecond / 1000;
        EXPECT_LE(sound - played, static_cast<int64_t>(pacer.Lead()) + 1) << "at " << elapsed;
        if (!pacer.Done()) {
            // Behind nothing that was due: the next byte is not due yet.
            EXPECT_GE(sound, static_cast<int64_t>(pacer.Lead()) + played) << "at " << elapsed;
            EXPECT_GT(pacer.NextDue().count(), elapsed);
        }
        elapsed += c.tickMs + (c.lateMs > 0 && tick % 5 == 4 ? c.lateMs : 0);
    }
    EXPECT_EQ(sent, stream);
    // Done no earlier than the sound less the lead could play.
    const int64_t playMs = static_cast<int64_t>(c.sound) * 1000 / perSecond;
    const int64_t leadMs = static_cast<int64_t>(pacer.Lead()) * 1000 / perSecond;
    EXPECT_GE(elapsed, playMs - leadMs - c.tickMs);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, TransmitPacerTest,
    testing::Values(
        Case{"Mu-law at 8000, a 10 ms timer", {131, SampleEncoding::MuLaw, 8000}, 16000, 10, 0},
        Case{"8-bit at 7200, a timer late by 80 ms at times",
             {0, SampleEncoding::Unsigned8, 7200},
             9000,
             10,
             80},
        Case{"16-bit at 8000 keeps under a small buffer",
             {0, SampleEncoding::Signed16Le, 8000},
             20000,
             20,
             0},
        Case{"ADPCM at 8000", {0, SampleEncoding::ImaAdpcm4, 8000}, 3000, 10, 0},
        Case{"a sound shorter than the lead goes at once",
             {0, SampleEncoding::Unsigned8, 8000},
             100,
             10,
             0}),
    [](const testing::TestParamInfo<Case>& param) { return std::to_string(param.index); });

}  // namespace
}  // namespace orvane::modem

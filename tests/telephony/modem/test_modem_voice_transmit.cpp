// The transmit stream against the receive side's own decoder: what the
// program sends must come back as the samples it started from, in every
// format and rate a modem may have been given.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "telephony/modem/dle_codec.h"
#include "telephony/modem/voice_transmit.h"

namespace orvane::modem {
namespace {

// A 440 Hz tone at 8 kHz, loud enough that 8-bit formats keep its shape.
std::vector<int16_t> Tone(std::size_t count) {
    std::vector<int16_t> samples;
    for (std::size_t i = 0; i < count; ++i) {
        samples.push_back(static_cast<int16_t>(
            12000 * std::sin(2 * std::numbers::pi * 440 * static_cast<double>(i) / 8000)));
    }
    return samples;
}

struct Case {
    const char* what;
    SampleEncoding encoding;
    int rate;
    std::size_t bytesPerSecond;  // of the unshielded sound
    int tolerance;               // largest difference after the round trip
};

TEST(ModemVoiceTransmit, SamplesComeBackThroughTheReceiveDecoder) {
    const std::vector<Case> cases = {
        {"8-bit linear", SampleEncoding::Unsigned8, 8000, 8000, 200},
        {"signed 8-bit", SampleEncoding::Signed8, 8000, 8000, 200},
        {"mu-law", SampleEncoding::MuLaw, 8000, 8000, 400},
        {"A-law", SampleEncoding::ALaw, 8000, 8000, 400},
        {"16-bit linear", SampleEncoding::Signed16Le, 8000, 16000, 0},
        {"IMA ADPCM", SampleEncoding::ImaAdpcm4, 8000, 4000, 2500},
        {"Rockwell's 7200/s", SampleEncoding::Unsigned8, 7200, 7200, 1200},
        {"11025/s", SampleEncoding::MuLaw, 11025, 11025, 1200},
    };
    const std::vector<int16_t> tone = Tone(8000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto stream = TransmitStream(tone, VoiceFormatChoice{1, c.encoding, c.rate});
        TransmitDecoder unshield;
        std::vector<uint8_t> sound;
        ASSERT_EQ(unshield.Decode(stream, sound), stream.size());
        ASSERT_TRUE(unshield.Ended());
        EXPECT_EQ(unshield.Faults(), 0u);
        EXPECT_NEAR(static_cast<double>(sound.size()), static_cast<double>(c.bytesPerSecond), 1);

        VoiceDecoder decoder(c.encoding, c.rate);
        std::vector<int16_t> back;
        decoder.Decode(sound, back);
        ASSERT_NEAR(static_cast<double>(back.size()), static_cast<double>(tone.size()), 2);
        // ADPCM needs a few samples to catch up with the signal.
        for (std::size_t i = 64; i + 2 < back.size(); ++i) {
            ASSERT_LE(std::abs(back[i] - tone[i]), c.tolerance) << "sample " << i;
        }
    }
}

TEST(ModemVoiceTransmit, DataDlesAreDoubledAndTheStreamEnds) {
    // 0x10 in 8-bit linear.
    const std::vector<int16_t> samples = {static_cast<int16_t>((0x10 - 128) * 256), 0};
    const auto stream =
        TransmitStream(samples, VoiceFormatChoice{1, SampleEncoding::Unsigned8, 8000});
    EXPECT_EQ(stream, (std::vector<uint8_t>{kDle, kDle, 0x80, kDle, kEtx}));
    EXPECT_EQ(TransmitStream({}, VoiceFormatChoice{}), (std::vector<uint8_t>{kDle, kEtx}));
}

}  // namespace
}  // namespace orvane::modem

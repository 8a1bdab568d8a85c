// What the far end sends: WAV files read as 8 kHz mono, and the test
// pattern.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tools/modemsim/sim_test_support.h"
#include "tools/modemsim/voice_source.h"

namespace orvane::modemsim {
namespace {

using test::TempDir;
using test::WriteWav;

TEST(VoiceFiles, KeepsAnEightKilohertzMonoFileAsItIs) {
    TempDir dir;
    const std::vector<int16_t> samples = {0, 1000, -1000, 32767, -32768, 7};
    WriteWav(dir.File("a.wav"), samples, 8000, 1);
    const WavLoad load = LoadWavFile(dir.File("a.wav"));
    ASSERT_TRUE(load.samples) << load.error;
    EXPECT_EQ(*load.samples, samples);
    EXPECT_TRUE(load.note.empty());
}

TEST(VoiceFiles, MixesDownAndResamplesOtherPcm) {
    TempDir dir;
    // 16 kHz stereo: left and right average to 100 * i.
    std::vector<int16_t> stereo;
    for (int i = 0; i < 16; ++i) {
        stereo.push_back(static_cast<int16_t>(100 * i - 50));
        stereo.push_back(static_cast<int16_t>(100 * i + 50));
    }
    WriteWav(dir.File("b.wav"), stereo, 16000, 2);
    const WavLoad load = LoadWavFile(dir.File("b.wav"));
    ASSERT_TRUE(load.samples) << load.error;
    EXPECT_EQ(*load.samples, (std::vector<int16_t>{0, 200, 400, 600, 800, 1000, 1200, 1400}));
    EXPECT_FALSE(load.note.empty());

    // 8-bit unsigned PCM is widened.
    WriteWav(dir.File("c.wav"), {0, 256, -256}, 8000, 1, 8);
    const WavLoad eight = LoadWavFile(dir.File("c.wav"));
    ASSERT_TRUE(eight.samples) << eight.error;
    EXPECT_EQ(*eight.samples, (std::vector<int16_t>{0, 256, -256}));
}

TEST(VoiceFiles, RefusesWhatIsNotPcmSound) {
    TempDir dir;
    WriteWav(dir.File("mulaw.wav"), {1, 2, 3, 4}, 8000, 1, 8, 7);
    WavLoad load = LoadWavFile(dir.File("mulaw.wav"));
    EXPECT_FALSE(load.samples);
    EXPECT_NE(load.error.find("8- or 16-bit PCM"), std::string::npos) << load.error;

    WriteWav(dir.File("empty.wav"), {}, 8000, 1);
    load = LoadWavFile(dir.File("empty.wav"));
    EXPECT_FALSE(load.samples);

    load = LoadWavFile(dir.File("missing.wav"));
    EXPECT_FALSE(load.samples);
    EXPECT_NE(load.error.find("missing.wav"), std::string::npos);
}

TEST(VoiceSources, PatternCyclesThroughAllBytesAndRestarts) {
    const auto pattern = MakePattern();
    ASSERT_TRUE(pattern->Raw());
    std::vector<uint8_t> bytes(300);
    pattern->FillBytes(bytes);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        ASSERT_EQ(bytes[i], static_cast<uint8_t>(i));
    }
    pattern->Restart();
    pattern->FillBytes(bytes);
    EXPECT_EQ(bytes[0], 0);
}

TEST(VoiceSources, BusyToneIsOnHalfASecondThenOff) {
    const auto busy = MakeDualTone(480, 620, 500, 500);
    std::vector<int16_t> second(8000);
    busy->Fill(second);
    const auto loud = [&](std::size_t from, std::size_t to) {
        int peak = 0;
        for (std::size_t i = from; i < to; ++i) {
            peak = std::max(peak, std::abs(static_cast<int>(second[i])));
        }
        return peak;
    };
    EXPECT_GT(loud(0, 4000), 3000);
    EXPECT_EQ(loud(4000, 8000), 0);
}

}  // namespace
}  // namespace orvane::modemsim

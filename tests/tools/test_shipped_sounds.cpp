// The incoming-call sounds the build makes for the program folder: files the
// audio engine reads as PCM, long enough to be heard, neither silent nor
// clipped.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/sonvel_host.h"
#include "audio/wave.h"

namespace sonvel {
namespace {

constexpr size_t kCanonicalHeaderBytes = 44;

TEST(ShippedSounds, EachIsAnAudiblePcmFileTheEngineReads) {
    ASSERT_EQ(setenv("SONVEL_NO_ALSA", "1", 1), 0);
    EventLoopWindow window;
    Wave wave(&window);
    ASSERT_FALSE(wave.InitC());
    for (const char* name : {"Ring.wav", "Chime.wav", "Recorded.wav"}) {
        const std::string path = std::string(ORVANE_BUILT_PROGRAM_DIR "/Sound/") + name;
        WaveFileDetails details;
        ASSERT_EQ(wave.GetDetailsWaveFile(path, details), 0) << name;
        EXPECT_EQ(details.wFormatTag, 1) << name;
        EXPECT_EQ(details.nChannels, 1) << name;
        EXPECT_EQ(details.nSamplesPerSec, 22050) << name;
        EXPECT_EQ(details.wBitsPerSample, 16) << name;
        EXPECT_GE(details.SecondsLength, 1) << name;

        std::ifstream file(path, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
        ASSERT_GT(bytes.size(), kCanonicalHeaderBytes) << name;
        int peak = 0;
        for (size_t i = kCanonicalHeaderBytes; i + 1 < bytes.size(); i += 2) {
            const auto sample = static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) |
                                                     (static_cast<uint8_t>(bytes[i + 1]) << 8));
            peak = std::max(peak, std::abs(static_cast<int>(sample)));
        }
        EXPECT_GT(peak, 32767 / 5) << name;
        EXPECT_LT(peak, 32767 * 9 / 10) << name;
    }
    EXPECT_FALSE(wave.UnInitC());
}

}  // namespace
}  // namespace sonvel

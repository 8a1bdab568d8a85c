// The incoming-call sounds the build makes for the program folder: files the
// audio engine reads as PCM, long enough to be heard, neither silent nor
// clipped.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstddef>
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
constexpr double kRate = 22050.0;

std::vector<int16_t> SamplesOf(const std::string& name) {
    std::ifstream file(std::string(ORVANE_BUILT_PROGRAM_DIR "/Sound/") + name, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
    std::vector<int16_t> samples;
    for (size_t i = kCanonicalHeaderBytes; i + 1 < bytes.size(); i += 2) {
        samples.push_back(static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) |
                                               (static_cast<uint8_t>(bytes[i + 1]) << 8)));
    }
    return samples;
}

// The frequency of the tone in [from, to) seconds, from the time between
// its first and last rising zero crossing; 0 for silence.
double ToneFrequency(const std::vector<int16_t>& samples, double from, double to) {
    const auto first = static_cast<size_t>(from * kRate);
    const size_t last = std::min(samples.size(), static_cast<size_t>(to * kRate));
    double firstCrossing = -1;
    double lastCrossing = -1;
    int crossings = 0;
    for (size_t i = first + 1; i < last; ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            const double at = static_cast<double>(i - 1) +
                              static_cast<double>(-samples[i - 1]) / (samples[i] - samples[i - 1]);
            if (crossings++ == 0) {
                firstCrossing = at;
            }
            lastCrossing = at;
        }
    }
    return crossings < 2 ? 0.0 : (crossings - 1) * kRate / (lastCrossing - firstCrossing);
}

TEST(ShippedSounds, EachIsAnAudiblePcmFileTheEngineReads) {
    ASSERT_EQ(setenv("SONVEL_NO_ALSA", "1", 1), 0);
    EventLoopWindow window;
    Wave wave(&window);
    ASSERT_FALSE(wave.InitC());
    for (const char* name : {"Ring.wav", "Chime.wav", "Recorded.wav", "Blocked.wav"}) {
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

// The blocked callers' message is the special information tone (the one
// autodialers read as "number not in service") twice, then silence.
TEST(ShippedSounds, TheBlockedMessageIsTheNotInServiceToneTwiceThenSilence) {
    const std::vector<int16_t> samples = SamplesOf("Blocked.wav");
    struct Tone {
        double seconds;
        double hertz;
    };
    const Tone kTones[] = {{0.274, 913.8}, {0.274, 1370.6}, {0.380, 1776.7}};
    double at = 0.0;
    for (int round = 0; round < 2; ++round) {
        for (const Tone& tone : kTones) {
            SCOPED_TRACE(at);
            // The middle of the tone, clear of its fades.
            EXPECT_NEAR(ToneFrequency(samples, at + 0.02, at + tone.seconds - 0.02), tone.hertz,
                        tone.hertz / 500);
            at += tone.seconds;
        }
    }
    const auto quiet = static_cast<size_t>((at + 0.01) * kRate);
    ASSERT_LT(quiet, samples.size());
    EXPECT_NEAR(static_cast<double>(samples.size()) / kRate - at, 1.0, 0.05) << "the silence";
    EXPECT_TRUE(std::all_of(samples.begin() + static_cast<std::ptrdiff_t>(quiet), samples.end(),
                            [](int16_t sample) { return sample == 0; }));
}

}  // namespace
}  // namespace sonvel

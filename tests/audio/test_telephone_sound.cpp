// Sound files read as a telephone line carries them: what a voice modem is
// given to play. Every codec the engine records with, other rates and
// channel counts, the length limit and files that are no sound.

#include <string>
#include <vector>

#include "audio/telephone_sound.h"
#include "test_acm_support.h"

namespace sonvel {
namespace {

using testing::Bytes;

constexpr size_t kSamples = 12001;

struct Case {
    const char* name;
    WaveFormat format;
    int maxSeconds;
};

TEST(TelephoneSound, EveryRecordedFormatComesBackAsTheEngineDecodesIt) {
    testing::TempFolder folder;
    ASSERT_TRUE(folder.valid());
    const std::vector<int16_t> signal = testing::TestSignal(kSamples);
    const WaveFormat pcm = Pcm16Format(8000, 1);
    const Case cases[] = {
        {"pcm", pcm, 60},
        {"mulaw", testing::MulawFormat(), 60},
        {"alaw", testing::AlawFormat(), 60},
        {"gsm", testing::GsmFormat(), 60},
        {"ima", testing::ImaFormat(), 60},
        {"cut to one second", pcm, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.File(std::string(c.name) + ".wav");
        Bytes data = testing::ToBytes(signal);
        std::vector<int16_t> expected = signal;
        if (c.format.wFormatTag != WAVE_FORMAT_PCM) {
            data = testing::Convert(pcm, c.format, data);
            Bytes back = testing::Convert(c.format, pcm, data);
            back.resize(kSamples * 2);
            expected = testing::ToSamples(back);
        }
        expected.resize(std::min<size_t>(expected.size(), size_t{8000} * c.maxSeconds));
        ASSERT_TRUE(testing::WriteWav(path, c.format, data, kSamples));
        std::vector<int16_t> samples;
        EXPECT_EQ(ReadTelephoneSound(path, c.maxSeconds, &samples), "");
        EXPECT_TRUE(samples == expected) << samples.size() << " samples";
    }
}

TEST(TelephoneSound, StereoAtAnotherRateIsMixedAndResampled) {
    testing::TempFolder folder;
    ASSERT_TRUE(folder.valid());
    const std::vector<int16_t> signal = testing::TestSignal(kSamples, 12000.0);
    std::vector<int16_t> stereo;
    for (const int16_t sample : signal) {
        stereo.push_back(sample);
        stereo.push_back(sample);
    }
    const std::string path = folder.File("stereo.wav");
    ASSERT_TRUE(testing::WriteWav(path, Pcm16Format(12000, 2), testing::ToBytes(stereo), kSamples));
    std::vector<int16_t> samples;
    EXPECT_EQ(ReadTelephoneSound(path, 60, &samples), "");
    ASSERT_EQ(samples.size(), kSamples * 2 / 3);
    // Output sample i lies at 1.5 i: on an input sample or halfway between two.
    for (size_t i = 0; i + 1 < samples.size(); ++i) {
        const size_t at = i * 3 / 2;
        const int expected = i % 2 == 0 ? signal[at] : (signal[at] + signal[at + 1]) / 2;
        ASSERT_NEAR(samples[i], expected, 1) << "sample " << i;
    }
}

TEST(TelephoneSound, WhatIsNoSoundIsNamedAndGivesNoSamples) {
    testing::TempFolder folder;
    ASSERT_TRUE(folder.valid());
    const std::string text = folder.File("notes.wav");
    { std::ofstream(text) << "not a sound"; }
    for (const std::string& path : {text, folder.File("missing.wav"), folder.File("")}) {
        SCOPED_TRACE(path);
        std::vector<int16_t> samples = {1, 2, 3};
        const std::string error = ReadTelephoneSound(path, 60, &samples);
        EXPECT_NE(error, "");
        EXPECT_TRUE(samples.empty());
    }
}

}  // namespace
}  // namespace sonvel

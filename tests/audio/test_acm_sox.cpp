// The codecs against sox as an outside reference, on files in a temporary
// folder.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

#include "audio/acm/g711.h"
#include "test_acm_support.h"

namespace sonvel {
namespace {

using testing::Bytes;

class AcmSoxTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(folder_.valid()); }

    // sox's decode of a WAV file to 16-bit PCM.
    std::vector<int16_t> SoxDecode(const std::string& file) {
        const std::string out = folder_.File("decoded.wav");
        if (!testing::RunSox({file, "-e", "signed", "-b", "16", out})) {
            return {};
        }
        return testing::ToSamples(testing::ReadWav(out).data);
    }

    // sox's encoding of `samples` with the given sox encoding.
    testing::WavFile SoxEncode(const std::vector<int16_t>& samples, const std::string& encoding) {
        const std::string in = folder_.File("in.wav");
        const std::string out = folder_.File("encoded_" + encoding + ".wav");
        EXPECT_TRUE(testing::WritePcmWav(in, samples));
        if (!testing::RunSox({in, "-e", encoding, out})) {
            return {};
        }
        return testing::ReadWav(out);
    }

    testing::TempFolder folder_;
};

// Position of each decoded level on the code's scale, to measure code steps.
template <int16_t (*Expand)(uint8_t)>
int LevelDistance(uint8_t a, uint8_t b) {
    std::set<int16_t> levels;
    for (int code = 0; code < 256; ++code) {
        levels.insert(Expand(static_cast<uint8_t>(code)));
    }
    const auto rank = [&](uint8_t code) {
        return std::distance(levels.begin(), levels.find(Expand(code)));
    };
    return static_cast<int>(std::abs(rank(a) - rank(b)));
}

// In dB, over the length of `reference`.
double SignalToNoise(const std::vector<int16_t>& reference, const std::vector<int16_t>& decoded) {
    double power = 0;
    double noise = 0;
    for (size_t i = 0; i < reference.size(); ++i) {
        const double value = reference[i];
        const double error = value - decoded[i];
        power += value * value;
        noise += error * error;
    }
    return 10 * std::log10(power / noise);
}

TEST_F(AcmSoxTest, GsmEncodeIsByteIdenticalAndDecodersAgree) {
    // 25 whole blocks: no padding question at the end.
    const auto signal = testing::TestSignal(25 * 320);
    const auto sox = SoxEncode(signal, "gsm-full-rate");
    ASSERT_GE(sox.data.size(), 25u * 65);
    const Bytes soxBlocks(sox.data.begin(), sox.data.begin() + 25 * 65);

    const Bytes ours =
        testing::Convert(Pcm16Format(8000, 1), testing::GsmFormat(), testing::ToBytes(signal));
    EXPECT_EQ(ours, soxBlocks);

    const std::string soxFile = folder_.File("encoded_gsm-full-rate.wav");
    const auto soxDecoded = SoxDecode(soxFile);
    const auto ourDecoded =
        testing::ToSamples(testing::Convert(testing::GsmFormat(), Pcm16Format(8000, 1), soxBlocks));
    ASSERT_EQ(ourDecoded.size(), 25u * 320);
    ASSERT_GE(soxDecoded.size(), ourDecoded.size());
    EXPECT_TRUE(std::equal(ourDecoded.begin(), ourDecoded.end(), soxDecoded.begin()));
}

TEST_F(AcmSoxTest, MulawDecodesExactlyAndEncodesWithinOneStep) {
    Bytes everyCode(256);
    for (int i = 0; i < 256; ++i) {
        everyCode[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    }
    const std::string codes = folder_.File("codes.wav");
    ASSERT_TRUE(testing::WriteWav(codes, testing::MulawFormat(), everyCode, 256));
    const auto soxTable = SoxDecode(codes);
    EXPECT_EQ(testing::ToSamples(
                  testing::Convert(testing::MulawFormat(), Pcm16Format(8000, 1), everyCode)),
              soxTable);

    const auto signal = testing::TestSignal(8000);
    const auto sox = SoxEncode(signal, "u-law");
    const Bytes ours =
        testing::Convert(Pcm16Format(8000, 1), testing::MulawFormat(), testing::ToBytes(signal));
    ASSERT_EQ(sox.data.size(), ours.size());
    int worst = 0;
    for (size_t i = 0; i < ours.size(); ++i) {
        worst = std::max(worst, LevelDistance<g711::UlawToLinear>(ours[i], sox.data[i]));
    }
    EXPECT_LE(worst, 1);
}

TEST_F(AcmSoxTest, AlawDecodesExactlyAndEncodesWithinOneStep) {
    Bytes everyCode(256);
    for (int i = 0; i < 256; ++i) {
        everyCode[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    }
    const std::string codes = folder_.File("codes.wav");
    ASSERT_TRUE(testing::WriteWav(codes, testing::AlawFormat(), everyCode, 256));
    EXPECT_EQ(testing::ToSamples(
                  testing::Convert(testing::AlawFormat(), Pcm16Format(8000, 1), everyCode)),
              SoxDecode(codes));

    const auto signal = testing::TestSignal(8000);
    const auto sox = SoxEncode(signal, "a-law");
    const Bytes ours =
        testing::Convert(Pcm16Format(8000, 1), testing::AlawFormat(), testing::ToBytes(signal));
    ASSERT_EQ(sox.data.size(), ours.size());
    int worst = 0;
    for (size_t i = 0; i < ours.size(); ++i) {
        worst = std::max(worst, LevelDistance<g711::AlawToLinear>(ours[i], sox.data[i]));
    }
    EXPECT_LE(worst, 1);
}

TEST_F(AcmSoxTest, ImaDecodeOfSoxFilesMatchesSox) {
    const auto signal = testing::TestSignal(16 * 505);
    const auto sox = SoxEncode(signal, "ima-adpcm");
    ASSERT_EQ(sox.data.size(), 16u * 256);
    const auto soxDecoded = SoxDecode(folder_.File("encoded_ima-adpcm.wav"));
    const auto ours =
        testing::ToSamples(testing::Convert(testing::ImaFormat(), Pcm16Format(8000, 1), sox.data));
    ASSERT_EQ(ours.size(), 16u * 505);
    ASSERT_GE(soxDecoded.size(), ours.size());
    EXPECT_TRUE(std::equal(ours.begin(), ours.end(), soxDecoded.begin()));
}

TEST_F(AcmSoxTest, SoxDecodesOurImaOutput) {
    const auto signal = testing::TestSignal(16 * 505);
    const Bytes encoded =
        testing::Convert(Pcm16Format(8000, 1), testing::ImaFormat(), testing::ToBytes(signal));
    ASSERT_EQ(encoded.size(), 16u * 256);
    const std::string file = folder_.File("ours.wav");
    ASSERT_TRUE(testing::WriteWav(file, testing::ImaFormat(), encoded, 16 * 505));
    const auto soxDecoded = SoxDecode(file);
    const auto ourDecoded =
        testing::ToSamples(testing::Convert(testing::ImaFormat(), Pcm16Format(8000, 1), encoded));
    ASSERT_EQ(ourDecoded.size(), signal.size());
    ASSERT_GE(soxDecoded.size(), ourDecoded.size());
    EXPECT_TRUE(std::equal(ourDecoded.begin(), ourDecoded.end(), soxDecoded.begin()));

    // And it is the signal, not just any agreed noise: as close to it as
    // sox's own (searching) encoder gets, within 2 dB.
    ASSERT_FALSE(SoxEncode(signal, "ima-adpcm").data.empty());
    const auto soxOwnDecoded = SoxDecode(folder_.File("encoded_ima-adpcm.wav"));
    ASSERT_GE(soxOwnDecoded.size(), signal.size());
    EXPECT_GT(SignalToNoise(signal, soxDecoded), SignalToNoise(signal, soxOwnDecoded) - 2.0);
}

// Voiced syllables: a 110..150 Hz pitch with two formant-like harmonic
// groups, four syllables a second, loud from the first sample on (a call
// picked up mid-word), quiet gaps between syllables.
std::vector<int16_t> SpeechLikeSignal(size_t samples) {
    std::vector<int16_t> out(samples);
    const double pi = std::acos(-1.0);
    double phase = 0;
    for (size_t i = 0; i < samples; ++i) {
        const double t = static_cast<double>(i) / 8000.0;
        phase += 2 * pi * (130.0 + 20.0 * std::sin(2 * pi * 1.3 * t)) / 8000.0;
        const double syllable = std::pow(std::cos(pi * 4.0 * t), 2);
        double value = 0;
        for (int harmonic = 1; harmonic <= 25; ++harmonic) {
            const double f = harmonic * 130.0;
            const double formants = std::exp(-std::pow((f - 700.0) / 250.0, 2)) +
                                    0.5 * std::exp(-std::pow((f - 1800.0) / 300.0, 2)) + 0.02;
            value += formants * std::sin(harmonic * phase);
        }
        out[i] = static_cast<int16_t>(
            std::clamp<long>(std::lround(5000.0 * syllable * value), -32768, 32767));
    }
    return out;
}

TEST_F(AcmSoxTest, ImaEncodeOfSpeechIsAtLeastAsCleanAsSoxFromTheFirstBlock) {
    constexpr size_t kBlocks = 32;
    const auto signal = SpeechLikeSignal(kBlocks * 505);
    // Without sox's dither, which would make its figure vary from run to run.
    const std::string in = folder_.File("speech.wav");
    const std::string soxFile = folder_.File("speech_sox.wav");
    ASSERT_TRUE(testing::WritePcmWav(in, signal));
    ASSERT_TRUE(testing::RunSox({"-D", in, "-e", "ima-adpcm", soxFile}));
    const auto sox = testing::ReadWav(soxFile);
    ASSERT_EQ(sox.data.size(), kBlocks * 256);
    const Bytes ours =
        testing::Convert(Pcm16Format(8000, 1), testing::ImaFormat(), testing::ToBytes(signal));
    ASSERT_EQ(ours.size(), kBlocks * 256);
    const auto decode = [](const Bytes& blocks) {
        return testing::ToSamples(
            testing::Convert(testing::ImaFormat(), Pcm16Format(8000, 1), blocks));
    };
    const auto oursDecoded = decode(ours);
    const auto soxDecoded = decode(sox.data);
    ASSERT_EQ(oursDecoded.size(), signal.size());
    ASSERT_EQ(soxDecoded.size(), signal.size());

    const auto firstBlock = [](const std::vector<int16_t>& samples) {
        return std::vector<int16_t>(samples.begin(), samples.begin() + 505);
    };
    const double oursWhole = SignalToNoise(signal, oursDecoded);
    const double soxWhole = SignalToNoise(signal, soxDecoded);
    const double oursFirst = SignalToNoise(firstBlock(signal), firstBlock(oursDecoded));
    const double soxFirst = SignalToNoise(firstBlock(signal), firstBlock(soxDecoded));
    RecordProperty("snr_whole_ours", std::to_string(oursWhole));
    RecordProperty("snr_whole_sox", std::to_string(soxWhole));
    std::printf(
        "IMA ADPCM SNR (dB): whole file ours %.2f sox %.2f; first block ours %.2f sox %.2f\n",
        oursWhole, soxWhole, oursFirst, soxFirst);
    EXPECT_GE(oursWhole, soxWhole);
    EXPECT_GE(oursFirst, soxFirst - 1.0);
}

}  // namespace
}  // namespace sonvel

// The +VSM answers of real modems, the choice among them, and the exact
// conversion of the modem's samples to 8 kHz 16-bit PCM and back.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "telephony/modem/voice_format.h"

namespace orvane::modem {
namespace {

// Conexant CX93001 (NCID doc/Hangup.md, appendix A), with echo and OK.
const std::vector<std::string> kConexant = {
    "AT+VSM=?",
    "0,\"SIGNED PCM\",8,0,8000,0,0",
    "1,\"UNSIGNED PCM\",8,0,8000,0,0",
    "129,\"IMA ADPCM\",4,0,8000,0,0",
    "130,\"UNSIGNED PCM\",8,0,8000,0,0",
    "131,\"Mu-Law\",8,0,8000,0,0",
    "132,\"A-Law\",8,0,8000,0,0",
    "133,\"14 bit PCM\",14,0,8000,0,0",
    "",
    "OK",
};

// U.S. Robotics 5637 (same appendix): no size, rates as a list.
const std::vector<std::string> kUsr = {
    "128,\"8-BIT LINEAR\",(7200,8000,11025)",
    "129,\"16-BIT LINEAR\",(7200,8000,11025)",
    "130,\"8-BIT ALAW\",(8000)",
    "131,\"8-BIT ULAW\",(8000)",
    "132,\"IMA ADPCM\",(7200,8000,11025)",
};

// Lucent/Agere: codes and rates as mgetty's Lucent driver uses them, written
// in the V.253 layout with ranges.
const std::vector<std::string> kLucent = {
    "+VSM: 128,\"8-BIT LINEAR\",8,0,(7200-11025),0,0",
    "+VSM: 129,\"16-BIT LINEAR\",16,0,(7200-11025),0,0",
    "+VSM: 130,\"8-BIT ALAW\",8,0,8000,0,0",
    "+VSM: 131,\"8-BIT ULAW\",8,0,8000,0,0",
    "+VSM: 132,\"IMA ADPCM\",4,0,(7200-11025),0,0",
};

TEST(ModemVoiceFormat, ParsesTheAnswersOfThreeMakers) {
    const auto conexant = ParseVoiceFormatOffers(kConexant);
    ASSERT_EQ(conexant.size(), 7u);
    EXPECT_EQ(conexant[2].code, 129);
    EXPECT_EQ(conexant[2].name, "IMA ADPCM");
    EXPECT_EQ(conexant[2].bitsPerSample, 4);
    EXPECT_EQ(conexant[2].rates, std::vector<int>{8000});

    const auto usr = ParseVoiceFormatOffers(kUsr);
    ASSERT_EQ(usr.size(), 5u);
    EXPECT_EQ(usr[0].bitsPerSample, 0);
    EXPECT_EQ(usr[0].rates, (std::vector<int>{7200, 8000, 11025}));
    EXPECT_EQ(usr[3].name, "8-BIT ULAW");
    EXPECT_EQ(usr[3].rates, std::vector<int>{8000});

    const auto lucent = ParseVoiceFormatOffers(kLucent);
    ASSERT_EQ(lucent.size(), 5u);
    EXPECT_EQ(lucent[1].bitsPerSample, 16);
    EXPECT_EQ(lucent[4].rates, (std::vector<int>{7200, 8000, 11025}));
}

TEST(ModemVoiceFormat, SkipsLinesThatAreNoOffer) {
    const std::vector<std::string> lines = {
        "OK", "ERROR", "131", "x,\"A\",8", "131,Mu-Law,8", "-1,\"A-Law\",8,0,8000,0,0"};
    EXPECT_TRUE(ParseVoiceFormatOffers(lines).empty());
}

TEST(ModemVoiceFormat, ChoosesG711At8000) {
    for (const auto* answer : {&kConexant, &kUsr, &kLucent}) {
        const auto choice = ChooseVoiceFormat(ParseVoiceFormatOffers(*answer));
        ASSERT_TRUE(choice);
        EXPECT_EQ(choice->code, 131);
        EXPECT_EQ(choice->encoding, SampleEncoding::MuLaw);
        EXPECT_EQ(choice->rate, 8000);
        EXPECT_EQ(VoiceFormatArgument(*choice), "131,8000");
    }
}

struct ChoiceCase {
    const char* what;
    std::vector<std::string> lines;
    std::optional<VoiceFormatChoice> expected;
};

TEST(ModemVoiceFormat, PrefersEightThousandThenTheEncodingThenTheNearestRate) {
    const std::vector<ChoiceCase> cases = {
        {"8000 before a better encoding",
         {"131,\"8-BIT ULAW\",(7200)", "129,\"16-BIT LINEAR\",(8000)"},
         VoiceFormatChoice{129, SampleEncoding::Signed16Le, 8000}},
        {"7200 before 11025",
         {"128,\"8-BIT LINEAR\",(11025,7200)"},
         VoiceFormatChoice{128, SampleEncoding::Unsigned8, 7200}},
        {"11025 when alone",
         {"128,\"8-BIT LINEAR\",(11025)"},
         VoiceFormatChoice{128, SampleEncoding::Unsigned8, 11025}},
        {"unsigned before signed before ADPCM",
         {"129,\"IMA ADPCM\",4,0,8000,0,0", "0,\"SIGNED PCM\",8,0,8000,0,0",
          "1,\"UNSIGNED PCM\",8,0,8000,0,0"},
         VoiceFormatChoice{1, SampleEncoding::Unsigned8, 8000}},
        {"no rate given means 8000",
         {"4,\"G.711 ULAW\",8"},
         VoiceFormatChoice{4, SampleEncoding::MuLaw, 8000}},
        {"nothing we decode",
         {"133,\"14 bit PCM\",14,0,8000,0,0", "128,\"GSM\",(8000)",
          "129,\"Rockwell ADPCM\",4,0,7200,0,0", "1,\"UNSIGNED PCM\",8,0,(2000),0,0"},
         std::nullopt},
    };
    for (const ChoiceCase& c : cases) {
        SCOPED_TRACE(c.what);
        const auto choice = ChooseVoiceFormat(ParseVoiceFormatOffers(c.lines));
        ASSERT_EQ(choice.has_value(), c.expected.has_value());
        if (choice) {
            EXPECT_EQ(choice->code, c.expected->code);
            EXPECT_EQ(choice->encoding, c.expected->encoding);
            EXPECT_EQ(choice->rate, c.expected->rate);
        }
    }
}

TEST(ModemVoiceFormat, KnowsFormatsByNameAndSize) {
    struct Case {
        std::string name;
        int bits;
        std::optional<SampleEncoding> expected;
    };
    const std::vector<Case> cases = {
        {"UNSIGNED PCM", 8, SampleEncoding::Unsigned8},
        {"UNSIGNED PCM", 16, std::nullopt},
        {"8-BIT LINEAR", 0, SampleEncoding::Unsigned8},
        {"SIGNED PCM", 8, SampleEncoding::Signed8},
        {"SIGNED PCM", 16, SampleEncoding::Signed16Le},
        {"16-BIT LINEAR", 0, SampleEncoding::Signed16Le},
        {"Mu-Law", 8, SampleEncoding::MuLaw},
        {"8-bit ulaw", 0, SampleEncoding::MuLaw},
        {"A-Law", 8, SampleEncoding::ALaw},
        {"8-BIT ALAW", 0, SampleEncoding::ALaw},
        {"IMA ADPCM", 4, SampleEncoding::ImaAdpcm4},
        {"IMA ADPCM", 3, std::nullopt},
        {"ADPCM", 4, std::nullopt},
        {"14 bit PCM", 14, std::nullopt},
        {"CELP", 0, std::nullopt},
    };
    for (const Case& c : cases) {
        VoiceFormatOffer offer;
        offer.name = c.name;
        offer.bitsPerSample = c.bits;
        EXPECT_EQ(EncodingOf(offer), c.expected) << c.name << " " << c.bits;
    }
}

std::vector<int16_t> DecodeAll(SampleEncoding encoding, int rate,
                               const std::vector<std::vector<uint8_t>>& reads) {
    VoiceDecoder decoder(encoding, rate);
    std::vector<int16_t> out;
    for (const auto& read : reads) {
        decoder.Decode(read, out);
    }
    return out;
}

TEST(ModemVoiceDecoder, GivesExactSamples) {
    using V = std::vector<int16_t>;
    EXPECT_EQ(DecodeAll(SampleEncoding::Unsigned8, 8000, {{0x00, 0x7F, 0x80, 0x81, 0xFF}}),
              (V{-32768, -256, 0, 256, 32512}));
    EXPECT_EQ(DecodeAll(SampleEncoding::Signed8, 8000, {{0x80, 0xFF, 0x00, 0x01, 0x7F}}),
              (V{-32768, -256, 0, 256, 32512}));
    EXPECT_EQ(DecodeAll(SampleEncoding::MuLaw, 8000, {{0x00, 0x7F, 0x80, 0xFF}}),
              (V{-32124, 0, 32124, 0}));
    EXPECT_EQ(DecodeAll(SampleEncoding::ALaw, 8000, {{0x2A, 0x55, 0xAA, 0xD5}}),
              (V{-32256, -8, 32256, 8}));
    // A low byte waits for its high byte across reads.
    EXPECT_EQ(DecodeAll(SampleEncoding::Signed16Le, 8000, {{0x34}, {0x12, 0x00}, {0x80}}),
              (V{0x1234, -32768}));
}

TEST(ModemVoiceDecoder, ReadsImaLowNibbleFirstFromZeroState) {
    using V = std::vector<int16_t>;
    // Code 7 at step 7 adds 11 and moves four steps up; code 0 at step 16
    // adds 2. The other order gives 0, then 11.
    EXPECT_EQ(DecodeAll(SampleEncoding::ImaAdpcm4, 8000, {{0x07}}), (V{11, 13}));
    EXPECT_EQ(DecodeAll(SampleEncoding::ImaAdpcm4, 8000, {{0x70}}), (V{0, 11}));
    // The state carries over from read to read.
    EXPECT_EQ(DecodeAll(SampleEncoding::ImaAdpcm4, 8000, {{0x07}, {0x07}}),
              DecodeAll(SampleEncoding::ImaAdpcm4, 8000, {{0x07, 0x07}}));

    VoiceDecoder decoder(SampleEncoding::ImaAdpcm4, 8000);
    std::vector<int16_t> first;
    decoder.Decode(std::vector<uint8_t>{0x77}, first);
    decoder.Reset();
    std::vector<int16_t> again;
    decoder.Decode(std::vector<uint8_t>{0x77}, again);
    EXPECT_EQ(first, again);
}

// A ramp stays a ramp under linear resampling, so every output sample is
// known exactly: input k*a at rate R gives output m*a*R/8000.
TEST(ModemVoiceDecoder, ResamplesLinearlyTo8000) {
    struct Case {
        int rate;
        int inputStep;
        int outputStep;
    };
    for (const Case& c : {Case{7200, 450, 405}, Case{11025, 320, 441}}) {
        SCOPED_TRACE(c.rate);
        std::vector<uint8_t> bytes;
        for (int k = 0; k < 72; ++k) {
            const auto sample = static_cast<uint16_t>(k * c.inputStep);
            bytes.push_back(static_cast<uint8_t>(sample & 0xFF));
            bytes.push_back(static_cast<uint8_t>(sample >> 8));
        }
        // Odd-sized reads, so samples and the resampler's state span reads.
        std::vector<std::vector<uint8_t>> reads;
        for (std::size_t at = 0; at < bytes.size(); at += 7) {
            reads.emplace_back(
                bytes.begin() + static_cast<std::ptrdiff_t>(at),
                bytes.begin() + static_cast<std::ptrdiff_t>(std::min(at + 7, bytes.size())));
        }
        const auto out = DecodeAll(SampleEncoding::Signed16Le, c.rate, reads);
        // Outputs up to the last input sample: floor(71 * 8000 / R) + 1.
        const std::size_t expectedCount = 71 * 8000 / static_cast<std::size_t>(c.rate) + 1;
        ASSERT_EQ(out.size(), expectedCount);
        for (std::size_t m = 0; m < out.size(); ++m) {
            EXPECT_EQ(out[m], static_cast<int>(m) * c.outputStep) << m;
        }
    }
}

std::vector<int16_t> Tone(std::size_t count, double amplitude) {
    std::vector<int16_t> samples;
    for (std::size_t i = 0; i < count; ++i) {
        samples.push_back(static_cast<int16_t>(std::lround(
            amplitude * std::sin(2 * std::numbers::pi * 440.0 * static_cast<double>(i) / 8000))));
    }
    return samples;
}

TEST(ModemVoiceEncoder, EightBitCodesRoundTripExactly) {
    for (const SampleEncoding encoding : {SampleEncoding::Unsigned8, SampleEncoding::Signed8,
                                          SampleEncoding::MuLaw, SampleEncoding::ALaw}) {
        SCOPED_TRACE(static_cast<int>(encoding));
        std::vector<uint8_t> codes;
        for (int value = 0; value < 256; ++value) {
            codes.push_back(static_cast<uint8_t>(value));
        }
        const auto decoded = DecodeAll(encoding, 8000, {codes});
        std::vector<uint8_t> encoded;
        VoiceEncoder(encoding).Encode(decoded, encoded);
        // Mu-law has two codes for zero; decoding again settles that.
        EXPECT_EQ(DecodeAll(encoding, 8000, {encoded}), decoded);
    }
}

TEST(ModemVoiceEncoder, LinearEncodingsRoundAndClamp) {
    std::vector<uint8_t> out;
    VoiceEncoder(SampleEncoding::Unsigned8)
        .Encode(std::vector<int16_t>{-32768, -129, -128, 127, 128, 32767}, out);
    EXPECT_EQ(out, (std::vector<uint8_t>{0x00, 0x7F, 0x80, 0x80, 0x81, 0xFF}));
    out.clear();
    VoiceEncoder(SampleEncoding::Signed16Le).Encode(std::vector<int16_t>{0x1234, -2}, out);
    EXPECT_EQ(out, (std::vector<uint8_t>{0x34, 0x12, 0xFE, 0xFF}));
}

TEST(ModemVoiceEncoder, ImaStreamDecodesCloseToTheInput) {
    const auto tone = Tone(800, 8000);
    // Encoded in pieces of odd length: a pending low nibble waits for the next call.
    VoiceEncoder encoder(SampleEncoding::ImaAdpcm4);
    std::vector<uint8_t> pieces;
    for (std::size_t at = 0; at < tone.size(); at += 5) {
        encoder.Encode(std::span(tone).subspan(at, std::min<std::size_t>(5, tone.size() - at)),
                       pieces);
    }
    std::vector<uint8_t> whole;
    VoiceEncoder(SampleEncoding::ImaAdpcm4).Encode(tone, whole);
    EXPECT_EQ(pieces, whole);
    ASSERT_EQ(whole.size(), tone.size() / 2);

    const auto decoded = DecodeAll(SampleEncoding::ImaAdpcm4, 8000, {whole});
    ASSERT_EQ(decoded.size(), tone.size());
    // After the step size has grown to the signal (a few ms), the error
    // stays well under the amplitude.
    double error = 0;
    for (std::size_t i = 80; i < tone.size(); ++i) {
        error = std::max(error, std::abs(static_cast<double>(decoded[i] - tone[i])));
    }
    EXPECT_LT(error, 800.0);
}

}  // namespace
}  // namespace orvane::modem

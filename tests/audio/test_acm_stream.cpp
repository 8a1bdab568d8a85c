// The stream calls: results for misuse, size arithmetic, block alignment,
// chaining through PCM and the PCM driver's own conversions.

#include <algorithm>

#include "test_acm_support.h"

namespace sonvel {
namespace {

using testing::Bytes;

const WaveFormat kPcm = Pcm16Format(8000, 1);

HACMSTREAM Open(const WaveFormat& src, const WaveFormat& dst) {
    HACMSTREAM h = nullptr;
    EXPECT_EQ(acmStreamOpen(&h, src, dst, 0), MMSYSERR_NOERROR);
    return h;
}

struct Piece {
    MMRESULT result;
    Bytes out;
    uint32_t used;
};

// One prepared conversion of `in` into at most `room` bytes.
Piece ConvertPiece(HACMSTREAM h, Bytes in, uint32_t room, uint32_t flags) {
    Bytes out(room);
    ACMSTREAMHEADER header;
    header.pbSrc = in.data();
    header.cbSrcLength = static_cast<uint32_t>(in.size());
    header.pbDst = out.data();
    header.cbDstLength = room;
    EXPECT_EQ(acmStreamPrepareHeader(h, &header, 0), MMSYSERR_NOERROR);
    const MMRESULT result = acmStreamConvert(h, &header, flags);
    EXPECT_EQ(acmStreamUnprepareHeader(h, &header, 0), MMSYSERR_NOERROR);
    out.resize(header.cbDstLengthUsed);
    return {result, out, header.cbSrcLengthUsed};
}

uint32_t SizeOf(HACMSTREAM h, uint32_t input, uint32_t flags, MMRESULT expected = 0) {
    uint32_t output = 0xDEADBEEF;
    EXPECT_EQ(acmStreamSize(h, input, &output, flags), expected) << "input " << input;
    return output;
}

TEST(AcmStream, BadHandlesAreRefusedNeverFollowed) {
    const HACMSTREAM foreign = reinterpret_cast<HACMSTREAM>(uintptr_t{0x5EED});
    HACMSTREAM closed = Open(kPcm, testing::GsmFormat());
    ASSERT_EQ(acmStreamClose(closed, 0), MMSYSERR_NOERROR);
    ACMSTREAMHEADER header;
    uint32_t size = 0;
    for (HACMSTREAM h : {HACMSTREAM{nullptr}, foreign, closed}) {
        EXPECT_EQ(acmStreamSize(h, 640, &size, ACM_STREAMSIZEF_SOURCE), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(acmStreamPrepareHeader(h, &header, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(acmStreamConvert(h, &header, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(acmStreamUnprepareHeader(h, &header, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(acmStreamReset(h, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(acmStreamClose(h, 0), MMSYSERR_INVALHANDLE);
    }
}

TEST(AcmStream, HeadersMustBePreparedOnTheSameStreamAndKeepTheirBuffers) {
    HACMSTREAM h = Open(kPcm, testing::MulawFormat());
    HACMSTREAM other = Open(kPcm, testing::MulawFormat());
    Bytes in(64), out(32), elsewhere(32);
    ACMSTREAMHEADER header;
    header.pbSrc = in.data();
    header.cbSrcLength = 64;
    header.pbDst = out.data();
    header.cbDstLength = 32;

    EXPECT_EQ(acmStreamConvert(h, &header, 0), ACMERR_UNPREPARED);
    EXPECT_EQ(acmStreamUnprepareHeader(h, &header, 0), ACMERR_UNPREPARED);

    ASSERT_EQ(acmStreamPrepareHeader(h, &header, 0), MMSYSERR_NOERROR);
    EXPECT_TRUE(header.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED);
    EXPECT_EQ(acmStreamConvert(other, &header, 0), ACMERR_UNPREPARED);

    header.cbSrcLength = 65;  // longer than prepared
    EXPECT_EQ(acmStreamConvert(h, &header, 0), MMSYSERR_INVALPARAM);
    header.cbSrcLength = 64;
    header.pbDst = elsewhere.data();
    EXPECT_EQ(acmStreamConvert(h, &header, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(acmStreamUnprepareHeader(h, &header, 0), MMSYSERR_INVALPARAM);
    header.pbDst = out.data();

    EXPECT_EQ(acmStreamConvert(h, &header, 0), MMSYSERR_NOERROR);
    EXPECT_TRUE(header.fdwStatus & ACMSTREAMHEADER_STATUSF_DONE);
    EXPECT_EQ(header.cbDstLengthUsed, 32u);
    EXPECT_EQ(acmStreamUnprepareHeader(h, &header, 0), MMSYSERR_NOERROR);
    EXPECT_FALSE(header.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED);
    EXPECT_EQ(acmStreamConvert(h, &header, 0), ACMERR_UNPREPARED);

    // A header that merely carries the flag was never prepared here.
    header.fdwStatus = ACMSTREAMHEADER_STATUSF_PREPARED;
    EXPECT_EQ(acmStreamConvert(h, &header, 0), ACMERR_UNPREPARED);

    header.fdwStatus = 0;
    header.cbStruct = 20;
    EXPECT_EQ(acmStreamPrepareHeader(h, &header, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(acmStreamPrepareHeader(h, nullptr, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(acmStreamClose(h, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamClose(other, 0), MMSYSERR_NOERROR);
}

TEST(AcmStream, FlagsAndParametersAreChecked) {
    HACMSTREAM h = nullptr;
    EXPECT_EQ(acmStreamOpen(&h, kPcm, testing::GsmFormat(), 0x8), MMSYSERR_INVALFLAG);
    EXPECT_EQ(acmStreamOpen(nullptr, kPcm, testing::GsmFormat(), 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(acmStreamOpen(nullptr, kPcm, testing::GsmFormat(), ACM_STREAMOPENF_QUERY),
              MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamOpen(&h, kPcm, testing::GsmFormat(), ACM_STREAMOPENF_ASYNC),
              ACMERR_NOTPOSSIBLE);
    h = Open(kPcm, testing::GsmFormat());
    uint32_t size = 0;
    EXPECT_EQ(acmStreamSize(h, 640, &size, 2), MMSYSERR_INVALFLAG);
    EXPECT_EQ(acmStreamSize(h, 640, nullptr, 0), MMSYSERR_INVALPARAM);
    ACMSTREAMHEADER header;
    EXPECT_EQ(acmStreamPrepareHeader(h, &header, 1), MMSYSERR_INVALFLAG);
    EXPECT_EQ(acmStreamConvert(h, &header, 0x1), MMSYSERR_INVALFLAG);
    EXPECT_EQ(acmStreamReset(h, 1), MMSYSERR_INVALFLAG);
    EXPECT_EQ(acmStreamClose(h, 1), MMSYSERR_INVALFLAG);
    EXPECT_EQ(acmStreamClose(h, 0), MMSYSERR_NOERROR);
}

TEST(AcmStream, UnreachableFormatsAreNotPossible) {
    WaveFormat stereoGsm = testing::GsmFormat();
    stereoGsm.nChannels = 2;
    WaveFormat badIma = testing::ImaFormat();
    badIma.nBlockAlign = 250;  // not headers plus whole groups
    WaveFormat wrongCount = testing::ImaFormat();
    wrongCount.xBytes[0] = 0xF8;
    WaveFormat noChannels = kPcm;
    noChannels.nChannels = 0;
    WaveFormat pcm24 = kPcm;
    pcm24.wBitsPerSample = 24;
    const WaveFormat other[] = {
        testing::TrueSpeechFormat(), stereoGsm, badIma, wrongCount, noChannels, pcm24,
        Pcm16Format(11025, 1)};
    for (const WaveFormat& format : other) {
        HACMSTREAM h = reinterpret_cast<HACMSTREAM>(uintptr_t{1});
        EXPECT_EQ(acmStreamOpen(&h, kPcm, format, 0), ACMERR_NOTPOSSIBLE) << format.wFormatTag;
        EXPECT_EQ(h, nullptr);
        EXPECT_EQ(acmStreamOpen(&h, format, kPcm, 0), ACMERR_NOTPOSSIBLE) << format.wFormatTag;
        EXPECT_EQ(acmStreamOpen(nullptr, format, kPcm, ACM_STREAMOPENF_QUERY), ACMERR_NOTPOSSIBLE);
    }
    EXPECT_EQ(acmStreamOpen(nullptr, testing::MulawFormat(), testing::TrueSpeechFormat(),
                            ACM_STREAMOPENF_QUERY),
              ACMERR_NOTPOSSIBLE);
}

TEST(AcmStream, SizesFollowTheBlockArithmetic) {
    struct Case {
        WaveFormat src;
        WaveFormat dst;
        uint32_t flags;
        uint32_t input;
        uint32_t output;
    };
    const Case cases[] = {
        {kPcm, testing::MulawFormat(), ACM_STREAMSIZEF_SOURCE, 8000, 4000},
        {testing::MulawFormat(), kPcm, ACM_STREAMSIZEF_SOURCE, 4000, 8000},
        {kPcm, testing::MulawFormat(), ACM_STREAMSIZEF_DESTINATION, 4000, 8000},
        {kPcm, testing::GsmFormat(), ACM_STREAMSIZEF_SOURCE, 16000, 1625},
        {kPcm, testing::GsmFormat(), ACM_STREAMSIZEF_SOURCE, 642, 130},
        {kPcm, testing::GsmFormat(), ACM_STREAMSIZEF_DESTINATION, 1625, 16000},
        {kPcm, testing::GsmFormat(), ACM_STREAMSIZEF_DESTINATION, 129, 640},
        {testing::GsmFormat(), kPcm, ACM_STREAMSIZEF_SOURCE, 52000, 512000},
        {testing::GsmFormat(), kPcm, ACM_STREAMSIZEF_SOURCE, 1626, 16000},
        {kPcm, testing::ImaFormat(), ACM_STREAMSIZEF_SOURCE, 8000, 2048},
        {kPcm, testing::ImaFormat(), ACM_STREAMSIZEF_SOURCE, 1010, 256},
        {testing::ImaFormat(), kPcm, ACM_STREAMSIZEF_SOURCE, 512, 2020},
        {testing::ImaFormat(), kPcm, ACM_STREAMSIZEF_DESTINATION, 2020, 512},
        {testing::MulawFormat(), testing::GsmFormat(), ACM_STREAMSIZEF_SOURCE, 8000, 1625},
        {kPcm, testing::GsmFormat(), ACM_STREAMSIZEF_SOURCE, 0, 0},
    };
    for (const Case& c : cases) {
        HACMSTREAM h = Open(c.src, c.dst);
        EXPECT_EQ(SizeOf(h, c.input, c.flags), c.output)
            << c.src.wFormatTag << " -> " << c.dst.wFormatTag << " input " << c.input;
        acmStreamClose(h, 0);
    }
    // Less than one block converts to nothing.
    HACMSTREAM h = Open(testing::GsmFormat(), kPcm);
    SizeOf(h, 64, ACM_STREAMSIZEF_SOURCE, ACMERR_NOTPOSSIBLE);
    SizeOf(h, 639, ACM_STREAMSIZEF_DESTINATION, ACMERR_NOTPOSSIBLE);
    acmStreamClose(h, 0);
}

TEST(AcmStream, BlockAlignLeavesPartialBlocksUnusedAndCounted) {
    const Bytes signal = testing::ToBytes(testing::TestSignal(500));
    HACMSTREAM h = Open(kPcm, testing::GsmFormat());
    const Piece first =
        ConvertPiece(h, signal, 1000, ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_BLOCKALIGN);
    EXPECT_EQ(first.result, MMSYSERR_NOERROR);
    EXPECT_EQ(first.used, 640u);
    EXPECT_EQ(first.out.size(), 65u);
    // The rest as the last piece: padded to a whole block.
    const Piece last = ConvertPiece(h, Bytes(signal.begin() + 640, signal.end()), 1000, 0);
    EXPECT_EQ(last.used, 360u);
    EXPECT_EQ(last.out.size(), 65u);
    acmStreamClose(h, 0);

    // The pieces join to what one conversion of everything gives.
    Bytes joined = first.out;
    joined.insert(joined.end(), last.out.begin(), last.out.end());
    EXPECT_EQ(joined, testing::Convert(kPcm, testing::GsmFormat(), signal));

    h = Open(testing::ImaFormat(), kPcm);
    const Piece ima = ConvertPiece(h, Bytes(300), 4000, ACM_STREAMCONVERTF_BLOCKALIGN);
    EXPECT_EQ(ima.used, 256u);
    EXPECT_EQ(ima.out.size(), 1010u);
    acmStreamClose(h, 0);

    h = Open(kPcm, testing::MulawFormat());
    const Piece odd = ConvertPiece(h, Bytes(7), 10, ACM_STREAMCONVERTF_BLOCKALIGN);
    EXPECT_EQ(odd.used, 6u);
    EXPECT_EQ(odd.out.size(), 3u);
    acmStreamClose(h, 0);
}

TEST(AcmStream, ShortDestinationTakesOnlyWhatFits) {
    HACMSTREAM h = Open(kPcm, testing::GsmFormat());
    const Piece piece = ConvertPiece(h, testing::ToBytes(testing::TestSignal(1000)), 100, 0);
    EXPECT_EQ(piece.used, 640u);
    EXPECT_EQ(piece.out.size(), 65u);
    acmStreamClose(h, 0);
}

TEST(AcmStream, StartFlagRestartsTheCodec) {
    const Bytes block = testing::ToBytes(testing::TestSignal(320));
    HACMSTREAM h = Open(kPcm, testing::GsmFormat());
    const Piece a = ConvertPiece(h, block, 65, ACM_STREAMCONVERTF_START);
    const Piece b = ConvertPiece(h, block, 65, ACM_STREAMCONVERTF_START);
    EXPECT_EQ(a.out, b.out);
    acmStreamClose(h, 0);
}

TEST(AcmStream, ChainsThroughPcmWhereNoDirectDriverExists) {
    const Bytes signal = testing::ToBytes(testing::TestSignal(3200));
    const Bytes mulaw = testing::Convert(kPcm, testing::MulawFormat(), signal);
    const Bytes viaPcm = testing::Convert(kPcm, testing::GsmFormat(),
                                          testing::Convert(testing::MulawFormat(), kPcm, mulaw));
    EXPECT_EQ(testing::Convert(testing::MulawFormat(), testing::GsmFormat(), mulaw), viaPcm);
    EXPECT_EQ(viaPcm.size(), 650u);

    // IMA blocks (505 samples) and GSM blocks (320) do not line up: the
    // stream keeps the leftover samples for the next piece.
    const Bytes ima = testing::Convert(kPcm, testing::ImaFormat(), signal);
    const Bytes expected = testing::Convert(kPcm, testing::GsmFormat(),
                                            testing::Convert(testing::ImaFormat(), kPcm, ima));
    HACMSTREAM h = Open(testing::ImaFormat(), testing::GsmFormat());
    Bytes pieces;
    for (size_t at = 0; at < ima.size(); at += 512) {
        const bool last = at + 512 >= ima.size();
        const Bytes in(ima.begin() + static_cast<ptrdiff_t>(at),
                       ima.begin() + static_cast<ptrdiff_t>(std::min(ima.size(), at + 512)));
        const Piece piece =
            ConvertPiece(h, in, 4000,
                         (at == 0 ? ACM_STREAMCONVERTF_START : 0) |
                             (last ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN));
        EXPECT_EQ(piece.used, in.size());
        pieces.insert(pieces.end(), piece.out.begin(), piece.out.end());
    }
    acmStreamClose(h, 0);
    EXPECT_EQ(pieces, expected);
}

TEST(AcmStream, PcmDriverChangesSampleSizeAndChannels) {
    WaveFormat pcm8 = kPcm;
    pcm8.wBitsPerSample = 8;
    pcm8.nBlockAlign = 1;
    pcm8.nAvgBytesPerSec = 8000;
    const std::vector<int16_t> wide = {-32768, -1, 0, 255, 256, 32767};
    EXPECT_EQ(testing::Convert(kPcm, pcm8, testing::ToBytes(wide)),
              (Bytes{0, 127, 128, 128, 129, 255}));
    EXPECT_EQ(testing::ToSamples(testing::Convert(pcm8, kPcm, Bytes{0, 128, 255})),
              (std::vector<int16_t>{-32768, 0, 32512}));

    const WaveFormat stereo = Pcm16Format(8000, 2);
    EXPECT_EQ(testing::ToSamples(testing::Convert(kPcm, stereo, testing::ToBytes({5, -7}))),
              (std::vector<int16_t>{5, 5, -7, -7}));
    EXPECT_EQ(testing::ToSamples(
                  testing::Convert(stereo, kPcm, testing::ToBytes({100, 200, -32768, -32768}))),
              (std::vector<int16_t>{150, -32768}));

    // Stereo to mono GSM mixes down on the way.
    const auto mono = testing::TestSignal(320);
    std::vector<int16_t> twice;
    for (int16_t s : mono) {
        twice.push_back(s);
        twice.push_back(s);
    }
    EXPECT_EQ(testing::Convert(stereo, testing::GsmFormat(), testing::ToBytes(twice)),
              testing::Convert(kPcm, testing::GsmFormat(), testing::ToBytes(mono)));

    // The same compressed format on both sides copies whole blocks untouched.
    const Bytes gsm(130, 0x5A);
    EXPECT_EQ(testing::Convert(testing::GsmFormat(), testing::GsmFormat(), gsm), gsm);
}

TEST(AcmStream, ImaDecodesCutOffBlocksAndSurvivesDamagedHeaders) {
    const Bytes encoded =
        testing::Convert(kPcm, testing::ImaFormat(), testing::ToBytes(testing::TestSignal(1010)));
    ASSERT_EQ(encoded.size(), 512u);
    const auto whole = testing::ToSamples(testing::Convert(testing::ImaFormat(), kPcm, encoded));
    const Bytes cut(encoded.begin(), encoded.begin() + 256 + 100);
    const auto partial = testing::ToSamples(testing::Convert(testing::ImaFormat(), kPcm, cut));
    // A second block of 100 bytes: header and 24 whole 4-byte groups.
    ASSERT_EQ(partial.size(), 505u + 1 + 24 * 8);
    EXPECT_TRUE(std::equal(partial.begin(), partial.end(), whole.begin()));

    Bytes damaged = encoded;
    damaged[2] = 200;  // step index beyond the table
    const auto decoded = testing::Convert(testing::ImaFormat(), kPcm, damaged);
    EXPECT_EQ(decoded.size(), 2020u);
}

TEST(AcmStream, ConvertsInPlace) {
    const Bytes signal = testing::ToBytes(testing::TestSignal(400));
    Bytes buffer = signal;
    HACMSTREAM h = Open(kPcm, testing::MulawFormat());
    ACMSTREAMHEADER header;
    header.pbSrc = buffer.data();
    header.cbSrcLength = static_cast<uint32_t>(buffer.size());
    header.pbDst = buffer.data();
    header.cbDstLength = 400;
    ASSERT_EQ(acmStreamPrepareHeader(h, &header, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(acmStreamConvert(h, &header, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(acmStreamUnprepareHeader(h, &header, 0), MMSYSERR_NOERROR);
    acmStreamClose(h, 0);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 400),
              testing::Convert(kPcm, testing::MulawFormat(), signal));
}

TEST(AcmFormatSuggest, FillsCompleteCodecFormats) {
    WaveFormat dst;
    dst.wFormatTag = WAVE_FORMAT_GSM610;
    ASSERT_EQ(acmFormatSuggest(kPcm, &dst, ACM_FORMATSUGGESTF_WFORMATTAG), MMSYSERR_NOERROR);
    EXPECT_EQ(dst, testing::GsmFormat());

    dst = WaveFormat{};
    dst.wFormatTag = WAVE_FORMAT_ADPCM;
    ASSERT_EQ(acmFormatSuggest(kPcm, &dst, ACM_FORMATSUGGESTF_WFORMATTAG), MMSYSERR_NOERROR);
    EXPECT_EQ(dst, testing::ImaFormat());

    dst = WaveFormat{};
    dst.wFormatTag = WAVE_FORMAT_MULAW;
    ASSERT_EQ(acmFormatSuggest(kPcm, &dst, ACM_FORMATSUGGESTF_WFORMATTAG), MMSYSERR_NOERROR);
    EXPECT_EQ(dst, testing::MulawFormat());

    // A stereo source suggests mono GSM; without a tag the suggestion is PCM.
    dst = WaveFormat{};
    dst.wFormatTag = WAVE_FORMAT_GSM610;
    ASSERT_EQ(acmFormatSuggest(Pcm16Format(8000, 2), &dst, ACM_FORMATSUGGESTF_WFORMATTAG),
              MMSYSERR_NOERROR);
    EXPECT_EQ(dst.nChannels, 1);
    ASSERT_EQ(acmFormatSuggest(testing::GsmFormat(), &dst, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(dst, kPcm);

    dst = WaveFormat{};
    dst.wFormatTag = WAVE_FORMAT_DSPGROUP_TRUESPEECH;
    EXPECT_EQ(acmFormatSuggest(kPcm, &dst, ACM_FORMATSUGGESTF_WFORMATTAG), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(dst.wFormatTag, WAVE_FORMAT_DSPGROUP_TRUESPEECH);
    EXPECT_EQ(acmFormatSuggest(kPcm, nullptr, 0), MMSYSERR_INVALPARAM);
}

}  // namespace
}  // namespace sonvel

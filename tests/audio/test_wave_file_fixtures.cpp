// Every broken WAV file kept in tests/data/audio/wav has a fixed answer
// (the same table is in that folder's README.md).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "audio/riff/mmio.h"
#include "audio/riff/wave_file.h"

namespace sonvel {
namespace {

constexpr uint32_t kNoFact = UINT32_MAX;

struct Fixture {
    const char* name;
    MMRESULT result;
    uint32_t dataOffset;
    uint32_t dataSize;
    uint32_t seconds;
    uint32_t factSamples;  // kNoFact: none
};

void PrintTo(const Fixture& fixture, std::ostream* os) {
    *os << fixture.name;
}

const Fixture kFixtures[] = {
    {"ok_recorder_gsm.wav", MMSYSERR_NOERROR, 64, 3250, 2, kNoFact},
    {"ok_pcm_canonical.wav", MMSYSERR_NOERROR, 44, 16000, 1, kNoFact},
    {"ok_data_empty.wav", MMSYSERR_NOERROR, 64, 0, 0, kNoFact},
    {"sox_gsm.wav", MMSYSERR_NOERROR, 60, 3250, 2, 16000},
    {"sox_mulaw.wav", MMSYSERR_NOERROR, 58, 4000, 0, 4000},
    {"empty.wav", MMIOERR_CHUNKNOTFOUND, 0, 0, 0, kNoFact},
    {"not_riff.wav", MMIOERR_CHUNKNOTFOUND, 0, 0, 0, kNoFact},
    {"truncated_riff_header.wav", MMIOERR_CHUNKNOTFOUND, 0, 0, 0, kNoFact},
    {"truncated_in_fmt.wav", MMIOERR_CANNOTREAD, 0, 0, 0, kNoFact},
    {"truncated_in_data.wav", MMSYSERR_NOERROR, 64, 1000, 0, kNoFact},
    {"non_wave_riff.wav", MMIOERR_CHUNKNOTFOUND, 0, 0, 0, kNoFact},
    {"no_fmt.wav", MMIOERR_CHUNKNOTFOUND, 0, 0, 0, kNoFact},
    {"no_data.wav", MMIOERR_CHUNKNOTFOUND, 0, 0, 0, kNoFact},
    {"data_before_fmt.wav", MMSYSERR_NOERROR, 20, 3250, 2, kNoFact},
    {"fmt_short_14.wav", WAVERR_BADFORMAT, 0, 0, 0, kNoFact},
    {"fmt_long_60.wav", MMSYSERR_NOERROR, 96, 3250, 2, kNoFact},
    {"fmt_size_huge.wav", MMIOERR_CHUNKNOTFOUND, 0, 0, 0, kNoFact},
    {"zero_block_align.wav", WAVERR_BADFORMAT, 0, 0, 0, kNoFact},
    {"negative_block_align.wav", WAVERR_BADFORMAT, 0, 0, 0, kNoFact},
    {"zero_avg_bytes.wav", WAVERR_BADFORMAT, 0, 0, 0, kNoFact},
    {"zero_channels.wav", WAVERR_BADFORMAT, 0, 0, 0, kNoFact},
    {"data_size_4gib.wav", MMSYSERR_NOERROR, 64, 3250, 2, kNoFact},
    {"data_size_too_large.wav", MMSYSERR_NOERROR, 64, 3250, 2, kNoFact},
    {"riff_size_larger.wav", MMSYSERR_NOERROR, 64, 3250, 2, kNoFact},
    {"riff_size_smaller.wav", MMSYSERR_NOERROR, 64, 3250, 2, kNoFact},
    {"riff_size_zero.wav", MMSYSERR_NOERROR, 64, 3250, 2, kNoFact},
    {"list_before_data.wav", MMSYSERR_NOERROR, 134, 3250, 2, 16000},
    {"fact_list_before_fmt.wav", MMSYSERR_NOERROR, 96, 3250, 2, 16000},
    {"odd_chunk_padded.wav", MMSYSERR_NOERROR, 70, 3250, 2, kNoFact},
    {"odd_chunk_unpadded.wav", MMIOERR_CHUNKNOTFOUND, 0, 0, 0, kNoFact},
    {"odd_data_padded.wav", MMSYSERR_NOERROR, 56, 3249, 1, kNoFact},
    {"odd_data_unpadded_at_end.wav", MMSYSERR_NOERROR, 56, 3249, 1, kNoFact},
    {"ima_wrong_avg_bytes.wav", MMSYSERR_NOERROR, 60, 15104, 3, 29795},
};

std::string FixturePath(const char* name) {
    return std::string(SONVEL_TEST_DATA_DIR) + "/wav/" + name;
}

// The fixtures' sound bytes follow one pattern, so a read from the wrong
// offset shows.
uint8_t PatternByte(uint32_t index) {
    return static_cast<uint8_t>((index * 37) & 0xFF);
}

class WaveFixture : public testing::TestWithParam<Fixture> {};

TEST_P(WaveFixture, GivesItsDocumentedResult) {
    const Fixture& fixture = GetParam();
    const std::string path = FixturePath(fixture.name);
    ASSERT_TRUE(std::filesystem::exists(path)) << path;

    WaveFileInfo info;
    HMMIO file = nullptr;
    const MMRESULT rc = OpenWaveFile(path.c_str(), &file, &info);
    ASSERT_EQ(rc, fixture.result);
    if (rc != MMSYSERR_NOERROR) {
        EXPECT_EQ(file, nullptr);
        return;
    }
    EXPECT_EQ(info.dataOffset, fixture.dataOffset);
    EXPECT_EQ(info.dataSize, fixture.dataSize);
    EXPECT_EQ(info.secondsLength, fixture.seconds);
    EXPECT_EQ(info.hasFactSamples, fixture.factSamples != kNoFact);
    if (fixture.factSamples != kNoFact) {
        EXPECT_EQ(info.factSamples, fixture.factSamples);
    }
    EXPECT_LE(uint64_t{info.dataOffset} + info.dataSize, std::filesystem::file_size(path));

    // The handle is left at the first sound byte and the whole data reads.
    EXPECT_EQ(mmioSeek(file, 0, SEEK_CUR), int64_t{info.dataOffset});
    std::vector<uint8_t> sound(info.dataSize + 1);
    EXPECT_EQ(mmioRead(file, sound.data(), static_cast<int32_t>(info.dataSize)),
              static_cast<int32_t>(info.dataSize));
    if (std::string(fixture.name).rfind("sox_", 0) != 0 &&
        std::string(fixture.name) != "ok_pcm_canonical.wav") {
        for (uint32_t i = 0; i < info.dataSize; ++i) {
            ASSERT_EQ(sound[i], PatternByte(i)) << "at " << i;
        }
    }
    EXPECT_EQ(mmioClose(file), MMSYSERR_NOERROR);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, WaveFixture, testing::ValuesIn(kFixtures),
                         [](const testing::TestParamInfo<Fixture>& param) {
                             std::string name = param.param.name;
                             name = name.substr(0, name.size() - 4);
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

TEST(WaveFixtures, EveryFileInTheFolderHasAnEntry) {
    std::set<std::string> listed;
    for (const Fixture& fixture : kFixtures) {
        listed.insert(fixture.name);
    }
    for (const auto& entry : std::filesystem::directory_iterator(FixturePath(""))) {
        if (entry.path().extension() == ".wav") {
            EXPECT_TRUE(listed.contains(entry.path().filename().string()))
                << entry.path() << " has no expected result";
        }
    }
}

TEST(WaveFixtures, FormatIsTheFirst28BytesOfTheChunk) {
    WaveFileInfo recorder;
    WaveFileInfo longFormat;
    ASSERT_EQ(GetWaveFileInfo(FixturePath("ok_recorder_gsm.wav").c_str(), &recorder), 0);
    ASSERT_EQ(GetWaveFileInfo(FixturePath("fmt_long_60.wav").c_str(), &longFormat), 0);
    EXPECT_EQ(longFormat.formatChunkSize, 60U);
    EXPECT_EQ(longFormat.format, recorder.format);
    EXPECT_EQ(recorder.format.wFormatTag, WAVE_FORMAT_GSM610);
    EXPECT_EQ(recorder.format.nAvgBytesPerSec, 1625);
    EXPECT_EQ(recorder.format.nBlockAlign, 65);
    EXPECT_EQ(recorder.format.cbSize, 2);
    EXPECT_EQ(recorder.format.xBytes[0], 0x40);
    EXPECT_EQ(recorder.format.xBytes[1], 0x01);

    // A 16-byte chunk leaves cbSize and the extra bytes zero.
    WaveFileInfo pcm;
    ASSERT_EQ(GetWaveFileInfo(FixturePath("ok_pcm_canonical.wav").c_str(), &pcm), 0);
    EXPECT_EQ(pcm.format, Pcm16Format(8000, 1));
}

TEST(WaveFixtures, StreamedSizeClaimIsKeptApartFromTheUsableSize) {
    WaveFileInfo info;
    ASSERT_EQ(GetWaveFileInfo(FixturePath("data_size_4gib.wav").c_str(), &info), 0);
    EXPECT_EQ(info.dataSizeStored, 0xFFFFFFFFU);
    EXPECT_EQ(info.dataSize, 3250U);
}

TEST(WaveFixtures, OpenFailuresAndMisuse) {
    WaveFileInfo info;
    info.dataSize = 99;
    HMMIO file = reinterpret_cast<HMMIO>(uintptr_t{1});
    EXPECT_EQ(OpenWaveFile(FixturePath("missing.wav").c_str(), &file, &info), MMIOERR_FILENOTFOUND);
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(info.dataSize, 0U);
    EXPECT_EQ(GetWaveFileInfo(FixturePath("").c_str(), &info), MMIOERR_INVALIDFILE);
    EXPECT_EQ(GetWaveFileInfo(nullptr, &info), MMSYSERR_INVALPARAM);
    EXPECT_EQ(GetWaveFileInfo(FixturePath("ok_recorder_gsm.wav").c_str(), nullptr),
              MMSYSERR_INVALPARAM);
    EXPECT_EQ(ReadWaveHeader(nullptr, &info), MMSYSERR_INVALHANDLE);
}

}  // namespace
}  // namespace sonvel

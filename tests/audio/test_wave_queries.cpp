// The Wave control's format, device and file queries, on the virtual
// devices, the compression manager and the WAV fixtures.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/devices/virtual_devices.h"
#include "audio/host/event_loop_window.h"
#include "audio/wave/wave.h"
#include "tests/audio/audio_test_support.h"

namespace sonvel {
namespace {

// Only the virtual devices, whatever the machine has.
const bool kNoAlsa = setenv("SONVEL_NO_ALSA", "1", 1) == 0;

// The recorder's record formats.
const WaveFormat kPcm = Pcm16Format(8000, 1);
const WaveFormat kMulaw = test_support::MulawFormat();
const WaveFormat kTrueSpeech = test_support::TrueSpeechFormat();
const WaveFormat kGsm = test_support::GsmFormat();
const WaveFormat kIma = test_support::ImaFormat();

class WaveQueries : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(kNoAlsa);
        ASSERT_FALSE(wave_.InitC());
    }
    void TearDown() override { EXPECT_FALSE(wave_.UnInitC()); }

    int32_t Check(int32_t device, INOUT direction, WaveFormat format) {
        const WaveFormat before = format;
        const int32_t rc = wave_.CheckDeviceFormat(device, direction, format);
        EXPECT_EQ(format, before) << "a query must not change the format";
        return rc;
    }
    int32_t Acm(WaveFormat src, WaveFormat dst) { return wave_.ACMCheck(src, dst); }

    EventLoopWindow window_;
    Wave wave_{&window_};
};

TEST_F(WaveQueries, CheckDeviceFormatAsksTheDeviceOfTheDirection) {
    const int32_t out = WaveOutDeviceNumber(kSilentOutputId);
    const int32_t in = WaveInDeviceNumber(kSilenceInputId);
    ASSERT_GE(out, 0);
    ASSERT_GE(in, 0);
    EXPECT_EQ(Check(out, WAVEOUT, kPcm), 0);
    EXPECT_EQ(Check(in, WAVEIN, kPcm), 0);
    EXPECT_EQ(Check(WAVE_MAPPER, WAVEIN, kPcm), 0);
    // Devices take PCM only; the mapper plays what it can convert.
    EXPECT_EQ(Check(in, WAVEIN, kGsm), WAVERR_BADFORMAT);
    EXPECT_EQ(Check(out, WAVEOUT, kMulaw), WAVERR_BADFORMAT);
    EXPECT_EQ(Check(WAVE_MAPPER, WAVEOUT, kGsm), 0);
    EXPECT_EQ(Check(WAVE_MAPPER, WAVEOUT, kMulaw), 0);
    EXPECT_EQ(Check(WAVE_MAPPER, WAVEOUT, kIma), 0);
    EXPECT_EQ(Check(WAVE_MAPPER, WAVEOUT, kTrueSpeech), WAVERR_BADFORMAT);
    // Anything that is not WAVEIN asks the output side.
    EXPECT_EQ(Check(WAVE_MAPPER, static_cast<INOUT>(0), kGsm), 0);
    EXPECT_EQ(Check(WAVE_MAPPER, WAVEIN, kGsm), WAVERR_BADFORMAT);
    EXPECT_EQ(Check(1000, WAVEIN, kPcm), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(Check(1000, WAVEOUT, kPcm), MMSYSERR_BADDEVICEID);
}

TEST_F(WaveQueries, AcmCheckAnswersForEveryRecordFormat) {
    EXPECT_EQ(Acm(kPcm, kPcm), 0);
    EXPECT_EQ(Acm(kPcm, kGsm), 0);
    EXPECT_EQ(Acm(kPcm, kMulaw), 0);
    EXPECT_EQ(Acm(kPcm, kIma), 0);
    EXPECT_EQ(Acm(kGsm, kPcm), 0);
    EXPECT_EQ(Acm(kIma, kMulaw), 0);
    EXPECT_EQ(Acm(kPcm, kTrueSpeech), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(Acm(kTrueSpeech, kPcm), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(Acm(kPcm, Pcm16Format(44100, 1)), ACMERR_NOTPOSSIBLE);  // no rate change
}

TEST_F(WaveQueries, AcmOpenAndCloseManageTheirSlot) {
    HACMSTREAM slot = nullptr;
    ASSERT_EQ(wave_.ACMOpen(slot, kPcm, kGsm), 0);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(wave_.ACMClose(slot), 0);
    EXPECT_EQ(slot, nullptr);
    // Nothing left to close: the close's code.
    EXPECT_EQ(wave_.ACMClose(slot), MMSYSERR_INVALHANDLE);

    HACMSTREAM refused = nullptr;
    EXPECT_EQ(wave_.ACMOpen(refused, kPcm, kTrueSpeech), ACMERR_NOTPOSSIBLE);
}

TEST_F(WaveQueries, DeviceDetailsDescribeTheOutputsThatAreCounted) {
    const int32_t count = wave_.NumOfWaveDevices();
    const int32_t silent = WaveOutDeviceNumber(kSilentOutputId);
    ASSERT_GE(silent, 0);
    ASSERT_LT(silent, count);
    for (int32_t device = 0; device < count; ++device) {
        WaveDeviceDetails details;
        EXPECT_EQ(wave_.GetDetailsDevice(device, details), 0) << device;
        EXPECT_FALSE(details.DeviceName.empty()) << device;
    }
    WaveDeviceDetails details;
    ASSERT_EQ(wave_.GetDetailsDevice(silent, details), 0);
    EXPECT_EQ(details.DeviceName, "Sonvel Silent Output");
    EXPECT_EQ(details.DeviceDriver, "256");
    EXPECT_EQ(details.DeviceChannels, 2);
    EXPECT_NE(details.DeviceFormat & static_cast<int32_t>(WAVE_FORMAT_1M16), 0);

    // Past the end: the code, and the record filled from empty capabilities.
    EXPECT_EQ(wave_.GetDetailsDevice(count, details), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(details.DeviceName, "");
    EXPECT_EQ(details.DeviceDriver, "0");
    EXPECT_EQ(details.DeviceChannels, 0);
    EXPECT_EQ(details.DeviceFormat, 0);
}

// ---- GetDetailsWaveFile ----

std::string Fixture(const std::string& name) {
    return std::string(SONVEL_TEST_DATA_DIR) + "/wav/" + name;
}

class WaveFileDetailsTest : public WaveQueries {
  protected:
    void SetUp() override {
        WaveQueries::SetUp();
        char pattern[] = "/tmp/wave_details_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::filesystem::remove_all(dir_);
        WaveQueries::TearDown();
    }

    // A GSM 6.10 file in the recorder's layout with `dataBytes` of sound.
    std::string WriteGsm(const std::string& name, uint32_t dataBytes) {
        std::vector<uint8_t> bytes;
        auto put32 = [&](uint32_t v) {
            for (int i = 0; i < 4; ++i)
                bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
        };
        auto tag = [&](const char* t) { bytes.insert(bytes.end(), t, t + 4); };
        tag("RIFF");
        put32(4 + 8 + 20 + 8 + dataBytes + (dataBytes & 1));
        tag("WAVE");
        tag("fmt ");
        put32(20);
        const auto* format = reinterpret_cast<const uint8_t*>(&kGsm);
        bytes.insert(bytes.end(), format, format + 20);
        tag("data");
        put32(dataBytes);
        bytes.resize(bytes.size() + dataBytes + (dataBytes & 1), 0x11);
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    std::string dir_;
};

TEST_F(WaveFileDetailsTest, GoodFilesFillFormatNameFolderAndLength) {
    WaveFileDetails details;
    ASSERT_EQ(wave_.GetDetailsWaveFile(Fixture("ok_recorder_gsm.wav"), details), 0);
    EXPECT_EQ(details.wFormatTag, 49);
    EXPECT_EQ(details.nChannels, 1);
    EXPECT_EQ(details.nSamplesPerSec, 8000);
    EXPECT_EQ(details.nAvgBytesPerSec, 1625);
    EXPECT_EQ(details.nBlockAlign, 65);
    EXPECT_EQ(details.wBitsPerSample, 0);
    EXPECT_EQ(details.cbSize, 2);
    EXPECT_EQ(details.FileName, "ok_recorder_gsm.wav");
    EXPECT_EQ(details.FilePath, std::string(SONVEL_TEST_DATA_DIR) + "/wav/");
    EXPECT_EQ(details.SecondsLength, 2);

    ASSERT_EQ(wave_.GetDetailsWaveFile(Fixture("ok_pcm_canonical.wav"), details), 0);
    EXPECT_EQ(details.wFormatTag, 1);
    EXPECT_EQ(details.wBitsPerSample, 16);
    EXPECT_EQ(details.FileName, "ok_pcm_canonical.wav");
    EXPECT_EQ(details.SecondsLength, 1);

    ASSERT_EQ(wave_.GetDetailsWaveFile(Fixture("sox_mulaw.wav"), details), 0);
    EXPECT_EQ(details.wFormatTag, 7);
    EXPECT_EQ(details.SecondsLength, 0);

    // A data size larger than the file counts only what is there.
    ASSERT_EQ(wave_.GetDetailsWaveFile(Fixture("data_size_4gib.wav"), details), 0);
    EXPECT_EQ(details.SecondsLength, 2);

    // Block codecs are timed by their blocks, whatever nAvgBytesPerSec claims.
    ASSERT_EQ(wave_.GetDetailsWaveFile(Fixture("ima_wrong_avg_bytes.wav"), details), 0);
    EXPECT_EQ(details.nAvgBytesPerSec, 16000);
    EXPECT_EQ(details.SecondsLength, 3);
}

TEST_F(WaveFileDetailsTest, SecondsAreWholeSecondsOfData) {
    WaveFileDetails details;
    ASSERT_EQ(wave_.GetDetailsWaveFile(WriteGsm("ten.wav", 10 * 1625), details), 0);
    EXPECT_EQ(details.SecondsLength, 10);
    ASSERT_EQ(wave_.GetDetailsWaveFile(WriteGsm("nine.wav", 10 * 1625 - 1), details), 0);
    EXPECT_EQ(details.SecondsLength, 9);
}

TEST_F(WaveFileDetailsTest, ABareNameHasNoFolder) {
    const std::string path = WriteGsm("bare.wav", 1625);
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    WaveFileDetails details;
    details.FilePath = "stale/";
    const int32_t rc = wave_.GetDetailsWaveFile("bare.wav", details);
    std::filesystem::current_path(previous);
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(details.FileName, "bare.wav");
    EXPECT_EQ(details.FilePath, "");
}

TEST_F(WaveFileDetailsTest, FailuresReturnTheirCodeAndLeaveTheRecordAlone) {
    const struct {
        std::string path;
        int32_t code;
    } cases[] = {
        {"", 0},
        {Fixture("does_not_exist.wav"), -101},
        {dir_, -101},  // a folder is not a file
        {Fixture("empty.wav"), MMIOERR_CHUNKNOTFOUND},
        {Fixture("not_riff.wav"), MMIOERR_CHUNKNOTFOUND},
        {Fixture("no_data.wav"), MMIOERR_CHUNKNOTFOUND},
        {Fixture("truncated_in_fmt.wav"), -1},
        {Fixture("fmt_short_14.wav"), WAVERR_BADFORMAT},
        {Fixture("zero_avg_bytes.wav"), WAVERR_BADFORMAT},
        {Fixture("zero_channels.wav"), WAVERR_BADFORMAT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        WaveFileDetails details;
        details.FileName = "before";
        details.SecondsLength = 77;
        details.wFormatTag = 5;
        EXPECT_EQ(wave_.GetDetailsWaveFile(c.path, details), c.code);
        EXPECT_EQ(details.FileName, "before");
        EXPECT_EQ(details.SecondsLength, 77);
        EXPECT_EQ(details.wFormatTag, 5);
    }
    // The query keeps no file open: the folder can go.
    WriteGsm("gone.wav", 100);
    WaveFileDetails details;
    EXPECT_EQ(wave_.GetDetailsWaveFile(dir_ + "/gone.wav", details), 0);
    EXPECT_TRUE(std::filesystem::remove(dir_ + "/gone.wav"));
}

}  // namespace
}  // namespace sonvel

// A registered backend's device ahead of the virtual ones, and the wave
// mapper's conversion of compressed output to PCM.
#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "audio/acm/acm.h"
#include "audio/devices/device_backend.h"
#include "audio/devices/device_clock.h"
#include "audio/devices/virtual_devices.h"
#include "audio/devices/wave_device.h"
#include "audio/host/event_loop_window.h"
#include "tests/audio/capture_output.h"

namespace sonvel {
namespace {

class MapperTest : public ::testing::Test {
  protected:
    void SetUp() override { RegisterDeviceBackend(backend_); }
    void TearDown() override {
        if (handle_ != 0) {
            waveOutReset(handle_);
            EXPECT_EQ(waveOutClose(handle_), 0);
        }
        UnregisterDeviceBackend(backend_);
    }

    void Play(const WaveFormat& format, int32_t device, uint32_t flags,
              std::vector<uint8_t> bytes) {
        data_ = std::move(bytes);
        header_.lpData = data_.data();
        header_.dwBufferLength = static_cast<uint32_t>(data_.size());
        ASSERT_EQ(waveOutOpen(&handle_, device, format, &window_, CALLBACK_WINDOW | flags), 0);
        ASSERT_EQ(waveOutPrepareHeader(handle_, &header_), 0);
        ASSERT_EQ(waveOutWrite(handle_, &header_), 0);
        clock_->Advance(std::chrono::seconds(10));
        window_.Pump();
        EXPECT_NE(header_.dwFlags & WHDR_DONE, 0u);
    }

    std::shared_ptr<test_support::CaptureOutput> backend_ =
        std::make_shared<test_support::CaptureOutput>();
    std::shared_ptr<ManualClock> clock_ = std::make_shared<ManualClock>();
    ScopedDeviceClock scoped_clock_{clock_};
    EventLoopWindow window_;
    WAVEHDR header_;
    std::vector<uint8_t> data_;
    HWAVEOUT handle_ = 0;
};

WaveFormat Compressed(int16_t tag) {
    WaveFormat format;
    format.wFormatTag = tag;
    format.nChannels = 1;
    format.nSamplesPerSec = 8000;
    format.wBitsPerSample = tag == WAVE_FORMAT_GSM610 ? int16_t{0} : int16_t{8};
    EXPECT_EQ(acmFormatSuggest(Pcm16Format(8000, 1), &format, ACM_FORMATSUGGESTF_WFORMATTAG), 0);
    return format;
}

TEST_F(MapperTest, RegisteredDevicesComeFirstAndGiveTheDefault) {
    EXPECT_EQ(WaveOutDeviceNumber(kSilentOutputId), 1);
    WAVEOUTCAPS caps;
    ASSERT_EQ(waveOutGetDevCaps(0, &caps), 0);
    EXPECT_STREQ(caps.szPname, "Capture output");
    ASSERT_EQ(waveOutGetDevCaps(WAVE_MAPPER, &caps), 0);
    EXPECT_STREQ(caps.szPname, "Capture output");
    // No input device of its own: the virtual default input still answers.
    EXPECT_EQ(waveInOpen(nullptr, WAVE_MAPPER, Pcm16Format(8000, 1), nullptr, WAVE_FORMAT_QUERY),
              0);
}

TEST_F(MapperTest, MuLawThroughTheMapperReachesTheDeviceAsPcm) {
    const WaveFormat mulaw = Compressed(WAVE_FORMAT_MULAW);
    Play(mulaw, WAVE_MAPPER, 0, {0xFF, 0x80, 0x00, 0x7F});
    EXPECT_EQ(backend_->Opened(), Pcm16Format(8000, 1));
    EXPECT_EQ(backend_->Samples(), (std::vector<int16_t>{0, 32124, -32124, 0}));
    MMTIME time;
    time.wType = TIME_SAMPLES;
    ASSERT_EQ(waveOutGetPosition(handle_, &time), 0);
    EXPECT_EQ(time.value, 4u);
}

TEST_F(MapperTest, GsmIsDecodedInWholeBlocksAndPositionsCountSamples) {
    const WaveFormat gsm = Compressed(WAVE_FORMAT_GSM610);
    ASSERT_EQ(gsm.nBlockAlign, 65);
    Play(gsm, 0, WAVE_MAPPED, std::vector<uint8_t>(2 * 65 + 10, 0));
    EXPECT_EQ(backend_->Samples().size(), 640u);  // the part block waits for its rest
    MMTIME time;
    time.wType = TIME_SAMPLES;
    ASSERT_EQ(waveOutGetPosition(handle_, &time), 0);
    EXPECT_EQ(time.value, 140u * 8000u / 1625u);
}

TEST_F(MapperTest, WithoutTheMapperCompressedFormatsAreRefused) {
    const WaveFormat mulaw = Compressed(WAVE_FORMAT_MULAW);
    EXPECT_EQ(waveOutOpen(nullptr, 0, mulaw, nullptr, WAVE_FORMAT_QUERY), WAVERR_BADFORMAT);
    EXPECT_EQ(
        waveOutOpen(nullptr, WAVE_MAPPER, mulaw, nullptr, WAVE_FORMAT_QUERY | WAVE_FORMAT_DIRECT),
        WAVERR_BADFORMAT);
    EXPECT_EQ(waveOutOpen(nullptr, WAVE_MAPPER, mulaw, nullptr, WAVE_FORMAT_QUERY), 0);
    WaveFormat truespeech = mulaw;
    truespeech.wFormatTag = WAVE_FORMAT_DSPGROUP_TRUESPEECH;
    truespeech.nBlockAlign = 32;
    truespeech.nAvgBytesPerSec = 1067;
    EXPECT_EQ(waveOutOpen(nullptr, WAVE_MAPPER, truespeech, nullptr, WAVE_FORMAT_QUERY),
              WAVERR_BADFORMAT);
}

}  // namespace
}  // namespace sonvel

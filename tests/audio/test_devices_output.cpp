// Wave output devices on the manual clock: pacing, pause, reset, position,
// close and misuse; one check on the real-time clock.
#include <gtest/gtest.h>

#include <array>
#include <thread>
#include <vector>

#include "audio/devices/device_clock.h"
#include "audio/devices/virtual_devices.h"
#include "audio/devices/wave_device.h"
#include "audio/host/event_loop_window.h"

namespace sonvel {
namespace {

using std::chrono::milliseconds;

constexpr WaveFormat kFormat = Pcm16Format(8000, 1);  // 16000 bytes a second
constexpr uint32_t kBufferBytes = 800;                // 50 ms

struct Log : MessageClient {
    std::vector<Notification> seen;
    std::vector<std::thread::id> threads;
    int32_t WindowProc(const Notification& notification) override {
        seen.push_back(notification);
        threads.push_back(std::this_thread::get_id());
        return 0;
    }
    std::vector<WAVEHDR*> Headers(uint32_t message) const {
        std::vector<WAVEHDR*> out;
        for (const Notification& n : seen) {
            if (n.message == message) {
                out.push_back(n.header);
            }
        }
        return out;
    }
};

class OutputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (uint32_t message : {MM_WOM_OPEN, MM_WOM_DONE, MM_WOM_CLOSE}) {
            ASSERT_EQ(window_.AttachMessage(&log_, message), 0);
        }
        for (size_t i = 0; i < headers_.size(); ++i) {
            data_[i].assign(kBufferBytes, static_cast<uint8_t>(i));
            headers_[i].lpData = data_[i].data();
            headers_[i].dwBufferLength = kBufferBytes;
        }
    }

    void TearDown() override {
        if (handle_ != 0) {
            waveOutReset(handle_);
            EXPECT_EQ(waveOutClose(handle_), MMSYSERR_NOERROR);
        }
    }

    void OpenAndQueueAll() {
        ASSERT_EQ(waveOutOpen(&handle_, WaveOutDeviceNumber(kSilentOutputId), kFormat, &window_,
                              CALLBACK_WINDOW),
                  MMSYSERR_NOERROR);
        for (WAVEHDR& header : headers_) {
            ASSERT_EQ(waveOutPrepareHeader(handle_, &header), MMSYSERR_NOERROR);
            ASSERT_EQ(waveOutWrite(handle_, &header), MMSYSERR_NOERROR);
        }
    }

    void Advance(milliseconds step) {
        clock_->Advance(step);
        window_.Pump();
    }

    uint32_t Position(uint32_t type) {
        MMTIME time;
        time.wType = type;
        EXPECT_EQ(waveOutGetPosition(handle_, &time), MMSYSERR_NOERROR);
        EXPECT_EQ(time.wType, type);
        return time.value;
    }

    std::shared_ptr<ManualClock> clock_ = std::make_shared<ManualClock>();
    ScopedDeviceClock scoped_clock_{clock_};
    EventLoopWindow window_;
    Log log_;
    std::array<WAVEHDR, 3> headers_{};
    std::array<std::vector<uint8_t>, 3> data_;
    HWAVEOUT handle_ = 0;
};

TEST_F(OutputTest, BuffersComeBackInOrderAfterTheirDuration) {
    OpenAndQueueAll();
    Advance(milliseconds(49));
    EXPECT_TRUE(log_.Headers(MM_WOM_DONE).empty());
    EXPECT_NE(headers_[0].dwFlags & WHDR_PREPARED, 0u);

    Advance(milliseconds(1));
    ASSERT_EQ(log_.Headers(MM_WOM_DONE), std::vector<WAVEHDR*>{&headers_[0]});
    EXPECT_EQ(headers_[0].dwFlags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);

    Advance(milliseconds(100));
    EXPECT_EQ(log_.Headers(MM_WOM_DONE),
              (std::vector<WAVEHDR*>{&headers_[0], &headers_[1], &headers_[2]}));
    for (const Notification& n : log_.seen) {
        EXPECT_EQ(n.device, handle_);
    }
    for (std::thread::id id : log_.threads) {
        EXPECT_EQ(id, std::this_thread::get_id());
    }
    EXPECT_EQ(log_.seen.front().message, MM_WOM_OPEN);
}

TEST_F(OutputTest, PositionCountsPlayedBytesSamplesAndMilliseconds) {
    OpenAndQueueAll();
    Advance(milliseconds(25));
    EXPECT_EQ(Position(TIME_BYTES), 400u);
    EXPECT_EQ(Position(TIME_SAMPLES), 200u);
    EXPECT_EQ(Position(TIME_MS), 25u);
    Advance(milliseconds(500));  // far past the end: stops at what was written
    EXPECT_EQ(Position(TIME_BYTES), 3 * kBufferBytes);

    MMTIME smpte;
    smpte.wType = 0x08;
    ASSERT_EQ(waveOutGetPosition(handle_, &smpte), MMSYSERR_NOERROR);
    EXPECT_EQ(smpte.wType, TIME_BYTES);
    EXPECT_EQ(smpte.value, 3 * kBufferBytes);
}

TEST_F(OutputTest, PauseStopsConsumptionAndRestartResumesWhereItStopped) {
    OpenAndQueueAll();
    Advance(milliseconds(25));
    ASSERT_EQ(waveOutPause(handle_), MMSYSERR_NOERROR);
    Advance(milliseconds(10000));
    EXPECT_TRUE(log_.Headers(MM_WOM_DONE).empty());
    EXPECT_EQ(Position(TIME_BYTES), 400u);

    ASSERT_EQ(waveOutRestart(handle_), MMSYSERR_NOERROR);
    Advance(milliseconds(24));
    EXPECT_TRUE(log_.Headers(MM_WOM_DONE).empty());
    Advance(milliseconds(1));
    EXPECT_EQ(log_.Headers(MM_WOM_DONE).size(), 1u);
}

TEST_F(OutputTest, AnUnderRunStartsTheNextBufferWhenItIsWritten) {
    OpenAndQueueAll();
    Advance(milliseconds(1000));
    ASSERT_EQ(log_.Headers(MM_WOM_DONE).size(), 3u);
    ASSERT_EQ(waveOutWrite(handle_, &headers_[0]), MMSYSERR_NOERROR);
    Advance(milliseconds(49));
    EXPECT_EQ(log_.Headers(MM_WOM_DONE).size(), 3u);
    Advance(milliseconds(1));
    EXPECT_EQ(log_.Headers(MM_WOM_DONE).size(), 4u);
}

TEST_F(OutputTest, ResetReturnsEveryQueuedBufferAndCloseWaitsForIt) {
    OpenAndQueueAll();
    Advance(milliseconds(60));
    ASSERT_EQ(log_.Headers(MM_WOM_DONE).size(), 1u);
    EXPECT_EQ(waveOutClose(handle_), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutUnprepareHeader(handle_, &headers_[1]), WAVERR_STILLPLAYING);

    ASSERT_EQ(waveOutReset(handle_), MMSYSERR_NOERROR);
    window_.Pump();
    EXPECT_EQ(log_.Headers(MM_WOM_DONE),
              (std::vector<WAVEHDR*>{&headers_[0], &headers_[1], &headers_[2]}));
    for (const WAVEHDR& header : headers_) {
        EXPECT_EQ(header.dwFlags, WHDR_DONE | WHDR_PREPARED);
        EXPECT_EQ(waveOutUnprepareHeader(handle_, const_cast<WAVEHDR*>(&header)), 0);
    }
    EXPECT_EQ(Position(TIME_BYTES), 0u);

    ASSERT_EQ(waveOutClose(handle_), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(handle_), MMSYSERR_INVALHANDLE);
    window_.Pump();
    EXPECT_EQ(log_.seen.back().message, MM_WOM_CLOSE);
    EXPECT_EQ(log_.seen.back().device, handle_);
    handle_ = 0;
}

TEST_F(OutputTest, AHostThatDoesNotPumpGetsEveryBufferInOrderLater) {
    OpenAndQueueAll();
    clock_->Advance(std::chrono::minutes(10));
    EXPECT_TRUE(log_.seen.empty());
    window_.Pump();
    EXPECT_EQ(log_.Headers(MM_WOM_DONE),
              (std::vector<WAVEHDR*>{&headers_[0], &headers_[1], &headers_[2]}));
}

TEST_F(OutputTest, AMinuteOfRotatingBuffersPlaysInMilliseconds) {
    // The playback pipeline's shape: every returned buffer is written again.
    struct Rewriter : MessageClient {
        HWAVEOUT handle = 0;
        std::vector<WAVEHDR*> order;
        int32_t WindowProc(const Notification& n) override {
            order.push_back(n.header);
            waveOutWrite(handle, n.header);
            return 0;
        }
    } rewriter;
    ASSERT_EQ(window_.AttachMessage(&rewriter, MM_WOM_DONE), 0);
    OpenAndQueueAll();
    rewriter.handle = handle_;
    for (int step = 0; step < 1200; ++step) {
        Advance(milliseconds(50));
    }
    ASSERT_EQ(rewriter.order.size(), 1200u);
    for (size_t i = 0; i < rewriter.order.size(); ++i) {
        ASSERT_EQ(rewriter.order[i], &headers_[i % 3]) << i;
    }
    EXPECT_EQ(Position(TIME_SAMPLES), 60u * 8000u);
    window_.DetachMessage(&rewriter, MM_WOM_DONE);
}

TEST_F(OutputTest, MisuseReturnsCodes) {
    HWAVEOUT other = 0;
    const int32_t silent = WaveOutDeviceNumber(kSilentOutputId);
    EXPECT_EQ(waveOutOpen(&other, static_cast<int32_t>(waveOutGetNumDevs()), kFormat, &window_,
                          CALLBACK_WINDOW),
              MMSYSERR_BADDEVICEID);
    EXPECT_EQ(waveOutOpen(&other, -2, kFormat, &window_, CALLBACK_WINDOW), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(waveOutOpen(&other, silent, kFormat, nullptr, CALLBACK_WINDOW), MMSYSERR_INVALPARAM);
    EXPECT_EQ(waveOutOpen(&other, silent, kFormat, &window_, 0x80000000u), MMSYSERR_INVALFLAG);
    WaveFormat broken = kFormat;
    broken.nBlockAlign = 3;
    EXPECT_EQ(waveOutOpen(&other, silent, broken, &window_, CALLBACK_WINDOW), WAVERR_BADFORMAT);
    EXPECT_EQ(other, 0u);

    // A query answers without opening anything.
    EXPECT_EQ(waveOutOpen(nullptr, WAVE_MAPPER, kFormat, nullptr, WAVE_FORMAT_QUERY), 0);
    EXPECT_EQ(waveOutOpen(nullptr, WAVE_MAPPER, broken, nullptr, WAVE_FORMAT_QUERY),
              WAVERR_BADFORMAT);
    window_.Pump();
    EXPECT_TRUE(log_.seen.empty());

    WAVEHDR header = headers_[0];
    EXPECT_EQ(waveOutWrite(12345, &header), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutPause(0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutGetPosition(0, nullptr), MMSYSERR_INVALHANDLE);

    ASSERT_EQ(waveOutOpen(&handle_, WAVE_MAPPER, kFormat, &window_, CALLBACK_WINDOW), 0);
    EXPECT_EQ(waveOutWrite(handle_, &header), WAVERR_UNPREPARED);
    EXPECT_EQ(waveOutWrite(handle_, nullptr), MMSYSERR_INVALPARAM);
    EXPECT_EQ(waveOutPrepareHeader(handle_, nullptr), MMSYSERR_INVALPARAM);
    WAVEHDR no_data;
    no_data.dwBufferLength = 10;
    EXPECT_EQ(waveOutPrepareHeader(handle_, &no_data), MMSYSERR_INVALPARAM);
    EXPECT_EQ(waveOutGetPosition(handle_, nullptr), MMSYSERR_INVALPARAM);
    ASSERT_EQ(waveOutPrepareHeader(handle_, &header), 0);
    ASSERT_EQ(waveOutWrite(handle_, &header), 0);
    EXPECT_EQ(waveOutWrite(handle_, &header), WAVERR_STILLPLAYING);
    // An output handle is no input handle.
    EXPECT_EQ(waveInStart(handle_), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveInClose(handle_), MMSYSERR_INVALHANDLE);
    // The header lives on this function's stack: the device must be done
    // with it before the function returns.
    EXPECT_EQ(waveOutReset(handle_), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutUnprepareHeader(handle_, &header), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(handle_), MMSYSERR_NOERROR);
    handle_ = 0;
}

TEST_F(OutputTest, CapsDescribeTheSilentOutput) {
    WAVEOUTCAPS caps;
    ASSERT_EQ(waveOutGetDevCaps(WaveOutDeviceNumber(kSilentOutputId), &caps), 0);
    EXPECT_STREQ(caps.szPname, "Sonvel Silent Output");
    EXPECT_EQ(caps.wChannels, 2);
    EXPECT_NE(caps.dwFormats & WAVE_FORMAT_1M16, 0u);
    EXPECT_NE(caps.dwFormats & WAVE_FORMAT_4S16, 0u);
    EXPECT_EQ(waveOutGetDevCaps(WAVE_MAPPER, &caps), 0);
    EXPECT_EQ(waveOutGetDevCaps(static_cast<int32_t>(waveOutGetNumDevs()), &caps),
              MMSYSERR_BADDEVICEID);
    EXPECT_EQ(waveOutGetDevCaps(0, nullptr), MMSYSERR_INVALPARAM);
}

TEST(OutputRealTime, ASilentOutputEventuallyReturnsItsBuffer) {
    EventLoopWindow window;
    Log log;
    ASSERT_EQ(window.AttachMessage(&log, MM_WOM_DONE), 0);
    std::vector<uint8_t> data(160);  // 10 ms
    WAVEHDR header;
    header.lpData = data.data();
    header.dwBufferLength = static_cast<uint32_t>(data.size());
    HWAVEOUT handle = 0;
    ASSERT_EQ(waveOutOpen(&handle, WaveOutDeviceNumber(kSilentOutputId), kFormat, &window,
                          CALLBACK_WINDOW),
              0);
    ASSERT_EQ(waveOutPrepareHeader(handle, &header), 0);
    ASSERT_EQ(waveOutWrite(handle, &header), 0);
    // The bound only guards against a hang; it never decides a passing run.
    EXPECT_TRUE(window.RunUntil([&] { return !log.seen.empty(); }, std::chrono::minutes(2)));
    waveOutReset(handle);
    EXPECT_EQ(waveOutClose(handle), 0);
}

}  // namespace
}  // namespace sonvel

// Wave input devices on the manual clock: tone, file and external inputs,
// stop and reset, a late host, numbering and misuse.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <vector>

#include "audio/devices/device_clock.h"
#include "audio/devices/virtual_devices.h"
#include "audio/devices/wave_device.h"
#include "audio/host/event_loop_window.h"

namespace sonvel {
namespace {

using std::chrono::milliseconds;

constexpr WaveFormat kFormat = Pcm16Format(8000, 1);

// Hands every filled buffer's bytes to `captured` and gives the buffer back,
// as the recording pipeline does.
struct Capture : MessageClient {
    HWAVEIN handle = 0;
    bool give_back = true;
    std::vector<WAVEHDR*> order;
    std::vector<uint32_t> sizes;
    std::vector<uint8_t> captured;
    int closes = 0;
    int32_t WindowProc(const Notification& n) override {
        if (n.message == MM_WIM_CLOSE) {
            ++closes;
            return 0;
        }
        order.push_back(n.header);
        sizes.push_back(n.header->dwBytesRecorded);
        captured.insert(captured.end(), n.header->lpData,
                        n.header->lpData + n.header->dwBytesRecorded);
        if (give_back) {
            waveInAddBuffer(handle, n.header);
        }
        return 0;
    }
    std::vector<int16_t> Samples() const {
        std::vector<int16_t> out(captured.size() / 2);
        for (size_t i = 0; i < out.size(); ++i) {
            out[i] = static_cast<int16_t>(captured[2 * i] | (captured[2 * i + 1] << 8));
        }
        return out;
    }
};

class InputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(window_.AttachMessage(&capture_, MM_WIM_DATA), 0);
        ASSERT_EQ(window_.AttachMessage(&capture_, MM_WIM_CLOSE), 0);
    }

    void TearDown() override {
        if (capture_.handle != 0) {
            capture_.give_back = false;
            waveInReset(capture_.handle);
            window_.Pump();
            EXPECT_EQ(waveInClose(capture_.handle), MMSYSERR_NOERROR);
        }
        for (VirtualDeviceId id : added_) {
            RemoveVirtualDevice(id);
        }
    }

    void Open(int32_t device, uint32_t buffer_bytes, const WaveFormat& format = kFormat) {
        ASSERT_EQ(waveInOpen(&capture_.handle, device, format, &window_, CALLBACK_WINDOW), 0);
        for (size_t i = 0; i < headers_.size(); ++i) {
            data_[i].assign(buffer_bytes, 0xEE);
            headers_[i].lpData = data_[i].data();
            headers_[i].dwBufferLength = buffer_bytes;
            ASSERT_EQ(waveInPrepareHeader(capture_.handle, &headers_[i]), 0);
            ASSERT_EQ(waveInAddBuffer(capture_.handle, &headers_[i]), 0);
        }
    }

    void Advance(milliseconds step) {
        clock_->Advance(step);
        window_.Pump();
    }

    std::shared_ptr<ManualClock> clock_ = std::make_shared<ManualClock>();
    ScopedDeviceClock scoped_clock_{clock_};
    EventLoopWindow window_;
    Capture capture_;
    std::array<WAVEHDR, 3> headers_{};
    std::array<std::vector<uint8_t>, 3> data_;
    std::vector<VirtualDeviceId> added_;
};

double Tone(double frequency, double amplitude, int n) {
    return amplitude * 32767.0 * std::sin(2 * std::numbers::pi * frequency * n / 8000.0);
}

TEST_F(InputTest, ToneInputDeliversTheSignalInFullBuffersWithoutGaps) {
    const VirtualDeviceId id = AddToneInput("Test tone", 440.0, 0.25);
    added_.push_back(id);
    Open(WaveInDeviceNumber(id), 1600);  // 100 ms
    Advance(milliseconds(500));
    EXPECT_TRUE(capture_.order.empty());  // nothing before waveInStart

    ASSERT_EQ(waveInStart(capture_.handle), 0);
    Advance(milliseconds(99));
    EXPECT_TRUE(capture_.order.empty());
    Advance(milliseconds(1));
    ASSERT_EQ(capture_.order.size(), 1u);
    for (int step = 0; step < 9; ++step) {
        Advance(milliseconds(100));
    }
    ASSERT_EQ(capture_.order.size(), 10u);
    for (size_t i = 0; i < capture_.order.size(); ++i) {
        EXPECT_EQ(capture_.order[i], &headers_[i % 3]);
        EXPECT_EQ(capture_.sizes[i], 1600u);
    }
    const std::vector<int16_t> samples = capture_.Samples();
    ASSERT_EQ(samples.size(), 8000u);
    for (int n = 0; n < 8000; ++n) {
        ASSERT_NEAR(samples[static_cast<size_t>(n)], Tone(440, 0.25, n), 1.0) << n;
    }
    MMTIME time;
    time.wType = TIME_SAMPLES;
    ASSERT_EQ(waveInGetPosition(capture_.handle, &time), 0);
    EXPECT_EQ(time.value, 8000u);
}

TEST_F(InputTest, ALateHostLosesNoSound) {
    Open(WaveInDeviceNumber(kToneInputId), 1600);
    ASSERT_EQ(waveInStart(capture_.handle), 0);
    clock_->Advance(std::chrono::seconds(10));
    window_.Pump();  // three buffers, given back at once
    ASSERT_EQ(capture_.order.size(), 3u);
    // The given-back buffers are filled at once from what the device kept.
    for (int round = 0; round < 40; ++round) {
        clock_->Settle();
        window_.Pump();
    }
    EXPECT_EQ(capture_.order.size(), 100u);  // 10 s = 100 buffers of 100 ms
    const std::vector<int16_t> samples = capture_.Samples();
    for (int n = 0; n < static_cast<int>(samples.size()); ++n) {
        ASSERT_NEAR(samples[static_cast<size_t>(n)], Tone(1000, 0.5, n), 1.0) << n;
    }
}

TEST_F(InputTest, AHostLateBeyondTheCushionGetsTheNewestMinuteUnbroken) {
    Open(WaveInDeviceNumber(kToneInputId), 1600);
    ASSERT_EQ(waveInStart(capture_.handle), 0);
    clock_->Advance(std::chrono::seconds(70));
    for (int round = 0; round < 400; ++round) {
        clock_->Settle();
        window_.Pump();
    }
    ASSERT_EQ(waveInStop(capture_.handle), 0);  // hands over the part buffer
    window_.Pump();
    const std::vector<int16_t> samples = capture_.Samples();
    ASSERT_GT(samples.size(), 59u * 8000u);
    ASSERT_LE(samples.size(), 60u * 8000u);
    const int first = 70 * 8000 - static_cast<int>(samples.size());
    for (int i = 0; i < static_cast<int>(samples.size()); ++i) {
        ASSERT_NEAR(samples[static_cast<size_t>(i)], Tone(1000, 0.5, first + i), 1.0) << i;
    }
}

TEST_F(InputTest, StopReturnsThePartBufferAndResetReturnsTheRest) {
    Open(WaveInDeviceNumber(kSilenceInputId), 1600);
    capture_.give_back = false;
    ASSERT_EQ(waveInStart(capture_.handle), 0);
    Advance(milliseconds(130));
    ASSERT_EQ(waveInStop(capture_.handle), 0);
    window_.Pump();
    ASSERT_EQ(capture_.sizes, (std::vector<uint32_t>{1600, 480}));
    EXPECT_EQ(capture_.captured, std::vector<uint8_t>(2080, 0));
    Advance(milliseconds(1000));
    EXPECT_EQ(capture_.order.size(), 2u);  // stopped: nothing more
    EXPECT_EQ(waveInClose(capture_.handle), WAVERR_STILLPLAYING);

    ASSERT_EQ(waveInReset(capture_.handle), 0);
    window_.Pump();
    EXPECT_EQ(capture_.order, (std::vector<WAVEHDR*>{&headers_[0], &headers_[1], &headers_[2]}));
    EXPECT_EQ(capture_.sizes.back(), 0u);
    EXPECT_EQ(headers_[2].dwFlags, WHDR_DONE | WHDR_PREPARED);
    ASSERT_EQ(waveInClose(capture_.handle), 0);
    window_.Pump();
    EXPECT_EQ(capture_.closes, 1);
    capture_.handle = 0;
}

TEST_F(InputTest, ExternalInputDeliversExactlyWhatWasPushedInOrder) {
    const VirtualDeviceId id = CreateExternalInput("Modem voice", kFormat);
    ASSERT_NE(id, 0u);
    added_.push_back(id);
    std::vector<uint8_t> pushed(250);
    for (size_t i = 0; i < pushed.size(); ++i) {
        pushed[i] = static_cast<uint8_t>(i);
    }
    // Before the device listens, pushes are dropped.
    EXPECT_EQ(PushExternalInput(id, pushed.data(), 10), 0);

    Open(WaveInDeviceNumber(id), 100);
    ASSERT_EQ(waveInStart(capture_.handle), 0);
    ASSERT_EQ(PushExternalInput(id, pushed.data(), 70), 0);
    ASSERT_EQ(PushExternalInput(id, pushed.data() + 70, 180), 0);
    clock_->Settle();
    window_.Pump();
    ASSERT_EQ(capture_.sizes, (std::vector<uint32_t>{100, 100}));

    Advance(milliseconds(60000));  // no sound is invented
    EXPECT_EQ(capture_.order.size(), 2u);

    std::vector<uint8_t> more(50, 0xAB);
    ASSERT_EQ(PushExternalInput(id, more.data(), more.size()), 0);
    clock_->Settle();
    window_.Pump();
    ASSERT_EQ(capture_.order.size(), 3u);
    pushed.insert(pushed.end(), more.begin(), more.end());
    EXPECT_EQ(capture_.captured, pushed);

    HWAVEIN second = 0;
    EXPECT_EQ(waveInOpen(&second, WaveInDeviceNumber(id), kFormat, &window_, CALLBACK_WINDOW),
              MMSYSERR_ALLOCATED);
    EXPECT_EQ(waveInOpen(nullptr, WaveInDeviceNumber(id), Pcm16Format(16000, 1), nullptr,
                         WAVE_FORMAT_QUERY),
              WAVERR_BADFORMAT);
}

TEST_F(InputTest, RemovingAnExternalInputStopsItsFeedAndRenumbers) {
    const VirtualDeviceId first = CreateExternalInput("First", kFormat);
    const VirtualDeviceId second = CreateExternalInput("Second", kFormat);
    added_.push_back(first);
    added_.push_back(second);
    const int32_t second_number = WaveInDeviceNumber(second);
    EXPECT_EQ(second_number, WaveInDeviceNumber(first) + 1);
    const uint32_t count = waveInGetNumDevs();

    WAVEINCAPS caps;
    ASSERT_EQ(waveInGetDevCaps(second_number, &caps), 0);
    EXPECT_STREQ(caps.szPname, "Second");
    EXPECT_EQ(caps.wChannels, 1);
    EXPECT_EQ(caps.dwFormats, 0u);  // 8 kHz has no standard bit

    ASSERT_EQ(RemoveVirtualDevice(first), 0);
    EXPECT_EQ(RemoveVirtualDevice(first), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(WaveInDeviceNumber(first), -1);
    EXPECT_EQ(WaveInDeviceNumber(second), second_number - 1);
    EXPECT_EQ(waveInGetNumDevs(), count - 1);
    uint8_t byte = 0;
    EXPECT_EQ(PushExternalInput(first, &byte, 1), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(RemoveVirtualDevice(kToneInputId), MMSYSERR_NOTSUPPORTED);
    EXPECT_EQ(CreateExternalInput("Bad", WaveFormat{}), 0u);
}

TEST_F(InputTest, BuiltInInputsAreNamedAndLongNamesAreCut) {
    WAVEINCAPS caps;
    ASSERT_EQ(waveInGetDevCaps(WaveInDeviceNumber(kSilenceInputId), &caps), 0);
    EXPECT_STREQ(caps.szPname, "Sonvel Silence");
    ASSERT_EQ(waveInGetDevCaps(WaveInDeviceNumber(kToneInputId), &caps), 0);
    EXPECT_STREQ(caps.szPname, "Sonvel Tone 1 kHz");
    // 30 ASCII bytes and a two-byte character: the character does not fit whole.
    const VirtualDeviceId id = AddToneInput(std::string(30, 'x') + "\xC3\xA9", 100, 0.1);
    added_.push_back(id);
    ASSERT_EQ(waveInGetDevCaps(WaveInDeviceNumber(id), &caps), 0);
    EXPECT_EQ(std::string(caps.szPname), std::string(30, 'x'));
}

class FileInputTest : public InputTest {
  protected:
    std::filesystem::path Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const auto path = dir_ / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    static std::vector<uint8_t> Wave(int16_t bits, const std::vector<uint8_t>& data,
                                     uint32_t data_size_field) {
        std::vector<uint8_t> out;
        auto put32 = [&](uint32_t v) {
            for (int i = 0; i < 4; ++i)
                out.push_back(static_cast<uint8_t>(v >> (8 * i)));
        };
        auto put16 = [&](uint32_t v) {
            for (int i = 0; i < 2; ++i)
                out.push_back(static_cast<uint8_t>(v >> (8 * i)));
        };
        const uint32_t block = static_cast<uint32_t>(bits / 8);
        out.insert(out.end(), {'R', 'I', 'F', 'F'});
        put32(static_cast<uint32_t>(36 + data.size()));
        out.insert(out.end(), {'W', 'A', 'V', 'E', 'L', 'I', 'S', 'T'});
        put32(3);
        out.insert(out.end(), {'a', 'b', 'c', 0});  // odd chunk with its pad byte
        out.insert(out.end(), {'f', 'm', 't', ' '});
        put32(16);
        put16(1);
        put16(1);
        put32(8000);
        put32(8000 * block);
        put16(block);
        put16(static_cast<uint32_t>(bits));
        out.insert(out.end(), {'d', 'a', 't', 'a'});
        put32(data_size_field);
        out.insert(out.end(), data.begin(), data.end());
        return out;
    }

    std::filesystem::path dir_ = [] {
        auto dir =
            std::filesystem::temp_directory_path() /
            ("sonvel_devices_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        return dir;
    }();

    void TearDown() override {
        InputTest::TearDown();
        std::filesystem::remove_all(dir_);
    }
};

TEST_F(FileInputTest, FileInputPlaysTheFileOverAndOver) {
    std::vector<uint8_t> data(1000);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 7);
    }
    VirtualDeviceId id = 0;
    // A data size beyond the end: what is there is used.
    ASSERT_EQ(AddFileInput("File", Write("a.wav", Wave(16, data, 5000)).string(), &id), 0);
    added_.push_back(id);
    Open(WaveInDeviceNumber(id), 800);
    ASSERT_EQ(waveInStart(capture_.handle), 0);
    Advance(milliseconds(150));
    ASSERT_EQ(capture_.captured.size(), 2400u);
    for (size_t i = 0; i < capture_.captured.size(); ++i) {
        ASSERT_EQ(capture_.captured[i], data[i % data.size()]) << i;
    }
    EXPECT_EQ(waveInOpen(nullptr, WaveInDeviceNumber(id), Pcm16Format(16000, 1), nullptr,
                         WAVE_FORMAT_QUERY),
              WAVERR_BADFORMAT);
}

TEST_F(FileInputTest, UnusableFilesAreRefusedWithTheirCodes) {
    VirtualDeviceId id = 0;
    const uint32_t count = waveInGetNumDevs();
    EXPECT_EQ(AddFileInput("x", (dir_ / "missing.wav").string(), &id), MMIOERR_CANNOTOPEN);
    EXPECT_EQ(AddFileInput("x", Write("junk.wav", {'n', 'o', 'p', 'e'}).string(), &id),
              MMIOERR_INVALIDFILE);
    std::vector<uint8_t> no_data = Wave(16, {}, 0);
    ASSERT_GE(no_data.size(), 8u);
    no_data.erase(no_data.end() - 8, no_data.end());
    EXPECT_EQ(AddFileInput("x", Write("nodata.wav", no_data).string(), &id), MMIOERR_INVALIDFILE);
    EXPECT_EQ(AddFileInput("x", Write("8bit.wav", Wave(8, {1, 2}, 2)).string(), &id),
              WAVERR_BADFORMAT);
    EXPECT_EQ(AddFileInput("x", dir_.string(), &id), MMIOERR_CANNOTOPEN);
    EXPECT_EQ(waveInGetNumDevs(), count);
}

TEST_F(InputTest, MisuseReturnsCodes) {
    WAVEHDR header;
    std::vector<uint8_t> data(100);
    header.lpData = data.data();
    header.dwBufferLength = 100;
    EXPECT_EQ(waveInAddBuffer(999999, &header), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveInOpen(&capture_.handle, static_cast<int32_t>(waveInGetNumDevs()), kFormat,
                         &window_, CALLBACK_WINDOW),
              MMSYSERR_BADDEVICEID);
    EXPECT_EQ(capture_.handle, 0u);
    Open(WAVE_MAPPER, 100);
    EXPECT_EQ(waveInAddBuffer(capture_.handle, &header), WAVERR_UNPREPARED);
    EXPECT_EQ(waveInAddBuffer(capture_.handle, &headers_[0]), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveInUnprepareHeader(capture_.handle, &headers_[0]), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutWrite(capture_.handle, &headers_[0]), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveOutClose(capture_.handle), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(waveInClose(capture_.handle), WAVERR_STILLPLAYING);
}

}  // namespace
}  // namespace sonvel

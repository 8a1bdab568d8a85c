// The Wave control's playback on the manual clock: every recording format
// plays for exactly its length, the device gets the file's sound, bad files
// are refused with their codes, positions and seeks, pause and stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "audio/devices/device_backend.h"
#include "audio/devices/device_clock.h"
#include "audio/host/event_loop_window.h"
#include "audio/riff/wave_file.h"
#include "audio/wave/wave.h"
#include "tests/audio/capture_output.h"
#include "tests/audio/test_acm_support.h"

namespace sonvel {
namespace {

using std::chrono::milliseconds;
using testing::Bytes;
using testing::Convert;
using testing::TestSignal;
using testing::ToBytes;
using testing::WriteWav;

// Only the virtual devices, whatever the machine has.
const bool kNoAlsa = setenv("SONVEL_NO_ALSA", "1", 1) == 0;

constexpr WaveFormat kPcm = Pcm16Format(8000, 1);

struct Recorder : WaveEvents {
    struct Error {
        std::string function;
        int32_t number;
    };
    int donePlay = 0;
    std::vector<Error> errors;
    Bytes analysed;  // what OutBuffer handed over, in order
    std::vector<int16_t> meters;
    void DonePlay() override { ++donePlay; }
    void OutBuffer(const uint8_t* bytes, int32_t size) override {
        analysed.insert(analysed.end(), bytes, bytes + size);
    }
    void OutMeter(int16_t meter) override { meters.push_back(meter); }
    void Err(const std::string& function, int32_t number, const std::string&) override {
        errors.push_back({function, number});
    }
};

class PlayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(kNoAlsa);
        ASSERT_TRUE(folder_.valid());
        ASSERT_FALSE(wave_.InitC());
    }

    void Deliver() {
        // Handlers post more (a close after the last buffer): deliver those too.
        for (int round = 0; round < 10 && window_.PendingCount() > 0; ++round) {
            window_.Pump();
        }
    }

    void Advance(ClockDuration step) {
        clock_->Advance(step);
        Deliver();
    }

    // Runs the clock in steps until DonePlay; the clock time it came at.
    std::optional<ClockDuration> RunUntilDone(ClockDuration step, ClockDuration limit) {
        const int before = events_.donePlay;
        const ClockDuration end = clock_->Now() + limit;
        Deliver();
        while (events_.donePlay == before && clock_->Now() < end) {
            Advance(step);
        }
        if (events_.donePlay == before) {
            return std::nullopt;
        }
        return clock_->Now();
    }

    // Plays `path` from now and checks it ends one step after `length`, not before.
    void ExpectPlaysFor(std::string path, ClockDuration length) {
        const ClockDuration start = clock_->Now();
        ASSERT_EQ(wave_.StartPlay(path), 0);
        EXPECT_EQ(wave_.Playing(), kTrue);
        EXPECT_EQ(wave_.DonePlay(), kFalse);
        const ClockDuration step = milliseconds(5);
        const auto done = RunUntilDone(step, length + milliseconds(1000));
        ASSERT_TRUE(done.has_value()) << "playback never ended";
        EXPECT_GE(*done - start, length);
        EXPECT_LT(*done - start, length + step);
        EXPECT_EQ(wave_.Playing(), kFalse);
        EXPECT_EQ(wave_.DonePlay(), kTrue);
    }

    std::string Write(const std::string& name, const WaveFormat& format, const Bytes& data,
                      uint32_t samples) {
        const std::string path = folder_.File(name);
        EXPECT_TRUE(WriteWav(path, format, data, samples));
        return path;
    }

    std::string WritePcm(const std::string& name, size_t samples) {
        return Write(name, kPcm, ToBytes(TestSignal(samples)), static_cast<uint32_t>(samples));
    }

    std::shared_ptr<ManualClock> clock_ = std::make_shared<ManualClock>();
    ScopedDeviceClock scoped_clock_{clock_};
    testing::TempFolder folder_;
    EventLoopWindow window_;
    Recorder events_;
    Wave wave_{&window_, &events_};
};

// Whole nanoseconds the device needs for `bytes` at `rate` bytes a second.
ClockDuration LengthOf(size_t bytes, int32_t rate) {
    const auto b = static_cast<int64_t>(bytes);
    return ClockDuration((b * 1'000'000'000 + rate - 1) / rate);
}

TEST_F(PlayTest, EveryRecordingFormatPlaysForItsLengthAndEndsWithDonePlay) {
    const Bytes pcm = ToBytes(TestSignal(8080));  // 16 IMA blocks, 50.5 GSM frames
    const Bytes gsmSource(pcm.begin(), pcm.begin() + 8000 * 2);
    struct Case {
        const char* name;
        WaveFormat format;
        Bytes data;
    };
    const std::vector<Case> cases = {
        {"pcm.wav", kPcm, pcm},
        {"mulaw.wav", testing::MulawFormat(), Convert(kPcm, testing::MulawFormat(), pcm)},
        {"gsm.wav", testing::GsmFormat(), Convert(kPcm, testing::GsmFormat(), gsmSource)},
        {"ima.wav", testing::ImaFormat(), Convert(kPcm, testing::ImaFormat(), pcm)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.data.empty());
        const std::string path = Write(c.name, c.format, c.data, 8000);
        ExpectPlaysFor(path, LengthOf(c.data.size(), c.format.nAvgBytesPerSec));
    }
    EXPECT_EQ(events_.donePlay, 4);
    for (const auto& error : events_.errors) {
        ADD_FAILURE() << error.function << " " << error.number;
    }
}

TEST_F(PlayTest, BlockCodecsPlayForTheirSoundWhateverTheirBytesPerSecondClaim) {
    // IMA ADPCM claiming 16000 bytes a second where its 59 blocks of 505
    // samples hold 3.72 s; the silent output is fed the compressed bytes
    // through the mapper's conversion and must pace them as 3.72 s.
    const std::string path = std::string(SONVEL_TEST_DATA_DIR) + "/wav/ima_wrong_avg_bytes.wav";
    const ClockDuration length = LengthOf(59 * 505 * 2, 16000);
    ExpectPlaysFor(path, length);
}

TEST_F(PlayTest, StartingWhilePlayingIsRefusedAndStopWhilePausedEndsCleanly) {
    std::string path = WritePcm("long.wav", 80000);  // 10 s
    ASSERT_EQ(wave_.StartPlay(path), 0);
    Advance(milliseconds(100));
    std::string other = WritePcm("other.wav", 800);
    EXPECT_EQ(wave_.StartPlay(other), kWaveErrAlreadyPlaying);
    WaveFormat pcm = kPcm;
    EXPECT_EQ(wave_.StartPlayACM(other, pcm), kWaveErrAlreadyPlaying);
    EXPECT_EQ(wave_.OpenFile(other), kWaveErrAlreadyPlaying);
    EXPECT_EQ(wave_.Playing(), kTrue);

    ASSERT_EQ(wave_.PauseOut(), 0);
    EXPECT_EQ(wave_.IsPausedOut(), kTrue);
    Advance(milliseconds(500));
    EXPECT_EQ(wave_.StopPlay(), 0);
    // The reset hands the three buffers back: no clock needed.
    Deliver();
    EXPECT_EQ(events_.donePlay, 1);
    EXPECT_EQ(wave_.Playing(), kFalse);
    EXPECT_EQ(wave_.DonePlay(), kTrue);
    EXPECT_EQ(wave_.IsPausedOut(), kFalse);
    EXPECT_TRUE(events_.errors.empty());

    // StopPlayProc called directly in the middle of a playback: the device
    // gives the buffers back first and what it posts after is ignored.
    ASSERT_EQ(wave_.StartPlay(path), 0);
    Advance(milliseconds(120));
    EXPECT_EQ(wave_.StopPlayProc(), 0);
    Advance(milliseconds(500));
    EXPECT_EQ(events_.donePlay, 2);
    EXPECT_EQ(wave_.Playing(), kFalse);
    EXPECT_EQ(wave_.GetPositionSeconds(), 0);
    EXPECT_TRUE(events_.errors.empty());

    // And the control plays again afterwards.
    ExpectPlaysFor(other, milliseconds(100));
    EXPECT_EQ(events_.donePlay, 3);
    // Stopping with nothing playing has nothing to report.
    EXPECT_EQ(wave_.StopPlay(), 0);
    EXPECT_EQ(wave_.StopPlayProc(), 0);
    EXPECT_TRUE(events_.errors.empty());
}

TEST_F(PlayTest, PositionFollowsTheClockHoldsWhilePausedAndResumes) {
    std::string path = WritePcm("ten.wav", 80000);  // 80000 blocks, 10 s
    ASSERT_EQ(wave_.StartPlay(path), 0);
    Deliver();
    for (int i = 0; i < 100; ++i) {
        Advance(milliseconds(50));
    }
    // (44 header bytes + 80000 played) / 2 of 80000 blocks.
    EXPECT_EQ(wave_.GetPositionSlider(), 50);
    EXPECT_EQ(wave_.GetPositionSeconds(), 5);
    // The read position runs up to three buffers ahead.
    EXPECT_GE(wave_.GetPositionSliderX(), 50);
    EXPECT_LE(wave_.GetPositionSliderX(), 52);
    EXPECT_EQ(wave_.GetPositionSecondsX(), 5);

    ASSERT_EQ(wave_.PauseOut(), 0);
    Advance(milliseconds(10000));
    EXPECT_EQ(wave_.GetPositionSeconds(), 5);
    EXPECT_EQ(wave_.GetPositionSlider(), 50);
    EXPECT_EQ(events_.donePlay, 0);

    ASSERT_EQ(wave_.UnPauseOut(), 0);
    EXPECT_EQ(wave_.IsPausedOut(), kFalse);
    for (int i = 0; i < 40; ++i) {
        Advance(milliseconds(50));
    }
    EXPECT_EQ(wave_.GetPositionSeconds(), 7);
    const auto done = RunUntilDone(milliseconds(5), milliseconds(5000));
    ASSERT_TRUE(done.has_value());
    EXPECT_GE(*done, milliseconds(20000));
    EXPECT_LT(*done, milliseconds(20005));
}

TEST_F(PlayTest, SeeksMoveTheReadPositionByPercentOrSeconds) {
    std::string thousand = WritePcm("thousand.wav", 1000);
    ASSERT_EQ(wave_.OpenFile(thousand), 0);
    int32_t position = 50;
    EXPECT_EQ(wave_.FileSeek(position), kTrue);
    EXPECT_EQ(position, 500);
    // (44 + 1000) / 2 = block 522 of 1000, counted with the header.
    EXPECT_EQ(wave_.GetPositionSliderX(), 52);
    EXPECT_EQ(wave_.GetPositionSlider(), 52);
    position = 100;  // the end is outside the data
    EXPECT_EQ(wave_.FileSeek(position), kFalse);
    EXPECT_EQ(position, 1000);
    position = -1;
    EXPECT_EQ(wave_.FileSeek(position), kFalse);
    EXPECT_EQ(wave_.GetPositionSliderX(), 52);

    std::string ten = WritePcm("ten.wav", 10);
    ASSERT_EQ(wave_.OpenFile(ten), 0);
    position = 25;  // 2.5 blocks: halves go to even
    EXPECT_EQ(wave_.FileSeek(position), kTrue);
    EXPECT_EQ(position, 2);
    position = 35;
    EXPECT_EQ(wave_.FileSeek(position), kTrue);
    EXPECT_EQ(position, 4);

    std::string seconds = WritePcm("seconds.wav", 80000);
    ASSERT_EQ(wave_.OpenFile(seconds), 0);
    int32_t at = 3;
    EXPECT_EQ(wave_.FileSeekX(at), kTrue);
    EXPECT_EQ(wave_.GetPositionSecondsX(), 3);
    at = -1;
    EXPECT_EQ(wave_.FileSeekX(at), kFalse);

    // A seek during playback: the sound goes on from there.
    EXPECT_EQ(wave_.StopPlayProc(), 0);
    EXPECT_EQ(wave_.GetPositionSliderX(), 0);
    ASSERT_EQ(wave_.StartPlay(seconds), 0);
    Advance(milliseconds(100));
    position = 90;
    EXPECT_EQ(wave_.FileSeek(position), kTrue);
    EXPECT_EQ(position, 72000);
    const auto done = RunUntilDone(milliseconds(10), milliseconds(3000));
    ASSERT_TRUE(done.has_value());
    EXPECT_TRUE(events_.errors.empty());
}

TEST_F(PlayTest, OpenFileRefusesWhatItCannotPlayWithTheDescentsCodes) {
    std::string missing = folder_.File("missing.wav");
    EXPECT_EQ(wave_.StartPlay(missing), kWaveErrOpenFile);

    std::string text = folder_.File("notes.wav");
    std::ofstream(text) << "not a wave file at all, just some words";
    const int32_t notWave = wave_.StartPlay(text);
    EXPECT_EQ(notWave, static_cast<int32_t>(MMIOERR_CHUNKNOTFOUND));
    EXPECT_NE(notWave, kWaveErrNotWaveFile);

    Bytes noFormat = {'R', 'I', 'F', 'F', 12,  0,   0, 0, 'W', 'A',
                      'V', 'E', 'd', 'a', 't', 'a', 0, 0, 0,   0};
    std::string noFormatPath = folder_.File("noformat.wav");
    std::ofstream(noFormatPath, std::ios::binary)
        .write(reinterpret_cast<const char*>(noFormat.data()), 20);
    EXPECT_EQ(wave_.OpenFile(noFormatPath), static_cast<int32_t>(MMIOERR_CHUNKNOTFOUND));

    // Format chunk, then the file ends.
    std::string cut = WritePcm("cut.wav", 100);
    std::filesystem::resize_file(cut, 36);
    EXPECT_EQ(wave_.OpenFile(cut), static_cast<int32_t>(MMIOERR_CHUNKNOTFOUND));

    // Zero block alignment: every length is divided by it.
    WaveFormat broken = kPcm;
    broken.nBlockAlign = 0;
    std::string brokenPath = Write("broken.wav", broken, Bytes(100), 50);
    EXPECT_EQ(wave_.OpenFile(brokenPath), static_cast<int32_t>(WAVERR_BADFORMAT));

    ASSERT_EQ(events_.errors.size(), 5u);
    EXPECT_EQ(events_.errors[0].function, "OpenFile:mmioOpen:Error opening input file");
    EXPECT_EQ(events_.errors[0].number, 0);
    EXPECT_EQ(events_.errors[1].function, "OpenFile:mmioDescendParent:Not wave file");
    EXPECT_EQ(events_.errors[1].number, notWave);
    EXPECT_EQ(events_.errors[2].function, "OpenFile:mmioDescend:Couldn't get format chunk");
    EXPECT_EQ(events_.errors[3].function, "mmioReadString:mmioDescend:Couldn't get data chunk");
    EXPECT_EQ(events_.errors[4].number, static_cast<int32_t>(WAVERR_BADFORMAT));
    // Nothing stays open: no positions, nothing playing.
    EXPECT_EQ(wave_.Playing(), kFalse);
    EXPECT_EQ(wave_.DonePlay(), kTrue);
    EXPECT_EQ(wave_.GetPositionSliderX(), 0);
    EXPECT_EQ(wave_.GetPositionSecondsX(), 0);
    EXPECT_EQ(wave_.PauseOut(), static_cast<int32_t>(MMSYSERR_INVALHANDLE));
    EXPECT_EQ(wave_.IsPausedOut(), kFalse);
}

class CaptureTest : public PlayTest {
  protected:
    void SetUp() override {
        RegisterDeviceBackend(backend_);
        PlayTest::SetUp();
    }
    void TearDown() override { UnregisterDeviceBackend(backend_); }

    std::shared_ptr<test_support::CaptureOutput> backend_ =
        std::make_shared<test_support::CaptureOutput>(true);
};

TEST_F(CaptureTest, TheDeviceGetsExactlyTheFilesSound) {
    const Bytes pcm = ToBytes(TestSignal(16000));
    std::string path = Write("pcm.wav", kPcm, pcm, 16000);
    ASSERT_EQ(wave_.StartPlay(path), 0);
    Advance(milliseconds(300));
    // A buffer-done of another output on the same window is not ours.
    window_.Post({MM_WOM_DONE, 0xFFFF, nullptr});
    ASSERT_TRUE(RunUntilDone(milliseconds(20), milliseconds(3000)).has_value());
    EXPECT_EQ(backend_->Rendered(), pcm);

    // Shorter than one buffer: the first primed read takes it all.
    const Bytes shortData(pcm.begin(), pcm.begin() + 300);
    std::string shortPath = Write("short.wav", kPcm, shortData, 150);
    ExpectPlaysFor(shortPath, LengthOf(shortData.size(), kPcm.nAvgBytesPerSec));
    EXPECT_EQ(backend_->Rendered(), shortData);

    // A format chunk longer than the 50 bytes read of it, and a data chunk
    // that claims far more than the file holds.
    Bytes file = {'R', 'I', 'F', 'F', 0xF0, 0xFF, 0xFF, 0x7F, 'W', 'A',
                  'V', 'E', 'f', 'm', 't',  ' ',  60,   0,    0,   0};
    Bytes fmt(60, 0xEE);
    std::memcpy(fmt.data(), &kPcm, 16);
    file.insert(file.end(), fmt.begin(), fmt.end());
    file.insert(file.end(), {'d', 'a', 't', 'a', 0xF0, 0xFF, 0xFF, 0x7F});
    file.insert(file.end(), shortData.begin(), shortData.end());
    std::string oddPath = folder_.File("odd.wav");
    std::ofstream(oddPath, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
    ExpectPlaysFor(oddPath, LengthOf(shortData.size(), kPcm.nAvgBytesPerSec));
    EXPECT_EQ(backend_->Rendered(), shortData);
    EXPECT_TRUE(events_.errors.empty());
}

TEST_F(CaptureTest, GsmPlaysDecodedThroughTheMapperOrThroughTheControlsOwnConversion) {
    const Bytes pcm = ToBytes(TestSignal(16000));
    const Bytes gsm = Convert(kPcm, testing::GsmFormat(), pcm);
    ASSERT_EQ(gsm.size(), 50u * 65u);
    const Bytes decoded = Convert(testing::GsmFormat(), kPcm, gsm);
    ASSERT_EQ(decoded.size(), pcm.size());
    std::string path = Write("gsm.wav", testing::GsmFormat(), gsm, 16000);

    ExpectPlaysFor(path, milliseconds(2000));
    EXPECT_EQ(backend_->Opened(), kPcm);
    EXPECT_EQ(backend_->Rendered(), decoded);

    // Ten frames a buffer: each read converts whole.
    WaveFormat playFormat = kPcm;
    int32_t device = WAVE_MAPPER;
    int32_t bufferSize = 650;
    Bool16 visOut = kFalse;
    ASSERT_EQ(wave_.StartPlayACM(path, playFormat, device, bufferSize, visOut), 0);
    EXPECT_EQ(backend_->Opened(), kPcm);
    ASSERT_TRUE(RunUntilDone(milliseconds(10), milliseconds(3000)).has_value());
    EXPECT_EQ(backend_->Rendered(), decoded);

    // A plain start afterwards plays the file's own format again.
    ExpectPlaysFor(path, milliseconds(2000));
    EXPECT_EQ(backend_->Rendered(), decoded);
    EXPECT_TRUE(events_.errors.empty());
}

// Every WAV fixture plays as the header reader reads it: the device gets
// exactly the data the reader reports (compressed bytes as they are), or the
// start fails with the reader's code and an Err, and no device opens.
TEST(FixturePlayback, EveryFixturePlaysWhatTheReaderReadsOrFailsWithItsCode) {
    auto backend = std::make_shared<test_support::CaptureOutput>(true, true);
    RegisterDeviceBackend(backend);
    struct Unregister {
        std::shared_ptr<test_support::CaptureOutput> backend;
        ~Unregister() { UnregisterDeviceBackend(backend); }
    } unregister{backend};
    auto clock = std::make_shared<ManualClock>();
    ScopedDeviceClock scopedClock(clock);
    EventLoopWindow window;
    Recorder events;
    Wave wave(&window, &events);
    ASSERT_FALSE(wave.InitC());
    const auto deliver = [&window] {
        for (int round = 0; round < 10 && window.PendingCount() > 0; ++round) {
            window.Pump();
        }
    };

    std::vector<std::filesystem::path> fixtures;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(SONVEL_TEST_DATA_DIR) + "/wav")) {
        if (entry.path().extension() == ".wav") {
            fixtures.push_back(entry.path());
        }
    }
    std::sort(fixtures.begin(), fixtures.end());
    ASSERT_GE(fixtures.size(), 32u);
    for (const auto& path : fixtures) {
        SCOPED_TRACE(path.filename().string());
        WaveFileInfo info;
        const MMRESULT read = GetWaveFileInfo(path.c_str(), &info);
        const size_t errorsBefore = events.errors.size();
        const int opensBefore = backend->Opens();
        const int doneBefore = events.donePlay;
        std::string file = path.string();
        const int32_t rc = wave.StartPlay(file);
        if (read != MMSYSERR_NOERROR) {
            if (rc == 0) {
                wave.StopPlayProc();
                deliver();
            }
            EXPECT_EQ(rc, static_cast<int32_t>(read));
            EXPECT_EQ(events.errors.size(), errorsBefore + 1);
            if (events.errors.size() > errorsBefore) {
                EXPECT_EQ(events.errors.back().number, rc);
                EXPECT_FALSE(events.errors.back().function.empty());
            }
            EXPECT_EQ(backend->Opens(), opensBefore);
            EXPECT_EQ(wave.Playing(), kFalse);
            continue;
        }
        EXPECT_EQ(rc, 0);
        if (rc != 0) {
            continue;
        }
        for (int step = 0; step < 400 && events.donePlay == doneBefore; ++step) {
            clock->Advance(milliseconds(50));
            deliver();
        }
        EXPECT_EQ(events.donePlay, doneBefore + 1) << "playback never ended";
        std::ifstream stream(path, std::ios::binary);
        const Bytes whole((std::istreambuf_iterator<char>(stream)),
                          std::istreambuf_iterator<char>());
        ASSERT_LE(size_t{info.dataOffset} + info.dataSize, whole.size());
        const auto data = whole.begin() + info.dataOffset;
        EXPECT_EQ(backend->Opened(), info.format);
        EXPECT_EQ(backend->Rendered(), Bytes(data, data + info.dataSize));
        EXPECT_EQ(events.errors.size(), errorsBefore);
    }
}

// The output visualisation sees every played buffer, decoded to the
// analysis format, in playing order: the GSM file's whole decoded sound.
TEST_F(PlayTest, TheOutputVisualisationAnalysesEveryPlayedBuffer) {
    const Bytes pcm = ToBytes(TestSignal(16000));
    const Bytes gsm = Convert(kPcm, testing::GsmFormat(), pcm);
    const Bytes decoded = Convert(testing::GsmFormat(), kPcm, gsm);
    std::string path = Write("gsm.wav", testing::GsmFormat(), gsm, 16000);
    wave_.SetMeterOut(kTrue);
    int32_t device = WAVE_MAPPER;
    int32_t bufferSize = 650;  // ten frames, 0.4 s
    Bool16 visOut = kTrue;
    ASSERT_EQ(wave_.StartPlay(path, device, bufferSize, visOut), 0);
    ASSERT_TRUE(RunUntilDone(milliseconds(10), milliseconds(3000)).has_value());
    EXPECT_EQ(events_.analysed, decoded);
    EXPECT_EQ(events_.meters.size(), 5u);
    EXPECT_EQ(wave_.IsVisOut(), kFalse);  // closed with the playback
    EXPECT_TRUE(events_.errors.empty());
}

TEST(PlayTimeText, HoursMinutesAndSeconds) {
    EventLoopWindow window;
    Wave wave(&window);
    const std::pair<int32_t, const char*> cases[] = {
        {0, "0:00:00"},    {59, "0:00:59"},     {60, "0:01:00"},       {3600, "1:00:00"},
        {3725, "1:02:05"}, {36000, "10:00:00"}, {360000, "100:00:00"},
    };
    for (auto [seconds, text] : cases) {
        EXPECT_EQ(wave.SecondsAsTimeString(seconds), text) << seconds;
    }
}

}  // namespace
}  // namespace sonvel

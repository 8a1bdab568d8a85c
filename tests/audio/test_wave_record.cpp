// The Wave control's recording pipeline on virtual tone inputs and a manual
// clock: file layout and lengths per codec, sox as the outside reader,
// refusals, pause, a late host, and a disk that fills up.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "audio/devices/device_clock.h"
#include "audio/devices/virtual_devices.h"
#include "audio/host/event_loop_window.h"
#include "audio/riff/wave_file.h"
#include "audio/wave/wave.h"
#include "tests/audio/test_acm_support.h"

namespace sonvel {
namespace {

using std::chrono::milliseconds;
using testing::Bytes;

const bool kNoAlsa = setenv("SONVEL_NO_ALSA", "1", 1) == 0;

struct ErrRecord {
    std::string function;
    int32_t number;
};

struct Sink : WaveEvents {
    std::vector<ErrRecord> errors;
    std::vector<std::string> changes;
    int doneRecord = 0;
    Bytes analysed;                  // what InBuffer handed over, in order
    std::function<void()> onBuffer;  // the host's reaction to InBuffer
    void InBuffer(const uint8_t* bytes, int32_t size) override {
        analysed.insert(analysed.end(), bytes, bytes + size);
        if (onBuffer) {
            onBuffer();
        }
    }
    void Err(const std::string& function, int32_t number, const std::string&) override {
        errors.push_back({function, number});
    }
    void DoneRecord() override { ++doneRecord; }
    void PropertyChanged(const std::string& name) override { changes.push_back(name); }
};

double Tone(double frequency, double amplitude, size_t n) {
    return amplitude * 32767.0 *
           std::sin(2 * std::numbers::pi * frequency * static_cast<double>(n) / 8000.0);
}

Bytes ReadAll(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
}

uint32_t Le32(const Bytes& bytes, size_t at) {
    return static_cast<uint32_t>(bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
                                 (bytes[at + 3] << 24));
}

// The 64 bytes every recording starts with.
Bytes ExpectedHeader(const WaveFormat& format, uint32_t dataBytes) {
    Bytes out = {'R', 'I', 'F', 'F'};
    testing::PutLe(out, 56 + dataBytes + (dataBytes % 2), 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    testing::PutLe(out, 28, 4);
    const auto* raw = reinterpret_cast<const uint8_t*>(&format);
    out.insert(out.end(), raw, raw + sizeof(WaveFormat));
    out.insert(out.end(), {'f', 'a', 'c', 't', 0, 0, 0, 0, 'd', 'a', 't', 'a'});
    testing::PutLe(out, dataBytes, 4);
    return out;
}

// Signal power over error power of `decoded` against the input tone, in dB.
double ToneSnr(const std::vector<int16_t>& decoded, double frequency, double amplitude) {
    double signal = 0;
    double noise = 0;
    for (size_t n = 0; n < decoded.size(); ++n) {
        const double ideal = Tone(frequency, amplitude, n);
        signal += ideal * ideal;
        noise += (decoded[n] - ideal) * (decoded[n] - ideal);
    }
    return 10 * std::log10(signal / std::max(noise, 1.0));
}

class RecordTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(kNoAlsa);
        ASSERT_TRUE(folder_.valid());
        ASSERT_FALSE(wave_.InitC());
    }

    void TearDown() override {
        wave_.StopRecord();
        window_.Pump();
        for (VirtualDeviceId id : added_) {
            RemoveVirtualDevice(id);
        }
    }

    // Plays `total` of capture in steps, letting the host run after each.
    void Run(milliseconds total, milliseconds step = milliseconds(100)) {
        for (milliseconds done(0); done < total; done += step) {
            clock_->Advance(std::min(step, total - done));
            window_.Pump();
        }
    }

    int32_t StartAcm(const std::string& file, WaveFormat codec, int32_t bufferSize,
                     int32_t device = -2, Bool16 vis = kFalse) {
        WaveFormat input = Pcm16Format(8000, 1);
        return wave_.StartRecordACM(device == -2 ? ToneDevice() : device, file, input, codec,
                                    bufferSize, vis);
    }

    int32_t ToneDevice() const { return WaveInDeviceNumber(kToneInputId); }

    // sox's decode of a recorded file to 16-bit PCM.
    std::vector<int16_t> SoxDecode(const std::string& file) {
        const std::string out = folder_.File("decoded.wav");
        if (!testing::RunSox({file, "-e", "signed", "-b", "16", out})) {
            return {};
        }
        return testing::ToSamples(testing::ReadWav(out).data);
    }

    std::shared_ptr<ManualClock> clock_ = std::make_shared<ManualClock>();
    ScopedDeviceClock scoped_clock_{clock_};
    testing::TempFolder folder_;
    EventLoopWindow window_;
    Sink sink_;
    Wave wave_{&window_, &sink_};
    std::vector<VirtualDeviceId> added_;
};

struct CodecCase {
    const char* name;
    WaveFormat codec;
    int32_t bufferSize;
    uint32_t storedBytes;  // for 2.3 s of capture: whole buffers only
    double minSnr;         // against the input tone, in dB
};

TEST_F(RecordTest, EachCodecStoresWholeBuffersInTheFixedLayoutThatSoxReads) {
    const CodecCase cases[] = {
        {"pcm", Pcm16Format(8000, 1), 8000, 4 * 8000, 80.0},
        {"mulaw", test_support::MulawFormat(), 8000, 4 * 4000, 30.0},
        {"gsm", test_support::GsmFormat(), 16000, 2 * 25 * 65, 20.0},
    };
    for (const CodecCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = folder_.File(std::string(c.name) + ".wav");
        ASSERT_EQ(StartAcm(file, c.codec, c.bufferSize), 0);
        EXPECT_EQ(wave_.Recording(), kTrue);
        Run(milliseconds(2300));
        ASSERT_EQ(wave_.StopRecord(), 0);
        EXPECT_EQ(wave_.Recording(), kFalse);

        const Bytes bytes = ReadAll(file);
        ASSERT_EQ(bytes.size(), 64 + c.storedBytes + (c.storedBytes % 2));
        EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 64), ExpectedHeader(c.codec, c.storedBytes));

        WaveFileInfo info;
        ASSERT_EQ(GetWaveFileInfo(file.c_str(), &info), MMSYSERR_NOERROR);
        EXPECT_EQ(info.dataOffset, 64u);
        EXPECT_EQ(info.dataSize, c.storedBytes);
        EXPECT_EQ(info.secondsLength, 2u);

        const std::vector<int16_t> decoded = SoxDecode(file);
        ASSERT_EQ(decoded.size(), 16000u);
        EXPECT_GT(ToneSnr(decoded, 1000.0, 0.5), c.minSnr);
    }
    EXPECT_TRUE(sink_.errors.empty());
}

// As the main program records: GSM to the file, and every captured buffer
// handed to the host in the analysis format while it is stored.
TEST_F(RecordTest, TheInputVisualisationHandsOverEveryCapturedBuffer) {
    const std::string file = folder_.File("calls.wav");
    ASSERT_EQ(StartAcm(file, test_support::GsmFormat(), 16000, -2, kTrue), 0);
    EXPECT_EQ(wave_.IsVisIn(), kTrue);
    Run(milliseconds(3000));
    ASSERT_EQ(wave_.StopRecord(), 0);
    EXPECT_EQ(wave_.IsVisIn(), kFalse);
    const std::vector<int16_t> samples = testing::ToSamples(sink_.analysed);
    ASSERT_EQ(samples.size(), 24000u);  // three whole buffers
    for (size_t n = 0; n < samples.size(); ++n) {
        ASSERT_NEAR(samples[n], Tone(1000, 0.5, n), 1.0) << n;
    }
    EXPECT_EQ(SoxDecode(file).size(), 24000u);
    EXPECT_TRUE(sink_.errors.empty());
}

// A host may stop the recording from inside an event: the buffer being
// handled is then not stored, and nothing freed is touched (the sanitizer
// pass of the tests watches that).
TEST_F(RecordTest, AHostThatStopsFromAnEventEndsTheRecordingCleanly) {
    const std::string file = folder_.File("stopped.wav");
    int buffers = 0;
    sink_.onBuffer = [&] {
        if (++buffers == 2) {
            EXPECT_EQ(wave_.StopRecord(), 0);
        }
    };
    ASSERT_EQ(StartAcm(file, test_support::GsmFormat(), 16000, -2, kTrue), 0);
    Run(milliseconds(4000));
    EXPECT_EQ(wave_.Recording(), kFalse);
    EXPECT_EQ(buffers, 2);
    // The first buffer was stored; the second arrived as the host stopped.
    EXPECT_EQ(SoxDecode(file).size(), 8000u);
    EXPECT_TRUE(sink_.errors.empty());
}

TEST_F(RecordTest, PcmRecordingHoldsTheCapturedSamplesThemselves) {
    const std::string file = folder_.File("plain.wav");
    WaveFormat format = Pcm16Format(8000, 1);
    int32_t bufferSize = 8000;
    Bool16 vis = kFalse;
    ASSERT_EQ(wave_.StartRecord(ToneDevice(), file, format, bufferSize, vis), 0);
    // A plain recording does not look at the pause flag.
    wave_.PauseIn();
    EXPECT_EQ(wave_.IsPausedIn(), kTrue);
    Run(milliseconds(1000));
    ASSERT_EQ(wave_.StopRecord(), 0);
    wave_.UnPauseIn();
    const Bytes bytes = ReadAll(file);
    ASSERT_EQ(bytes.size(), 64u + 16000);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 64), ExpectedHeader(format, 16000));
    const std::vector<int16_t> samples = testing::ToSamples(Bytes(bytes.begin() + 64, bytes.end()));
    for (size_t n = 0; n < samples.size(); ++n) {
        ASSERT_NEAR(samples[n], Tone(1000, 0.5, n), 1.0) << n;
    }
}

TEST_F(RecordTest, RefusalsAndEmptyRecordings) {
    // A codec the manager cannot reach: the stream-open code, nothing runs.
    const std::string speech = folder_.File("speech.wav");
    EXPECT_EQ(StartAcm(speech, test_support::TrueSpeechFormat(), 4800), ACMERR_NOTPOSSIBLE);
    ASSERT_EQ(sink_.errors.size(), 1u);
    EXPECT_EQ(sink_.errors[0].function, "StartRecordACM:ACMOpen");
    EXPECT_EQ(sink_.errors[0].number, 512);
    EXPECT_EQ(wave_.Recording(), kFalse);
    EXPECT_FALSE(std::filesystem::exists(speech));
    sink_.errors.clear();

    // A file that cannot be created: Err, 0, nothing captured.
    const std::string nowhere = folder_.File("missing/folder/call.wav");
    EXPECT_EQ(StartAcm(nowhere, test_support::MulawFormat(), 8000), 0);
    ASSERT_EQ(sink_.errors.size(), 1u);
    EXPECT_EQ(sink_.errors[0].function, "StartRecordACM:OpenFileIn");
    EXPECT_EQ(sink_.errors[0].number, 0);
    EXPECT_EQ(wave_.Recording(), kFalse);
    WaveFormat pcm = Pcm16Format(8000, 1);
    EXPECT_EQ(wave_.StartRecord(ToneDevice(), nowhere, pcm), 0);
    ASSERT_EQ(sink_.errors.size(), 2u);
    EXPECT_EQ(sink_.errors[1].function, "StartRecord:OpenFileIn");
    EXPECT_EQ(wave_.Recording(), kFalse);
    wave_.StopRecord();
    sink_.errors.clear();

    // A link planted under the new recording's name: refused like any
    // file that cannot be created; what it points to keeps its bytes.
    const std::string outside = folder_.File("outside");
    std::ofstream(outside) << "keep";
    const std::string planted = folder_.File("planted.wav");
    std::filesystem::create_symlink(outside, planted);
    EXPECT_EQ(StartAcm(planted, test_support::MulawFormat(), 8000), 0);
    ASSERT_EQ(sink_.errors.size(), 1u);
    EXPECT_EQ(sink_.errors[0].function, "StartRecordACM:OpenFileIn");
    EXPECT_EQ(wave_.Recording(), kFalse);
    EXPECT_EQ(ReadAll(outside), (Bytes{'k', 'e', 'e', 'p'}));
    wave_.StopRecord();
    std::filesystem::remove(planted);
    std::filesystem::remove(outside);
    sink_.errors.clear();

    // No file name: the capture runs, nothing is written, nothing complains.
    ASSERT_EQ(StartAcm("", test_support::GsmFormat(), 16000), 0);
    EXPECT_EQ(wave_.Recording(), kTrue);
    Run(milliseconds(3000));
    EXPECT_EQ(wave_.StopRecord(), 0);
    EXPECT_TRUE(sink_.errors.empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.File("")),
                            std::filesystem::directory_iterator()),
              0);

    // A file closed before any buffer was filled is a bare header.
    const std::string empty = folder_.File("empty.wav");
    ASSERT_EQ(StartAcm(empty, test_support::MulawFormat(), 8000), 0);
    Run(milliseconds(400));
    EXPECT_EQ(wave_.StopRecord(), 0);
    const Bytes bytes = ReadAll(empty);
    ASSERT_EQ(bytes.size(), 64u);
    EXPECT_EQ(Le32(bytes, 4), 56u);
    EXPECT_EQ(Le32(bytes, 60), 0u);
    EXPECT_TRUE(sink_.errors.empty());
}

TEST_F(RecordTest, SecondStartIsRefusedAndDoneRecordFollowsTheClose) {
    const std::string file = folder_.File("first.wav");
    ASSERT_EQ(StartAcm(file, test_support::MulawFormat(), 8000), 0);
    EXPECT_EQ(StartAcm(folder_.File("second.wav"), test_support::GsmFormat(), 16000),
              kWaveErrAlreadyRecording);
    EXPECT_FALSE(std::filesystem::exists(folder_.File("second.wav")));
    WaveFormat pcm = Pcm16Format(8000, 1);
    EXPECT_EQ(wave_.StartRecord(ToneDevice(), folder_.File("third.wav"), pcm),
              kWaveErrAlreadyRecording);
    Run(milliseconds(1000));

    wave_.SetCutSilence(kTrue);
    sink_.changes.clear();
    ASSERT_EQ(wave_.StopRecord(), 0);
    EXPECT_EQ(sink_.doneRecord, 0);  // the close is still in the queue
    EXPECT_EQ(wave_.CutSilence(), kFalse);
    EXPECT_EQ(sink_.changes, std::vector<std::string>{"CutSilence"});
    window_.Pump();
    EXPECT_EQ(sink_.doneRecord, 1);
    // The first recording was not disturbed.
    EXPECT_EQ(ReadAll(file).size(), 64u + 8000);
    EXPECT_TRUE(sink_.errors.empty());
}

TEST_F(RecordTest, PauseKeepsTheFileFromGrowingAndTheHeaderStaysCurrent) {
    const std::string file = folder_.File("paused.wav");
    ASSERT_EQ(StartAcm(file, test_support::MulawFormat(), 8000), 0);
    const auto onDisk = [&] {
        WaveFileInfo info;
        EXPECT_EQ(GetWaveFileInfo(file.c_str(), &info), MMSYSERR_NOERROR);
        return info.dataSize;
    };
    Run(milliseconds(1000));
    EXPECT_EQ(onDisk(), 8000u);  // read while recording: the header is current
    wave_.PauseIn();
    Run(milliseconds(1500));
    EXPECT_EQ(onDisk(), 8000u);
    EXPECT_EQ(wave_.UnPauseIn(), 0);
    EXPECT_EQ(wave_.IsPausedIn(), kFalse);
    Run(milliseconds(1000));
    EXPECT_EQ(onDisk(), 16000u);
    ASSERT_EQ(wave_.StopRecord(), 0);
    const Bytes bytes = ReadAll(file);
    ASSERT_EQ(bytes.size(), 64u + 16000);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 64),
              ExpectedHeader(test_support::MulawFormat(), 16000));
}

// Captures the tone of `added` with the host away for `stall`, stepped like
// real time (the device fills its buffers as they come due), and returns
// the recorded samples.
class StallTest : public RecordTest {
  protected:
    std::vector<int16_t> RecordWithStall(milliseconds before, milliseconds stall,
                                         milliseconds stallStep, milliseconds after,
                                         Bool16 analyse = kFalse) {
        const VirtualDeviceId id = AddToneInput("Stall tone", kFrequency, 0.5);
        added_.push_back(id);
        const std::string file = folder_.File("stall.wav");
        EXPECT_EQ(StartAcm(file, Pcm16Format(8000, 1), 8000, WaveInDeviceNumber(id), analyse), 0);
        Run(before);
        for (milliseconds done(0); done < stall; done += stallStep) {
            clock_->Advance(stallStep);
        }
        // The host catches up: every buffer it gives back is filled from the
        // device's backlog at once.
        do {
            clock_->Settle();
        } while (window_.Pump() > 0);
        Run(after);
        EXPECT_EQ(wave_.StopRecord(), 0);
        const Bytes bytes = ReadAll(file);
        return testing::ToSamples(Bytes(bytes.begin() + 64, bytes.end()));
    }

    // Prime against 8000: a gap of any length short of whole seconds shifts
    // the phase; the sample count catches whole seconds.
    static constexpr double kFrequency = 443.0;
};

TEST_F(StallTest, AHostStalledForTwoSecondsLosesNothing) {
    const std::vector<int16_t> samples = RecordWithStall(milliseconds(1200), milliseconds(2000),
                                                         milliseconds(2000), milliseconds(1700));
    // 4.9 s captured; the buffer that was filling at stop is dropped.
    ASSERT_EQ(samples.size(), 40000u - 4000u);
    for (size_t n = 0; n < samples.size(); ++n) {
        ASSERT_NEAR(samples[n], Tone(kFrequency, 0.5, n), 1.0) << n;
    }
    EXPECT_TRUE(sink_.errors.empty());
}

// The spectrum lets the host's loop run between its bins: the buffers that
// piled up during the stall arrive inside the analysis of the first one, and
// must still reach the file in the order they were captured.
TEST_F(StallTest, BuffersArrivingDuringTheSpectrumAreStoredInCaptureOrder) {
    wave_.SetMeterIn(kTrue);
    wave_.SetFreqIn(kTrue);
    const std::vector<int16_t> samples = RecordWithStall(
        milliseconds(1200), milliseconds(2000), milliseconds(2000), milliseconds(1700), kTrue);
    ASSERT_EQ(samples.size(), 40000u - 4000u);
    for (size_t n = 0; n < samples.size(); ++n) {
        ASSERT_NEAR(samples[n], Tone(kFrequency, 0.5, n), 1.0) << n;
    }
    EXPECT_TRUE(sink_.errors.empty());
}

TEST_F(StallTest, TheDeviceRingAndTheThreeBuffersCarryAMinuteLongStall) {
    // The stall starts as a buffer has just been given back: 60 s in the
    // device's ring plus three queued half-second buffers, and not a
    // sample more (61.6 s loses the oldest 0.1 s).
    const std::vector<int16_t> samples = RecordWithStall(milliseconds(500), milliseconds(61500),
                                                         milliseconds(100), milliseconds(1500));
    ASSERT_EQ(samples.size(), 127u * 4000u);
    for (size_t n = 0; n < samples.size(); ++n) {
        ASSERT_NEAR(samples[n], Tone(kFrequency, 0.5, n), 1.0) << n;
    }
}

// Lowers the process's file size limit for a scope; writes past it fail
// with EFBIG as on a full disk.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        ok_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, SIG_DFL);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool ok() const { return ok_; }

  private:
    rlimit saved_{};
    bool ok_ = false;
};

TEST_F(RecordTest, AFullDiskKeepsWhatWasStoredAndTheHeaderClaimsNoMore) {
    const std::string file = folder_.File("full.wav");
    {
        FileSizeLimit limit(64 + 20000);
        ASSERT_TRUE(limit.ok());
        ASSERT_EQ(StartAcm(file, Pcm16Format(8000, 1), 8000), 0);
        Run(milliseconds(5000));
        EXPECT_EQ(wave_.Recording(), kTrue);
        EXPECT_EQ(wave_.StopRecord(), 0);
    }
    EXPECT_TRUE(sink_.errors.empty());  // write failures are not reported
    const Bytes bytes = ReadAll(file);
    ASSERT_GE(bytes.size(), 64u);
    const uint32_t claimed = Le32(bytes, 60);
    EXPECT_EQ(Le32(bytes, 4), 56 + claimed);
    EXPECT_LE(64 + claimed, bytes.size());
    // Two whole buffers fitted; no part of a later one is claimed.
    EXPECT_EQ(claimed, 16000u);
    const std::vector<int16_t> samples =
        testing::ToSamples(Bytes(bytes.begin() + 64, bytes.begin() + 64 + claimed));
    for (size_t n = 0; n < samples.size(); ++n) {
        ASSERT_NEAR(samples[n], Tone(1000, 0.5, n), 1.0) << n;
    }
    EXPECT_EQ(SoxDecode(file).size(), claimed / 2);

    // The next recording writes normally again.
    const std::string next = folder_.File("next.wav");
    ASSERT_EQ(StartAcm(next, Pcm16Format(8000, 1), 8000), 0);
    Run(milliseconds(1000));
    EXPECT_EQ(wave_.StopRecord(), 0);
    EXPECT_EQ(ReadAll(next).size(), 64u + 16000);
}

}  // namespace
}  // namespace sonvel

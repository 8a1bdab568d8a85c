// The Wave control's monitoring: the spectrum arithmetic against a plain
// DFT, levels, the silence cutter, visualisation on and off, the analysis
// letting the host's loop run (and surviving what the host does there), and
// live monitoring on a recording output device.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/devices/device_backend.h"
#include "audio/devices/device_clock.h"
#include "audio/host/event_loop_window.h"
#include "audio/wave/silence_cutter.h"
#include "audio/wave/spectrum.h"
#include "audio/wave/wave.h"
#include "audio_test_support.h"
#include "tests/audio/capture_output.h"

namespace sonvel {

// Reaches the seams that the recording and playback handlers call.
class WaveMonitorProbe {
  public:
    static void AnalyseInput(Wave& w, const std::vector<uint8_t>& block) {
        WaveImpl::Of(w).AnalyseInput(block.data(), static_cast<uint32_t>(block.size()));
    }
    static void AnalyseInput(Wave& w, const uint8_t* block, uint32_t length) {
        WaveImpl::Of(w).AnalyseInput(block, length);
    }
    static void AnalyseOutput(Wave& w, const std::vector<uint8_t>& block) {
        WaveImpl::Of(w).AnalyseOutput(block.data(), static_cast<uint32_t>(block.size()));
    }
    static void Forward(Wave& w, int index, const std::vector<uint8_t>& bytes) {
        WaveImpl::Of(w).ForwardToPreScreen(index, bytes.data(),
                                           static_cast<uint32_t>(bytes.size()));
    }
    static bool Loud(const Wave& w) { return WaveImpl::Of(w).silenceCutter_.Loud(); }
    // What the recording and playback starts leave behind for monitoring.
    static void SetRecording(Wave& w, const WaveFormat& capture, int32_t bufferSize) {
        WaveImpl::Of(w).recording_ = true;
        WaveImpl::Of(w).captureActive_ = true;
        WaveImpl::Of(w).captureFormat_ = capture;
        WaveImpl::Of(w).bufferSizeIn_ = bufferSize;
    }
    static void SetPlaying(Wave& w, const WaveFormat& file, int32_t bufferSize) {
        WaveImpl::Of(w).playing_ = true;
        WaveImpl::Of(w).fileFormat_ = file;
        WaveImpl::Of(w).bufferSizeOut_ = bufferSize;
    }
};

namespace {

const bool kNoAlsa = setenv("SONVEL_NO_ALSA", "1", 1) == 0;

constexpr double kPi = 3.14159265358979323846;

// 16-bit little-endian bytes of the samples.
std::vector<uint8_t> Bytes(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> out(samples.size() * 2);
    std::memcpy(out.data(), samples.data(), out.size());
    return out;
}

std::vector<int16_t> Cosine(uint32_t bin, double amplitude, size_t count) {
    std::vector<int16_t> samples(count);
    for (size_t n = 0; n < count; ++n) {
        samples[n] = static_cast<int16_t>(
            std::lround(amplitude * std::cos(2 * kPi * bin * static_cast<double>(n) / 1024.0)));
    }
    return samples;
}

AnalysisSamples ToAnalysis(const std::vector<int16_t>& samples) {
    const std::vector<uint8_t> bytes = Bytes(samples);
    return LoadAnalysisSamples(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

std::vector<int16_t> Frequencies(const AnalysisSamples& samples) {
    SpectrumArray re{};
    SpectrumArray im{};
    SpectrumTransform(samples, re, im);
    std::vector<int16_t> raised;
    EXPECT_TRUE(ScanPeaks(samples, re, nullptr, [&](int16_t f) { raised.push_back(f); }));
    return raised;
}

// ---- Spectrum arithmetic ----

TEST(WaveSpectrum, TransformAgreesWithADoublePrecisionDft) {
    AnalysisSamples samples{};
    uint32_t seed = 12345;
    double total = 0;
    for (size_t n = 0; n < 512; ++n) {  // the half an analysed block fills
        seed = seed * 1103515245u + 12345u;
        samples[n] = static_cast<int16_t>(static_cast<int32_t>((seed >> 16) & 0xFFFF) - 32768);
        total += std::abs(samples[n]);
    }
    SpectrumArray re{};
    SpectrumArray im{};
    SpectrumTransform(samples, re, im);
    // Single precision over ten stages: a few units in 10^5 of the input's sum.
    const double tolerance = 2e-5 * total;
    for (uint32_t k = 0; k < kSpectrumPoints; ++k) {
        double wantRe = 0;
        double wantIm = 0;
        for (uint32_t n = 0; n < kSpectrumPoints; ++n) {
            const double angle = 2 * kPi * static_cast<double>((k * n) % kSpectrumPoints) / 1024.0;
            wantRe += samples[n] * std::cos(angle);
            wantIm += samples[n] * std::sin(angle);
        }
        ASSERT_NEAR(re[k], wantRe, tolerance) << "bin " << k;
        ASSERT_NEAR(im[k], wantIm, tolerance) << "bin " << k;
    }
}

TEST(WaveSpectrum, APureToneEndsTheScanOnItsBin) {
    // 1000 Hz is bin 128; the last frequency raised names the strongest bin.
    std::vector<int16_t> raised = Frequencies(ToAnalysis(Cosine(128, 10000, 512)));
    ASSERT_FALSE(raised.empty());
    EXPECT_EQ(raised.back(), 1000);

    // Bin 200 is 1562.5 Hz: reported as 1562.
    raised = Frequencies(ToAnalysis(Cosine(200, 8000, 512)));
    ASSERT_FALSE(raised.empty());
    EXPECT_EQ(raised.back(), 1562);

    EXPECT_TRUE(Frequencies(AnalysisSamples{}).empty()) << "silence has no bin above 0";
}

TEST(WaveSpectrum, EveryNewRoundedMaximumIsRaisedWithTheSampleRule) {
    AnalysisSamples samples{};
    samples[1] = 300;   // 7.8125 Hz -> 8
    samples[3] = -257;  // 23.4375 Hz -> 23
    samples[4] = 256;   // not above 256: reported as 0
    samples[5] = 1000;  // 39.0625 Hz -> 39
    SpectrumArray re{};
    re[1] = 5.0f;
    re[2] = 3.0f;    // below the peak
    re[3] = -10.4f;  // the magnitude counts; the peak becomes 10
    re[4] = 10.3f;   // above the rounded peak
    re[5] = 10.6f;
    re[511] = 2.0f;
    re[512] = 1e6f;  // beyond the scanned bins
    std::vector<int16_t> raised;
    int before = 0;
    EXPECT_TRUE(ScanPeaks(
        samples, re,
        [&] {
            ++before;
            return true;
        },
        [&](int16_t f) { raised.push_back(f); }));
    EXPECT_EQ(raised, (std::vector<int16_t>{8, 23, 0, 39}));
    EXPECT_EQ(before, 511);

    // The host may end the scan before any bin.
    raised.clear();
    before = 0;
    EXPECT_FALSE(ScanPeaks(
        samples, re, [&] { return ++before < 3; }, [&](int16_t f) { raised.push_back(f); }));
    EXPECT_EQ(raised, (std::vector<int16_t>{8}));

    // Halves go to even.
    samples[8] = 1000;
    samples[24] = 1000;
    EXPECT_EQ(BinFrequency(samples, 8), 62);    // 62.5
    EXPECT_EQ(BinFrequency(samples, 24), 188);  // 187.5
}

TEST(WaveSpectrum, OnlyTheFirst1024BytesOfABlockAreRead) {
    std::vector<int16_t> long_block(1000, 7);
    AnalysisSamples samples = ToAnalysis(long_block);
    EXPECT_EQ(samples[511], 7);
    EXPECT_EQ(samples[512], 0);
    EXPECT_EQ(samples[1023], 0);

    const uint8_t short_block[5] = {0x01, 0x02, 0xFF, 0xFF, 0x05};
    samples = LoadAnalysisSamples(short_block, 5);
    EXPECT_EQ(samples[0], 0x0201);
    EXPECT_EQ(samples[1], -1);
    EXPECT_EQ(samples[2], 5);  // the lone last byte
    EXPECT_EQ(samples[3], 0);
    EXPECT_EQ(LoadAnalysisSamples(nullptr, 100), AnalysisSamples{});
}

// ---- Silence cutter ----

struct FileWrites {
    std::vector<std::vector<uint8_t>> writes;
    SilenceCutter::Writer Writer() {
        return [this](const uint8_t* bytes, uint32_t count) {
            writes.emplace_back(bytes, bytes + count);
        };
    }
};

// Buffer n: 4000 bytes of the value n (half a second of mu-law).
std::vector<uint8_t> HalfSecond(int n) {
    return std::vector<uint8_t>(4000, static_cast<uint8_t>(n));
}

std::vector<uint8_t> Joined(int first, int last) {
    std::vector<uint8_t> out;
    for (int n = first; n <= last; ++n) {
        const std::vector<uint8_t> part = HalfSecond(n);
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

TEST(WaveSilenceCutter, NothingLoudStoresExactlyTheFirstFourBuffers) {
    SilenceCutter cutter;
    FileWrites file;
    for (int n = 1; n <= 20; ++n) {
        const std::vector<uint8_t> buffer = HalfSecond(n);
        cutter.Store(buffer.data(), 4000, file.Writer());
    }
    ASSERT_EQ(file.writes.size(), 4u);
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(file.writes[static_cast<size_t>(n - 1)], HalfSecond(n));
    }
    EXPECT_EQ(cutter.HeldBytes(), 16u * 4000u);

    // The recording stops: what is held is gone, and the next one starts over.
    cutter.Reset();
    EXPECT_EQ(cutter.HeldBytes(), 0u);
    cutter.SetLoud(true);
    cutter.Reset();
    for (int n = 1; n <= 5; ++n) {
        const std::vector<uint8_t> buffer = HalfSecond(n);
        cutter.Store(buffer.data(), 4000, file.Writer());
    }
    EXPECT_EQ(file.writes.size(), 8u);
    EXPECT_EQ(cutter.HeldBytes(), 4000u);
}

TEST(WaveSilenceCutter, ALoudBufferReleasesTheHeldOnesWithItselfThenFourGoStraight) {
    SilenceCutter cutter;
    FileWrites file;
    for (int n = 1; n <= 20; ++n) {
        const std::vector<uint8_t> buffer = HalfSecond(n);
        cutter.SetLoud(n == 15);  // after 10 held buffers (5..14)
        cutter.Store(buffer.data(), 4000, file.Writer());
    }
    ASSERT_EQ(file.writes.size(), 4u + 1u + 4u);
    EXPECT_EQ(file.writes[3], HalfSecond(4));
    EXPECT_EQ(file.writes[4], Joined(5, 15)) << "all 11 at once, in order";
    for (int n = 16; n <= 19; ++n) {
        EXPECT_EQ(file.writes[static_cast<size_t>(n - 11)], HalfSecond(n));
    }
    EXPECT_EQ(cutter.HeldBytes(), 4000u);  // buffer 20
    EXPECT_FALSE(cutter.Loud());
}

TEST(WaveSilenceCutter, ALoudBufferAmongTheDirectOnesStartsANewRunOfFour) {
    SilenceCutter cutter;
    FileWrites file;
    for (int n = 1; n <= 10; ++n) {
        const std::vector<uint8_t> buffer = HalfSecond(n);
        cutter.SetLoud(n == 3);
        cutter.Store(buffer.data(), 4000, file.Writer());
    }
    // 1..3 direct, the loud 3rd restarts the count: 4..7 direct, 8..10 held.
    EXPECT_EQ(file.writes.size(), 7u);
    EXPECT_EQ(cutter.HeldBytes(), 3u * 4000u);
    EXPECT_EQ(cutter.DirectWrites(), 4u);
}

// ---- The control's analysis ----

struct Recorder : WaveEvents {
    std::vector<int16_t> inMeter, outMeter, inFreq, outFreq;
    std::vector<std::vector<uint8_t>> inBuffers, outBuffers;
    std::vector<std::string> errors;
    std::vector<int32_t> errorCodes;
    void InMeter(int16_t m) override { inMeter.push_back(m); }
    void OutMeter(int16_t m) override { outMeter.push_back(m); }
    void InFreq(int16_t f) override { inFreq.push_back(f); }
    void OutFreq(int16_t f) override { outFreq.push_back(f); }
    void InBuffer(const uint8_t* b, int32_t n) override { inBuffers.emplace_back(b, b + n); }
    void OutBuffer(const uint8_t* b, int32_t n) override { outBuffers.emplace_back(b, b + n); }
    void Err(const std::string& f, int32_t n, const std::string&) override {
        errors.push_back(f);
        errorCodes.push_back(n);
    }
};

// A block whose second sample is `second`.
std::vector<uint8_t> BlockWithSecondSample(int16_t second) {
    std::vector<int16_t> samples(800, 0);
    samples[1] = second;
    return Bytes(samples);
}

class WaveAnalysisTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(kNoAlsa); }
    EventLoopWindow window_;
    Recorder events_;
    Wave wave_{&window_, &events_};
};

TEST_F(WaveAnalysisTest, MetersFollowTheSecondSampleAndSetTheLoudFlag) {
    wave_.SetMeterIn(kTrue);
    for (int16_t second : {int16_t{-32767}, int16_t{256}, int16_t{255}}) {
        WaveMonitorProbe::AnalyseInput(wave_, BlockWithSecondSample(second));
    }
    EXPECT_EQ(events_.inMeter, (std::vector<int16_t>{127, 1, 0}));
    EXPECT_TRUE(events_.inFreq.empty());
    ASSERT_EQ(events_.inBuffers.size(), 3u);
    EXPECT_EQ(events_.inBuffers[2], BlockWithSecondSample(255)) << "the whole block, unchanged";

    // CutSilenceVal 10: level 11 is loud, 10 is not.
    wave_.SetCutSilence(kTrue);
    wave_.SetCutSilenceVal(10);
    WaveMonitorProbe::AnalyseInput(wave_, BlockWithSecondSample(11 * 256));
    EXPECT_TRUE(WaveMonitorProbe::Loud(wave_));
    WaveMonitorProbe::AnalyseInput(wave_, BlockWithSecondSample(10 * 256 + 255));
    EXPECT_FALSE(WaveMonitorProbe::Loud(wave_));

    // Playback levels leave the cutter alone; without MeterIn nothing is raised.
    WaveMonitorProbe::AnalyseInput(wave_, BlockWithSecondSample(11 * 256));
    wave_.SetMeterOut(kTrue);
    wave_.SetMeterIn(kFalse);
    WaveMonitorProbe::AnalyseOutput(wave_, BlockWithSecondSample(-512));
    WaveMonitorProbe::AnalyseInput(wave_, BlockWithSecondSample(0));
    EXPECT_EQ(events_.outMeter, std::vector<int16_t>{2});
    EXPECT_EQ(events_.inMeter.size(), 6u);
    EXPECT_TRUE(WaveMonitorProbe::Loud(wave_));
    EXPECT_EQ(events_.outBuffers.size(), 1u);
}

TEST_F(WaveAnalysisTest, FrequencyScanLetsTheHostLoopRunBeforeEachBin) {
    struct Counter : MessageClient {
        int calls = 0;
        int32_t WindowProc(const Notification&) override { return ++calls; }
    } other;
    ASSERT_EQ(window_.AttachMessage(&other, MM_WOM_OPEN), 0);
    wave_.SetFreqIn(kTrue);
    wave_.SetFreqOut(kTrue);

    window_.Post({MM_WOM_OPEN, 1, nullptr});
    WaveMonitorProbe::AnalyseInput(wave_, std::vector<uint8_t>(8000, 0));
    EXPECT_EQ(other.calls, 1) << "a notification pending at the start is handled in the scan";
    EXPECT_TRUE(events_.inFreq.empty()) << "silence raises no InFreq";
    EXPECT_EQ(events_.inBuffers.size(), 1u);

    const std::vector<uint8_t> tone = Bytes(Cosine(128, 12000, 4000));
    WaveMonitorProbe::AnalyseInput(wave_, tone);
    ASSERT_FALSE(events_.inFreq.empty());
    EXPECT_EQ(events_.inFreq.back(), 1000);
    WaveMonitorProbe::AnalyseOutput(wave_, tone);
    EXPECT_EQ(events_.outFreq, events_.inFreq);
    ASSERT_EQ(events_.outBuffers.size(), 1u);
    EXPECT_EQ(events_.outBuffers[0], tone);
    window_.DetachMessage(&other, MM_WOM_OPEN);
}

// A host handler that, inside the scan, stops the input visualisation (as
// stopping the recording does) and frees the caller's block.
TEST_F(WaveAnalysisTest, AnAnalysisStopsWhenTheHostClosesItsVisualisationMidScan) {
    WaveMonitorProbe::SetRecording(wave_, Pcm16Format(8000, 1), 8000);
    ASSERT_EQ(wave_.OpenVisIn(), 0);
    ASSERT_EQ(wave_.IsVisIn(), kTrue);
    wave_.SetFreqIn(kTrue);

    auto block = std::make_unique<std::vector<uint8_t>>(Bytes(Cosine(128, 12000, 4000)));
    struct Stopper : MessageClient {
        Wave* wave = nullptr;
        std::unique_ptr<std::vector<uint8_t>>* block = nullptr;
        int32_t WindowProc(const Notification&) override {
            wave->CloseVisIn();
            block->reset();
            return 0;
        }
    } stopper;
    stopper.wave = &wave_;
    stopper.block = &block;
    ASSERT_EQ(window_.AttachMessage(&stopper, MM_WIM_CLOSE), 0);
    window_.Post({MM_WIM_CLOSE, 1, nullptr});

    const std::vector<uint8_t>& bytes = *block;
    WaveMonitorProbe::AnalyseInput(wave_, bytes.data(), static_cast<uint32_t>(bytes.size()));
    EXPECT_EQ(block, nullptr);
    EXPECT_TRUE(events_.inFreq.empty()) << "nothing after the first bin's pump";
    EXPECT_TRUE(events_.inBuffers.empty());
    EXPECT_EQ(wave_.IsVisIn(), kFalse);

    // The next buffer of a new visualisation is analysed in full.
    ASSERT_EQ(wave_.OpenVisIn(), 0);
    WaveMonitorProbe::AnalyseInput(wave_, Bytes(Cosine(128, 12000, 4000)));
    EXPECT_EQ(events_.inFreq.back(), 1000);
    EXPECT_EQ(events_.inBuffers.size(), 1u);
    window_.DetachMessage(&stopper, MM_WIM_CLOSE);
}

TEST(WaveAnalysis, AControlDestroyedMidScanIsNotTouchedAgain) {
    EventLoopWindow window;
    Recorder events;
    auto wave = std::make_unique<Wave>(&window, &events);
    wave->SetFreqIn(kTrue);
    struct Destroyer : MessageClient {
        std::unique_ptr<Wave>* wave = nullptr;
        int32_t WindowProc(const Notification&) override {
            wave->reset();
            return 0;
        }
    } destroyer;
    destroyer.wave = &wave;
    ASSERT_EQ(window.AttachMessage(&destroyer, MM_WOM_OPEN), 0);
    window.Post({MM_WOM_OPEN, 1, nullptr});
    // The host's loop runs before the first bin: nothing may follow.
    WaveMonitorProbe::AnalyseInput(*wave, Bytes(Cosine(128, 12000, 4000)));
    EXPECT_EQ(wave, nullptr);
    EXPECT_TRUE(events.inFreq.empty());
    EXPECT_TRUE(events.inBuffers.empty());
    window.DetachMessage(&destroyer, MM_WOM_OPEN);
}

// ---- Visualisation on and off ----

TEST_F(WaveAnalysisTest, VisualisationOpensOnlyDuringItsPipeline) {
    EXPECT_EQ(wave_.OpenVisIn(), 0);
    EXPECT_EQ(wave_.IsVisIn(), kFalse) << "no recording yet";
    EXPECT_EQ(wave_.OpenVisOut(), 0);
    EXPECT_EQ(wave_.IsVisOut(), kFalse) << "no playback yet";
    EXPECT_EQ(wave_.CloseVisIn(), 0);
    EXPECT_EQ(wave_.CloseVisOut(), 0);

    WaveMonitorProbe::SetRecording(wave_, Pcm16Format(8000, 1), 8000);
    WaveMonitorProbe::SetPlaying(wave_, test_support::GsmFormat(), 800);
    EXPECT_EQ(wave_.OpenVisIn(), 0);
    EXPECT_EQ(wave_.IsVisIn(), kTrue);
    EXPECT_EQ(wave_.OpenVisOut(), 0);
    EXPECT_EQ(wave_.IsVisOut(), kTrue);
    EXPECT_EQ(wave_.OpenVisIn(), 0);
    EXPECT_TRUE(events_.errors.empty());
    EXPECT_EQ(wave_.CloseVisIn(), 0);
    EXPECT_EQ(wave_.IsVisIn(), kFalse);
    EXPECT_EQ(wave_.CloseVisOut(), 0);
    EXPECT_EQ(wave_.IsVisOut(), kFalse);
}

TEST_F(WaveAnalysisTest, AFormatWithoutAConversionIsReportedAndStillMarkedOpen) {
    WaveMonitorProbe::SetRecording(wave_, test_support::TrueSpeechFormat(), 4800);
    EXPECT_EQ(wave_.OpenVisIn(), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(wave_.IsVisIn(), kTrue);
    EXPECT_EQ(events_.errors,
              (std::vector<std::string>{"OpenVisIn:acmConverIn:Can't open selected formats",
                                        "OpenVisIn:acmStreamSize:"}));
    EXPECT_EQ(events_.errorCodes, (std::vector<int32_t>{ACMERR_NOTPOSSIBLE, MMSYSERR_INVALHANDLE}));

    events_.errors.clear();
    events_.errorCodes.clear();
    WaveMonitorProbe::SetPlaying(wave_, test_support::TrueSpeechFormat(), 800);
    EXPECT_EQ(wave_.OpenVisOut(), 0);
    EXPECT_EQ(wave_.IsVisOut(), kTrue);
    EXPECT_EQ(events_.errors,
              (std::vector<std::string>{"OpenVisOut:ACMOpen:Can't open the selected format",
                                        "OpenVisOut:acmStreamSize"}));
    EXPECT_EQ(wave_.CloseVisIn(), 0);
    EXPECT_EQ(wave_.CloseVisOut(), MMSYSERR_INVALHANDLE) << "there was no stream to close";
    EXPECT_EQ(wave_.IsVisOut(), kFalse);
}

// ---- Live monitoring ----

class WavePreScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(kNoAlsa);
        RegisterDeviceBackend(backend_);
    }
    void TearDown() override { UnregisterDeviceBackend(backend_); }

    // Half a second of 8 kHz 16-bit mono: 8000 bytes counting up from `seed`.
    static std::vector<uint8_t> Captured(uint8_t seed) {
        std::vector<uint8_t> bytes(8000);
        for (size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<uint8_t>(seed + i * 7);
        }
        return bytes;
    }

    std::shared_ptr<ManualClock> clock_ = std::make_shared<ManualClock>();
    ScopedDeviceClock scopedClock_{clock_};
    std::shared_ptr<test_support::CaptureOutput> backend_ =
        std::make_shared<test_support::CaptureOutput>();
    EventLoopWindow window_;
    Recorder events_;
    WaveFormat format_ = Pcm16Format(8000, 1);
};

TEST_F(WavePreScreenTest, OpeningTwiceOpensOneDeviceAndClosingClosesIt) {
    Wave wave(&window_, &events_);
    EXPECT_EQ(wave.PreScreen(), kFalse);
    ASSERT_EQ(wave.OpenPreScreen(format_), 0);
    EXPECT_EQ(wave.OpenPreScreen(format_), 0);
    EXPECT_EQ(backend_->Opens(), 1);
    EXPECT_EQ(wave.PreScreen(), kTrue);
    EXPECT_EQ(wave.IsPreScreen(), kTrue);

    EXPECT_EQ(wave.ClosePreScreen(), 0);
    EXPECT_EQ(backend_->Live(), 0);
    EXPECT_EQ(wave.PreScreen(), kFalse);
    EXPECT_EQ(wave.ClosePreScreen(), 0);
    EXPECT_TRUE(events_.errors.empty());

    // A format the device refuses: its code, nothing open.
    WaveFormat broken = format_;
    broken.nBlockAlign = 3;
    EXPECT_EQ(wave.OpenPreScreen(broken), WAVERR_BADFORMAT);
    EXPECT_EQ(wave.PreScreen(), kFalse);
    EXPECT_EQ(backend_->Opens(), 1);
}

TEST_F(WavePreScreenTest, ForwardedBuffersArePlayedUnchangedAndInOrder) {
    Wave wave(&window_, &events_);
    ASSERT_EQ(wave.OpenPreScreen(format_), 0);
    std::vector<uint8_t> expected;
    // Two rounds of the three capture indices, each buffer arriving as the
    // previous one has played (the capture's own pace).
    for (int n = 0; n < 6; ++n) {
        std::vector<uint8_t> buffer = Captured(static_cast<uint8_t>(n * 40));
        WaveMonitorProbe::Forward(wave, n % 3, buffer);
        expected.insert(expected.end(), buffer.begin(), buffer.end());
        // The capture device refills its block at once: the output has its own copy.
        std::fill(buffer.begin(), buffer.end(), 0xEE);
        clock_->Advance(std::chrono::milliseconds(500));
    }
    EXPECT_EQ(backend_->Rendered(), expected);
    EXPECT_TRUE(events_.errors.empty());
    EXPECT_EQ(wave.ClosePreScreen(), 0);
    EXPECT_TRUE(events_.errors.empty());
}

TEST_F(WavePreScreenTest, AnOutputThatFellBehindSkipsABufferAndKeepsGoing) {
    Wave wave(&window_, &events_);
    ASSERT_EQ(wave.OpenPreScreen(format_), 0);
    const std::vector<uint8_t> first = Captured(1);
    WaveMonitorProbe::Forward(wave, 0, first);
    // The same index again while its buffer is still queued.
    WaveMonitorProbe::Forward(wave, 0, Captured(2));
    EXPECT_EQ(events_.errors, std::vector<std::string>{"WindowProcIn:waveOutUnprepareHeader"});
    EXPECT_EQ(events_.errorCodes, std::vector<int32_t>{WAVERR_STILLPLAYING});
    const std::vector<uint8_t> third = Captured(3);
    WaveMonitorProbe::Forward(wave, 1, third);
    clock_->Advance(std::chrono::seconds(2));

    std::vector<uint8_t> expected = first;
    expected.insert(expected.end(), third.begin(), third.end());
    EXPECT_EQ(backend_->Rendered(), expected);

    // Closing while a buffer plays hands it back without complaint.
    WaveMonitorProbe::Forward(wave, 2, Captured(4));
    EXPECT_EQ(wave.ClosePreScreen(), 0);
    EXPECT_EQ(events_.errors.size(), 1u);
    EXPECT_EQ(backend_->Live(), 0);
}

TEST_F(WavePreScreenTest, ADestroyedControlStopsItsMonitoringOutput) {
    {
        Wave wave(&window_, &events_);
        ASSERT_EQ(wave.OpenPreScreen(format_), 0);
        WaveMonitorProbe::Forward(wave, 0, Captured(9));
        EXPECT_EQ(backend_->Live(), 1);
    }
    EXPECT_EQ(backend_->Live(), 0);
    clock_->Advance(std::chrono::seconds(1));  // no device left reading freed blocks
    window_.Pump();
}

}  // namespace
}  // namespace sonvel

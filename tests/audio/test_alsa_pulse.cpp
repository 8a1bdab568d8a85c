// The ALSA backend and mixer against a real sound server: a private
// PulseAudio with a null sink, which ALSA's "default" reaches through the
// pulse plugin. It keeps real time, so these checks take a few seconds. Only
// lower bounds on time: a slow machine must not fail them.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/alsa/alsa_backend.h"
#include "audio/alsa/mixer.h"
#include "audio/devices/wave_device.h"

extern char** environ;

namespace sonvel {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr WaveFormat kFormat = Pcm16Format(8000, 1);
constexpr uint32_t kSecondBytes = 16000;
constexpr auto kSecond = std::chrono::milliseconds(1000);
constexpr auto kRealTimeFloor = std::chrono::milliseconds(800);
// Waits end at this only when something is broken.
constexpr auto kGiveUp = std::chrono::seconds(20);

bool WaitUntil(const std::function<bool()>& done) {
    const auto deadline = Clock::now() + kGiveUp;
    while (!done()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class PulseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "sonvel_pulse_XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        home_ = pattern;
        // The daemon and this process's pulse client meet in the private folder.
        ::setenv("HOME", home_.c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", home_.c_str(), 1);
        ::unsetenv("PULSE_SERVER");
        ::unsetenv("ALSA_CONFIG_PATH");

        std::vector<std::string> args = {"pulseaudio",
                                         "-n",
                                         "--daemonize=no",
                                         "--exit-idle-time=-1",
                                         "--load=module-null-sink",
                                         "--load=module-native-protocol-unix",
                                         "--log-level=error"};
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        if (::posix_spawnp(&daemon_, "pulseaudio", nullptr, nullptr, argv.data(), environ) != 0) {
            daemon_ = 0;
            GTEST_SKIP() << "SKIPPED: pulseaudio could not be started (is it installed? "
                            "scripts/install-deps.sh lists it)";
        }
        const fs::path socket = home_ / "pulse" / "native";
        const bool up = WaitUntil([&] {
            int status = 0;
            if (::waitpid(daemon_, &status, WNOHANG) == daemon_) {
                daemon_ = 0;
                return true;
            }
            return fs::exists(socket);
        });
        if (!up || daemon_ == 0) {
            GTEST_SKIP() << "SKIPPED: pulseaudio did not come up (no socket at " << socket << ")";
        }
        backend_ = MakeAlsaBackend();
        if (backend_->Count(WaveDirection::kOutput) == 0) {
            GTEST_SKIP() << "SKIPPED: ALSA does not reach pulseaudio (libasound2-plugins missing?)";
        }
    }

    void TearDown() override {
        if (registered_) {
            UnregisterDeviceBackend(backend_);
        }
        backend_.reset();
        if (daemon_ != 0) {
            ::kill(daemon_, SIGTERM);
            int status = 0;
            ::waitpid(daemon_, &status, 0);
        }
        std::error_code ignored;
        fs::remove_all(home_, ignored);
    }

    // Makes the backend the first real one, so its default is device 0.
    void Register() {
        RegisterDeviceBackend(backend_);
        registered_ = true;
    }

    fs::path home_;
    pid_t daemon_ = 0;
    std::shared_ptr<DeviceBackend> backend_;
    bool registered_ = false;
};

TEST_F(PulseTest, PlaysOneSecondThroughWaveOutInRealTime) {
    Register();
    WAVEOUTCAPS caps;
    ASSERT_EQ(waveOutGetDevCaps(0, &caps), MMSYSERR_NOERROR);
    HWAVEOUT handle = 0;
    ASSERT_EQ(waveOutOpen(&handle, 0, kFormat, nullptr, CALLBACK_NULL), MMSYSERR_NOERROR);
    std::vector<uint8_t> sound(kSecondBytes, 0);
    std::vector<WAVEHDR> headers(5);
    const auto start = Clock::now();
    for (size_t i = 0; i < headers.size(); ++i) {
        headers[i].lpData = sound.data() + i * kSecondBytes / 5;
        headers[i].dwBufferLength = kSecondBytes / 5;
        ASSERT_EQ(waveOutPrepareHeader(handle, &headers[i]), MMSYSERR_NOERROR);
        ASSERT_EQ(waveOutWrite(handle, &headers[i]), MMSYSERR_NOERROR);
    }
    ASSERT_TRUE(WaitUntil([&] { return (headers.back().dwFlags & WHDR_DONE) != 0; }));
    MMTIME time;
    time.wType = TIME_BYTES;
    ASSERT_EQ(waveOutGetPosition(handle, &time), MMSYSERR_NOERROR);
    EXPECT_EQ(time.value, kSecondBytes);
    ASSERT_EQ(waveOutClose(handle), MMSYSERR_NOERROR);  // plays out what the card holds
    EXPECT_GE(Clock::now() - start, kRealTimeFloor);
}

TEST_F(PulseTest, CapturesOneSecondAsEightThousandFrames) {
    Register();
    HWAVEIN handle = 0;
    ASSERT_EQ(waveInOpen(&handle, 0, kFormat, nullptr, CALLBACK_NULL), MMSYSERR_NOERROR);
    std::vector<uint8_t> data(kSecondBytes);
    WAVEHDR header;
    header.lpData = data.data();
    header.dwBufferLength = kSecondBytes;
    ASSERT_EQ(waveInPrepareHeader(handle, &header), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(handle, &header), MMSYSERR_NOERROR);
    const auto start = Clock::now();
    ASSERT_EQ(waveInStart(handle), MMSYSERR_NOERROR);
    ASSERT_TRUE(WaitUntil([&] { return (header.dwFlags & WHDR_DONE) != 0; }));
    EXPECT_GE(Clock::now() - start, kRealTimeFloor);
    EXPECT_EQ(header.dwBytesRecorded / kFormat.nBlockAlign, 8000u);
    EXPECT_EQ(waveInReset(handle), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(handle), MMSYSERR_NOERROR);
}

TEST_F(PulseTest, AStallLongerThanTheBufferIsRecoveredAndCounted) {
    std::unique_ptr<OutputSink> sink;
    ASSERT_EQ(backend_->OpenOutput(0, kFormat, &sink), MMSYSERR_NOERROR);
    // More than the buffer holds, so the sound server has started playing.
    const std::vector<uint8_t> piece(kSecondBytes / 2, 0);
    const uint64_t before = AlsaRecoveredXruns();
    sink->Render(piece.data(), piece.size());
    // Far longer than the card's buffer: it must run dry.
    std::this_thread::sleep_for(kSecond / 2);
    sink->Render(piece.data(), piece.size());
    sink->Render(piece.data(), piece.size());
    EXPECT_GT(AlsaRecoveredXruns(), before);
}

TEST_F(PulseTest, MixerSetsAndReadsBackSpeakerAndMicrophone) {
    std::unique_ptr<Mixer> mixer;
    ASSERT_EQ(Mixer::Open("default", &mixer), MMSYSERR_NOERROR);
    ASSERT_TRUE(mixer->Has(MixerRole::kSpeaker));
    EXPECT_EQ(mixer->MaxVolume(MixerRole::kSpeaker), kMixerFullScale);
    for (MixerRole role : {MixerRole::kSpeaker, MixerRole::kMicrophone}) {
        for (uint32_t value : {0u, 650u * 50, kMixerFullScale}) {
            ASSERT_EQ(mixer->SetVolume(role, value), MMSYSERR_NOERROR);
            uint32_t read = 0;
            ASSERT_EQ(mixer->GetVolume(role, &read), MMSYSERR_NOERROR);
            EXPECT_NEAR(read, value, 2);
        }
        EXPECT_EQ(mixer->SetVolume(role, kMixerFullScale + 1), MIXERR_INVALVALUE);
    }
    // The sound server has no line input.
    EXPECT_FALSE(mixer->Has(MixerRole::kLine));
    EXPECT_EQ(mixer->MaxVolume(MixerRole::kLine), 0u);
    EXPECT_EQ(mixer->SetVolume(MixerRole::kLine, 100), MIXERR_INVALLINE);
}

}  // namespace
}  // namespace sonvel

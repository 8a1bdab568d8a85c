// The ALSA backend and mixer against a real sound server: a private
// PulseAudio with a null sink, which ALSA's "default" reaches through the
// pulse plugin. It keeps real time, so these checks take a few seconds. Only
// lower bounds on time: a slow machine must not fail them. The idle null
// sink works in blocks of up to 2 s, so a new stream may wait that long for
// its first sound.
#include <fcntl.h>
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
#include "audio/riff/wave_file.h"

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

    // Runs the sonvel tool against this server; its exit status, -1 when it
    // did not run to an end.
    int RunSonvel(std::vector<std::string> args) {
        ::unsetenv("SONVEL_NO_ALSA");
        args.insert(args.begin(), SONVEL_TOOL_PATH);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        const std::string log = (home_ / "sonvel.log").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_t pid = 0;
        const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        if (spawned != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
            return -1;
        }
        return WEXITSTATUS(status);
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

// The tool's timed recording counts the sound it stored, not the wall clock
// from before the server delivered any.
TEST_F(PulseTest, TimedRecordingHoldsTheSecondsAskedFor) {
    const std::string file = (home_ / "two_seconds.wav").string();
    ASSERT_EQ(RunSonvel({"record", "--device", "0", "--seconds", "2", file}), 0);
    WaveFileInfo info;
    ASSERT_EQ(GetWaveFileInfo(file.c_str(), &info), MMSYSERR_NOERROR);
    EXPECT_NEAR(info.dataSize / static_cast<double>(kSecondBytes), 2.0, 0.2);
}

TEST_F(PulseTest, TheDefaultDeviceIsNamedAfterTheServer) {
    Register();
    WAVEINCAPS in;
    ASSERT_EQ(waveInGetDevCaps(0, &in), MMSYSERR_NOERROR);
    EXPECT_STREQ(in.szPname, "Default (PulseAudio)");
    WAVEOUTCAPS out;
    ASSERT_EQ(waveOutGetDevCaps(0, &out), MMSYSERR_NOERROR);
    EXPECT_STREQ(out.szPname, "Default (PulseAudio)");
}

TEST(AlsaDeviceName, IsReadableWithinTheCapabilitiesField) {
    struct Case {
        const char* pcm;
        const char* description;
        const char* name;
    };
    const Case cases[] = {
        {"default", "Playback/recording through the PulseAudio sound server",
         "Default (PulseAudio)"},
        {"default", "Default ALSA Output (currently PipeWire Media Server)", "Default (PipeWire)"},
        {"default", "Playback/recording through the Extraordinarily Long Audio Server",
         "Default Extraordinarily Long"},
        {"default", "", "Default Audio Device"},
        {"default", "Default Audio Device", "Default Audio Device"},
        {"pulse", "PulseAudio Sound Server", "PulseAudio Sound Server"},
        // The first line names the card; the second says what ALSA makes of it.
        {"sysdefault:CARD=PCH", "HDA Intel PCH, ALC892 Analog\nDefault Audio Device",
         "HDA Intel PCH, ALC892 Analog"},
        {"plughw:CARD=H340,DEV=0", "Logitech USB Headset H340, USB Audio\nHardware device",
         "Logitech USB Headset H340"},
        {"plughw:CARD=X,DEV=0", "  Padded Card Name  ", "Padded Card Name"},
        {"plughw:CARD=X,DEV=0", "", "plughw:CARD=X,DEV=0"},
        {"x", "Averyveryverylongcardnamewithoutanyblanks", "Averyveryverylongcardnamewithou"},
        // A cut between characters never splits one: each "é" is two bytes.
        {"x", "ééééééééééééééééé", "ééééééééééééééé"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        const std::string name = ReadableDeviceName(c.pcm, c.description);
        EXPECT_EQ(name, c.name);
        EXPECT_LE(name.size(), static_cast<size_t>(kMaxPnameLen - 1));
    }
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

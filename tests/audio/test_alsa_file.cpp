// The ALSA backend and mixer without a sound card or a daemon: a private ALSA
// configuration whose "default" is a file plugin (capture reads a file,
// playback writes one), and one with no device at all.
#include <alsa/asoundlib.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

#include "audio/alsa/alsa_backend.h"
#include "audio/alsa/mixer.h"

namespace sonvel {
namespace {

namespace fs = std::filesystem;

constexpr WaveFormat kFormat = Pcm16Format(8000, 1);
constexpr size_t kSecondBytes = 16000;

std::vector<uint8_t> Ramp(size_t bytes) {
    std::vector<uint8_t> data(bytes);
    for (size_t i = 0; i < bytes; ++i) {
        data[i] = static_cast<uint8_t>(i * 7 + i / 256);
    }
    return data;
}

std::vector<uint8_t> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Collects what a capture delivers until it has enough.
class Collector : public InputSink {
  public:
    void Deliver(const uint8_t* data, size_t bytes) override {
        std::lock_guard lock(mutex_);
        bytes_.insert(bytes_.end(), data, data + bytes);
        cv_.notify_all();
    }
    // Generous: only a broken capture gets near it.
    bool WaitFor(size_t bytes) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, std::chrono::seconds(20), [&] { return bytes_.size() >= bytes; });
    }
    std::vector<uint8_t> Bytes() {
        std::lock_guard lock(mutex_);
        return bytes_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<uint8_t> bytes_;
};

class AlsaConfigTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "sonvel_alsa_XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        snd_config_update_free_global();
        ::unsetenv("ALSA_CONFIG_PATH");
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // Makes `text` ALSA's whole configuration from now on.
    void UseConfig(const std::string& text) {
        const fs::path path = dir_ / "asound.conf";
        std::ofstream(path) << text;
        ::setenv("ALSA_CONFIG_PATH", path.c_str(), 1);
        snd_config_update_free_global();
    }

    void UseFileDefault() {
        std::ofstream(dir_ / "mic.raw", std::ios::binary)
            .write(reinterpret_cast<const char*>(mic_.data()),
                   static_cast<std::streamsize>(mic_.size()));
        UseConfig(
            "pcm.null { type null }\n"
            "pcm.!default { type file slave.pcm \"null\" file \"" +
            (dir_ / "played.raw").string() + "\" infile \"" + (dir_ / "mic.raw").string() +
            "\" format \"raw\"\n"
            "  hint.description \"Test Card, Analog\nfile backed\" }\n"
            "pcm.speakers { type null hint { description \"Speakers only\" } }\n");
    }

    fs::path dir_;
    const std::vector<uint8_t> mic_ = Ramp(kSecondBytes);
};

TEST_F(AlsaConfigTest, ListsDefaultFirstUnderItsDescriptionAndLeavesNullOut) {
    UseFileDefault();
    const auto devices = ListAlsaDevices();
    ASSERT_FALSE(devices.empty());
    EXPECT_EQ(devices[0].pcm, "default");
    EXPECT_EQ(devices[0].name, "Test Card, Analog");
    EXPECT_TRUE(devices[0].capture);
    EXPECT_TRUE(devices[0].playback);
    for (const AlsaDevice& device : devices) {
        EXPECT_NE(device.pcm, "null");
        EXPECT_FALSE(device.pcm.empty());
    }

    const auto backend = MakeAlsaBackend();
    for (WaveDirection direction : {WaveDirection::kInput, WaveDirection::kOutput}) {
        EXPECT_EQ(backend->DefaultDevice(direction), 0);
        DeviceDescription description;
        ASSERT_EQ(backend->Describe(direction, 0, &description), MMSYSERR_NOERROR);
        EXPECT_EQ(description.name, "Test Card, Analog");
        EXPECT_GE(description.channels, 1);
        EXPECT_NE(description.formats, 0u);
        EXPECT_EQ(backend->Describe(direction, backend->Count(direction), &description),
                  MMSYSERR_BADDEVICEID);
    }
}

TEST_F(AlsaConfigTest, QueryTakesPlainPcmAndRefusesTheRest) {
    UseFileDefault();
    const auto backend = MakeAlsaBackend();
    ASSERT_GE(backend->Count(WaveDirection::kInput), 1);
    WaveFormat eight_bit = Pcm16Format(8000, 1);
    eight_bit.wBitsPerSample = 8;
    eight_bit.nBlockAlign = 1;
    eight_bit.nAvgBytesPerSec = 8000;
    WaveFormat three_channels = Pcm16Format(8000, 3);
    WaveFormat gsm = Pcm16Format(8000, 1);
    gsm.wFormatTag = 49;
    for (WaveDirection direction : {WaveDirection::kInput, WaveDirection::kOutput}) {
        EXPECT_EQ(backend->Query(direction, 0, kFormat), MMSYSERR_NOERROR);
        EXPECT_EQ(backend->Query(direction, 0, Pcm16Format(44100, 2)), MMSYSERR_NOERROR);
        EXPECT_EQ(backend->Query(direction, 0, eight_bit), MMSYSERR_NOERROR);
        EXPECT_EQ(backend->Query(direction, 0, three_channels), WAVERR_BADFORMAT);
        EXPECT_EQ(backend->Query(direction, 0, gsm), WAVERR_BADFORMAT);
        EXPECT_EQ(backend->Query(direction, 99, kFormat), MMSYSERR_BADDEVICEID);
    }
}

TEST_F(AlsaConfigTest, CaptureDeliversExactlyTheFileOnItsOwnThread) {
    UseFileDefault();
    const auto backend = MakeAlsaBackend();
    std::unique_ptr<InputSource> source;
    ASSERT_EQ(backend->OpenInput(0, kFormat, &source), MMSYSERR_NOERROR);
    EXPECT_FALSE(source->Paced());
    Collector collector;
    source->Connect(&collector);
    ASSERT_TRUE(collector.WaitFor(kSecondBytes));
    source->Connect(nullptr);
    const size_t after_disconnect = collector.Bytes().size();
    // The plugin repeats the last period past the end of its file: compare the file's length.
    auto got = collector.Bytes();
    got.resize(kSecondBytes);
    EXPECT_EQ(got, mic_);
    source.reset();  // stops the thread
    EXPECT_EQ(collector.Bytes().size(), after_disconnect);
}

TEST_F(AlsaConfigTest, PlaybackWritesEveryByteInOrderAndPacesItself) {
    UseFileDefault();
    const auto backend = MakeAlsaBackend();
    std::unique_ptr<OutputSink> sink;
    ASSERT_EQ(backend->OpenOutput(0, kFormat, &sink), MMSYSERR_NOERROR);
    EXPECT_TRUE(sink->PacesItself());
    const auto sound = Ramp(kSecondBytes);
    // Odd pieces, one splitting a frame.
    size_t offset = 0;
    for (size_t piece : {1u, 319u, 4000u, 11680u}) {
        sink->Render(sound.data() + offset, piece);
        offset += piece;
    }
    ASSERT_EQ(offset, sound.size());
    sink.reset();
    EXPECT_EQ(ReadAll(dir_ / "played.raw"), sound);
}

TEST_F(AlsaConfigTest, ListsOnlyEntriesThatOpenAndNoWrapperPlugins) {
    UseConfig(
        "pcm.null { type null }\n"
        "pcm.speakers { type null hint { description \"Speakers only\" } }\n"
        "pcm.upmix { type null hint { description \"Plugin for channel upmix\" } }\n"
        "pcm.gone { type hw card 97 hint { description \"Unplugged card\" } }\n");
    std::vector<std::string> listed;
    for (const AlsaDevice& device : ListAlsaDevices()) {
        listed.push_back(device.pcm);
    }
    EXPECT_EQ(listed, std::vector<std::string>({"speakers"}));
}

TEST_F(AlsaConfigTest, WithoutAnyDeviceNothingIsListedAndOpensGiveCodes) {
    UseConfig("pcm.null { type null }\n");
    EXPECT_TRUE(ListAlsaDevices().empty());
    const auto backend = MakeAlsaBackend();
    EXPECT_EQ(backend->Count(WaveDirection::kInput), 0);
    EXPECT_EQ(backend->Count(WaveDirection::kOutput), 0);
    EXPECT_EQ(backend->DefaultDevice(WaveDirection::kOutput), std::nullopt);
    std::unique_ptr<OutputSink> sink;
    EXPECT_EQ(backend->OpenOutput(0, kFormat, &sink), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(sink, nullptr);

    std::unique_ptr<Mixer> mixer;
    EXPECT_NE(Mixer::Open("default", &mixer), MMSYSERR_NOERROR);
    EXPECT_EQ(mixer, nullptr);

    const int before = CountRealDevices(WaveDirection::kOutput);
    RegisterAlsaBackend();  // an empty list registers nothing
    EXPECT_EQ(CountRealDevices(WaveDirection::kOutput), before);
}

TEST(AlsaResultTest, MapsMissingDevicesToBadDeviceAndBusyToAllocated) {
    EXPECT_EQ(AlsaResult(0), MMSYSERR_NOERROR);
    EXPECT_EQ(AlsaResult(-ENOENT), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(AlsaResult(-EBUSY), MMSYSERR_ALLOCATED);
    EXPECT_EQ(AlsaResult(-ENODEV), MMSYSERR_NODRIVER);
    EXPECT_EQ(AlsaResult(-EIO), MMSYSERR_ERROR);
}

TEST(AlsaRegisterTest, SkippedWhenTheEnvironmentSaysSo) {
    ::setenv("SONVEL_NO_ALSA", "1", 1);
    const int before = CountRealDevices(WaveDirection::kInput);
    RegisterAlsaBackend();
    EXPECT_EQ(CountRealDevices(WaveDirection::kInput), before);
    ::unsetenv("SONVEL_NO_ALSA");
}

TEST(MixerScaleTest, SpreadsFullScaleOverTheElementRange) {
    struct Range {
        long min;
        long max;
    };
    for (Range range : {Range{0, 65536}, Range{0, 31}, Range{-4000, 0}, Range{-10, 10}}) {
        SCOPED_TRACE(testing::Message() << range.min << ".." << range.max);
        EXPECT_EQ(ScaleToElement(0, range.min, range.max), range.min);
        EXPECT_EQ(ScaleToElement(kMixerFullScale, range.min, range.max), range.max);
        EXPECT_EQ(ScaleToElement(kMixerFullScale + 1000, range.min, range.max), range.max);
        EXPECT_EQ(ScaleFromElement(range.min, range.min, range.max), 0u);
        EXPECT_EQ(ScaleFromElement(range.max, range.min, range.max), kMixerFullScale);
        // Volumes in the steps callers use come back to the nearest element step.
        for (uint32_t value : {650u, 32500u, 64350u}) {
            const long level = ScaleToElement(value, range.min, range.max);
            EXPECT_GE(level, range.min);
            EXPECT_LE(level, range.max);
            const double step = 65535.0 / static_cast<double>(range.max - range.min);
            EXPECT_NEAR(ScaleFromElement(level, range.min, range.max), value, step / 2 + 1);
        }
    }
    EXPECT_EQ(ScaleFromElement(5, 3, 3), 0u);  // an element without a range
}

}  // namespace
}  // namespace sonvel

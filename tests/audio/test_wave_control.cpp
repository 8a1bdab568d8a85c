// The Wave control's own surface: error texts, properties, attaching to the
// window, the subclassing answer, the bit-reversal table and the methods
// whose pipelines are not there yet.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "audio/host/event_loop_window.h"
#include "audio/wave/wave.h"

namespace sonvel {
namespace {

// Only the virtual devices, whatever the machine has.
const bool kNoAlsa = setenv("SONVEL_NO_ALSA", "1", 1) == 0;

struct Sink : WaveEvents {
    std::vector<std::string> changes;
    void PropertyChanged(const std::string& name) override { changes.push_back(name); }
};

TEST(WaveErrText, OwnCodesHaveTheirExactTexts) {
    ASSERT_TRUE(kNoAlsa);
    EventLoopWindow window;
    Wave wave(&window);
    EXPECT_EQ(wave.WaveInErrText(-202),
              "Sonvel - Control already recording, use the StopRecord function to stop "
              "recording.");
    EXPECT_EQ(wave.WaveOutErrText(-201),
              "Sonvel - Control already playing, use the StopPlay function to stop playing.");
    EXPECT_EQ(wave.WaveOutErrText(-101), "Sonvel - Error Open File");
    EXPECT_EQ(wave.WaveInErrText(-102), "Sonvel - Not wave file");
}

TEST(WaveErrText, EveryPlatformCodeHasItsOwnTrimmedTextInBothDirections) {
    EventLoopWindow window;
    Wave wave(&window);
    std::vector<int32_t> codes;
    for (int32_t code = 0; code <= 21; ++code)
        codes.push_back(code);
    for (int32_t code = 32; code <= 35; ++code)
        codes.push_back(code);
    for (int32_t code = 257; code <= 272; ++code)
        codes.push_back(code);
    for (int32_t code = 512; code <= 515; ++code)
        codes.push_back(code);
    for (int32_t code = 1024; code <= 1026; ++code)
        codes.push_back(code);

    std::set<std::string> seen;
    for (int32_t code : codes) {
        const std::string text = wave.WaveOutErrText(code);
        SCOPED_TRACE(code);
        ASSERT_FALSE(text.empty());
        EXPECT_NE(text.front(), ' ');
        EXPECT_NE(text.back(), ' ');
        EXPECT_EQ(text.find('\0'), std::string::npos);
        EXPECT_LT(text.size(), 200u);
        EXPECT_EQ(wave.WaveInErrText(code), text);
        EXPECT_TRUE(seen.insert(text).second) << "shared text: " << text;
    }
    // Success has a text too (the host journals every result).
    EXPECT_FALSE(wave.WaveOutErrText(0).empty());
    // A code nobody defines leaves the platform's buffer blank.
    EXPECT_EQ(wave.WaveInErrText(9999), "");
    EXPECT_EQ(wave.WaveOutErrText(-1), "");
}

TEST(WaveProperties, ChangesSignalOnceAndBooleansAreSixteenBit) {
    EventLoopWindow window;
    Sink sink;
    Wave wave(&window, &sink);
    EXPECT_EQ(wave.MeterIn(), kFalse);

    wave.SetMeterIn(kTrue);
    wave.SetMeterIn(kTrue);
    EXPECT_EQ(sink.changes, std::vector<std::string>{"MeterIn"});
    EXPECT_EQ(wave.MeterIn(), -1);

    // Any non-zero value is the host's true: no change.
    wave.SetMeterIn(1);
    EXPECT_EQ(sink.changes.size(), 1u);
    EXPECT_EQ(wave.MeterIn(), kTrue);

    wave.SetMeterIn(kFalse);
    wave.SetFreqOut(kTrue);
    wave.SetFreqIn(kTrue);
    wave.SetCutSilence(kTrue);
    wave.SetMeterOut(kTrue);
    wave.SetCutSilenceVal(300);
    wave.SetCutSilenceVal(300);
    EXPECT_EQ(sink.changes, (std::vector<std::string>{"MeterIn", "MeterIn", "FreqOut", "FreqIn",
                                                      "CutSilence", "MeterOut", "CutSilenceVal"}));
    EXPECT_EQ(wave.CutSilenceVal(), 300);
    EXPECT_EQ(wave.FreqOut(), kTrue);
    EXPECT_EQ(wave.IsVisIn(), kFalse);
    EXPECT_EQ(wave.IsVisOut(), kFalse);
    EXPECT_EQ(wave.IsPreScreen(), wave.PreScreen());
}

TEST(WaveInitC, RegistersTheFourNotificationsAndReportsNothingPlaying) {
    EventLoopWindow window;
    Wave wave(&window);
    EXPECT_EQ(wave.DonePlay(), kFalse);
    EXPECT_FALSE(wave.InitC());
    EXPECT_EQ(wave.DonePlay(), kTrue);
    EXPECT_EQ(wave.Playing(), kFalse);
    EXPECT_EQ(wave.Recording(), kFalse);
    for (uint32_t message : {MM_WOM_DONE, MM_WOM_CLOSE, MM_WIM_DATA, MM_WIM_CLOSE}) {
        EXPECT_TRUE(window.IsAttached(&wave, message)) << message;
    }
    EXPECT_FALSE(window.IsAttached(&wave, MM_WOM_OPEN));

    EXPECT_FALSE(wave.UnInitC());
    for (uint32_t message : {MM_WOM_DONE, MM_WOM_CLOSE, MM_WIM_DATA, MM_WIM_CLOSE}) {
        EXPECT_FALSE(window.IsAttached(&wave, message)) << message;
    }
    // A second UnInitC has nothing left to remove.
    EXPECT_FALSE(wave.UnInitC());
}

TEST(WaveInitC, AfterUnInitCNotificationsNoLongerReachTheControl) {
    EventLoopWindow window;
    struct Counter : MessageClient {
        int calls = 0;
        int32_t WindowProc(const Notification&) override { return ++calls; }
    } other;
    Wave wave(&window);
    ASSERT_FALSE(wave.InitC());
    // Another client of the same window keeps its handling.
    ASSERT_EQ(window.AttachMessage(&other, MM_WIM_DATA), 0);
    ASSERT_FALSE(wave.UnInitC());
    window.Post({MM_WIM_DATA, 1, nullptr});
    window.Post({MM_WOM_DONE, 2, nullptr});
    EXPECT_EQ(window.Pump(), 2u);
    EXPECT_EQ(other.calls, 1);
    EXPECT_FALSE(window.IsAttached(&wave, MM_WIM_DATA));
}

TEST(WaveInitC, RefusalsSurfaceAsHostErrors) {
    const std::string source = "libsonvel.so.WindowProc";
    {
        Wave wave(nullptr);
        const HostError error = wave.InitC();
        EXPECT_EQ(error.number, 0x80040000u + 13083u);
        EXPECT_EQ(error.description, "Invalid window");
        EXPECT_EQ(error.source, source);
    }
    {
        EventLoopWindow window;
        Wave wave(&window);
        ASSERT_FALSE(wave.InitC());
        const HostError error = wave.InitC();
        EXPECT_EQ(error.number, 0x80040000u + 13082u);
        EXPECT_EQ(error.description, "Message already handled by another class");
        EXPECT_EQ(error.source, source);
        // Still attached once, and removable.
        EXPECT_FALSE(wave.UnInitC());
        EXPECT_FALSE(window.IsAttached(&wave, MM_WOM_DONE));
    }
    {
        EventLoopWindow window;
        Wave wave(&window);
        HostError error;
        std::thread([&] { error = wave.InitC(); }).join();
        EXPECT_EQ(error.number, 0x80040000u + 13084u);
        EXPECT_EQ(error.description, "Can't modify external window");
        EXPECT_FALSE(window.IsAttached(&wave, MM_WOM_DONE));
    }
    {
        EventLoopWindow window;
        window.Close();
        Wave wave(&window);
        const HostError error = wave.InitC();
        EXPECT_EQ(error.number, 0x80040000u + 13081u);
        EXPECT_EQ(error.description, "Can't subclass window");
        EXPECT_FALSE(wave.UnInitC());
    }
}

TEST(WaveInitC, ADestroyedControlLeavesTheWindow) {
    EventLoopWindow window;
    {
        Wave wave(&window);
        ASSERT_FALSE(wave.InitC());
    }
    window.Post({MM_WOM_CLOSE, 1, nullptr});
    window.Post({MM_WIM_CLOSE, 2, nullptr});
    EXPECT_EQ(window.Pump(), 2u);  // nothing left to call: no use after free
}

TEST(WaveSubclass, AlwaysPreprocessesAndAnswersZero) {
    EventLoopWindow window;
    Wave wave(&window);
    wave.SetMsgResponse(emrConsume);
    EXPECT_EQ(wave.MsgResponse(), emrPreprocess);
    ASSERT_FALSE(wave.InitC());
    for (uint32_t message : {MM_WOM_DONE, MM_WOM_CLOSE, MM_WIM_DATA, MM_WIM_CLOSE}) {
        EXPECT_EQ(wave.WindowProc({message, 7, nullptr}), 0);
    }
    EXPECT_EQ(wave.DonePlay(), kTrue);
    EXPECT_EQ(wave.Recording(), kFalse);
}

TEST(WaveBitReversal, ReversesTheLowestTenBits) {
    const auto& table = BitReversalTable();
    ASSERT_EQ(table.size(), 1024u);
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[1], 512);
    EXPECT_EQ(table[2], 256);
    EXPECT_EQ(table[3], 768);
    EXPECT_EQ(table[0x155], 0x2AA);
    EXPECT_EQ(table[1023], 1023);
    std::set<uint16_t> values;
    for (uint32_t i = 0; i < table.size(); ++i) {
        ASSERT_LT(table[i], 1024);
        ASSERT_EQ(table[table[i]], i);
        values.insert(table[i]);
    }
    EXPECT_EQ(values.size(), 1024u);
}

TEST(WaveIdle, MethodsOnAnIdleControlAnswerAndOpenNothing) {
    EventLoopWindow window;
    Wave wave(&window);
    ASSERT_FALSE(wave.InitC());
    std::string file = "/nonexistent/x.wav";
    WaveFormat pcm = Pcm16Format(8000, 1);
    WaveFormat codec = pcm;
    int32_t device = -1, size = 800, position = 10;
    Bool16 vis = kFalse;

    // Playback is there: a missing file is refused, nothing plays to pause.
    EXPECT_EQ(wave.StartPlay(file), kWaveErrOpenFile);
    EXPECT_EQ(wave.StartPlay(file, device, size, vis), kWaveErrOpenFile);
    EXPECT_EQ(wave.StartPlayACM(file, pcm), kWaveErrOpenFile);
    EXPECT_EQ(wave.OpenFile(file), kWaveErrOpenFile);
    EXPECT_EQ(wave.PauseOut(), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(wave.UnPauseOut(), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(wave.StopPlay(), 0);
    EXPECT_EQ(wave.StopPlayProc(), 0);
    // Recording is there (test_wave_record): a file that cannot be created
    // starts nothing; nothing runs to stop.
    EXPECT_EQ(wave.StartRecord(0, file, pcm), 0);
    EXPECT_EQ(wave.StartRecordACM(0, file, pcm, codec, size, vis), 0);
    EXPECT_EQ(wave.PauseIn(), 0);
    EXPECT_EQ(wave.UnPauseIn(), 0);
    EXPECT_EQ(wave.StopRecord(), MMSYSERR_INVALHANDLE);
    // Monitoring is there (test_wave_monitor): without a recording, a
    // playback or an open output there is nothing to open or close.
    EXPECT_EQ(wave.ClosePreScreen(), 0);
    EXPECT_EQ(wave.OpenVisIn(), 0);
    EXPECT_EQ(wave.OpenVisOut(), 0);
    EXPECT_EQ(wave.IsVisIn(), kFalse);
    EXPECT_EQ(wave.IsVisOut(), kFalse);
    EXPECT_EQ(wave.CloseVisIn(), 0);
    EXPECT_EQ(wave.CloseVisOut(), 0);
    EXPECT_EQ(wave.FileSeek(position), kFalse);
    EXPECT_EQ(wave.FileSeekX(position), kFalse);
    EXPECT_EQ(wave.GetPositionSlider(), 0);
    EXPECT_EQ(wave.GetPositionSeconds(), 0);
    EXPECT_EQ(wave.OpenFileIn(file, pcm), kFalse);
    wave.CloseFileIn();
    wave.ShowAboutBox();

    EXPECT_EQ(wave.Playing(), kFalse);
    EXPECT_EQ(wave.Recording(), kFalse);
    EXPECT_EQ(wave.IsPausedIn(), kFalse);
    EXPECT_EQ(wave.IsPausedOut(), kFalse);
    EXPECT_EQ(wave.DonePlay(), kTrue);
    EXPECT_EQ(pcm, Pcm16Format(8000, 1));
    EXPECT_FALSE(wave.UnInitC());
}

}  // namespace
}  // namespace sonvel

namespace sonvel {
namespace {

TEST(WaveMixer, VolumePercentMapsOntoTheMixerScale) {
    EXPECT_EQ(MixerValueForVolume(100), std::optional<uint32_t>(65535));
    EXPECT_EQ(MixerValueForVolume(99), std::optional<uint32_t>(99 * 650));
    EXPECT_EQ(MixerValueForVolume(1), std::optional<uint32_t>(650));
    EXPECT_EQ(MixerValueForVolume(0), std::optional<uint32_t>(0));
    EXPECT_EQ(MixerValueForVolume(101), std::nullopt);
    EXPECT_EQ(MixerValueForVolume(-1), std::nullopt);
}

TEST(WaveMixer, AVolumeAbove100ChangesNothingAndSucceeds) {
    // Returns before any mixer is opened, so it holds with or without one.
    EventLoopWindow window;
    Wave wave(&window);
    EXPECT_EQ(wave.SetVol(101), 0);
    EXPECT_EQ(wave.SetMic(250), 0);
    EXPECT_EQ(wave.SetLine(101), 0);
}

}  // namespace
}  // namespace sonvel

#pragma once
// The Wave control's implementation behind the exported class (audio/wave.h),
// which forwards every call here. It lives on the host's thread; device
// notifications reach it through the MessageWindow it is given.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/acm/acm.h"
#include "audio/base/api.h"
#include "audio/base/mm_result.h"
#include "audio/base/wave_format.h"
#include "audio/devices/wave_device.h"
#include "audio/host/message_window.h"
#include "audio/riff/mmio.h"
#include "audio/wave.h"
#include "audio/wave/silence_cutter.h"

namespace sonvel {

class WaveImpl {
  public:
    // `client` is the exported control, which is what the window's handler
    // registry holds. `window` is where the control's devices post their
    // notifications; it must outlive the instance. `events` may be null.
    WaveImpl(MessageClient* client, MessageWindow* window, WaveEvents* events);
    ~WaveImpl();
    WaveImpl(const WaveImpl&) = delete;
    WaveImpl& operator=(const WaveImpl&) = delete;

    // The implementation of an exported control (for tests that probe it).
    static WaveImpl& Of(Wave& wave) { return *wave.impl_; }
    static const WaveImpl& Of(const Wave& wave) { return *wave.impl_; }

    void SetEvents(WaveEvents* events);
    // Sites the control on its host's window: for hosts that create it
    // through the class factory, before InitC.
    void SetWindow(MessageWindow* window);

    // ---- Methods, in slot order ----
    //
    // Recording lives in wave_record.cpp, playback in wave_play.cpp,
    // visualisation, live monitoring and silence cutting in wave_monitor.cpp,
    // the rest in wave.cpp. Code-returning methods answer 0 or a platform
    // code; a call that does not fit the control's state opens nothing.
    std::string WaveOutErrText(int32_t errNum) const;
    int32_t PauseOut();
    int32_t UnPauseOut();
    int32_t PauseIn();
    int32_t UnPauseIn();
    Bool16 IsPausedOut() const;
    Bool16 IsPausedIn() const;
    Bool16 DonePlay() const;
    HostError InitC();
    HostError UnInitC();
    int32_t StopPlayProc();
    int32_t StopPlay();
    int32_t StartPlay(std::string& file, int32_t& device, int32_t& bufferSize, Bool16& visOut);
    int32_t StartPlayACM(std::string& file, WaveFormat& playFormat, int32_t& device,
                         int32_t& bufferSize, Bool16& visOut);
    int32_t OpenFile(std::string& waveFile);
    int32_t ClosePreScreen();
    Bool16 PreScreen() const;
    int32_t OpenPreScreen(WaveFormat& waveFormatPreScreen, int32_t device = WAVE_MAPPER);
    int32_t CheckDeviceFormat(int32_t device, INOUT& inOut, WaveFormat& chkFormat);
    int32_t GetPositionSlider();
    Bool16 FileSeek(int32_t& position);
    int32_t GetPositionSliderX();
    Bool16 FileSeekX(int32_t& secPosition);
    int32_t GetPositionSecondsX();
    int32_t GetPositionSeconds();
    std::string SecondsAsTimeString(int32_t& seconds);
    Bool16 Playing() const;
    std::string WaveInErrText(int32_t errNum) const;
    int32_t StartRecord(int32_t device, const std::string& fileName, WaveFormat& waveFormatX,
                        int32_t& bufferSize, Bool16& visIn);
    int32_t StopRecord();
    int32_t StartRecordACM(int32_t device, const std::string& fileName, WaveFormat& inputFormat,
                           WaveFormat& codecFormat, int32_t& bufferSize, Bool16& visIn);
    int32_t CloseVisIn();
    int32_t CloseVisOut();
    int32_t OpenVisOut();
    int32_t OpenVisIn();
    int32_t ACMCheck(WaveFormat& srcFormat, WaveFormat& dstFormat);
    Bool16 Recording() const;
    int32_t GetDetailsDevice(int32_t device, WaveDeviceDetails& deviceDetails);
    int32_t GetMaxVol();
    int32_t SetVol(int32_t vol);
    int32_t SetMic(int32_t vol);
    int32_t SetLine(int32_t vol);
    int32_t GetDetailsWaveFile(const std::string& waveFile, WaveFileDetails& details);
    int32_t NumOfWaveDevices();
    void ShowAboutBox();
    Bool16 OpenFileIn(const std::string& soundFile, WaveFormat& waveFormatX);
    void CloseFileIn();

    // The optional arguments of the methods above, left out.
    int32_t StartPlay(std::string& file);
    int32_t StartPlayACM(std::string& file, WaveFormat& playFormat);
    int32_t StartRecord(int32_t device, const std::string& fileName, WaveFormat& waveFormatX);
    int32_t StartRecordACM(int32_t device, const std::string& fileName, WaveFormat& inputFormat,
                           WaveFormat& codecFormat);

    // ---- Properties, in slot order (a setter signals only a change) ----
    Bool16 FreqOut() const { return freqOut_; }
    void SetFreqOut(Bool16 value);
    Bool16 FreqIn() const { return freqIn_; }
    void SetFreqIn(Bool16 value);
    Bool16 IsVisIn() const { return visIn_; }
    Bool16 IsVisOut() const { return visOut_; }
    Bool16 IsPreScreen() const { return preScreen_; }
    Bool16 CutSilence() const { return cutSilence_; }
    void SetCutSilence(Bool16 value);
    int32_t CutSilenceVal() const { return cutSilenceVal_; }
    void SetCutSilenceVal(int32_t value);
    Bool16 MeterOut() const { return meterOut_; }
    void SetMeterOut(Bool16 value);
    Bool16 MeterIn() const { return meterIn_; }
    void SetMeterIn(Bool16 value);

    // ---- Subclassing (the control handles its window's notifications) ----
    EMsgResponse MsgResponse() const { return emrPreprocess; }
    void SetMsgResponse(EMsgResponse /*ignored*/) {}
    int32_t WindowProc(const Notification& notification);

    // ---- Used by the pipelines ----
    // Opens a non-real-time conversion stream into `slot`.
    MMRESULT ACMOpen(HACMSTREAM& slot, const WaveFormat& src, const WaveFormat& dst);
    // Resets and closes `stream` (cleared when the close succeeds); the
    // close's code when non-zero, else the reset's.
    MMRESULT ACMClose(HACMSTREAM& stream);

  private:
    // Notification handlers of the capture and playback sides.
    void WindowProcIn(const Notification& notification);
    void WindowProcOut(const Notification& notification);

    void SetFlagProperty(Bool16& field, Bool16 value, const char* name);
    WaveEvents& Events() const;

    MessageClient* client_;
    MessageWindow* window_;
    WaveEvents* events_;
    MessageWindow* attachedWindow_ = nullptr;  // the window taken at InitC

    // Properties shared by the pipelines.
    Bool16 freqOut_ = kFalse;
    Bool16 freqIn_ = kFalse;
    Bool16 cutSilence_ = kFalse;
    int32_t cutSilenceVal_ = 0;
    Bool16 meterOut_ = kFalse;
    Bool16 meterIn_ = kFalse;

    // ---- Recording (wave_record.cpp) ----
    // Appends to the output file when one is open; nothing otherwise.
    void WriteRecordedData(const uint8_t* bytes, uint32_t count);
    MMRESULT StartRecording(int32_t device);
    // Converts `length` bytes through `stream` into `block`; `blockLength` is
    // what the conversion produced. The code of the last step that failed.
    MMRESULT acmConverIn(HACMSTREAM stream, uint8_t* source, uint32_t length,
                         std::vector<uint8_t>& block, uint32_t& blockLength);
    bool WriteWaveFormatHeader(const WaveFormat& format);
    void StoreRecorded(const uint8_t* bytes, uint32_t count);
    // Puts the sizes of what is on disk into the file's header.
    void SyncRecordedFile();
    // One filled capture buffer: monitor, analyse, store, give back.
    void HandleCapturedBuffer(const Notification& notification);
    // The analysis lets the host's loop run; a buffer that arrives meanwhile
    // waits here, so buffers are stored in the order they were captured.
    bool handlingCapture_ = false;
    std::vector<Notification> deferredCaptures_;
    WaveFormat captureFormat_{};  // what the input device delivers
    WaveFormat codecFormat_{};    // what an ACM recording stores
    int32_t bufferSizeIn_ = 8000;
    bool recording_ = false;
    bool pausedIn_ = false;
    bool captureActive_ = false;
    bool writingFile_ = false;
    bool acmRecording_ = false;
    HWAVEIN captureDevice_ = 0;
    int captureIndex_ = 2;
    std::array<WAVEHDR, 4> inHeaders_{};
    std::array<std::vector<uint8_t>, 3> inBlocks_;
    HACMSTREAM recordStream_ = nullptr;
    HMMIO fileIn_ = nullptr;
    MMCKINFO riffChunk_{};
    MMCKINFO chunkIn_{};
    uint32_t storedBytes_ = 0;   // accepted by the file since the header
    uint32_t durableBytes_ = 0;  // on disk, and what the header claims at most
    uint32_t unsyncedBytes_ = 0;
    bool writeFailed_ = false;

    // ---- Playback (wave_play.cpp) ----
    WaveFormat fileFormat_{};    // the playing file's format
    WaveFormat deviceFormat_{};  // what the output device is opened with
    int32_t bufferSizeOut_ = 800;
    bool playing_ = false;  // what Playing() answers: the negation of done-play
    bool donePlay_ = false;
    bool pausedOut_ = false;

    // The steps StartPlay and StartPlayACM share once the formats are set.
    int32_t BeginPlayback(std::string& file, int32_t device, int32_t bufferSize, Bool16 visOut);
    int32_t StartPlayback(int32_t device);
    void StopPlayWave();
    void ClosePlayFile();
    void FreePlayBlocks();
    // One conversion of `length` bytes of `source`; into `destination` as it
    // is, or into a new zero-filled block of the queried size when
    // `allocate`. Returns the bytes produced; `code` is the last failing step's.
    uint32_t acmConvertOut(HACMSTREAM stream, uint8_t* source, uint32_t length, bool allocate,
                           std::vector<uint8_t>& destination, MMRESULT& code);
    int64_t PlayFilePosition() const;
    int32_t PlayBlockAlign() const;  // the device format's during a conversion
    int64_t LengthInBlocks() const;
    int64_t PlayedBlocks() const;
    int32_t SliderPercent(int64_t blocks) const;

    // Everything the output device or the file layer may still hold: the
    // device is reset and closed before the blocks go, also when the control
    // is destroyed during a playback.
    struct PlayResources {
        PlayResources() = default;
        PlayResources(const PlayResources&) = delete;
        PlayResources& operator=(const PlayResources&) = delete;
        ~PlayResources();
        HWAVEOUT device = 0;
        HMMIO file = nullptr;
        HACMSTREAM stream = nullptr;  // file format -> device format
        std::array<std::vector<uint8_t>, 3> readBlocks;
        std::array<std::vector<uint8_t>, 3> convertedBlocks;
        std::array<WAVEHDR, 4> readHeaders{};
        std::array<WAVEHDR, 4> convertedHeaders{};
    };
    PlayResources play_;
    int64_t playDataStart_ = 0;
    int64_t playDataSize_ = 0;
    int64_t playStartOffset_ = 0;
    int32_t convertedSizeOut_ = 0;
    int playIndex_ = 2;
    int finishedAfterEnd_ = 0;
    bool playActive_ = false;  // a start succeeded and StopPlayProc has not run
    bool playFileOpen_ = false;
    bool acmPlayback_ = false;
    bool moreData_ = false;
    // Devices closed by StopPlayProc whose close notification is still due.
    std::vector<HWAVEOUT> closingOuts_;

    // ---- Monitoring (wave_monitor.cpp) ----
    // Input analysis of one block in the analysis format: InMeter (and the
    // silence cutter's loud flag), InFreq, InBuffer. The block is the
    // caller's; it stays valid during the call.
    void AnalyseInput(const uint8_t* block, uint32_t length);
    // Output analysis: OutMeter, OutFreq, OutBuffer.
    void AnalyseOutput(const uint8_t* block, uint32_t length);
    // Plays one captured buffer on the live-monitoring output, if open.
    void ForwardToPreScreen(int index, const uint8_t* bytes, uint32_t count);
    // Stores recorded bytes through the silence cutter (CutSilence true).
    void CutSilenceStore(const uint8_t* bytes, uint32_t count);
    // Empties the silence cutter: at every recording start and stop.
    void ResetSilenceCutter();
    HACMSTREAM visInStream_ = nullptr;   // capture format -> analysis format
    HACMSTREAM visOutStream_ = nullptr;  // file format -> analysis format
    Bool16 visIn_ = kFalse;
    Bool16 visOut_ = kFalse;
    Bool16 preScreen_ = kFalse;

    friend class WaveMonitorProbe;  // tests reach the seams above through it
    // Level, spectrum and buffer events of one block; `in` picks the side.
    void Analyse(bool in, const uint8_t* block, uint32_t length);
    // Closes the monitoring output without raising events.
    void ClosePreScreenQuietly();
    // Bumped whenever a visualisation closes or the control goes away: an
    // analysis that let the host's loop run checks it before going on.
    struct AnalysisEpochs {
        uint64_t in = 0;
        uint64_t out = 0;
    };
    std::shared_ptr<AnalysisEpochs> analysisEpochs_ = std::make_shared<AnalysisEpochs>();
    SilenceCutter silenceCutter_;
    WaveFormat preScreenFormat_{};
    HWAVEOUT preScreenDevice_ = 0;
    // The output plays copies: the captured block goes back to the input
    // device while the output may still be reading it.
    std::array<WAVEHDR, 3> preScreenHeaders_{};
    std::array<std::vector<uint8_t>, 3> preScreenBlocks_{};
    // Closes what monitoring still holds when the control is destroyed;
    // declared last so it runs before the members above go.
    struct MonitorTeardown {
        WaveImpl* wave;
        ~MonitorTeardown();
    };
    MonitorTeardown monitorTeardown_{this};
};

}  // namespace sonvel

#pragma once
// The Wave control: the one class through which a host records, plays,
// monitors and queries sound. It lives on the host's thread; device
// notifications reach it through the MessageWindow it is given.
//
// The class holds only a pointer to its implementation, so the engine can
// change inside without changing what hosts compiled against.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sonvel_api.h"
#include "sonvel_host.h"

namespace sonvel {

// The host's 16-bit boolean: true is -1, false 0.
using Bool16 = int16_t;
inline constexpr Bool16 kTrue = -1;
inline constexpr Bool16 kFalse = 0;

enum INOUT : int32_t {
    WAVEIN = 1,
    WAVEOUT = 2,
};

enum EMsgResponse : int32_t {
    emrConsume = 0,
    emrPostProcess = 1,
    emrPreprocess = 2,
};

// The control's own result codes; every other non-zero code is a platform
// code passed through.
inline constexpr int32_t kWaveErrOpenFile = -101;
inline constexpr int32_t kWaveErrNotWaveFile = -102;
inline constexpr int32_t kWaveErrAlreadyPlaying = -201;
inline constexpr int32_t kWaveErrAlreadyRecording = -202;

struct WaveFileDetails {
    int16_t wFormatTag = 0;
    int16_t nChannels = 0;
    int32_t nSamplesPerSec = 0;
    int32_t nAvgBytesPerSec = 0;
    int16_t nBlockAlign = 0;
    int16_t wBitsPerSample = 0;
    int16_t cbSize = 0;
    std::string FileName;
    std::string FilePath;
    int32_t SecondsLength = 0;
};

struct WaveDeviceDetails {
    std::string DeviceName;
    std::string DeviceDriver;
    int32_t DeviceChannels = 0;
    int32_t DeviceFormat = 0;
};

// The events of the control; the host overrides the ones it handles.
// Buffer addresses are valid only during the call.
class SONVEL_API WaveEvents {
  public:
    virtual ~WaveEvents();  // defined in the library, which emits the class's table
    virtual void DonePlay() {}
    virtual void DoneRecord() {}
    // Declared for hosts that expect it; never raised.
    virtual void DoneMemRec(const std::vector<uint8_t>& /*waveBytes*/, int32_t /*numOfBytes*/) {}
    virtual void InFreq(int16_t /*freq*/) {}
    virtual void InMeter(int16_t /*meter*/) {}
    virtual void InBuffer(const uint8_t* /*bytes*/, int32_t /*size*/) {}
    virtual void OutFreq(int16_t /*freq*/) {}
    virtual void OutMeter(int16_t /*meter*/) {}
    virtual void OutBuffer(const uint8_t* /*bytes*/, int32_t /*size*/) {}
    virtual void Err(const std::string& /*function*/, int32_t /*number*/,
                     const std::string& /*description*/) {}
    // A property took a new value; `name` is the property's name ("MeterIn").
    virtual void PropertyChanged(const std::string& /*name*/) {}
};

// An error raised to the host by InitC/UnInitC (the "empty variant" methods):
// number 0 means none was raised.
struct HostError {
    uint32_t number = 0;
    std::string description;
    std::string source;
    explicit operator bool() const { return number != 0; }
};

// The file name that prefixes the source of host errors.
inline constexpr const char* kLibraryFileName = "libsonvel.so";

// Entry i is i with its lowest 10 bits reversed (the spectrum transform's
// reordering); shared by all instances.
SONVEL_API const std::array<uint16_t, 1024>& BitReversalTable();

// Registers the system's sound devices (ALSA) once per process, before the
// virtual ones; every Wave does it when created. SONVEL_NO_ALSA=1 keeps them
// out.
SONVEL_API void StartEngine();

// A conversion stream of the engine's compression manager; opaque to hosts.
struct AcmStreamHandle;
using HACMSTREAM = AcmStreamHandle*;

class WaveImpl;

class SONVEL_API Wave : public MessageClient {
  public:
    // `window` is where the control's devices post their notifications; it
    // must outlive the instance. `events` may be null (nothing is raised).
    explicit Wave(MessageWindow* window, WaveEvents* events = nullptr);
    ~Wave() override;
    Wave(const Wave&) = delete;
    Wave& operator=(const Wave&) = delete;

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
    Bool16 FreqOut() const;
    void SetFreqOut(Bool16 value);
    Bool16 FreqIn() const;
    void SetFreqIn(Bool16 value);
    Bool16 IsVisIn() const;
    Bool16 IsVisOut() const;
    Bool16 IsPreScreen() const;
    Bool16 CutSilence() const;
    void SetCutSilence(Bool16 value);
    int32_t CutSilenceVal() const;
    void SetCutSilenceVal(int32_t value);
    Bool16 MeterOut() const;
    void SetMeterOut(Bool16 value);
    Bool16 MeterIn() const;
    void SetMeterIn(Bool16 value);

    // ---- Subclassing (the control handles its window's notifications) ----
    EMsgResponse MsgResponse() const { return emrPreprocess; }
    void SetMsgResponse(EMsgResponse /*ignored*/) {}
    int32_t WindowProc(const Notification& notification) override;

    // ---- Used by the pipelines ----
    // Opens a non-real-time conversion stream into `slot`.
    MMRESULT ACMOpen(HACMSTREAM& slot, const WaveFormat& src, const WaveFormat& dst);
    // Resets and closes `stream` (cleared when the close succeeds); the
    // close's code when non-zero, else the reset's.
    MMRESULT ACMClose(HACMSTREAM& stream);

  private:
    friend class WaveImpl;
    std::unique_ptr<WaveImpl> impl_;
};

// The mixer value of a volume in percent: 65535 for 100, vol x 650 below;
// nothing for values outside 0..100, which the setters ignore.
SONVEL_API std::optional<uint32_t> MixerValueForVolume(int32_t vol);

}  // namespace sonvel

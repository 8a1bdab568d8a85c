#include "audio/wave/wave.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <exception>
#include <mutex>
#include <optional>

#include "audio/alsa/alsa_backend.h"
#include "audio/alsa/mixer.h"
#include "audio/riff/mmio.h"
#include "audio/riff/wave_file.h"

namespace sonvel {

namespace {

constexpr std::array<uint16_t, 1024> MakeBitReversalTable() {
    std::array<uint16_t, 1024> table{};
    for (uint32_t i = 0; i < table.size(); ++i) {
        uint32_t reversed = 0;
        for (uint32_t bit = 0; bit < 10; ++bit) {
            if ((i & (1u << bit)) != 0) {
                reversed |= 1u << (9 - bit);
            }
        }
        table[i] = static_cast<uint16_t>(reversed);
    }
    return table;
}

// Built at compile time: the same table every instance would fill, and
// nothing for two threads creating instances to race on.
constexpr std::array<uint16_t, 1024> kBitReversal = MakeBitReversalTable();

// The notifications the control handles, in the order InitC registers them.
constexpr uint32_t kHandledMessages[] = {MM_WOM_DONE, MM_WOM_CLOSE, MM_WIM_DATA, MM_WIM_CLOSE};

// The platform's error-text buffer holds 200 characters, NUL included.
constexpr size_t kErrTextCapacity = 199;

WaveEvents& NoEvents() {
    static WaveEvents none;
    return none;
}

Bool16 ToBool16(bool value) {
    return value ? kTrue : kFalse;
}

// The text the platform's wave error service gives for a code; empty for
// a code it does not know, as its untouched buffer would be.
const char* PlatformErrorText(int32_t code) {
    switch (code) {
        case MMSYSERR_NOERROR:
            return "The operation completed successfully.";
        case MMSYSERR_ERROR:
            return "An unspecified error occurred.";
        case MMSYSERR_BADDEVICEID:
            return "The device number is out of range.";
        case MMSYSERR_NOTENABLED:
            return "The driver is not enabled.";
        case MMSYSERR_ALLOCATED:
            return "The device is already in use.";
        case MMSYSERR_INVALHANDLE:
            return "The device handle is not valid.";
        case MMSYSERR_NODRIVER:
            return "No device driver is present.";
        case MMSYSERR_NOMEM:
            return "Not enough memory is available.";
        case MMSYSERR_NOTSUPPORTED:
            return "The function is not supported.";
        case MMSYSERR_BADERRNUM:
            return "The error number is out of range.";
        case MMSYSERR_INVALFLAG:
            return "An invalid flag was passed.";
        case MMSYSERR_INVALPARAM:
            return "An invalid parameter was passed.";
        case MMSYSERR_HANDLEBUSY:
            return "The handle is in use by another thread.";
        case MMSYSERR_INVALIDALIAS:
            return "The alias was not found.";
        case MMSYSERR_BADDB:
            return "The settings database is damaged.";
        case MMSYSERR_KEYNOTFOUND:
            return "The settings key was not found.";
        case MMSYSERR_READERROR:
            return "The settings could not be read.";
        case MMSYSERR_WRITEERROR:
            return "The settings could not be written.";
        case MMSYSERR_DELETEERROR:
            return "The settings could not be deleted.";
        case MMSYSERR_VALNOTFOUND:
            return "The settings value was not found.";
        case MMSYSERR_NODRIVERCB:
            return "The driver does not call back.";
        case MMSYSERR_MOREDATA:
            return "There is more data to return.";
        case WAVERR_BADFORMAT:
            return "The device does not support the wave format.";
        case WAVERR_STILLPLAYING:
            return "Buffers are still queued on the device.";
        case WAVERR_UNPREPARED:
            return "The buffer header was not prepared.";
        case WAVERR_SYNC:
            return "The device is synchronous.";
        case MMIOERR_FILENOTFOUND:
            return "The file was not found.";
        case MMIOERR_OUTOFMEMORY:
            return "Not enough memory for the file buffer.";
        case MMIOERR_CANNOTOPEN:
            return "The file cannot be opened.";
        case MMIOERR_CANNOTCLOSE:
            return "The file cannot be closed.";
        case MMIOERR_CANNOTREAD:
            return "The file cannot be read.";
        case MMIOERR_CANNOTWRITE:
            return "The file cannot be written.";
        case MMIOERR_CANNOTSEEK:
            return "The file position cannot be set.";
        case MMIOERR_CANNOTEXPAND:
            return "The file buffer cannot grow.";
        case MMIOERR_CHUNKNOTFOUND:
            return "The chunk was not found in the file.";
        case MMIOERR_UNBUFFERED:
            return "The file is not opened for buffered access.";
        case MMIOERR_PATHNOTFOUND:
            return "The folder of the file was not found.";
        case MMIOERR_ACCESSDENIED:
            return "Access to the file was denied.";
        case MMIOERR_SHARINGVIOLATION:
            return "The file is in use.";
        case MMIOERR_NETWORKERROR:
            return "A network error occurred.";
        case MMIOERR_TOOMANYOPENFILES:
            return "Too many files are open.";
        case MMIOERR_INVALIDFILE:
            return "The file is not valid.";
        case ACMERR_NOTPOSSIBLE:
            return "The conversion is not possible.";
        case ACMERR_BUSY:
            return "The conversion stream is busy.";
        case ACMERR_UNPREPARED:
            return "The conversion header was not prepared.";
        case ACMERR_CANCELED:
            return "The operation was cancelled.";
        case MIXERR_INVALLINE:
            return "The mixer line is not valid.";
        case MIXERR_INVALCONTROL:
            return "The mixer control is not valid.";
        case MIXERR_INVALVALUE:
            return "The mixer value is not valid.";
        default:
            return "";
    }
}

std::string ErrText(int32_t code) {
    std::string text;
    switch (code) {
        case kWaveErrOpenFile:
            text = "Sonvel - Error Open File";
            break;
        case kWaveErrNotWaveFile:
            text = "Sonvel - Not wave file";
            break;
        case kWaveErrAlreadyPlaying:
            text = "Sonvel - Control already playing, use the StopPlay function to stop playing.";
            break;
        case kWaveErrAlreadyRecording:
            text =
                "Sonvel - Control already recording, use the StopRecord function to stop "
                "recording.";
            break;
        default:
            text = PlatformErrorText(code);
            break;
    }
    if (text.size() > kErrTextCapacity) {
        text.resize(kErrTextCapacity);
    }
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\0'; };
    const auto first = std::find_if_not(text.begin(), text.end(), blank);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
    return first < last ? std::string(first, last) : std::string();
}

HostError MakeHostError(int32_t code) {
    HostError error;
    const std::string registration = RegistrationErrorText(code);
    if (registration.empty()) {
        error.number = static_cast<uint32_t>(kErrInvalidCall);
        error.description = "Invalid procedure call or argument";
    } else {
        error.number = kHostErrorBase + static_cast<uint32_t>(code);
        error.description = registration;
    }
    error.source = std::string(kLibraryFileName) + ".WindowProc";
    return error;
}

}  // namespace

const std::array<uint16_t, 1024>& BitReversalTable() {
    return kBitReversal;
}

void StartEngine() {
    static std::once_flag started;
    std::call_once(started, [] { RegisterAlsaBackend(); });
}

WaveImpl::WaveImpl(MessageClient* client, MessageWindow* window, WaveEvents* events)
    : client_(client), window_(window), events_(events) {
    StartEngine();
}

WaveImpl::~WaveImpl() {
    // A window must not keep calling into a destroyed control.
    if (attachedWindow_ != nullptr) {
        for (uint32_t message : kHandledMessages) {
            if (attachedWindow_->IsAttached(client_, message)) {
                attachedWindow_->DetachMessage(client_, message);
            }
        }
    }
    // An open capture device would go on filling freed buffers; the host's
    // event sink may already be gone, so nothing is raised.
    events_ = nullptr;
    StopRecord();
}

void WaveImpl::SetWindow(MessageWindow* window) {
    window_ = window;
}

void WaveImpl::SetEvents(WaveEvents* events) {
    events_ = events;
}

WaveEvents& WaveImpl::Events() const {
    return events_ != nullptr ? *events_ : NoEvents();
}

// ---- Error texts ----

std::string WaveImpl::WaveOutErrText(int32_t errNum) const {
    return ErrText(errNum);
}
std::string WaveImpl::WaveInErrText(int32_t errNum) const {
    return ErrText(errNum);
}

// ---- Start-up and tear-down ----

HostError WaveImpl::InitC() {
    donePlay_ = true;
    attachedWindow_ = window_;
    for (uint32_t message : kHandledMessages) {
        const int32_t rc = AttachMessage(window_, client_, message);
        if (rc != 0) {
            // Like a raised error: the registrations that follow are not tried.
            return MakeHostError(rc);
        }
    }
    return {};
}

HostError WaveImpl::UnInitC() {
    HostError first;
    if (attachedWindow_ == nullptr) {
        return first;
    }
    for (uint32_t message : kHandledMessages) {
        // Detaching what was never attached (a refused InitC) is no error.
        if (!attachedWindow_->IsAttached(client_, message)) {
            continue;
        }
        const int32_t rc = attachedWindow_->DetachMessage(client_, message);
        if (rc != 0 && !first) {
            first = MakeHostError(rc);
        }
    }
    return first;
}

int32_t WaveImpl::WindowProc(const Notification& notification) {
    try {
        switch (notification.message) {
            case MM_WOM_DONE:
            case MM_WOM_CLOSE:
                WindowProcOut(notification);
                break;
            case MM_WIM_DATA:
            case MM_WIM_CLOSE:
                WindowProcIn(notification);
                break;
            default:
                break;
        }
    } catch (const std::exception&) {
        // Never to the platform; the handlers report through Err.
    }
    return 0;
}

// ---- Properties ----

void WaveImpl::SetFlagProperty(Bool16& field, Bool16 value, const char* name) {
    // The host's booleans: any non-zero value is true.
    const Bool16 normal = ToBool16(value != 0);
    if (field == normal) {
        return;
    }
    field = normal;
    Events().PropertyChanged(name);
}

void WaveImpl::SetFreqOut(Bool16 value) {
    SetFlagProperty(freqOut_, value, "FreqOut");
}
void WaveImpl::SetFreqIn(Bool16 value) {
    SetFlagProperty(freqIn_, value, "FreqIn");
}
void WaveImpl::SetCutSilence(Bool16 value) {
    SetFlagProperty(cutSilence_, value, "CutSilence");
}
void WaveImpl::SetMeterOut(Bool16 value) {
    SetFlagProperty(meterOut_, value, "MeterOut");
}
void WaveImpl::SetMeterIn(Bool16 value) {
    SetFlagProperty(meterIn_, value, "MeterIn");
}

void WaveImpl::SetCutSilenceVal(int32_t value) {
    if (cutSilenceVal_ == value) {
        return;
    }
    cutSilenceVal_ = value;
    Events().PropertyChanged("CutSilenceVal");
}

// ---- Flag queries ----

Bool16 WaveImpl::IsPausedOut() const {
    return ToBool16(pausedOut_);
}
Bool16 WaveImpl::IsPausedIn() const {
    return ToBool16(pausedIn_);
}
Bool16 WaveImpl::DonePlay() const {
    return ToBool16(donePlay_);
}
Bool16 WaveImpl::PreScreen() const {
    return preScreen_;
}
Bool16 WaveImpl::Playing() const {
    return ToBool16(playing_);
}
Bool16 WaveImpl::Recording() const {
    return ToBool16(captureActive_);
}

// ---- Formats and devices ----

int32_t WaveImpl::CheckDeviceFormat(int32_t device, INOUT& inOut, WaveFormat& chkFormat) {
    if (inOut == WAVEIN) {
        return waveInOpen(nullptr, device, chkFormat, nullptr, WAVE_FORMAT_QUERY);
    }
    return waveOutOpen(nullptr, device, chkFormat, nullptr, WAVE_FORMAT_QUERY);
}

MMRESULT WaveImpl::ACMOpen(HACMSTREAM& slot, const WaveFormat& src, const WaveFormat& dst) {
    return acmStreamOpen(&slot, src, dst, ACM_STREAMOPENF_NONREALTIME);
}

MMRESULT WaveImpl::ACMClose(HACMSTREAM& stream) {
    const MMRESULT reset = acmStreamReset(stream, 0);
    const MMRESULT close = acmStreamClose(stream, 0);
    if (close == MMSYSERR_NOERROR) {
        // A stale handle must not be closed twice.
        stream = nullptr;
        return reset;
    }
    return close;
}

int32_t WaveImpl::ACMCheck(WaveFormat& srcFormat, WaveFormat& dstFormat) {
    HACMSTREAM probe = nullptr;
    const MMRESULT rc = ACMOpen(probe, srcFormat, dstFormat);
    if (rc == MMSYSERR_NOERROR) {
        ACMClose(probe);
    }
    return rc;
}

int32_t WaveImpl::GetDetailsDevice(int32_t device, WaveDeviceDetails& deviceDetails) {
    WAVEOUTCAPS caps;
    const MMRESULT rc = waveOutGetDevCaps(device, &caps);
    if (rc != MMSYSERR_NOERROR) {
        caps = WAVEOUTCAPS{};
    }
    deviceDetails.DeviceName.assign(caps.szPname, strnlen(caps.szPname, sizeof(caps.szPname)));
    deviceDetails.DeviceDriver = std::to_string(caps.vDriverVersion);
    deviceDetails.DeviceFormat = static_cast<int32_t>(caps.dwFormats);
    deviceDetails.DeviceChannels = caps.wChannels;
    return rc;
}

int32_t WaveImpl::NumOfWaveDevices() {
    // The count is walked with GetDetailsDevice, which describes outputs,
    // to find the sound device: count outputs so the two lists match.
    return static_cast<int32_t>(waveOutGetNumDevs());
}

int32_t WaveImpl::GetDetailsWaveFile(const std::string& waveFile, WaveFileDetails& details) {
    if (waveFile.empty()) {
        return 0;
    }
    // Its own file handle, so a query during a playback leaves it alone.
    HMMIO file = mmioOpen(waveFile.c_str(), MMIO_READ | MMIO_ALLOCBUF | MMIO_DENYWRITE);
    if (file == nullptr) {
        return kWaveErrOpenFile;
    }
    WaveFileInfo info;
    const MMRESULT rc = ReadWaveHeader(file, &info);
    mmioClose(file);
    if (rc != MMSYSERR_NOERROR) {
        return rc == MMIOERR_CANNOTREAD ? -1 : rc;
    }

    const size_t slash = waveFile.rfind('/');
    if (slash == std::string::npos) {
        details.FileName = waveFile;
        details.FilePath.clear();
    } else {
        details.FileName = waveFile.substr(slash + 1);
        details.FilePath = waveFile.substr(0, slash + 1);
    }
    details.SecondsLength = static_cast<int32_t>(
        std::min<uint32_t>(info.secondsLength, static_cast<uint32_t>(INT32_MAX)));
    details.wFormatTag = info.format.wFormatTag;
    details.nChannels = info.format.nChannels;
    details.nSamplesPerSec = info.format.nSamplesPerSec;
    details.nAvgBytesPerSec = info.format.nAvgBytesPerSec;
    details.nBlockAlign = info.format.nBlockAlign;
    details.wBitsPerSample = info.format.wBitsPerSample;
    details.cbSize = info.format.cbSize;
    return 0;
}

std::optional<uint32_t> MixerValueForVolume(int32_t vol) {
    if (vol > 100 || vol < 0) {
        return std::nullopt;
    }
    return vol == 100 ? kMixerFullScale : static_cast<uint32_t>(vol) * 650;
}

namespace {

// The mixer is opened for one call only, as the control has always done,
// so a sound server restarted meanwhile is found again on the next call.
int32_t SetMixerVolume(MixerRole role, int32_t vol) {
    const std::optional<uint32_t> value = MixerValueForVolume(vol);
    if (!value) {
        return 0;
    }
    std::unique_ptr<Mixer> mixer;
    const MMRESULT opened = Mixer::Open("default", &mixer);
    if (opened != MMSYSERR_NOERROR) {
        return opened;
    }
    // A mixer without such an element has nothing to set; that is no error.
    if (mixer->Has(role)) {
        mixer->SetVolume(role, *value);
    }
    return 0;
}

}  // namespace

int32_t WaveImpl::GetMaxVol() {
    std::unique_ptr<Mixer> mixer;
    if (Mixer::Open("default", &mixer) != MMSYSERR_NOERROR) {
        return 0;
    }
    return static_cast<int32_t>(mixer->MaxVolume(MixerRole::kSpeaker));
}
int32_t WaveImpl::SetVol(int32_t vol) {
    return SetMixerVolume(MixerRole::kSpeaker, vol);
}
int32_t WaveImpl::SetMic(int32_t vol) {
    return SetMixerVolume(MixerRole::kMicrophone, vol);
}
int32_t WaveImpl::SetLine(int32_t vol) {
    return SetMixerVolume(MixerRole::kLine, vol);
}
void WaveImpl::ShowAboutBox() {}

}  // namespace sonvel

#pragma once
// What a host of Sonvel implements or feeds: the format record in which
// formats cross into the engine, the window its devices post notifications
// to (with a plain implementation for tools and tests), and the virtual
// input devices, among them the external inputs a host pushes sound into.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "sonvel_api.h"

namespace sonvel {

// ---- Result codes and device numbers ----

// The engine's result codes keep the numbers of the platform's multimedia
// API; 0 is success.
using MMRESULT = int32_t;

// The device number of the default device.
inline constexpr int32_t WAVE_MAPPER = -1;

// ---- The format record ----

enum WaveTags : int16_t {
    WAVE_FORMAT_UNKNOWN = 0,
    WAVE_FORMAT_PCM = 1,
    WAVE_FORMAT_ALAW = 6,
    WAVE_FORMAT_MULAW = 7,
    WAVE_FORMAT_ADPCM = 17,  // IMA / DVI ADPCM
    WAVE_FORMAT_DSPGROUP_TRUESPEECH = 34,
    WAVE_FORMAT_GSM610 = 49,
};

// The 28-byte format record: the platform's wave-format header followed by
// room for a codec's extra bytes. Always copied and stored whole, whatever
// cbSize says.
struct WaveFormat {
    int16_t wFormatTag = 0;
    int16_t nChannels = 0;
    int32_t nSamplesPerSec = 0;
    int32_t nAvgBytesPerSec = 0;
    int16_t nBlockAlign = 0;
    int16_t wBitsPerSample = 0;
    int16_t cbSize = 0;
    uint8_t xBytes[10] = {};

    bool operator==(const WaveFormat&) const = default;
};

static_assert(sizeof(WaveFormat) == 28, "WaveFormat crosses the interface as 28 bytes");
static_assert(offsetof(WaveFormat, nSamplesPerSec) == 4);
static_assert(offsetof(WaveFormat, nAvgBytesPerSec) == 8);
static_assert(offsetof(WaveFormat, nBlockAlign) == 12);
static_assert(offsetof(WaveFormat, cbSize) == 16);
static_assert(offsetof(WaveFormat, xBytes) == 18);

// The first 18 bytes, the platform's WAVEFORMATEX without extra bytes.
inline constexpr size_t kWaveFormatHeaderSize = 18;

// A 16-bit PCM format (the engine's common currency between codecs).
constexpr WaveFormat Pcm16Format(int32_t samplesPerSec, int16_t channels) {
    WaveFormat format;
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = samplesPerSec;
    format.nBlockAlign = static_cast<int16_t>(2 * channels);
    format.nAvgBytesPerSec = samplesPerSec * 2 * channels;
    format.wBitsPerSample = 16;
    return format;
}

// ---- The message window ----
//
// The window a Wave control is hosted on, reduced to what the engine needs:
// device notifications posted from any thread and delivered on the host's
// thread one at a time in posting order, a registry of handlers by message
// number, and "process pending events". Hosts implement Post and
// PumpPendingEvents over their own event loop and call Dispatch for each
// notification they deliver.

struct WAVEHDR;

// Driver notification numbers.
inline constexpr uint32_t MM_WOM_OPEN = 0x3BB;
inline constexpr uint32_t MM_WOM_CLOSE = 0x3BC;
inline constexpr uint32_t MM_WOM_DONE = 0x3BD;
inline constexpr uint32_t MM_WIM_OPEN = 0x3BE;
inline constexpr uint32_t MM_WIM_CLOSE = 0x3BF;
inline constexpr uint32_t MM_WIM_DATA = 0x3C0;

struct Notification {
    uint32_t message = 0;
    uint32_t device = 0;        // the wave device handle that posted it
    WAVEHDR* header = nullptr;  // the buffer concerned (DONE/DATA), else null
};

// Refusals of the handler registry. A host raises them as errors numbered
// kHostErrorBase + code, with RegistrationErrorText(code).
inline constexpr int32_t kErrCantSubclass = 13081;
inline constexpr int32_t kErrAlreadyHandled = 13082;
inline constexpr int32_t kErrInvalidWindow = 13083;
inline constexpr int32_t kErrExternalWindow = 13084;
inline constexpr int32_t kErrInvalidCall = 5;  // the host's "invalid procedure call"
inline constexpr uint32_t kHostErrorBase = 0x80040000u;

// The text of a registration refusal; empty for other codes.
SONVEL_API std::string RegistrationErrorText(int32_t code);

// Something that handles notifications delivered to a window.
// The destructor is defined in the library, so the class's table is emitted
// there once, whatever the host's optimisation.
class SONVEL_API MessageClient {
  public:
    virtual ~MessageClient();
    virtual int32_t WindowProc(const Notification& notification) = 0;
};

// The handler registry sits behind a pointer, so hosts that derive from
// this class do not depend on its layout.
class SONVEL_API MessageWindow {
  public:
    MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;
    virtual ~MessageWindow();

    // Queues a notification; callable from any thread, never blocks on the
    // host. False when the window no longer accepts notifications.
    virtual bool Post(const Notification& notification) = 0;

    // Delivers the notifications that are pending now; owner thread only.
    virtual void PumpPendingEvents() = 0;

    // True on the thread that owns the window (the one delivering).
    virtual bool IsOwnerThread() const = 0;

    // Adds `client` to the handlers of `message`. 0 on success, else one of
    // the kErr* codes above. Owner thread only.
    int32_t AttachMessage(MessageClient* client, uint32_t message);
    // Removes it again; 0, or kErrInvalidCall when it was not attached.
    int32_t DetachMessage(MessageClient* client, uint32_t message);
    bool IsAttached(const MessageClient* client, uint32_t message) const;

  protected:
    // Runs the handlers of the notification's message in attach order and
    // returns the last one's result (0 without handlers). A handler detached
    // while an earlier one runs is not called.
    int32_t Dispatch(const Notification& notification);

    // After this, attaching is refused with kErrCantSubclass; for windows
    // that are being torn down.
    void RefuseAttachments();

  private:
    struct Registry;
    std::unique_ptr<Registry> registry_;
};

// Attaches through a window pointer that may be null (an invalid window).
SONVEL_API int32_t AttachMessage(MessageWindow* window, MessageClient* client, uint32_t message);
SONVEL_API int32_t DetachMessage(MessageWindow* window, MessageClient* client, uint32_t message);

// Sonvel's own message window for its tools and tests: a thread-safe queue
// of notifications and a loop that delivers them on the owning thread.
class SONVEL_API EventLoopWindow : public MessageWindow {
  public:
    // The constructing thread owns the window.
    EventLoopWindow();
    ~EventLoopWindow() override;

    bool Post(const Notification& notification) override;
    void PumpPendingEvents() override { Pump(); }
    bool IsOwnerThread() const override;

    // Makes the calling thread the owner.
    void Adopt();

    // Delivers what is queued at the time of the call (not what handlers post
    // meanwhile, so a handler that re-posts cannot spin it forever). Returns
    // the number delivered; 0 off the owner thread.
    size_t Pump();

    // Delivers notifications as they come until Quit().
    void Run();

    // Delivers notifications as they come until `done` holds; false if
    // `limit` (wall time) ran out first or off the owner thread.
    bool RunUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds limit = std::chrono::hours(24 * 365));

    // Makes Run return; callable from any thread.
    void Quit();

    // Stops accepting notifications and handler registrations.
    void Close();

    size_t PendingCount() const;

  private:
    struct Queue;
    std::unique_ptr<Queue> queue_;
};

// ---- Virtual devices ----
//
// A backend that is always present and numbered after the real devices.
//
// Output devices, in order:
//   "Sonvel Silent Output"  takes any 8/16-bit PCM and consumes it at real-time pace.
// Input devices, in order:
//   "Sonvel Silence"        zeros in any 8/16-bit PCM format (the default input
//                           when there is no real device),
//   "Sonvel Tone 1 kHz"     a 1000 Hz sine at half of full scale, any 8/16-bit PCM,
//   then the inputs added below, in the order they were added. Removing one
//   moves the later ones down by one number; a removed device that is open
//   keeps its handle but delivers nothing more.
//
// Tone and file inputs run at real-time pace on the device clock. An
// external input delivers exactly what the host pushes into it, in its one
// format, and nothing when nothing is pushed; it can be open once at a time.

using VirtualDeviceId = uint32_t;  // stable while the device exists; never reused

inline constexpr VirtualDeviceId kSilentOutputId = 1;
inline constexpr VirtualDeviceId kSilenceInputId = 2;
inline constexpr VirtualDeviceId kToneInputId = 3;

// A sine of `frequency` Hz with peak `amplitude` (0..1 of full scale).
SONVEL_API VirtualDeviceId AddToneInput(const std::string& name, double frequency,
                                        double amplitude);

// An input that plays a 16-bit PCM WAV file over and over, in the file's
// format only. MMIOERR_CANNOTOPEN when it cannot be read, MMIOERR_INVALIDFILE
// when it is not a usable WAV file, WAVERR_BADFORMAT when it is not 16-bit PCM.
SONVEL_API MMRESULT AddFileInput(const std::string& name, const std::string& path,
                                 VirtualDeviceId* id);

// An input fed by the host (e.g. a modem's voice channel) in `format`, which
// must be 8/16-bit PCM (0 is returned otherwise).
SONVEL_API VirtualDeviceId CreateExternalInput(const std::string& name, const WaveFormat& format);

// Pushes bytes into an external input; from any thread. What arrives while
// the device is not open and started is dropped, as a microphone nobody
// listens to. MMSYSERR_BADDEVICEID for an unknown or removed id.
SONVEL_API MMRESULT PushExternalInput(VirtualDeviceId id, const void* data, size_t bytes);

// Removes an added input; the built-in devices stay (MMSYSERR_NOTSUPPORTED).
SONVEL_API MMRESULT RemoveVirtualDevice(VirtualDeviceId id);

// The device number to open it with now, or -1 when it does not exist.
SONVEL_API int32_t WaveInDeviceNumber(VirtualDeviceId id);
SONVEL_API int32_t WaveOutDeviceNumber(VirtualDeviceId id);

}  // namespace sonvel

#pragma once
// Sonvel's virtual devices: a backend that is always present and numbered
// after the real devices.
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

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "audio/base/api.h"
#include "audio/base/mm_result.h"
#include "audio/base/wave_format.h"

namespace sonvel {

class DeviceBackend;

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

// The backend behind all of the above (used by the device layer).
std::shared_ptr<DeviceBackend> VirtualDeviceBackend();

}  // namespace sonvel

#pragma once
// Sound cards through ALSA. Devices are named by ALSA's name hints and opened
// through the plug layer, which converts rate and sample format; capture runs
// on its own thread, playback blocks on the card's clock.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/devices/device_backend.h"

namespace sonvel {

struct AlsaDevice {
    std::string pcm;   // what snd_pcm_open takes
    std::string name;  // what the user sees
    bool capture = false;
    bool playback = false;
};

// What a person reads as the name of the PCM `pcm`, from its name hint's
// description, in at most `limit` bytes (a device's capabilities hold 31):
// "default" is named after the sound server behind it ("Default
// (PulseAudio)"), known long phrases are shortened, and a name still too
// long is cut at a word boundary.
std::string ReadableDeviceName(const std::string& pcm, const std::string& description,
                               size_t limit = 31);

// The PCM devices ALSA's name hints list, "default" first when it opens.
std::vector<AlsaDevice> ListAlsaDevices();

// A backend over a snapshot of ListAlsaDevices().
std::shared_ptr<DeviceBackend> MakeAlsaBackend();

// Called once at start-up, before device threads run. Does nothing when the
// environment variable SONVEL_NO_ALSA is set or ALSA lists no device.
void RegisterAlsaBackend();

// Keeps alsa-lib's messages off stderr; global, installed once.
void QuietAlsaErrors();

// Under-runs and over-runs recovered since start-up (all streams).
uint64_t AlsaRecoveredXruns();

// ALSA error number (negative errno) to result code.
MMRESULT AlsaResult(int error);

}  // namespace sonvel

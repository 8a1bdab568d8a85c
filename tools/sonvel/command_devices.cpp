#include <cstring>
#include <ostream>
#include <string>

#include "audio/devices/wave_device.h"
#include "audio/wave/wave.h"
#include "tools/sonvel/commands.h"

namespace sonvel::cli {
namespace {

struct DeviceLine {
    std::string name;
    uint32_t formats = 0;
    uint16_t channels = 0;
};

template <typename Caps>
DeviceLine FromCaps(const Caps& caps) {
    return {std::string(caps.szPname, strnlen(caps.szPname, sizeof caps.szPname)), caps.dwFormats,
            caps.wChannels};
}

// Lists one direction; false when a device could not be described.
template <typename Caps>
bool ListDirection(const char* title, uint32_t count, MMRESULT (*getCaps)(int32_t, Caps*),
                   std::ostream& out, std::ostream& err) {
    Caps defaultCaps{};
    const MMRESULT defaultResult = getCaps(WAVE_MAPPER, &defaultCaps);
    const std::string defaultName =
        defaultResult == MMSYSERR_NOERROR ? FromCaps(defaultCaps).name : std::string();
    out << title << " (" << count << "):\n";
    bool ok = true;
    bool defaultMarked = false;
    for (uint32_t i = 0; i < count; ++i) {
        Caps caps{};
        const MMRESULT result = getCaps(static_cast<int32_t>(i), &caps);
        if (result != MMSYSERR_NOERROR) {
            err << "sonvel: " << title << " device " << i << ": " << ResultText(result) << '\n';
            ok = false;
            continue;
        }
        const DeviceLine line = FromCaps(caps);
        // The default is the first device of its name: names are how the
        // program stores its choice too.
        const bool isDefault = !defaultMarked && !defaultName.empty() && line.name == defaultName;
        defaultMarked = defaultMarked || isDefault;
        out << "  " << i << ": " << line.name << (isDefault ? "  [default, device -1]" : "")
            << "\n     channels: " << line.channels
            << "\n     formats:  " << FormatMaskText(line.formats) << '\n';
    }
    if (defaultResult != MMSYSERR_NOERROR) {
        out << "  no default device (" << ResultText(defaultResult) << ")\n";
    }
    return ok;
}

}  // namespace

int RunDevices(const Args& args, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        return UsageError(err, "devices", "devices takes no arguments");
    }
    StartEngine();
    const bool inputs =
        ListDirection<WAVEINCAPS>("Input devices", waveInGetNumDevs(), waveInGetDevCaps, out, err);
    out << '\n';
    const bool outputs = ListDirection<WAVEOUTCAPS>("Output devices", waveOutGetNumDevs(),
                                                    waveOutGetDevCaps, out, err);
    return inputs && outputs ? kExitOk : kExitFailure;
}

}  // namespace sonvel::cli

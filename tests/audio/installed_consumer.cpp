// A host built against the installed public headers and libsonvel.so alone:
// creates a control, lists the devices and reads the version. Exits non-zero
// with the failed check on stderr.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sonvel/sonvel.h"
#include "sonvel/sonvel_host.h"
#include "sonvel/wave.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "installed_consumer: %s\n", what);
        ++failures;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: installed_consumer EXPECTED_VERSION\n");
        return 2;
    }
    sonvel::EventLoopWindow window;
    sonvel::Wave wave(&window);
    Check(!wave.InitC(), "InitC raised an error");

    const int32_t count = wave.NumOfWaveDevices();
    const int32_t silent = sonvel::WaveOutDeviceNumber(sonvel::kSilentOutputId);
    Check(silent >= 0 && silent < count, "the silent output is not among the counted outputs");
    bool silentFound = false;
    for (int32_t device = 0; device < count; ++device) {
        sonvel::WaveDeviceDetails details;
        Check(wave.GetDetailsDevice(device, details) == 0, "a counted device has no details");
        std::printf("%d %s\n", device, details.DeviceName.c_str());
        silentFound = silentFound || details.DeviceName == "Sonvel Silent Output";
    }
    Check(silentFound, "no device is named \"Sonvel Silent Output\"");

    std::printf("version %s\n", sonvel::Version());
    Check(std::strcmp(sonvel::Version(), argv[1]) == 0, "Version() is not the built version");
    Check(!wave.UnInitC(), "UnInitC raised an error");
    return failures == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}

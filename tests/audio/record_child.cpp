// A recorder for the crash tests: records the 1 kHz tone input into a file
// with StartRecordACM on a manual clock, as fast as the machine allows, and
// after every 100 ms of capture writes "<milliseconds captured and handled>\n"
// to standard output. It never stops by itself before two minutes of sound;
// the test kills it.
//
// Usage: record_child <file> pcm|gsm
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "audio/devices/device_clock.h"
#include "audio/devices/virtual_devices.h"
#include "audio/host/event_loop_window.h"
#include "audio/wave/wave.h"
#include "tests/audio/audio_test_support.h"

int main(int argc, char** argv) {
    using namespace sonvel;
    if (argc != 3) {
        std::fprintf(stderr, "usage: record_child <file> pcm|gsm\n");
        return 2;
    }
    setenv("SONVEL_NO_ALSA", "1", 1);
    const std::string codecName = argv[2];
    WaveFormat codec = Pcm16Format(8000, 1);
    int32_t bufferSize = 8000;
    if (codecName == "gsm") {
        codec = test_support::GsmFormat();
        bufferSize = 16000;
    } else if (codecName != "pcm") {
        std::fprintf(stderr, "unknown codec %s\n", argv[2]);
        return 2;
    }

    auto clock = std::make_shared<ManualClock>();
    ScopedDeviceClock scoped(clock);
    EventLoopWindow window;
    Wave wave(&window);
    if (wave.InitC()) {
        return 3;
    }
    WaveFormat input = Pcm16Format(8000, 1);
    Bool16 vis = kFalse;
    const int32_t rc = wave.StartRecordACM(WaveInDeviceNumber(kToneInputId), argv[1], input, codec,
                                           bufferSize, vis);
    if (rc != 0) {
        std::fprintf(stderr, "StartRecordACM: %d\n", rc);
        return 4;
    }
    for (int step = 1; step <= 1200; ++step) {
        clock->Advance(std::chrono::milliseconds(100));
        window.Pump();
        // One write per line, so a reader sees whole lines only.
        char line[32];
        const int length = std::snprintf(line, sizeof line, "%d\n", step * 100);
        if (write(STDOUT_FILENO, line, static_cast<size_t>(length)) != length) {
            return 5;
        }
    }
    // Wait for the kill; end when the test closes its side.
    char byte;
    while (read(STDIN_FILENO, &byte, 1) > 0) {
    }
    return 0;
}

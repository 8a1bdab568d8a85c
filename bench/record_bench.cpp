// CPU time of the whole recording pipeline per hour of call, on a device
// clock the benchmark drives: capture device thread, notifications, the
// codec, input visualisation and the file writes, as the main program
// records (StartRecordACM, 8 kHz 16-bit mono, 16000-byte buffers for GSM
// 6.10, 8000 for PCM). Beside it, in the same run, sox encodes the same hour
// of PCM to GSM 6.10 as a whole process.
//
// usage: record_bench [hours] [work folder] [profile]

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "audio/acm/acm.h"
#include "audio/devices/device_clock.h"
#include "audio/devices/virtual_devices.h"
#include "audio/host/event_loop_window.h"
#include "audio/wave/wave.h"

extern char** environ;

namespace {

using namespace sonvel;

constexpr int kRate = 8000;
constexpr int kLoopSeconds = 10;

double UserSeconds(const rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec) / 1e6;
}

double ProcessUserSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return UserSeconds(usage);
}

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void PutLe(std::ofstream& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// A speech-like signal: a few gliding tones and noise, with a syllable-rate
// envelope, so the codecs see something other than a pure tone.
std::vector<int16_t> SpeechLikeLoop() {
    std::vector<int16_t> samples(static_cast<size_t>(kRate) * kLoopSeconds);
    uint32_t seed = 7;
    for (size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        seed = seed * 1664525u + 1013904223u;
        const double noise =
            static_cast<double>(static_cast<int32_t>(seed >> 16) - 32768) / 32768.0;
        const double envelope = 0.5 + 0.5 * std::sin(2 * M_PI * 4.0 * t);
        const double voice = 0.5 * std::sin(2 * M_PI * (180 + 40 * std::sin(t)) * t) +
                             0.3 * std::sin(2 * M_PI * 720 * t) +
                             0.2 * std::sin(2 * M_PI * 1900 * t);
        samples[i] = static_cast<int16_t>(9000.0 * envelope * voice + 600.0 * noise);
    }
    return samples;
}

void WritePcmWave(const std::string& path, const std::vector<int16_t>& loop, int repeats) {
    std::ofstream out(path, std::ios::binary);
    const uint32_t dataBytes =
        static_cast<uint32_t>(loop.size() * 2 * static_cast<size_t>(repeats));
    out.write("RIFF", 4);
    PutLe(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    PutLe(out, 16, 4);
    PutLe(out, 1, 2);
    PutLe(out, 1, 2);
    PutLe(out, kRate, 4);
    PutLe(out, kRate * 2, 4);
    PutLe(out, 2, 2);
    PutLe(out, 16, 2);
    out.write("data", 4);
    PutLe(out, dataBytes, 4);
    for (int i = 0; i < repeats; ++i) {
        out.write(reinterpret_cast<const char*>(loop.data()),
                  static_cast<std::streamsize>(loop.size() * 2));
    }
}

struct Measure {
    double cpuSeconds = 0;
    double userSeconds = 0;
    double wallSeconds = 0;
    uintmax_t fileBytes = 0;
};

class CountingEvents : public WaveEvents {
  public:
    void InBuffer(const uint8_t* /*bytes*/, int32_t size) override { analysed += size; }
    void Err(const std::string& function, int32_t number, const std::string& text) override {
        std::fprintf(stderr, "Err %s %d %s\n", function.c_str(), number, text.c_str());
    }
    int64_t analysed = 0;
};

Measure RecordOnce(int32_t device, const std::string& file, bool gsm, bool meters, double hours) {
    auto clock = std::make_shared<ManualClock>();
    ScopedDeviceClock scoped(clock);
    EventLoopWindow window;
    CountingEvents events;
    Wave wave(&window, &events);
    wave.InitC();
    wave.SetMeterIn(meters ? kTrue : kFalse);
    wave.SetFreqIn(meters ? kTrue : kFalse);

    WaveFormat input = Pcm16Format(kRate, 1);
    WaveFormat codec = Pcm16Format(kRate, 1);
    if (gsm) {
        codec.wFormatTag = WAVE_FORMAT_GSM610;
        acmFormatSuggest(input, &codec, ACM_FORMATSUGGESTF_WFORMATTAG);
    }
    int32_t bufferSize = gsm ? 16000 : 8000;
    Bool16 visIn = gsm ? kTrue : kFalse;

    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = ProcessCpuSeconds();
    const double userStart = ProcessUserSeconds();
    if (wave.StartRecordACM(device, file, input, codec, bufferSize, visIn) != 0) {
        std::fprintf(stderr, "StartRecordACM failed\n");
        std::exit(1);
    }
    // One step per capture buffer: on the real clock the device thread also
    // wakes once per filled buffer.
    const auto step = std::chrono::milliseconds(gsm ? 1000 : 500);
    const int64_t steps = static_cast<int64_t>(hours * 3600 * 1000 / step.count());
    for (int64_t i = 0; i < steps; ++i) {
        clock->Advance(step);
        window.Pump();
    }
    wave.StopRecord();
    clock->Settle();
    window.Pump();
    Measure measure;
    measure.cpuSeconds = ProcessCpuSeconds() - cpuStart;
    measure.userSeconds = ProcessUserSeconds() - userStart;
    measure.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    wave.UnInitC();
    measure.fileBytes = std::filesystem::file_size(file);
    return measure;
}

// A whole process's CPU time (user + system), from the kernel's accounting.
Measure RunProcess(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const auto wallStart = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Measure measure;
    measure.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    measure.userSeconds = UserSeconds(usage);
    measure.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0]);
        std::exit(1);
    }
    return measure;
}

}  // namespace

int main(int argc, char** argv) {
    const double hours = argc > 1 ? std::atof(argv[1]) : 1.0;
    const std::string folder =
        argc > 2 ? argv[2]
                 : (std::filesystem::temp_directory_path() / "sonvel_record_bench").string();
    std::filesystem::create_directories(folder);
    setenv("SONVEL_NO_ALSA", "1", 1);

    const std::vector<int16_t> loop = SpeechLikeLoop();
    const std::string loopFile = folder + "/loop.wav";
    const std::string hourFile = folder + "/hour.wav";
    WritePcmWave(loopFile, loop, 1);
    WritePcmWave(hourFile, loop, static_cast<int>(hours * 3600 / kLoopSeconds));

    VirtualDeviceId id = 0;
    if (AddFileInput("bench loop", loopFile, &id) != MMSYSERR_NOERROR) {
        std::fprintf(stderr, "cannot add the loop input\n");
        return 1;
    }
    const int32_t device = WaveInDeviceNumber(id);

    // Five rounds, each running every contender once, so a busy machine
    // slows all of them alike; the table shows each one's median.
    // "profile" as a third argument records GSM once and stops, for a
    // profiler (callgrind, perf) to look at the pipeline alone.
    if (argc > 3 && std::string(argv[3]) == "profile") {
        const Measure once = RecordOnce(device, folder + "/gsm.wav", true, false, hours);
        std::printf("GSM 6.10, input visualisation on: %.3f CPU s\n", once.cpuSeconds);
        return 0;
    }
    constexpr int kRounds = 5;
    std::vector<Measure> gsm, gsmMeters, pcm, sox;
    for (int round = 0; round < kRounds; ++round) {
        gsm.push_back(RecordOnce(device, folder + "/gsm.wav", true, false, hours));
        gsmMeters.push_back(RecordOnce(device, folder + "/gsm_meters.wav", true, true, hours));
        pcm.push_back(RecordOnce(device, folder + "/pcm.wav", false, false, hours));
        Measure encoded = RunProcess(
            {"sox", hourFile, "-t", "wav", "-e", "gsm-full-rate", folder + "/sox_gsm.wav"});
        encoded.fileBytes = std::filesystem::file_size(folder + "/sox_gsm.wav");
        sox.push_back(encoded);
    }
    const auto median = [](std::vector<Measure> runs) {
        std::sort(runs.begin(), runs.end(),
                  [](const Measure& a, const Measure& b) { return a.cpuSeconds < b.cpuSeconds; });
        return runs[runs.size() / 2];
    };
    std::printf("%-48s %12s %12s %12s %12s\n", "one hour of call, 8 kHz mono, median of 5",
                "CPU s/hour", "user s/hour", "wall s", "file MB");
    const auto row = [&](const char* name, const Measure& m) {
        std::printf("%-48s %12.3f %12.3f %12.3f %12.2f\n", name, m.cpuSeconds / hours,
                    m.userSeconds / hours, m.wallSeconds, static_cast<double>(m.fileBytes) / 1e6);
    };
    row("Sonvel: GSM 6.10, input visualisation on", median(gsm));
    row("Sonvel: GSM 6.10, visualisation + meter + freq", median(gsmMeters));
    row("Sonvel: PCM", median(pcm));
    row("sox: encode the same audio to GSM 6.10", median(sox));
    return 0;
}

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "audio/acm/acm.h"
#include "audio/devices/wave_device.h"
#include "audio/host/event_loop_window.h"
#include "audio/riff/wave_file.h"
#include "audio/wave/wave.h"
#include "tools/sonvel/commands.h"

namespace sonvel::cli {

// ---- Shared by the real-time commands ----

namespace {

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

LoopDriver::LoopDriver(EventLoopWindow& window, std::chrono::milliseconds tick)
    : window_(window), tick_(tick) {
    // Threads inherit the mask: blocked here, the signals can reach no
    // thread but the watcher, which waits for them.
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    watcher_ = std::thread([this] { Watch(); });
}

LoopDriver::~LoopDriver() {
    finished_ = true;
    watcher_.join();
}

void LoopDriver::Watch() {
    const sigset_t set = StopSignals();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(tick_);
    const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(tick_ - seconds);
    timespec timeout{};
    timeout.tv_sec = static_cast<time_t>(seconds.count());
    timeout.tv_nsec = static_cast<long>(nanos.count());
    while (!finished_) {
        const int signal = sigtimedwait(&set, nullptr, &timeout);
        if (signal == SIGINT || signal == SIGTERM) {
            interrupted_ = true;
        }
        window_.Quit();
    }
}

void LoopDriver::RunOnce() {
    window_.Run();
}

// ---- record ----

namespace {

constexpr int32_t kMaxBuffer = 1 << 24;
constexpr double kMaxSeconds = 7 * 24 * 3600.0;
constexpr int kMeterWidth = 40;
constexpr int kMeterFullScale = 128;  // the meter's level of a full-scale sample

struct RecordOptions {
    std::string file;
    int32_t device = WAVE_MAPPER;
    int16_t tag = WAVE_FORMAT_PCM;
    std::optional<double> seconds;
    int32_t buffer = 0;  // 0: the program's own for the format
    bool meter = false;
};

struct FormatChoice {
    const char* name;
    int16_t tag;
    int32_t defaultBuffer;
    // Capture bytes that make whole codec blocks: a buffer of another size
    // would leave part of a block behind at every conversion.
    int32_t captureBlock;
};

// IMA: 505 samples of 16-bit capture per 256-byte block.
constexpr FormatChoice kFormats[] = {
    {"pcm", WAVE_FORMAT_PCM, 8000, 2},          {"mulaw", WAVE_FORMAT_MULAW, 8000, 2},
    {"alaw", WAVE_FORMAT_ALAW, 8000, 2},        {"gsm", WAVE_FORMAT_GSM610, 16000, 640},
    {"ima", WAVE_FORMAT_ADPCM, 8 * 1010, 1010},
};

const FormatChoice* FindFormat(const std::string& name) {
    for (const FormatChoice& format : kFormats) {
        if (name == format.name) {
            return &format;
        }
    }
    return nullptr;
}

const FormatChoice* FindFormat(int16_t tag) {
    for (const FormatChoice& format : kFormats) {
        if (tag == format.tag) {
            return &format;
        }
    }
    return nullptr;
}

std::optional<double> ParseSeconds(const std::string& text) {
    if (text.empty() || text.size() > 12 ||
        !std::all_of(text.begin(), text.end(),
                     [](char c) { return (c >= '0' && c <= '9') || c == '.'; }) ||
        std::count(text.begin(), text.end(), '.') > 1 || text == ".") {
        return std::nullopt;
    }
    const double value = std::strtod(text.c_str(), nullptr);
    if (!(value > 0) || value > kMaxSeconds) {
        return std::nullopt;
    }
    return value;
}

std::optional<RecordOptions> ParseRecordOptions(const Args& args, std::string* problem) {
    const auto split = SplitArguments(args, {"--meter"}, problem);
    if (!split) {
        return std::nullopt;
    }
    RecordOptions options;
    for (const auto& [name, value] : split->options) {
        if (name == "--device") {
            const auto device = ParseDevice(value, problem);
            if (!device) {
                return std::nullopt;
            }
            options.device = *device;
        } else if (name == "--format") {
            const FormatChoice* format = FindFormat(value);
            if (format == nullptr) {
                *problem = "unknown record format '" + value + "'";
                return std::nullopt;
            }
            options.tag = format->tag;
        } else if (name == "--seconds") {
            options.seconds = ParseSeconds(value);
            if (!options.seconds) {
                *problem = "--seconds needs a positive number of seconds, not '" + value + "'";
                return std::nullopt;
            }
        } else if (name == "--buffer") {
            const auto buffer = ParseInteger(value, 1, kMaxBuffer);
            if (!buffer) {
                *problem = "--buffer needs a size in bytes from 1 to " +
                           std::to_string(kMaxBuffer) + ", not '" + value + "'";
                return std::nullopt;
            }
            options.buffer = static_cast<int32_t>(*buffer);
        } else if (name == "--meter") {
            options.meter = true;
        } else {
            *problem = "unknown option '" + name + "'";
            return std::nullopt;
        }
    }
    if (split->files.size() != 1) {
        *problem = "record needs one output file";
        return std::nullopt;
    }
    options.file = split->files[0];
    const FormatChoice& format = *FindFormat(options.tag);
    if (options.buffer == 0) {
        options.buffer = format.defaultBuffer;
    } else if (options.buffer % format.captureBlock != 0) {
        *problem = "--buffer for " + std::string(format.name) + " must be a multiple of " +
                   std::to_string(format.captureBlock) + " bytes";
        return std::nullopt;
    }
    return options;
}

// The events of a recording: errors are kept for the end, the level is
// drawn on the terminal.
class RecordEvents : public WaveEvents {
  public:
    explicit RecordEvents(std::ostream& err) : err_(err) {}

    void InMeter(int16_t meter) override {
        const int level = std::clamp(static_cast<int>(meter), 0, kMeterFullScale);
        const int filled = (level * kMeterWidth + kMeterFullScale / 2) / kMeterFullScale;
        err_ << "\r[" << std::string(static_cast<size_t>(filled), '#')
             << std::string(static_cast<size_t>(kMeterWidth - filled), ' ') << "] " << level
             << "   " << std::flush;
        meterShown_ = true;
    }

    void Err(const std::string& function, int32_t number, const std::string& description) override {
        EndMeterLine();
        err_ << "sonvel: " << function << ": error " << number << ": " << description << '\n';
        ++errors_;
    }

    void EndMeterLine() {
        if (meterShown_) {
            err_ << '\n';
            meterShown_ = false;
        }
    }

    int errors() const { return errors_; }

  private:
    std::ostream& err_;
    bool meterShown_ = false;
    int errors_ = 0;
};

std::string InputName(int32_t device) {
    WAVEINCAPS caps{};
    if (waveInGetDevCaps(device, &caps) != MMSYSERR_NOERROR) {
        return "?";
    }
    return std::string(caps.szPname, strnlen(caps.szPname, sizeof caps.szPname));
}

// Seconds of sound in a finished file; negative when it cannot be read.
double StoredSeconds(const std::string& path, WaveFileInfo* info) {
    if (GetWaveFileInfo(path.c_str(), info) != MMSYSERR_NOERROR || info->format.nBlockAlign <= 0 ||
        info->format.nSamplesPerSec <= 0) {
        return -1;
    }
    const uint32_t frames = FramesPerBlock(info->format);
    const uint64_t blocks = info->dataSize / static_cast<uint32_t>(info->format.nBlockAlign);
    return static_cast<double>(blocks * frames) / info->format.nSamplesPerSec;
}

// When a timed recording has its length. A source may start late (a sound
// server wakes an idle sink only after its current block, up to seconds), so
// the length is counted in the sound stored, not on the wall clock. A stop
// keeps whole buffers only: it comes when the stored sound is within half a
// buffer of the length asked for.
class TimedStop {
  public:
    TimedStop(std::string file, std::optional<double> seconds, double bufferSeconds)
        : file_(std::move(file)),
          seconds_(seconds),
          halfBuffer_(bufferSeconds / 2),
          start_(Clock::now()) {}

    bool Due() const {
        if (!seconds_) {
            return false;
        }
        const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
        if (elapsed < *seconds_) {
            return false;
        }
        // A source that delivers nothing must not hold the command forever.
        if (elapsed >= *seconds_ + kLateSourceSeconds) {
            return true;
        }
        WaveFileInfo info;
        return StoredSeconds(file_, &info) + halfBuffer_ >= *seconds_;
    }

  private:
    using Clock = std::chrono::steady_clock;
    static constexpr double kLateSourceSeconds = 10;
    const std::string file_;
    const std::optional<double> seconds_;
    const double halfBuffer_;
    const Clock::time_point start_;
};

std::string SecondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", seconds);
    return text;
}

}  // namespace

int RunRecord(const Args& args, std::ostream& out, std::ostream& err) {
    std::string problem;
    const auto options = ParseRecordOptions(args, &problem);
    if (!options) {
        return UsageError(err, "record", problem);
    }
    // The recording starts a new file: an existing one is not given up for
    // a take that may fail.
    struct stat existing {};
    if (lstat(options->file.c_str(), &existing) == 0) {
        err << "sonvel: " << options->file << " already exists; not overwriting it\n";
        return kExitFailure;
    }

    EventLoopWindow window;
    LoopDriver driver(window, std::chrono::milliseconds(100));
    RecordEvents events(err);
    Wave wave(&window, &events);
    if (const HostError error = wave.InitC()) {
        err << "sonvel: cannot start the engine: " << error.description << '\n';
        return kExitFailure;
    }

    WaveFormat capture = Pcm16Format(8000, 1);
    WaveFormat codec{};
    codec.wFormatTag = options->tag;
    if (const MMRESULT rc = acmFormatSuggest(capture, &codec, ACM_FORMATSUGGESTF_WFORMATTAG);
        rc != MMSYSERR_NOERROR) {
        err << "sonvel: no " << FormatTagName(options->tag) << " format for 8 kHz mono ("
            << ResultText(rc) << ")\n";
        return kExitFailure;
    }
    Bool16 vis = kFalse;
    if (options->meter) {
        wave.SetMeterIn(kTrue);
        vis = kTrue;
    }
    int32_t buffer = options->buffer;
    const int32_t started =
        wave.StartRecordACM(options->device, options->file, capture, codec, buffer, vis);
    if (started != 0 || events.errors() != 0 || wave.Recording() == kFalse) {
        // A start that failed halfway may hold the file and the codec.
        wave.StopRecord();
        window.Pump();
        unlink(options->file.c_str());
        if (started != 0) {
            err << "sonvel: cannot record from input device " << options->device << " ("
                << ResultText(started) << ")\n";
        } else {
            err << "sonvel: cannot record into " << options->file << '\n';
        }
        return kExitFailure;
    }
    out << "Recording " << FormatTagName(options->tag) << " 8000 Hz mono into " << options->file
        << " from input device " << options->device << " (" << InputName(options->device)
        << "), buffers of " << options->buffer << " bytes";
    if (options->seconds) {
        out << ", for " << SecondsText(*options->seconds);
    } else {
        out << "; Ctrl-C stops";
    }
    out << '\n' << std::flush;

    TimedStop timedStop(options->file, options->seconds,
                        static_cast<double>(options->buffer) / capture.nAvgBytesPerSec);
    while (!driver.Interrupted() && !timedStop.Due()) {
        driver.RunOnce();
    }
    const int32_t stopped = wave.StopRecord();
    window.Pump();
    events.EndMeterLine();
    if (stopped != 0) {
        err << "sonvel: stopping the recording: " << ResultText(stopped) << '\n';
    }

    WaveFileInfo info;
    const double seconds = StoredSeconds(options->file, &info);
    if (seconds < 0) {
        err << "sonvel: " << options->file << " cannot be read back\n";
        return kExitFailure;
    }
    out << (driver.Interrupted() ? "Stopped. " : "Done. ") << options->file << ": "
        << SecondsText(seconds) << " (" << info.dataSize << " bytes of sound)\n";
    return stopped == 0 && events.errors() == 0 ? kExitOk : kExitFailure;
}

}  // namespace sonvel::cli

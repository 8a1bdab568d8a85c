#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

#include "audio/devices/wave_device.h"
#include "audio/host/event_loop_window.h"
#include "audio/wave/wave.h"
#include "tools/sonvel/commands.h"

namespace sonvel::cli {
namespace {

constexpr int32_t kMaxBuffer = 1 << 24;
constexpr int32_t kDefaultBuffer = 800;  // the control's own default
// How long a stopped playback may take to report that it is done.
constexpr std::chrono::seconds kStopLimit(5);

struct PlayOptions {
    std::string file;
    int32_t device = WAVE_MAPPER;
    int32_t buffer = kDefaultBuffer;
};

std::optional<PlayOptions> ParsePlayOptions(const Args& args, std::string* problem) {
    const auto split = SplitArguments(args, {}, problem);
    if (!split) {
        return std::nullopt;
    }
    PlayOptions options;
    for (const auto& [name, value] : split->options) {
        if (name == "--device") {
            const auto device = ParseDevice(value, problem);
            if (!device) {
                return std::nullopt;
            }
            options.device = *device;
        } else if (name == "--buffer") {
            const auto buffer = ParseInteger(value, 1, kMaxBuffer);
            if (!buffer) {
                *problem = "--buffer needs a size in bytes from 1 to " +
                           std::to_string(kMaxBuffer) + ", not '" + value + "'";
                return std::nullopt;
            }
            options.buffer = static_cast<int32_t>(*buffer);
        } else {
            *problem = "unknown option '" + name + "'";
            return std::nullopt;
        }
    }
    if (split->files.size() != 1) {
        *problem = "play needs one file";
        return std::nullopt;
    }
    options.file = split->files[0];
    return options;
}

class PlayEvents : public WaveEvents {
  public:
    explicit PlayEvents(EventLoopWindow& window) : window_(window) {}

    void DonePlay() override {
        done_ = true;
        window_.Quit();
    }

    void Err(const std::string& function, int32_t number, const std::string& description) override {
        pending_ +=
            "sonvel: " + function + ": error " + std::to_string(number) + ": " + description + '\n';
        ++errors_;
    }

    bool done() const { return done_; }
    int errors() const { return errors_; }

    // Errors are written between status lines, not into one.
    std::string TakePending() { return std::exchange(pending_, std::string()); }

  private:
    EventLoopWindow& window_;
    bool done_ = false;
    int errors_ = 0;
    std::string pending_;
};

std::string OutputName(int32_t device) {
    WAVEOUTCAPS caps{};
    if (waveOutGetDevCaps(device, &caps) != MMSYSERR_NOERROR) {
        return "?";
    }
    return std::string(caps.szPname, strnlen(caps.szPname, sizeof caps.szPname));
}

// The "0:00:03 / 0:00:10" line on stderr: redrawn in place on a terminal,
// written once per new text elsewhere (a log should not fill with copies).
class Progress {
  public:
    Progress(std::ostream& err, std::string total)
        : err_(err), total_(std::move(total)), terminal_(isatty(STDERR_FILENO) == 1) {}

    void Show(const std::string& position) {
        const std::string text = position + " / " + total_;
        if (text == shown_ && !terminal_) {
            return;
        }
        err_ << (terminal_ ? "\r" : "") << text << (terminal_ ? "" : "\n") << std::flush;
        shown_ = text;
        open_ = terminal_;
    }

    void Interject(const std::string& lines) {
        if (lines.empty()) {
            return;
        }
        End();
        err_ << lines << std::flush;
    }

    void End() {
        if (open_) {
            err_ << '\n' << std::flush;
            open_ = false;
        }
    }

  private:
    std::ostream& err_;
    std::string total_;
    bool terminal_;
    std::string shown_;
    bool open_ = false;
};

}  // namespace

int RunPlay(const Args& args, std::ostream& out, std::ostream& err) {
    std::string problem;
    auto options = ParsePlayOptions(args, &problem);
    if (!options) {
        return UsageError(err, "play", problem);
    }

    EventLoopWindow window;
    LoopDriver driver(window, std::chrono::milliseconds(250));
    PlayEvents events(window);
    Wave wave(&window, &events);
    if (const HostError error = wave.InitC()) {
        err << "sonvel: cannot start the engine: " << error.description << '\n';
        return kExitFailure;
    }

    Bool16 vis = kFalse;
    const int32_t started = wave.StartPlay(options->file, options->device, options->buffer, vis);
    if (started != 0) {
        err << "sonvel: cannot play " << options->file << " on output device " << options->device
            << " (error " << started << ": " << wave.WaveOutErrText(started) << ")\n";
        return kExitFailure;
    }
    WaveFileDetails details;
    const int32_t detailed = wave.GetDetailsWaveFile(options->file, details);
    int32_t total = detailed == 0 ? details.SecondsLength : 0;
    const std::string totalText = wave.SecondsAsTimeString(total);
    const std::string tagName = FormatTagName(details.wFormatTag);
    out << "Playing " << options->file << " ("
        << (tagName.empty() ? "format " + std::to_string(details.wFormatTag) : tagName) << ", "
        << details.nSamplesPerSec << " Hz, " << details.nChannels
        << (details.nChannels == 1 ? " channel, " : " channels, ") << totalText
        << ") on output device " << options->device << " (" << OutputName(options->device) << ")\n"
        << std::flush;

    Progress progress(err, totalText);
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> stopLimit;
    int32_t position = 0;
    bool gaveUp = false;
    while (!events.done() && wave.DonePlay() == kFalse) {
        driver.RunOnce();
        progress.Interject(events.TakePending());
        if (stopLimit && Clock::now() > *stopLimit) {
            gaveUp = true;
            break;
        }
        if (!events.done() && !stopLimit) {
            // The device's clock; it may run on past the data by a buffer.
            position = std::min(wave.GetPositionSeconds(), std::max(total, 0));
            int32_t shown = position;
            progress.Show(wave.SecondsAsTimeString(shown));
        }
        if (driver.Interrupted() && !stopLimit) {
            wave.StopPlay();  // DonePlay follows once the device has closed
            stopLimit = Clock::now() + kStopLimit;
        }
    }
    window.Pump();
    progress.Interject(events.TakePending());
    if (!stopLimit && !gaveUp) {
        // Played to the end: the last line shows the whole length.
        progress.Show(totalText);
    }
    progress.End();
    if (gaveUp) {
        err << "sonvel: the playback did not stop\n";
        return kExitFailure;
    }
    if (stopLimit) {
        out << "Stopped at " << wave.SecondsAsTimeString(position) << ".\n";
    } else {
        out << "Played " << totalText << ".\n";
    }
    return events.errors() == 0 ? kExitOk : kExitFailure;
}

}  // namespace sonvel::cli

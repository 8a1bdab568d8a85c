#pragma once
// The sonvel tool's commands. Each command lives in its own file
// (command_<name>.cpp) and is listed once in the table in main.cpp, so a new
// one is a new file and a new row.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "audio/base/block_rate.h"
#include "audio/base/wave_format.h"

namespace sonvel {
class EventLoopWindow;
}

namespace sonvel::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

using Args = std::vector<std::string>;

struct Command {
    const char* name;
    const char* synopsis;  // the arguments, for the usage text
    const char* summary;   // one line
    int (*run)(const Args& args, std::ostream& out, std::ostream& err);
};

int RunDevices(const Args& args, std::ostream& out, std::ostream& err);
int RunInfo(const Args& args, std::ostream& out, std::ostream& err);
int RunConvert(const Args& args, std::ostream& out, std::ostream& err);
int RunRecord(const Args& args, std::ostream& out, std::ostream& err);
int RunPlay(const Args& args, std::ostream& out, std::ostream& err);

// Writes "sonvel: <message>" and the usage of `command` to err; returns
// kExitUsage.
int UsageError(std::ostream& err, const std::string& command, const std::string& message);

// "error 265: The chunk was not found in the file." for an engine result
// code.
std::string ResultText(int32_t code);

// "PCM", "mu-law", ... or empty for a tag without a name here.
std::string FormatTagName(int16_t tag);

// The standard-format bits of a device, e.g. "11.025 kHz mono 16-bit".
std::string FormatMaskText(uint32_t formats);

// Drives the event loop of a command that runs in real time (record, play).
// SIGINT and SIGTERM are blocked before any engine thread exists and taken
// by a watcher thread, which only sets a flag and calls the window's Quit;
// the same thread quits the loop every `tick`, so the command can look at
// its clock and redraw its status line. Create it before the Wave.
class LoopDriver {
  public:
    LoopDriver(EventLoopWindow& window, std::chrono::milliseconds tick);
    ~LoopDriver();
    LoopDriver(const LoopDriver&) = delete;
    LoopDriver& operator=(const LoopDriver&) = delete;

    // Delivers notifications until the next tick, a stop signal or a Quit
    // from an event handler.
    void RunOnce();
    bool Interrupted() const { return interrupted_.load(); }

  private:
    void Watch();

    EventLoopWindow& window_;
    std::chrono::milliseconds tick_;
    std::atomic<bool> interrupted_{false};
    std::atomic<bool> finished_{false};
    std::thread watcher_;
};

// Arguments split into files and options ("--name value" or "--name=value";
// the names in `switches` take no value). Nothing, and the reason in
// *problem, when an option lacks its value.
struct SplitArgs {
    std::vector<std::string> files;
    std::vector<std::pair<std::string, std::string>> options;
};
std::optional<SplitArgs> SplitArguments(const Args& args, const std::vector<std::string>& switches,
                                        std::string* problem);

// A decimal integer in [low, high] (a leading '-' allowed); nothing otherwise.
std::optional<long> ParseInteger(const std::string& text, long low, long high);

// The value of --device (-1, the default device, up to 9999); nothing, and
// the problem in *problem, otherwise.
std::optional<int32_t> ParseDevice(const std::string& text, std::string* problem);

}  // namespace sonvel::cli

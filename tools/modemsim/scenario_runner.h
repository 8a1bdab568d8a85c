#pragma once
// Runs a scenario's steps against the line and the modem. Each step either
// completes at once or waits for a time or a condition; the emulator's
// event loop calls Advance() when something happened or a deadline passed.

#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/modemsim/phone_line.h"
#include "tools/modemsim/scenario.h"

namespace orvane::modemsim {

// Sound of the scenario's WAV files, by the path in the step.
using VoiceFiles = std::map<std::string, std::shared_ptr<const std::vector<int16_t>>>;

// What the steps act on and wait for.
class RunnerWorld {
  public:
    virtual ~RunnerWorld() = default;
    virtual bool ClientConnected() const = 0;
    virtual bool ModemOnHook() const = 0;
    virtual PhoneLine& Line() = 0;
    virtual void SendRaw(std::string_view bytes) = 0;
    virtual void Note(std::string_view text) = 0;
};

class ScenarioRunner {
  public:
    enum class Status { Running, Finished, Failed };

    ScenarioRunner(Scenario scenario, VoiceFiles files, RunnerWorld& world);

    // Runs steps until one has to wait or the scenario ends.
    Status Advance(TimePoint now);
    // When Advance() has something to do even if nothing happens.
    std::optional<TimePoint> NextDeadline() const;
    // A command line from the client, for wait-command.
    void CommandLine(std::string_view line);

    int ExitCode() const { return exitCode_; }
    // An exit step ended the run (it ends it even with --stay).
    bool ExitRequested() const { return exitRequested_; }
    // Why the run failed ("FILE:LINE: ...").
    const std::string& Failure() const { return failure_; }

  private:
    struct Round {
        std::size_t repeat = 0;  // index of the repeat step
        int left = 0;            // rounds still to run after this one; -1 for ever
        TimePoint start{};
        uint64_t startSerial = 0;
    };

    // True when the step is done.
    bool Run(const Step& step, TimePoint now);
    bool Wait(const Step& step, TimePoint now, bool satisfied, const std::string& what);
    bool RunRings(const Step& step, TimePoint now, bool call);
    bool RunEnd(TimePoint now);
    void SetVoice(const Step& step);

    Scenario scenario_;
    VoiceFiles files_;
    RunnerWorld& world_;
    std::size_t next_ = 0;
    Status status_ = Status::Running;
    int exitCode_ = 0;
    bool exitRequested_ = false;
    std::string failure_;
    uint64_t serial_ = 0;  // counts Advance() calls

    // The step in progress.
    bool started_ = false;
    TimePoint stepStart_{};
    uint64_t stepSerial_ = 0;
    int ringsSent_ = 0;
    bool callBegun_ = false;
    std::optional<TimePoint> deadline_;
    std::vector<Round> rounds_;

    std::deque<std::string> commandLines_;  // not yet matched by a wait-command
};

}  // namespace orvane::modemsim

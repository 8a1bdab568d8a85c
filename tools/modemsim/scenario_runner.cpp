#include "tools/modemsim/scenario_runner.h"

#include <algorithm>
#include <cctype>

namespace orvane::modemsim {
namespace {

using namespace std::chrono_literals;

// Lines kept for wait-command; older ones are forgotten first.
constexpr std::size_t kMaxCommandLines = 10000;
// A round of an endless repeat that waited for nothing starts no sooner
// than this after the one before, so such a loop cannot take the CPU.
constexpr auto kIdleRoundPause = 10ms;

std::string Upper(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper;
}

std::chrono::milliseconds Ms(int ms) {
    return std::chrono::milliseconds(ms);
}

}  // namespace

ScenarioRunner::ScenarioRunner(Scenario scenario, VoiceFiles files, RunnerWorld& world)
    : scenario_(std::move(scenario)), files_(std::move(files)), world_(world) {}

ScenarioRunner::Status ScenarioRunner::Advance(TimePoint now) {
    ++serial_;
    while (status_ == Status::Running && next_ < scenario_.steps.size()) {
        const std::size_t current = next_;
        const Step& step = scenario_.steps[current];
        if (!started_) {
            started_ = true;
            stepStart_ = now;
            stepSerial_ = serial_;
            ringsSent_ = 0;
            callBegun_ = false;
            world_.Note(step.Where() + ": " + step.display);
        }
        deadline_.reset();
        if (!Run(step, now)) {
            return status_;
        }
        started_ = false;
        if (next_ == current) {
            ++next_;
        }
    }
    if (status_ == Status::Running) {
        status_ = Status::Finished;
    }
    return status_;
}

std::optional<TimePoint> ScenarioRunner::NextDeadline() const {
    if (status_ != Status::Running) {
        return std::nullopt;
    }
    return deadline_;
}

void ScenarioRunner::CommandLine(std::string_view line) {
    commandLines_.push_back(Upper(line));
    if (commandLines_.size() > kMaxCommandLines) {
        commandLines_.pop_front();
    }
}

bool ScenarioRunner::Run(const Step& step, TimePoint now) {
    PhoneLine& line = world_.Line();
    switch (step.kind) {
        case StepKind::WaitClient:
            return Wait(step, now, world_.ClientConnected(), "wait-client");
        case StepKind::WaitCommand: {
            const std::string wanted = Upper(step.text);
            bool found = false;
            for (auto it = commandLines_.begin(); it != commandLines_.end(); ++it) {
                if (it->find(wanted) != std::string::npos) {
                    commandLines_.erase(commandLines_.begin(), it + 1);
                    found = true;
                    break;
                }
            }
            return Wait(step, now, found, "wait-command \"" + step.text + "\"");
        }
        case StepKind::WaitHangup:
            return Wait(step, now, world_.ModemOnHook(), "wait-hangup");
        case StepKind::Sleep:
            if (now >= stepStart_ + Ms(step.ms)) {
                return true;
            }
            deadline_ = stepStart_ + Ms(step.ms);
            return false;
        case StepKind::Ring:
            return RunRings(step, now, false);
        case StepKind::Call:
            return RunRings(step, now, true);
        case StepKind::CallerId:
            line.CallerId(now, step.callerId);
            return true;
        case StepKind::Pickup:
        case StepKind::HandsetHangup:
            line.Handset(now, step.kind == StepKind::Pickup);
            return true;
        case StepKind::Voice:
            SetVoice(step);
            return true;
        case StepKind::RemoteHangup:
            line.RemoteHangup(now, step.hangup, step.endResult, step.ms);
            return true;
        case StepKind::DialAnswer:
            line.SetDialAnswer(step.dial, step.ms);
            return true;
        case StepKind::Raw:
            world_.SendRaw(step.text);
            return true;
        case StepKind::Repeat:
            rounds_.push_back({next_, step.count == 0 ? -1 : step.count - 1, now, serial_});
            return true;
        case StepKind::End:
            return RunEnd(now);
        case StepKind::Exit:
            exitCode_ = step.exitCode;
            exitRequested_ = true;
            status_ = Status::Finished;
            return true;
    }
    return true;
}

bool ScenarioRunner::Wait(const Step& step, TimePoint now, bool satisfied,
                          const std::string& what) {
    if (satisfied) {
        return true;
    }
    if (step.limit == WaitLimit::None) {
        return false;
    }
    const TimePoint limit = stepStart_ + Ms(step.limitMs);
    if (now < limit) {
        deadline_ = limit;
        return false;
    }
    const std::string message = what + " timed out after " + std::to_string(step.limitMs) + " ms";
    if (step.limit == WaitLimit::Fail) {
        failure_ = step.Where() + ": " + message;
        exitCode_ = 3;
        status_ = Status::Failed;
        return false;
    }
    world_.Note(step.Where() + ": " + message + "; going on");
    return true;
}

bool ScenarioRunner::RunRings(const Step& step, TimePoint now, bool call) {
    PhoneLine& line = world_.Line();
    if (call && !callBegun_) {
        callBegun_ = true;
        line.NewCall();
        if (step.placement == CidPlacement::BeforeFirstRing ||
            (step.placement == CidPlacement::AfterFirstRing && step.count == 0)) {
            line.CallerId(now, step.callerId);
        }
    }
    while (ringsSent_ < step.count) {
        const TimePoint due = stepStart_ + Ms(step.ms) * ringsSent_;
        if (now < due) {
            deadline_ = due;
            return false;
        }
        line.Ring(now);
        ++ringsSent_;
        if (call && ringsSent_ == 1 && step.placement == CidPlacement::AfterFirstRing) {
            line.CallerId(now, step.callerId);
        }
    }
    return true;
}

bool ScenarioRunner::RunEnd(TimePoint now) {
    Round& round = rounds_.back();
    if (round.left == 0) {
        rounds_.pop_back();
        return true;
    }
    const Step& repeat = scenario_.steps[round.repeat];
    TimePoint target = round.start + Ms(repeat.ms);
    if (round.left < 0 && repeat.ms == 0 && round.startSerial == stepSerial_) {
        target = stepStart_ + kIdleRoundPause;
    }
    if (now < target) {
        deadline_ = target;
        return false;
    }
    round.start = std::max(target, stepStart_);
    round.startSerial = serial_;
    if (round.left > 0) {
        --round.left;
    }
    next_ = round.repeat + 1;
    return true;
}

void ScenarioRunner::SetVoice(const Step& step) {
    PhoneLine& line = world_.Line();
    switch (step.voice) {
        case VoiceKind::Silence:
            line.SetFarEnd(MakeSilence(), "silence");
            return;
        case VoiceKind::Tone:
            line.SetFarEnd(MakeTone(step.hz), "tone " + std::to_string(step.hz) + " Hz");
            return;
        case VoiceKind::Pattern:
            line.SetFarEnd(MakePattern(), "byte pattern");
            return;
        case VoiceKind::Speech:
            line.SetFarEnd(MakeSpeech(), "speech-like signal");
            return;
        case VoiceKind::File: {
            const auto found = files_.find(step.text);
            if (found == files_.end() || !found->second) {
                world_.Note(step.Where() + ": " + step.text + " was not loaded; silence instead");
                line.SetFarEnd(MakeSilence(), "silence");
                return;
            }
            line.SetFarEnd(MakeSamples(found->second), "file " + step.text);
            return;
        }
    }
}

}  // namespace orvane::modemsim

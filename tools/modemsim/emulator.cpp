#include "tools/modemsim/emulator.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

#include "telephony/modem/voice_format.h"

namespace orvane::modemsim {
namespace {

using namespace std::chrono_literals;

// A client that typed part of a command and stopped does not hold back
// rings for longer than this.
constexpr auto kHoldForTyping = 2s;
// At the end the client gets this long to read what was sent last (the
// pseudo-terminal drops it when the emulator closes).
constexpr auto kDrainLimit = 2s;
constexpr auto kDrainTick = 10ms;
constexpr std::size_t kMaxHeld = 64 * 1024;
// A client that writes commands but does not read the answers is not read
// any more until it catches up, so the answers cannot pile up without end.
constexpr std::size_t kMaxBacklogForInput = 256 * 1024;

// A transmit at a limited rate is read in slices this far apart.
constexpr auto kTransmitSlice = 20ms;

std::size_t BytesIn(int64_t samples, SampleEncoding encoding) {
    const auto bits = static_cast<std::size_t>(modem::BitsPerSample(encoding));
    return (static_cast<std::size_t>(std::max<int64_t>(samples, 0)) * bits + 7) / 8;
}

int64_t SamplesIn(std::size_t bytes, SampleEncoding encoding) {
    return static_cast<int64_t>(bytes) * 8 / modem::BitsPerSample(encoding);
}

void Earliest(std::optional<TimePoint>& next, const std::optional<TimePoint>& candidate) {
    if (candidate && (!next || *candidate < *next)) {
        next = candidate;
    }
}

}  // namespace

Emulator::Emulator(const EmulatorOptions& options, std::unique_ptr<Scenario> scenario,
                   VoiceFiles files)
    : options_(options),
      modem_(InterpreterOptions{options.dialect, options.echo, options.dleAbortOnly,
                                options.adpcmOnly, options.ignoreAbort, options.refused,
                                options.model, options.abortRepeats, options.callerIdNeedsStandard},
             *this),
      line_(modem_, *this, LineOptions{options.ringText, options.speed}),
      playout_(options.speed) {
    if (scenario) {
        RunnerWorld& world = *this;
        runner_ = std::make_unique<ScenarioRunner>(std::move(*scenario), std::move(files), world);
    }
}

Emulator::~Emulator() = default;

int Emulator::Run(std::ostream& out, std::ostream& err) {
    std::string error;
    if (!options_.logPath.empty() && !transcript_.Open(options_.logPath, error)) {
        err << "modemsim: " << error << '\n';
        return kExitFailure;
    }
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    const int signals = ::signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC);
    std::signal(SIGPIPE, SIG_IGN);
    if (signals < 0) {
        err << "modemsim: cannot watch for signals\n";
        return kExitFailure;
    }
    if (!port_.Open(error) || (!options_.linkPath.empty() &&
                               !link_.Create(options_.linkPath, port_.SlavePath(), error))) {
        err << "modemsim: " << error << '\n';
        ::close(signals);
        return kExitFailure;
    }
    out << port_.SlavePath() << '\n' << std::flush;
    transcript_.Write("port", port_.SlavePath() + (options_.linkPath.empty()
                                                       ? std::string()
                                                       : " (link " + options_.linkPath + ")"));

    modem_.PowerOn();
    int exitCode = kExitDone;
    while (true) {
        now_ = Clock::now();
        if (runner_ && !draining_) {
            const ScenarioRunner::Status status = runner_->Advance(now_);
            if (status != ScenarioRunner::Status::Running) {
                exitCode = runner_->ExitCode();
                if (status == ScenarioRunner::Status::Failed) {
                    err << "modemsim: " << runner_->Failure() << '\n';
                    transcript_.Write("steps", runner_->Failure());
                }
                if (status == ScenarioRunner::Status::Failed || !options_.stay ||
                    runner_->ExitRequested()) {
                    transcript_.Write("steps", "done, exit status " + std::to_string(exitCode));
                    draining_ = true;
                    drainUntil_ = now_ + kDrainLimit;
                } else {
                    transcript_.Write("steps", "done; serving on (--stay)");
                    runner_.reset();
                }
            }
        }
        line_.Advance(now_);
        CheckUnderrun();
        ReleaseHeld();
        WriteOut();
        TakePortNotes();
        if (draining_ && (Drained() || now_ >= drainUntil_)) {
            break;
        }

        int timeout = -1;
        if (const std::optional<TimePoint> next = NextDeadline()) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - now_).count();
            timeout = static_cast<int>(std::clamp<int64_t>(wait, 0, 60'000));
        }
        pollfd entries[3] = {{signals, POLLIN, 0}, {port_.WatchFd(), POLLIN, 0}, {-1, 0, 0}};
        nfds_t count = 2;
        // Without a client the master reports a hang-up all the time.
        if (port_.ClientPresent()) {
            const bool listen =
                Backlog() < kMaxBacklogForInput && (!nextReadAt_ || now_ >= *nextReadAt_);
            entries[2] = {port_.MasterFd(),
                          static_cast<short>((listen ? POLLIN : 0) | (Backlog() > 0 ? POLLOUT : 0)),
                          0};
            count = 3;
        }
        if (::poll(entries, count, timeout) < 0 && errno != EINTR) {
            err << "modemsim: poll failed\n";
            exitCode = kExitFailure;
            break;
        }
        now_ = Clock::now();
        if ((entries[0].revents & POLLIN) != 0) {
            signalfd_siginfo info{};
            [[maybe_unused]] const ssize_t got = ::read(signals, &info, sizeof info);
            transcript_.Write("port", "stopped by signal " + std::to_string(info.ssi_signo));
            exitCode = kExitDone;
            break;
        }
        if ((entries[1].revents & POLLIN) != 0) {
            ApplyPortChange(port_.OnWatchEvents(now_));
        }
        if (count == 3 && port_.ClientPresent()) {
            if ((entries[2].revents & POLLIN) != 0) {
                ReadClient();
            }
            if ((entries[2].revents & (POLLHUP | POLLERR)) != 0 || clientGone_) {
                clientGone_ = false;
                ApplyPortChange(port_.OnHangup());
            }
        }
        ApplyPortChange(port_.OnCheck(now_));
    }
    TakePortNotes();
    transcript_.Write("port", "closed");
    link_.Remove();
    ::close(signals);
    return exitCode;
}

void Emulator::ApplyPortChange(PtyPort::Change change) {
    if (change == PtyPort::Change::None) {
        return;
    }
    TakePortNotes();
    // A new client finds a modem as after power-on; what was meant for the
    // last one is gone with it.
    out_.clear();
    outHead_ = 0;
    held_.clear();
    partialSince_.reset();
    line_.ModemReset();
    playout_.Stop();
    nextReadAt_.reset();
    modem_.PowerOn();
}

void Emulator::TakePortNotes() {
    for (const std::string& note : port_.TakeNotes()) {
        transcript_.Write("port", note);
    }
}

void Emulator::ReadClient() {
    char buffer[4096];
    // What played before these bytes came ran dry first.
    CheckUnderrun();
    const bool sliced =
        options_.transmitRate > 0 && modem_.state() == AtInterpreter::State::Transmit;
    const std::size_t most =
        sliced ? std::clamp<std::size_t>(options_.transmitRate / 50, 1, sizeof buffer)
               : sizeof buffer;
    if (sliced) {
        nextReadAt_ = now_ + kTransmitSlice;
    } else {
        nextReadAt_.reset();
    }
    for (int round = 0; round < (sliced ? 1 : 16); ++round) {
        const ssize_t count = port_.Read(buffer, most);
        if (count < 0) {
            clientGone_ = true;
            return;
        }
        if (count == 0) {
            return;
        }
        if (round == 0) {
            ApplyPortChange(port_.OnClientData(now_));
        }
        modem_.Feed(std::string_view(buffer, static_cast<std::size_t>(count)));
        NoteTransmitted();
        if (!modem_.LineInProgress()) {
            partialSince_.reset();
        } else if (!partialSince_) {
            partialSince_ = now_;
        }
        if (!port_.ClientPresent()) {
            return;
        }
        // CONNECT went out at once: the host's sound may already be waiting,
        // and from here on it is taken at the link's rate, never in bulk.
        if (!sliced && options_.transmitRate > 0 &&
            modem_.state() == AtInterpreter::State::Transmit) {
            return;
        }
    }
}

void Emulator::Queue(std::string_view bytes) {
    if (!port_.ClientPresent() || bytes.empty()) {
        return;  // nobody listens; written now it would greet the next client
    }
    out_.append(bytes);
    WriteOut();
}

void Emulator::WriteOut() {
    while (outHead_ < out_.size()) {
        const ssize_t count = port_.Write(out_.data() + outHead_, out_.size() - outHead_);
        if (count <= 0) {
            if (count < 0) {
                clientGone_ = true;
            }
            break;
        }
        outHead_ += static_cast<std::size_t>(count);
    }
    if (outHead_ == out_.size()) {
        out_.clear();
        outHead_ = 0;
    } else if (outHead_ > 64 * 1024) {
        out_.erase(0, outHead_);
        outHead_ = 0;
    }
}

bool Emulator::HoldUnsolicited() const {
    if (modem_.state() != AtInterpreter::State::Command) {
        return true;
    }
    return modem_.LineInProgress() && modem_.settings().echo && partialSince_ &&
           now_ < *partialSince_ + kHoldForTyping;
}

void Emulator::ReleaseHeld() {
    if (held_.empty() || HoldUnsolicited()) {
        return;
    }
    transcript_.WriteModemText(held_);
    const std::string bytes = std::move(held_);
    held_.clear();
    Queue(bytes);
}

bool Emulator::Drained() {
    if (!port_.ClientPresent()) {
        return true;
    }
    if (Backlog() > 0) {
        quietSince_.reset();
        return false;
    }
    const std::optional<bool> caughtUp = port_.ClientCaughtUp();
    if (!caughtUp) {
        return true;
    }
    // Written bytes reach the client's queue a moment later, so an empty
    // queue counts when it stays empty for a tick.
    if (!*caughtUp) {
        quietSince_.reset();
        return false;
    }
    if (!quietSince_) {
        quietSince_ = now_;
        return false;
    }
    return now_ - *quietSince_ >= kDrainTick;
}

std::optional<TimePoint> Emulator::NextDeadline() const {
    std::optional<TimePoint> next;
    if (runner_ && !draining_) {
        Earliest(next, runner_->NextDeadline());
    }
    Earliest(next, line_.NextDeadline());
    Earliest(next, port_.NextCheck());
    Earliest(next, playout_.NextDeadline());
    if (nextReadAt_ && *nextReadAt_ > now_) {
        Earliest(next, nextReadAt_);
    }
    if (!held_.empty() && partialSince_) {
        Earliest(next, *partialSince_ + kHoldForTyping);
    }
    if (draining_) {
        Earliest(next, now_ + kDrainTick);
    }
    return next;
}

void Emulator::Send(std::string_view bytes) {
    transcript_.WriteModemText(bytes);
    Queue(bytes);
}

void Emulator::Echo(std::string_view bytes) {
    Queue(bytes);
}

void Emulator::CommandLineReceived(std::string_view line) {
    transcript_.Write("client", Transcript::Readable(line));
    if (runner_) {
        runner_->CommandLine(line);
    }
}

void Emulator::HookChanged(bool offHook) {
    transcript_.Write("line", offHook ? "modem off-hook" : "modem on-hook");
}

void Emulator::ReceiveStarted() {
    line_.ReceiveStarted(now_);
}

void Emulator::ReceiveAborted() {
    line_.ReceiveAborted(now_);
}

void Emulator::TransmitStarted() {
    transcript_.Write("line", "voice transmit");
    playout_.Start();
    transmitSeen_ = 0;
    underruns_ = 0;
    transmitLost_ = 0;
}

void Emulator::TransmitEnded(std::size_t bytes) {
    playout_.Stop();
    transcript_.Write(
        "line", "voice transmit ended: " + std::to_string(bytes) + " bytes" +
                    (underruns_ > 0 ? ", ran dry " + std::to_string(underruns_) + " times"
                                    : std::string()) +
                    (transmitLost_ > 0
                         ? ", " + std::to_string(transmitLost_) + " bytes lost to a full buffer"
                         : std::string()));
}

void Emulator::NoteTransmitted() {
    if (!playout_.Active() || modem_.state() != AtInterpreter::State::Transmit) {
        return;
    }
    const std::size_t bytes = modem_.TransmitBytes();
    playout_.Arrived(now_, SamplesIn(bytes - transmitSeen_, modem_.settings().encoding));
    transmitSeen_ = bytes;
}

bool Emulator::TransmitRoom(std::size_t bytes) {
    if (options_.transmitBuffer == 0 || !playout_.Active()) {
        return true;
    }
    // What this read brought and is not counted yet, `bytes` among it, on
    // top of what still waits to be played.
    const std::size_t pending = modem_.TransmitBytes() - transmitSeen_;
    if (BytesIn(playout_.Buffered(now_), modem_.settings().encoding) + pending <=
        options_.transmitBuffer) {
        return true;
    }
    transmitLost_ += bytes;
    return false;
}

void Emulator::CheckUnderrun() {
    if (!playout_.RanDry(now_)) {
        return;
    }
    ++underruns_;
    if (options_.model == ModemModel::Conexant) {
        Send(DleEvent(modem::event::kUnderrun));
    }
}

void Emulator::TransmitFault(uint8_t code) {
    const char pair[] = {static_cast<char>(modem::kDle), static_cast<char>(code)};
    transcript_.Write("line", "voice transmit fault: " +
                                  Transcript::Readable(std::string_view(pair, sizeof pair)) +
                                  " is no host code, dropped");
}

void Emulator::TransmitPlayed(std::span<const uint8_t> sound, SampleEncoding encoding) {
    played_.Add(sound, encoding);
    if (options_.playedPath.empty()) {
        return;
    }
    // Written before the modem answers, so a client that has its "OK" finds
    // the file complete.
    if (const std::string error = played_.Write(options_.playedPath); !error.empty()) {
        transcript_.Write("port", "cannot write the played sound: " + error);
    }
}

void Emulator::InputWhileResultDue(std::string_view bytes) {
    transcript_.Write("client", "typed while a result is due: " + Transcript::Readable(bytes));
}

void Emulator::DialRequested(std::string_view number) {
    line_.DialRequested(now_, number);
}

void Emulator::SendStream(std::string_view bytes) {
    if (options_.modemBuffer > 0 &&
        Backlog() + port_.ClientUnread() + bytes.size() > options_.modemBuffer) {
        // The host stopped reading: the modem's buffer is full.
        if (overrunBytes_ == 0) {
            transcript_.Write("line", "voice overrun: the client does not read");
        }
        overrunBytes_ += bytes.size();
        return;
    }
    if (overrunBytes_ > 0) {
        transcript_.Write("line",
                          "voice overrun: " + std::to_string(overrunBytes_) + " bytes lost");
        overrunBytes_ = 0;
    }
    Queue(bytes);
}

void Emulator::SendUnsolicited(std::string_view bytes) {
    if (!port_.ClientPresent()) {
        transcript_.Write("line", "no client for " + Transcript::Readable(bytes));
        return;
    }
    if (held_.size() + bytes.size() > kMaxHeld) {
        transcript_.Write("line", "dropped (too much waiting): " + Transcript::Readable(bytes));
        return;
    }
    held_.append(bytes);
    ReleaseHeld();
}

std::size_t Emulator::Backlog() const {
    return out_.size() - outHead_;
}

void Emulator::Note(std::string_view text) {
    transcript_.Write("note", text);
}

bool Emulator::ClientConnected() const {
    return port_.ClientPresent();
}

bool Emulator::ModemOnHook() const {
    return !modem_.OffHook();
}

PhoneLine& Emulator::Line() {
    return line_;
}

void Emulator::SendRaw(std::string_view bytes) {
    SendUnsolicited(bytes);
}

}  // namespace orvane::modemsim

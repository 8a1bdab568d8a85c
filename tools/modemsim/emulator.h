#pragma once
// The emulator's event loop: one thread, one poll() over the port, its
// watch and the signals, with deadlines from the scenario, the line and the
// port. Joins the modem (AT interpreter), the line and the scenario, and
// keeps the rule that nothing unsolicited is written into the echo of a
// command or into its reply.

#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/modemsim/at_interpreter.h"
#include "tools/modemsim/phone_line.h"
#include "tools/modemsim/played_sound.h"
#include "tools/modemsim/pty_port.h"
#include "tools/modemsim/scenario_runner.h"
#include "tools/modemsim/transcript.h"
#include "tools/modemsim/transmit_playout.h"

namespace orvane::modemsim {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitTimeout = 3;

struct EmulatorOptions {
    Dialect dialect = Dialect::V253;
    bool echo = true;
    bool ringText = false;
    bool dleAbortOnly = false;
    bool adpcmOnly = false;
    bool ignoreAbort = false;
    std::vector<std::string> refused{};
    ModemModel model = ModemModel::Generic;
    int abortRepeats = 1;
    bool callerIdNeedsStandard = false;
    int speed = 1;
    // Sound the client has not read yet, beyond which a real modem's buffer
    // overflows and the sound is lost; 0: no limit.
    std::size_t modemBuffer = 0;
    bool stay = false;  // keep serving when the steps are done
    std::string linkPath;
    std::string logPath;
    std::string playedPath;  // --played: the WAV of what voice transmits played
    // --transmit-rate: bytes a second taken from the client during a voice
    // transmit (a slow link); 0: as fast as they come.
    std::size_t transmitRate = 0;
    // --transmit-buffer: sound a voice transmit holds before it plays; what
    // a host writes beyond it is lost (a serial line without flow control).
    // 0: no limit (the link holds the host back, as USB does).
    std::size_t transmitBuffer = 0;
};

class Emulator : private ModemHost, private LineOutput, private RunnerWorld {
  public:
    // Without a scenario the emulator serves until it is stopped.
    Emulator(const EmulatorOptions& options, std::unique_ptr<Scenario> scenario, VoiceFiles files);
    ~Emulator() override;

    // Prints the port's path as the first line of `out`, then serves.
    // Returns the exit status.
    int Run(std::ostream& out, std::ostream& err);

  private:
    // ModemHost
    void Send(std::string_view bytes) override;
    void Echo(std::string_view bytes) override;
    void CommandLineReceived(std::string_view line) override;
    void HookChanged(bool offHook) override;
    void ReceiveStarted() override;
    void ReceiveAborted() override;
    void TransmitStarted() override;
    void TransmitEnded(std::size_t bytes) override;
    void TransmitFault(uint8_t code) override;
    bool TransmitRoom(std::size_t bytes) override;
    void TransmitPlayed(std::span<const uint8_t> sound, SampleEncoding encoding) override;
    void DialRequested(std::string_view number) override;
    void InputWhileResultDue(std::string_view bytes) override;
    // LineOutput
    void SendStream(std::string_view bytes) override;
    void SendUnsolicited(std::string_view bytes) override;
    std::size_t Backlog() const override;
    void Note(std::string_view text) override;
    // RunnerWorld
    bool ClientConnected() const override;
    bool ModemOnHook() const override;
    PhoneLine& Line() override;
    void SendRaw(std::string_view bytes) override;

    void Queue(std::string_view bytes);
    void WriteOut();
    void ReadClient();
    void ReleaseHeld();
    bool HoldUnsolicited() const;
    void ApplyPortChange(PtyPort::Change change);
    void TakePortNotes();
    bool Drained();
    std::optional<TimePoint> NextDeadline() const;
    // The transmit's sound taken from the client, and the moments its
    // buffer ran dry.
    void NoteTransmitted();
    void CheckUnderrun();

    EmulatorOptions options_;
    PtyPort port_;
    PortLink link_;
    Transcript transcript_;
    AtInterpreter modem_;
    PhoneLine line_;
    std::unique_ptr<ScenarioRunner> runner_;

    TimePoint now_{};
    std::string out_;                        // for the client, not yet written
    std::size_t outHead_ = 0;                // bytes of out_ already written
    std::size_t overrunBytes_ = 0;           // sound lost since the overrun began
    std::string held_;                       // unsolicited bytes waiting for a pause
    std::optional<TimePoint> partialSince_;  // a command line has been arriving since
    bool draining_ = false;
    TimePoint drainUntil_{};
    std::optional<TimePoint> quietSince_;
    bool clientGone_ = false;  // a write or read found the client gone
    PlayedSound played_;
    TransmitPlayout playout_;
    std::size_t transmitSeen_ = 0;         // bytes of the transmit counted
    int underruns_ = 0;                    // of the transmit under way
    std::size_t transmitLost_ = 0;         // bytes of it the full buffer lost
    std::optional<TimePoint> nextReadAt_;  // --transmit-rate: not read before
};

}  // namespace orvane::modemsim

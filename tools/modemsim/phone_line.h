#pragma once
// The telephone line behind the emulated modem and the sound it carries:
// rings and caller ID of incoming calls, the local handset, the far end's
// sound streamed in real time during a voice receive (encoded in the
// format the client chose, DLE-shielded), the far end hanging up, and the
// answers to dial-outs.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "telephony/modem/voice_format.h"
#include "tools/modemsim/at_interpreter.h"
#include "tools/modemsim/line_signals.h"
#include "tools/modemsim/scenario.h"
#include "tools/modemsim/voice_source.h"

namespace orvane::modemsim {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

// Where the line's bytes go.
class LineOutput {
  public:
    virtual ~LineOutput() = default;
    // Part of the voice stream, sent at once and in order.
    virtual void SendStream(std::string_view bytes) = 0;
    // A report outside a stream; it waits while the client is typing a
    // command or the modem is answering one.
    virtual void SendUnsolicited(std::string_view bytes) = 0;
    // Bytes written but not yet on their way to the client.
    virtual std::size_t Backlog() const = 0;
    // A line for the transcript.
    virtual void Note(std::string_view text) = 0;
};

struct LineOptions {
    bool ringText = false;
    int speed = 1;  // sound is sent this many times faster than real time
};

class PhoneLine {
  public:
    PhoneLine(AtInterpreter& modem, LineOutput& output, const LineOptions& options);

    // The scenario's side.
    void NewCall();
    void Ring(TimePoint now);
    void CallerId(TimePoint now, const CallerIdMessage& message);
    void Handset(TimePoint now, bool offHook);
    void SetFarEnd(std::unique_ptr<VoiceSource> source, const std::string& description);
    // `resultAfterMs`: a modem ending the receive itself sends its result
    // this long after <DLE><ETX>.
    void RemoteHangup(TimePoint now, RemoteHangupKind kind, ResultCode endResult,
                      int resultAfterMs = 0);
    void SetDialAnswer(DialOutcome outcome, int delayMs);

    // The modem's side.
    void ReceiveStarted(TimePoint now);
    void ReceiveAborted(TimePoint now);
    void DialRequested(TimePoint now, std::string_view number);
    // Power-on or the client left: no stream, no dial in progress.
    void ModemReset();

    void Advance(TimePoint now);
    std::optional<TimePoint> NextDeadline() const;
    bool Streaming() const { return streaming_; }

  private:
    enum class FarEnd { Talking, Busy, DialTone, Silent };

    void Event(TimePoint now, char code);
    void Produce(TimePoint now);
    // Conexant: true once the far end, after talking, has been silent for
    // the +VSD time (<DLE>q, "quiet").
    bool FellQuiet(std::span<const int16_t> samples);
    void StopStream(const char* how);
    VoiceSource& CurrentSource();
    SignalContext Context() const;

    AtInterpreter& modem_;
    LineOutput& output_;
    LineOptions options_;

    std::unique_ptr<VoiceSource> farEndSource_;
    std::string farEndDescription_ = "silence";
    std::unique_ptr<VoiceSource> busyTone_;
    std::unique_ptr<VoiceSource> dialTone_;
    std::unique_ptr<VoiceSource> silence_;
    FarEnd farEnd_ = FarEnd::Talking;

    // The voice receive.
    bool streaming_ = false;
    TimePoint streamStart_{};
    TimePoint lastProduce_{};
    int64_t produced_ = 0;  // samples (bytes for a raw source) sent
    std::size_t streamBytes_ = 0;
    std::string streamEvents_;
    std::optional<modem::VoiceEncoder> encoder_;
    char repeatCode_ = 0;  // an event sent again every repeatEvery_ samples
    int64_t repeatEvery_ = 0;
    int64_t nextRepeatAt_ = 0;
    bool heardVoice_ = false;  // since the stream began or the last <DLE>q
    int64_t quietSamples_ = 0;

    // The result of a receive the modem ended, still to come.
    std::optional<TimePoint> endResultDue_;
    ResultCode endResult_ = ResultCode::Ok;

    // Caller ID of a slow modem, sent a byte at a time.
    std::string pacedBytes_;
    std::size_t pacedSent_ = 0;
    std::chrono::milliseconds pace_{0};
    TimePoint pacedDue_{};

    // Dial-out.
    DialOutcome dialOutcome_ = DialOutcome::Answered;
    int dialDelayMs_ = kDefaultDialDelayMs;
    std::optional<TimePoint> dialDue_;
    DialOutcome dialing_ = DialOutcome::Answered;  // the outcome of the dial in progress
};

}  // namespace orvane::modemsim

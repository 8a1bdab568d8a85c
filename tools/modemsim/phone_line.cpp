#include "tools/modemsim/phone_line.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "telephony/modem/dle_codec.h"
#include "telephony/modem/modem_text.h"

namespace orvane::modemsim {
namespace {

using namespace std::chrono_literals;

constexpr auto kTick = 20ms;
// Not more than this waits in the output for a slow client; the stream
// falls behind instead and catches up when the client reads again.
constexpr std::size_t kMaxBacklog = 32 * 1024;
constexpr int64_t kMaxChunk = 4096;
// Call progress events repeat while the tone lasts: busy every 4 s, dial
// tone every 3 s of the stream.
constexpr int64_t kBusyRepeat = 4 * kSampleRate;
constexpr int64_t kDialToneRepeat = 3 * kSampleRate;
// Below this a sample is silence to the modem's detector (about -40 dB).
constexpr int kQuietLevel = 328;

std::string_view AsText(const std::vector<uint8_t>& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::string Printable(char code) {
    if (code == modem::kEtx) {
        return "<ETX>";
    }
    return std::string(1, code);
}

}  // namespace

PhoneLine::PhoneLine(AtInterpreter& modem, LineOutput& output, const LineOptions& options)
    : modem_(modem),
      output_(output),
      options_(options),
      farEndSource_(MakeSilence()),
      busyTone_(MakeDualTone(480, 620, 500, 500)),
      dialTone_(MakeDualTone(350, 440, 1000, 0)),
      silence_(MakeSilence()) {
    options_.speed = std::max(1, options_.speed);
}

SignalContext PhoneLine::Context() const {
    return ContextOf(modem_, options_.ringText);
}

void PhoneLine::NewCall() {
    farEnd_ = FarEnd::Talking;
    repeatCode_ = 0;
}

void PhoneLine::Ring(TimePoint now) {
    modem_.NoteRing();
    if (streaming_) {
        Event(now, modem::event::kRing);
        return;
    }
    output_.SendUnsolicited(RingBytes(Context()));
}

void PhoneLine::CallerId(TimePoint now, const CallerIdMessage& message) {
    if (streaming_) {
        output_.Note("caller ID not sent: the modem is streaming sound");
        return;
    }
    const std::string bytes = CallerIdBytes(Context(), message);
    if (bytes.empty()) {
        output_.Note("caller ID not sent: the client has not turned it on");
        return;
    }
    if (message.paceMs > 0) {
        pacedBytes_ = bytes;
        pacedSent_ = 0;
        pace_ = std::chrono::milliseconds(message.paceMs);
        pacedDue_ = now;
        Advance(now);
        return;
    }
    output_.SendUnsolicited(bytes);
}

void PhoneLine::Handset(TimePoint now, bool offHook) {
    const std::string bytes = HandsetBytes(Context(), offHook);
    if (bytes.empty()) {
        output_.Note("handset event not reported: the modem is in data mode");
        return;
    }
    if (streaming_) {
        Event(now, bytes[1]);
        return;
    }
    output_.SendUnsolicited(bytes);
}

void PhoneLine::SetFarEnd(std::unique_ptr<VoiceSource> source, const std::string& description) {
    farEndSource_ = std::move(source);
    farEndDescription_ = description;
}

void PhoneLine::RemoteHangup(TimePoint now, RemoteHangupKind kind, ResultCode endResult,
                             int resultAfterMs) {
    // The sound up to now is still the far end's.
    Produce(now);
    char code = 0;
    switch (kind) {
        case RemoteHangupKind::Busy:
            farEnd_ = FarEnd::Busy;
            code = modem::event::kBusy;
            break;
        case RemoteHangupKind::DialTone:
            farEnd_ = FarEnd::DialTone;
            code = modem::event::kDialTone;
            break;
        case RemoteHangupKind::LoopBreak:
            farEnd_ = FarEnd::Silent;
            code = modem::event::kLoopBreak;
            break;
        case RemoteHangupKind::Silence:
            farEnd_ = FarEnd::Silent;
            code = modem::event::kSilence;
            break;
        case RemoteHangupKind::EndOfStream:
            farEnd_ = FarEnd::Silent;
            if (!streaming_) {
                output_.Note("remote hang-up: no voice receive to end");
                return;
            }
            StopStream("by the modem");
            modem_.EndReceive(endResult, resultAfterMs > 0);
            if (resultAfterMs > 0) {
                endResultDue_ = now + std::chrono::milliseconds(resultAfterMs);
                endResult_ = endResult;
            }
            return;
    }
    repeatCode_ = 0;
    if (kind == RemoteHangupKind::Busy || kind == RemoteHangupKind::DialTone) {
        repeatCode_ = code;
        repeatEvery_ = kind == RemoteHangupKind::Busy ? kBusyRepeat : kDialToneRepeat;
    }
    if (streaming_) {
        Event(now, code);
        nextRepeatAt_ = produced_ + repeatEvery_;
        return;
    }
    // Off the stream the modem reports what it hears on the line only in
    // voice mode and off-hook.
    if (modem_.VoiceClass() && modem_.OffHook()) {
        output_.SendUnsolicited(DleEvent(code));
    } else {
        output_.Note("remote hang-up not reported: the modem is not off-hook in voice mode");
    }
}

void PhoneLine::SetDialAnswer(DialOutcome outcome, int delayMs) {
    dialOutcome_ = outcome;
    dialDelayMs_ = delayMs;
}

void PhoneLine::ReceiveStarted(TimePoint now) {
    streaming_ = true;
    streamStart_ = now;
    lastProduce_ = now;
    produced_ = 0;
    streamBytes_ = 0;
    streamEvents_.clear();
    encoder_.emplace(modem_.settings().encoding);
    farEndSource_->Restart();
    heardVoice_ = false;
    quietSamples_ = 0;
    nextRepeatAt_ = 0;  // a tone already on the line is reported at once
    output_.Note("voice receive: " + farEndDescription_);
}

void PhoneLine::ReceiveAborted(TimePoint now) {
    if (!streaming_) {
        return;
    }
    Produce(now);
    StopStream("by the client");
}

void PhoneLine::StopStream(const char* how) {
    streaming_ = false;
    encoder_.reset();
    std::string events;
    for (char code : streamEvents_) {
        events += (events.empty() ? " " : ", ") + std::string("<DLE>") + Printable(code);
    }
    output_.Note("voice receive ended " + std::string(how) + ": " + std::to_string(streamBytes_) +
                 " bytes" + (events.empty() ? std::string() : ", events" + events));
}

void PhoneLine::DialRequested(TimePoint now, std::string_view number) {
    // The answer is the one set when the dial began.
    dialDue_ = now + std::chrono::milliseconds(dialDelayMs_);
    dialing_ = dialOutcome_;
    output_.Note("dialling " + std::string(number));
}

void PhoneLine::ModemReset() {
    if (streaming_) {
        StopStream("by a reset");
    }
    pacedBytes_.clear();
    pacedSent_ = 0;
    endResultDue_.reset();
    dialDue_.reset();
}

VoiceSource& PhoneLine::CurrentSource() {
    switch (farEnd_) {
        case FarEnd::Talking:
            return *farEndSource_;
        case FarEnd::Busy:
            return *busyTone_;
        case FarEnd::DialTone:
            return *dialTone_;
        case FarEnd::Silent:
            break;
    }
    return *silence_;
}

void PhoneLine::Event(TimePoint now, char code) {
    if (!streaming_) {
        return;
    }
    Produce(now);
    output_.SendStream(DleEvent(code));
    streamBytes_ += 2;
    streamEvents_ += code;
}

void PhoneLine::Produce(TimePoint now) {
    if (!streaming_) {
        return;
    }
    lastProduce_ = now;
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::microseconds>(now - streamStart_).count();
    const int64_t due = elapsed * kSampleRate * options_.speed / 1'000'000;
    std::vector<int16_t> samples;
    std::vector<uint8_t> encoded;
    std::vector<uint8_t> shielded;
    while (produced_ < due && output_.Backlog() < kMaxBacklog) {
        if (repeatCode_ != 0 && produced_ >= nextRepeatAt_) {
            output_.SendStream(DleEvent(repeatCode_));
            streamBytes_ += 2;
            streamEvents_ += repeatCode_;
            nextRepeatAt_ = produced_ + repeatEvery_;
        }
        int64_t count = std::min(due - produced_, kMaxChunk);
        if (repeatCode_ != 0) {
            count = std::min(count, nextRepeatAt_ - produced_);
        }
        VoiceSource& source = CurrentSource();
        encoded.clear();
        bool quiet = false;
        if (source.Raw()) {
            encoded.resize(static_cast<std::size_t>(count));
            source.FillBytes(encoded);
        } else {
            samples.resize(static_cast<std::size_t>(count));
            source.Fill(samples);
            encoder_->Encode(samples, encoded);
            quiet = FellQuiet(samples);
        }
        shielded.clear();
        modem::AppendShielded(encoded, shielded);
        output_.SendStream(AsText(shielded));
        streamBytes_ += shielded.size();
        produced_ += count;
        if (quiet) {
            output_.SendStream(DleEvent(modem::event::kQuiet));
            streamBytes_ += 2;
            streamEvents_ += modem::event::kQuiet;
        }
    }
}

bool PhoneLine::FellQuiet(std::span<const int16_t> samples) {
    if (modem_.model() != ModemModel::Conexant) {
        return false;
    }
    // +VSD=<sensitivity>,<time in tenths of a second>; 0: not reported.
    const std::string& detection = modem_.settings().silenceDetection;
    const std::size_t comma = detection.find(',');
    const std::optional<int> tenths = comma == std::string::npos
                                          ? std::nullopt
                                          : modem::ParseDigits(detection.substr(comma + 1), 0, 255);
    const int64_t limit = int64_t{tenths.value_or(50)} * kSampleRate / 10;
    bool fell = false;
    for (const int16_t sample : samples) {
        if (std::abs(sample) >= kQuietLevel) {
            heardVoice_ = true;
            quietSamples_ = 0;
        } else if (heardVoice_ && limit > 0 && ++quietSamples_ >= limit) {
            // Once per pause: the next report needs voice again.
            heardVoice_ = false;
            quietSamples_ = 0;
            fell = true;
        }
    }
    return fell;
}

void PhoneLine::Advance(TimePoint now) {
    if (endResultDue_ && now >= *endResultDue_) {
        endResultDue_.reset();
        modem_.FinishEndReceive(endResult_);
    }
    if (pacedSent_ < pacedBytes_.size() && now >= pacedDue_) {
        output_.SendUnsolicited(std::string_view(pacedBytes_).substr(pacedSent_, 1));
        ++pacedSent_;
        pacedDue_ = now + pace_;
    }
    if (dialDue_ && now >= *dialDue_) {
        dialDue_.reset();
        if (dialing_ == DialOutcome::Answered) {
            NewCall();
        }
        modem_.FinishDial(dialing_);
    }
    if (streaming_ && now >= lastProduce_ + kTick) {
        Produce(now);
    }
}

std::optional<TimePoint> PhoneLine::NextDeadline() const {
    std::optional<TimePoint> next;
    if (streaming_) {
        next = lastProduce_ + kTick;
    }
    if (endResultDue_ && (!next || *endResultDue_ < *next)) {
        next = endResultDue_;
    }
    if (pacedSent_ < pacedBytes_.size() && (!next || pacedDue_ < *next)) {
        next = pacedDue_;
    }
    if (dialDue_ && (!next || *dialDue_ < *next)) {
        next = dialDue_;
    }
    return next;
}

}  // namespace orvane::modemsim

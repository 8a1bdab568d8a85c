#include "telephony/modem_channel.h"

#include <unistd.h>

#include <QDeadlineTimer>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <utility>

#include "telephony/line_backend.h"
#include "telephony/modem/caller_id.h"
#include "telephony/modem/dle_codec.h"
#include "telephony/modem/modem_text.h"

namespace orvane {
namespace {

// Lines a modem sends on its own, which must not be taken for the reply to
// a command that happens to be waiting.
bool IsUnsolicited(std::string_view line) {
    static constexpr std::string_view kStarts[] = {"RING", "DATE", "TIME",   "NMBR", "NAME", "DDN",
                                                   "NBR",  "MESG", "CALLER", "DRON", "DROF", "CID"};
    const std::string upper = modem::Upper(modem::Trim(line));
    return std::any_of(std::begin(kStarts), std::end(kStarts),
                       [&](std::string_view start) { return upper.starts_with(start); }) ||
           modem::DecodeCallerIdPacket(modem::Trim(line)).has_value();
}

}  // namespace

std::optional<ModemResult> FinalResultOf(std::string_view line) {
    const std::string upper = modem::Upper(modem::Trim(line));
    if (upper == "OK" || upper == "0") {
        return ModemResult::Ok;
    }
    if (upper == "ERROR" || upper == "4") {
        return ModemResult::Error;
    }
    if (upper.starts_with("CONNECT")) {
        return ModemResult::Connect;
    }
    if (upper == "VCON") {
        return ModemResult::VoiceConnect;
    }
    if (upper == "BUSY" || upper == "7") {
        return ModemResult::Busy;
    }
    if (upper == "NO ANSWER" || upper == "8") {
        return ModemResult::NoAnswer;
    }
    if (upper == "NO DIALTONE" || upper == "NO DIAL TONE" || upper == "6") {
        return ModemResult::NoDialTone;
    }
    if (upper == "NO CARRIER" || upper == "3") {
        return ModemResult::NoCarrier;
    }
    return std::nullopt;
}

ModemChannel::ModemChannel(ModemChannelListener* listener, QObject* parent)
    : QObject(parent), listener_(listener) {}

ModemChannel::~ModemChannel() {
    Close();
}

qint32 ModemChannel::Open(const QString& path) {
    Close();
    holder_.clear();
    const QByteArray native = path.toLocal8Bit();
    if (::access(native.constData(), F_OK) != 0) {
        return line_error::kNoSuchPort;
    }
    if (::access(native.constData(), R_OK | W_OK) != 0 && errno == EACCES) {
        return line_error::kPermissionDenied;
    }
    auto link = std::make_unique<SerialLink>();
    const qint32 opened = link->Open(path);
    holder_ = link->Holder();
    if (opened != line_error::kNone) {
        return opened;
    }
    link_ = std::move(link);
    stream_.Reset();
    endResultDue_ = false;
    ConnectPort();
    return line_error::kNone;
}

void ModemChannel::ConnectPort() {
    link_->SetNotify(this, [this] { ReadAvailable(); });
}

ModemPortHandover ModemChannel::HandOver() {
    ModemPortHandover handover;
    if (link_ == nullptr) {
        return handover;
    }
    link_->SetNotify(nullptr, {});
    handover.link = std::move(link_);
    handover.stream = stream_;
    handover.endResultDue = endResultDue_;
    stream_.Reset();
    expectReply_ = false;
    endResultDue_ = false;
    return handover;
}

void ModemChannel::TakeOver(ModemPortHandover handover) {
    Close();
    if (handover.link == nullptr) {
        return;
    }
    link_ = std::move(handover.link);
    stream_ = handover.stream;
    endResultDue_ = handover.endResultDue;
    // What came since the other channel last looked is announced at once.
    ConnectPort();
}

void ModemChannel::Close() {
    if (link_ == nullptr) {
        return;
    }
    link_->Close();
    link_.reset();
    stream_.Reset();
    expectReply_ = false;
    endResultDue_ = false;
}

bool ModemChannel::IsOpen() const {
    return link_ != nullptr;
}

void ModemChannel::Lost() {
    if (link_ == nullptr) {
        return;
    }
    Close();
    replyDone_ = true;
    reply_.result = ModemResult::Closed;
    listener_->OnChannelLost(line_error::kDeviceLost);
}

bool ModemChannel::Send(std::span<const uint8_t> bytes) {
    if (link_ == nullptr) {
        return false;
    }
    return link_->Write(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                   static_cast<qsizetype>(bytes.size())));
}

bool ModemChannel::SendLine(const std::string& command) {
    const std::string line = command + '\r';
    return Send(std::span(reinterpret_cast<const uint8_t*>(line.data()), line.size()));
}

ModemReply ModemChannel::Command(const std::string& command, int timeoutMs) {
    if (link_ == nullptr) {
        return {ModemResult::Closed, {}};
    }
    if (waiting_) {
        return {ModemResult::Error, {}};
    }
    if (endResultDue_) {
        WaitUntil(timeoutMs, [this] { return !endResultDue_; });
        endResultDue_ = false;
    }
    if (!SendLine(command)) {
        return {ModemResult::Closed, {}};
    }
    return AwaitReply(modem::Upper(command), timeoutMs);
}

ModemReply ModemChannel::FinishVoiceReceive(int timeoutMs) {
    if (link_ == nullptr) {
        return {ModemResult::Closed, {}};
    }
    if (!stream_.InVoiceReceive()) {
        return {ModemResult::Ok, {}};
    }
    return AwaitReply(std::string(), timeoutMs);
}

ModemReply ModemChannel::EndTransmit(bool endStream, int timeoutMs) {
    if (link_ == nullptr) {
        return {ModemResult::Closed, {}};
    }
    if (waiting_) {
        return {ModemResult::Error, {}};
    }
    if (endStream) {
        // Written whole pairs only, so this ends the stream wherever it
        // stopped.
        const uint8_t end[] = {modem::kDle, modem::kEtx};
        if (!Send(end)) {
            return {ModemResult::Closed, {}};
        }
    }
    return AwaitReply(std::string(), timeoutMs);
}

ModemReply ModemChannel::AwaitReply(std::string echo, int timeoutMs) {
    reply_ = {};
    replyDone_ = false;
    expectReply_ = true;
    pendingCommand_ = std::move(echo);
    WaitUntil(timeoutMs, [this] { return replyDone_; });
    expectReply_ = false;
    if (!replyDone_) {
        reply_.result = link_ == nullptr ? ModemResult::Closed : ModemResult::Timeout;
    }
    return reply_;
}

void ModemChannel::Discard(int quietMs) {
    discarding_ = true;
    WaitUntil(quietMs, [] { return false; });
    discarding_ = false;
    stream_.Reset();
    endResultDue_ = false;
}

bool ModemChannel::DropDtr(int lowMs) {
    if (link_ == nullptr) {
        return false;
    }
    const bool lowered = link_->SetDataTerminalReady(false);
    Discard(lowMs);
    if (link_ != nullptr) {
        link_->SetDataTerminalReady(true);
    }
    return lowered;
}

bool ModemChannel::WaitUntil(int timeoutMs, const std::function<bool()>& done) {
    waiting_ = true;
    // A reply is read as it comes, not with the next batch of sound.
    if (link_ != nullptr) {
        link_->SetBatched(false);
    }
    const QDeadlineTimer deadline(timeoutMs);
    while (!done() && link_ != nullptr) {
        if (link_->Lost()) {
            ReadAvailable();  // hands on what came before, then the loss
            break;
        }
        if (deadline.hasExpired()) {
            break;
        }
        if (link_->WaitForBytes(deadline)) {
            ReadAvailable();
        }
    }
    waiting_ = false;
    return done();
}

void ModemChannel::ReadAvailable() {
    if (link_ == nullptr) {
        return;
    }
    ++readDepth_;
    const QByteArray data = link_->Take();
    stream_.Feed(std::span(reinterpret_cast<const uint8_t*>(data.constData()),
                           static_cast<std::size_t>(data.size())),
                 *this);
    --readDepth_;
    if (link_ != nullptr && !waiting_) {
        // Sound is handed on in batches; a command's reply is not.
        link_->SetBatched(stream_.InVoiceReceive());
    }
    if (link_ != nullptr && link_->Lost() && readDepth_ == 0) {
        Lost();
        return;
    }
    if (!waiting_ && readDepth_ == 0 && link_ != nullptr) {
        listener_->OnModemInputDone();
    }
}

void ModemChannel::OnLine(std::string_view line) {
    if (discarding_) {
        return;
    }
    if (endResultDue_ && !expectReply_ && FinalResultOf(line)) {
        endResultDue_ = false;
        return;  // the result of the receive the modem ended
    }
    if (expectReply_) {
        const std::string upper = modem::Upper(modem::Trim(line));
        if (!pendingCommand_.empty() && upper == pendingCommand_) {
            return;  // the modem's echo
        }
        if (const auto final = FinalResultOf(line)) {
            reply_.result = *final;
            replyDone_ = true;
            expectReply_ = false;
            return;
        }
        if (!IsUnsolicited(line)) {
            reply_.lines.emplace_back(line);
            return;
        }
    }
    listener_->OnModemLine(line);
}

void ModemChannel::OnEvent(char code) {
    if (!discarding_) {
        listener_->OnModemEvent(code);
    }
}

void ModemChannel::OnAudio(std::span<const uint8_t> bytes) {
    listener_->OnVoiceData(bytes);
}

void ModemChannel::OnVoiceEnd() {
    // Outside a wait for it, the final result after <DLE><ETX> is owed.
    if (!expectReply_) {
        endResultDue_ = true;
    }
    listener_->OnVoiceEnd();
}

}  // namespace orvane

#include "telephony/modem_channel.h"

#include <poll.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QSerialPort>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <utility>

#include "telephony/line_backend.h"
#include "telephony/modem/caller_id.h"
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
    const QByteArray native = path.toLocal8Bit();
    if (::access(native.constData(), F_OK) != 0) {
        return line_error::kNoSuchPort;
    }
    if (::access(native.constData(), R_OK | W_OK) != 0 && errno == EACCES) {
        return line_error::kPermissionDenied;
    }
    port_ = new QSerialPort(this);
    port_->setPortName(path);
    if (!port_->open(QIODevice::ReadWrite)) {
        // Qt reports a held lock file or an exclusive port as a permission
        // error; real permission problems were caught above.
        const bool held = port_->error() == QSerialPort::PermissionError;
        delete port_;
        port_ = nullptr;
        return held ? line_error::kPortInUse : line_error::kPortFailed;
    }
    port_->setBaudRate(QSerialPort::Baud115200);
    port_->setDataBits(QSerialPort::Data8);
    port_->setParity(QSerialPort::NoParity);
    port_->setStopBits(QSerialPort::OneStop);
    // No flow control on our side: a modem or cable that never raises CTS
    // would otherwise block every write.
    port_->setFlowControl(QSerialPort::NoFlowControl);
    port_->clear();
    stream_.Reset();
    endResultDue_ = false;
    ConnectPort();
    return line_error::kNone;
}

void ModemChannel::ConnectPort() {
    connect(port_, &QSerialPort::readyRead, this, &ModemChannel::ReadAvailable);
    connect(port_, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) { CheckPortError(error); });
}

ModemPortHandover ModemChannel::HandOver(QThread* thread) {
    ModemPortHandover handover;
    if (port_ == nullptr) {
        return handover;
    }
    port_->disconnect(this);
    port_->setParent(nullptr);
    port_->moveToThread(thread);
    handover.port = std::exchange(port_, nullptr);
    handover.stream = stream_;
    handover.endResultDue = endResultDue_;
    stream_.Reset();
    expectReply_ = false;
    endResultDue_ = false;
    return handover;
}

void ModemChannel::TakeOver(ModemPortHandover handover) {
    Close();
    if (handover.port == nullptr) {
        return;
    }
    port_ = handover.port;
    port_->setParent(this);
    stream_ = handover.stream;
    endResultDue_ = handover.endResultDue;
    ConnectPort();
    // What the other thread's waits read but did not use, and what came
    // meanwhile, would otherwise wait for the next byte to be seen.
    QMetaObject::invokeMethod(this, &ModemChannel::ReadAvailable, Qt::QueuedConnection);
}

void ModemChannel::Close() {
    if (port_ == nullptr) {
        return;
    }
    port_->disconnect(this);
    port_->close();
    port_->deleteLater();
    port_ = nullptr;
    stream_.Reset();
    expectReply_ = false;
    endResultDue_ = false;
}

bool ModemChannel::IsOpen() const {
    return port_ != nullptr;
}

void ModemChannel::CheckPortError(QSerialPort::SerialPortError error) {
    if (port_ == nullptr) {
        return;
    }
    if (error == QSerialPort::ResourceError) {
        // An unplugged or hung-up tty fails every read with EIO.
        Lost();
        return;
    }
    if (error != QSerialPort::ReadError) {
        return;
    }
    // Qt also reports a read that found nothing as a read error: the event
    // loop can announce input that a synchronous wait for a reply has
    // already taken. Only a tty that has hung up is gone.
    port_->clearError();
    pollfd descriptor{static_cast<int>(port_->handle()), POLLIN, 0};
    const int ready = ::poll(&descriptor, 1, 0);
    if ((ready < 0 && errno != EINTR) ||
        (descriptor.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        Lost();
    }
}

void ModemChannel::Lost() {
    if (port_ == nullptr) {
        return;
    }
    Close();
    replyDone_ = true;
    reply_.result = ModemResult::Closed;
    listener_->OnChannelLost(line_error::kDeviceLost);
}

bool ModemChannel::Send(std::span<const uint8_t> bytes) {
    if (port_ == nullptr) {
        return false;
    }
    const auto written = port_->write(reinterpret_cast<const char*>(bytes.data()),
                                      static_cast<qint64>(bytes.size()));
    port_->flush();
    return written == static_cast<qint64>(bytes.size());
}

bool ModemChannel::SendLine(const std::string& command) {
    const std::string line = command + '\r';
    return Send(std::span(reinterpret_cast<const uint8_t*>(line.data()), line.size()));
}

ModemReply ModemChannel::Command(const std::string& command, int timeoutMs) {
    if (port_ == nullptr) {
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
    if (port_ == nullptr) {
        return {ModemResult::Closed, {}};
    }
    if (!stream_.InVoiceReceive()) {
        return {ModemResult::Ok, {}};
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
        reply_.result = port_ == nullptr ? ModemResult::Closed : ModemResult::Timeout;
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
    if (port_ == nullptr) {
        return false;
    }
    const bool lowered = port_->setDataTerminalReady(false);
    Discard(lowMs);
    if (port_ != nullptr) {
        port_->setDataTerminalReady(true);
        port_->clearError();
    }
    return lowered;
}

bool ModemChannel::WaitUntil(int timeoutMs, const std::function<bool()>& done) {
    waiting_ = true;
    const QDeadlineTimer deadline(timeoutMs);
    while (!done() && port_ != nullptr) {
        const qint64 remaining = deadline.remainingTime();
        if (remaining <= 0) {
            break;
        }
        if (port_->bytesAvailable() > 0) {
            ReadAvailable();
            continue;
        }
        if (!port_->waitForReadyRead(static_cast<int>(remaining)) && port_ != nullptr) {
            CheckPortError(port_->error());
        }
    }
    waiting_ = false;
    return done();
}

void ModemChannel::ReadAvailable() {
    if (port_ == nullptr) {
        return;
    }
    ++readDepth_;
    const QByteArray data = port_->readAll();
    stream_.Feed(std::span(reinterpret_cast<const uint8_t*>(data.constData()),
                           static_cast<std::size_t>(data.size())),
                 *this);
    --readDepth_;
    if (!waiting_ && readDepth_ == 0 && port_ != nullptr) {
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

#include "telephony/tapi.h"

#include <QMetaObject>
#include <utility>

namespace orvane {

Tapi::Tapi(std::unique_ptr<LineBackend> backend, QObject* parent)
    : QObject(parent), backend_(std::move(backend)) {
    setObjectName(QStringLiteral("Tapi1"));
    backend_->SetEventSink(this);
}

Tapi::~Tapi() {
    if (backend_->IsOpen()) {
        backend_->Close();
    }
    backend_->SetEventSink(nullptr);
}

void Tapi::LineInitialize() {
    if (!initialized_) {
        initialized_ = true;
        backend_->Initialize();
    }
}

qint32 Tapi::LineCount() {
    return initialized_ ? backend_->DeviceCount() : 0;
}

qint32 Tapi::LineIndex() const {
    // Read back while open, it names the open line.
    const qint32 open = backend_->OpenIndex();
    return open >= 0 ? open : lineIndex_;
}

void Tapi::SetLineIndex(qint32 index) {
    lineIndex_ = index;
}

void Tapi::GetLineDetails(LineDetails& details) {
    details = initialized_ ? backend_->Details(lineIndex_) : LineDetails{};
}

qint32 Tapi::LineOpen(qint32 /*privileges*/, qint32 /*mediaModes*/) {
    if (!initialized_) {
        return line_error::kNotInitialized;
    }
    if (backend_->IsOpen()) {
        return line_error::kAlreadyOpen;
    }
    return backend_->Open(lineIndex_);
}

void Tapi::LineOpenInBackground(qint32 /*privileges*/, qint32 /*mediaModes*/,
                                std::function<void(qint32)> done) {
    if (!initialized_) {
        done(line_error::kNotInitialized);
        return;
    }
    if (backend_->IsOpen() || backend_->Opening()) {
        done(line_error::kAlreadyOpen);
        return;
    }
    backend_->OpenInBackground(lineIndex_, std::move(done));
}

bool Tapi::LineOpening() const {
    return backend_->Opening();
}

void Tapi::WhenLinesListed(std::function<void()> then) {
    backend_->WhenDevicesListed(std::move(then));
}

qint32 Tapi::LineClose() {
    if (!backend_->IsOpen() && !backend_->Opening()) {
        return line_error::kNotOpen;
    }
    return backend_->Close();
}

qint32 Tapi::LineShutdown() {
    if (!initialized_) {
        return line_error::kNotInitialized;
    }
    // The service stays usable: the next LineOpen needs no new LineInitialize.
    if (backend_->IsOpen() || backend_->Opening()) {
        backend_->Close();
    }
    return line_error::kNone;
}

QString Tapi::LineErrText(const qint32& code) const {
    return LineErrorText(code);
}

QString Tapi::LinePortHolder() const {
    return backend_->PortHolder();
}

bool Tapi::LineOpened() const {
    return backend_->IsOpen();
}

bool Tapi::CallActive() const {
    return backend_->CallActive();
}

qint32 Tapi::LineAnswer() {
    if (!backend_->IsOpen()) {
        return line_error::kNotOpen;
    }
    return backend_->Answer();
}

qint32 Tapi::LineDrop() {
    if (!backend_->IsOpen()) {
        return line_error::kNotOpen;
    }
    return backend_->Drop();
}

bool Tapi::PlayToLine(const QString& path, LineBackend::PlayDone done) {
    return backend_->IsOpen() && backend_->PlayToLine(path, std::move(done));
}

qint32 Tapi::LineMakeCall(QString& number) {
    if (!backend_->IsOpen()) {
        return line_error::kNotOpen;
    }
    return backend_->MakeCall(number);
}

qint32 Tapi::GetWaveID(qint32 direction) const {
    return direction == 1 ? backend_->WaveInDevice() : -1;
}

// Each event is emitted from its own queued call, so a handler never runs
// inside the backend's parsing, and one that processes events lets the next
// event in as the program's handlers expect.
void Tapi::Post(std::function<void()> emitEvent) {
    QMetaObject::invokeMethod(this, std::move(emitEvent), Qt::QueuedConnection);
}

void Tapi::OnIncomingCall() {
    Post([this] { Q_EMIT InComeCall(); });
}
void Tapi::OnRing(qint32 count) {
    Post([this, count] { Q_EMIT Ring(count); });
}
void Tapi::OnCallerId(const QString& name, const QString& number) {
    Post([this, name, number] { Q_EMIT CallerID(name, number); });
}
void Tapi::OnConnected() {
    Post([this] { Q_EMIT Connected(); });
}
void Tapi::OnDisconnected() {
    Post([this] { Q_EMIT Disconnected(); });
}
void Tapi::OnIdle() {
    Post([this] { Q_EMIT Idle(); });
}
void Tapi::OnOutgoingProgress() {
    Post([this] { Q_EMIT OutgoingProgress(); });
}
void Tapi::OnLineLost(qint32 code) {
    Post([this, code] { Q_EMIT LineLost(code); });
}
void Tapi::OnDialFailed(qint32 code) {
    Post([this, code] { Q_EMIT DialFailed(code); });
}

}  // namespace orvane

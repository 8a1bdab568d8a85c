#include "telephony/voice_modem_backend.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <utility>

#include "audio/sonvel_host.h"
#include "audio/telephone_sound.h"
#include "journal/journal_writer.h"
#include "settings/names/devices.h"
#include "settings/store/registry_routines.h"
#include "telephony/caller_id_standard.h"
#include "telephony/modem/dle_codec.h"
#include "telephony/modem/transmit_pacer.h"
#include "telephony/modem/voice_transmit.h"
#include "telephony/tapi.h"

namespace orvane {

// A play under way: the stream is written as the modem plays it, from a
// timer, so the program goes on meanwhile.
struct VoiceModemBackend::LinePlay {
    LinePlay(std::vector<uint8_t> shielded, int payloadPerSecond)
        : stream(std::move(shielded)), pacer(stream, payloadPerSecond) {}

    std::vector<uint8_t> stream;
    modem::TransmitPacer pacer;  // over `stream`
    QString name;
    std::vector<int16_t> samples;
    bool wasReceiving = false;
    QElapsedTimer clock;
    QDeadlineTimer deadline;
    std::optional<ModemResult> result;  // the modem's answer once it has played
    PlayDone done;
};
namespace {

QString CallerText(const std::string& text) {
    return QString::fromStdString(text);
}

// How a dial-out that did not connect ended, as a result code.
qint32 DialFailureCode(ModemResult result) {
    switch (result) {
        case ModemResult::Busy:
            return line_error::kBusy;
        case ModemResult::NoDialTone:
            return line_error::kNoDialTone;
        default:
            return line_error::kNoAnswerFromCallee;
    }
}

// The AT!4886= command of the chosen standard; empty for the modem's own.
std::string StandardCommandOf(const VoiceModemSettings& settings) {
    return settings.callerIdStandard.isEmpty() ? std::string()
                                               : CallerIdStandardCommand(settings.callerIdStandard);
}

}  // namespace

// "W" waits for a dial tone, "P" and "T" choose pulse or tone, "," pauses.
QString DialableNumber(const QString& number) {
    QString dialable;
    for (const QChar c : number) {
        const QChar upper = c.toUpper();
        if ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('*') ||
            c == QLatin1Char('#') || c == QLatin1Char('+') || c == QLatin1Char(',') ||
            upper == QLatin1Char('W') || upper == QLatin1Char('P') || upper == QLatin1Char('T')) {
            dialable += upper;
        }
    }
    const bool hasDigit =
        std::any_of(dialable.begin(), dialable.end(), [](QChar c) { return c.isDigit(); });
    return hasDigit ? dialable.left(40) : QString();
}

// What a worker thread's channel hears while it sets a modem up: kept, and
// handed to the line once it is open, in the order it came.
struct HeldModemInput {
    enum class Kind { Line, Event, VoiceEnd } kind;
    std::string line;
    char code = 0;
};

class HoldingListener : public ModemChannelListener {
  public:
    void OnModemLine(std::string_view line) override {
        held.push_back({HeldModemInput::Kind::Line, std::string(line), 0});
    }
    void OnModemEvent(char code) override {
        held.push_back({HeldModemInput::Kind::Event, {}, code});
    }
    void OnVoiceData(std::span<const uint8_t>) override {}
    void OnVoiceEnd() override { held.push_back({HeldModemInput::Kind::VoiceEnd, {}, 0}); }
    void OnChannelLost(qint32) override {}
    void OnModemInputDone() override {}

    std::vector<HeldModemInput> held;
};

struct VoiceModemBackend::BackgroundOpen {
    quint64 generation = 0;
    QThread* thread = nullptr;
    std::atomic<bool> cancel{false};
    qint32 index = -1;
    KnownPort device;
    std::function<void(qint32)> done;
    // Written by the worker, read once it has finished.
    qint32 result = line_error::kNone;
    QString holder;
    ModemSetup setup;
    ModemPortHandover handover;
    std::vector<HeldModemInput> input;
};

VoiceModemSettings ReadVoiceModemSettings() {
    VoiceModemSettings settings;
    const RegistryRoutines store(kHkeyLocalMachine, product::kRootKey, kTabDevices);
    const QString ports = store.GetRegistryValue(setting::kTxtLinePorts).toString();
    settings.extraPorts =
        ports.split(QRegularExpression(QStringLiteral("[;\\n]")), Qt::SkipEmptyParts);
    settings.extraInit = store.GetRegistryValue(setting::kTxtModemInit).toString().trimmed();
    const auto limit = [&](const QString& name, int most) {
        bool ok = false;
        const int value = store.GetRegistryValue(name).toString().trimmed().toInt(&ok);
        return ok ? std::clamp(value, 0, most) : 0;
    };
    settings.silenceLimitSeconds = limit(setting::kTxtSilenceLimit, 3600);
    settings.longestCallSeconds = limit(setting::kTxtLongestCall, 24 * 60) * 60;
    settings.callerIdStandard =
        CallerIdStandardCode(store.GetRegistryValue(setting::kCmbCallerIdStandard).toString());
    return settings;
}

std::unique_ptr<Tapi> Tapi::CreateForModems(QObject* parent) {
    return std::make_unique<Tapi>(std::make_unique<VoiceModemBackend>(&ReadVoiceModemSettings),
                                  parent);
}

VoiceModemBackend::VoiceModemBackend(std::function<VoiceModemSettings()> settings,
                                     VoiceModemTiming timing, QObject* parent)
    : QObject(parent), settings_(std::move(settings)), timing_(timing), channel_(this, this) {
    ringTimer_.setSingleShot(true);
    callerIdTimer_.setSingleShot(true);
    dialTimer_.setSingleShot(true);
    listedBudget_.setSingleShot(true);
    // Often enough that each write is small; the pacer says how much.
    playTimer_.setInterval(std::chrono::milliseconds(10));
    playTimer_.setTimerType(Qt::PreciseTimer);
    connect(&playTimer_, &QTimer::timeout, this, [this] { WriteDuePlay(); });
    connect(&listedBudget_, &QTimer::timeout, this, [this] { TellDevicesListed(); });
    connect(&ringTimer_, &QTimer::timeout, this, [this] {
        // The ringing stopped and nobody answered: the call is over.
        if (state_ == CallState::Ringing) {
            ReportCallerId();
            EndCall();
        }
    });
    connect(&callerIdTimer_, &QTimer::timeout, this, [this] { ReportCallerId(); });
    connect(&dialTimer_, &QTimer::timeout, this, [this] {
        if (state_ == CallState::Dialing) {
            dialResult_ = ModemResult::NoAnswer;
            OnModemInputDone();
        }
    });
}

VoiceModemBackend::~VoiceModemBackend() {
    CancelOpening();
    if (IsOpen()) {
        Close();
    }
    for (RunningProbe& probe : running_) {
        probe.thread->wait();
        delete probe.thread;
    }
}

// ---------------------------------------------------------------- devices

void VoiceModemBackend::CollectFinishedProbes() {
    const auto now = std::chrono::steady_clock::now();
    for (auto it = running_.begin(); it != running_.end();) {
        if (!it->thread->isFinished()) {
            ++it;
            continue;
        }
        KnownPort known{it->port, *it->result, true, now};
        cache_[it->port.canonical] = known;
        delete it->thread;
        it = running_.erase(it);
    }
}

void VoiceModemBackend::ProbeNewPorts(const std::vector<SerialPortCandidate>& ports, bool wait) {
    const auto now = std::chrono::steady_clock::now();
    for (const SerialPortCandidate& port : ports) {
        if (!port.probeWhenListed || (IsOpen() && port.canonical == openDevice_.port.canonical) ||
            (opening_ && port.canonical == opening_->device.port.canonical)) {
            continue;
        }
        const auto cached = cache_.find(port.canonical);
        if (cached != cache_.end()) {
            const bool fresh =
                cached->second.probe.answered || now - cached->second.probedAt < timing_.probeRetry;
            if (fresh && cached->second.port.path == port.path) {
                continue;
            }
        }
        const bool running = std::any_of(running_.begin(), running_.end(), [&](const auto& probe) {
            return probe.port.canonical == port.canonical;
        });
        if (running) {
            continue;
        }
        RunningProbe probe;
        probe.port = port;
        probe.result = std::make_shared<ModemProbe>();
        const auto result = probe.result;
        const QString path = port.path;
        const auto commandTimeout = timing_.probeCommand;
        probe.thread = QThread::create(
            [result, path, commandTimeout] { *result = ProbeModem(path, commandTimeout); });
        probe.id = ++nextProbeId_;
        probe.deadline = QDeadlineTimer(timing_.probeBudget);
        const quint64 id = probe.id;
        connect(probe.thread, &QThread::finished, this, [this, id] { ProbeFinished(id); });
        probe.thread->start();
        running_.push_back(probe);
    }
    if (!wait) {
        return;
    }
    // The probes run side by side, each within its budget from its start:
    // one that has had its time is not waited for again.
    for (RunningProbe& probe : running_) {
        probe.thread->wait(probe.deadline);
    }
    CollectFinishedProbes();
}

std::vector<SerialPortCandidate> VoiceModemBackend::ListPorts() const {
    return WithNamedPorts(systemPorts_(), settings_().extraPorts);
}

void VoiceModemBackend::ProbeFinished(quint64 id) {
    const auto finished = std::find_if(running_.begin(), running_.end(),
                                       [id](const RunningProbe& probe) { return probe.id == id; });
    if (finished != running_.end()) {
        // It has said "finished" and is ending: a moment at most.
        finished->thread->wait();
        CollectFinishedProbes();
    }
    // A listing may have collected it already.
    if (running_.empty()) {
        TellDevicesListed();
    }
}

void VoiceModemBackend::WhenDevicesListed(std::function<void()> then) {
    CollectFinishedProbes();
    if (running_.empty()) {
        then();
        return;
    }
    listedWaiters_.push_back(std::move(then));
    if (!listedBudget_.isActive()) {
        listedBudget_.start(timing_.probeBudget);
    }
}

void VoiceModemBackend::TellDevicesListed() {
    listedBudget_.stop();
    const std::vector<std::function<void()>> waiters = std::move(listedWaiters_);
    listedWaiters_.clear();
    for (const auto& then : waiters) {
        then();
    }
}

void VoiceModemBackend::Initialize() {
    ProbeNewPorts(ListPorts(), false);
}

qint32 VoiceModemBackend::DeviceCount() {
    const std::vector<SerialPortCandidate> ports = ListPorts();
    CollectFinishedProbes();
    ProbeNewPorts(ports, true);
    devices_.clear();
    for (const SerialPortCandidate& port : ports) {
        if (IsOpen() && port.canonical == openDevice_.port.canonical) {
            devices_.push_back(openDevice_);
            continue;
        }
        const auto cached = cache_.find(port.canonical);
        if (cached != cache_.end()) {
            KnownPort known = cached->second;
            known.port = port;
            devices_.push_back(known);
        } else {
            devices_.push_back(KnownPort{port, ModemProbe{}, false, {}});
        }
    }
    if (IsOpen()) {
        // The open line keeps its number while it is open.
        const auto open = std::find_if(devices_.begin(), devices_.end(), [&](const KnownPort& d) {
            return d.port.canonical == openDevice_.port.canonical;
        });
        openIndex_ = open == devices_.end() ? -1 : static_cast<qint32>(open - devices_.begin());
    }
    return static_cast<qint32>(devices_.size());
}

LineDetails VoiceModemBackend::Details(qint32 index) {
    if (index < 0 || index >= static_cast<qint32>(devices_.size())) {
        return {};
    }
    const KnownPort& device = devices_[static_cast<std::size_t>(index)];
    return DetailsOf(device.port, device.probe);
}

// ---------------------------------------------------------------- the line

std::optional<qint32> VoiceModemBackend::RefuseOpen(qint32 index) const {
    if (opening_) {
        return line_error::kAlreadyOpen;
    }
    if (index < 0 || index >= static_cast<qint32>(devices_.size())) {
        return line_error::kBadDeviceIndex;
    }
    const KnownPort& device = devices_[static_cast<std::size_t>(index)];
    // A port that is gone (the modem unplugged since the listing) is said
    // as such, not as a modem that did not answer.
    if (!QFileInfo::exists(device.port.path)) {
        return line_error::kNoSuchPort;
    }
    // What a probe found moments ago holds now: a port with nothing behind
    // it would only make the user wait once more.
    const bool silent = device.probed && !device.probe.answered && !device.probe.held &&
                        !device.probe.permissionDenied;
    if (silent && std::chrono::steady_clock::now() - device.probedAt < timing_.probeRetry) {
        return line_error::kNoAnswer;
    }
    return std::nullopt;
}

ModemSetupTiming VoiceModemBackend::SetupTiming() const {
    return {Ms(timing_.command), Ms(timing_.reset), Ms(timing_.afterReset),
            Ms(timing_.probeCommand)};
}

qint32 VoiceModemBackend::Open(qint32 index) {
    if (const auto refused = RefuseOpen(index)) {
        return *refused;
    }
    const KnownPort device = devices_[static_cast<std::size_t>(index)];
    // A call may begin while the modem is still being set up; what it says
    // then belongs to the open line.
    ForgetCall();
    DropHeldInput();
    decoder_.reset();
    const qint32 opened = channel_.Open(device.port.path);
    portHolder_ = channel_.Holder();
    if (opened != line_error::kNone) {
        return opened;
    }
    const std::optional<ModemProbe> known =
        device.probed ? std::optional(device.probe) : std::nullopt;
    const VoiceModemSettings settings = settings_();
    const ModemSetup setup = SetUpModem(channel_, known, settings.extraInit.toStdString(),
                                        SetupTiming(), nullptr, StandardCommandOf(settings));
    if (setup.result != line_error::kNone) {
        channel_.Close();
        return setup.result;
    }
    BecomeOpen(index, device, setup);
    // Work noted while the setup commands waited is done now.
    OnModemInputDone();
    return line_error::kNone;
}

void VoiceModemBackend::OpenInBackground(qint32 index, std::function<void(qint32)> done) {
    if (const auto refused = RefuseOpen(index)) {
        done(*refused);
        return;
    }
    if (IsOpen()) {
        done(line_error::kAlreadyOpen);
        return;
    }
    ForgetCall();
    DropHeldInput();
    decoder_.reset();
    opening_ = std::make_unique<BackgroundOpen>();
    BackgroundOpen* opening = opening_.get();
    opening->generation = ++openingGeneration_;
    opening->index = index;
    opening->device = devices_[static_cast<std::size_t>(index)];
    opening->done = std::move(done);
    const QString path = opening->device.port.path;
    const std::optional<ModemProbe> known =
        opening->device.probed ? std::optional(opening->device.probe) : std::nullopt;
    const VoiceModemSettings settings = settings_();
    const std::string extraInit = settings.extraInit.toStdString();
    const std::string standard = StandardCommandOf(settings);
    const ModemSetupTiming timing = SetupTiming();
    opening->thread = QThread::create([opening, path, known, extraInit, standard, timing] {
        HoldingListener listener;
        ModemChannel channel(&listener);
        opening->result = channel.Open(path);
        opening->holder = channel.Holder();
        if (opening->result == line_error::kNone) {
            opening->setup =
                SetUpModem(channel, known, extraInit, timing, &opening->cancel, standard);
            opening->result = opening->setup.result;
            if (opening->result == line_error::kNone) {
                opening->handover = channel.HandOver();
            }
        }
        opening->input = std::move(listener.held);
    });
    const quint64 generation = opening->generation;
    connect(opening->thread, &QThread::finished, this,
            [this, generation] { FinishOpening(generation, true); });
    opening->thread->start();
}

void VoiceModemBackend::FinishOpening(quint64 generation, bool deliver) {
    if (!opening_ || opening_->generation != generation) {
        return;
    }
    const std::unique_ptr<BackgroundOpen> opening = std::move(opening_);
    opening->thread->wait();
    delete opening->thread;
    qint32 result = opening->result;
    portHolder_ = opening->holder;
    if (opening->handover.link != nullptr) {
        channel_.TakeOver(std::move(opening->handover));
        if (channel_.IsOpen()) {
            BecomeOpen(opening->index, opening->device, opening->setup);
        } else {
            result = line_error::kDeviceLost;
        }
    }
    if (!deliver) {
        return;
    }
    if (IsOpen()) {
        for (const HeldModemInput& input : opening->input) {
            Deliver(input);
        }
        OnModemInputDone();
    }
    if (opening->done) {
        opening->done(result);
    }
}

void VoiceModemBackend::CancelOpening() {
    if (!opening_) {
        return;
    }
    opening_->cancel = true;
    FinishOpening(opening_->generation, false);
}

void VoiceModemBackend::BecomeOpen(qint32 index, const KnownPort& device, const ModemSetup& setup) {
    openDevice_ = device;
    openDevice_.probe = setup.probe;
    openDevice_.probed = true;
    openDevice_.probedAt = std::chrono::steady_clock::now();
    // A port asked only now (a built-in one the user picked) is listed
    // with what it said from now on.
    cache_[device.port.canonical] = openDevice_;
    line_ = setup.line;
    JournalCallerIdOff(false);
    JournalCallerIdStandard(false);
    if (setup.formatRefused) {
        WriteSysLog(QStringLiteral("The modem refused the sample format; the line has no "
                                   "usable audio"),
                    line_error::kNoVoiceFormat, QStringLiteral("VoiceModem_Open"));
    }
    if (line_.format) {
        externalInput_ = sonvel::CreateExternalInput(
            "Modem line (" +
                (device.port.kernelName.isEmpty() ? device.port.portName : device.port.kernelName)
                    .toStdString() +
                ")",
            sonvel::Pcm16Format(8000, 1));
    }
    // The listing may have changed while the modem was set up.
    const auto listed = std::find_if(devices_.begin(), devices_.end(), [&](const KnownPort& d) {
        return d.port.canonical == device.port.canonical;
    });
    openIndex_ = listed != devices_.end() ? static_cast<qint32>(listed - devices_.begin()) : index;
}

qint32 VoiceModemBackend::EnterIdleMode() {
    const bool wasOff = line_.callerIdOff;
    const bool standardWasRefused = line_.callerIdStandardRefused;
    // A standard chosen while the line is open is sent from the next call on.
    line_.callerIdStandard = StandardCommandOf(settings_());
    const qint32 result = EnterVoiceIdle(channel_, line_, Ms(timing_.command));
    JournalCallerIdOff(wasOff);
    JournalCallerIdStandard(standardWasRefused);
    return result;
}

qint32 VoiceModemBackend::Close() {
    EndPlay();
    const bool wasOpening = Opening();
    CancelOpening();
    if (!IsOpen()) {
        return wasOpening ? line_error::kNone : line_error::kNotOpen;
    }
    // Closing ends a call without events: the program closes the line on
    // purpose and handles its own side.
    if (state_ != CallState::None) {
        StopReceive();
        channel_.Command(line_.commands.hangUp, Ms(timing_.command));
    }
    channel_.Command(line_.commands.dataMode, Ms(timing_.command));
    channel_.Close();
    ForgetCall();
    DropHeldInput();
    ReleaseLine();
    return line_error::kNone;
}

void VoiceModemBackend::ReleaseLine() {
    if (externalInput_ != 0) {
        sonvel::RemoveVirtualDevice(externalInput_);
        externalInput_ = 0;
    }
    line_.lineLabel.reset();
    openIndex_ = -1;
}

qint32 VoiceModemBackend::WaveInDevice() const {
    return externalInput_ != 0 ? sonvel::WaveInDeviceNumber(externalInput_) : -1;
}

// ---------------------------------------------------------------- calls

qint32 VoiceModemBackend::Answer() {
    if (state_ == CallState::Connected || state_ == CallState::Dialing) {
        return line_error::kCallInProgress;
    }
    if (state_ != CallState::Ringing) {
        return line_error::kNoCall;
    }
    return GoOffHookAndReceive();
}

void VoiceModemBackend::PrepareDecoder() {
    if (decoder_ == nullptr && line_.format) {
        decoder_ =
            std::make_unique<modem::VoiceDecoder>(line_.format->encoding, line_.format->rate);
    }
    if (decoder_ != nullptr) {
        decoder_->Reset();
    }
    ArmCallLimits();
}

qint32 VoiceModemBackend::GoOffHookAndReceive() {
    ringTimer_.stop();
    ReportCallerId();
    const int timeout = Ms(timing_.command);
    const std::string offHook = line_.lineLabel
                                    ? line_.commands.linePrefix + std::to_string(*line_.lineLabel)
                                    : line_.commands.offHookFallback;
    const ModemReply answered = channel_.Command(offHook, timeout);
    if (!answered.ok() && answered.result != ModemResult::VoiceConnect) {
        return channel_.IsOpen() ? line_error::kCommandRefused : line_error::kDeviceLost;
    }
    PrepareDecoder();
    channel_.ArmVoiceReceive();
    const ModemReply receiving = channel_.Command(line_.commands.startReceive, timeout);
    if (!channel_.IsOpen()) {
        return line_error::kDeviceLost;
    }
    // Off-hook without sound is still a connected call: it can be dropped,
    // only nothing is recorded.
    state_ = CallState::Connected;
    if (sink_ != nullptr) {
        sink_->OnConnected();
    }
    return receiving.result == ModemResult::Connect ? line_error::kNone
                                                    : line_error::kCommandRefused;
}

void VoiceModemBackend::StopReceive() {
    EndPlay();
    if (!channel_.InVoiceReceive()) {
        return;
    }
    // The sound up to <DLE><ETX> is the end of the call: it is kept.
    const ModemReply ended = AskReceiveEnd();
    if (!channel_.IsOpen() ||
        (!channel_.InVoiceReceive() && ended.result != ModemResult::Timeout)) {
        return;
    }
    // The modem is still off-hook and streaming: only DTR puts it down now.
    const bool dropped = channel_.DropDtr(Ms(timing_.hardHangUp));
    WriteSysLog(dropped ? QStringLiteral("The modem did not end the voice receive; hung up by "
                                         "dropping DTR")
                        : QStringLiteral("The modem did not end the voice receive and the port "
                                         "cannot drop DTR; the line may still be off-hook"),
                0, QStringLiteral("VoiceModem_StopReceive"));
}

void VoiceModemBackend::HangUp() {
    StopReceive();
    const int timeout = Ms(timing_.command);
    if (!channel_.Command(line_.commands.hangUp, timeout).ok()) {
        channel_.Command("ATH0", timeout);
    }
    if (channel_.IsOpen()) {
        EnterIdleMode();
    }
}

void VoiceModemBackend::ForgetCall() {
    ringTimer_.stop();
    callerIdTimer_.stop();
    dialTimer_.stop();
    callerId_.Reset();
    state_ = CallState::None;
    ringCount_ = 0;
    incomingRaised_ = false;
    callerIdReported_ = false;
    reportedCaller_ = {};
    handsetPickedUp_ = false;
    hangUpCue_ = false;
    dialResult_.reset();
    waitingCallNoted_ = false;
}

void VoiceModemBackend::EndCall() {
    ForgetCall();
    if (sink_ != nullptr) {
        sink_->OnIdle();
    }
}

qint32 VoiceModemBackend::Drop() {
    if (state_ == CallState::None) {
        return line_error::kNoCall;
    }
    holdInput_ = true;
    switch (state_) {
        case CallState::None:
            break;
        case CallState::Ringing: {
            // Rejecting an offered call: take the line and put it down.
            const std::string offHook =
                line_.lineLabel ? line_.commands.linePrefix + std::to_string(*line_.lineLabel)
                                : line_.commands.offHookFallback;
            channel_.Command(offHook, Ms(timing_.command));
            HangUp();
            break;
        }
        case CallState::Dialing: {
            // Any character ends a dial in progress.
            static const uint8_t kAbort[] = {'\r'};
            channel_.Send(kAbort);
            channel_.Discard(200);
            HangUp();
            break;
        }
        case CallState::Connected:
        case CallState::AwaitingDrop:
            HangUp();
            break;
    }
    if (!channel_.IsOpen()) {
        // The modem went away meanwhile; losing it ended the call already.
        return line_error::kDeviceLost;
    }
    EndCall();
    DeliverHeldInputLater();
    return line_error::kNone;
}

qint32 VoiceModemBackend::MakeCall(const QString& number) {
    if (!IsOpen()) {
        return line_error::kNotOpen;
    }
    if (state_ != CallState::None) {
        return line_error::kCallInProgress;
    }
    const QString dialable = DialableNumber(number);
    if (dialable.isEmpty()) {
        return line_error::kBadNumber;
    }
    if (!channel_.SendLine(line_.commands.dialPrefix + dialable.toStdString())) {
        return line_error::kDeviceLost;
    }
    state_ = CallState::Dialing;
    dialTimer_.start(timing_.dialTimeout);
    if (sink_ != nullptr) {
        sink_->OnOutgoingProgress();
    }
    return line_error::kNone;
}

// ---------------------------------------------------------------- modem input

void VoiceModemBackend::BeginIncomingCall() {
    if (state_ != CallState::None) {
        return;
    }
    state_ = CallState::Ringing;
    ringCount_ = 0;
    callerIdReported_ = false;
    if (!incomingRaised_ && sink_ != nullptr) {
        incomingRaised_ = true;
        sink_->OnIncomingCall();
    }
    ringTimer_.start(timing_.ringTimeout);
}

void VoiceModemBackend::RingSignal() {
    if (state_ == CallState::Connected) {
        NoteWaitingCall();
        return;
    }
    BeginIncomingCall();
    if (state_ != CallState::Ringing) {
        return;
    }
    // A caller ID sent before this ring is reported before it.
    ReportCallerId();
    ++ringCount_;
    if (sink_ != nullptr) {
        sink_->OnRing(ringCount_);
    }
    ringTimer_.start(timing_.ringTimeout);
}

void VoiceModemBackend::CallerIdLine() {
    // Caller ID before the first ring is the first sign of the call.
    BeginIncomingCall();
    // Also after a report: a late field completes the caller.
    if (state_ == CallState::Ringing) {
        callerIdTimer_.start(timing_.callerIdQuiet);
    }
}

void VoiceModemBackend::ReportCallerId() {
    callerIdTimer_.stop();
    if (!callerId_.Started() || state_ == CallState::None) {
        return;
    }
    // The collector keeps the first value of each field for the whole call,
    // so a repeated caller ID changes nothing and a late field adds to it.
    const modem::CallerId caller = callerId_.Peek();
    const bool nothing =
        caller.name == modem::kCallerUnknown && caller.number == modem::kCallerUnknown;
    const bool unchanged = callerIdReported_ && caller.name == reportedCaller_.name &&
                           caller.number == reportedCaller_.number;
    if (nothing || unchanged) {
        return;
    }
    callerIdReported_ = true;
    reportedCaller_ = caller;
    if (sink_ != nullptr) {
        sink_->OnCallerId(CallerText(caller.name), CallerText(caller.number));
    }
}

void VoiceModemBackend::OnModemLine(std::string_view line) {
    if (holdInput_) {
        held_.push_back({HeldModemInput::Kind::Line, std::string(line), 0});
        return;
    }
    if (state_ == CallState::Dialing) {
        if (const auto result = FinalResultOf(line)) {
            dialResult_ = *result;
            return;
        }
    }
    if (play_ != nullptr && !play_->result) {
        if (const auto result = FinalResultOf(line)) {
            play_->result = *result;
            return;
        }
    }
    if (line.size() >= 4 && (line.substr(0, 4) == "RING" || line.substr(0, 4) == "ring")) {
        RingSignal();
        return;
    }
    if (state_ == CallState::None || state_ == CallState::Ringing) {
        if (callerId_.FeedLine(line)) {
            CallerIdLine();
        }
    } else if (state_ == CallState::Connected) {
        // Read apart from the call's own caller, which it must not change.
        modem::CallerIdCollector waiting;
        if (waiting.FeedLine(line)) {
            NoteWaitingCall();
        }
    }
}

void VoiceModemBackend::OnModemEvent(char code) {
    if (holdInput_) {
        held_.push_back({HeldModemInput::Kind::Event, {}, code});
        return;
    }
    namespace ev = modem::event;
    switch (code) {
        case ev::kRing:
            RingSignal();
            break;
        case ev::kHandsetOffHook:
        case ev::kLineVoltageDown:
        case ev::kRockwellOffHook:
            if (state_ == CallState::Ringing) {
                handsetPickedUp_ = true;
            }
            break;
        case ev::kHandsetOnHook:
        case ev::kLineVoltageUp:
        case ev::kBusy:
        case ev::kDialTone:
        case ev::kLoopBreak:
        case ev::kSilence:
            if (state_ == CallState::Connected) {
                hangUpCue_ = true;
            }
            break;
        case ev::kUnderrun:
            NoteUnderrun();
            break;
        default:
            // DTMF digits, "quiet" and the rest change nothing here.
            break;
    }
}

void VoiceModemBackend::OnVoiceData(std::span<const uint8_t> bytes) {
    if (decoder_ == nullptr || externalInput_ == 0) {
        return;
    }
    samples_.clear();
    decoder_->Decode(bytes, samples_);
    CountCallLimits(samples_);
    if (!samples_.empty()) {
        sonvel::PushExternalInput(externalInput_, samples_.data(),
                                  samples_.size() * sizeof(int16_t));
    }
}

void VoiceModemBackend::OnVoiceEnd() {
    if (holdInput_) {
        held_.push_back({HeldModemInput::Kind::VoiceEnd, {}, 0});
        return;
    }
    // The modem ended the stream by itself: the line is gone.
    if (state_ == CallState::Connected && !channel_.Waiting()) {
        hangUpCue_ = true;
    }
}

void VoiceModemBackend::OnChannelLost(qint32 code) {
    EndPlay();
    DropHeldInput();
    const bool hadCall = state_ != CallState::None;
    ReleaseLine();
    if (hadCall) {
        EndCall();
    }
    ForgetCall();
    if (sink_ != nullptr) {
        sink_->OnLineLost(code);
    }
}

void VoiceModemBackend::OnModemInputDone() {
    if (play_ != nullptr && play_->result) {
        FinishPlay();
    }
    // A slow modem sends one line over many reads: the quiet time counts
    // from the last byte, not from the last complete line.
    if (callerIdTimer_.isActive()) {
        callerIdTimer_.start(timing_.callerIdQuiet);
    }
    if (handsetPickedUp_) {
        handsetPickedUp_ = false;
        if (state_ == CallState::Ringing) {
            GoOffHookAndReceive();
        }
    }
    if (dialResult_ && state_ == CallState::Dialing) {
        const ModemResult result = *dialResult_;
        dialResult_.reset();
        dialTimer_.stop();
        if (result == ModemResult::Ok || result == ModemResult::VoiceConnect) {
            // A dial-out's sound is recorded as an answered call's is.
            PrepareDecoder();
            channel_.ArmVoiceReceive();
            // Without sound the call is still connected: it can be talked
            // on and dropped, only not recorded.
            channel_.Command(line_.commands.startReceive, Ms(timing_.command));
            if (!channel_.IsOpen()) {
                return;
            }
            state_ = CallState::Connected;
            if (sink_ != nullptr) {
                sink_->OnConnected();
            }
        } else {
            if (sink_ != nullptr) {
                sink_->OnDialFailed(DialFailureCode(result));
            }
            RemoteHangUp();
            return;
        }
    }
    if (hangUpCue_) {
        hangUpCue_ = false;
        if (state_ == CallState::Connected) {
            RemoteHangUp();
        }
    }
}

// The far end hung up (or the local handset was put down): the tail of the
// sound is read, then the program hears of it; the call stays until it is
// dropped, by the program's handler or, failing that, by us.
void VoiceModemBackend::RemoteHangUp() {
    // A new call may ring as soon as the modem is on-hook, before the drop.
    holdInput_ = true;
    StopReceive();
    if (!channel_.IsOpen()) {
        return;
    }
    state_ = CallState::AwaitingDrop;
    if (sink_ != nullptr) {
        sink_->OnDisconnected();
    }
    DropLater();
}

void VoiceModemBackend::DropLater() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (state_ == CallState::AwaitingDrop) {
                Drop();
            }
        },
        Qt::QueuedConnection);
}

void VoiceModemBackend::Deliver(const HeldModemInput& input) {
    switch (input.kind) {
        case HeldModemInput::Kind::Line:
            OnModemLine(input.line);
            break;
        case HeldModemInput::Kind::Event:
            OnModemEvent(input.code);
            break;
        case HeldModemInput::Kind::VoiceEnd:
            OnVoiceEnd();
            break;
    }
}

// Queued after the events of the call's end, so the program hears of the
// new call after the old one is idle. Input that comes meanwhile joins the
// held input, behind what came before it.
void VoiceModemBackend::DeliverHeldInputLater() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!holdInput_) {
                return;
            }
            holdInput_ = false;
            const std::vector<HeldModemInput> held = std::exchange(held_, {});
            for (const HeldModemInput& input : held) {
                Deliver(input);
            }
            OnModemInputDone();
        },
        Qt::QueuedConnection);
}

void VoiceModemBackend::DropHeldInput() {
    holdInput_ = false;
    held_.clear();
}

// A second call's ring or caller ID while one is connected (call waiting
// that the modem reports like a new call): the connected call goes on, and
// the journal says so once per call.
void VoiceModemBackend::NoteWaitingCall() {
    if (waitingCallNoted_) {
        return;
    }
    waitingCallNoted_ = true;
    WriteSysLog(QStringLiteral("A waiting call rang during a connected call; it was ignored"), 0,
                QStringLiteral("VoiceModem_WaitingCall"));
}

void VoiceModemBackend::ArmCallLimits() {
    constexpr qint64 kRate = 8000;
    const VoiceModemSettings settings = settings_();
    silenceLimitSamples_ = settings.silenceLimitSeconds * kRate;
    longestCallSamples_ = settings.longestCallSeconds * kRate;
    silentSamples_ = 0;
    callSamples_ = 0;
}

void VoiceModemBackend::CountCallLimits(std::span<const int16_t> samples) {
    // About -40 dB of full scale: line noise stays below, speech does not.
    constexpr int kSilenceLevel = 328;
    if (state_ != CallState::Connected || samples.empty()) {
        return;
    }
    const qint64 before = callSamples_;
    callSamples_ += static_cast<qint64>(samples.size());
    for (const int16_t sample : samples) {
        silentSamples_ = std::abs(sample) < kSilenceLevel ? silentSamples_ + 1 : 0;
    }
    const bool silent = silenceLimitSamples_ > 0 && silentSamples_ >= silenceLimitSamples_;
    const bool tooLong = longestCallSamples_ > 0 && before < longestCallSamples_ &&
                         callSamples_ >= longestCallSamples_;
    if (hangUpCue_ || (!silent && !tooLong)) {
        return;
    }
    hangUpCue_ = true;
    WriteSysLog(silent ? QStringLiteral("The call was ended after %1 s of silence")
                             .arg(silenceLimitSamples_ / 8000)
                       : QStringLiteral("The call was ended at the longest call limit of %1 s")
                             .arg(longestCallSamples_ / 8000),
                0, QStringLiteral("VoiceModem_CallLimit"));
    // Sound still in flight while the call is hung up must not end it again.
    silenceLimitSamples_ = 0;
    longestCallSamples_ = 0;
}

// Once when caller ID goes off, not after every call while it stays off.
void VoiceModemBackend::JournalCallerIdOff(bool wasOff) {
    if (line_.callerIdOff && !wasOff) {
        WriteSysLog(QStringLiteral("The modem did not turn caller ID on; calls come without "
                                   "the caller's number"),
                    0, QStringLiteral("VoiceModem_CallerId"));
    }
}

// The modem played the sound faster than it came (a slow link): it goes on
// when more comes, so the play is not given up; told once a play.
void VoiceModemBackend::NoteUnderrun() {
    if (play_ == nullptr || underrunNoted_) {
        return;
    }
    underrunNoted_ = true;
    WriteSysLog(QStringLiteral("The sound played to the line came slower than the modem played "
                               "it; the play went on with gaps"),
                0, QStringLiteral("VoiceModem_PlayToLine"));
}

// Once when the modem refuses the caller-ID standard, not after every call.
void VoiceModemBackend::JournalCallerIdStandard(bool wasRefused) {
    if (line_.callerIdStandardRefused && !wasRefused) {
        WriteSysLog(QStringLiteral("The modem refused the caller-ID standard (%1); it keeps its "
                                   "own")
                        .arg(QString::fromStdString(line_.callerIdStandard)),
                    0, QStringLiteral("VoiceModem_CallerId"));
    }
}

// Some units (U.S. Robotics 5637 among them) miss the first end of a
// receive: it is sent again, within the same time, before the line is
// dropped the hard way.
ModemReply VoiceModemBackend::AskReceiveEnd() {
    constexpr int kAttempts = 3;
    ModemReply ended;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        channel_.Send(modem::kEndReceive);
        ended = channel_.FinishVoiceReceive(Ms(timing_.stopReceive) / kAttempts);
        if (!channel_.IsOpen() || !channel_.InVoiceReceive() ||
            ended.result != ModemResult::Timeout) {
            break;
        }
    }
    return ended;
}

// ---------------------------------------------------------------- playing to the line

namespace {
// Longest sound played to a line: an announcement or a message, not music.
constexpr int kMaxPlaySeconds = 300;
}  // namespace

bool VoiceModemBackend::PlayToLine(const QString& path, PlayDone done) {
    const QString source = QStringLiteral("VoiceModem_PlayToLine");
    if (play_ != nullptr || state_ != CallState::Connected || !line_.format ||
        line_.commands.startTransmit.empty()) {
        return false;
    }
    std::vector<int16_t> samples;
    const std::string error =
        sonvel::ReadTelephoneSound(path.toStdString(), kMaxPlaySeconds, &samples);
    if (!error.empty()) {
        WriteSysLog(
            QStringLiteral("Cannot play to the line: %1").arg(QString::fromStdString(error)), 0,
            source);
        return false;
    }
    auto play = std::make_unique<LinePlay>(modem::TransmitStream(samples, *line_.format),
                                           modem::PayloadBytesPerSecond(*line_.format));
    play->name = QFileInfo(path).fileName();
    play->wasReceiving = channel_.InVoiceReceive();
    play->done = std::move(done);
    StopReceive();
    if (channel_.Command(line_.commands.startTransmit, Ms(timing_.command)).result !=
        ModemResult::Connect) {
        WriteSysLog(QStringLiteral("The modem refused to play sound to the line"), 0, source);
        ResumeReceive(play->wasReceiving);
        return false;
    }
    const auto length = std::chrono::milliseconds(static_cast<int64_t>(samples.size()) * 1000 /
                                                  sonvel::kTelephoneRate);
    play->samples = std::move(samples);
    play->deadline = QDeadlineTimer(length + timing_.transmitSlack);
    play->clock.start();
    play_ = std::move(play);
    underrunNoted_ = false;
    WriteDuePlay();
    playTimer_.start();
    return true;
}

void VoiceModemBackend::WriteDuePlay() {
    if (play_ == nullptr || channel_.Waiting()) {
        return;
    }
    if (play_->deadline.hasExpired()) {
        WriteSysLog(
            QStringLiteral("The modem did not finish playing %1 to the line").arg(play_->name), 0,
            QStringLiteral("VoiceModem_PlayToLine"));
        const bool wasReceiving = play_->wasReceiving;
        EndPlay();
        ResumeReceive(wasReceiving);
        return;
    }
    if (!play_->pacer.Done()) {
        const std::span<const uint8_t> due =
            play_->pacer.Due(std::chrono::milliseconds(play_->clock.elapsed()));
        if (!due.empty()) {
            channel_.Send(due);  // a port that fails is lost, and that ends the play
        }
    }
}

void VoiceModemBackend::FinishPlay() {
    const std::unique_ptr<LinePlay> play = std::exchange(play_, nullptr);
    playTimer_.stop();
    const bool played =
        *play->result == ModemResult::Ok || *play->result == ModemResult::VoiceConnect;
    if (!played) {
        WriteSysLog(
            QStringLiteral("The modem did not finish playing %1 to the line").arg(play->name), 0,
            QStringLiteral("VoiceModem_PlayToLine"));
    }
    // A half-duplex modem hears nothing while it plays: a recording that
    // runs holds what the caller heard instead of a gap.
    if (played && play->wasReceiving && externalInput_ != 0) {
        sonvel::PushExternalInput(externalInput_, play->samples.data(),
                                  play->samples.size() * sizeof(int16_t));
    }
    // A call the far end is leaving gets no new receive.
    if (!hangUpCue_) {
        ResumeReceive(play->wasReceiving);
    }
    TellPlayDone(play->done, played);
}

void VoiceModemBackend::EndPlay() {
    if (play_ == nullptr) {
        return;
    }
    const std::unique_ptr<LinePlay> play = std::exchange(play_, nullptr);
    playTimer_.stop();
    if (!play->result && channel_.IsOpen()) {
        // The modem holds a tenth of a second at most; what it answers once
        // that has played is the play's end, not the next command's reply.
        channel_.EndTransmit(!play->pacer.Done(), Ms(timing_.command));
    }
    TellPlayDone(play->done, false);
}

void VoiceModemBackend::TellPlayDone(const PlayDone& done, bool played) {
    if (!done) {
        return;
    }
    // From the event loop: the caller acts on it with the call's state
    // settled, never inside a hang-up that ended the play.
    QMetaObject::invokeMethod(
        this, [done, played] { done(played); }, Qt::QueuedConnection);
}

void VoiceModemBackend::ResumeReceive(bool wasReceiving) {
    // The call goes on: the receive starts again where it was running.
    if (wasReceiving && channel_.IsOpen() && state_ == CallState::Connected) {
        channel_.ArmVoiceReceive();
        channel_.Command(line_.commands.startReceive, Ms(timing_.command));
    }
}

}  // namespace orvane

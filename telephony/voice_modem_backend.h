#pragma once
// The line devices of the telephony control: Hayes voice modems on serial
// ports. The modem idles in voice class with caller ID on, so rings, caller
// ID and a picked-up handset are all reported; an answered call is received
// as DLE-shielded sound, turned into 8 kHz 16-bit PCM and pushed into an
// external input of the audio engine, which the recorder opens like any
// other wave-in device.

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "telephony/line_backend.h"
#include "telephony/modem/caller_id.h"
#include "telephony/modem/dialect.h"
#include "telephony/modem/voice_format.h"
#include "telephony/modem_channel.h"
#include "telephony/modem_probe.h"
#include "telephony/modem_setup.h"

class QThread;

namespace orvane {

struct HeldModemInput;

// What the settings store says about modems.
struct VoiceModemSettings {
    QStringList extraPorts;       // device paths listed besides the system's serial ports
    QString extraInit;            // the user's own init command, sent after ours
    int silenceLimitSeconds = 0;  // silence that ends a connected call; 0: never
    int longestCallSeconds = 0;   // a connected call ends after this long; 0: never
    // The code sent with AT!4886= on every set-up; empty: the modem's own.
    QString callerIdStandard = QString();
};

// Reads "txtLinePorts", "txtModemInit", "txtSilenceLimit",
// "txtLongestCall" and "CmbCallerIdStandard" of Properties\TabDevices. A
// limit that is not a whole number is off; one beyond its range is held to
// the range's end. A standard not in the list is the modem's own.
VoiceModemSettings ReadVoiceModemSettings();

struct VoiceModemTiming {
    std::chrono::milliseconds command{2000};
    std::chrono::milliseconds reset{4000};
    // Modems need a moment after ATZ before they take the next command.
    std::chrono::milliseconds afterReset{300};
    std::chrono::milliseconds probeCommand{700};
    // Longest LineCount waits for new ports to be probed; a port that takes
    // longer is listed without capabilities until its probe is done.
    std::chrono::milliseconds probeBudget{3000};
    // A port that did not answer is asked again after this long.
    std::chrono::milliseconds probeRetry{60000};
    // Ringing that stops without an answer ends the call after this long.
    std::chrono::milliseconds ringTimeout{7000};
    // Caller-ID lines come in one burst; the caller is reported once the
    // modem has been quiet this long (since its last byte), or at the next
    // ring. A field that comes later in the same call completes the caller.
    std::chrono::milliseconds callerIdQuiet{400};
    std::chrono::milliseconds stopReceive{3000};
    // How long DTR stays low when a receive would not end.
    std::chrono::milliseconds hardHangUp{500};
    std::chrono::milliseconds dialTimeout{90000};
    // Beyond the sound's own length, how long the modem may take to play
    // it out and answer.
    std::chrono::milliseconds transmitSlack{5000};
};

class VoiceModemBackend : public QObject, public LineBackend, private ModemChannelListener {
    Q_OBJECT
  public:
    explicit VoiceModemBackend(std::function<VoiceModemSettings()> settings,
                               VoiceModemTiming timing = {}, QObject* parent = nullptr);
    ~VoiceModemBackend() override;

    void SetEventSink(LineEventSink* sink) override { sink_ = sink; }
    // Where the system's own serial ports come from (SystemSerialPorts).
    void SetSystemPortLister(std::function<std::vector<SerialPortCandidate>()> lister) {
        systemPorts_ = std::move(lister);
    }
    // Starts probing the ports on worker threads while the program loads.
    void Initialize() override;
    qint32 DeviceCount() override;
    LineDetails Details(qint32 index) override;
    // Waits for the modem's setup on the calling thread.
    qint32 Open(qint32 index) override;
    // Sets the modem up on a worker thread; the port then moves to this
    // object's thread and `done` runs there with the result.
    void OpenInBackground(qint32 index, std::function<void(qint32)> done) override;
    bool Opening() const override { return opening_ != nullptr; }
    void WhenDevicesListed(std::function<void()> then) override;
    // Also gives up an open in the background (after its current command).
    qint32 Close() override;
    bool IsOpen() const override { return channel_.IsOpen(); }
    qint32 OpenIndex() const override { return IsOpen() ? openIndex_ : -1; }
    QString PortHolder() const override { return portHolder_; }
    bool CallActive() const override { return state_ != CallState::None; }
    qint32 Answer() override;
    qint32 Drop() override;
    qint32 MakeCall(const QString& number) override;
    qint32 WaveInDevice() const override;
    // Ends a running receive and starts the modem's voice transmit; the
    // file goes out in the line's sample format as the modem plays it, and
    // the receive starts again once the modem says it has played it all.
    bool PlayToLine(const QString& path, PlayDone done) override;

  private:
    enum class CallState { None, Ringing, Dialing, Connected, AwaitingDrop };

    struct KnownPort {
        SerialPortCandidate port;
        ModemProbe probe;
        bool probed = false;
        std::chrono::steady_clock::time_point probedAt;
    };
    struct RunningProbe {
        QThread* thread = nullptr;
        std::shared_ptr<ModemProbe> result;
        SerialPortCandidate port;
        quint64 id = 0;
        QDeadlineTimer deadline;  // how long a listing waits for it
    };
    struct BackgroundOpen;

    // ModemChannelListener
    void OnModemLine(std::string_view line) override;
    void OnModemEvent(char code) override;
    void OnVoiceData(std::span<const uint8_t> bytes) override;
    void OnVoiceEnd() override;
    void OnChannelLost(qint32 code) override;
    void OnModemInputDone() override;

    void CollectFinishedProbes();
    void ProbeNewPorts(const std::vector<SerialPortCandidate>& ports, bool wait);
    void ProbeFinished(quint64 id);
    void TellDevicesListed();
    // What Open and OpenInBackground share: the checks before the port is
    // touched (a result, or nothing to go on), and taking over a set-up modem.
    std::optional<qint32> RefuseOpen(qint32 index) const;
    void BecomeOpen(qint32 index, const KnownPort& device, const ModemSetup& setup);
    ModemSetupTiming SetupTiming() const;
    // Takes the result of the open in the background; `deliver` false
    // drops what the modem said meanwhile and does not call `done`.
    void FinishOpening(quint64 generation, bool deliver);
    void CancelOpening();
    qint32 EnterIdleMode();
    // The decoder of the line's sample format, made once and reset per call.
    void PrepareDecoder();
    qint32 GoOffHookAndReceive();
    void StopReceive();
    void HangUp();
    // Back to no call; EndCall also tells the program.
    void ForgetCall();
    // What an open line holds besides the port: the sound input, the labels.
    void ReleaseLine();
    void EndCall();
    void RingSignal();
    void CallerIdLine();
    void ReportCallerId();
    void BeginIncomingCall();
    void RemoteHangUp();
    void DropLater();
    // From a call's end until the modem is set up again, what it says (a
    // new call's ring, caller ID, a picked-up handset) is held, and handled
    // in order once the setup is done.
    void Deliver(const HeldModemInput& input);
    void DeliverHeldInputLater();
    void DropHeldInput();
    int Ms(std::chrono::milliseconds duration) const { return static_cast<int>(duration.count()); }

    std::vector<SerialPortCandidate> ListPorts() const;

    std::function<VoiceModemSettings()> settings_;
    std::function<std::vector<SerialPortCandidate>()> systemPorts_ = SystemSerialPorts;
    VoiceModemTiming timing_;
    LineEventSink* sink_ = nullptr;
    ModemChannel channel_;
    std::vector<KnownPort> devices_;
    std::map<QString, KnownPort> cache_;  // by device node
    std::vector<RunningProbe> running_;
    quint64 nextProbeId_ = 0;
    std::vector<std::function<void()>> listedWaiters_;
    QTimer listedBudget_;
    std::unique_ptr<BackgroundOpen> opening_;
    QString portHolder_;
    quint64 openingGeneration_ = 0;

    qint32 openIndex_ = -1;
    KnownPort openDevice_;
    ModemLineSetup line_;
    std::unique_ptr<modem::VoiceDecoder> decoder_;
    std::vector<int16_t> samples_;
    uint32_t externalInput_ = 0;

    CallState state_ = CallState::None;
    qint32 ringCount_ = 0;
    bool incomingRaised_ = false;
    bool callerIdReported_ = false;
    modem::CallerId reportedCaller_;
    modem::CallerIdCollector callerId_;
    QTimer ringTimer_;
    QTimer callerIdTimer_;
    QTimer dialTimer_;
    // Work that sends commands, noted while the modem's bytes are being
    // read and done once they are.
    bool handsetPickedUp_ = false;
    bool hangUpCue_ = false;
    std::optional<ModemResult> dialResult_;
    bool holdInput_ = false;
    std::vector<HeldModemInput> held_;

    ModemReply AskReceiveEnd();
    void JournalCallerIdOff(bool wasOff);
    void JournalCallerIdStandard(bool wasRefused);
    void NoteUnderrun();
    bool underrunNoted_ = false;
    // Playing to the line. A hang-up, a close or a lost port ends a play
    // first (EndPlay); its `done` hears false.
    struct LinePlay;
    std::unique_ptr<LinePlay> play_;
    QTimer playTimer_;  // writes what has fallen due
    void WriteDuePlay();
    void FinishPlay();  // the modem answered the end of the stream
    void EndPlay();
    void TellPlayDone(const PlayDone& done, bool played);
    void ResumeReceive(bool wasReceiving);
    void NoteWaitingCall();
    bool waitingCallNoted_ = false;
    // A far end that goes silent, or a call that goes on and on, is ended:
    // counted in the call's samples, so the limits hold at any read size.
    void ArmCallLimits();
    void CountCallLimits(std::span<const int16_t> samples);
    qint64 silenceLimitSamples_ = 0;
    qint64 longestCallSamples_ = 0;
    qint64 silentSamples_ = 0;
    qint64 callSamples_ = 0;
};

}  // namespace orvane

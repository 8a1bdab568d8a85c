#pragma once
// The recording control: turns the current call into a WAV file in the
// recordings folder and, when the recording ends, into a call record. It
// decides what the recorder toolbar's buttons do; the audio control, the
// line and the toolbar are reached through the small interfaces below so
// that the rules run in tests against doubles.

#include <QString>
#include <QTimer>
#include <QtGlobal>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "audio/sonvel_host.h"
#include "calls/call_views.h"
#include "calls/store/call_record.h"
#include "calls/store/stored_calls.h"
#include "core/clock.h"

namespace orvane {

struct CallState;

// Wave1, the audio control that records calls.
class RecorderWave {
  public:
    virtual ~RecorderWave() = default;
    virtual qint32 StartRecordACM(qint32 device, const QString& path,
                                  const sonvel::WaveFormat& input, const sonvel::WaveFormat& codec,
                                  qint32 bufferSize) = 0;
    virtual void StopRecord() = 0;
    virtual void PauseIn() = 0;
    virtual void UnPauseIn() = 0;
    virtual bool IsPausedIn() const = 0;
    virtual bool IsRecording() const = 0;
    virtual bool IsPreScreen() const = 0;
    virtual qint32 OpenPreScreen(const sonvel::WaveFormat& format, qint32 device) = 0;
    virtual qint32 ClosePreScreen() = 0;
    virtual QString WaveInErrText(qint32 code) const = 0;
    // The file's length as time text (GetDetailsWaveFile, SecondsAsTimeString).
    virtual QString DurationText(const QString& path) = 0;
};

// The telephony control as far as the recorder needs it.
class RecorderLine {
  public:
    virtual ~RecorderLine() = default;
    virtual bool CallActive() const = 0;
    virtual qint32 WaveInDevice() const = 0;  // GetWaveID(1)
    virtual qint32 LineAnswer() = 0;
    virtual QString LineErrText(qint32 code) const = 0;
    virtual qint32 LineIndex() const = 0;
};

// The recorder toolbar, its indicators and the level display.
class RecorderView {
  public:
    virtual ~RecorderView() = default;
    virtual bool IsRecordPressed() const = 0;
    virtual bool IsPausePressed() const = 0;
    virtual bool IsListenPressed() const = 0;
    virtual void SetRecordPressed(bool pressed) = 0;
    virtual void SetPausePressed(bool pressed) = 0;
    virtual void SetListenPressed(bool pressed) = 0;
    virtual void ShowRec(bool visible) = 0;               // lblRec
    virtual void ShowPause(bool visible) = 0;             // lblPause
    virtual void ShowPreScreen(bool visible) = 0;         // lblPreScreen
    virtual void SetTimeText(const QString& text) = 0;    // lblTimeRec
    virtual void SetCallStatus(const QString& text) = 0;  // status panel 3
    // A recording problem on the status bar; the journal may be off. An
    // empty text takes the last one away.
    virtual void ReportProblem(const QString& text) = 0;
    // A failure the user must not miss (a call not entered, a call not
    // recorded): the status bar and a desktop notification.
    virtual void ReportFailure(const QString& text) = 0;
    virtual void Inform(const QString& text) = 0;
    // As CallView::Ask: the answer comes later, from the event loop.
    virtual void Ask(const QString& question, std::function<void(bool yes)> answered) = 0;
    // The call ended: a question of Ask still open closes, answering No.
    virtual void CloseQuestion() {}
    virtual void DrawIdleLine() = 0;
};

struct RecorderOptions {
    QString recordingsFolder;  // "txtPath", ends in "/"; empty: the current folder
    int recordFormat = 0;      // "cmbRecordFormatRec"
    qint32 soundDevice = 0;    // "cmbSoundDev" as an output device number
};

// Seconds as hours:minutes:seconds, hours without leading zeros.
QString RecordTimeText(qint32 seconds);

// The level display's 161 points for one captured buffer: the buffer's
// first 1024 bytes (at most `size`) as 16-bit samples into a zeroed table;
// y = height / 3 - sample / 1500 + 12.
inline constexpr int kScopePoints = 161;
std::array<int, kScopePoints> ScopeLevels(const uint8_t* bytes, qint32 size, int height);

class RecorderControl final : public CallRecorder {
  public:
    RecorderControl(CallState& state, RecorderWave& wave, RecorderLine& line, RecorderView& view,
                    const Clock& clock = SystemTime());

    // Used from the next recording on; a running one keeps its folder.
    void SetOptions(const RecorderOptions& options) { options_ = options; }
    // Called after a call was entered in the store.
    void SetCallStored(std::function<void()> callback) { callStored_ = std::move(callback); }
    // The store calls are entered through (the program's, which tells the
    // calls list); until one is set, a store of the recorder's own.
    void SetCallStore(CallStore& store) { store_ = &store; }
    // The End-call button: the call state machine's Disconnected.
    void SetEndCall(std::function<void()> endCall) { endCall_ = std::move(endCall); }
    // Free bytes on the recordings folder's disk (a full disk cuts a
    // recording short without an error from the audio control).
    void SetFreeSpace(std::function<qint64(const QString&)> query) {
        freeSpace_ = std::move(query);
    }

    // The toolbar's buttons; a check-style button has already toggled.
    // Record on a ringing call asks first and returns; the answer arrives
    // as RecordQuestionAnswered.
    void RecordClicked();
    // The user's answer to the Record question asked about `call`: the line
    // is answered only if that call still rings.
    void RecordQuestionAnswered(quint64 call, bool yes);
    void PauseClicked();
    void StopClicked();
    void ListenClicked();
    void EndCallClicked();
    // tmrRec's tick.
    void Tick();
    bool TimerRunning() const { return tmrRec_.isActive(); }
    // Wave1's DoneRecord event.
    void DoneRecord() { SetLineScope(); }
    // Wave1's Err event: a recording's file that could not be created (e.g.
    // a link planted under its name) is told on the status bar and in the
    // journal.
    void WaveError(const QString& function, qint32 number, const QString& description);

    // A recording of the current call runs (or is paused) and is not yet
    // entered in the store.
    bool HasUnenteredRecording() const { return unentered_; }
    // Stops a running recording and enters it with its real length, while
    // Wave1 can still measure it (quitting during a call); the end of the
    // call adds nothing later.
    void FinishRecording();
    // At start, before the calls list is built: enters each call whose
    // recording was cut off by a crash or a power cut (its sidecar is still
    // beside its WAV file) with the length of the sound in the file; a
    // recording without sound is removed.
    void EnterInterruptedCalls();

    // CallRecorder.
    void StartCallRecording() override;
    void AddCallInfoDat() override;
    void DiscardRecording() override;
    bool IsRecording() const override { return wave_.IsRecording(); }
    void StopRecord() override;
    bool IsPreScreen() const override { return wave_.IsPreScreen(); }
    void ClosePreScreen() override;
    bool IsPausedIn() const override { return wave_.IsPausedIn(); }
    void UnPauseIn() override { wave_.UnPauseIn(); }
    bool IsRecordPressed() const override { return view_.IsRecordPressed(); }
    bool IsPausePressed() const override { return view_.IsPausePressed(); }
    void SetRecordPressed(bool pressed) override { view_.SetRecordPressed(pressed); }
    void ReleaseListen() override { view_.SetListenPressed(false); }
    void ReleaseAllButtons() override;
    void SetTimeText(const QString& text) override { view_.SetTimeText(text); }
    void HideIndicators() override;
    void SetLineScope() override { view_.DrawIdleLine(); }

  private:
    bool NoCall();
    void Resume();
    void Report(const QString& text, qint32 code, const QString& origin);
    void ReportFailure(const QString& text, qint32 code, const QString& origin);
    void CannotRecord(const QString& reason, const QString& path);
    bool EnterInterruptedCall(const QString& sidecarName);
    QString RecordingPath() const;
    QString SidecarPath() const;

    CallState& state_;
    RecorderWave& wave_;
    RecorderLine& line_;
    RecorderView& view_;
    const Clock& clock_;
    RecorderOptions options_;
    std::function<void()> callStored_;
    CallStore ownStore_;
    CallStore* store_ = &ownStore_;
    std::function<void()> endCall_;
    std::function<qint64(const QString&)> freeSpace_;
    QTimer tmrRec_;
    // A recording of the current call not yet entered in the store: it is
    // entered exactly once, however the call ends.
    bool unentered_ = false;
    // Its record as it will be appended, built when it started: the file
    // name is the one the stored values rebuild. Also in its sidecar.
    CallRecord pending_;
    // Where this recording is entered: new options apply from the next call.
    QString pendingFolder_;
    QString pendingName_;
    // Counts ended calls, so an answer tells whether its call still rings.
    quint64 endedCalls_ = 0;
    // The call (as endedCalls_ counted it) a Record question is open about.
    std::optional<quint64> askedAbout_;
    // Answers hold a weak copy: one arriving after the control is gone is dropped.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    bool toldTrueSpeech_ = false;
    bool problemShown_ = false;
};

}  // namespace orvane

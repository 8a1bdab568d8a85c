#pragma once
// The call state machine: reacts to the telephony control's events, keeps
// the call flags and the current call, and tells the main window, the
// recorder and the dialer what to show. Each event is journaled.

#include <QObject>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

#include "calls/screening/call_screen.h"
#include "calls/store/unrecorded_calls.h"
#include "core/clock.h"

namespace orvane {

struct CallState;
class CallRecorder;
class CallView;
class DialerView;
class Tapi;

// The settings an incoming call acts on.
struct CallOptions {
    bool showCallerBalloon = false;  // "chkViewCD_IC"
    bool openAppOnCall = false;      // "chkOpenAppOnCall"
    bool playSoundOnCall = false;    // "chkPlayIn_IC"
    QString incomingCallSound;       // "CmbPlayWhen_IC": a file in the Sound folder
    qint32 soundDevice = 0;          // "cmbSoundDev" as an output device number
    // The WAV played to the other party of an incoming call answered for
    // recording (empty: none), before the recording starts or once it runs.
    QString announcement;
    bool announceWhileRecording = false;
};

// A QObject only so that the control's events stop with it.
class CallStateMachine : public QObject {
  public:
    // Connects to the control's events. Everything passed must outlive the
    // machine; the recorder and the dialer can be exchanged later.
    CallStateMachine(Tapi& tapi, CallState& state, CallView& view, CallRecorder& recorder,
                     DialerView& dialer, const Clock& clock = SystemTime());

    void SetOptions(const CallOptions& options) { options_ = options; }
    const CallOptions& Options() const { return options_; }
    void SetRecorder(CallRecorder& recorder) { recorder_ = &recorder; }
    void SetDialer(DialerView& dialer) { dialer_ = &dialer; }
    // The name the phone book gives a number (empty: none). Where it gives
    // one, the caller display, the notice and the calls journal show it in
    // place of the line's; the call keeps what the line sent.
    using CallerNames = std::function<QString(const QString& number)>;
    void SetCallerNames(CallerNames nameFor) { nameFor_ = std::move(nameFor); }
    // Screening; none (the default) leaves every call as it was.
    void SetScreen(const CallScreen* screen) { screen_ = screen; }
    // Plays the message of a block entry that asks for one to the answered
    // line and calls `done` when it has been played. Unset: a blocked call
    // is hung up at once.
    using BlockMessage = std::function<void(std::function<void()> done)>;
    void SetBlockMessage(BlockMessage play) { blockMessage_ = std::move(play); }
    // Told once of each call that leaves no recording: a blocked call when
    // it is blocked, a call its record rule keeps unrecorded when it
    // connects. Unset: such calls are only journaled.
    using UnrecordedCalls = std::function<void(const UnrecordedCall& call)>;
    void SetUnrecordedCalls(UnrecordedCalls enter) { unrecorded_ = std::move(enter); }

    // The control's events.
    void InComeCall();
    void Ring(qint32 count);
    void CallerID(const QString& name, const QString& number);
    void Connected();
    // Also the recorder's End-call button: stops the recording and hangs up.
    void Disconnected();
    void Idle();
    void OutgoingProgress();
    // The open line stopped working: the call ends and the line shows closed.
    void LineLost(qint32 code);
    // A dial-out ended unconnected: said on both status bars until the next
    // call, and journaled.
    void DialFailed(qint32 code);
    // The user is closing the line: a call on it (ringing or connected)
    // ends as a hang-up ends it, journaled, with display and counters reset
    // and its recording stopped. Without a call nothing happens.
    void EndCallOnClosingLine();

    // The current call back to its reset values.
    void ResetCallInfo();
    // The end-of-call tidy-up: flags, indicators, the recording entered in
    // the call store, the caller display hidden.
    void EndCall();

    // The user's answer to an "ask" call's question, from the caller display
    // or the notice; it can be changed until the call ends. Ignored (false)
    // when no question stands.
    bool AnswerAsk(bool keep);

  private:
    void PlayIncomingSound();
    // Starts the announcement; `then` (may be empty) runs once it has been
    // played, or was not, while the call is still connected.
    void PlayAnnouncement(std::function<void()> then);
    void RecordAnsweredCall();
    void RecordAfterAnnouncement();
    // The ringing signs of InComeCall: display, window, balloon, sound.
    void ShowRinging();
    // Takes the screen's decision for this call (once); false when it blocks.
    bool Screened(const QString& number, const QString& shown);
    void HangUpBlocked();
    // The "ask" rule's question: keep this call's recording?
    void AskToKeep();
    bool Asking() const;
    // A "keep" that comes after "don't record" had left the connected call
    // unrecorded: it is recorded from now on.
    void StartLateRecording();
    void EnterUnrecordedCall(UnrecordedKind kind, const QString& name, const QString& number);

    Tapi& tapi_;
    CallState& state_;
    CallView& view_;
    CallRecorder* recorder_;
    DialerView* dialer_;
    const Clock& clock_;
    CallOptions options_;
    CallerNames nameFor_;
    const CallScreen* screen_ = nullptr;
    BlockMessage blockMessage_;
    UnrecordedCalls unrecorded_;
    // This call's decision, once taken; the ringing signs held for it.
    std::optional<ScreeningDecision> decision_;
    bool ringingHeld_ = false;
    // The answer to AskToKeep; a call ended undecided keeps its recording.
    enum class Keep { kUndecided, kKeep, kDiscard };
    Keep keep_ = Keep::kUndecided;
    // This connected call is to be entered as not recorded when it ends.
    bool notRecorded_ = false;
    // The announcement plays to this call (a recording may wait on it).
    bool announcing_ = false;
    quint64 callSerial_ = 0;  // told apart from the calls before it
    // How the last dial-out failed, shown instead of the idle texts when
    // its call ends; empty otherwise.
    QString dialFailure_;
};

// The status text for a dial-out that ended with `code`.
QString DialFailureText(qint32 code);

// The sound called `name`: the user's sound folder + name when the user
// added one of that name, else the shipped sound folder + name; "" when
// `name` is not a plain file name (empty, ".", "..", or holding a "/").
QString AlertSoundPath(const QString& name);

}  // namespace orvane

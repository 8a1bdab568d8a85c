#pragma once
// What the line connection and the call state machine ask of the windows
// around them. The logic decides; these only show, ask and report, so the
// logic runs in tests against doubles and in the program against the main
// window, the recorder toolbar and the dialer.

#include <QString>
#include <QtGlobal>
#include <functional>

namespace orvane {

// The line switch (first button of the main toolbar) and status panel 3.
class LineView {
  public:
    virtual ~LineView() = default;
    // Open: caption 100, image 1, pressed. Closed: caption 101, image 0,
    // released.
    virtual void SetLineSwitch(bool open) = 0;
    virtual void SetLineStatus(const QString& text) = 0;
    // Why the line is not open, in the user's language: on the status bar
    // and in a tray balloon, since the journal may be off. Empty clears it.
    virtual void ShowLineProblem(const QString& text) = 0;
};

// The "ask" rule's question in the caller display: open, answered (the
// answer can still be changed until the call ends), or gone.
enum class RecordQuestion { kHidden, kOpen, kKeep, kDiscard };

// The main window's share of a call: the caller display, the tray balloon,
// bringing the window up and the program's message boxes.
class CallView : public LineView {
  public:
    // lblCallerName and lblCallerNumber: the texts as they stand.
    virtual QString CallerNameText() const = 0;
    virtual QString CallerNumberText() const = 0;
    virtual void SetCallerTexts(const QString& name, const QString& number) = 0;
    // lblRing: the ring counter, empty while idle.
    virtual QString RingText() const = 0;
    virtual void SetRingText(const QString& text) = 0;
    // Shows or hides the caller labels and the ring counter together.
    virtual void ShowCallDisplay(bool visible) = 0;
    // A balloon at the tray icon: information icon, 30 seconds.
    virtual void DisplayBallonCallSetails(const QString& title, const QString& text) = 0;
    // Shows the main window in normal state, in front.
    virtual void RestoreWindow() = 0;
    // A Yes/No question that does not wait for the user: `answered` runs
    // later, from the event loop, with true for Yes. Line events go on
    // meanwhile, so the asker checks that its question still stands.
    virtual void Ask(const QString& question, std::function<void(bool yes)> answered) = 0;
    // The record question of an "ask" call in the caller display, and on
    // the incoming-call notices while it shows; the user's answers come back
    // through CallStateMachine::AnswerAsk.
    virtual void ShowRecordQuestion(RecordQuestion state) = 0;
    // An information box with OK.
    virtual void Inform(const QString& text) = 0;
    // Plays an alert sound file on an output device (the WaveEvents
    // instance); a failure is the sound's business, the call goes on.
    virtual void PlayAlertSound(const QString& path, qint32 device) = 0;
};

// The recording control as the call state machine drives it: the Wave1
// instance and the recorder toolbar with its indicators.
class CallRecorder {
  public:
    virtual ~CallRecorder() = default;
    // Starts recording the current call.
    virtual void StartCallRecording() = 0;
    // Enters the current call in the call store.
    virtual void AddCallInfoDat() = 0;
    // Instead of entering it: stops the current call's recording and
    // removes its file and sidecar (the user chose not to keep it).
    virtual void DiscardRecording() = 0;

    // Wave1.
    virtual bool IsRecording() const = 0;
    virtual void StopRecord() = 0;
    virtual bool IsPreScreen() const = 0;
    virtual void ClosePreScreen() = 0;
    virtual bool IsPausedIn() const = 0;
    virtual void UnPauseIn() = 0;

    // The toolbar's Record and Pause buttons (check style).
    virtual bool IsRecordPressed() const = 0;
    virtual bool IsPausePressed() const = 0;
    virtual void SetRecordPressed(bool pressed) = 0;
    virtual void ReleaseListen() = 0;
    virtual void ReleaseAllButtons() = 0;

    // lblTimeRec.
    virtual void SetTimeText(const QString& text) = 0;
    // lblRec, lblPause and the listen indicator lblPreScreen.
    virtual void HideIndicators() = 0;
    // Redraws the idle line of the level display.
    virtual void SetLineScope() = 0;
};

// The dialer window, as far as a call drives it. Everything but IsLoaded
// is called only while it is loaded.
class DialerView {
  public:
    virtual ~DialerView() = default;
    virtual bool IsLoaded() const = 0;
    // A call placed from the dialer has connected: said once, in a way
    // that leaves its buttons usable (no modal box).
    virtual void CallReady() = 0;
    // Its status panel 1.
    virtual void SetStatusText(const QString& text) = 0;
    // "Make Standard Call" and "Make Record Call" together.
    virtual void EnableCallButtons(bool enabled) = 0;
    // "End".
    virtual void EnableEndButton(bool enabled) = 0;
    // The number box's text.
    virtual QString NumberText() const = 0;
    virtual void Unload() = 0;
};

}  // namespace orvane

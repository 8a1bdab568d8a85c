#include "calls/call_state_machine.h"

#include <QPointer>

#include "calls/call_state.h"
#include "calls/call_views.h"
#include "calls/line_problem.h"
#include "core/paths.h"
#include "core/user_files.h"
#include "journal/journal_writer.h"
#include "settings/store/registry_routines.h"
#include "telephony/tapi.h"
#include "translation/bidi_text.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

const QString kIdleTime = QStringLiteral("0:00:00");

}  // namespace

QString AlertSoundPath(const QString& name) {
    return UserFirstPath(paths::UserSoundFolder(), paths::ShippedSoundFolder(), name);
}

QString DialFailureText(qint32 code) {
    switch (code) {
        case line_error::kBusy:
            return Text(ids::kDialBusy);
        case line_error::kNoDialTone:
            return Text(ids::kDialNoDialTone);
        default:
            return Text(ids::kDialNoAnswer);
    }
}

CallStateMachine::CallStateMachine(Tapi& tapi, CallState& state, CallView& view,
                                   CallRecorder& recorder, DialerView& dialer, const Clock& clock)
    : tapi_(tapi),
      state_(state),
      view_(view),
      recorder_(&recorder),
      dialer_(&dialer),
      clock_(clock) {
    connect(&tapi_, &Tapi::InComeCall, this, &CallStateMachine::InComeCall);
    connect(&tapi_, &Tapi::Ring, this, &CallStateMachine::Ring);
    connect(&tapi_, &Tapi::CallerID, this, &CallStateMachine::CallerID);
    connect(&tapi_, &Tapi::Connected, this, &CallStateMachine::Connected);
    connect(&tapi_, &Tapi::Disconnected, this, &CallStateMachine::Disconnected);
    connect(&tapi_, &Tapi::Idle, this, &CallStateMachine::Idle);
    connect(&tapi_, &Tapi::OutgoingProgress, this, &CallStateMachine::OutgoingProgress);
    connect(&tapi_, &Tapi::LineLost, this, &CallStateMachine::LineLost);
    connect(&tapi_, &Tapi::DialFailed, this, &CallStateMachine::DialFailed);
}

void CallStateMachine::ResetCallInfo() {
    state_.call = ResetCall(clock_.now());
}

void CallStateMachine::InComeCall() {
    state_.incomingCall = true;
    ResetCallInfo();
    if (decision_) {
        // The caller ID came first and was screened: a blocked call never
        // shows that it rings.
        if (!decision_->block) {
            ShowRinging();
        }
    } else if (screen_ != nullptr && screen_->MayBlock()) {
        // It may be blocked: it rings unseen until its caller is known.
        ringingHeld_ = true;
    } else {
        ShowRinging();
    }
    WriteSysLog(QStringLiteral("Incoming Call"), 0, QStringLiteral("Tapi1_InComeCall"));
}

void CallStateMachine::ShowRinging() {
    ringingHeld_ = false;
    view_.ShowCallDisplay(true);
    if (options_.openAppOnCall) {
        view_.RestoreWindow();
    }
    if (options_.showCallerBalloon) {
        // Some lines send the caller ID first; otherwise the labels are
        // empty (the last call's end cleared them) and nothing is said
        // about the caller until the caller ID arrives.
        const QString name = view_.CallerNameText();
        const QString number = view_.CallerNumberText();
        view_.DisplayBallonCallSetails(
            Text(ids::kBalloonIncomingCall),
            name.isEmpty() && number.isEmpty() ? QString() : CallerLine(name, number));
    }
    if (options_.playSoundOnCall) {
        PlayIncomingSound();
    }
}

bool CallStateMachine::Screened(const QString& number, const QString& shown) {
    if (decision_ || screen_ == nullptr) {
        return !decision_ || !decision_->block;
    }
    decision_ = screen_->Decide(number);
    if (!decision_->block) {
        if (decision_->record == RecordMode::kAsk) {
            AskToKeep();
        }
        return true;
    }
    ringingHeld_ = false;
    const QString caller = number.isEmpty() ? kUnknownCaller : number;
    WriteSysLog(QStringLiteral("Blocked ") + caller, 0, QStringLiteral("Screening"));
    WriteCallsLog(shown + QStringLiteral(" - ") + caller + QStringLiteral(" (blocked)"));
    EnterUnrecordedCall(UnrecordedKind::kBlocked, shown, caller);
    // Answered so that it stops ringing everywhere on the line; Connected
    // hangs up.
    const qint32 result = tapi_.LineAnswer();
    WriteSysLog(tapi_.LineErrText(result), result, QStringLiteral("Tapi.LineAnswer"));
    return false;
}

void CallStateMachine::AskToKeep() {
    // Asked while it rings; the recording starts with the call whatever the
    // answer so far, so a late "keep" still has the beginning.
    keep_ = Keep::kUndecided;
    view_.ShowRecordQuestion(RecordQuestion::kOpen);
}

void CallStateMachine::HangUpBlocked() {
    WriteSysLog(QStringLiteral("Hang up blocked call"), 0, QStringLiteral("Screening"));
    if (decision_->blockAction == BlockAction::kMessage && blockMessage_) {
        blockMessage_([self = QPointer<CallStateMachine>(this)] {
            if (self != nullptr && self->tapi_.CallActive()) {
                self->tapi_.LineDrop();
            }
        });
        return;
    }
    tapi_.LineDrop();
}

void CallStateMachine::PlayIncomingSound() {
    // A name from the settings never leads out of the sound folders.
    const QString path = AlertSoundPath(options_.incomingCallSound);
    if (!path.isEmpty()) {
        view_.PlayAlertSound(path, options_.soundDevice);
    }
}

void CallStateMachine::Ring(qint32 count) {
    state_.incomingCall = true;
    // The counter counts the events; modems disagree on the count they pass.
    const QString rings = view_.RingText();
    view_.SetRingText(rings.isEmpty() ? QStringLiteral("1")
                                      : QString::number(ReadNumber(rings) + 1));
    view_.SetLineStatus(Text(ids::kStatusRinging) + QLatin1Char(' ') + QString::number(count));
    WriteSysLog(QStringLiteral("Ring ") + QString::number(count), 0, QStringLiteral("Tapi1_Ring"));
    // A second ring and still no caller ID: the caller is unknown.
    if (ringingHeld_ && ReadNumber(view_.RingText()) >= 2 && Screened(QString(), QString())) {
        ShowRinging();
    }
}

void CallStateMachine::CallerID(const QString& name, const QString& number) {
    // The record keeps what the line sent; the user sees the phone book's
    // name where it has one (the line's is at best a short network name).
    const QString booked = nameFor_ ? nameFor_(number) : QString();
    const QString shown = booked.isEmpty() ? name : booked;
    if (!Screened(number, shown)) {
        return;
    }
    view_.SetCallerTexts(shown, number);
    state_.call.CallerName = name;
    state_.call.CallerNumber = number;
    if (ringingHeld_) {
        ShowRinging();  // with the caller in its balloon
    } else if (options_.showCallerBalloon) {
        view_.DisplayBallonCallSetails(Text(ids::kBalloonIncomingCall), CallerLine(shown, number));
    }
    WriteSysLog(QStringLiteral("CallerID ") + name + QLatin1Char(' ') + number, 0,
                QStringLiteral("Tapi1_CallerID"));
    WriteCallsLog(shown + QStringLiteral(" - ") + number);
}

void CallStateMachine::Connected() {
    // Nothing here runs an event loop or asks the user, so the call cannot
    // end inside this handler: an Idle that arrives meanwhile is handled
    // after it, and its EndCall stops the recording started here.
    if (decision_ && decision_->block) {
        HangUpBlocked();
        return;
    }
    if (state_.incomingCall && screen_ != nullptr && !decision_) {
        // Answered before any caller ID: an unknown caller. Its record rule
        // holds; a block does not, since the user took the call.
        decision_ = screen_->Decide(QString());
        decision_->block = false;
        if (decision_->record == RecordMode::kAsk) {
            AskToKeep();
        }
    }
    if (state_.incomingCall) {
        state_.call.CallKind = kCallKindIncoming;
        const bool unwanted =
            decision_ && (decision_->record == RecordMode::kNever ||
                          (decision_->record == RecordMode::kAsk && keep_ == Keep::kDiscard));
        // The announcement tells the caller the call is recorded: not played
        // to a call that a rule keeps unrecorded.
        const bool announce = !unwanted && !options_.announcement.isEmpty();
        state_.recordCall = false;
        if (unwanted) {
            WriteSysLog(QStringLiteral("Not recorded by its record rule"), 0,
                        QStringLiteral("Screening"));
            // Entered at its end: a late "keep" may still record it.
            notRecorded_ = true;
        } else if (announce && !options_.announceWhileRecording) {
            PlayAnnouncement([this] { RecordAfterAnnouncement(); });
        } else {
            RecordAnsweredCall();
            if (announce) {
                PlayAnnouncement(nullptr);
            }
        }
    }
    if (state_.recordCall) {
        // "Call and record": the user asked for the recording when placing
        // the call.
        state_.call.CallKind = kCallKindOutgoingRecorded;
        state_.recordingIncoming = false;
        tapi_.LineAnswer();
        recorder_->StartCallRecording();
        recorder_->SetRecordPressed(true);
        if (dialer_->IsLoaded()) {
            dialer_->Unload();
        }
    }
    if (state_.standardCall || state_.recordCall) {
        // The user talks on the handset (the program does not answer a
        // standard call). Said once, and never in a box that holds Hang up.
        if (dialer_->IsLoaded()) {
            dialer_->CallReady();
            dialer_->EnableCallButtons(false);
            dialer_->EnableEndButton(true);
        } else if (state_.standardCall) {
            view_.DisplayBallonCallSetails(Text(ids::kStatusConnected),
                                           Text(ids::kMsgStandardCallConnected));
        }
    }
    view_.SetLineStatus(Text(ids::kStatusConnected));
    WriteSysLog(QStringLiteral("Connected"), 0, QStringLiteral("Tapi1_Connected"));
}

void CallStateMachine::Disconnected() {
    // A late event: the call is gone already and Idle tidies up.
    if (!tapi_.CallActive()) {
        return;
    }
    if (recorder_->IsRecording()) {
        recorder_->StopRecord();
    }
    tapi_.LineDrop();
    WriteSysLog(QStringLiteral("Disconnected"), 0, QStringLiteral("Tapi1_Disconnected"));
    if (dialer_->IsLoaded()) {
        state_.recordSeconds = 0;
        dialer_->SetStatusText(dialFailure_.isEmpty() ? Text(ids::kStatusNoCall) : dialFailure_);
        dialer_->EnableCallButtons(true);
    }
}

void CallStateMachine::Idle() {
    EndCall();
    view_.SetLineStatus(dialFailure_.isEmpty() ? Text(ids::kStatusLineOpen) : dialFailure_);
    dialFailure_.clear();
    recorder_->SetLineScope();
    WriteSysLog(QStringLiteral("End Of Call"), 0, QStringLiteral("Tapi1_Idle"));
}

void CallStateMachine::EndCall() {
    const bool discard =
        decision_ && decision_->record == RecordMode::kAsk && keep_ == Keep::kDiscard;
    if (Asking()) {
        view_.ShowRecordQuestion(RecordQuestion::kHidden);
    }
    // Hung up while the announcement played, before its recording began.
    const bool endedUnrecorded = announcing_ && !state_.recordingIncoming &&
                                 state_.call.CallKind == kCallKindIncoming &&
                                 !recorder_->IsRecording();
    // Left unrecorded by its rule, or its recording discarded at the user's word.
    if (notRecorded_ || endedUnrecorded || (discard && state_.recordingIncoming)) {
        EnterUnrecordedCall(UnrecordedKind::kNotRecorded, state_.call.CallerName,
                            state_.call.CallerNumber);
    }
    notRecorded_ = false;
    keep_ = Keep::kUndecided;
    // A play of this call that ends later is no business of the next one.
    ++callSerial_;
    announcing_ = false;
    state_.ClearFlags();
    decision_.reset();
    ringingHeld_ = false;
    recorder_->SetTimeText(kIdleTime);
    recorder_->HideIndicators();
    view_.SetRingText(QString());
    if (recorder_->IsPreScreen()) {
        recorder_->ClosePreScreen();
        recorder_->ReleaseListen();
    }
    // Pause and Record are never pressed together; if they were, the call
    // must still be entered once only.
    if (recorder_->IsPausePressed() || recorder_->IsRecordPressed()) {
        recorder_->StopRecord();
        if (discard) {
            recorder_->DiscardRecording();
        } else {
            recorder_->AddCallInfoDat();
        }
    }
    if (recorder_->IsPausedIn()) {
        recorder_->UnPauseIn();
    }
    if (recorder_->IsRecording()) {
        recorder_->StopRecord();
    }
    recorder_->ReleaseAllButtons();
    view_.ShowCallDisplay(false);
    // The next call shows no caller until its own caller ID arrives.
    view_.SetCallerTexts(QString(), QString());
    recorder_->SetLineScope();
    // Whoever ended the call (the user's Hang up drops it without a
    // Disconnected), the dialer can place the next one.
    if (dialer_->IsLoaded()) {
        dialer_->SetStatusText(dialFailure_.isEmpty() ? Text(ids::kStatusNoCall) : dialFailure_);
        dialer_->EnableCallButtons(true);
    }
}

void CallStateMachine::OutgoingProgress() {
    const QString dialling = Text(ids::kStatusDialling) + QLatin1Char(' ');
    view_.SetLineStatus(dialling + state_.call.CallerNumber);
    if (!dialer_->IsLoaded()) {
        return;
    }
    // Hang up stays usable: a wrong number must not ring on until the dial
    // times out.
    dialer_->EnableCallButtons(false);
    dialer_->EnableEndButton(true);
    dialer_->SetStatusText(dialling + dialer_->NumberText());
}

void CallStateMachine::EndCallOnClosingLine() {
    const bool connected = tapi_.CallActive();
    const bool ringing = state_.incomingCall || !view_.RingText().isEmpty();
    if (!connected && !ringing && !state_.RecorderMayAct() && !state_.standardCall) {
        return;
    }
    if (connected) {
        // Closing the port hangs up; the call's events stop with it.
        if (recorder_->IsRecording()) {
            recorder_->StopRecord();
        }
        WriteSysLog(QStringLiteral("Disconnected"), 0, QStringLiteral("Tapi1_Disconnected"));
    }
    EndCall();
    WriteSysLog(QStringLiteral("End Of Call"), 0, QStringLiteral("Tapi1_Idle"));
}

void CallStateMachine::DialFailed(qint32 code) {
    dialFailure_ = DialFailureText(code);
    WriteSysLog(tapi_.LineErrText(code), code, QStringLiteral("Tapi1_DialFailed"));
    view_.SetLineStatus(dialFailure_);
    if (dialer_->IsLoaded()) {
        dialer_->SetStatusText(dialFailure_);
    }
}

void CallStateMachine::LineLost(qint32 code) {
    WriteSysLog(tapi_.LineErrText(code), code, QStringLiteral("Tapi1_LineLost"));
    EndCall();
    view_.ShowLineProblem(LineProblemText(code, tapi_.LineErrText(code)));
    view_.SetLineStatus(Text(ids::kStatusLineClosed));
    view_.SetLineSwitch(false);
}

void CallStateMachine::PlayAnnouncement(std::function<void()> then) {
    // The line plays it while the program goes on; the call may end
    // meanwhile, and a later call must not be touched by this one's end.
    const QString announcement = options_.announcement;
    const auto notPlayed = [announcement] {
        WriteSysLog(
            QStringLiteral("The announcement %1 was not played to the line").arg(announcement), 0,
            QStringLiteral("Tapi1_Connected"));
    };
    announcing_ = true;
    const quint64 call = callSerial_;
    const bool started = tapi_.PlayToLine(announcement, [self = QPointer<CallStateMachine>(this),
                                                         call, then, notPlayed](bool played) {
        if (self == nullptr || self->callSerial_ != call) {
            return;  // that call is over
        }
        self->announcing_ = false;
        if (!self->tapi_.CallActive()) {
            return;
        }
        if (!played) {
            notPlayed();
        }
        if (then) {
            then();
        }
    });
    if (!started) {
        announcing_ = false;
        notPlayed();
        if (then) {
            then();
        }
    }
}

void CallStateMachine::RecordAnsweredCall() {
    recorder_->StartCallRecording();
    state_.recordingIncoming = true;
    notRecorded_ = false;
}

void CallStateMachine::RecordAfterAnnouncement() {
    // The user may have started a recording by hand while it played.
    if (!recorder_->IsRecording()) {
        RecordAnsweredCall();
    }
}

bool CallStateMachine::Asking() const {
    return decision_ && !decision_->block && decision_->record == RecordMode::kAsk;
}

bool CallStateMachine::AnswerAsk(bool keep) {
    if (!Asking()) {
        return false;  // no call, or one whose rule does not ask (it may have ended)
    }
    keep_ = keep ? Keep::kKeep : Keep::kDiscard;
    WriteSysLog(
        keep ? QStringLiteral("Recording kept") : QStringLiteral("Recording to be discarded"), 0,
        QStringLiteral("Screening"));
    view_.ShowRecordQuestion(keep ? RecordQuestion::kKeep : RecordQuestion::kDiscard);
    // While the announcement plays, the recording that waits on it starts
    // after it.
    if (keep && state_.call.CallKind == kCallKindIncoming && !state_.recordingIncoming &&
        !announcing_ && tapi_.CallActive()) {
        StartLateRecording();
    }
    return true;
}

void CallStateMachine::StartLateRecording() {
    WriteSysLog(QStringLiteral("Recording started late: kept after \"don't record\""), 0,
                QStringLiteral("Screening"));
    // The caller is told before anything is recorded, as at the answer.
    if (!options_.announcement.isEmpty()) {
        PlayAnnouncement([this] { RecordAfterAnnouncement(); });
    } else {
        RecordAnsweredCall();
    }
}

void CallStateMachine::EnterUnrecordedCall(UnrecordedKind kind, const QString& name,
                                           const QString& number) {
    if (!unrecorded_) {
        return;
    }
    // The calls list shows it beside the recordings, to the second.
    QDateTime moment = clock_.now();
    moment.setTime(QTime(moment.time().hour(), moment.time().minute(), moment.time().second()));
    unrecorded_({moment, kind, number, name});
}

}  // namespace orvane

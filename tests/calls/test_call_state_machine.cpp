// The call state machine: each event's branches, the end of a call, calls
// that end while their recording starts, and the journal of a whole call.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHash>
#include <functional>
#include <utility>
#include <vector>

#include "calls/call_state.h"
#include "calls/call_state_machine.h"
#include "calls/call_views.h"
#include "core/paths.h"
#include "tests/telephony/telephony_test_support.h"
#include "translation/string_ids.h"

namespace orvane {
namespace {

QString On(bool flag) {
    return flag ? QStringLiteral("on") : QStringLiteral("off");
}

// The main window, the recorder and the dialer in one fake with one log, so
// the order across them shows.
class FakeWindows final : public CallView, public CallRecorder, public DialerView {
  public:
    // CallView.
    void SetLineSwitch(bool open) override { log << "switch " + On(open); }
    void SetLineStatus(const QString& text) override { log << "status " + (status = text); }
    void ShowLineProblem(const QString& text) override { problems << text; }
    QString CallerNameText() const override { return name; }
    QString CallerNumberText() const override { return number; }
    void SetCallerTexts(const QString& newName, const QString& newNumber) override {
        name = newName;
        number = newNumber;
    }
    QString RingText() const override { return ring; }
    void SetRingText(const QString& text) override { log << "ring " + (ring = text); }
    void ShowCallDisplay(bool visible) override { log << "display " + On(visible); }
    void DisplayBallonCallSetails(const QString& title, const QString& text) override {
        balloons << title + " | " + text;
    }
    void RestoreWindow() override { log << "restore"; }
    void Ask(const QString& question, std::function<void(bool)> answered) override {
        log << "ask " + question;
        answered(answer);
    }
    void ShowRecordQuestion(RecordQuestion state) override {
        log << QStringLiteral("question %1").arg(static_cast<int>(state));
    }
    void Inform(const QString& text) override { log << "inform " + text; }
    void PlayAlertSound(const QString& path, qint32 device) override {
        log << QStringLiteral("sound %1 on %2").arg(path).arg(device);
    }
    // CallRecorder.
    void StartCallRecording() override {
        log << "StartCallRecording";
        if (duringStart) {
            duringStart();
        }
        recording = true;
    }
    void AddCallInfoDat() override { log << "AddCallInfoDat"; }
    void DiscardRecording() override { log << "DiscardRecording"; }
    bool IsRecording() const override { return recording; }
    void StopRecord() override {
        log << "StopRecord";
        recording = false;
    }
    bool IsPreScreen() const override { return preScreen; }
    void ClosePreScreen() override {
        log << "ClosePreScreen";
        preScreen = false;
    }
    bool IsPausedIn() const override { return pausedIn; }
    void UnPauseIn() override {
        log << "UnPauseIn";
        pausedIn = false;
    }
    bool IsRecordPressed() const override { return recordPressed; }
    bool IsPausePressed() const override { return pausePressed; }
    void SetRecordPressed(bool pressed) override { log << "Record " + On(recordPressed = pressed); }
    void ReleaseListen() override { log << "ReleaseListen"; }
    void ReleaseAllButtons() override {
        log << "ReleaseAllButtons";
        recordPressed = pausePressed = false;
    }
    void SetTimeText(const QString& text) override { log << "time " + text; }
    void HideIndicators() override { log << "HideIndicators"; }
    void SetLineScope() override { log << "SetLineScope"; }
    // DialerView.
    bool IsLoaded() const override { return dialerLoaded; }
    void CallReady() override { log << "dialer ready"; }
    void SetStatusText(const QString& text) override { log << "dialer status " + text; }
    void EnableCallButtons(bool enabled) override { log << "dialer call buttons " + On(enabled); }
    void EnableEndButton(bool enabled) override { log << "dialer end " + On(enabled); }
    QString NumberText() const override { return QStringLiteral("555-0100"); }
    void Unload() override {
        log << "dialer unload";
        dialerLoaded = false;
    }

    QStringList TakeLog() { return std::exchange(log, {}); }

    QStringList log;
    QString name = kUnknownCaller, number = kUnknownCaller, ring, status;
    QStringList balloons, problems;
    bool answer = false, recording = false, preScreen = false, pausedIn = false;
    bool recordPressed = false, pausePressed = false, dialerLoaded = false;
    std::function<void()> duringStart;
};

class CallStateMachineTest : public testing::TelephonyTest {
  protected:
    CallStateMachineTest() {
        backend_->devices = {testing::ScriptedLineBackend::Device(QStringLiteral("Modem"))};
        tapi_->LineOpen(6, 6);
        backend_->TakeRequests();
    }

    CallState state_;
    FakeWindows w_;
    CallStateMachine machine_{*tapi_, state_, w_, w_, w_, clock_};
};

TEST_F(CallStateMachineTest, AnIncomingCallResetsTheCallShowsTheDisplayAndJournals) {
    state_.call.CallerName = QStringLiteral("Last Caller");
    state_.call.CallKind = kCallKindIncoming;
    machine_.InComeCall();
    EXPECT_TRUE(state_.incomingCall);
    const CurrentCall reset = ResetCall(clock_.now());
    EXPECT_EQ(state_.call.CallerName, kUnknownCaller);
    EXPECT_EQ(state_.call.CallerNumber, kUnknownCaller);
    EXPECT_EQ(state_.call.CallDate, reset.CallDate);
    EXPECT_EQ(state_.call.CallTime, reset.CallTime);
    EXPECT_EQ(state_.call.CallKind, kCallKindNone);
    // With every option off: no window, no balloon, no sound.
    EXPECT_EQ(w_.TakeLog(), QStringList{"display on"});
    EXPECT_TRUE(w_.balloons.isEmpty());
    EXPECT_EQ(SysJournal(), QStringList{"Tapi1_InComeCall->Incoming Call(0)"});
}

TEST_F(CallStateMachineTest, TheIncomingCallOptionsRaiseTheWindowABalloonAndTheAlertSound) {
    CallOptions options;
    options.openAppOnCall = true;
    options.showCallerBalloon = true;
    options.playSoundOnCall = true;
    options.incomingCallSound = QStringLiteral("ring.wav");
    options.soundDevice = 3;
    machine_.SetOptions(options);
    // The last call's end took its caller away: nothing about the caller
    // until this call's caller ID arrives.
    machine_.CallerID(QStringLiteral("Last Caller"), QStringLiteral("555-0199"));
    machine_.Idle();
    EXPECT_TRUE(w_.name.isEmpty() && w_.number.isEmpty());
    w_.TakeLog();
    w_.balloons.clear();
    machine_.InComeCall();
    EXPECT_EQ(w_.TakeLog(),
              (QStringList{"display on", "restore",
                           "sound " + paths::ShippedSoundFolder() + "ring.wav on 3"}));
    EXPECT_EQ(w_.balloons, QStringList{Text(ids::kBalloonIncomingCall) + " | "});

    // A sound the user added under that name plays instead of the shipped one.
    env_.writeFile(QStringLiteral("data/orvane/Sound/ring.wav"), "RIFF");
    machine_.InComeCall();
    EXPECT_EQ(w_.TakeLog(), (QStringList{"display on", "restore",
                                         "sound " + paths::UserSoundFolder() + "ring.wav on 3"}));

    // A sound name that would lead out of the sound folders plays nothing.
    for (const char* name : {"../../etc/passwd", "sub/ring.wav", "..", ""}) {
        options.incomingCallSound = QString::fromLatin1(name);
        machine_.SetOptions(options);
        machine_.InComeCall();
        EXPECT_EQ(w_.TakeLog(), (QStringList{"display on", "restore"})) << name;
    }
}

TEST_F(CallStateMachineTest, RingsAreCountedByEventNotByTheCountPassed) {
    machine_.Ring(5);
    machine_.Ring(5);
    EXPECT_EQ(w_.ring, QStringLiteral("2"));
    EXPECT_TRUE(state_.incomingCall);
    EXPECT_EQ(w_.status, Text(ids::kStatusRinging) + QStringLiteral(" 5"));
    EXPECT_EQ(SysJournal(), (QStringList{"Tapi1_Ring->Ring 5(0)", "Tapi1_Ring->Ring 5(0)"}));
}

TEST_F(CallStateMachineTest, ACallerIdFillsTheLabelsTheCallABalloonAndBothJournals) {
    CallOptions options;
    options.showCallerBalloon = true;
    machine_.SetOptions(options);
    machine_.CallerID(QStringLiteral("Ann Lee"), QStringLiteral("5551234"));
    EXPECT_EQ(w_.name, QStringLiteral("Ann Lee"));
    EXPECT_EQ(w_.number, QStringLiteral("5551234"));
    EXPECT_EQ(state_.call.CallerName, QStringLiteral("Ann Lee"));
    EXPECT_EQ(state_.call.CallerNumber, QStringLiteral("5551234"));
    EXPECT_EQ(w_.balloons, QStringList{Text(ids::kBalloonIncomingCall) + " | Ann Lee - 5551234"});
    EXPECT_EQ(SysJournal(), QStringList{"Tapi1_CallerID->CallerID Ann Lee 5551234(0)"});
    EXPECT_EQ(CallsJournal(), QStringList{"Ann Lee - 5551234"});

    // A name with a line break from the line still makes one line each.
    machine_.CallerID(QStringLiteral("Evil\r\nName"), QStringLiteral("1"));
    EXPECT_EQ(SysJournal().size(), 2);
    EXPECT_EQ(CallsJournal().size(), 2);
}

TEST_F(CallStateMachineTest, ThePhoneBooksNameIsShownAndJournaledTheLinesIsKept) {
    CallOptions options;
    options.showCallerBalloon = true;
    machine_.SetOptions(options);
    machine_.SetCallerNames([](const QString& number) {
        return number == QStringLiteral("+49301234") ? QStringLiteral("Anna Berg") : QString();
    });
    const struct {
        const char* lineName;
        const char* number;
        const char* shown;
    } cases[] = {{"O", "+49301234", "Anna Berg"},
                 {"BERG ANNA", "+49301234", "Anna Berg"},
                 {"Bob", "777", "Bob"}};
    for (const auto& c : cases) {
        w_.balloons.clear();
        machine_.CallerID(QString::fromLatin1(c.lineName), QString::fromLatin1(c.number));
        const QString line = QString::fromLatin1(c.shown) + " - " + c.number;
        EXPECT_EQ(w_.name, QString::fromLatin1(c.shown));
        EXPECT_EQ(w_.balloons, QStringList{Text(ids::kBalloonIncomingCall) + " | " + line});
        EXPECT_EQ(CallsJournal().last(), line);
        EXPECT_EQ(state_.call.CallerName, QString::fromLatin1(c.lineName));
    }
}

TEST_F(CallStateMachineTest, ACallerIdBeforeTheIncomingCallIsShownButNotKept) {
    CallOptions options;
    options.showCallerBalloon = true;
    machine_.SetOptions(options);
    machine_.CallerID(QStringLiteral("Bob"), QStringLiteral("777"));
    machine_.InComeCall();
    EXPECT_EQ(w_.name, QStringLiteral("Bob"));
    EXPECT_EQ(w_.balloons.last(), Text(ids::kBalloonIncomingCall) + " | Bob - 777");
    EXPECT_EQ(state_.call.CallerName, kUnknownCaller);
    EXPECT_EQ(state_.call.CallerNumber, kUnknownCaller);
}

TEST_F(CallStateMachineTest, AConnectedIncomingCallIsRecordedAsKindThree) {
    QString recordedName;
    w_.duringStart = [this, &recordedName] { recordedName = state_.call.CallerName; };
    machine_.InComeCall();
    state_.recordCall = true;  // left over; an incoming call clears it
    w_.TakeLog();
    machine_.Connected();
    EXPECT_EQ(state_.call.CallKind, kCallKindIncoming);
    EXPECT_TRUE(state_.recordingIncoming);
    EXPECT_FALSE(state_.recordCall);
    // No caller ID arrived: the recording is the unknown caller's.
    EXPECT_EQ(recordedName, kUnknownCaller);
    EXPECT_EQ(w_.TakeLog(),
              (QStringList{"StartCallRecording", "status " + Text(ids::kStatusConnected)}));
    EXPECT_EQ(SysJournal().last(), QStringLiteral("Tapi1_Connected->Connected(0)"));
}

// The announcement plays while the program goes on: a recording set to
// start after it waits for its end, and a call that ends first leaves no
// recording behind, nor lets its late end touch the next call.
TEST_F(CallStateMachineTest, TheAnnouncementIsPlayedBeforeOrDuringTheRecordingAsSet) {
    enum class End { kNone, kPlayed, kGaveUp, kHungUp };
    struct Case {
        const char* what;
        QString announcement;
        bool whileRecording;
        bool starts;             // the line starts the play
        End end;                 // how the play ends
        bool recordingAtAnswer;  // the recording runs as Connected returns
        bool recordedAtEnd;      // and once the play has ended
        bool journaled;          // "was not played"
    };
    const QString file = QStringLiteral("/sounds/announce.wav");
    const std::vector<Case> cases = {
        {"none set", QString(), false, true, End::kNone, true, true, false},
        {"before the recording", file, false, true, End::kPlayed, false, true, false},
        {"while it runs", file, true, true, End::kPlayed, true, true, false},
        {"cannot start: recorded all the same", file, false, false, End::kNone, true, true, true},
        {"the modem gave up: recorded all the same", file, false, true, End::kGaveUp, false, true,
         true},
        {"hung up during it: nothing recorded", file, false, true, End::kHungUp, false, false,
         false},
    };
    int enteredUnrecorded = 0;
    machine_.SetUnrecordedCalls([&](const UnrecordedCall&) { ++enteredUnrecorded; });
    const auto notPlayed = [this] {
        return SysJournal()
            .filter(QStringLiteral("Tapi1_Connected->The announcement /sounds/announce.wav was "
                                   "not played to the line(0)"))
            .size();
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        enteredUnrecorded = 0;
        const qsizetype journaledBefore = notPlayed();
        CallOptions options;
        options.announcement = c.announcement;
        options.announceWhileRecording = c.whileRecording;
        machine_.SetOptions(options);
        backend_->playResult = c.starts;
        backend_->callActive = true;
        machine_.InComeCall();
        backend_->TakeRequests();
        machine_.Connected();
        EXPECT_EQ(backend_->TakeRequests(),
                  c.announcement.isEmpty() ? QStringList() : QStringList{"PlayToLine " + file});
        EXPECT_EQ(w_.recording, c.recordingAtAnswer);
        if (c.end == End::kHungUp) {
            backend_->callActive = false;
            machine_.Idle();
        }
        if (c.end != End::kNone) {
            backend_->FinishPlay(c.end == End::kPlayed);
        }
        EXPECT_EQ(w_.recording, c.recordedAtEnd);
        EXPECT_EQ(notPlayed() - journaledBefore, c.journaled ? 1 : 0);
        backend_->callActive = false;
        machine_.Idle();
        EXPECT_EQ(enteredUnrecorded, c.recordedAtEnd ? 0 : 1) << "the call is listed once";
    }
    machine_.SetUnrecordedCalls({});
}

TEST_F(CallStateMachineTest, AConnectedWithoutAnyFlagOnlyShowsAndJournals) {
    w_.dialerLoaded = true;
    machine_.Connected();
    EXPECT_EQ(w_.TakeLog(), QStringList{"status " + Text(ids::kStatusConnected)});
    EXPECT_EQ(SysJournal(), QStringList{"Tapi1_Connected->Connected(0)"});
    EXPECT_TRUE(backend_->requests.isEmpty());
}

TEST_F(CallStateMachineTest, AConnectedStandardCallIsAnnouncedOnceWithoutABoxAndNotAnswered) {
    state_.standardCall = true;
    w_.dialerLoaded = true;
    machine_.Connected();
    EXPECT_EQ(w_.TakeLog(), (QStringList{"dialer ready", "dialer call buttons off", "dialer end on",
                                         "status " + Text(ids::kStatusConnected)}));
    EXPECT_TRUE(w_.balloons.isEmpty());
    // With the dialer closed, a balloon says it.
    w_.dialerLoaded = false;
    machine_.Connected();
    EXPECT_EQ(w_.TakeLog(), QStringList{"status " + Text(ids::kStatusConnected)});
    EXPECT_EQ(w_.balloons, QStringList{Text(ids::kStatusConnected) + " | " +
                                       Text(ids::kMsgStandardCallConnected)});
    EXPECT_TRUE(backend_->requests.isEmpty());
    EXPECT_EQ(state_.call.CallKind, kCallKindNone);
}

TEST_F(CallStateMachineTest, ARecordCallIsRecordedAsItConnectsWithoutAQuestion) {
    state_.recordCall = true;
    state_.recordingIncoming = true;
    w_.dialerLoaded = true;
    w_.answer = false;
    machine_.Connected();
    EXPECT_EQ(w_.TakeLog(), (QStringList{"StartCallRecording", "Record on", "dialer unload",
                                         "status " + Text(ids::kStatusConnected)}));
    EXPECT_EQ(backend_->requests, QStringList{QStringLiteral("Answer")});
    EXPECT_EQ(state_.call.CallKind, kCallKindOutgoingRecorded);
    EXPECT_TRUE(state_.recordCall);
    EXPECT_FALSE(state_.recordingIncoming);
}

TEST_F(CallStateMachineTest, ACallThatEndsWhileItsRecordingStartsEndsAfterTheStart) {
    for (const bool recordCall : {false, true}) {
        SCOPED_TRACE(recordCall ? "record call" : "incoming call");
        if (recordCall) {
            state_.recordCall = true;
            w_.dialerLoaded = true;
        } else {
            machine_.InComeCall();
        }
        // The hang-up arrives as the line's events do, queued; it is
        // handled once Connected has finished, and stops the recording.
        w_.duringStart = [this] {
            QMetaObject::invokeMethod(
                &machine_, [this] { machine_.Idle(); }, Qt::QueuedConnection);
        };
        machine_.Connected();
        w_.duringStart = nullptr;
        EXPECT_TRUE(w_.recording);
        EXPECT_EQ(w_.status, Text(ids::kStatusConnected));
        QCoreApplication::processEvents();
        EXPECT_FALSE(w_.recording);
        EXPECT_FALSE(state_.recordingIncoming || state_.recordCall || state_.incomingCall);
        EXPECT_EQ(w_.status, Text(ids::kStatusLineOpen));
        w_.TakeLog();
    }
}

TEST_F(CallStateMachineTest, ADisconnectedWithoutAnActiveCallDoesNothing) {
    w_.recording = true;
    w_.dialerLoaded = true;
    machine_.Disconnected();
    EXPECT_TRUE(w_.log.isEmpty());
    EXPECT_TRUE(backend_->requests.isEmpty());
    EXPECT_TRUE(SysJournal().isEmpty());
}

TEST_F(CallStateMachineTest, ADisconnectedStopsTheRecordingHangsUpAndFreesTheDialer) {
    backend_->callActive = true;
    w_.recording = true;
    state_.recordSeconds = 42;
    machine_.Disconnected();
    EXPECT_EQ(w_.TakeLog(), QStringList{"StopRecord"});
    EXPECT_EQ(state_.recordSeconds, 42);

    w_.dialerLoaded = true;
    machine_.Disconnected();
    EXPECT_EQ(w_.TakeLog(),
              (QStringList{"dialer status " + Text(ids::kStatusNoCall), "dialer call buttons on"}));
    EXPECT_EQ(state_.recordSeconds, 0);
    EXPECT_EQ(backend_->requests, (QStringList{"Drop", "Drop"}));
    EXPECT_EQ(SysJournal(), (QStringList{"Tapi1_Disconnected->Disconnected(0)",
                                         "Tapi1_Disconnected->Disconnected(0)"}));
}

TEST_F(CallStateMachineTest, EndCallTidiesUpInItsOrderAndEntersAKeptRecordingOnce) {
    state_.incomingCall = state_.recordingIncoming = state_.recordCall = state_.standardCall = true;
    w_.preScreen = true;
    w_.recording = true;
    w_.recordPressed = true;
    w_.pausePressed = true;  // never both by the toolbar, but entered once all the same
    w_.pausedIn = true;
    machine_.EndCall();
    EXPECT_FALSE(state_.incomingCall || state_.recordingIncoming || state_.recordCall ||
                 state_.standardCall);
    EXPECT_EQ(w_.TakeLog(),
              (QStringList{"time 0:00:00", "HideIndicators", "ring ", "ClosePreScreen",
                           "ReleaseListen", "StopRecord", "AddCallInfoDat", "UnPauseIn",
                           "ReleaseAllButtons", "display off", "SetLineScope"}));

    // Recorded without Record or Pause pressed: stopped, not entered.
    w_.recording = true;
    machine_.EndCall();
    EXPECT_EQ(w_.TakeLog(), (QStringList{"time 0:00:00", "HideIndicators", "ring ", "StopRecord",
                                         "ReleaseAllButtons", "display off", "SetLineScope"}));
}

TEST_F(CallStateMachineTest, IdleEndsTheCallAndShowsTheLineWaiting) {
    machine_.InComeCall();
    w_.TakeLog();
    machine_.Idle();
    const QStringList log = w_.TakeLog();
    EXPECT_TRUE(log.contains(QStringLiteral("display off")));
    EXPECT_EQ(log.mid(log.size() - 2),
              (QStringList{"status " + Text(ids::kStatusLineOpen), "SetLineScope"}));
    EXPECT_EQ(SysJournal().last(), QStringLiteral("Tapi1_Idle->End Of Call(0)"));
}

TEST_F(CallStateMachineTest, OutgoingProgressShowsTheDialOnBothStatusBarsAndKeepsHangUp) {
    state_.call.CallerNumber = QStringLiteral("5550100");
    const QString dialling = Text(ids::kStatusDialling) + " ";
    machine_.OutgoingProgress();
    EXPECT_EQ(w_.TakeLog(), QStringList{"status " + dialling + "5550100"});
    w_.dialerLoaded = true;
    machine_.OutgoingProgress();
    EXPECT_EQ(w_.TakeLog(),
              (QStringList{"status " + dialling + "5550100", "dialer call buttons off",
                           "dialer end on", "dialer status " + dialling + "555-0100"}));
    EXPECT_TRUE(SysJournal().isEmpty());
}

// The user's Hang up drops the call without a Disconnected; a lost or
// closed line neither sends one.
TEST_F(CallStateMachineTest, WhoeverEndsTheCallALoadedDialerCanPlaceTheNextOne) {
    const struct {
        const char* label;
        std::function<void(CallStateMachine&)> end;
        QString status;
    } cases[] = {
        {"idle", [](CallStateMachine& m) { m.Idle(); }, Text(ids::kStatusNoCall)},
        {"busy",
         [](CallStateMachine& m) {
             m.DialFailed(line_error::kBusy);
             m.Idle();
         },
         Text(ids::kDialBusy)},
        {"line lost", [](CallStateMachine& m) { m.LineLost(line_error::kDeviceLost); },
         Text(ids::kStatusNoCall)},
        {"line closed", [](CallStateMachine& m) { m.EndCallOnClosingLine(); },
         Text(ids::kStatusNoCall)},
    };
    w_.dialerLoaded = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        state_.standardCall = true;
        machine_.OutgoingProgress();
        w_.TakeLog();
        c.end(machine_);
        const QStringList log = w_.TakeLog();
        EXPECT_FALSE(state_.standardCall);
        const qsizetype on = log.lastIndexOf(QStringLiteral("dialer call buttons on"));
        ASSERT_GE(on, 1) << log.join(u'|').toStdString();
        EXPECT_EQ(log[on - 1], "dialer status " + c.status);
    }
}

TEST_F(CallStateMachineTest, ALostLineEndsTheCallAndShowsTheLineClosed) {
    machine_.InComeCall();
    w_.recording = true;
    machine_.LineLost(line_error::kDeviceLost);
    EXPECT_FALSE(state_.incomingCall);
    EXPECT_FALSE(w_.recording);
    const QStringList log = w_.TakeLog();
    EXPECT_EQ(log.mid(log.size() - 2),
              (QStringList{"status " + Text(ids::kStatusLineClosed), "switch off"}));
    EXPECT_EQ(SysJournal().last(),
              "Tapi1_LineLost->" + LineErrorText(line_error::kDeviceLost) + "(13)");
    EXPECT_EQ(w_.problems, QStringList{Text(ids::kLineLost)});
}

// Closing the line with a call on it ends the call as a hang-up does; the
// next call's rings count from one again.
TEST_F(CallStateMachineTest, ClosingTheLineEndsARingingOrConnectedCallAsAHangUpDoes) {
    const struct {
        bool ringing, connected;
        QStringList journal;
    } cases[] = {
        {false, false, {}},
        {true, false, {"Tapi1_Idle->End Of Call(0)"}},
        {true, true, {"Tapi1_Disconnected->Disconnected(0)", "Tapi1_Idle->End Of Call(0)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.journal.join(u' ').toStdString());
        if (c.ringing) {
            machine_.InComeCall();
            machine_.Ring(1);
            machine_.Ring(2);
        }
        if (c.connected) {
            backend_->callActive = true;
            machine_.Connected();
        }
        w_.TakeLog();
        const qsizetype before = SysJournal().size();
        machine_.EndCallOnClosingLine();
        EXPECT_EQ(SysJournal().mid(before), c.journal);
        EXPECT_FALSE(w_.recording);
        EXPECT_FALSE(state_.incomingCall || state_.recordingIncoming);
        EXPECT_EQ(w_.ring, QString());
        EXPECT_EQ(w_.TakeLog().contains(QStringLiteral("display off")), c.ringing);
        backend_->callActive = false;
    }
    machine_.InComeCall();
    machine_.Ring(7);
    EXPECT_EQ(w_.ring, QStringLiteral("1"));
}

TEST_F(CallStateMachineTest, AWholeCallFromTheControlIsJournaledInOrder) {
    backend_->RaiseIncomingCall();
    backend_->RaiseRing(1);
    backend_->RaiseCallerId(QStringLiteral("Ann Lee"), QStringLiteral("5551234"));
    backend_->RaiseRing(2);
    backend_->callActive = true;
    backend_->RaiseConnected();
    backend_->RaiseDisconnected();
    backend_->RaiseIdle();
    QCoreApplication::processEvents();
    EXPECT_EQ(SysJournal(),
              (QStringList{"Tapi1_InComeCall->Incoming Call(0)", "Tapi1_Ring->Ring 1(0)",
                           "Tapi1_CallerID->CallerID Ann Lee 5551234(0)", "Tapi1_Ring->Ring 2(0)",
                           "Tapi1_Connected->Connected(0)", "Tapi1_Disconnected->Disconnected(0)",
                           "Tapi1_Idle->End Of Call(0)"}));
    EXPECT_EQ(CallsJournal(), QStringList{"Ann Lee - 5551234"});
    EXPECT_EQ(backend_->requests, QStringList{QStringLiteral("Drop")});
    EXPECT_EQ(w_.ring, QString());
    EXPECT_EQ(w_.status, Text(ids::kStatusLineOpen));
}

// A screen that blocks the numbers given, and decides "" (no caller ID)
// as `unknown`.
class FakeScreen final : public CallScreen {
  public:
    bool MayBlock() const override { return mayBlock; }
    ScreeningDecision Decide(const QString& number) const override {
        asked << number;
        return decisions.value(number);
    }
    bool mayBlock = true;
    QHash<QString, ScreeningDecision> decisions;
    mutable QStringList asked;
};

TEST_F(CallStateMachineTest, ScreeningBlocksHidesTheRingingOrLetsTheCallerRingOnce) {
    const ScreeningDecision blocked{RecordMode::kNever, true, BlockAction::kHangUp};
    const ScreeningDecision never{RecordMode::kNever};
    const struct {
        const char* what;
        bool mayBlock;
        bool callerIdFirst;
        const char* number;  // nullptr: no caller ID, a second ring
        ScreeningDecision decision;
        QStringList requests;  // of the line
        int balloons;
        bool displayed, recorded;
        const char* callsJournal;
    } cases[] = {
        {"blocked",
         true,
         false,
         "0900",
         blocked,
         {"Answer", "Drop"},
         0,
         false,
         false,
         "X - 0900 (blocked)"},
        {"blocked, caller ID first",
         true,
         true,
         "0900",
         blocked,
         {"Answer", "Drop"},
         0,
         false,
         false,
         "X - 0900 (blocked)"},
        {"no caller ID, unknown blocked",
         true,
         false,
         nullptr,
         blocked,
         {"Answer", "Drop"},
         0,
         false,
         false,
         " - UNKNOWN (blocked)"},
        {"let through", true, false, "0301", {}, {}, 1, true, true, "X - 0301"},
        {"no caller ID, let through", true, false, nullptr, {}, {}, 1, true, true, nullptr},
        {"never recorded", false, false, "0301", never, {}, 2, true, false, "X - 0301"},
    };
    CallOptions options;
    options.showCallerBalloon = true;
    machine_.SetOptions(options);
    for (const auto& c : cases) {
        FakeScreen screen;
        screen.mayBlock = c.mayBlock;
        const QString number = c.number ? QString::fromLatin1(c.number) : QString();
        screen.decisions.insert(number, c.decision);
        machine_.SetScreen(&screen);
        const qsizetype journaled = CallsJournal().size();
        w_.balloons.clear();
        w_.TakeLog();
        if (c.callerIdFirst) {
            machine_.CallerID(QStringLiteral("X"), number);
        }
        machine_.InComeCall();
        machine_.Ring(1);
        if (c.number && !c.callerIdFirst) {
            machine_.CallerID(QStringLiteral("X"), number);
        }
        machine_.Ring(2);
        backend_->callActive = true;  // answered: by the handset or, blocked, by the machine
        machine_.Connected();
        backend_->callActive = false;
        machine_.Idle();
        const QStringList log = w_.TakeLog();
        EXPECT_EQ(backend_->TakeRequests(), c.requests) << c.what;
        EXPECT_EQ(w_.balloons.size(), c.balloons)
            << c.what << ' ' << w_.balloons.join(u'/').toStdString();
        EXPECT_EQ(log.contains(QStringLiteral("display on")), c.displayed) << c.what;
        EXPECT_EQ(log.contains(QStringLiteral("StartCallRecording")), c.recorded) << c.what;
        EXPECT_EQ(screen.asked, QStringList{number}) << c.what << "asked once";
        EXPECT_EQ(CallsJournal().mid(journaled),
                  c.callsJournal ? QStringList{QString::fromLatin1(c.callsJournal)} : QStringList())
            << c.what;
    }
    // Answered before any caller ID: the unknown caller's record rule holds,
    // its block does not (the user took the call).
    FakeScreen unknown;
    unknown.mayBlock = false;
    unknown.decisions.insert(QString(), {RecordMode::kNever, true});
    machine_.SetScreen(&unknown);
    w_.TakeLog();
    machine_.InComeCall();
    machine_.Connected();
    machine_.Idle();
    EXPECT_FALSE(w_.TakeLog().contains(QStringLiteral("StartCallRecording")));
    EXPECT_TRUE(backend_->TakeRequests().isEmpty());
    machine_.SetScreen(nullptr);
}

TEST_F(CallStateMachineTest, AnAskRuleRecordsFromTheStartAndKeepsOrDiscardsAtTheEnd) {
    enum When { kBeforeAnswer, kDuringCall, kAfterEnd };
    enum Start { kNotRecorded, kAtAnswer, kLate };
    struct Answer {
        When when;
        bool keep;
    };
    const struct {
        const char* what;
        std::vector<Answer> answers;
        Start start;
        const char* end;  // what the end of the call does with the recording
    } cases[] = {
        {"keep while ringing", {{kBeforeAnswer, true}}, kAtAnswer, "AddCallInfoDat"},
        {"discard while ringing", {{kBeforeAnswer, false}}, kNotRecorded, nullptr},
        {"keep late", {{kDuringCall, true}}, kAtAnswer, "AddCallInfoDat"},
        {"discard late", {{kDuringCall, false}}, kAtAnswer, "DiscardRecording"},
        {"undecided at the end: kept", {{kAfterEnd, false}}, kAtAnswer, "AddCallInfoDat"},
        {"discarded while ringing, kept late: recorded from then",
         {{kBeforeAnswer, false}, {kDuringCall, true}},
         kLate,
         "AddCallInfoDat"},
        {"kept while ringing, discarded late",
         {{kBeforeAnswer, true}, {kDuringCall, false}},
         kAtAnswer,
         "DiscardRecording"},
        {"discarded late, then kept after all",
         {{kDuringCall, false}, {kDuringCall, true}},
         kAtAnswer,
         "AddCallInfoDat"},
    };
    const auto question = [](RecordQuestion state) {
        return QStringLiteral("question %1").arg(static_cast<int>(state));
    };
    w_.duringStart = [this] { w_.recordPressed = true; };
    int enteredUnrecorded = 0;
    machine_.SetUnrecordedCalls([&](const UnrecordedCall&) { ++enteredUnrecorded; });
    for (const auto& c : cases) {
        enteredUnrecorded = 0;
        FakeScreen screen;
        screen.mayBlock = false;
        screen.decisions.insert(QStringLiteral("0301"), {RecordMode::kAsk});
        machine_.SetScreen(&screen);
        w_.TakeLog();
        EXPECT_FALSE(machine_.AnswerAsk(true)) << c.what << ": no call";
        machine_.InComeCall();
        machine_.CallerID(QStringLiteral("X"), QStringLiteral("0301"));
        const auto answer = [&](When when) {
            for (const Answer& a : c.answers) {
                if (a.when == when) {
                    EXPECT_EQ(machine_.AnswerAsk(a.keep), when != kAfterEnd) << c.what;
                }
            }
        };
        answer(kBeforeAnswer);
        backend_->callActive = true;
        machine_.Connected();
        answer(kDuringCall);
        backend_->callActive = false;
        machine_.Idle();
        answer(kAfterEnd);
        const QStringList log = w_.TakeLog();
        // The question shows from the decision, each answer shows, and it
        // goes with the call.
        EXPECT_EQ(log.filter(QStringLiteral("question ")).first(), question(RecordQuestion::kOpen))
            << c.what;
        EXPECT_EQ(log.filter(QStringLiteral("question ")).last(), question(RecordQuestion::kHidden))
            << c.what;
        for (const Answer& a : c.answers) {
            EXPECT_EQ(
                log.contains(question(a.keep ? RecordQuestion::kKeep : RecordQuestion::kDiscard)),
                a.when != kAfterEnd)
                << c.what;
        }
        const qsizetype started = log.indexOf(QStringLiteral("StartCallRecording"));
        const qsizetype connected = log.indexOf("status " + Text(ids::kStatusConnected));
        EXPECT_EQ(started < 0           ? kNotRecorded
                  : started < connected ? kAtAnswer
                                        : kLate,
                  c.start)
            << c.what << ' ' << log.join(u'/').toStdString();
        EXPECT_EQ(log.count(QStringLiteral("StartCallRecording")), c.start == kNotRecorded ? 0 : 1)
            << c.what;
        for (const char* end : {"AddCallInfoDat", "DiscardRecording"}) {
            EXPECT_EQ(log.contains(QString::fromLatin1(end)), c.end && qstrcmp(end, c.end) == 0)
                << c.what << ": " << end;
        }
        // A call that keeps no recording is listed as not recorded, once.
        EXPECT_EQ(enteredUnrecorded, c.end && qstrcmp(c.end, "AddCallInfoDat") == 0 ? 0 : 1)
            << c.what;
    }
    machine_.SetUnrecordedCalls({});
    // A call that no rule asks about shows no question and takes no answer.
    FakeScreen always;
    always.mayBlock = false;
    machine_.SetScreen(&always);
    machine_.InComeCall();
    machine_.CallerID(QStringLiteral("X"), QStringLiteral("0302"));
    EXPECT_FALSE(machine_.AnswerAsk(false));
    machine_.Idle();
    EXPECT_TRUE(w_.TakeLog().filter(QStringLiteral("question")).isEmpty());
    machine_.SetScreen(nullptr);
}

}  // namespace
}  // namespace orvane

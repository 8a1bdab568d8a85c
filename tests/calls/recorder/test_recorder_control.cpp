// The recording control: each recorder button over the call flags and
// Wave1's state, and what reaches the call store when a recording ends.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "calls/call_state.h"
#include "calls/call_state_machine.h"
#include "calls/recorder/recorder_control.h"
#include "calls/recorder/recording_sidecar.h"
#include "calls/recorder/wave_repair.h"
#include "calls/store/call_store.h"
#include "core/clock.h"
#include "core/stored_moment.h"
#include "tests/support/file_size_limit.h"
#include "tests/telephony/telephony_test_support.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

QString On(bool flag) {
    return flag ? QStringLiteral("on") : QStringLiteral("off");
}

// Wave1, the line and the toolbar in one fake with one log.
class FakeRecorderParts final : public RecorderWave, public RecorderLine, public RecorderView {
  public:
    qint32 StartRecordACM(qint32 device, const QString& path, const sonvel::WaveFormat& input,
                          const sonvel::WaveFormat& codec, qint32 bufferSize) override {
        log << QStringLiteral("StartRecordACM %1 %2 in=%3 tag=%4 buffer=%5")
                   .arg(device)
                   .arg(QFileInfo(path).fileName())
                   .arg(input.wFormatTag)
                   .arg(codec.wFormatTag)
                   .arg(bufferSize);
        lastPath = path;
        if (startResult == 0) {
            recording = true;
            QFile file(path);
            if (file.open(QIODevice::WriteOnly)) {
                file.write(QByteArray(fileBytes, '\1'));
            }
        }
        return startResult;
    }
    void StopRecord() override {
        log << "StopRecord";
        recording = false;
    }
    void PauseIn() override {
        log << "PauseIn";
        paused = true;
    }
    void UnPauseIn() override {
        log << "UnPauseIn";
        paused = false;
    }
    bool IsPausedIn() const override { return paused; }
    bool IsRecording() const override { return recording; }
    bool IsPreScreen() const override { return preScreen; }
    qint32 OpenPreScreen(const sonvel::WaveFormat& format, qint32 device) override {
        log << QStringLiteral("OpenPreScreen tag=%1 device=%2").arg(format.wFormatTag).arg(device);
        preScreen = true;
        return 0;
    }
    qint32 ClosePreScreen() override {
        log << "ClosePreScreen";
        preScreen = false;
        return 0;
    }
    QString WaveInErrText(qint32 code) const override {
        return QStringLiteral("wave %1").arg(code);
    }
    // A WAV file's length as its header claims it, as Wave1 measures it;
    // the fake's own files (no RIFF header) last seven seconds.
    QString DurationText(const QString& path) override {
        QFile file(path);
        const QByteArray header = file.open(QIODevice::ReadOnly) ? file.read(64) : QByteArray();
        if (!header.startsWith("RIFF") || header.size() < 64) {
            return QStringLiteral("0:00:07");
        }
        const quint32 perSecond = qFromLittleEndian<quint32>(header.constData() + 28);
        return RecordTimeText(
            static_cast<qint32>(qFromLittleEndian<quint32>(header.constData() + 60) / perSecond));
    }

    bool CallActive() const override { return callActive; }
    qint32 WaveInDevice() const override { return 4; }
    qint32 LineAnswer() override {
        log << "LineAnswer";
        return 0;
    }
    QString LineErrText(qint32 code) const override { return QStringLiteral("line %1").arg(code); }
    qint32 LineIndex() const override { return 2; }

    bool IsRecordPressed() const override { return record; }
    bool IsPausePressed() const override { return pause; }
    bool IsListenPressed() const override { return listen; }
    void SetRecordPressed(bool pressed) override { log << "Record " + On(record = pressed); }
    void SetPausePressed(bool pressed) override { log << "Pause " + On(pause = pressed); }
    void SetListenPressed(bool pressed) override { log << "Listen " + On(listen = pressed); }
    void ShowRec(bool visible) override { log << "lblRec " + On(visible); }
    void ShowPause(bool visible) override { log << "lblPause " + On(visible); }
    void ShowPreScreen(bool visible) override { log << "lblPreScreen " + On(visible); }
    void SetTimeText(const QString& text) override { log << "time " + text; }
    void SetCallStatus(const QString& text) override { log << "status " + text; }
    void ReportProblem(const QString& text) override {
        if (!text.isEmpty()) {  // an empty one only takes the last away
            problems << text;
        }
    }
    void ReportFailure(const QString& text) override { failures << text; }
    void Inform(const QString& text) override { log << "inform " + text; }
    void Ask(const QString& question, std::function<void(bool)> answered) override {
        log << "ask " + question;
        questions.push_back(std::move(answered));
    }
    // The user answers the oldest open question, as the event loop would.
    void AnswerQuestion(bool yes) {
        ASSERT_FALSE(questions.empty());
        auto answered = std::move(questions.front());
        questions.erase(questions.begin());
        answered(yes);
    }
    void CloseQuestion() override { log << "close question"; }
    void DrawIdleLine() override { log << "idle line"; }

    QStringList TakeLog() { return std::exchange(log, {}); }
    std::vector<std::function<void(bool)>> questions;
    QStringList log, problems, failures;
    QString lastPath;
    qint32 startResult = 0;
    int fileBytes = 64 + 8000;
    bool recording = false, paused = false, preScreen = false, callActive = false;
    bool record = false, pause = false, listen = false, answer = false;
};

enum class Button { Record, Pause, Stop, Listen, EndCall };

struct ButtonCase {
    const char* label;
    bool incoming, recordingIncoming, recordCall, callActive;
    bool recording, paused, preScreen, answer;
    Button button;
    QStringList log;
    QStringList journal;
};

class RecorderControlTest : public testing::TelephonyTest {
  protected:
    RecorderControlTest() {
        folder_ = env_.root() + QStringLiteral("/calls/");
        QDir().mkpath(folder_);
        options_.recordingsFolder = folder_;
        options_.soundDevice = 5;
        control_.SetOptions(options_);
        control_.SetCallStored([this] { ++stored_; });
        control_.SetEndCall([this] { parts_.log << "end call"; });
        control_.SetFreeSpace([this](const QString&) { return freeBytes_; });
        state_.call = ResetCall(clock_.now());
    }
    void Click(Button button) {
        switch (button) {
            case Button::Record:
                return control_.RecordClicked();
            case Button::Pause:
                return control_.PauseClicked();
            case Button::Stop:
                return control_.StopClicked();
            case Button::Listen:
                return control_.ListenClicked();
            case Button::EndCall:
                return control_.EndCallClicked();
        }
    }

    QString folder_;
    RecorderOptions options_;
    CallState state_;
    FakeRecorderParts parts_;
    RecorderControl control_{state_, parts_, parts_, parts_, clock_};
    int stored_ = 0;
    qint64 freeBytes_ = qint64(1) << 40;
};

TEST_F(RecorderControlTest, EachButtonFollowsItsRuleOverTheCallFlagsAndWave1) {
    const QString connected = Text(ids::kStatusConnected);
    const std::vector<ButtonCase> cases = {
        {"NoCallRecord",
         false,
         false,
         false,
         true,
         false,
         false,
         false,
         false,
         Button::Record,
         {"inform No call", "Record off", "Pause off", "Listen off"},
         {}},
        {"NoCallEndCall",
         false,
         false,
         false,
         true,
         false,
         false,
         false,
         false,
         Button::EndCall,
         {"inform No call", "Record off", "Pause off", "Listen off"},
         {}},
        {"RingingRecordYesAnswers",
         true,
         false,
         false,
         false,
         false,
         false,
         false,
         true,
         Button::Record,
         {"ask " + Text(ids::kAskRecordCall), "LineAnswer"},
         {"Tapi.LineAnswer->line 0(0)"}},
        {"RingingRecordNoReleases",
         true,
         false,
         false,
         false,
         false,
         false,
         false,
         false,
         Button::Record,
         {"ask " + Text(ids::kAskRecordCall), "Record off"},
         {}},
        {"RecordWhilePausedResumes",
         true,
         true,
         false,
         true,
         true,
         true,
         false,
         false,
         Button::Record,
         {"UnPauseIn", "lblPause off", "lblRec on", "Pause off", "Record on"},
         {"Wave.UnPauseIn->UnPause(0)"}},
        {"RecordWhileRecordingStaysPressed",
         false,
         false,
         true,
         true,
         true,
         false,
         false,
         false,
         Button::Record,
         {"Record on"},
         {}},
        {"PauseWhileRecording",
         true,
         true,
         false,
         true,
         true,
         false,
         false,
         false,
         Button::Pause,
         {"PauseIn", "lblPause on", "lblRec off", "Pause on", "Record off"},
         {"Wave.PauseIn->Pause(0)"}},
        {"PauseWhilePausedResumes",
         true,
         true,
         false,
         true,
         true,
         true,
         false,
         false,
         Button::Pause,
         {"UnPauseIn", "lblPause off", "lblRec on", "Pause off", "Record on"},
         {"Wave.UnPauseIn->UnPause(0)"}},
        {"PauseWithoutConnectedCallReleases",
         true,
         false,
         false,
         false,
         false,
         false,
         false,
         false,
         Button::Pause,
         {"Pause off"},
         {}},
        {"StopWhilePausedAndListening",
         true,
         true,
         false,
         true,
         true,
         true,
         true,
         false,
         Button::Stop,
         {"Pause off", "Record off", "ClosePreScreen", "Listen off", "lblPreScreen off",
          "UnPauseIn", "lblPause off", "lblRec off", "StopRecord", "time 0:00:00",
          "status " + connected},
         {"Wave.ClosePreScreen->wave 0(0)"}},
        {"StopWithoutRecordingDoesNothing",
         true,
         true,
         false,
         true,
         false,
         false,
         false,
         false,
         Button::Stop,
         {},
         {}},
        {"ListenWithoutRecordingReleases",
         true,
         true,
         false,
         true,
         false,
         false,
         false,
         false,
         Button::Listen,
         {"Listen off"},
         {}},
        {"ListenOpensOnTheSoundDevice",
         true,
         true,
         false,
         true,
         true,
         false,
         false,
         false,
         Button::Listen,
         {"OpenPreScreen tag=1 device=5", "lblPreScreen on", "Listen on"},
         {"Wave.OpenPreScreen->wave 0(0)"}},
        {"ListenAgainCloses",
         true,
         true,
         false,
         true,
         true,
         false,
         true,
         false,
         Button::Listen,
         {"ClosePreScreen", "lblPreScreen off", "Listen off"},
         {"Wave.ClosePreScreen->wave 0(0)"}},
        {"EndCallHangsUp",
         true,
         true,
         false,
         true,
         true,
         false,
         false,
         false,
         Button::EndCall,
         {"end call"},
         {}},
    };
    for (const ButtonCase& c : cases) {
        SCOPED_TRACE(c.label);
        const qsizetype before = SysJournal().size();
        state_.incomingCall = c.incoming;
        state_.recordingIncoming = c.recordingIncoming;
        state_.recordCall = c.recordCall;
        parts_.callActive = c.callActive;
        parts_.recording = c.recording;
        parts_.paused = c.paused;
        parts_.preScreen = c.preScreen;
        parts_.answer = c.answer;
        parts_.TakeLog();
        Click(c.button);
        if (!parts_.questions.empty()) {
            parts_.AnswerQuestion(c.answer);
        }
        EXPECT_EQ(parts_.TakeLog(), c.log);
        EXPECT_EQ(SysJournal().mid(before), c.journal);
    }
    // Recording that starts from the Record button of a connected call.
    state_.call.CallerName = QStringLiteral("Ann");
    state_.call.CallerNumber = QStringLiteral("555");
    parts_.recording = parts_.paused = false;
    control_.RecordClicked();
    const QString name =
        CallFileName(QStringLiteral("Ann"), QStringLiteral("555"),
                     ShortDateText(clock_.now().date()), LongTimeText(clock_.now().time()));
    EXPECT_EQ(parts_.TakeLog(), (QStringList{"StartRecordACM 4 " + name + " in=1 tag=1 buffer=8000",
                                             "lblRec on", "Record on"}));
    EXPECT_EQ(parts_.lastPath, folder_ + name);
    EXPECT_TRUE(control_.TimerRunning());
    // A start that works is journaled with the control's text for 0.
    EXPECT_EQ(SysJournal().filter(QStringLiteral("RecMessage:StartRecordACM->")).size(), 1);

    // Without a recordings folder nothing records into the current folder.
    control_.StopRecord();
    options_.recordingsFolder.clear();
    control_.SetOptions(options_);
    control_.RecordClicked();
    EXPECT_EQ(parts_.TakeLog(), (QStringList{"StopRecord", "Record off"}));
    EXPECT_EQ(parts_.problems.size(), 1);
}

TEST_F(RecorderControlTest, TheRecordQuestionAnswersOnlyTheCallItAskedAbout) {
    const QString ask = "ask " + Text(ids::kAskRecordCall);
    enum class Meanwhile { Nothing, CallEnded, NewCallRang, SecondClick };
    struct QuestionCase {
        const char* label;
        Meanwhile meanwhile;
        bool yes;
        QStringList log;  // from the click to the answer
    };
    const QStringList ended = {"close question", "Record off", "Pause off", "Listen off"};
    const std::vector<QuestionCase> cases = {
        {"YesWhileRinging", Meanwhile::Nothing, true, {ask, "LineAnswer"}},
        {"NoWhileRinging", Meanwhile::Nothing, false, {ask, "Record off"}},
        {"YesAfterTheCallEnded", Meanwhile::CallEnded, true, QStringList{ask} + ended},
        {"YesAfterANewCallRang", Meanwhile::NewCallRang, true, QStringList{ask} + ended},
        {"SecondClickAsksOnce", Meanwhile::SecondClick, true, {ask, "Record on", "LineAnswer"}},
    };
    for (const QuestionCase& c : cases) {
        SCOPED_TRACE(c.label);
        control_.ReleaseAllButtons();
        state_.ClearFlags();
        state_.incomingCall = true;
        parts_.TakeLog();
        control_.RecordClicked();
        // The click only asks: nothing is answered before the user is.
        EXPECT_EQ(parts_.log, QStringList{ask});
        switch (c.meanwhile) {
            case Meanwhile::Nothing:
                break;
            case Meanwhile::CallEnded:
                state_.ClearFlags();
                control_.ReleaseAllButtons();
                break;
            case Meanwhile::NewCallRang:
                control_.ReleaseAllButtons();
                state_.incomingCall = true;
                break;
            case Meanwhile::SecondClick:
                control_.RecordClicked();
                break;
        }
        ASSERT_EQ(parts_.questions.size(), 1u);
        parts_.AnswerQuestion(c.yes);
        EXPECT_EQ(parts_.TakeLog(), c.log);
    }
}

TEST_F(RecorderControlTest, TheFormatSettingChoosesCodecAndBufferAndTrueSpeechFallsBackOnce) {
    struct FormatCase {
        int setting;
        int tag;
        int buffer;
    };
    const std::vector<FormatCase> cases = {
        {0, 1, 8000},   {1, 7, 8000}, {2, 49, 16000}, {3, 49, 16000},
        {3, 49, 16000}, {4, 1, 8000}, {-1, 1, 8000},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.setting);
        options_.recordFormat = c.setting;
        control_.SetOptions(options_);
        parts_.TakeLog();
        control_.StartCallRecording();
        EXPECT_TRUE(parts_.TakeLog().first().endsWith(
            QStringLiteral("tag=%1 buffer=%2").arg(c.tag).arg(c.buffer)));
        control_.StopRecord();
    }
    const QString fallback =
        QStringLiteral("TrueSpeech cannot be recorded here; recording GSM 6.10");
    EXPECT_EQ(parts_.problems, QStringList{fallback});
    EXPECT_EQ(SysJournal().filter(fallback).size(), 1);
}

// The rest of the program as the call state machine sees it: silent.
class QuietWindows final : public CallView, public DialerView {
  public:
    void SetLineSwitch(bool) override {}
    void SetLineStatus(const QString&) override {}
    void ShowLineProblem(const QString&) override {}
    QString CallerNameText() const override { return {}; }
    QString CallerNumberText() const override { return {}; }
    void SetCallerTexts(const QString&, const QString&) override {}
    QString RingText() const override { return {}; }
    void SetRingText(const QString&) override {}
    void ShowCallDisplay(bool) override {}
    void DisplayBallonCallSetails(const QString&, const QString&) override {}
    void RestoreWindow() override {}
    void Ask(const QString&, std::function<void(bool)>) override {}
    void ShowRecordQuestion(RecordQuestion) override {}
    void Inform(const QString&) override {}
    void PlayAlertSound(const QString&, qint32) override {}
    bool IsLoaded() const override { return false; }
    void CallReady() override {}
    void SetStatusText(const QString&) override {}
    void EnableCallButtons(bool) override {}
    void EnableEndButton(bool) override {}
    QString NumberText() const override { return {}; }
    void Unload() override {}
};

TEST_F(RecorderControlTest, AConnectedCallNobodyTouchedIsEnteredOnceWithItsFieldsInOrder) {
    QuietWindows windows;
    CallStateMachine machine(*tapi_, state_, windows, control_, windows, clock_);
    machine.InComeCall();
    machine.CallerID(QStringLiteral("Ann Lee"), QStringLiteral("../5551234"));
    machine.Connected();
    ASSERT_TRUE(parts_.recording);
    control_.Tick();
    control_.Tick();
    EXPECT_EQ(state_.recordSeconds, 2);
    machine.Idle();
    EXPECT_FALSE(parts_.recording);
    EXPECT_FALSE(control_.TimerRunning());
    EXPECT_EQ(state_.recordSeconds, 0);
    EXPECT_EQ(stored_, 1);

    // The file stays in the folder whatever the caller ID holds.
    EXPECT_EQ(QFileInfo(parts_.lastPath).absolutePath() + u'/', folder_);
    const std::vector<CallRecord> records = ReadAllCallRecords(folder_);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(QFileInfo(CallIndexFile(folder_)).size(), kCallRecordSize);
    const CallRecord& record = records[0];
    EXPECT_EQ(record.Get(CallField::CallerName), QStringLiteral("Ann Lee"));
    EXPECT_EQ(record.Get(CallField::CallerNumber), QStringLiteral("../5551234"));
    EXPECT_EQ(record.Get(CallField::CallDate), ShortDateText(clock_.now().date()));
    EXPECT_EQ(record.Get(CallField::CallTime), LongTimeText(clock_.now().time()));
    EXPECT_EQ(record.Get(CallField::CallKind), QStringLiteral("3"));
    EXPECT_EQ(record.Get(CallField::CallLine), QStringLiteral("2"));
    EXPECT_EQ(record.Get(CallField::ReadFlag), QStringLiteral("0"));
    EXPECT_EQ(record.Get(CallField::Duration), QStringLiteral("0:00:07"));
    // The moment as ISO text, space-padded: sorted the same under any locale.
    const CallFieldLayout extra = LayoutOf(CallField::ExtraText);
    EXPECT_EQ(QByteArray(record.Bytes().data() + extra.offset, extra.width),
              IsoMomentText(clock_.now()).toLatin1().leftJustified(extra.width, ' '));
    for (CallField unset : {CallField::Notes, CallField::SpareMark, CallField::UserMark}) {
        EXPECT_TRUE(record.IsUnset(unset));
    }
    EXPECT_EQ(CallFileName(record), QFileInfo(parts_.lastPath).fileName());

    // Stop during the next call enters it; the end of that call adds nothing.
    machine.InComeCall();
    machine.Connected();
    parts_.callActive = true;
    control_.StopClicked();
    machine.Idle();
    EXPECT_EQ(stored_, 2);
    EXPECT_EQ(CallRecordCount(folder_), 2);
}

TEST_F(RecorderControlTest, ADiscardedRecordingLeavesNoFileNoSidecarAndNoRecord) {
    state_.incomingCall = state_.recordingIncoming = true;
    parts_.fileBytes = 64 + 1625;
    control_.StartCallRecording();
    ASSERT_TRUE(parts_.recording);
    const QString wave = parts_.lastPath;
    const QString sidecar = QFileInfo(wave).path() + "/." + QFileInfo(wave).fileName() + ".call";
    ASSERT_TRUE(QFileInfo::exists(wave));
    ASSERT_TRUE(QFileInfo::exists(sidecar));
    control_.DiscardRecording();
    EXPECT_FALSE(parts_.recording);
    EXPECT_FALSE(QFileInfo::exists(wave));
    EXPECT_FALSE(QFileInfo::exists(sidecar));
    control_.AddCallInfoDat();  // nothing is left to enter
    EXPECT_EQ(stored_, 0);
    EXPECT_EQ(CallRecordCount(folder_), 0);
}

TEST_F(RecorderControlTest, FailedAndCutRecordingsAreReportedAndEnteredOnlyWithSound) {
    struct FailureCase {
        const char* label;
        qint32 startResult;
        int fileBytes;
        qint64 freeBytes;
        int problems;
        int entered;
    };
    const std::vector<FailureCase> cases = {
        {"FileCannotBeCreated", 2, 0, qint64(1) << 40, 1, 0},
        {"FullDiskAfterSomeSound", 0, 64 + 1625, 512, 1, 1},
        {"FullDiskBeforeAnySound", 0, 64, 0, 2, 0},
        {"Fine", 0, 64 + 1625, qint64(1) << 40, 0, 1},
    };
    state_.incomingCall = state_.recordingIncoming = true;
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.label);
        parts_.problems.clear();
        parts_.startResult = c.startResult;
        parts_.fileBytes = c.fileBytes;
        freeBytes_ = qint64(1) << 40;
        const int before = stored_;
        const qsizetype journal = SysJournal().size();
        control_.StartCallRecording();
        freeBytes_ = c.freeBytes;  // the disk fills up during the call
        EXPECT_EQ(control_.IsRecordPressed(), c.startResult == 0);
        EXPECT_EQ(control_.TimerRunning(), c.startResult == 0);
        control_.StopRecord();
        control_.AddCallInfoDat();
        EXPECT_EQ(parts_.problems.size(), c.problems) << parts_.problems.join(u'|').toStdString();
        EXPECT_EQ(stored_ - before, c.entered);
        // Each problem is journaled too, besides a start that worked.
        EXPECT_EQ(SysJournal().size() - journal, c.problems + (c.startResult == 0 ? 1 : 0));
        QFile::remove(parts_.lastPath);
    }
}

// A WAV file as the recorder writes it: its 64-byte header claiming
// `claimed` bytes of sound, then `present` bytes of sound.
QByteArray RecordedWave(quint16 tag, quint32 perSecond, quint16 blockAlign, quint32 claimed,
                        int present) {
    QByteArray bytes;
    const auto u16 = [&bytes](quint16 v) { bytes.append(reinterpret_cast<const char*>(&v), 2); };
    const auto u32 = [&bytes](quint32 v) { bytes.append(reinterpret_cast<const char*>(&v), 4); };
    bytes.append("RIFF");
    u32(56 + claimed);
    bytes.append("WAVEfmt ");
    u32(28);
    u16(tag);
    u16(1);
    u32(8000);
    u32(perSecond);
    u16(blockAlign);
    u16(tag == 1 ? 16 : 8);
    u16(10);
    bytes.append(QByteArray(10, '\0'));
    bytes.append("fact");
    u32(0);
    bytes.append("data");
    u32(claimed);
    bytes.append(QByteArray(present, '\x55'));
    return bytes;
}

QString SystemText(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

// The files in a folder, hidden ones and links included.
QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

TEST_F(RecorderControlTest, TheFileIsNamedAsTheStoredRecordRebuildsIt) {
    struct NameCase {
        const char* label;
        QString name;
        QString number;
    };
    const std::vector<NameCase> cases = {
        {"NameLongerThanItsField", QStringLiteral("QZESCAPE ROE LONGNAME ABCDEFGHIJKLMNOPQRS"),
         QStringLiteral("5550142")},
        {"NumberLongerThanItsField", QStringLiteral("Ann"), QString(40, u'7')},
        {"CutBeforeAWideCharacter", QString(15, u'x') + QString(9, QChar(0x00EB)),
         QStringLiteral("555")},
        {"SpacesAroundTheName", QStringLiteral("  Bob  "), QStringLiteral(" 555 ")},
    };
    state_.incomingCall = state_.recordingIncoming = true;
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.label);
        clock_.advanceSecs(60);
        state_.call.CallerName = c.name;
        state_.call.CallerNumber = c.number;
        control_.StartCallRecording();
        control_.StopRecord();
        control_.AddCallInfoDat();
        const std::vector<CallRecord> records = ReadAllCallRecords(folder_);
        ASSERT_FALSE(records.empty());
        // The list finds, plays and deletes the file by the rebuilt name.
        EXPECT_EQ(QFileInfo(parts_.lastPath).fileName(), CallFileName(records.back()));
        EXPECT_TRUE(QFileInfo::exists(folder_ + CallFileName(records.back())));
    }
}

TEST_F(RecorderControlTest, ARecordingNeverTakesTheNameOfAnother) {
    enum class Taken { File, Sidecar, DanglingLink, TwoSeconds };
    struct TakenCase {
        const char* label;
        Taken taken;
        int secondsLater;
    };
    const std::vector<TakenCase> cases = {
        {"AnotherCallsFile", Taken::File, 1},
        {"ARunningRecordingsSidecar", Taken::Sidecar, 1},
        {"ALinkToNothing", Taken::DanglingLink, 1},
        {"TwoSecondsTaken", Taken::TwoSeconds, 2},
    };
    state_.incomingCall = state_.recordingIncoming = true;
    state_.call.CallerName = QStringLiteral("Ann");
    state_.call.CallerNumber = QStringLiteral("555");
    const auto nameAt = [this](qint64 seconds) {
        const QDateTime at = clock_.now().addSecs(seconds);
        return CallFileName(QStringLiteral("Ann"), QStringLiteral("555"), ShortDateText(at.date()),
                            LongTimeText(at.time()));
    };
    for (const TakenCase& c : cases) {
        SCOPED_TRACE(c.label);
        options_.recordingsFolder = folder_ + QLatin1String(c.label) + u'/';
        ASSERT_TRUE(QDir().mkpath(options_.recordingsFolder));
        control_.SetOptions(options_);
        const QString& folder = options_.recordingsFolder;
        const QString other = folder + nameAt(0);
        switch (c.taken) {
            case Taken::TwoSeconds:
                env_.writeFile(QDir(env_.root()).relativeFilePath(folder + nameAt(1)), "second");
                [[fallthrough]];
            case Taken::File:
                env_.writeFile(QDir(env_.root()).relativeFilePath(other), "first call");
                break;
            case Taken::Sidecar:
                env_.writeFile(QDir(env_.root()).relativeFilePath(folder + SidecarName(nameAt(0))),
                               QByteArray(kCallRecordSize, ' '));
                break;
            case Taken::DanglingLink:
                ASSERT_TRUE(QFile::link(env_.root() + QStringLiteral("/nowhere.wav"), other));
                break;
        }
        control_.StartCallRecording();
        ASSERT_TRUE(parts_.recording);
        EXPECT_EQ(parts_.lastPath, folder + nameAt(c.secondsLater));
        control_.StopRecord();
        control_.AddCallInfoDat();
        // The stored time is the one the name holds; the other call is untouched.
        const std::vector<CallRecord> records = ReadAllCallRecords(folder);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(CallFileName(records[0]), nameAt(c.secondsLater));
        EXPECT_EQ(records[0].Get(CallField::CallTime),
                  LongTimeText(clock_.now().addSecs(c.secondsLater).time()));
        if (c.taken == Taken::File || c.taken == Taken::TwoSeconds) {
            QFile first(other);
            ASSERT_TRUE(first.open(QIODevice::ReadOnly));
            EXPECT_EQ(first.readAll(), QByteArray("first call"));
        }
        EXPECT_FALSE(QFileInfo::exists(env_.root() + QStringLiteral("/nowhere.wav")));
    }
}

TEST_F(RecorderControlTest, ARecordingThatCannotStartSaysWhyAndLeavesNoFile) {
    struct StartCase {
        const char* label;
        qint64 freeBytes;
        rlim_t fileSizeLimit;  // 0: none
        int fileBytes;         // what Wave1 manages to write
        QString reason;        // in the failure shown; empty: no failure shown
    };
    const std::vector<StartCase> cases = {
        {"NoFreeSpace", 0, 0, 64 + 8000, SystemText(ENOSPC)},
        {"NoRoomForASingleRecord", qint64(1) << 40, 100, 64 + 8000, SystemText(EFBIG)},
        {"StartedButNothingStored", qint64(1) << 40, 0, 0, QString()},
    };
    state_.incomingCall = state_.recordingIncoming = true;
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.label);
        options_.recordingsFolder = folder_ + QLatin1String(c.label) + u'/';
        ASSERT_TRUE(QDir().mkpath(options_.recordingsFolder));
        control_.SetOptions(options_);
        freeBytes_ = c.freeBytes;
        parts_.fileBytes = c.fileBytes;
        parts_.failures.clear();
        const qsizetype journal = SysJournal().size();
        {
            std::optional<testing::FileSizeLimit> limit;
            if (c.fileSizeLimit != 0) {
                limit.emplace(c.fileSizeLimit);
            }
            control_.StartCallRecording();
        }
        control_.StopRecord();
        control_.AddCallInfoDat();
        if (c.reason.isEmpty()) {
            EXPECT_TRUE(parts_.failures.isEmpty()) << parts_.failures.join(u'|').toStdString();
        } else {
            ASSERT_EQ(parts_.failures.size(), 1);
            EXPECT_TRUE(parts_.failures[0].contains(c.reason)) << parts_.failures[0].toStdString();
            // The journal tells the real cause (where the limit lets it
            // write), never a success.
            const QStringList lines = SysJournal().mid(journal);
            EXPECT_TRUE(c.fileSizeLimit != 0 || lines.join(u'|').contains(c.reason))
                << lines.join(u'|').toStdString();
            EXPECT_FALSE(lines.join(u'|').contains(parts_.WaveInErrText(0)));
            EXPECT_FALSE(control_.IsRecordPressed());
        }
        EXPECT_EQ(FilesIn(options_.recordingsFolder), QStringList{});
        EXPECT_EQ(stored_, 0);
    }
}

TEST_F(RecorderControlTest, ACallTheFullDiskKeepsOutIsShownAndEnteredAtTheNextStart) {
    state_.incomingCall = state_.recordingIncoming = true;
    state_.call.CallerName = QStringLiteral("Ann");
    control_.StartCallRecording();
    const QString wave = parts_.lastPath;
    control_.StopRecord();
    {
        const testing::FileSizeLimit full(kCallRecordSize - 67);
        control_.AddCallInfoDat();
    }
    EXPECT_EQ(stored_, 0);
    EXPECT_EQ(CallRecordCount(folder_), 0);
    // Shown where it cannot be missed, naming the kept file and the cause.
    ASSERT_EQ(parts_.failures.size(), 1);
    EXPECT_TRUE(parts_.failures[0].contains(wave)) << parts_.failures[0].toStdString();
    EXPECT_TRUE(parts_.failures[0].contains(SystemText(EFBIG)));
    const QString sidecar = folder_ + SidecarName(QFileInfo(wave).fileName());
    EXPECT_TRUE(QFileInfo::exists(sidecar));

    // Seven seconds of sound, as Wave1 wrote them.
    QFile file(wave);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(RecordedWave(1, 16000, 2, 7 * 16000, 7 * 16000));
    file.close();

    control_.EnterInterruptedCalls();
    const std::vector<CallRecord> records = ReadAllCallRecords(folder_);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(CallFileName(records[0]), QFileInfo(wave).fileName());
    EXPECT_EQ(records[0].Get(CallField::Duration), QStringLiteral("0:00:07"));
    EXPECT_FALSE(QFileInfo::exists(sidecar));
    EXPECT_EQ(stored_, 1);
}

TEST(WaveRepair, TheSoundInAKilledRecordingsFileIsMeasuredAndItsHeaderMadeWhole) {
    struct RepairCase {
        const char* label;
        QByteArray file;
        WaveRepairResult result;
        qint64 dataBytes;
        qint64 fileSize;  // after the repair
    };
    const std::vector<RepairCase> cases = {
        {"KilledBeforeTheFirstSizes", RecordedWave(1, 16000, 2, 0, 48000),
         WaveRepairResult::kRepaired, 48000, 64 + 48000},
        {"KilledASecondAfterTheLastSizes", RecordedWave(1, 16000, 2, 32000, 48000),
         WaveRepairResult::kRepaired, 48000, 64 + 48000},
        {"Whole", RecordedWave(1, 16000, 2, 16000, 16000), WaveRepairResult::kWhole, 16000,
         64 + 16000},
        {"GsmWithAPartBlock", RecordedWave(49, 1625, 65, 0, 65 * 30 + 17),
         WaveRepairResult::kRepaired, 65 * 30, 64 + 65 * 30},
        {"MuLawOddGetsItsPad", RecordedWave(7, 8000, 1, 0, 8001), WaveRepairResult::kRepaired, 8001,
         64 + 8002},
        {"HeaderOnly", RecordedWave(1, 16000, 2, 0, 0), WaveRepairResult::kNoSound, 0, 64},
        {"CutInsideTheHeader", RecordedWave(1, 16000, 2, 0, 0).left(30), WaveRepairResult::kNoSound,
         0, 30},
        {"Empty", QByteArray(), WaveRepairResult::kNoSound, 0, 0},
        {"NotAWave", QByteArray(200, 'x'), WaveRepairResult::kNotAWave, 0, 200},
    };
    testing::TestEnvironment env;
    for (const RepairCase& c : cases) {
        SCOPED_TRACE(c.label);
        const QString path = env.writeFile(QLatin1String(c.label) + QStringLiteral(".wav"), c.file);
        const WaveRepair repair = RepairWaveHeader(path);
        EXPECT_EQ(repair.result, c.result);
        EXPECT_EQ(repair.dataBytes, c.dataBytes);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray after = file.readAll();
        EXPECT_EQ(after.size(), c.fileSize);
        if (c.result == WaveRepairResult::kRepaired || c.result == WaveRepairResult::kWhole) {
            EXPECT_EQ(qFromLittleEndian<quint32>(after.constData() + 60), c.dataBytes);
            EXPECT_EQ(qFromLittleEndian<quint32>(after.constData() + 4), after.size() - 8);
            EXPECT_EQ(after.mid(64, 16), c.file.mid(64, 16));
        }
    }
    // A link is never followed: its target stays as it was.
    const QByteArray killed = RecordedWave(1, 16000, 2, 0, 48000);
    const QString target = env.writeFile(QStringLiteral("target.wav"), killed);
    const QString link = env.root() + QStringLiteral("/link.wav");
    ASSERT_TRUE(QFile::link(target, link));
    EXPECT_EQ(RepairWaveHeader(link).result, WaveRepairResult::kNotAWave);
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), killed);
}

TEST_F(RecorderControlTest, InterruptedCallsAreEnteredOnceAndBadSidecarsLeadNowhere) {
    enum class Setup {
        Sound,
        HeaderOnly,
        NoWave,
        ShortSidecar,
        SidecarIsALink,
        NamesAnotherFile,
        WaveIsALink,
        AlreadyEntered
    };
    struct InterruptedCase {
        const char* label;
        Setup setup;
        int entered;
        bool sidecarLeft, waveLeft;
        int problems;
    };
    const std::vector<InterruptedCase> cases = {
        {"SoundIsEntered", Setup::Sound, 1, false, true, 1},
        {"NoSoundLeavesNothing", Setup::HeaderOnly, 0, false, false, 0},
        {"NoWaveLeavesNothing", Setup::NoWave, 0, false, false, 0},
        {"ShortSidecarIsReported", Setup::ShortSidecar, 0, true, true, 1},
        {"SidecarLinkIsNotFollowed", Setup::SidecarIsALink, 0, true, true, 1},
        {"SidecarNamingAnotherFile", Setup::NamesAnotherFile, 0, true, true, 1},
        {"WaveLinkIsNotFollowed", Setup::WaveIsALink, 0, true, true, 1},
        {"EnteredBeforeTheCrash", Setup::AlreadyEntered, 0, false, true, 0},
    };
    const QString outside = env_.root() + QStringLiteral("/outside/");
    ASSERT_TRUE(QDir().mkpath(outside));
    const QByteArray killed = RecordedWave(1, 16000, 2, 16000, 48000);
    for (const InterruptedCase& c : cases) {
        SCOPED_TRACE(c.label);
        const QString folder = folder_ + QLatin1String(c.label) + u'/';
        ASSERT_TRUE(QDir().mkpath(folder));
        options_.recordingsFolder = folder;
        control_.SetOptions(options_);
        CallRecord record;
        record.Set(CallField::CallerName, QStringLiteral("Ann ") + QLatin1String(c.label));
        record.Set(CallField::CallerNumber, QStringLiteral("555"));
        record.Set(CallField::CallDate, ShortDateText(clock_.now().date()));
        record.Set(CallField::CallTime, LongTimeText(clock_.now().time()));
        record.Set(CallField::CallKind, QStringLiteral("3"));
        const QString wave = CallFileName(record);
        const QString sidecar = folder + SidecarName(wave);
        const QByteArray recordBytes(record.Bytes().data(), kCallRecordSize);
        const auto write = [](const QString& path, const QByteArray& bytes) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        };
        write(sidecar, recordBytes);
        write(folder + wave, killed);
        switch (c.setup) {
            case Setup::Sound:
                break;
            case Setup::HeaderOnly:
                write(folder + wave, killed.left(64));
                break;
            case Setup::NoWave:
                QFile::remove(folder + wave);
                break;
            case Setup::ShortSidecar:
                write(sidecar, recordBytes.left(100));
                break;
            case Setup::SidecarIsALink:
                QFile::remove(sidecar);
                write(outside + SidecarName(wave), recordBytes);
                ASSERT_TRUE(QFile::link(outside + SidecarName(wave), sidecar));
                break;
            case Setup::NamesAnotherFile: {
                CallRecord other = record;
                other.Set(CallField::CallerName, QStringLiteral("Mallory"));
                write(sidecar, QByteArray(other.Bytes().data(), kCallRecordSize));
                write(folder + CallFileName(other), killed);
                break;
            }
            case Setup::WaveIsALink:
                QFile::remove(folder + wave);
                write(outside + wave, killed);
                ASSERT_TRUE(QFile::link(outside + wave, folder + wave));
                break;
            case Setup::AlreadyEntered:
                ASSERT_TRUE(AppendCallRecord(record, folder));
                break;
        }
        const qint32 before = CallRecordCount(folder);
        parts_.problems.clear();
        control_.EnterInterruptedCalls();
        const QStringList problems = parts_.problems;
        control_.EnterInterruptedCalls();  // a second start enters nothing more
        EXPECT_EQ(CallRecordCount(folder) - before, c.entered);
        EXPECT_EQ(QFileInfo(sidecar).isSymLink() || QFileInfo::exists(sidecar), c.sidecarLeft);
        EXPECT_EQ(QFileInfo(folder + wave).isSymLink() || QFileInfo::exists(folder + wave),
                  c.waveLeft);
        EXPECT_EQ(problems.size(), c.problems) << problems.join(u'|').toStdString();
        if (c.entered == 1) {
            // Its real length, measured from the sound in the file.
            CallRecord entered;
            ASSERT_TRUE(ReadCallRecord(entered, folder, CallRecordCount(folder)));
            EXPECT_EQ(entered.Get(CallField::Duration), QStringLiteral("0:00:03"));
            EXPECT_EQ(CallFileName(entered), wave);
            EXPECT_EQ(SysJournal().filter(wave).size(), 1);
        }
    }
    // Nothing outside the folder was touched.
    QFile outsideWave(outside + CallFileName([&] {
                          CallRecord r;
                          r.Set(CallField::CallerName, QStringLiteral("Ann WaveLinkIsNotFollowed"));
                          r.Set(CallField::CallerNumber, QStringLiteral("555"));
                          r.Set(CallField::CallDate, ShortDateText(clock_.now().date()));
                          r.Set(CallField::CallTime, LongTimeText(clock_.now().time()));
                          return r;
                      }()));
    ASSERT_TRUE(outsideWave.open(QIODevice::ReadOnly));
    EXPECT_EQ(outsideWave.readAll(), killed);
}

// Wave1 raises Err, and StartRecordACM still returns 0, when the file
// cannot be created (a link planted under its name): that is reported; its
// other errors come back as results or would repeat for every buffer.
TEST_F(RecorderControlTest, AWaveFileThatCannotBeCreatedIsReportedOnce) {
    const struct {
        const char* function;
        int problems;
    } cases[] = {
        {"StartRecordACM:OpenFileIn", 1},
        {"StartRecord:OpenFileIn", 1},
        {"StartRecordACM:ACMOpen", 0},
        {"WindowProcIn:waveInAddBuffer", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.function);
        parts_.problems.clear();
        const qsizetype journal = SysJournal().size();
        control_.WaveError(QString::fromLatin1(c.function), 0,
                           QStringLiteral("Too many levels of symbolic links"));
        ASSERT_EQ(parts_.problems.size(), c.problems);
        EXPECT_EQ(SysJournal().size() - journal, c.problems);
        if (c.problems > 0) {
            EXPECT_TRUE(parts_.problems[0].contains(QStringLiteral("symbolic links")));
            EXPECT_EQ(SysJournal()
                          .filter(QStringLiteral("Wave1:") + QString::fromLatin1(c.function))
                          .size(),
                      1);
        }
    }
}

TEST_F(RecorderControlTest, ItsMessagesAreInTheSelectedLanguage) {
    ASSERT_EQ(LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/German")), 0);
    // A recording during which the disk may fill up.
    const auto record = [this](qint64 freeAfter) {
        control_.StartCallRecording();
        freeBytes_ = freeAfter;
        control_.StopRecord();
        control_.AddCallInfoDat();
    };
    const struct {
        const char* label;
        int id;
        std::function<void()> act;
    } cases[] = {
        {"NoFolder", ids::kMsgNoRecordingsFolder,
         [this] {
             options_.recordingsFolder.clear();
             control_.SetOptions(options_);
             control_.StartCallRecording();
         }},
        {"StartFails", ids::kMsgRecordingNotStarted,
         [this] {
             parts_.startResult = 2;
             control_.StartCallRecording();
         }},
        {"TrueSpeech", ids::kMsgTrueSpeechAsGsm,
         [this] {
             options_.recordFormat = 3;
             control_.SetOptions(options_);
             control_.StartCallRecording();
             control_.StopRecord();
         }},
        {"DiskFull", ids::kMsgDiskFullRecording, [record] { record(512); }},
        {"NoSound", ids::kMsgNoSoundStored,
         [this, record] {
             parts_.fileBytes = 64;
             record(qint64(1) << 40);
         }},
        {"FileNotCreated", ids::kMsgRecordingFailed,
         [this] {
             control_.WaveError(QStringLiteral("StartRecordACM:OpenFileIn"), 0,
                                QStringLiteral("x"));
         }},
        {"NoCall", ids::kMsgNoCall, [this] { Click(Button::Record); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        state_.incomingCall = state_.recordingIncoming = QByteArray(c.label) != "NoCall";
        parts_.problems.clear();
        parts_.TakeLog();
        c.act();
        QStringList shown = parts_.problems;
        for (const QString& line : parts_.TakeLog()) {
            if (line.startsWith(QStringLiteral("inform "))) {
                shown << line.mid(7);
            }
        }
        // The German text up to its first marker.
        const QString german = Text(c.id).section(QStringLiteral("<%S>"), 0, 0);
        ASSERT_FALSE(german.isEmpty());
        ASSERT_EQ(shown.size(), 1) << shown.join(u'|').toStdString();
        EXPECT_TRUE(shown[0].startsWith(german)) << shown[0].toStdString();
        EXPECT_FALSE(shown[0].contains(QStringLiteral("<%S>")));
        parts_.startResult = 0;
        parts_.fileBytes = 64 + 8000;
        freeBytes_ = qint64(1) << 40;
        options_.recordingsFolder = folder_;
        options_.recordFormat = 0;
        control_.SetOptions(options_);
        QFile::remove(parts_.lastPath);
    }
}

TEST(RecorderFigures, TimeTextAndLevelPoints) {
    EXPECT_EQ(RecordTimeText(0), QStringLiteral("0:00:00"));
    EXPECT_EQ(RecordTimeText(61), QStringLiteral("0:01:01"));
    EXPECT_EQ(RecordTimeText(3725), QStringLiteral("1:02:05"));
    EXPECT_EQ(RecordTimeText(36000 * 10), QStringLiteral("100:00:00"));
    EXPECT_EQ(RecordTimeText(-5), QStringLiteral("0:00:00"));

    std::vector<int16_t> loud(600, 0);
    loud[0] = 3000;
    loud[160] = -15000;
    loud[511] = 30000;
    const auto* bytes = reinterpret_cast<const uint8_t*>(loud.data());
    const auto levels = ScopeLevels(bytes, 1200, 46);
    EXPECT_EQ(levels[0], 46 / 3 - 2 + 12);
    EXPECT_EQ(levels[1], 46 / 3 + 12);
    EXPECT_EQ(levels[160], 46 / 3 + 10 + 12);
    // A short buffer leaves the rest of the table silent.
    EXPECT_EQ(ScopeLevels(bytes, 2, 46)[160], 46 / 3 + 12);
    EXPECT_EQ(ScopeLevels(bytes, 2, 46)[0], 46 / 3 - 2 + 12);
    for (qint32 size : {0, -7}) {
        EXPECT_EQ(ScopeLevels(bytes, size, 46)[0], 46 / 3 + 12);
    }
    EXPECT_EQ(ScopeLevels(nullptr, 1024, 46)[0], 46 / 3 + 12);
}

}  // namespace
}  // namespace orvane

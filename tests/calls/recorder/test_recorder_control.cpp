// The recording control: each recorder button over the call flags and
// Wave1's state, and what reaches the call store when a recording ends.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <functional>
#include <utility>
#include <vector>

#include "calls/call_state.h"
#include "calls/call_state_machine.h"
#include "calls/recorder/recorder_control.h"
#include "calls/store/call_store.h"
#include "core/clock.h"
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
    QString DurationText(const QString&) override { return QStringLiteral("0:00:07"); }

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
    void ReportProblem(const QString& text) override { problems << text; }
    void Inform(const QString& text) override { log << "inform " + text; }
    bool Ask(const QString& question) override {
        log << "ask " + question;
        return answer;
    }
    void DrawIdleLine() override { log << "idle line"; }

    QStringList TakeLog() { return std::exchange(log, {}); }
    QStringList log, problems;
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
    bool Ask(const QString&) override { return false; }
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
    const CallFieldLayout extra = LayoutOf(CallField::ExtraText);
    EXPECT_EQ(QByteArray(record.Bytes().data() + extra.offset, extra.width),
              QByteArray(extra.width, ' '));
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
        freeBytes_ = c.freeBytes;
        const int before = stored_;
        const qsizetype journal = SysJournal().size();
        control_.StartCallRecording();
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

// The playback controls' rules: what Play, Stop, the timer, DonePlay, the
// slider and the calls list ask of the audio control and show on the view.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QStringList>
#include <map>
#include <vector>

#include "calls/player/playback_control.h"
#include "tests/support/qt_printers.h"

namespace orvane {
namespace {

// Records every call as one line of text.
class FakeWave final : public PlayerWave {
  public:
    bool Playing() const override { return playing; }
    qint32 StopPlay() override {
        log << QStringLiteral("StopPlay");
        stopRequested = true;
        return 0;
    }
    qint32 GetDetailsWaveFile(const QString& path, sonvel::WaveFileDetails& details) override {
        const auto it = files.find(path);
        if (it == files.end()) {
            return sonvel::kWaveErrOpenFile;
        }
        details = it->second;
        return 0;
    }
    qint32 StartPlay(const QString& path, qint32 device, qint32 bufferSize) override {
        log << QStringLiteral("StartPlay %1 %2 %3").arg(path).arg(device).arg(bufferSize);
        if (files.count(path) == 0) {
            return sonvel::kWaveErrOpenFile;
        }
        playing = startResult == 0;
        return startResult;
    }
    QString WaveOutErrText(qint32 code) const override {
        return QStringLiteral("error %1").arg(code);
    }
    QString SecondsAsTimeString(qint32 value) override { return QStringLiteral("T%1").arg(value); }
    qint32 GetPositionSliderX() override { return percent; }
    qint32 GetPositionSecondsX() override { return seconds; }
    qint32 PauseOut() override {
        log << QStringLiteral("PauseOut");
        paused = true;
        return 0;
    }
    qint32 UnPauseOut() override {
        log << QStringLiteral("UnPauseOut");
        paused = false;
        return 0;
    }
    bool IsPausedOut() const override { return paused; }
    bool FileSeek(qint32 to) override {
        log << QStringLiteral("FileSeek %1").arg(to);
        return true;
    }

    std::map<QString, sonvel::WaveFileDetails> files;
    qint32 startResult = 0;
    bool playing = false;
    bool paused = false;
    bool stopRequested = false;
    qint32 percent = 0;
    qint32 seconds = 0;
    QStringList log;
};

class FakeView final : public PlayerView {
  public:
    void SetSliderValue(int value) override { slider = value; }
    int SliderValue() const override { return slider; }
    void SetTimeRunText(const QString& text) override { timeRun = text; }
    void SetLengthText(const QString& text) override { length = text; }
    void SetPausedLook(bool value) override { paused = value; }
    void SayNoRecording() override { ++noRecording; }

    int slider = 0;
    int noRecording = 0;
    bool paused = false;
    QString timeRun = QStringLiteral("0:00:00");
    QString length = QStringLiteral("0:00:00");
};

class FakeCalls final : public PlaybackCalls {
  public:
    int CurrentRow() const override { return row; }
    void RefreshCurrentRow() override { ++refreshed; }
    QString CurrentFolder() const override { return folder; }
    QString CurrentFileName() const override { return file; }
    void MarkSelectedRead() override { ++markedRead; }

    int row = -1;
    QString folder = QStringLiteral("/calls/");
    QString file;
    int refreshed = 0;
    int markedRead = 0;
};

struct JournalEntry {
    QString text;
    qint32 code;
    QString source;
};

sonvel::WaveFileDetails Details(qint16 formatTag, qint32 seconds) {
    sonvel::WaveFileDetails details;
    details.wFormatTag = formatTag;
    details.SecondsLength = seconds;
    return details;
}

constexpr qint32 kDevice = 3;
const QString kCall = QStringLiteral("/calls/a.wav");
const QString kOtherCall = QStringLiteral("/calls/b.wav");

class PlaybackControlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wave_.files[kCall] = Details(1, 83);
        wave_.files[kOtherCall] = Details(49, 7);
        control_.SetView(&view_);
        control_.SetCalls(&calls_);
        control_.SetJournal([this](const QString& text, qint32 code, const QString& source) {
            journal_.push_back({text, code, source});
        });
    }

    // The stopped call's device has closed.
    void EndStoppedCall() {
        wave_.playing = false;
        control_.DonePlay();
    }

    void SelectCall(const QString& file) {
        calls_.row = 0;
        calls_.file = file.mid(calls_.folder.size());
    }

    FakeWave wave_;
    FakeView view_;
    FakeCalls calls_;
    PlaybackControl control_{wave_, [] { return kDevice; }};
    std::vector<JournalEntry> journal_;
};

TEST_F(PlaybackControlTest, TheBufferSizeFollowsTheFilesFormatTag) {
    const struct {
        qint16 tag;
        qint32 bufferSize;
    } cases[] = {{1, 800}, {7, 800}, {49, 130}, {34, 160}, {17, 0}, {6, 0}, {0, 0}, {-1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        EXPECT_EQ(PlaybackBufferSize(c.tag), c.bufferSize);
        wave_.files[kCall] = Details(c.tag, 1);
        wave_.log.clear();
        wave_.playing = false;
        control_.PlayCallFile(kCall);
        EXPECT_EQ(
            wave_.log,
            QStringList{
                QStringLiteral("StartPlay %1 %2 %3").arg(kCall).arg(kDevice).arg(c.bufferSize)});
    }
}

TEST_F(PlaybackControlTest, PlayAndStopWithoutACurrentRowDoNothing) {
    wave_.playing = true;
    control_.PlayClicked();
    control_.StopClicked();
    EXPECT_TRUE(wave_.log.isEmpty());
    EXPECT_EQ(calls_.markedRead, 0);
    EXPECT_FALSE(control_.TimerActive());
}

// A blocked or unrecorded call's row has no file: Play says so and plays
// nothing (not the folder's name).
TEST_F(PlaybackControlTest, PlayOnACallWithoutARecordingSaysSoAndPlaysNothing) {
    calls_.row = 0;
    calls_.file.clear();
    control_.PlayClicked();
    EXPECT_TRUE(wave_.log.isEmpty());
    EXPECT_EQ(view_.noRecording, 1);
    EXPECT_EQ(calls_.markedRead, 0);
}

TEST_F(PlaybackControlTest, PlayStartsTheCurrentCallAndMarksTheSelectionRead) {
    SelectCall(kCall);
    control_.PlayClicked();
    EXPECT_EQ(wave_.log, QStringList{QStringLiteral("StartPlay /calls/a.wav 3 800")});
    EXPECT_EQ(calls_.refreshed, 1);
    EXPECT_EQ(calls_.markedRead, 1);
    EXPECT_EQ(view_.length, QStringLiteral("T83"));
    EXPECT_TRUE(control_.TimerActive());

    wave_.percent = 40;
    wave_.seconds = 33;
    control_.Tick();
    EXPECT_EQ(view_.slider, 40);
    EXPECT_EQ(view_.timeRun, QStringLiteral("T33"));

    // DonePlay resets the position but the length stays.
    control_.DonePlay();
    EXPECT_EQ(view_.slider, 0);
    EXPECT_EQ(view_.timeRun, QStringLiteral("T0"));
    EXPECT_EQ(view_.length, QStringLiteral("T83"));
    EXPECT_FALSE(control_.TimerActive());

    control_.PlayClicked();
    wave_.log.clear();
    control_.StopClicked();
    EXPECT_EQ(wave_.log, QStringList{QStringLiteral("StopPlay")});
    EXPECT_FALSE(control_.TimerActive());
    EXPECT_EQ(view_.slider, 0);
}

TEST_F(PlaybackControlTest, PlayWhilePlayingStartsTheNewCallOnceTheStoppedOneEnds) {
    SelectCall(kCall);
    control_.PlayClicked();
    SelectCall(kOtherCall);
    wave_.log.clear();
    control_.PlayClicked();
    // Play returns at once; the stopped call's end starts the new one.
    EXPECT_EQ(wave_.log, QStringList{QStringLiteral("StopPlay")});
    EXPECT_TRUE(control_.StartWaiting());
    wave_.playing = false;
    control_.DonePlay();
    EXPECT_EQ(wave_.log, (QStringList{QStringLiteral("StopPlay"),
                                      QStringLiteral("StartPlay /calls/b.wav 3 130")}));
    // The DonePlay of the stopped call came before the timer started again.
    EXPECT_TRUE(control_.TimerActive());
    EXPECT_FALSE(control_.StartWaiting());
    EXPECT_EQ(view_.length, QStringLiteral("T7"));
    EXPECT_TRUE(journal_.empty());
}

TEST_F(PlaybackControlTest, AWaitingStartEndsAfterTheLimitOrByStopAndAClick) {
    enum class End { Limit, Stop, CallClick };
    for (const End end : {End::Limit, End::Stop, End::CallClick}) {
        SCOPED_TRACE(static_cast<int>(end));
        journal_.clear();
        wave_.playing = false;
        SelectCall(kCall);
        control_.SetStopWaitLimit(end == End::Limit ? 0 : 60'000);
        control_.PlayClicked();
        wave_.log.clear();
        control_.PlayClicked();  // the fake never stops playing
        ASSERT_TRUE(control_.StartWaiting());
        if (end == End::Stop) {
            control_.StopClicked();
        } else if (end == End::CallClick) {
            control_.CallClicked();
        }
        const QDeadlineTimer deadline(5000);
        while (control_.StartWaiting() && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        EXPECT_FALSE(control_.StartWaiting());
        if (end == End::Limit) {
            ASSERT_EQ(journal_.size(), 1U);
            EXPECT_EQ(journal_[0].source, QStringLiteral("StopPlay"));
            EXPECT_EQ(wave_.log.last(), QStringLiteral("StartPlay /calls/a.wav 3 800"));
        } else {
            // The user chose otherwise meanwhile: the waiting call never starts.
            EXPECT_TRUE(journal_.empty());
            EXPECT_FALSE(wave_.log.join(' ').contains(QStringLiteral("StartPlay")));
        }
    }
}

TEST_F(PlaybackControlTest, AFailedStartIsJournaledAndTheTimerKeepsRunning) {
    wave_.startResult = 32;  // a platform code
    EXPECT_EQ(control_.PlayCallFile(kCall), 32);
    // A missing file fails the same way; the length shows what the details
    // left (nothing).
    view_.length = QStringLiteral("before");
    EXPECT_EQ(control_.PlayCallFile(QStringLiteral("/calls/gone.wav")), sonvel::kWaveErrOpenFile);
    EXPECT_EQ(view_.length, QStringLiteral("T0"));
    ASSERT_EQ(journal_.size(), 2U);
    EXPECT_EQ(journal_[0].text, QStringLiteral("error 32"));
    EXPECT_EQ(journal_[0].code, 32);
    EXPECT_EQ(journal_[0].source, QStringLiteral("StartPlay"));
    EXPECT_EQ(journal_[1].code, sonvel::kWaveErrOpenFile);
    EXPECT_EQ(journal_[1].source, QStringLiteral("StartPlay"));
    EXPECT_TRUE(control_.TimerActive());
}

TEST_F(PlaybackControlTest, TheSliderEventsPauseSeekAndResumeOnlyWhilePlaying) {
    enum class Event { ThumbPressed, ValueChanged, ThumbReleased, TrackPressed, KeyStepped };
    const struct {
        const char* name;
        Event event;
        bool playing;
        bool paused;
        QStringList calls;
        int sliderAfter;
    } cases[] = {
        {"thumb press pauses", Event::ThumbPressed, true, false, {"PauseOut"}, 60},
        {"drag while paused seeks", Event::ValueChanged, true, true, {"FileSeek 60"}, 60},
        {"value set by the timer", Event::ValueChanged, true, false, {}, 60},
        {"value change when idle", Event::ValueChanged, false, false, {}, 60},
        {"release seeks and resumes",
         Event::ThumbReleased,
         true,
         true,
         {"FileSeek 60", "UnPauseOut"},
         60},
        {"release when idle falls back", Event::ThumbReleased, false, false, {}, 0},
        {"track press while playing seeks there",
         Event::TrackPressed,
         true,
         false,
         {"FileSeek 60"},
         60},
        {"track press when idle", Event::TrackPressed, false, false, {}, 0},
        {"key while playing seeks", Event::KeyStepped, true, false, {"FileSeek 60"}, 60},
        {"key when idle falls back", Event::KeyStepped, false, false, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        wave_.log.clear();
        wave_.playing = c.playing;
        wave_.paused = c.paused;
        view_.slider = 60;
        switch (c.event) {
            case Event::ThumbPressed:
                control_.ThumbPressed();
                break;
            case Event::ValueChanged:
                control_.SliderValueChanged();
                break;
            case Event::ThumbReleased:
                control_.ThumbReleased();
                break;
            case Event::TrackPressed:
                control_.TrackPressed();
                break;
            case Event::KeyStepped:
                control_.SliderStepped();
                break;
        }
        EXPECT_EQ(wave_.log, c.calls);
        EXPECT_EQ(view_.slider, c.sliderAfter);
    }
}

// Pause and Space, one step after another on the same playback.
TEST_F(PlaybackControlTest, PauseHoldsThePlaybackAndSpacePlaysOrPausesIt) {
    enum class Step { Pause, Space, ThumbPressed, ThumbReleased, Play, PlayOther, Stop };
    const struct {
        const char* name;
        Step step;
        QStringList calls;
        bool paused;
        bool timer;
    } steps[] = {
        {"pause when idle does nothing", Step::Pause, {}, false, false},
        {"space when idle plays", Step::Space, {"StartPlay /calls/a.wav 3 800"}, false, true},
        {"pause holds it", Step::Pause, {"PauseOut"}, true, false},
        {"space goes on", Step::Space, {"UnPauseOut"}, false, true},
        {"space holds it", Step::Space, {"PauseOut"}, true, false},
        {"a dragged thumb", Step::ThumbPressed, {"PauseOut"}, true, false},
        {"leaves it held", Step::ThumbReleased, {"FileSeek 60"}, true, false},
        {"pause goes on", Step::Pause, {"UnPauseOut"}, false, true},
        {"pause again", Step::Pause, {"PauseOut"}, true, false},
        {"play goes on", Step::Play, {"UnPauseOut"}, false, true},
        {"paused", Step::Pause, {"PauseOut"}, true, false},
        {"another call current: play starts it",
         Step::PlayOther,
         {"StopPlay", "StartPlay /calls/b.wav 3 130"},
         false,
         true},
        {"pause once more", Step::Pause, {"PauseOut"}, true, false},
        {"stop", Step::Stop, {"StopPlay"}, false, false},
    };
    SelectCall(kCall);
    view_.slider = 60;
    for (const auto& s : steps) {
        SCOPED_TRACE(s.name);
        wave_.log.clear();
        switch (s.step) {
            case Step::Pause:
                control_.PauseClicked();
                break;
            case Step::Space:
                control_.PlayPause();
                break;
            case Step::ThumbPressed:
                control_.ThumbPressed();
                break;
            case Step::ThumbReleased:
                control_.ThumbReleased();
                break;
            case Step::Play:
                control_.PlayClicked();
                break;
            case Step::PlayOther:
                SelectCall(kOtherCall);
                control_.PlayClicked();
                EndStoppedCall();
                break;
            case Step::Stop:
                control_.StopClicked();
                wave_.playing = false;
                break;
        }
        EXPECT_EQ(wave_.log, s.calls);
        EXPECT_EQ(control_.Paused(), s.paused);
        EXPECT_EQ(view_.paused, s.paused);
        EXPECT_EQ(control_.TimerActive(), s.timer);
    }
}

TEST_F(PlaybackControlTest, TheCallsListStopsPlaybackAndMovesItOn) {
    // A click stops the playback and shows the clicked call's length.
    SelectCall(kCall);
    control_.PlayClicked();
    SelectCall(kOtherCall);
    wave_.log.clear();
    control_.CallClicked();
    EXPECT_EQ(wave_.log, QStringList{QStringLiteral("StopPlay")});
    EXPECT_EQ(view_.length, QStringLiteral("T7"));
    // A row without a file shows no length.
    calls_.file.clear();
    control_.CallClicked();
    EXPECT_EQ(view_.length, QStringLiteral("T0"));

    // Previous / next play the newly current call only when one plays.
    wave_.playing = false;
    SelectCall(kOtherCall);
    wave_.log.clear();
    control_.CurrentCallMoved();
    EXPECT_TRUE(wave_.log.isEmpty());
    wave_.playing = true;
    control_.CurrentCallMoved();
    EndStoppedCall();
    EXPECT_EQ(wave_.log, (QStringList{QStringLiteral("StopPlay"),
                                      QStringLiteral("StartPlay /calls/b.wav 3 130")}));
}

}  // namespace
}  // namespace orvane

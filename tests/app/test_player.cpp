// The playback bar over the real audio engine: a short WAV plays through the
// engine's silent output, the slider follows it, and DonePlay puts it back.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QLabel>
#include <cstdlib>
#include <vector>

#include "app/player/playback_bar.h"
#include "app/qt_message_window.h"
#include "audio/wave.h"
#include "calls/player/playback_control.h"
#include "calls/player/sonvel_player_wave.h"
#include "tests/support/qt_printers.h"

namespace orvane {
namespace {

// Only the engine's virtual devices: the default output is silent and
// plays in real time.
const bool kNoAlsa = setenv("SONVEL_NO_ALSA", "1", 1) == 0;

const QString kOneSecondPcm = QStringLiteral(SONVEL_TEST_DATA_DIR "/wav/ok_pcm_canonical.wav");

void PressKey(QWidget* widget, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

template <typename Predicate>
bool PumpUntil(Predicate done) {
    QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

class PlayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(kNoAlsa);
        ASSERT_FALSE(wave_.InitC());
        control_.SetJournal([this](const QString&, qint32 code, const QString& source) {
            journal_.push_back(source + QLatin1Char(' ') + QString::number(code));
        });
    }
    void TearDown() override { wave_.UnInitC(); }

    QString Label(const char* name) const {
        return bar_.findChild<QLabel*>(QString::fromLatin1(name))->text();
    }

    QtMessageWindow window_;
    sonvel::Wave wave_{&window_};
    SonvelPlayerWave player_{[this] { return &wave_; }, [this] { control_.DonePlay(); }};
    PlaybackControl control_{player_, [] { return sonvel::WAVE_MAPPER; }};
    PlaybackBar bar_{control_, nullptr};
    std::vector<QString> journal_;
};

TEST_F(PlayerTest, APlayedCallMovesTheSliderAndDonePlayPutsItBack) {
    ASSERT_EQ(control_.PlayCallFile(kOneSecondPcm), 0);
    EXPECT_EQ(Label("lblLength"), QStringLiteral("0:00:01"));
    EXPECT_TRUE(control_.TimerActive());
    ASSERT_TRUE(PumpUntil([this] { return bar_.SliderValue() > 0; }));
    ASSERT_TRUE(PumpUntil([this] { return !player_.Playing(); }));
    EXPECT_EQ(bar_.SliderValue(), 0);
    EXPECT_FALSE(control_.TimerActive());
    EXPECT_EQ(Label("lblTimeRun"), QStringLiteral("0:00:00"));
    EXPECT_EQ(Label("lblLength"), QStringLiteral("0:00:01"));
    EXPECT_TRUE(journal_.empty());
}

TEST_F(PlayerTest, PlayingAgainStopsTheRunningCallAndAMissingFileIsAFailedStart) {
    ASSERT_EQ(control_.PlayCallFile(kOneSecondPcm), 0);
    // The running call is stopped, and the next starts once its end is
    // reported; no other handler runs inside Play meanwhile.
    int otherRan = 0;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&otherRan] { ++otherRan; }, Qt::QueuedConnection);
    ASSERT_EQ(control_.PlayCallFile(kOneSecondPcm), 0);
    EXPECT_EQ(otherRan, 0);
    ASSERT_TRUE(PumpUntil([this] { return !control_.StartWaiting(); }));
    EXPECT_TRUE(player_.Playing());
    EXPECT_TRUE(control_.TimerActive());
    player_.StopPlay();
    ASSERT_TRUE(PumpUntil([this] { return !player_.Playing(); }));
    const qint32 missing = control_.PlayCallFile(QStringLiteral("/nonexistent/call.wav"));
    EXPECT_NE(missing, 0);
    EXPECT_EQ(journal_, std::vector<QString>{QStringLiteral("StartPlay %1").arg(missing)});
    EXPECT_FALSE(player_.Playing());
    EXPECT_EQ(Label("lblLength"), QStringLiteral("0:00:00"));
}

TEST_F(PlayerTest, ArrowKeysOnTheSliderSeekWhilePlaying) {
    ASSERT_EQ(control_.PlayCallFile(kOneSecondPcm), 0);
    PositionSlider* slider = bar_.Slider();
    slider->setPageStep(50);
    PressKey(slider, Qt::Key_PageUp);
    EXPECT_GE(player_.GetPositionSliderX(), 50);
    player_.StopPlay();
    // Idle, a key leaves the slider at 0.
    ASSERT_TRUE(PumpUntil([this] { return !player_.Playing(); }));
    PressKey(slider, Qt::Key_Right);
    EXPECT_EQ(slider->value(), 0);
}

}  // namespace
}  // namespace orvane

#pragma once
// The playback controls on the main window: the buttons tlbrPlayButtons
// (Play, Pause, Stop), the position slider cSlider1 and the labels
// lblTimeRun and lblLength. A view over the Program's PlaybackControl.

#include <QSlider>
#include <QWidget>
#include <memory>

#include "calls/player/playback_control.h"

class QAction;
class QLabel;
class QToolBar;

namespace orvane {

class CallsListPanel;
class CallsListPlaybackCalls;

// A horizontal 0..100 slider that tells a press on its thumb from one on
// its track, and a move by key from one by program.
class PositionSlider final : public QSlider {
    Q_OBJECT
  public:
    explicit PositionSlider(QWidget* parent = nullptr);

    // The value under a point of the slider: the thumb's centre there.
    int ValueAt(const QPoint& point) const;

  Q_SIGNALS:
    // A left press beside the thumb moved it to the pressed point.
    void TrackPressed();
    void KeyStepped();
    void SpacePressed();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

class PlaybackBar final : public QWidget, public PlayerView {
    Q_OBJECT
  public:
    // Registers itself as the control's view and `calls` (may be null) as
    // its calls list; `control` and `calls` must outlive it.
    PlaybackBar(PlaybackControl& control, CallsListPanel* calls, QWidget* parent = nullptr);
    ~PlaybackBar() override;

    void SetSliderValue(int percent) override;
    int SliderValue() const override;
    void SetTimeRunText(const QString& text) override;
    void SetLengthText(const QString& text) override;
    void SetPausedLook(bool paused) override;
    void SayNoRecording() override;

    QAction* PlayButton() const { return play_; }
    QAction* PauseButton() const { return pause_; }
    QAction* StopButton() const { return stop_; }
    // The button of an action, in the tab order.
    QWidget* ButtonOf(QAction* action) const;
    PositionSlider* Slider() const { return slider_; }

  private:
    PlaybackControl& control_;
    std::unique_ptr<CallsListPlaybackCalls> calls_;
    CallsListPanel* panel_ = nullptr;
    QToolBar* buttons_ = nullptr;
    QAction* play_ = nullptr;
    QAction* pause_ = nullptr;
    QAction* stop_ = nullptr;
    PositionSlider* slider_ = nullptr;
    QLabel* timeRun_ = nullptr;
    QLabel* length_ = nullptr;
};

// The calls list as playback sees it.
class CallsListPlaybackCalls final : public PlaybackCalls {
  public:
    // The panel must outlive this.
    explicit CallsListPlaybackCalls(CallsListPanel& panel) : panel_(panel) {}

    int CurrentRow() const override;
    void RefreshCurrentRow() override;
    QString CurrentFolder() const override;
    QString CurrentFileName() const override;
    void MarkSelectedRead() override;

  private:
    CallsListPanel& panel_;
};

}  // namespace orvane

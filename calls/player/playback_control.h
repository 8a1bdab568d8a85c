#pragma once
// The playback controls' logic: Play and Stop, the position slider and its
// timer, the running-time and length labels. The widgets, the calls list
// and the playing audio control are reached through the small interfaces
// below, so the rules run without a window or a sound device.

#include <QObject>
#include <QString>
#include <QTimer>
#include <QtGlobal>
#include <functional>

#include "audio/wave.h"

namespace orvane {

// What playback asks of the audio control `WavePlayer`.
class PlayerWave {
  public:
    virtual ~PlayerWave() = default;
    virtual bool Playing() const = 0;
    virtual qint32 StopPlay() = 0;
    virtual qint32 GetDetailsWaveFile(const QString& path, sonvel::WaveFileDetails& details) = 0;
    virtual qint32 StartPlay(const QString& path, qint32 device, qint32 bufferSize) = 0;
    virtual QString WaveOutErrText(qint32 code) const = 0;
    virtual QString SecondsAsTimeString(qint32 seconds) = 0;
    virtual qint32 GetPositionSliderX() = 0;
    virtual qint32 GetPositionSecondsX() = 0;
    virtual qint32 PauseOut() = 0;
    virtual qint32 UnPauseOut() = 0;
    virtual bool IsPausedOut() const = 0;
    virtual bool FileSeek(qint32 percent) = 0;
};

// The widgets playback drives.
class PlayerView {
  public:
    virtual ~PlayerView() = default;
    virtual void SetSliderValue(int percent) = 0;
    virtual int SliderValue() const = 0;
    virtual void SetTimeRunText(const QString& text) = 0;
    virtual void SetLengthText(const QString& text) = 0;
    // The Pause button shows whether the playback waits.
    virtual void SetPausedLook(bool /*paused*/) {}
    // Play on a call that has no recording (blocked, or not recorded).
    virtual void SayNoRecording() {}
};

// The calls list as playback sees it: the current row's call and the
// selected rows.
class PlaybackCalls {
  public:
    virtual ~PlaybackCalls() = default;
    // Zero-based; -1 when the list has no current row.
    virtual int CurrentRow() const = 0;
    // Sets the current row to itself, so the list shows its selection anew.
    virtual void RefreshCurrentRow() = 0;
    // The current row's folder (MSGPATH, ends in "/") and file (MSGFILE).
    virtual QString CurrentFolder() const = 0;
    virtual QString CurrentFileName() const = 0;
    // Marks every selected row read, as the list's own command does.
    virtual void MarkSelectedRead() = 0;
};

// The playback buffer size for a file's format tag; 0 lets the control
// choose about a tenth of a second.
qint32 PlaybackBufferSize(qint16 formatTag);

inline constexpr int kSliderIntervalMs = 100;
// How long Play waits for a stopped playback to report its end.
inline constexpr int kStopWaitLimitMs = 2000;

class PlaybackControl final : public QObject {
    Q_OBJECT
  public:
    using Journal = std::function<void(const QString& text, qint32 code, const QString& source)>;

    // `wave` must outlive the control. The device is read at each start,
    // so a changed setting applies to the next call played.
    PlaybackControl(PlayerWave& wave, std::function<qint32()> playbackDevice,
                    QObject* parent = nullptr);

    void SetView(PlayerView* view) { view_ = view; }
    void SetCalls(PlaybackCalls* calls) { calls_ = calls; }
    // The journal (WriteSysLog) and the stop wait's limit; tests replace
    // them.
    void SetJournal(Journal journal) { journal_ = std::move(journal); }
    void SetStopWaitLimit(int ms) { stopWait_.setInterval(ms); }

    // The toolbar's buttons. Play goes on with a paused call when it is
    // still the current one.
    void PlayClicked();
    void StopClicked();
    // Pause holds a running playback where it is, and goes on from there
    // when clicked again; without a playback it does nothing.
    void PauseClicked();
    // Space: plays the current call when nothing plays, else as Pause.
    void PlayPause();
    bool Paused() const { return paused_; }
    // A call plays (paused or not).
    bool Playing() const { return wave_.Playing(); }
    // Plays one file from its start; returns the control's result code.
    // A running call is stopped first, and the file starts once its end is
    // reported (DonePlay) or kStopWaitLimitMs have passed: then 0 comes
    // back at once and a failed start is only journaled.
    qint32 PlayCallFile(const QString& path);
    // A start that waits for the stopped call's end.
    bool StartWaiting() const { return stopWait_.isActive(); }
    // The file playing (or paused), else the one waiting to start; empty
    // when none.
    QString PlayingPath() const {
        return StartWaiting() ? waitingPath_ : wave_.Playing() ? playingPath_ : QString();
    }

    // The calls list: a mouse click stops playback and shows the length of
    // the clicked call; previous / next call keep a running playback on the
    // newly current call.
    void CallClicked();
    void CurrentCallMoved();

    // The audio control's DonePlay.
    void DonePlay();
    // One tick of tmSlider.
    void Tick();
    bool TimerActive() const { return timer_.isActive(); }

    // The slider's events.
    void ThumbPressed();
    void SliderValueChanged();
    void ThumbReleased();
    // A press on the track moved the slider there: a playback goes on from
    // that point; idle, the slider goes back to 0.
    void TrackPressed();
    // A key moved the slider: seeks while playing, else back to 0.
    void SliderStepped();

  private:
    qint32 StartPlayback(const QString& path);
    void StopWaitExpired();
    void CancelWaitingStart();
    void SetSlider(int percent);
    QString TimeText(qint32 seconds);
    void SetPaused(bool paused);

    PlayerWave& wave_;
    std::function<qint32()> device_;
    PlayerView* view_ = nullptr;
    PlaybackCalls* calls_ = nullptr;
    Journal journal_;
    QTimer timer_;
    // Runs while a start waits for the stopped call's end.
    QTimer stopWait_;
    QString waitingPath_;
    // Paused by the user (Pause or Space), not by a held thumb.
    bool paused_ = false;
    QString playingPath_;
};

}  // namespace orvane

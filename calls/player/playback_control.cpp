#include "calls/player/playback_control.h"

#include <utility>

#include "journal/journal_writer.h"

namespace orvane {
namespace {

constexpr qint16 kFormatPcm = 1;
constexpr qint16 kFormatMulaw = 7;
constexpr qint16 kFormatGsm610 = 49;
constexpr qint16 kFormatTrueSpeech = 34;

}  // namespace

qint32 PlaybackBufferSize(qint16 formatTag) {
    switch (formatTag) {
        case kFormatPcm:
        case kFormatMulaw:
            return 800;
        case kFormatGsm610:
            return 130;
        case kFormatTrueSpeech:
            return 160;
        default:
            return 0;
    }
}

PlaybackControl::PlaybackControl(PlayerWave& wave, std::function<qint32()> playbackDevice,
                                 QObject* parent)
    : QObject(parent),
      wave_(wave),
      device_(std::move(playbackDevice)),
      journal_([](const QString& text, qint32 code, const QString& source) {
          WriteSysLog(text, code, source);
      }) {
    timer_.setInterval(kSliderIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &PlaybackControl::Tick);
    stopWait_.setSingleShot(true);
    stopWait_.setInterval(kStopWaitLimitMs);
    connect(&stopWait_, &QTimer::timeout, this, &PlaybackControl::StopWaitExpired);
}

QString PlaybackControl::TimeText(qint32 seconds) {
    return wave_.SecondsAsTimeString(seconds);
}

void PlaybackControl::SetSlider(int percent) {
    if (view_ != nullptr) {
        view_->SetSliderValue(percent);
    }
}

void PlaybackControl::PlayClicked() {
    if (calls_ == nullptr || calls_->CurrentRow() < 0) {
        return;
    }
    calls_->RefreshCurrentRow();
    if (calls_->CurrentFileName().isEmpty()) {
        // Nothing to play: the folder's name alone is no recording.
        if (view_ != nullptr) {
            view_->SayNoRecording();
        }
        return;
    }
    const QString path = calls_->CurrentFolder() + calls_->CurrentFileName();
    if (paused_ && wave_.Playing() && path == playingPath_) {
        // The paused call goes on where it stopped, as in any player.
        PauseClicked();
        return;
    }
    PlayCallFile(path);
    calls_->MarkSelectedRead();
}

void PlaybackControl::StopClicked() {
    if (calls_ == nullptr || calls_->CurrentRow() < 0) {
        return;
    }
    CancelWaitingStart();
    wave_.StopPlay();
    timer_.stop();
    SetPaused(false);
    SetSlider(0);
}

void PlaybackControl::SetPaused(bool paused) {
    paused_ = paused;
    if (view_ != nullptr) {
        view_->SetPausedLook(paused);
    }
}

void PlaybackControl::PauseClicked() {
    if (StartWaiting()) {
        return;  // the playing call is on its way out
    }
    if (!wave_.Playing()) {
        SetPaused(false);
        return;
    }
    if (paused_) {
        wave_.UnPauseOut();
        SetPaused(false);
        timer_.start();
        return;
    }
    wave_.PauseOut();
    SetPaused(true);
    // The slider stays where the sound stopped; the timer would only seek
    // the paused sound to its own rounded position.
    timer_.stop();
}

void PlaybackControl::PlayPause() {
    if (wave_.Playing()) {
        PauseClicked();
    } else {
        PlayClicked();
    }
}

void PlaybackControl::CancelWaitingStart() {
    stopWait_.stop();
    waitingPath_.clear();
}

void PlaybackControl::StopWaitExpired() {
    // A device that never reports its close must not keep the next call
    // from playing.
    journal_(
        QStringLiteral("The stopped playback did not end within %1 ms").arg(stopWait_.interval()),
        0, QStringLiteral("StopPlay"));
    StartPlayback(std::exchange(waitingPath_, QString()));
}

qint32 PlaybackControl::PlayCallFile(const QString& path) {
    if (StartWaiting()) {
        // Still waiting for the stopped call: the newer choice starts.
        waitingPath_ = path;
        return 0;
    }
    if (wave_.Playing()) {
        wave_.StopPlay();
    }
    if (wave_.Playing()) {
        // The control reports the end once its device has closed, from the
        // event loop; the start follows in DonePlay, so whatever the stopped
        // call still reports comes before the timer runs again.
        waitingPath_ = path;
        stopWait_.start();
        return 0;
    }
    return StartPlayback(path);
}

qint32 PlaybackControl::StartPlayback(const QString& path) {
    SetPaused(false);
    playingPath_ = path;
    timer_.start();
    sonvel::WaveFileDetails details;
    wave_.GetDetailsWaveFile(path, details);
    if (view_ != nullptr) {
        view_->SetLengthText(TimeText(details.SecondsLength));
    }
    const qint32 result =
        wave_.StartPlay(path, device_ ? device_() : 0, PlaybackBufferSize(details.wFormatTag));
    if (result != 0) {
        journal_(wave_.WaveOutErrText(result), result, QStringLiteral("StartPlay"));
    }
    return result;
}

void PlaybackControl::CallClicked() {
    CancelWaitingStart();
    if (wave_.Playing()) {
        wave_.StopPlay();
    }
    SetPaused(false);
    if (view_ == nullptr) {
        return;
    }
    const QString file =
        calls_ != nullptr && calls_->CurrentRow() >= 0 ? calls_->CurrentFileName() : QString();
    if (file.isEmpty()) {
        view_->SetLengthText(TimeText(0));
        return;
    }
    sonvel::WaveFileDetails details;
    wave_.GetDetailsWaveFile(calls_->CurrentFolder() + file, details);
    view_->SetLengthText(TimeText(details.SecondsLength));
}

void PlaybackControl::CurrentCallMoved() {
    if (wave_.Playing()) {
        PlayClicked();
    }
}

void PlaybackControl::DonePlay() {
    if (view_ != nullptr) {
        view_->SetTimeRunText(TimeText(0));
    }
    timer_.stop();
    SetPaused(false);
    SetSlider(0);
    if (StartWaiting()) {
        stopWait_.stop();
        StartPlayback(std::exchange(waitingPath_, QString()));
    }
}

void PlaybackControl::Tick() {
    SetSlider(wave_.GetPositionSliderX());
    if (view_ != nullptr) {
        view_->SetTimeRunText(TimeText(wave_.GetPositionSecondsX()));
    }
}

void PlaybackControl::ThumbPressed() {
    wave_.PauseOut();
}

void PlaybackControl::SliderValueChanged() {
    if (view_ != nullptr && wave_.Playing() && wave_.IsPausedOut()) {
        wave_.FileSeek(view_->SliderValue());
    }
}

void PlaybackControl::ThumbReleased() {
    if (wave_.Playing()) {
        if (view_ != nullptr) {
            wave_.FileSeek(view_->SliderValue());
        }
        // A playback the user paused stays paused at its new place.
        if (!paused_) {
            wave_.UnPauseOut();
        }
    } else {
        SetSlider(0);
    }
}

void PlaybackControl::TrackPressed() {
    if (!wave_.Playing()) {
        SetSlider(0);
    } else if (view_ != nullptr) {
        wave_.FileSeek(view_->SliderValue());
    }
}

void PlaybackControl::SliderStepped() {
    if (wave_.Playing()) {
        if (view_ != nullptr) {
            wave_.FileSeek(view_->SliderValue());
        }
    } else {
        SetSlider(0);
    }
}

}  // namespace orvane

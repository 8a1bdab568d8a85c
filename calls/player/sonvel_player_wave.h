#pragma once
// PlayerWave over the program's audio control WavePlayer, and the receiver
// of its events. The control is asked for each time, since shutdown
// releases it before the player goes; without one, nothing plays.

#include <functional>

#include "audio/wave.h"
#include "calls/player/playback_control.h"

namespace orvane {

class SonvelPlayerWave final : public PlayerWave, public sonvel::WaveEvents {
  public:
    using ControlSource = std::function<sonvel::Wave*()>;

    // Registers itself for the control's events; `donePlay` runs on each
    // DonePlay.
    SonvelPlayerWave(ControlSource control, std::function<void()> donePlay);
    ~SonvelPlayerWave() override;
    SonvelPlayerWave(const SonvelPlayerWave&) = delete;
    SonvelPlayerWave& operator=(const SonvelPlayerWave&) = delete;

    void SetDonePlay(std::function<void()> donePlay) { donePlay_ = std::move(donePlay); }

    bool Playing() const override;
    qint32 StopPlay() override;
    qint32 GetDetailsWaveFile(const QString& path, sonvel::WaveFileDetails& details) override;
    qint32 StartPlay(const QString& path, qint32 device, qint32 bufferSize) override;
    QString WaveOutErrText(qint32 code) const override;
    QString SecondsAsTimeString(qint32 seconds) override;
    qint32 GetPositionSliderX() override;
    qint32 GetPositionSecondsX() override;
    qint32 PauseOut() override;
    qint32 UnPauseOut() override;
    bool IsPausedOut() const override;
    bool FileSeek(qint32 percent) override;

    // sonvel::WaveEvents
    void DonePlay() override;

  private:
    sonvel::Wave* Control() const { return control_ ? control_() : nullptr; }

    ControlSource control_;
    std::function<void()> donePlay_;
};

}  // namespace orvane

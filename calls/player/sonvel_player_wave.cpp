#include "calls/player/sonvel_player_wave.h"

#include <QFile>
#include <string>
#include <utility>

namespace orvane {
namespace {

std::string FileName(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

SonvelPlayerWave::SonvelPlayerWave(ControlSource control, std::function<void()> donePlay)
    : control_(std::move(control)), donePlay_(std::move(donePlay)) {
    if (sonvel::Wave* wave = Control()) {
        wave->SetEvents(this);
    }
}

SonvelPlayerWave::~SonvelPlayerWave() {
    if (sonvel::Wave* wave = Control()) {
        wave->SetEvents(nullptr);
    }
}

bool SonvelPlayerWave::Playing() const {
    const sonvel::Wave* wave = Control();
    return wave != nullptr && wave->Playing() != sonvel::kFalse;
}

qint32 SonvelPlayerWave::StopPlay() {
    sonvel::Wave* wave = Control();
    return wave != nullptr ? wave->StopPlay() : 0;
}

qint32 SonvelPlayerWave::GetDetailsWaveFile(const QString& path, sonvel::WaveFileDetails& details) {
    sonvel::Wave* wave = Control();
    return wave != nullptr ? wave->GetDetailsWaveFile(FileName(path), details)
                           : sonvel::kWaveErrOpenFile;
}

qint32 SonvelPlayerWave::StartPlay(const QString& path, qint32 device, qint32 bufferSize) {
    sonvel::Wave* wave = Control();
    if (wave == nullptr) {
        return sonvel::kWaveErrOpenFile;
    }
    std::string file = FileName(path);
    sonvel::Bool16 visOut = sonvel::kFalse;
    return wave->StartPlay(file, device, bufferSize, visOut);
}

QString SonvelPlayerWave::WaveOutErrText(qint32 code) const {
    const sonvel::Wave* wave = Control();
    return wave != nullptr ? QString::fromStdString(wave->WaveOutErrText(code)) : QString();
}

QString SonvelPlayerWave::SecondsAsTimeString(qint32 seconds) {
    sonvel::Wave* wave = Control();
    return wave != nullptr ? QString::fromStdString(wave->SecondsAsTimeString(seconds)) : QString();
}

qint32 SonvelPlayerWave::GetPositionSliderX() {
    sonvel::Wave* wave = Control();
    return wave != nullptr ? wave->GetPositionSliderX() : 0;
}

qint32 SonvelPlayerWave::GetPositionSecondsX() {
    sonvel::Wave* wave = Control();
    return wave != nullptr ? wave->GetPositionSecondsX() : 0;
}

qint32 SonvelPlayerWave::PauseOut() {
    sonvel::Wave* wave = Control();
    return wave != nullptr ? wave->PauseOut() : 0;
}

qint32 SonvelPlayerWave::UnPauseOut() {
    sonvel::Wave* wave = Control();
    return wave != nullptr ? wave->UnPauseOut() : 0;
}

bool SonvelPlayerWave::IsPausedOut() const {
    const sonvel::Wave* wave = Control();
    return wave != nullptr && wave->IsPausedOut() != sonvel::kFalse;
}

bool SonvelPlayerWave::FileSeek(qint32 percent) {
    sonvel::Wave* wave = Control();
    return wave != nullptr && wave->FileSeek(percent) != sonvel::kFalse;
}

void SonvelPlayerWave::DonePlay() {
    if (donePlay_) {
        donePlay_();
    }
}

}  // namespace orvane

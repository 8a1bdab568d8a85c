// The Wave control's playback pipeline. Arrives next: until then every
// method answers a defined code and opens nothing.
#include "audio/wave/wave.h"

namespace sonvel {

void Wave::WindowProcOut(const Notification& /*notification*/) {}

int32_t Wave::PauseOut() {
    return MMSYSERR_NOTSUPPORTED;
}

int32_t Wave::UnPauseOut() {
    return MMSYSERR_NOTSUPPORTED;
}

int32_t Wave::StopPlayProc() {
    return 0;
}

int32_t Wave::StopPlay() {
    return 0;
}

int32_t Wave::StartPlay(std::string& /*file*/, int32_t& /*device*/, int32_t& /*bufferSize*/,
                        Bool16& /*visOut*/) {
    return MMSYSERR_NOTSUPPORTED;
}

int32_t Wave::StartPlayACM(std::string& /*file*/, WaveFormat& /*playFormat*/, int32_t& /*device*/,
                           int32_t& /*bufferSize*/, Bool16& /*visOut*/) {
    return MMSYSERR_NOTSUPPORTED;
}

int32_t Wave::OpenFile(std::string& /*waveFile*/) {
    return MMSYSERR_NOTSUPPORTED;
}

int32_t Wave::GetPositionSlider() {
    return 0;
}

Bool16 Wave::FileSeek(int32_t& /*position*/) {
    return kFalse;
}

int32_t Wave::GetPositionSliderX() {
    return 0;
}

Bool16 Wave::FileSeekX(int32_t& /*secPosition*/) {
    return kFalse;
}

int32_t Wave::GetPositionSecondsX() {
    return 0;
}

int32_t Wave::GetPositionSeconds() {
    return 0;
}

std::string Wave::SecondsAsTimeString(int32_t& /*seconds*/) {
    return {};
}

int32_t Wave::StartPlay(std::string& file) {
    int32_t device = WAVE_MAPPER;
    int32_t bufferSize = 800;
    Bool16 visOut = kFalse;
    return StartPlay(file, device, bufferSize, visOut);
}

int32_t Wave::StartPlayACM(std::string& file, WaveFormat& playFormat) {
    int32_t device = WAVE_MAPPER;
    int32_t bufferSize = 800;
    Bool16 visOut = kFalse;
    return StartPlayACM(file, playFormat, device, bufferSize, visOut);
}

}  // namespace sonvel

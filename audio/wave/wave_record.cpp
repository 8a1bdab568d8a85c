// The Wave control's recording pipeline. Arrives next: until then every
// method answers a defined code and opens nothing.
#include "audio/wave/wave.h"

namespace sonvel {

void Wave::WindowProcIn(const Notification& /*notification*/) {}

int32_t Wave::PauseIn() {
    return 0;
}

int32_t Wave::UnPauseIn() {
    return 0;
}

int32_t Wave::StartRecord(int32_t /*device*/, const std::string& /*fileName*/,
                          WaveFormat& /*waveFormatX*/, int32_t& /*bufferSize*/, Bool16& /*visIn*/) {
    return MMSYSERR_NOTSUPPORTED;
}

int32_t Wave::StopRecord() {
    return MMSYSERR_NOTSUPPORTED;
}

int32_t Wave::StartRecordACM(int32_t /*device*/, const std::string& /*fileName*/,
                             WaveFormat& /*inputFormat*/, WaveFormat& /*codecFormat*/,
                             int32_t& /*bufferSize*/, Bool16& /*visIn*/) {
    return MMSYSERR_NOTSUPPORTED;
}

Bool16 Wave::OpenFileIn(const std::string& /*soundFile*/, WaveFormat& /*waveFormatX*/) {
    return kFalse;
}
void Wave::CloseFileIn() {}

void Wave::WriteRecordedData(const uint8_t* /*bytes*/, uint32_t /*count*/) {}


int32_t Wave::StartRecord(int32_t device, const std::string& fileName, WaveFormat& waveFormatX) {
    int32_t bufferSize = 8000;
    Bool16 visIn = kFalse;
    return StartRecord(device, fileName, waveFormatX, bufferSize, visIn);
}

int32_t Wave::StartRecordACM(int32_t device, const std::string& fileName, WaveFormat& inputFormat,
                             WaveFormat& codecFormat) {
    int32_t bufferSize = 8000;
    Bool16 visIn = kFalse;
    return StartRecordACM(device, fileName, inputFormat, codecFormat, bufferSize, visIn);
}

}  // namespace sonvel

// The Wave control's monitoring: visualisation, live monitoring and
// silence cutting. Arrives next: until then every method answers a defined
// code and opens nothing.
#include "audio/wave/wave.h"

namespace sonvel {

int32_t Wave::ClosePreScreen() {
    return MMSYSERR_NOTSUPPORTED;
}

int32_t Wave::OpenPreScreen(WaveFormat& /*waveFormatPreScreen*/, int32_t /*device*/) {
    return MMSYSERR_NOTSUPPORTED;
}

int32_t Wave::CloseVisIn() {
    return MMSYSERR_NOTSUPPORTED;
}

int32_t Wave::CloseVisOut() {
    return MMSYSERR_NOTSUPPORTED;
}

int32_t Wave::OpenVisOut() {
    return MMSYSERR_NOTSUPPORTED;
}

int32_t Wave::OpenVisIn() {
    return MMSYSERR_NOTSUPPORTED;
}

void Wave::AnalyseInput(const uint8_t* /*block*/, uint32_t /*length*/) {}
void Wave::AnalyseOutput(const uint8_t* /*block*/, uint32_t /*length*/) {}
void Wave::ForwardToPreScreen(int /*index*/, const uint8_t* /*bytes*/, uint32_t /*count*/) {}
void Wave::CutSilenceStore(const uint8_t* bytes, uint32_t count) {
    WriteRecordedData(bytes, count);
}
void Wave::ResetSilenceCutter() {}

}  // namespace sonvel

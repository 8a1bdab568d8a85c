// The exported Wave control: every call goes to its implementation
// (audio/wave/wave.h), so the class's layout is one pointer whatever the
// engine keeps inside.
#include "audio/wave.h"
#include "audio/wave/wave.h"

namespace sonvel {

WaveEvents::~WaveEvents() = default;

Wave::Wave(MessageWindow* window, WaveEvents* events)
    : impl_(std::make_unique<WaveImpl>(this, window, events)) {}

Wave::~Wave() = default;

void Wave::SetEvents(WaveEvents* events) {
    impl_->SetEvents(events);
}

void Wave::SetWindow(MessageWindow* window) {
    impl_->SetWindow(window);
}

std::string Wave::WaveOutErrText(int32_t errNum) const {
    return impl_->WaveOutErrText(errNum);
}

int32_t Wave::PauseOut() {
    return impl_->PauseOut();
}

int32_t Wave::UnPauseOut() {
    return impl_->UnPauseOut();
}

int32_t Wave::PauseIn() {
    return impl_->PauseIn();
}

int32_t Wave::UnPauseIn() {
    return impl_->UnPauseIn();
}

Bool16 Wave::IsPausedOut() const {
    return impl_->IsPausedOut();
}

Bool16 Wave::IsPausedIn() const {
    return impl_->IsPausedIn();
}

Bool16 Wave::DonePlay() const {
    return impl_->DonePlay();
}

HostError Wave::InitC() {
    return impl_->InitC();
}

HostError Wave::UnInitC() {
    return impl_->UnInitC();
}

int32_t Wave::StopPlayProc() {
    return impl_->StopPlayProc();
}

int32_t Wave::StopPlay() {
    return impl_->StopPlay();
}

int32_t Wave::StartPlay(std::string& file, int32_t& device, int32_t& bufferSize, Bool16& visOut) {
    return impl_->StartPlay(file, device, bufferSize, visOut);
}

int32_t Wave::StartPlayACM(std::string& file, WaveFormat& playFormat, int32_t& device,
                           int32_t& bufferSize, Bool16& visOut) {
    return impl_->StartPlayACM(file, playFormat, device, bufferSize, visOut);
}

int32_t Wave::OpenFile(std::string& waveFile) {
    return impl_->OpenFile(waveFile);
}

int32_t Wave::ClosePreScreen() {
    return impl_->ClosePreScreen();
}

Bool16 Wave::PreScreen() const {
    return impl_->PreScreen();
}

int32_t Wave::OpenPreScreen(WaveFormat& waveFormatPreScreen, int32_t device) {
    return impl_->OpenPreScreen(waveFormatPreScreen, device);
}

int32_t Wave::CheckDeviceFormat(int32_t device, INOUT& inOut, WaveFormat& chkFormat) {
    return impl_->CheckDeviceFormat(device, inOut, chkFormat);
}

int32_t Wave::GetPositionSlider() {
    return impl_->GetPositionSlider();
}

Bool16 Wave::FileSeek(int32_t& position) {
    return impl_->FileSeek(position);
}

int32_t Wave::GetPositionSliderX() {
    return impl_->GetPositionSliderX();
}

Bool16 Wave::FileSeekX(int32_t& secPosition) {
    return impl_->FileSeekX(secPosition);
}

int32_t Wave::GetPositionSecondsX() {
    return impl_->GetPositionSecondsX();
}

int32_t Wave::GetPositionSeconds() {
    return impl_->GetPositionSeconds();
}

std::string Wave::SecondsAsTimeString(int32_t& seconds) {
    return impl_->SecondsAsTimeString(seconds);
}

Bool16 Wave::Playing() const {
    return impl_->Playing();
}

std::string Wave::WaveInErrText(int32_t errNum) const {
    return impl_->WaveInErrText(errNum);
}

int32_t Wave::StartRecord(int32_t device, const std::string& fileName, WaveFormat& waveFormatX,
                          int32_t& bufferSize, Bool16& visIn) {
    return impl_->StartRecord(device, fileName, waveFormatX, bufferSize, visIn);
}

int32_t Wave::StopRecord() {
    return impl_->StopRecord();
}

int32_t Wave::StartRecordACM(int32_t device, const std::string& fileName, WaveFormat& inputFormat,
                             WaveFormat& codecFormat, int32_t& bufferSize, Bool16& visIn) {
    return impl_->StartRecordACM(device, fileName, inputFormat, codecFormat, bufferSize, visIn);
}

int32_t Wave::CloseVisIn() {
    return impl_->CloseVisIn();
}

int32_t Wave::CloseVisOut() {
    return impl_->CloseVisOut();
}

int32_t Wave::OpenVisOut() {
    return impl_->OpenVisOut();
}

int32_t Wave::OpenVisIn() {
    return impl_->OpenVisIn();
}

int32_t Wave::ACMCheck(WaveFormat& srcFormat, WaveFormat& dstFormat) {
    return impl_->ACMCheck(srcFormat, dstFormat);
}

Bool16 Wave::Recording() const {
    return impl_->Recording();
}

int32_t Wave::GetDetailsDevice(int32_t device, WaveDeviceDetails& deviceDetails) {
    return impl_->GetDetailsDevice(device, deviceDetails);
}

int32_t Wave::GetMaxVol() {
    return impl_->GetMaxVol();
}

int32_t Wave::SetVol(int32_t vol) {
    return impl_->SetVol(vol);
}

int32_t Wave::SetMic(int32_t vol) {
    return impl_->SetMic(vol);
}

int32_t Wave::SetLine(int32_t vol) {
    return impl_->SetLine(vol);
}

int32_t Wave::GetDetailsWaveFile(const std::string& waveFile, WaveFileDetails& details) {
    return impl_->GetDetailsWaveFile(waveFile, details);
}

int32_t Wave::NumOfWaveDevices() {
    return impl_->NumOfWaveDevices();
}

void Wave::ShowAboutBox() {
    impl_->ShowAboutBox();
}

Bool16 Wave::OpenFileIn(const std::string& soundFile, WaveFormat& waveFormatX) {
    return impl_->OpenFileIn(soundFile, waveFormatX);
}

void Wave::CloseFileIn() {
    impl_->CloseFileIn();
}

int32_t Wave::StartPlay(std::string& file) {
    return impl_->StartPlay(file);
}

int32_t Wave::StartPlayACM(std::string& file, WaveFormat& playFormat) {
    return impl_->StartPlayACM(file, playFormat);
}

int32_t Wave::StartRecord(int32_t device, const std::string& fileName, WaveFormat& waveFormatX) {
    return impl_->StartRecord(device, fileName, waveFormatX);
}

int32_t Wave::StartRecordACM(int32_t device, const std::string& fileName, WaveFormat& inputFormat,
                             WaveFormat& codecFormat) {
    return impl_->StartRecordACM(device, fileName, inputFormat, codecFormat);
}

Bool16 Wave::FreqOut() const {
    return impl_->FreqOut();
}

void Wave::SetFreqOut(Bool16 value) {
    impl_->SetFreqOut(value);
}

Bool16 Wave::FreqIn() const {
    return impl_->FreqIn();
}

void Wave::SetFreqIn(Bool16 value) {
    impl_->SetFreqIn(value);
}

Bool16 Wave::IsVisIn() const {
    return impl_->IsVisIn();
}

Bool16 Wave::IsVisOut() const {
    return impl_->IsVisOut();
}

Bool16 Wave::IsPreScreen() const {
    return impl_->IsPreScreen();
}

Bool16 Wave::CutSilence() const {
    return impl_->CutSilence();
}

void Wave::SetCutSilence(Bool16 value) {
    impl_->SetCutSilence(value);
}

int32_t Wave::CutSilenceVal() const {
    return impl_->CutSilenceVal();
}

void Wave::SetCutSilenceVal(int32_t value) {
    impl_->SetCutSilenceVal(value);
}

Bool16 Wave::MeterOut() const {
    return impl_->MeterOut();
}

void Wave::SetMeterOut(Bool16 value) {
    impl_->SetMeterOut(value);
}

Bool16 Wave::MeterIn() const {
    return impl_->MeterIn();
}

void Wave::SetMeterIn(Bool16 value) {
    impl_->SetMeterIn(value);
}

int32_t Wave::WindowProc(const Notification& notification) {
    return impl_->WindowProc(notification);
}

MMRESULT Wave::ACMOpen(HACMSTREAM& slot, const WaveFormat& src, const WaveFormat& dst) {
    return impl_->ACMOpen(slot, src, dst);
}

MMRESULT Wave::ACMClose(HACMSTREAM& stream) {
    return impl_->ACMClose(stream);
}

}  // namespace sonvel

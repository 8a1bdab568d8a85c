// The Wave control's monitoring: visualisation (levels, spectrum peak,
// analysed buffers), live monitoring of a recording, and silence cutting.
#include <algorithm>
#include <cerrno>
#include <string>

#include "audio/wave/spectrum.h"
#include "audio/wave/wave.h"

namespace sonvel {

namespace {

// The decimal text of the last system error, read right after a failing call.
std::string LastErrorText() {
    return std::to_string(errno);
}

}  // namespace

// ---- Visualisation ----

int32_t WaveImpl::OpenVisIn() {
    if (Recording() == kFalse || visIn_ != kFalse) {
        return 0;
    }
    int32_t result = 0;
    visInStream_ = nullptr;
    MMRESULT rc = ACMOpen(visInStream_, captureFormat_, AnalysisFormat());
    if (rc != MMSYSERR_NOERROR) {
        Events().Err("OpenVisIn:acmConverIn:Can't open selected formats", rc, LastErrorText());
    }
    uint32_t size = 0;
    rc = acmStreamSize(visInStream_, static_cast<uint32_t>(std::max(bufferSizeIn_, 0)), &size,
                       ACM_STREAMSIZEF_SOURCE);
    if (rc != MMSYSERR_NOERROR) {
        Events().Err("OpenVisIn:acmStreamSize:", rc, LastErrorText());
        result = rc;
    }
    // Marked open even after a failure: each buffer's conversion then reports it.
    visIn_ = kTrue;
    return result;
}

int32_t WaveImpl::OpenVisOut() {
    if (Playing() == kFalse || visOut_ != kFalse) {
        return 0;
    }
    visOutStream_ = nullptr;
    MMRESULT rc = ACMOpen(visOutStream_, fileFormat_, AnalysisFormat());
    if (rc != MMSYSERR_NOERROR) {
        Events().Err("OpenVisOut:ACMOpen:Can't open the selected format", rc, LastErrorText());
    }
    uint32_t size = 0;
    rc = acmStreamSize(visOutStream_, static_cast<uint32_t>(std::max(bufferSizeOut_, 0)), &size,
                       ACM_STREAMSIZEF_SOURCE);
    if (rc != MMSYSERR_NOERROR) {
        Events().Err("OpenVisOut:acmStreamSize", rc, LastErrorText());
    }
    visOut_ = kTrue;
    return 0;
}

int32_t WaveImpl::CloseVisIn() {
    if (visIn_ == kFalse) {
        return 0;
    }
    visIn_ = kFalse;
    ++analysisEpochs_->in;
    ACMClose(visInStream_);
    return 0;
}

int32_t WaveImpl::CloseVisOut() {
    if (visOut_ == kFalse) {
        return 0;
    }
    visOut_ = kFalse;
    ++analysisEpochs_->out;
    return ACMClose(visOutStream_);
}

void WaveImpl::AnalyseInput(const uint8_t* block, uint32_t length) {
    Analyse(true, block, length);
}

void WaveImpl::AnalyseOutput(const uint8_t* block, uint32_t length) {
    Analyse(false, block, length);
}

void WaveImpl::Analyse(bool in, const uint8_t* block, uint32_t length) {
    // The host's loop runs inside the scan and may stop the recording or
    // playback and free its buffers: work on a copy, and after anything
    // that lets the host in, go on only while this side's visualisation is
    // still the one that was open (the epochs outlive the control).
    const std::vector<uint8_t> bytes =
        block != nullptr ? std::vector<uint8_t>(block, block + length) : std::vector<uint8_t>();
    const uint32_t size = static_cast<uint32_t>(bytes.size());
    const AnalysisSamples samples = LoadAnalysisSamples(bytes.data(), size);
    const std::shared_ptr<AnalysisEpochs> epochs = analysisEpochs_;
    const uint64_t epoch = in ? epochs->in : epochs->out;
    const auto current = [&epochs, epoch, in] { return (in ? epochs->in : epochs->out) == epoch; };

    if ((in ? meterIn_ : meterOut_) != kFalse) {
        const int16_t level = MeterLevel(samples);
        if (in && cutSilence_ != kFalse) {
            silenceCutter_.SetLoud(cutSilenceVal_ < level);
        }
        if (in) {
            Events().InMeter(level);
        } else {
            Events().OutMeter(level);
        }
        if (!current()) {
            return;
        }
    }

    if ((in ? freqIn_ : freqOut_) != kFalse) {
        SpectrumArray re{};
        SpectrumArray im{};
        SpectrumTransform(samples, re, im);
        MessageWindow* window = window_;
        const bool scanned = ScanPeaks(
            samples, re,
            [&] {
                if (!current()) {
                    return false;
                }
                if (window != nullptr) {
                    window->PumpPendingEvents();
                }
                return current();
            },
            [&](int16_t frequency) {
                if (in) {
                    Events().InFreq(frequency);
                } else {
                    Events().OutFreq(frequency);
                }
            });
        if (!scanned || !current()) {
            return;
        }
    }

    if (in) {
        Events().InBuffer(bytes.data(), static_cast<int32_t>(size));
    } else {
        Events().OutBuffer(bytes.data(), static_cast<int32_t>(size));
    }
}

// ---- Silence cutting ----

void WaveImpl::CutSilenceStore(const uint8_t* bytes, uint32_t count) {
    silenceCutter_.Store(bytes, count,
                         [this](const uint8_t* data, uint32_t n) { WriteRecordedData(data, n); });
}

void WaveImpl::ResetSilenceCutter() {
    silenceCutter_.Reset();
}

// ---- Live monitoring ----

int32_t WaveImpl::OpenPreScreen(WaveFormat& waveFormatPreScreen, int32_t device) {
    if (preScreen_ != kFalse) {
        return 0;
    }
    preScreenFormat_ = waveFormatPreScreen;
    HWAVEOUT handle = 0;
    const MMRESULT rc = waveOutOpen(&handle, device, preScreenFormat_, nullptr, CALLBACK_NULL);
    if (rc != MMSYSERR_NOERROR) {
        return rc;
    }
    preScreenDevice_ = handle;
    preScreenHeaders_ = {};
    preScreen_ = kTrue;
    return 0;
}

void WaveImpl::ForwardToPreScreen(int index, const uint8_t* bytes, uint32_t count) {
    if (preScreen_ == kFalse || index < 0 || index >= static_cast<int>(preScreenHeaders_.size()) ||
        bytes == nullptr || count == 0) {
        return;
    }
    WAVEHDR& header = preScreenHeaders_[static_cast<size_t>(index)];
    MMRESULT rc = waveOutUnprepareHeader(preScreenDevice_, &header);
    if (rc != MMSYSERR_NOERROR) {
        // Still queued (the output fell behind): its block must not change
        // under the device, so this buffer is not monitored.
        Events().Err("WindowProcIn:waveOutUnprepareHeader", rc, WaveOutErrText(rc));
        return;
    }
    std::vector<uint8_t>& block = preScreenBlocks_[static_cast<size_t>(index)];
    block.assign(bytes, bytes + count);
    header = WAVEHDR{};
    header.lpData = block.data();
    header.dwBufferLength = count;
    header.dwFlags = 0;
    rc = waveOutPrepareHeader(preScreenDevice_, &header);
    if (rc != MMSYSERR_NOERROR) {
        Events().Err("WindowProcIn:waveOutPrepareHeader", rc, WaveOutErrText(rc));
        if (preScreen_ == kFalse) {
            return;  // the host closed the monitoring from its handler
        }
    }
    rc = waveOutWrite(preScreenDevice_, &header);
    if (rc != MMSYSERR_NOERROR) {
        Events().Err("WindowProcIn:waveOutWrite", rc, WaveOutErrText(rc));
    }
}

int32_t WaveImpl::ClosePreScreen() {
    if (preScreen_ == kFalse) {
        return 0;
    }
    MMRESULT rc = waveOutReset(preScreenDevice_);
    if (rc != MMSYSERR_NOERROR) {
        Events().Err("ClosePreScreen:waveOutReset", rc, LastErrorText());
    }
    for (WAVEHDR& header : preScreenHeaders_) {
        rc = waveOutUnprepareHeader(preScreenDevice_, &header);
        if (rc != MMSYSERR_NOERROR) {
            Events().Err("ClosePreScreen:waveOutUnprepareHeader", rc, LastErrorText());
        }
    }
    rc = waveOutClose(preScreenDevice_);
    if (rc != MMSYSERR_NOERROR) {
        Events().Err("ClosePreScreen:waveOutClose", rc, LastErrorText());
    }
    preScreenDevice_ = 0;
    preScreenHeaders_ = {};
    preScreenBlocks_ = {};
    preScreen_ = kFalse;
    return 0;
}

void WaveImpl::ClosePreScreenQuietly() {
    if (preScreen_ == kFalse) {
        return;
    }
    waveOutReset(preScreenDevice_);
    waveOutClose(preScreenDevice_);
    preScreenDevice_ = 0;
    preScreen_ = kFalse;
}

WaveImpl::MonitorTeardown::~MonitorTeardown() {
    ++wave->analysisEpochs_->in;
    ++wave->analysisEpochs_->out;
    // The output device reads our blocks on its own thread: stop it first.
    wave->ClosePreScreenQuietly();
    for (HACMSTREAM* stream : {&wave->visInStream_, &wave->visOutStream_}) {
        if (*stream != nullptr) {
            acmStreamClose(*stream, 0);
            *stream = nullptr;
        }
    }
}

}  // namespace sonvel

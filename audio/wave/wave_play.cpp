// The Wave control's playback pipeline: a WAV file read in three rotating
// buffers, refilled on the output device's buffer-done notifications,
// optionally converted through the compression manager on the way.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>

#include "audio/base/block_rate.h"
#include "audio/riff/wave_file.h"
#include "audio/wave/wave.h"

namespace sonvel {

namespace {

constexpr uint32_t kAcmHeaderSize = 88;
constexpr int kPlayBuffers = 3;

// The platform's last-error value as the Err description gives it.
std::string LastError() {
    return std::to_string(errno);
}

int32_t ClampToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// Rounds to the nearest integer, halves to even (the host's rounding).
int64_t RoundHalfEven(double value) {
    return static_cast<int64_t>(std::nearbyint(value));
}

// The Err text for a header the reader refused, by the part it stopped at.
const char* HeaderErrorText(WaveFilePart part, MMRESULT rc) {
    switch (part) {
        case WaveFilePart::kRiffForm:
            return "OpenFile:mmioDescendParent:Not wave file";
        case WaveFilePart::kFormatChunk:
            if (rc == MMIOERR_CHUNKNOTFOUND) {
                return "OpenFile:mmioDescend:Couldn't get format chunk";
            }
            return rc == WAVERR_BADFORMAT ? "OpenFile:Unusable format"
                                          : "mmioReadString:mmioDescend:Error reading format";
        case WaveFilePart::kDataChunk:
            return "mmioReadString:mmioDescend:Couldn't get data chunk";
        default:
            return "OpenFile:mmioDescend:Error reading the chunks";
    }
}

}  // namespace

WaveImpl::PlayResources::~PlayResources() {
    if (device != 0) {
        // The device may still be reading the blocks that go with us.
        waveOutReset(device);
        for (int i = 0; i < kPlayBuffers; ++i) {
            waveOutUnprepareHeader(device, &convertedHeaders[static_cast<size_t>(i)]);
            waveOutUnprepareHeader(device, &readHeaders[static_cast<size_t>(i)]);
        }
        waveOutClose(device);
    }
    if (file != nullptr) {
        mmioClose(file);
    }
    if (stream != nullptr) {
        acmStreamClose(stream, 0);
    }
}

// ---- Start ----

int32_t WaveImpl::StartPlay(std::string& file, int32_t& device, int32_t& bufferSize,
                            Bool16& visOut) {
    if (playActive_) {
        return kWaveErrAlreadyPlaying;
    }
    // A conversion left over from a start that failed must not apply here.
    acmPlayback_ = false;
    return BeginPlayback(file, device, bufferSize, visOut);
}

int32_t WaveImpl::StartPlayACM(std::string& file, WaveFormat& playFormat, int32_t& device,
                               int32_t& bufferSize, Bool16& visOut) {
    if (playActive_) {
        return kWaveErrAlreadyPlaying;
    }
    deviceFormat_ = playFormat;
    acmPlayback_ = true;
    return BeginPlayback(file, device, bufferSize, visOut);
}

int32_t WaveImpl::BeginPlayback(std::string& file, int32_t device, int32_t bufferSize,
                                Bool16 visOut) {
    playIndex_ = 2;
    bufferSizeOut_ = bufferSize;
    if (const int32_t rc = OpenFile(file); rc != 0) {
        return rc;
    }
    if (const int32_t rc = StartPlayback(device); rc != 0) {
        return rc;
    }
    playActive_ = true;
    donePlay_ = false;
    playing_ = true;
    if (visOut != kFalse) {
        OpenVisOut();
    }
    return 0;
}

void WaveImpl::ClosePlayFile() {
    if (play_.file != nullptr) {
        mmioClose(play_.file);
        play_.file = nullptr;
    }
    playFileOpen_ = false;
}

void WaveImpl::FreePlayBlocks() {
    for (size_t i = 0; i < kPlayBuffers; ++i) {
        play_.readBlocks[i] = {};
        play_.convertedBlocks[i] = {};
        play_.readHeaders[i] = WAVEHDR{};
        play_.convertedHeaders[i] = WAVEHDR{};
    }
}

int32_t WaveImpl::OpenFile(std::string& waveFile) {
    if (waveFile.empty()) {
        return 0;
    }
    // The blocks and the file belong to the device while it plays.
    if (playActive_) {
        return kWaveErrAlreadyPlaying;
    }
    // What a failed start left behind.
    ClosePlayFile();
    if (play_.stream != nullptr) {
        ACMClose(play_.stream);
    }

    // The same reader as the file details query: the file is left at the
    // first sound byte, the data size cut to what the file holds.
    errno = 0;
    HMMIO file = nullptr;
    WaveFileInfo header;
    if (const MMRESULT rc = OpenWaveFile(waveFile.c_str(), &file, &header); rc != 0) {
        if (header.failedPart == WaveFilePart::kFile) {
            Events().Err("OpenFile:mmioOpen:Error opening input file", 0, LastError());
            return kWaveErrOpenFile;
        }
        Events().Err(HeaderErrorText(header.failedPart, rc), static_cast<int32_t>(rc), LastError());
        return static_cast<int32_t>(rc);
    }
    const auto fail = [&](const char* function, int32_t code) {
        const std::string description = LastError();
        mmioClose(file);
        Events().Err(function, code, description);
        return code;
    };

    if (bufferSizeOut_ < 0) {
        return fail("OpenFile:Invalid buffer size", MMSYSERR_INVALPARAM);
    }
    // The reader refuses a format whose sizes would divide by zero.
    const WaveFormat& format = header.format;
    fileFormat_ = format;
    playDataStart_ = header.dataOffset;
    playDataSize_ = header.dataSize;

    if (bufferSizeOut_ == 0) {
        const int64_t tenth = RoundHalfEven(static_cast<double>(format.nBlockAlign) *
                                            format.nSamplesPerSec * format.nChannels * 0.1);
        const int64_t whole = tenth / format.nBlockAlign * format.nBlockAlign;
        // Never an empty buffer: playback would make no progress.
        bufferSizeOut_ = ClampToInt32(std::max<int64_t>(whole, format.nBlockAlign));
    }

    if (!acmPlayback_) {
        convertedSizeOut_ = bufferSizeOut_;
        deviceFormat_ = fileFormat_;
    } else {
        MMRESULT rc = ACMOpen(play_.stream, fileFormat_, deviceFormat_);
        uint32_t converted = 0;
        if (rc == MMSYSERR_NOERROR) {
            rc = acmStreamSize(play_.stream, static_cast<uint32_t>(bufferSizeOut_), &converted,
                               ACM_STREAMSIZEF_SOURCE);
        }
        if (rc != MMSYSERR_NOERROR) {
            if (play_.stream != nullptr) {
                ACMClose(play_.stream);
            }
            return fail("acmConverIn:acmStreamSize", static_cast<int32_t>(rc));
        }
        convertedSizeOut_ = ClampToInt32(converted);
    }

    try {
        for (size_t i = 0; i < kPlayBuffers; ++i) {
            play_.readBlocks[i].assign(static_cast<size_t>(bufferSizeOut_), 0);
            if (acmPlayback_) {
                play_.convertedBlocks[i].assign(static_cast<size_t>(convertedSizeOut_), 0);
            } else {
                play_.convertedBlocks[i] = {};
            }
        }
    } catch (const std::bad_alloc&) {
        FreePlayBlocks();
        if (play_.stream != nullptr) {
            ACMClose(play_.stream);
        }
        return fail("OpenFile:Out of memory", MMSYSERR_NOMEM);
    }
    play_.file = file;
    playFileOpen_ = true;
    return 0;
}

int32_t WaveImpl::StartPlayback(int32_t device) {
    if (!playFileOpen_) {
        return MMSYSERR_INVALPARAM;  // nothing to play: OpenFile was given no file
    }
    const uint32_t flags = CALLBACK_WINDOW | (device != WAVE_MAPPER ? WAVE_MAPPED : 0);
    HWAVEOUT handle = 0;
    if (const MMRESULT rc = waveOutOpen(&handle, device, deviceFormat_, window_, flags); rc != 0) {
        return static_cast<int32_t>(rc);
    }
    play_.device = handle;
    MMRESULT failed = MMSYSERR_NOERROR;
    for (size_t i = 0; i < kPlayBuffers && failed == MMSYSERR_NOERROR; ++i) {
        WAVEHDR& read = play_.readHeaders[i];
        read = WAVEHDR{};
        read.lpData = play_.readBlocks[i].data();
        read.dwBufferLength = static_cast<uint32_t>(play_.readBlocks[i].size());
        failed = waveOutPrepareHeader(handle, &read);
        if (acmPlayback_ && failed == MMSYSERR_NOERROR) {
            WAVEHDR& converted = play_.convertedHeaders[i];
            converted = WAVEHDR{};
            converted.lpData = play_.convertedBlocks[i].data();
            converted.dwBufferLength = static_cast<uint32_t>(play_.convertedBlocks[i].size());
            failed = waveOutPrepareHeader(handle, &converted);
        }
    }
    if (failed != MMSYSERR_NOERROR) {
        // Nothing was queued: close the device again so a later start does
        // not leave it open behind it.
        for (size_t i = 0; i < kPlayBuffers; ++i) {
            waveOutUnprepareHeader(handle, &play_.readHeaders[i]);
            waveOutUnprepareHeader(handle, &play_.convertedHeaders[i]);
        }
        waveOutClose(handle);
        play_.device = 0;
        return static_cast<int32_t>(failed);
    }
    playStartOffset_ = PlayFilePosition();
    finishedAfterEnd_ = 0;

    if (window_ != nullptr) {
        window_->PumpPendingEvents();
        for (int i = 0; i < kPlayBuffers; ++i) {
            // No header: these only prime the rotation.
            if (!window_->Post({MM_WOM_DONE, handle, nullptr})) {
                return 0;
            }
        }
    }
    moreData_ = true;
    pausedOut_ = false;
    return 0;
}

// ---- The buffer-done handler ----

void WaveImpl::WindowProcOut(const Notification& notification) {
    if (notification.message == MM_WOM_CLOSE) {
        const auto it = std::find(closingOuts_.begin(), closingOuts_.end(), notification.device);
        if (it == closingOuts_.end()) {
            return;  // some other output of this window
        }
        closingOuts_.erase(it);
        // A playback started before this close arrived is still running.
        if (!playActive_) {
            donePlay_ = true;
            playing_ = false;
        }
        Events().DonePlay();
        return;
    }
    if (notification.message != MM_WOM_DONE || play_.device == 0 ||
        notification.device != play_.device) {
        return;  // another output of this window, or one already stopped
    }

    playIndex_ = playIndex_ == 2 ? 0 : playIndex_ + 1;
    const auto index = static_cast<size_t>(playIndex_);
    if (!moreData_) {
        if (++finishedAfterEnd_ == kPlayBuffers) {
            StopPlayProc();
        }
        return;
    }
    WAVEHDR& read = play_.readHeaders[index];
    WAVEHDR& out = acmPlayback_ ? play_.convertedHeaders[index] : read;
    const HWAVEOUT handle = play_.device;
    // Every event lets the host run, and a host may stop the playback (and
    // free its blocks) from any of them.
    const auto stillPlaying = [this, handle] { return play_.device == handle; };

    if (const MMRESULT rc = waveOutUnprepareHeader(handle, &out); rc != 0) {
        Events().Err("WindowProcOut:waveOutUnprepareHeader", static_cast<int32_t>(rc),
                     WaveOutErrText(static_cast<int32_t>(rc)));
        if (!stillPlaying()) {
            return;
        }
    }

    const int64_t remaining = playDataStart_ + playDataSize_ - PlayFilePosition();
    int32_t count = 0;
    if (bufferSizeOut_ < remaining) {
        count = mmioRead(play_.file, play_.readBlocks[index].data(), bufferSizeOut_);
        if (count < bufferSizeOut_) {
            // The file shrank or failed under us: what was read is the end.
            moreData_ = false;
        }
    } else {
        count = mmioRead(play_.file, play_.readBlocks[index].data(),
                         ClampToInt32(std::max<int64_t>(remaining, 0)));
        moreData_ = false;
    }
    count = std::max(count, 0);
    read.dwBufferLength = static_cast<uint32_t>(count);

    if (acmPlayback_) {
        MMRESULT code = MMSYSERR_NOERROR;
        const uint32_t length =
            acmConvertOut(play_.stream, play_.readBlocks[index].data(),
                          static_cast<uint32_t>(count), false, play_.convertedBlocks[index], code);
        out.dwBufferLength = length;
        if (code != MMSYSERR_NOERROR) {
            Events().Err("WindowProcOut:acmConvertOut", static_cast<int32_t>(code),
                         WaveOutErrText(static_cast<int32_t>(code)));
        }
        if (!stillPlaying()) {
            return;
        }
    }

    if (visOut_ != kFalse && visOutStream_ != nullptr) {
        std::vector<uint8_t> block;
        MMRESULT code = MMSYSERR_NOERROR;
        const uint32_t length = acmConvertOut(visOutStream_, play_.readBlocks[index].data(),
                                              static_cast<uint32_t>(count), true, block, code);
        if (code != MMSYSERR_NOERROR) {
            Events().Err("WindowProcOut:acmConvertOut:VisOut", static_cast<int32_t>(code),
                         WaveOutErrText(static_cast<int32_t>(code)));
        }
        AnalyseOutput(block.data(), length);
        if (!stillPlaying()) {
            return;
        }
    }

    waveOutUnprepareHeader(handle, &out);
    if (const MMRESULT rc = waveOutPrepareHeader(handle, &out); rc != 0) {
        Events().Err("WindowProcOut:waveOutPrepareHeader", static_cast<int32_t>(rc),
                     WaveOutErrText(static_cast<int32_t>(rc)));
    }
    if (const MMRESULT rc = waveOutWrite(handle, &out); rc != 0) {
        Events().Err("WindowProcOut:waveOutWrite", static_cast<int32_t>(rc),
                     WaveOutErrText(static_cast<int32_t>(rc)));
        // This buffer never comes back from the device: let its turn come
        // round anyway, or the end of playback would never be counted.
        if (window_ != nullptr) {
            window_->Post({MM_WOM_DONE, handle, nullptr});
        }
    }
}

uint32_t WaveImpl::acmConvertOut(HACMSTREAM stream, uint8_t* source, uint32_t length, bool allocate,
                                 std::vector<uint8_t>& destination, MMRESULT& code) {
    code = MMSYSERR_NOERROR;
    uint32_t size = 0;
    errno = 0;
    if (const MMRESULT rc = acmStreamSize(stream, length, &size, ACM_STREAMSIZEF_SOURCE); rc != 0) {
        Events().Err("acmConvertOut:acmStreamSize", static_cast<int32_t>(rc), LastError());
        code = rc;
    }
    if (allocate) {
        destination.assign(size, 0);
    }
    ACMSTREAMHEADER header;
    header.cbStruct = kAcmHeaderSize;
    header.pbSrc = source;
    header.cbSrcLength = length;
    header.pbDst = destination.data();
    // Never past the block, whatever the size query said.
    header.cbDstLength = std::min<uint32_t>(size, static_cast<uint32_t>(destination.size()));
    const auto step = [&](MMRESULT rc, const char* function) {
        if (rc != MMSYSERR_NOERROR) {
            Events().Err(function, static_cast<int32_t>(rc),
                         WaveOutErrText(static_cast<int32_t>(rc)));
            code = rc;
        }
    };
    step(acmStreamPrepareHeader(stream, &header, 0), "acmConvertOut:acmStreamPrepareHeader");
    const MMRESULT converted = acmStreamConvert(stream, &header, ACM_STREAMCONVERTF_BLOCKALIGN);
    step(converted, "acmConvertOut:acmStreamConvert");
    step(acmStreamUnprepareHeader(stream, &header, 0), "acmConvertOut:acmStreamUnprepareHeader");
    // What the conversion produced, not the size query's padded answer.
    return converted == MMSYSERR_NOERROR ? header.cbDstLengthUsed : 0;
}

// ---- Stop, pause ----

void WaveImpl::StopPlayWave() {
    moreData_ = false;
    if (play_.device == 0) {
        return;  // nothing plays: nothing to hand back
    }
    errno = 0;
    if (const MMRESULT rc = waveOutReset(play_.device); rc != 0) {
        Events().Err("StopPlayWave:waveOutReset", static_cast<int32_t>(rc), LastError());
    }
}

int32_t WaveImpl::StopPlay() {
    StopPlayWave();
    return 0;
}

int32_t WaveImpl::StopPlayProc() {
    moreData_ = false;
    const HWAVEOUT handle = play_.device;
    if (handle != 0) {
        // Called directly while buffers are queued: take them back first.
        // What the reset hands back is for a closed device by the time it
        // arrives and is ignored.
        waveOutReset(handle);
        for (size_t i = 0; i < kPlayBuffers; ++i) {
            const std::string at = "(" + std::to_string(i) + ")";
            if (acmPlayback_) {
                if (const MMRESULT rc = waveOutUnprepareHeader(handle, &play_.convertedHeaders[i]);
                    rc != 0) {
                    Events().Err("StopPlayProc:waveOutUnprepareHeader :hdrACM" + at,
                                 static_cast<int32_t>(rc),
                                 WaveOutErrText(static_cast<int32_t>(rc)));
                }
            }
            if (const MMRESULT rc = waveOutUnprepareHeader(handle, &play_.readHeaders[i]);
                rc != 0) {
                Events().Err("StopPlayProc:waveOutUnprepareHeader :hdr" + at,
                             static_cast<int32_t>(rc), WaveOutErrText(static_cast<int32_t>(rc)));
            }
        }
    }
    FreePlayBlocks();
    ClosePlayFile();
    if (handle != 0) {
        errno = 0;
        if (const MMRESULT rc = waveOutClose(handle); rc != 0) {
            Events().Err("StopPlayProc:waveOutClose", static_cast<int32_t>(rc), LastError());
        } else {
            closingOuts_.push_back(handle);
        }
        play_.device = 0;
    }
    if (acmPlayback_) {
        if (play_.stream != nullptr) {
            errno = 0;
            if (const MMRESULT rc = ACMClose(play_.stream); rc != 0) {
                Events().Err("StopPlayProc:ACMClose:ACMModeOut", static_cast<int32_t>(rc),
                             LastError());
            }
        }
        acmPlayback_ = false;
    }
    if (visOut_ != kFalse) {
        CloseVisOut();
    }
    pausedOut_ = false;
    playActive_ = false;
    return 0;
}

int32_t WaveImpl::PauseOut() {
    const MMRESULT rc = waveOutPause(play_.device);
    if (rc == MMSYSERR_NOERROR) {
        pausedOut_ = true;
    }
    return static_cast<int32_t>(rc);
}

int32_t WaveImpl::UnPauseOut() {
    const MMRESULT rc = waveOutRestart(play_.device);
    if (rc == MMSYSERR_NOERROR) {
        pausedOut_ = false;
    }
    return static_cast<int32_t>(rc);
}

// ---- Positions and seeking ----

int64_t WaveImpl::PlayFilePosition() const {
    if (play_.file == nullptr) {
        return 0;
    }
    return std::max<int64_t>(mmioSeek(play_.file, 0, SEEK_CUR), 0);
}

int32_t WaveImpl::PlayBlockAlign() const {
    const WaveFormat& format = acmPlayback_ && playActive_ ? deviceFormat_ : fileFormat_;
    return std::max<int32_t>(format.nBlockAlign, 1);
}

int64_t WaveImpl::LengthInBlocks() const {
    if (!playFileOpen_) {
        return 0;
    }
    return playDataSize_ / PlayBlockAlign();
}

int64_t WaveImpl::PlayedBlocks() const {
    if (!playFileOpen_) {
        return 0;
    }
    const int64_t fileAlign = std::max<int32_t>(fileFormat_.nBlockAlign, 1);
    MMTIME time;
    time.wType = TIME_BYTES;
    if (play_.device != 0 && waveOutGetPosition(play_.device, &time) == MMSYSERR_NOERROR &&
        time.wType == TIME_BYTES) {
        return (playStartOffset_ + time.value) / fileAlign;
    }
    return PlayFilePosition() / fileAlign;
}

int32_t WaveImpl::SliderPercent(int64_t blocks) const {
    const int64_t length = LengthInBlocks();
    if (blocks > 0) {
        if (length <= 0) {
            return 0;
        }
        blocks = RoundHalfEven(static_cast<double>(blocks) / static_cast<double>(length) * 100.0);
    }
    return blocks > 0 ? ClampToInt32(blocks) : 0;
}

int32_t WaveImpl::GetPositionSlider() {
    return SliderPercent(PlayedBlocks());
}

int32_t WaveImpl::GetPositionSliderX() {
    const int64_t align = std::max<int32_t>(deviceFormat_.nBlockAlign, 1);
    return SliderPercent(PlayFilePosition() / align);
}

int32_t WaveImpl::GetPositionSeconds() {
    if (play_.device == 0) {
        return 0;
    }
    MMTIME time;
    time.wType = TIME_SAMPLES;
    if (waveOutGetPosition(play_.device, &time) != MMSYSERR_NOERROR) {
        return 0;
    }
    if (time.wType == TIME_MS) {
        return ClampToInt32(time.value / 1000);
    }
    if (time.wType == TIME_SAMPLES) {
        const WaveFormat& format = acmPlayback_ ? deviceFormat_ : fileFormat_;
        return format.nSamplesPerSec > 0 ? ClampToInt32(time.value / format.nSamplesPerSec) : 0;
    }
    return 0;
}

int32_t WaveImpl::GetPositionSecondsX() {
    const int64_t rate = SoundBytesPerSecond(fileFormat_);
    if (!playFileOpen_ || rate <= 0) {
        return 0;
    }
    return ClampToInt32(PlayFilePosition() / rate);
}

Bool16 WaveImpl::FileSeek(int32_t& position) {
    const int64_t blocks = RoundHalfEven(static_cast<double>(position) / 100.0 *
                                         static_cast<double>(LengthInBlocks()));
    position = ClampToInt32(blocks);
    int64_t offset = blocks * PlayBlockAlign();
    // Compressed data can only be entered at the start of one of its blocks.
    offset -= offset % std::max<int32_t>(fileFormat_.nBlockAlign, 1);
    if (!playFileOpen_ || offset < 0 || offset >= playDataSize_) {
        return kFalse;
    }
    const int64_t at = mmioSeek(play_.file, playDataStart_ + offset, SEEK_SET);
    if (at < 0) {
        return kFalse;
    }
    playStartOffset_ = at;
    return kTrue;
}

Bool16 WaveImpl::FileSeekX(int32_t& secPosition) {
    if (!playFileOpen_) {
        return kFalse;
    }
    const int64_t at = mmioSeek(
        play_.file, static_cast<int64_t>(secPosition) * SoundBytesPerSecond(fileFormat_), SEEK_SET);
    if (at < 0) {
        return kFalse;
    }
    playStartOffset_ = at;
    return kTrue;
}

std::string WaveImpl::SecondsAsTimeString(int32_t& seconds) {
    const auto hours = static_cast<int64_t>(std::floor(seconds / 3600.0));
    const auto minutes = static_cast<int64_t>(std::floor(seconds / 60.0)) - 60 * hours;
    const int64_t rest = seconds % 60;
    char text[40];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(hours),
                  static_cast<long long>(minutes), static_cast<long long>(rest));
    return text;
}

int32_t WaveImpl::StartPlay(std::string& file) {
    int32_t device = WAVE_MAPPER;
    int32_t bufferSize = 800;
    Bool16 visOut = kFalse;
    return StartPlay(file, device, bufferSize, visOut);
}

int32_t WaveImpl::StartPlayACM(std::string& file, WaveFormat& playFormat) {
    int32_t device = WAVE_MAPPER;
    int32_t bufferSize = 800;
    Bool16 visOut = kFalse;
    return StartPlayACM(file, playFormat, device, bufferSize, visOut);
}

}  // namespace sonvel

// The Wave control's recording pipeline: three rotating capture buffers,
// optional conversion through the compression manager, and a WAV file that
// is kept readable while it grows.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include "audio/riff/wave_file.h"
#include "audio/wave/wave.h"

namespace sonvel {

namespace {

// "RIFF" size, "WAVE", "fmt " chunk (8 + 28), empty "fact" chunk (8), "data" header (8).
constexpr uint32_t kHeaderBytes = 64;
constexpr int64_t kRiffSizeOffset = 4;
constexpr int64_t kDataSizeOffset = 60;
constexpr uint32_t kFormatBytes = sizeof(WaveFormat);
constexpr uint32_t kMaxDataBytes = std::numeric_limits<uint32_t>::max() - kHeaderBytes;

// The operating system's word for the last failed call.
std::string LastErrorText() {
    return std::strerror(errno);
}

bool WriteLittleEndian32At(HMMIO file, int64_t offset, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return mmioSeek(file, offset, SEEK_SET) == offset && mmioWrite(file, bytes, 4) == 4;
}

}  // namespace

// ---- Starting and stopping ----

int32_t WaveImpl::StartRecord(int32_t device, const std::string& fileName, WaveFormat& waveFormatX,
                              int32_t& bufferSize, Bool16& visIn) {
    if (recording_) {
        return kWaveErrAlreadyRecording;
    }
    INOUT direction = WAVEIN;
    const int32_t accepted = CheckDeviceFormat(device, direction, waveFormatX);
    if (accepted != 0) {
        return accepted;
    }
    bufferSizeIn_ = bufferSize;
    ResetSilenceCutter();
    captureFormat_ = waveFormatX;
    if (!fileName.empty()) {
        writingFile_ = true;
        if (OpenFileIn(fileName, captureFormat_) == kFalse) {
            Events().Err("StartRecord:OpenFileIn", 0, LastErrorText());
            return 0;
        }
    }
    const MMRESULT started = StartRecording(device);
    if (started != MMSYSERR_NOERROR) {
        return started;
    }
    if (visIn != kFalse) {
        OpenVisIn();
    }
    recording_ = true;
    return 0;
}

int32_t WaveImpl::StartRecordACM(int32_t device, const std::string& fileName,
                                 WaveFormat& inputFormat, WaveFormat& codecFormat,
                                 int32_t& bufferSize, Bool16& visIn) {
    if (recording_) {
        return kWaveErrAlreadyRecording;
    }
    bufferSizeIn_ = bufferSize;
    ResetSilenceCutter();
    captureFormat_ = inputFormat;
    codecFormat_ = codecFormat;
    // A stream left by a start that failed later is replaced, not leaked.
    if (recordStream_ != nullptr) {
        ACMClose(recordStream_);
    }
    const MMRESULT opened = ACMOpen(recordStream_, captureFormat_, codecFormat_);
    if (opened != MMSYSERR_NOERROR) {
        acmRecording_ = false;
        Events().Err("StartRecordACM:ACMOpen", opened, WaveInErrText(opened));
        return opened;
    }
    acmRecording_ = true;
    if (!fileName.empty()) {
        writingFile_ = true;
        if (OpenFileIn(fileName, codecFormat_) == kFalse) {
            Events().Err("StartRecordACM:OpenFileIn", 0, LastErrorText());
            return 0;
        }
    }
    const MMRESULT started = StartRecording(device);
    if (started != MMSYSERR_NOERROR) {
        Events().Err("StartRecordACM:StartRecording", started, WaveInErrText(started));
        return started;
    }
    if (visIn != kFalse) {
        OpenVisIn();
    }
    recording_ = true;
    return 0;
}

MMRESULT WaveImpl::StartRecording(int32_t device) {
    captureActive_ = true;
    captureDevice_ = 0;
    const MMRESULT opened =
        waveInOpen(&captureDevice_, device, captureFormat_, window_, CALLBACK_WINDOW);
    if (opened != MMSYSERR_NOERROR) {
        return opened;
    }
    const size_t size = bufferSizeIn_ > 0 ? static_cast<size_t>(bufferSizeIn_) : 0;
    for (size_t i = 0; i < inBlocks_.size(); ++i) {
        inBlocks_[i].assign(size, 0);
        inHeaders_[i] = WAVEHDR{};
        inHeaders_[i].lpData = inBlocks_[i].data();
        inHeaders_[i].dwBufferLength = static_cast<uint32_t>(size);
    }
    for (size_t i = 0; i < inBlocks_.size(); ++i) {
        const MMRESULT rc = waveInPrepareHeader(captureDevice_, &inHeaders_[i]);
        if (rc != MMSYSERR_NOERROR) {
            return rc;
        }
    }
    for (size_t i = 0; i < inBlocks_.size(); ++i) {
        const MMRESULT rc = waveInAddBuffer(captureDevice_, &inHeaders_[i]);
        if (rc != MMSYSERR_NOERROR) {
            return rc;
        }
    }
    captureIndex_ = 2;
    return waveInStart(captureDevice_);
}

int32_t WaveImpl::StopRecord() {
    // Nothing below lets the message loop run, so no buffer notification is
    // handled between the reset and the end of capture.
    int32_t last = 0;
    const MMRESULT reset = waveInReset(captureDevice_);
    if (reset != MMSYSERR_NOERROR) {
        last = reset;
    }
    const MMRESULT stopped = waveInStop(captureDevice_);
    if (stopped != MMSYSERR_NOERROR) {
        last = stopped;
    }
    for (size_t i = 0; i < inBlocks_.size(); ++i) {
        if (inHeaders_[i].lpData == nullptr) {
            continue;  // never handed to a device
        }
        const MMRESULT rc = waveInUnprepareHeader(captureDevice_, &inHeaders_[i]);
        if (rc != MMSYSERR_NOERROR) {
            Events().Err("WindowProcIn:waveInUnprepareHeader", rc, WaveInErrText(rc));
        }
    }
    if (writingFile_) {
        CloseFileIn();
        writingFile_ = false;
    }
    ResetSilenceCutter();
    SetCutSilence(kFalse);
    const MMRESULT closed = waveInClose(captureDevice_);
    if (closed != MMSYSERR_NOERROR) {
        last = closed;
    }
    // The blocks go only once the device is closed: a device whose close
    // failed may still hold them.
    if (closed == MMSYSERR_NOERROR) {
        for (size_t i = 0; i < inBlocks_.size(); ++i) {
            inHeaders_[i] = WAVEHDR{};
            inBlocks_[i] = std::vector<uint8_t>();
        }
    }
    if (visIn_ != kFalse) {
        CloseVisIn();
    }
    captureActive_ = false;
    if (acmRecording_) {
        ACMClose(recordStream_);
        acmRecording_ = false;
    }
    recording_ = false;
    return last;
}

int32_t WaveImpl::PauseIn() {
    pausedIn_ = true;
    return 0;
}

int32_t WaveImpl::UnPauseIn() {
    pausedIn_ = false;
    return 0;
}

// ---- Buffer notifications ----

void WaveImpl::WindowProcIn(const Notification& notification) {
    if (notification.message == MM_WIM_CLOSE) {
        if (captureDevice_ != 0 && notification.device == captureDevice_) {
            Events().DoneRecord();
        }
        return;
    }
    if (notification.message != MM_WIM_DATA) {
        return;
    }
    if (handlingCapture_) {
        deferredCaptures_.push_back(notification);
        return;
    }
    handlingCapture_ = true;
    struct Done {
        WaveImpl* wave;
        ~Done() {
            wave->deferredCaptures_.clear();
            wave->handlingCapture_ = false;
        }
    } done{this};
    HandleCapturedBuffer(notification);
    for (size_t next = 0; next < deferredCaptures_.size(); ++next) {
        const Notification later = deferredCaptures_[next];
        HandleCapturedBuffer(later);
    }
}

void WaveImpl::HandleCapturedBuffer(const Notification& notification) {
    if (!captureActive_ || notification.device != captureDevice_ ||
        notification.header == nullptr) {
        return;
    }
    captureIndex_ = captureIndex_ == 2 ? 0 : captureIndex_ + 1;
    WAVEHDR& header = inHeaders_[static_cast<size_t>(captureIndex_)];
    const WAVEHDR& filled = *notification.header;
    header.lpData = filled.lpData;
    header.dwBufferLength = filled.dwBufferLength;
    header.dwBytesRecorded = filled.dwBytesRecorded;
    header.dwUser = filled.dwUser;
    header.dwFlags = filled.dwFlags;
    header.dwLoops = filled.dwLoops;
    const uint32_t recorded = std::min(header.dwBytesRecorded, header.dwBufferLength);
    // Every event below lets the host run, and a host may stop (or restart)
    // the recording from any of them, freeing the capture blocks: work on a
    // copy, and touch the device's buffer again only while this capture runs.
    std::vector<uint8_t> captured(header.lpData, header.lpData + recorded);
    const HWAVEIN device = captureDevice_;
    const auto stillCapturing = [this, device] {
        return captureActive_ && captureDevice_ == device;
    };

    ForwardToPreScreen(captureIndex_, captured.data(), recorded);

    if (visIn_ != kFalse && visInStream_ != nullptr) {
        std::vector<uint8_t> block;
        uint32_t length = 0;
        const MMRESULT rc = acmConverIn(visInStream_, captured.data(), recorded, block, length);
        if (rc != MMSYSERR_NOERROR) {
            Events().Err("WindowProcIn:acmConvertOut", rc, WaveOutErrText(rc));
        }
        AnalyseInput(block.data(), length);
        if (!stillCapturing()) {
            return;
        }
    }

    if (acmRecording_) {
        std::vector<uint8_t> block;
        uint32_t length = 0;
        const MMRESULT rc = acmConverIn(recordStream_, captured.data(), recorded, block, length);
        if (rc != MMSYSERR_NOERROR) {
            Events().Err("WindowProcIn:acmConvertOut", rc, WaveOutErrText(rc));
        }
        if (!stillCapturing()) {
            return;
        }
        if (!pausedIn_) {
            StoreRecorded(block.data(), length);
        }
    } else {
        StoreRecorded(captured.data(), recorded);
    }
    // At most one buffer of sound is ever missing from the header.
    SyncRecordedFile();
    if (!stillCapturing()) {
        return;
    }

    const MMRESULT unprepared = waveInUnprepareHeader(captureDevice_, &header);
    if (unprepared != MMSYSERR_NOERROR) {
        Events().Err("WindowProcIn:waveInUnprepareHeader", unprepared, WaveInErrText(unprepared));
        return;
    }
    const MMRESULT prepared = waveInPrepareHeader(captureDevice_, &header);
    if (prepared != MMSYSERR_NOERROR) {
        Events().Err("WindowProcIn:waveInPrepareHeader", prepared, WaveInErrText(prepared));
    }
    const MMRESULT added = waveInAddBuffer(captureDevice_, &header);
    if (added != MMSYSERR_NOERROR) {
        Events().Err("WindowProcIn:waveInAddBuffer", added, WaveInErrText(added));
    }
}

void WaveImpl::StoreRecorded(const uint8_t* bytes, uint32_t count) {
    if (cutSilence_ != kFalse) {
        CutSilenceStore(bytes, count);
    } else {
        WriteRecordedData(bytes, count);
    }
}

MMRESULT WaveImpl::acmConverIn(HACMSTREAM stream, uint8_t* source, uint32_t length,
                               std::vector<uint8_t>& block, uint32_t& blockLength) {
    uint32_t room = 0;
    MMRESULT code = acmStreamSize(stream, length, &room, ACM_STREAMSIZEF_SOURCE);
    if (code != MMSYSERR_NOERROR) {
        Events().Err("acmConverIn:acmStreamSize", code, WaveInErrText(code));
    }
    block.assign(room, 0);
    ACMSTREAMHEADER header;
    header.cbStruct = sizeof(ACMSTREAMHEADER);
    header.pbSrc = source;
    header.cbSrcLength = length;
    header.pbDst = block.data();
    header.cbDstLength = room;
    MMRESULT rc = acmStreamPrepareHeader(stream, &header, 0);
    if (rc != MMSYSERR_NOERROR) {
        Events().Err("acmConverIn:acmStreamPrepareHeader", rc, WaveInErrText(rc));
        code = rc;
    }
    rc = acmStreamConvert(stream, &header, ACM_STREAMCONVERTF_BLOCKALIGN);
    if (rc != MMSYSERR_NOERROR) {
        Events().Err("acmConverIn:acmStreamConvert", rc, WaveInErrText(rc));
        code = rc;
    }
    rc = acmStreamUnprepareHeader(stream, &header, 0);
    if (rc != MMSYSERR_NOERROR) {
        Events().Err("acmConverIn:acmStreamUnprepareHeader", rc, WaveInErrText(rc));
        code = rc;
    }
    // What the conversion produced, not the room asked for: a padded last
    // block would otherwise store bytes that are not sound.
    blockLength = std::min(header.cbDstLengthUsed, room);
    return code;
}

// ---- The file ----

Bool16 WaveImpl::OpenFileIn(const std::string& soundFile, WaveFormat& waveFormatX) {
    CloseFileIn();
    fileIn_ = mmioOpen(soundFile.c_str(), MMIO_CREATE | MMIO_READWRITE | MMIO_ALLOCBUF);
    if (fileIn_ == nullptr) {
        return kFalse;
    }
    storedBytes_ = 0;
    durableBytes_ = 0;
    unsyncedBytes_ = 0;
    writeFailed_ = false;
    if (!WriteWaveFormatHeader(waveFormatX)) {
        // A header that could not be written leaves nothing to append to.
        writeFailed_ = true;
    }
    return kTrue;
}

bool WaveImpl::WriteWaveFormatHeader(const WaveFormat& format) {
    const auto fail = [this](const char* function, int32_t code) {
        const std::string reason = LastErrorText();
        mmioClose(fileIn_);
        fileIn_ = nullptr;
        Events().Err(function, code, reason);
        return false;
    };
    riffChunk_ = MMCKINFO{};
    riffChunk_.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    MMRESULT rc = mmioCreateChunk(fileIn_, &riffChunk_, MMIO_CREATERIFF);
    if (rc != MMSYSERR_NOERROR) {
        return fail("WriteWaveFormatHeader:mmioCreateChunk:fmt chunk", rc);
    }
    chunkIn_ = MMCKINFO{};
    chunkIn_.ckid = mmioStringToFOURCC("fmt", 0);
    chunkIn_.cksize = kFormatBytes;
    rc = mmioCreateChunk(fileIn_, &chunkIn_, 0);
    if (rc != MMSYSERR_NOERROR) {
        return fail("WriteWaveFormatHeader:mmioCreateChunk:fmt chunk", rc);
    }
    const int32_t written = mmioWrite(fileIn_, &format, kFormatBytes);
    if (written != static_cast<int32_t>(kFormatBytes)) {
        return fail("WriteWaveFormatHeader:mmioWrite:Write format", written);
    }
    rc = mmioAscend(fileIn_, &chunkIn_, 0);
    if (rc != MMSYSERR_NOERROR) {
        return fail("WriteWaveFormatHeader:mmioAscend:Jump Riff", rc);
    }
    chunkIn_.ckid = mmioStringToFOURCC("fact", 0);
    chunkIn_.cksize = kFormatBytes;
    rc = mmioCreateChunk(fileIn_, &chunkIn_, 0);
    if (rc != MMSYSERR_NOERROR) {
        return fail("WriteWaveFormatHeader:mmioCreateChunk:FACT", rc);
    }
    rc = mmioAscend(fileIn_, &chunkIn_, 0);
    if (rc != MMSYSERR_NOERROR) {
        return fail("WriteWaveFormatHeader:mmioAscend:Jump Riff", rc);
    }
    chunkIn_.ckid = mmioStringToFOURCC("data", 0);
    chunkIn_.cksize = 0;
    rc = mmioCreateChunk(fileIn_, &chunkIn_, 0);
    if (rc != MMSYSERR_NOERROR) {
        return fail("WriteWaveFormatHeader:mmioCreateChunk:Data Chunk", rc);
    }
    return true;
}

void WaveImpl::WriteRecordedData(const uint8_t* bytes, uint32_t count) {
    if (fileIn_ == nullptr || writeFailed_ || count == 0 || bytes == nullptr) {
        return;
    }
    // The sizes must still fit the header's 32-bit fields.
    if (count > kMaxDataBytes - storedBytes_) {
        writeFailed_ = true;
        return;
    }
    const int32_t written = mmioWrite(fileIn_, bytes, static_cast<int32_t>(count));
    if (written != static_cast<int32_t>(count)) {
        // Not reported; nothing more is written, so the header never claims
        // bytes after a hole.
        writeFailed_ = true;
        return;
    }
    storedBytes_ += count;
    unsyncedBytes_ += count;
    const WaveFormat& stored = acmRecording_ ? codecFormat_ : captureFormat_;
    const uint32_t second = static_cast<uint32_t>(std::max<int32_t>(stored.nAvgBytesPerSec, 1));
    if (unsyncedBytes_ >= second) {
        SyncRecordedFile();
    }
}

void WaveImpl::SyncRecordedFile() {
    if (fileIn_ == nullptr || writeFailed_ || storedBytes_ == durableBytes_) {
        return;
    }
    // Sound first, then the sizes that claim it: a process killed between
    // the two leaves a header that claims less, never more.
    if (mmioFlush(fileIn_) != MMSYSERR_NOERROR) {
        writeFailed_ = true;
        return;
    }
    durableBytes_ = storedBytes_;
    unsyncedBytes_ = 0;
    const bool written =
        WriteLittleEndian32At(fileIn_, kRiffSizeOffset, kHeaderBytes - 8 + durableBytes_) &&
        WriteLittleEndian32At(fileIn_, kDataSizeOffset, durableBytes_) &&
        mmioFlush(fileIn_) == MMSYSERR_NOERROR;
    const int64_t end = int64_t{kHeaderBytes} + durableBytes_;
    if (!written || mmioSeek(fileIn_, end, SEEK_SET) != end) {
        writeFailed_ = true;
    }
}

void WaveImpl::CloseFileIn() {
    if (fileIn_ == nullptr) {
        return;
    }
    if (writeFailed_) {
        // The chunk ends where the last sound that reached the disk ends.
        mmioSeek(fileIn_, int64_t{kHeaderBytes} + durableBytes_, SEEK_SET);
    }
    mmioAscend(fileIn_, &chunkIn_, 0);
    mmioAscend(fileIn_, &riffChunk_, 0);
    mmioClose(fileIn_);
    fileIn_ = nullptr;
}

// ---- The methods' short forms ----

int32_t WaveImpl::StartRecord(int32_t device, const std::string& fileName,
                              WaveFormat& waveFormatX) {
    int32_t bufferSize = 8000;
    Bool16 visIn = kFalse;
    return StartRecord(device, fileName, waveFormatX, bufferSize, visIn);
}

int32_t WaveImpl::StartRecordACM(int32_t device, const std::string& fileName,
                                 WaveFormat& inputFormat, WaveFormat& codecFormat) {
    int32_t bufferSize = 8000;
    Bool16 visIn = kFalse;
    return StartRecordACM(device, fileName, inputFormat, codecFormat, bufferSize, visIn);
}

}  // namespace sonvel

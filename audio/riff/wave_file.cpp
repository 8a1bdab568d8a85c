#include "audio/riff/wave_file.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <limits>

#include "audio/base/block_rate.h"

namespace sonvel {
namespace {

// The format record is copied as it lies in the file.
static_assert(std::endian::native == std::endian::little);

constexpr int64_t kMaxChunkEnd = std::numeric_limits<uint32_t>::max();

bool FormatIsUsable(const WaveFormat& format) {
    return format.nChannels > 0 && format.nSamplesPerSec > 0 && format.nAvgBytesPerSec > 0 &&
           format.nBlockAlign > 0;
}

}  // namespace

MMRESULT ReadWaveHeader(HMMIO file, WaveFileInfo* info) {
    if (info == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    *info = WaveFileInfo{};
    const int64_t fileSize = mmioSeek(file, 0, SEEK_END);
    const auto fail = [info](WaveFilePart part, MMRESULT rc) {
        info->failedPart = part;
        return rc;
    };
    if (fileSize < 0 || mmioSeek(file, 0, SEEK_SET) != 0) {
        return fail(WaveFilePart::kFile, MMSYSERR_INVALHANDLE);
    }

    MMCKINFO riff;
    riff.fccType = FOURCC_WAVE;
    if (const MMRESULT rc = mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF); rc != 0) {
        return fail(WaveFilePart::kRiffForm, rc);
    }
    // Streamed and half-written files carry a RIFF size of 0, of
    // 0xFFFFFFFF or of an earlier length: walk to the end of the file.
    MMCKINFO form = riff;
    const int64_t formEnd = std::min(
        std::max(static_cast<int64_t>(riff.dwDataOffset) + riff.cksize, fileSize), kMaxChunkEnd);
    form.cksize = static_cast<uint32_t>(formEnd - riff.dwDataOffset);

    MMCKINFO format;
    MMCKINFO data;
    bool haveFormat = false;
    bool haveData = false;
    bool haveFact = false;
    int64_t at = static_cast<int64_t>(riff.dwDataOffset) + 4;
    for (;;) {
        if (mmioSeek(file, at, SEEK_SET) != at) {
            return fail(WaveFilePart::kChunkList, MMIOERR_CANNOTSEEK);
        }
        MMCKINFO ck;
        const MMRESULT rc = mmioDescend(file, &ck, &form, 0);
        if (rc == MMIOERR_CHUNKNOTFOUND) {
            break;
        }
        if (rc != 0) {
            return fail(WaveFilePart::kChunkList, rc);
        }
        if (ck.ckid == FOURCC_FMT && !haveFormat) {
            format = ck;
            haveFormat = true;
        } else if (ck.ckid == FOURCC_DATA && !haveData) {
            data = ck;
            haveData = true;
        } else if (ck.ckid == FOURCC_FACT && !haveFact) {
            haveFact = true;
            uint32_t samples = 0;
            if (ck.cksize >= 4 && mmioRead(file, &samples, 4) == 4) {
                info->hasFactSamples = true;
                info->factSamples = samples;
            }
        }
        if (const MMRESULT ascended = mmioAscend(file, &ck, 0); ascended != 0) {
            return fail(WaveFilePart::kChunkList, ascended);
        }
        at = mmioSeek(file, 0, SEEK_CUR);
    }

    if (!haveFormat) {
        return fail(WaveFilePart::kFormatChunk, MMIOERR_CHUNKNOTFOUND);
    }
    info->formatChunkSize = format.cksize;
    if (format.cksize < kMinFormatChunkSize) {
        return fail(WaveFilePart::kFormatChunk, WAVERR_BADFORMAT);
    }
    const int32_t wanted =
        static_cast<int32_t>(std::min<uint32_t>(format.cksize, sizeof(WaveFormat)));
    uint8_t bytes[sizeof(WaveFormat)] = {};
    if (mmioSeek(file, format.dwDataOffset, SEEK_SET) != format.dwDataOffset ||
        mmioRead(file, bytes, wanted) != wanted) {
        return fail(WaveFilePart::kFormatChunk, MMIOERR_CANNOTREAD);
    }
    std::memcpy(&info->format, bytes, sizeof(WaveFormat));
    if (!FormatIsUsable(info->format)) {
        return fail(WaveFilePart::kFormatChunk, WAVERR_BADFORMAT);
    }

    if (!haveData) {
        return fail(WaveFilePart::kDataChunk, MMIOERR_CHUNKNOTFOUND);
    }
    info->dataOffset = data.dwDataOffset;
    info->dataSizeStored = data.cksize;
    const int64_t held = std::max<int64_t>(fileSize - data.dwDataOffset, 0);
    info->dataSize = static_cast<uint32_t>(std::min<int64_t>(data.cksize, held));
    if (FramesPerBlock(info->format) > 1) {
        info->secondsLength = static_cast<uint32_t>(
            SoundFrames(info->format, info->dataSize, info->hasFactSamples, info->factSamples) /
            static_cast<uint32_t>(info->format.nSamplesPerSec));
    } else {
        info->secondsLength = info->dataSize / static_cast<uint32_t>(info->format.nAvgBytesPerSec);
    }
    if (mmioSeek(file, data.dwDataOffset, SEEK_SET) != data.dwDataOffset) {
        return fail(WaveFilePart::kDataChunk, MMIOERR_CANNOTSEEK);
    }
    return MMSYSERR_NOERROR;
}

MMRESULT OpenWaveFile(const char* path, HMMIO* file, WaveFileInfo* info) {
    if (file == nullptr || info == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    *file = nullptr;
    MMRESULT rc = MMSYSERR_NOERROR;
    HMMIO opened = mmioOpen(path, MMIO_READ | MMIO_ALLOCBUF | MMIO_DENYWRITE, &rc);
    if (opened == nullptr) {
        *info = WaveFileInfo{};
        info->failedPart = WaveFilePart::kFile;
        return rc;
    }
    rc = ReadWaveHeader(opened, info);
    if (rc != MMSYSERR_NOERROR) {
        mmioClose(opened);
        return rc;
    }
    *file = opened;
    return MMSYSERR_NOERROR;
}

MMRESULT GetWaveFileInfo(const char* path, WaveFileInfo* info) {
    HMMIO file = nullptr;
    const MMRESULT rc = OpenWaveFile(path, &file, info);
    if (rc == MMSYSERR_NOERROR) {
        mmioClose(file);
    }
    return rc;
}

uint64_t WaveFileFrames(const WaveFileInfo& info) {
    const WaveFormat& f = info.format;
    const uint32_t perBlock = FramesPerBlock(f);
    const auto blockAlign = static_cast<uint32_t>(f.nBlockAlign);
    if (perBlock == 0) {
        return std::numeric_limits<uint64_t>::max();
    }
    uint64_t frames = uint64_t{info.dataSize} / blockAlign * perBlock;
    if (perBlock == 1) {
        return frames;
    }
    const uint32_t tail = info.dataSize % blockAlign;
    const auto channels = static_cast<uint32_t>(f.nChannels);
    if (f.wFormatTag == WAVE_FORMAT_ADPCM && tail >= 4 * channels) {
        frames += (tail - 4 * channels) * 2 / channels + 1;
    }
    if (info.hasFactSamples && info.factSamples <= frames) {
        frames = info.factSamples;
    }
    return frames;
}

}  // namespace sonvel

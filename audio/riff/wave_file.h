#pragma once
// Reads the header of a WAV file for playback and for the file details
// query: the format, where the sound data lies and how long it lasts.
// Chunks are walked, never expected at fixed offsets, and nothing a file
// claims is trusted beyond what the file holds.
//
// Results (also listed with the test fixtures in tests/data/audio/wav/):
//   MMSYSERR_NOERROR       the header is usable.
//   MMIOERR_* of mmioOpen  the file cannot be opened (OpenWaveFile only).
//   MMIOERR_CHUNKNOTFOUND  no RIFF "WAVE" form, no "fmt " or no "data" chunk
//                          (also: a file cut before those headers, or a
//                          chunk size that skips past them).
//   MMIOERR_CANNOTREAD     the file ends inside the "fmt " chunk, or a read
//                          fails.
//   WAVERR_BADFORMAT       a "fmt " chunk shorter than 16 bytes, or zero or
//                          negative nChannels, nSamplesPerSec,
//                          nAvgBytesPerSec or nBlockAlign (sizes and lengths
//                          are divided by them).
//   MMSYSERR_INVALHANDLE / MMSYSERR_INVALPARAM  misuse.

#include <cstdint>

#include "audio/base/mm_result.h"
#include "audio/base/wave_format.h"
#include "audio/riff/mmio.h"

namespace sonvel {

inline constexpr FOURCC FOURCC_WAVE = mmioFOURCC('W', 'A', 'V', 'E');
inline constexpr FOURCC FOURCC_FMT = mmioFOURCC('f', 'm', 't', ' ');
inline constexpr FOURCC FOURCC_FACT = mmioFOURCC('f', 'a', 'c', 't');
inline constexpr FOURCC FOURCC_DATA = mmioFOURCC('d', 'a', 't', 'a');

// The format chunk is read as far as a WaveFormat reaches; the rest of a
// longer chunk is skipped, a shorter one leaves the remaining fields zero.
inline constexpr uint32_t kMinFormatChunkSize = 16;

// The part of the file a failed read stopped at, so that a caller can name
// what is wrong (playback's Err texts).
enum class WaveFilePart {
    kNone,         // nothing failed
    kFile,         // the file cannot be opened or positioned
    kRiffForm,     // no RIFF "WAVE" form at the start
    kChunkList,    // a chunk header cannot be read or skipped
    kFormatChunk,  // no "fmt " chunk, or it cannot be read or is unusable
    kDataChunk,    // no "data" chunk
};

struct WaveFileInfo {
    WaveFormat format;
    uint32_t formatChunkSize = 0;  // as stored in the file
    uint32_t dataOffset = 0;       // file offset of the first sound byte
    // Bytes of sound: the data chunk's size, cut to what the file holds
    // (streamed files claim 0xFFFFFFFF, broken ones more than they have).
    uint32_t dataSize = 0;
    uint32_t dataSizeStored = 0;  // the data chunk's size as stored
    // Sample count of a "fact" chunk of at least four bytes (the recorder's
    // own empty "fact" chunk does not count).
    bool hasFactSamples = false;
    uint32_t factSamples = 0;
    // Whole seconds: block codecs by whole blocks times the samples each
    // holds (or the "fact" count, if smaller), others dataSize /
    // nAvgBytesPerSec.
    uint32_t secondsLength = 0;
    WaveFilePart failedPart = WaveFilePart::kNone;
};

// Reads the header from the start of an open file and leaves the position
// at the first sound byte. The "fmt " and "data" chunks may come in either
// order and anywhere among other chunks. The RIFF size is not trusted: the
// chunks are walked to the end of the file.
MMRESULT ReadWaveHeader(HMMIO file, WaveFileInfo* info);

// Opens path for reading (buffered) and reads the header. On success
// *file is open at the first sound byte and the caller closes it; on
// failure *file is nullptr.
MMRESULT OpenWaveFile(const char* path, HMMIO* file, WaveFileInfo* info);

// The header of path, file closed again.
MMRESULT GetWaveFileInfo(const char* path, WaveFileInfo* info);

// Sample frames the sound holds, as far as its format says: the "fact"
// count when it has one that fits, else its blocks (a cut IMA block counts
// the samples it still holds). UINT64_MAX for a format whose blocks are not
// known.
uint64_t WaveFileFrames(const WaveFileInfo& info);

}  // namespace sonvel

#pragma once
// Buffered RIFF file service over POSIX files, shaped like the platform's
// mmio calls the engine was designed around: open, read, write, seek, and
// walking RIFF chunks (descend, ascend, create). Handles are opaque ids that
// are never reused, so a closed or made-up handle is refused, not followed.
// One handle belongs to one thread at a time.

#include <cstdint>

#include "audio/base/mm_result.h"

namespace sonvel {

struct MmioHandle;  // never defined: a handle is only an id
using HMMIO = MmioHandle*;
using FOURCC = uint32_t;

// mmioOpen flags (the platform's values).
inline constexpr uint32_t MMIO_READ = 0x00000000;
inline constexpr uint32_t MMIO_WRITE = 0x00000001;
inline constexpr uint32_t MMIO_READWRITE = 0x00000002;
inline constexpr uint32_t MMIO_COMPAT = 0x00000000;
inline constexpr uint32_t MMIO_EXCLUSIVE = 0x00000010;
inline constexpr uint32_t MMIO_DENYWRITE = 0x00000020;
inline constexpr uint32_t MMIO_DENYREAD = 0x00000030;
inline constexpr uint32_t MMIO_DENYNONE = 0x00000040;
inline constexpr uint32_t MMIO_CREATE = 0x00001000;
inline constexpr uint32_t MMIO_ALLOCBUF = 0x00010000;

// Descend, ascend and create-chunk flags.
inline constexpr uint32_t MMIO_FINDCHUNK = 0x0010;
inline constexpr uint32_t MMIO_FINDRIFF = 0x0020;
inline constexpr uint32_t MMIO_FINDLIST = 0x0040;
inline constexpr uint32_t MMIO_CREATERIFF = 0x0020;
inline constexpr uint32_t MMIO_CREATELIST = 0x0040;
// MMCKINFO::dwFlags: the chunk was created or written; ascending fixes its size.
inline constexpr uint32_t MMIO_DIRTY = 0x10000000;
// mmioStringToFOURCC flag.
inline constexpr uint32_t MMIO_TOUPPER = 0x0010;

// Bytes of the buffer that MMIO_ALLOCBUF gives a file.
inline constexpr int32_t MMIO_DEFAULTBUFFER = 8192;

constexpr FOURCC mmioFOURCC(char a, char b, char c, char d) {
    return static_cast<FOURCC>(static_cast<uint8_t>(a)) |
           (static_cast<FOURCC>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<FOURCC>(static_cast<uint8_t>(c)) << 16) |
           (static_cast<FOURCC>(static_cast<uint8_t>(d)) << 24);
}

inline constexpr FOURCC FOURCC_RIFF = mmioFOURCC('R', 'I', 'F', 'F');
inline constexpr FOURCC FOURCC_LIST = mmioFOURCC('L', 'I', 'S', 'T');

// A chunk as the descend, ascend and create calls see it. For "RIFF" and
// "LIST" chunks dwDataOffset is the file offset of the form type.
struct MMCKINFO {
    FOURCC ckid = 0;
    uint32_t cksize = 0;
    FOURCC fccType = 0;
    uint32_t dwDataOffset = 0;
    uint32_t dwFlags = 0;
};

// Up to four characters, padded with blanks ("fmt" gives "fmt ").
FOURCC mmioStringToFOURCC(const char* text, uint32_t flags);

// Returns nullptr on failure and, when error is given, the reason
// (MMIOERR_FILENOTFOUND, MMIOERR_PATHNOTFOUND, MMIOERR_ACCESSDENIED,
// MMIOERR_TOOMANYOPENFILES, MMIOERR_CANNOTOPEN, MMIOERR_INVALIDFILE for
// something that is not a regular file, MMSYSERR_INVALFLAG,
// MMSYSERR_INVALPARAM). MMIO_CREATE creates or empties the file. A file
// opened to be created or written is never reached through a symbolic link
// (MMIOERR_INVALIDFILE; the link and what it points to stay as they are).
// The share flags are accepted and not enforced.
HMMIO mmioOpen(const char* path, uint32_t flags, MMRESULT* error = nullptr);

// Writes out the buffer and closes; the handle is gone even when the
// result is MMIOERR_CANNOTWRITE (buffer could not be written) or
// MMIOERR_CANNOTCLOSE.
MMRESULT mmioClose(HMMIO handle, uint32_t flags = 0);

// Bytes read (0 at the end of the file) or -1.
int32_t mmioRead(HMMIO handle, void* buffer, int32_t count);

// Bytes written or -1.
int32_t mmioWrite(HMMIO handle, const void* buffer, int32_t count);

// origin is SEEK_SET, SEEK_CUR or SEEK_END. Returns the new position, or -1
// (position unchanged) for a bad origin, a position before the start or an
// invalid handle. Seeking past the end is allowed; a later write fills the
// gap with zeros.
int64_t mmioSeek(HMMIO handle, int64_t offset, int origin);

// Writes the buffer to the file.
MMRESULT mmioFlush(HMMIO handle);

// flags 0: enter the chunk at the current position. MMIO_FINDCHUNK: the
// next chunk with ck->ckid. MMIO_FINDRIFF / MMIO_FINDLIST: the next "RIFF" /
// "LIST" chunk whose form type is ck->fccType (0 takes any). A search stays
// inside parent when one is given and returns MMIOERR_CHUNKNOTFOUND at its
// end or at the end of the file. On success the position is the first byte
// of the chunk's data (after the form type of "RIFF" and "LIST").
MMRESULT mmioDescend(HMMIO handle, MMCKINFO* ck, const MMCKINFO* parent, uint32_t flags);

// Leaves the chunk: for a chunk marked MMIO_DIRTY the size becomes the
// current position minus dwDataOffset and is written into the header, and
// an odd size gets one zero pad byte; then the position moves past the
// chunk and its pad byte.
MMRESULT mmioAscend(HMMIO handle, MMCKINFO* ck, uint32_t flags = 0);

// Writes a chunk header at the current position (MMIO_CREATERIFF /
// MMIO_CREATELIST set the id and also write ck->fccType) and marks the chunk
// MMIO_DIRTY, so that mmioAscend stores its real size.
MMRESULT mmioCreateChunk(HMMIO handle, MMCKINFO* ck, uint32_t flags);

}  // namespace sonvel

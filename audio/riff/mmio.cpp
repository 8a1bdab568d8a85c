#include "audio/riff/mmio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace sonvel {
namespace {

constexpr uint32_t kAccessMask = 0x3;
constexpr uint32_t kShareMask = 0x70;
constexpr uint32_t kKnownOpenFlags = kAccessMask | kShareMask | MMIO_CREATE | MMIO_ALLOCBUF;
constexpr int64_t kMaxPosition = std::numeric_limits<int64_t>::max() / 2;

class MmioFile {
  public:
    MmioFile(int fd, bool readable, bool writable, bool buffered)
        : fd_(fd), readable_(readable), writable_(writable) {
        if (buffered) {
            buffer_.resize(MMIO_DEFAULTBUFFER);
        }
    }
    MmioFile(const MmioFile&) = delete;
    MmioFile& operator=(const MmioFile&) = delete;
    // A handle left open at exit still gets its buffered bytes written.
    ~MmioFile() {
        if (fd_ >= 0) {
            Flush();
            ::close(fd_);
        }
    }

    MMRESULT Close() {
        const bool flushed = Flush();
        const int rc = ::close(fd_);
        fd_ = -1;
        if (!flushed) {
            return MMIOERR_CANNOTWRITE;
        }
        return rc == 0 ? MMSYSERR_NOERROR : MMIOERR_CANNOTCLOSE;
    }

    bool writable() const { return writable_; }
    int64_t position() const { return pos_; }

    int32_t Read(uint8_t* out, int32_t count) {
        if (!readable_) {
            return -1;
        }
        int32_t done = 0;
        while (done < count) {
            const int32_t part = buffer_.empty() ? ReadDirect(out + done, count - done)
                                                 : ReadBuffered(out + done, count - done);
            if (part < 0) {
                return done > 0 ? done : -1;
            }
            if (part == 0) {
                break;
            }
            done += part;
        }
        return done;
    }

    int32_t Write(const uint8_t* in, int32_t count) {
        if (!writable_ || pos_ > kMaxPosition - count) {
            return -1;
        }
        int32_t done = 0;
        while (done < count) {
            const int32_t part = buffer_.empty() ? WriteDirect(in + done, count - done)
                                                 : WriteBuffered(in + done, count - done);
            if (part <= 0) {
                return done > 0 ? done : -1;
            }
            done += part;
        }
        return done;
    }

    int64_t Seek(int64_t offset, int origin) {
        int64_t base = 0;
        if (origin == SEEK_SET) {
            base = 0;
        } else if (origin == SEEK_CUR) {
            base = pos_;
        } else if (origin == SEEK_END) {
            const int64_t size = Size();
            if (size < 0) {
                return -1;
            }
            base = size;
        } else {
            return -1;
        }
        if (offset > kMaxPosition - base || base + offset < 0) {
            return -1;
        }
        pos_ = base + offset;
        return pos_;
    }

    // The file's size including bytes still in the buffer.
    int64_t Size() const {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) {
            return -1;
        }
        int64_t size = st.st_size;
        if (dirty_ && bufferStart_ + static_cast<int64_t>(bufferLength_) > size) {
            size = bufferStart_ + static_cast<int64_t>(bufferLength_);
        }
        return size;
    }

    bool Flush() {
        if (!dirty_) {
            return true;
        }
        size_t written = 0;
        while (written < bufferLength_) {
            const ssize_t rc = ::pwrite(fd_, buffer_.data() + written, bufferLength_ - written,
                                        bufferStart_ + static_cast<int64_t>(written));
            if (rc < 0 && errno == EINTR) {
                continue;
            }
            if (rc <= 0) {
                return false;
            }
            written += static_cast<size_t>(rc);
        }
        dirty_ = false;
        return true;
    }

  private:
    bool InBuffer(int64_t at) const {
        return at >= bufferStart_ && at < bufferStart_ + static_cast<int64_t>(bufferLength_);
    }

    // Fills the buffer with the file's bytes from pos_ on. False on a
    // failed flush or read.
    bool Refill() {
        if (!Flush()) {
            return false;
        }
        bufferStart_ = pos_;
        bufferLength_ = 0;
        if (!readable_) {
            return true;
        }
        for (;;) {
            const ssize_t rc = ::pread(fd_, buffer_.data(), buffer_.size(), pos_);
            if (rc < 0 && errno == EINTR) {
                continue;
            }
            if (rc < 0) {
                return false;
            }
            bufferLength_ = static_cast<size_t>(rc);
            return true;
        }
    }

    int32_t ReadDirect(uint8_t* out, int32_t count) {
        for (;;) {
            const ssize_t rc = ::pread(fd_, out, static_cast<size_t>(count), pos_);
            if (rc < 0 && errno == EINTR) {
                continue;
            }
            if (rc < 0) {
                return -1;
            }
            pos_ += rc;
            return static_cast<int32_t>(rc);
        }
    }

    int32_t ReadBuffered(uint8_t* out, int32_t count) {
        if (!InBuffer(pos_)) {
            // Large reads skip the buffer, once what it holds is on disk.
            if (count >= static_cast<int32_t>(buffer_.size())) {
                if (!Flush()) {
                    return -1;
                }
                return ReadDirect(out, count);
            }
            if (!Refill()) {
                return -1;
            }
            if (bufferLength_ == 0) {
                return 0;
            }
        }
        const size_t offset = static_cast<size_t>(pos_ - bufferStart_);
        const size_t part = std::min(static_cast<size_t>(count), bufferLength_ - offset);
        std::memcpy(out, buffer_.data() + offset, part);
        pos_ += static_cast<int64_t>(part);
        return static_cast<int32_t>(part);
    }

    int32_t WriteDirect(const uint8_t* in, int32_t count) {
        for (;;) {
            const ssize_t rc = ::pwrite(fd_, in, static_cast<size_t>(count), pos_);
            if (rc < 0 && errno == EINTR) {
                continue;
            }
            if (rc <= 0) {
                return -1;
            }
            pos_ += rc;
            return static_cast<int32_t>(rc);
        }
    }

    int32_t WriteBuffered(const uint8_t* in, int32_t count) {
        // The buffer holds one run of bytes without gaps, so a write may only
        // start inside it or right at its end.
        const int64_t bufferEnd = bufferStart_ + static_cast<int64_t>(bufferLength_);
        if (pos_ < bufferStart_ || pos_ > bufferEnd ||
            pos_ - bufferStart_ >= static_cast<int64_t>(buffer_.size())) {
            if (!Refill()) {
                return -1;
            }
        }
        const size_t offset = static_cast<size_t>(pos_ - bufferStart_);
        const size_t part = std::min(static_cast<size_t>(count), buffer_.size() - offset);
        std::memcpy(buffer_.data() + offset, in, part);
        bufferLength_ = std::max(bufferLength_, offset + part);
        dirty_ = true;
        pos_ += static_cast<int64_t>(part);
        return static_cast<int32_t>(part);
    }

    int fd_;
    bool readable_;
    bool writable_;
    int64_t pos_ = 0;
    std::vector<uint8_t> buffer_;  // empty: unbuffered
    int64_t bufferStart_ = 0;
    size_t bufferLength_ = 0;
    bool dirty_ = false;
};

class HandleTable {
  public:
    HMMIO Add(std::unique_ptr<MmioFile> file) {
        const std::lock_guard lock(mutex_);
        const uintptr_t id = ++lastId_;
        files_.emplace(id, std::move(file));
        return reinterpret_cast<HMMIO>(id);
    }

    MmioFile* Find(HMMIO handle) {
        const std::lock_guard lock(mutex_);
        const auto it = files_.find(reinterpret_cast<uintptr_t>(handle));
        return it == files_.end() ? nullptr : it->second.get();
    }

    std::unique_ptr<MmioFile> Remove(HMMIO handle) {
        const std::lock_guard lock(mutex_);
        const auto it = files_.find(reinterpret_cast<uintptr_t>(handle));
        if (it == files_.end()) {
            return nullptr;
        }
        std::unique_ptr<MmioFile> file = std::move(it->second);
        files_.erase(it);
        return file;
    }

  private:
    std::mutex mutex_;
    uintptr_t lastId_ = 0;
    std::unordered_map<uintptr_t, std::unique_ptr<MmioFile>> files_;
};

HandleTable& Handles() {
    static HandleTable table;
    return table;
}

MMRESULT OpenError(int error) {
    switch (error) {
        case ENOENT:
            return MMIOERR_FILENOTFOUND;
        case ENOTDIR:
            return MMIOERR_PATHNOTFOUND;
        case EACCES:
        case EPERM:
        case EROFS:
            return MMIOERR_ACCESSDENIED;
        case EMFILE:
        case ENFILE:
            return MMIOERR_TOOMANYOPENFILES;
        case ENOMEM:
            return MMIOERR_OUTOFMEMORY;
        default:
            return MMIOERR_CANNOTOPEN;
    }
}

bool ParentFolderExists(const char* path) {
    std::string folder(path);
    const size_t slash = folder.find_last_of('/');
    if (slash == std::string::npos) {
        return true;
    }
    folder.resize(slash == 0 ? 1 : slash);
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

MMRESULT Fail(MMRESULT* error, MMRESULT code) {
    if (error != nullptr) {
        *error = code;
    }
    return code;
}

uint32_t LittleEndian32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

void PutLittleEndian32(uint8_t* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// Chunk sizes are padded to even on disk.
int64_t PaddedSize(uint32_t size) {
    return static_cast<int64_t>(size) + (size & 1U);
}

bool WriteAt(MmioFile& file, int64_t at, const uint8_t* bytes, int32_t count) {
    return file.Seek(at, SEEK_SET) == at && file.Write(bytes, count) == count;
}

}  // namespace

FOURCC mmioStringToFOURCC(const char* text, uint32_t flags) {
    char chars[4] = {' ', ' ', ' ', ' '};
    for (int i = 0; text != nullptr && i < 4 && text[i] != '\0'; ++i) {
        char c = text[i];
        if ((flags & MMIO_TOUPPER) != 0 && c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        chars[i] = c;
    }
    return mmioFOURCC(chars[0], chars[1], chars[2], chars[3]);
}

HMMIO mmioOpen(const char* path, uint32_t flags, MMRESULT* error) {
    Fail(error, MMSYSERR_NOERROR);
    if (path == nullptr || path[0] == '\0') {
        Fail(error, MMSYSERR_INVALPARAM);
        return nullptr;
    }
    const uint32_t access = flags & kAccessMask;
    if ((flags & ~kKnownOpenFlags) != 0 || access == kAccessMask ||
        (flags & kShareMask) > MMIO_DENYNONE) {
        Fail(error, MMSYSERR_INVALFLAG);
        return nullptr;
    }
    const bool readable = access != MMIO_WRITE;
    const bool writable = access != MMIO_READ;
    int mode = access == MMIO_READ ? O_RDONLY : (access == MMIO_WRITE ? O_WRONLY : O_RDWR);
    if ((flags & MMIO_CREATE) != 0) {
        if (!writable) {
            // Creating a file nobody may write to leaves it empty; allow the
            // read handle but open it read-write to be able to empty it.
            mode = O_RDWR;
        }
        mode |= O_CREAT | O_TRUNC;
    }
    // A file opened for writing is never reached through a link: one
    // planted under a new recording's name would have the sound (or the
    // truncation) land in whatever file it points to.
    const bool noLinks = writable || (flags & MMIO_CREATE) != 0;
    if (noLinks) {
        mode |= O_NOFOLLOW;
    }
    // Non-blocking open so that a FIFO or device under a recording's name
    // cannot hang the caller; anything but a regular file is refused below.
    int fd = -1;
    do {
        fd = ::open(path, mode | O_CLOEXEC | O_NONBLOCK, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int openErrno = errno;
        if (noLinks && openErrno == ELOOP) {
            Fail(error, MMIOERR_INVALIDFILE);
            return nullptr;
        }
        Fail(error, openErrno == ENOENT && !ParentFolderExists(path) ? MMIOERR_PATHNOTFOUND
                                                                     : OpenError(openErrno));
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        Fail(error, MMIOERR_INVALIDFILE);
        return nullptr;
    }
    const int fileFlags = ::fcntl(fd, F_GETFL);
    if (fileFlags >= 0) {
        ::fcntl(fd, F_SETFL, fileFlags & ~O_NONBLOCK);
    }
    return Handles().Add(
        std::make_unique<MmioFile>(fd, readable, writable, (flags & MMIO_ALLOCBUF) != 0));
}

MMRESULT mmioClose(HMMIO handle, uint32_t /*flags*/) {
    std::unique_ptr<MmioFile> file = Handles().Remove(handle);
    if (!file) {
        return MMSYSERR_INVALHANDLE;
    }
    return file->Close();
}

int32_t mmioRead(HMMIO handle, void* buffer, int32_t count) {
    MmioFile* file = Handles().Find(handle);
    if (file == nullptr || count < 0 || (buffer == nullptr && count > 0)) {
        return -1;
    }
    return count == 0 ? 0 : file->Read(static_cast<uint8_t*>(buffer), count);
}

int32_t mmioWrite(HMMIO handle, const void* buffer, int32_t count) {
    MmioFile* file = Handles().Find(handle);
    if (file == nullptr || count < 0 || (buffer == nullptr && count > 0)) {
        return -1;
    }
    return count == 0 ? 0 : file->Write(static_cast<const uint8_t*>(buffer), count);
}

int64_t mmioSeek(HMMIO handle, int64_t offset, int origin) {
    MmioFile* file = Handles().Find(handle);
    return file == nullptr ? -1 : file->Seek(offset, origin);
}

MMRESULT mmioFlush(HMMIO handle) {
    MmioFile* file = Handles().Find(handle);
    if (file == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    return file->Flush() ? MMSYSERR_NOERROR : MMIOERR_CANNOTWRITE;
}

MMRESULT mmioDescend(HMMIO handle, MMCKINFO* ck, const MMCKINFO* parent, uint32_t flags) {
    MmioFile* file = Handles().Find(handle);
    if (file == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (ck == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (flags != 0 && flags != MMIO_FINDCHUNK && flags != MMIO_FINDRIFF && flags != MMIO_FINDLIST) {
        return MMSYSERR_INVALFLAG;
    }
    // The parent's end, in 64 bits: a size near 2^32 must not wrap.
    const int64_t end = parent == nullptr ? std::numeric_limits<int64_t>::max()
                                          : static_cast<int64_t>(parent->dwDataOffset) +
                                                static_cast<int64_t>(parent->cksize);
    const FOURCC wantedId =
        flags == MMIO_FINDRIFF ? FOURCC_RIFF : (flags == MMIO_FINDLIST ? FOURCC_LIST : ck->ckid);
    const FOURCC wantedType = ck->fccType;
    int64_t at = file->position();
    for (;;) {
        if (at > end - 8 || at > std::numeric_limits<uint32_t>::max() - 8) {
            return MMIOERR_CHUNKNOTFOUND;
        }
        uint8_t header[12];
        if (file->Seek(at, SEEK_SET) != at) {
            return MMIOERR_CANNOTSEEK;
        }
        const int32_t got = file->Read(header, 8);
        if (got < 0) {
            return MMIOERR_CANNOTREAD;
        }
        if (got < 8) {
            return MMIOERR_CHUNKNOTFOUND;
        }
        MMCKINFO found;
        found.ckid = LittleEndian32(header);
        found.cksize = LittleEndian32(header + 4);
        found.dwDataOffset = static_cast<uint32_t>(at + 8);
        const bool hasType = found.ckid == FOURCC_RIFF || found.ckid == FOURCC_LIST;
        bool typeRead = false;
        if (hasType && at + 12 <= end) {
            typeRead = file->Read(header + 8, 4) == 4;
            if (typeRead) {
                found.fccType = LittleEndian32(header + 8);
            }
        }
        bool match = true;
        if (flags == MMIO_FINDCHUNK) {
            match = found.ckid == wantedId;
        } else if (flags == MMIO_FINDRIFF || flags == MMIO_FINDLIST) {
            match = found.ckid == wantedId && typeRead &&
                    (wantedType == 0 || found.fccType == wantedType);
        }
        if (match) {
            if (hasType && !typeRead) {
                return MMIOERR_CHUNKNOTFOUND;
            }
            *ck = found;
            const int64_t dataStart = at + (hasType ? 12 : 8);
            if (file->Seek(dataStart, SEEK_SET) != dataStart) {
                return MMIOERR_CANNOTSEEK;
            }
            return MMSYSERR_NOERROR;
        }
        at += 8 + PaddedSize(found.cksize);
    }
}

MMRESULT mmioAscend(HMMIO handle, MMCKINFO* ck, uint32_t /*flags*/) {
    MmioFile* file = Handles().Find(handle);
    if (file == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (ck == nullptr || ck->dwDataOffset < 4) {
        return MMSYSERR_INVALPARAM;
    }
    const int64_t dataOffset = ck->dwDataOffset;
    if ((ck->dwFlags & MMIO_DIRTY) != 0) {
        const int64_t end = file->position();
        const int64_t size = end - dataOffset;
        if (size < 0) {
            return MMSYSERR_INVALPARAM;
        }
        if (size > std::numeric_limits<uint32_t>::max()) {
            return MMIOERR_CANNOTWRITE;
        }
        ck->cksize = static_cast<uint32_t>(size);
        if ((ck->cksize & 1U) != 0) {
            const uint8_t pad = 0;
            if (!WriteAt(*file, end, &pad, 1)) {
                return MMIOERR_CANNOTWRITE;
            }
        }
        uint8_t sizeField[4];
        PutLittleEndian32(sizeField, ck->cksize);
        if (!WriteAt(*file, dataOffset - 4, sizeField, 4)) {
            return MMIOERR_CANNOTWRITE;
        }
        ck->dwFlags &= ~MMIO_DIRTY;
    }
    const int64_t after = dataOffset + PaddedSize(ck->cksize);
    return file->Seek(after, SEEK_SET) == after ? MMSYSERR_NOERROR : MMIOERR_CANNOTSEEK;
}

MMRESULT mmioCreateChunk(HMMIO handle, MMCKINFO* ck, uint32_t flags) {
    MmioFile* file = Handles().Find(handle);
    if (file == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (ck == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (flags != 0 && flags != MMIO_CREATERIFF && flags != MMIO_CREATELIST) {
        return MMSYSERR_INVALFLAG;
    }
    if (!file->writable()) {
        return MMIOERR_CANNOTWRITE;
    }
    if (flags == MMIO_CREATERIFF) {
        ck->ckid = FOURCC_RIFF;
    } else if (flags == MMIO_CREATELIST) {
        ck->ckid = FOURCC_LIST;
    }
    const int64_t at = file->position();
    const bool hasType = flags != 0;
    if (at > std::numeric_limits<uint32_t>::max() - 12) {
        return MMIOERR_CANNOTEXPAND;
    }
    uint8_t header[12];
    PutLittleEndian32(header, ck->ckid);
    PutLittleEndian32(header + 4, ck->cksize);
    PutLittleEndian32(header + 8, ck->fccType);
    const int32_t length = hasType ? 12 : 8;
    if (file->Write(header, length) != length) {
        file->Seek(at, SEEK_SET);
        return MMIOERR_CANNOTWRITE;
    }
    ck->dwDataOffset = static_cast<uint32_t>(at + 8);
    ck->dwFlags = MMIO_DIRTY;
    return MMSYSERR_NOERROR;
}

}  // namespace sonvel

#include "calls/recorder/wave_repair.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>

namespace orvane {
namespace {

constexpr qint64 kRiffHeaderBytes = 12;
constexpr qint64 kChunkHeaderBytes = 8;
constexpr qint64 kFormatBytesRead = 16;
constexpr qint64 kBlockAlignOffset = 12;
constexpr qint64 kBytesPerSecondOffset = 8;
// The recorder's whole header: RIFF, "fmt " (28 bytes), an empty "fact", "data".
constexpr qint64 kRecorderHeaderBytes = 64;
constexpr qint64 kMaxRiffSize = std::numeric_limits<quint32>::max();

bool ReadExactly(int fd, void* data, qint64 size, qint64 offset) {
    return ::pread(fd, data, static_cast<size_t>(size), offset) == size;
}

bool WriteSize(int fd, qint64 offset, qint64 value) {
    std::array<uchar, 4> bytes{};
    qToLittleEndian(static_cast<quint32>(value), bytes.data());
    return ::pwrite(fd, bytes.data(), bytes.size(), offset) == 4;
}

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

WaveRepair RepairWaveHeader(const QString& path) {
    WaveRepair repair;
    const Descriptor fd(
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0) {
        repair.result = errno == ELOOP ? WaveRepairResult::kNotAWave : WaveRepairResult::kFailed;
        return repair;
    }
    repair.result = WaveRepairResult::kNotAWave;
    if (!S_ISREG(info.st_mode)) {
        return repair;
    }
    const qint64 fileSize = info.st_size;
    std::array<char, kRiffHeaderBytes> riff{};
    if (fileSize < kRiffHeaderBytes) {
        repair.result = WaveRepairResult::kNoSound;  // cut before its header was whole
        return repair;
    }
    if (!ReadExactly(fd.get(), riff.data(), kRiffHeaderBytes, 0) ||
        std::memcmp(riff.data(), "RIFF", 4) != 0 || std::memcmp(riff.data() + 8, "WAVE", 4) != 0) {
        return repair;
    }
    // The chunks, walked up to the "data" chunk, whose sound runs to the end.
    qint64 blockAlign = 0;
    qint64 dataOffset = -1;
    for (qint64 at = kRiffHeaderBytes; at + kChunkHeaderBytes <= fileSize;) {
        std::array<char, kChunkHeaderBytes> chunk{};
        if (!ReadExactly(fd.get(), chunk.data(), kChunkHeaderBytes, at)) {
            break;
        }
        const qint64 size = qFromLittleEndian<quint32>(chunk.data() + 4);
        if (std::memcmp(chunk.data(), "fmt ", 4) == 0 && size >= kFormatBytesRead) {
            std::array<char, kFormatBytesRead> format{};
            if (!ReadExactly(fd.get(), format.data(), kFormatBytesRead, at + kChunkHeaderBytes)) {
                break;
            }
            repair.bytesPerSecond =
                qFromLittleEndian<qint32>(format.data() + kBytesPerSecondOffset);
            blockAlign = qFromLittleEndian<quint16>(format.data() + kBlockAlignOffset);
        } else if (std::memcmp(chunk.data(), "data", 4) == 0) {
            dataOffset = at + kChunkHeaderBytes;
            break;
        }
        at += kChunkHeaderBytes + size + (size & 1);
    }
    if (dataOffset < 0 || blockAlign <= 0 || repair.bytesPerSecond <= 0) {
        // A header cut before its "data" chunk holds no sound yet.
        if (dataOffset < 0 && fileSize <= kRecorderHeaderBytes) {
            repair.result = WaveRepairResult::kNoSound;
        }
        return repair;
    }
    qint64 data = fileSize - dataOffset;
    data = std::min(data, kMaxRiffSize - (dataOffset - kChunkHeaderBytes) - 1);
    data -= data % blockAlign;
    repair.dataBytes = data;
    if (data <= 0) {
        repair.result = WaveRepairResult::kNoSound;
        return repair;
    }
    // An odd chunk is followed by a pad byte.
    const qint64 end = dataOffset + data + (data & 1);
    const qint64 riffSize = end - kChunkHeaderBytes;
    std::array<char, 4> storedData{};
    if (!ReadExactly(fd.get(), storedData.data(), 4, dataOffset - 4)) {
        repair.result = WaveRepairResult::kFailed;
        return repair;
    }
    if (qFromLittleEndian<quint32>(riff.data() + 4) == riffSize &&
        qFromLittleEndian<quint32>(storedData.data()) == data && fileSize == end) {
        repair.result = WaveRepairResult::kWhole;
        return repair;
    }
    // Sound first (a partial block cut off, the pad added), then the sizes.
    const bool written = ::ftruncate(fd.get(), end) == 0 &&
                         WriteSize(fd.get(), dataOffset - 4, data) &&
                         WriteSize(fd.get(), 4, riffSize) && ::fdatasync(fd.get()) == 0;
    repair.result = written ? WaveRepairResult::kRepaired : WaveRepairResult::kFailed;
    return repair;
}

}  // namespace orvane

#include "calls/store/call_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cerrno>
#include <ctime>
#include <limits>
#include <span>
#include <utility>
#include <vector>

#include "core/atomic_file.h"
#include "core/trash.h"
#include "journal/journal_writer.h"

namespace orvane {
namespace {

constexpr off_t kRecordBytes = kCallRecordSize;

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&&) = delete;
    ~FileDescriptor() { Close(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // close() reports late write errors (NFS), so a rewrite checks it.
    bool Close() {
        const int fd = std::exchange(fd_, -1);
        return fd < 0 || ::close(fd) == 0;
    }

  private:
    int fd_;
};

QByteArray IndexPath(const QString& folder) {
    return QFile::encodeName(CallIndexFile(folder));
}

// Says in the journal why the index file is refused, so a list that stays
// empty or a mark that does not stick has a reason the user can find.
void ReportRefusedIndex(const QByteArray& path, const char* why) {
    WriteSysLog(QStringLiteral("The call index %1 %2: it is neither read nor written")
                    .arg(QFile::decodeName(path), QLatin1String(why)),
                0, QStringLiteral("CallStore"));
}

// Every reader and writer of the index opens it here. Never through a
// link: a link planted as "Data" would let caller-ID text reach any file
// the user can write, and reading one would show a foreign file as calls
// (and a delete would copy it into the folder). O_NONBLOCK: a FIFO in its
// place must not hang the program; anything but a regular file is refused.
FileDescriptor OpenIndex(const QByteArray& path, int flags, struct stat* info) {
    FileDescriptor fd(::open(path.constData(), flags | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW, 0666));
    if (!fd.valid()) {
        if (errno == ELOOP) {
            ReportRefusedIndex(path, "is a symbolic link");
        }
        return fd;
    }
    if (::fstat(fd.get(), info) != 0 || !S_ISREG(info->st_mode)) {
        ReportRefusedIndex(path, "is not a regular file");
        return FileDescriptor();
    }
    return fd;
}

// Whole records only: a torn tail is not a record. Numbers are 32-bit.
qint32 WholeRecords(off_t size) {
    return static_cast<qint32>(
        std::min<off_t>(size / kRecordBytes, std::numeric_limits<qint32>::max()));
}

off_t RecordOffset(qint32 number) {
    return static_cast<off_t>(number - 1) * kRecordBytes;
}

bool ReadAt(int fd, char* data, size_t size, off_t offset, size_t* got = nullptr) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, data + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (got != nullptr) {
        *got = done;
    }
    return done == size;
}

bool WriteAt(int fd, const char* data, size_t size, off_t offset) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Writes `size` bytes of `data` at the start of an existing record.
bool WriteIntoRecord(const QString& folder, qint32 number, int offsetInRecord, const char* data,
                     size_t size) {
    struct stat info {};
    const FileDescriptor fd = OpenIndex(IndexPath(folder), O_WRONLY, &info);
    if (!fd.valid() || number < 1 || number > WholeRecords(info.st_size)) {
        return false;
    }
    return WriteAt(fd.get(), data, size, RecordOffset(number) + offsetInRecord);
}

bool SetOneCharacterField(CallField field, qint32 number, const QString& folder,
                          const QString& value) {
    // The first character, whole: a surrogate pair is one character.
    const qsizetype length = !value.isEmpty() && value.front().isHighSurrogate() ? 2 : 1;
    CallRecord record;
    record.Set(field, value.left(length));
    const CallFieldLayout layout = LayoutOf(field);
    return WriteIntoRecord(folder, number, layout.offset, record.Bytes().data() + layout.offset,
                           static_cast<size_t>(layout.width));
}

// Copies bytes [from, to) of `in` to the end of `out`, in the kernel where
// the file system can (a reflink or an in-kernel copy), else through a buffer.
bool CopyRange(int in, int out, off_t from, off_t to, off_t* written) {
    off_t inOffset = from;
    while (inOffset < to) {
        off_t outOffset = *written;
        const ssize_t n = ::copy_file_range(in, &inOffset, out, &outOffset,
                                            static_cast<size_t>(to - inOffset), 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n > 0) {
            *written = outOffset;
            continue;
        }
        if (n == 0 ||
            (errno != EXDEV && errno != ENOSYS && errno != EOPNOTSUPP && errno != EINVAL)) {
            return false;  // the file shrank under us, or a real error (a full disk)
        }
        std::vector<char> buffer(1 << 20);
        while (inOffset < to) {
            const size_t piece = static_cast<size_t>(
                std::min<off_t>(to - inOffset, static_cast<off_t>(buffer.size())));
            if (!ReadAt(in, buffer.data(), piece, inOffset) ||
                !WriteAt(out, buffer.data(), piece, *written)) {
                return false;
            }
            inOffset += static_cast<off_t>(piece);
            *written += static_cast<off_t>(piece);
        }
    }
    return true;
}

// Writes a new index file beside the old one (`body` fills it from the old
// file `in`) and renames it over it, with the old file's permissions and,
// where allowed, its owner. The old file is untouched until the rename, and
// the rename is all or nothing.
bool RewriteIndex(int in, const struct stat& old, const QByteArray& target,
                  const std::function<bool(int in, int out, off_t* written)>& body) {
    const NewFileMode mode{static_cast<unsigned int>(old.st_mode & 07777), false};
    return ReplaceFileWith(QFile::decodeName(target), mode, [&](int out) {
               if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
                   // Best effort: only root may give the file back to its owner.
                   [[maybe_unused]] const int ignored = ::fchown(out, old.st_uid, old.st_gid);
               }
               off_t written = 0;
               return body(in, out, &written);
           }) == 0;
}

// The index file without the records `sorted` (ascending, unique, within
// 1..N).
bool RewriteWithout(const std::vector<qint32>& sorted, int in, const struct stat& old,
                    const QByteArray& target) {
    return RewriteIndex(in, old, target, [&](int from, int out, off_t* written) {
        // Runs of kept records between the deleted ones; a torn tail is dropped.
        off_t keptFrom = 0;
        for (const qint32 number : sorted) {
            if (!CopyRange(from, out, keptFrom, RecordOffset(number), written)) {
                return false;
            }
            keptFrom = RecordOffset(number) + kRecordBytes;
        }
        return CopyRange(from, out, keptFrom, RecordOffset(WholeRecords(old.st_size) + 1), written);
    });
}

}  // namespace

QString CallIndexFile(const QString& folder) {
    if (folder.isEmpty()) {
        return QString();  // no folder is not the current folder
    }
    return folder.endsWith(QLatin1Char('/')) ? folder + QStringLiteral("Data")
                                             : folder + QStringLiteral("/Data");
}

bool CallIndexRefused(const QString& folder) {
    struct stat info {};
    const QByteArray path = IndexPath(folder);
    return !path.isEmpty() && ::lstat(path.constData(), &info) == 0 && !S_ISREG(info.st_mode);
}

bool AppendCallRecord(const CallRecord& record, const QString& folder) {
    struct stat info {};
    const FileDescriptor fd = OpenIndex(IndexPath(folder), O_WRONLY | O_CREAT, &info);
    if (!fd.valid()) {
        return false;
    }
    // At the record boundary: a torn tail is written over, never followed.
    const off_t at = static_cast<off_t>(WholeRecords(info.st_size)) * kRecordBytes;
    if (!WriteAt(fd.get(), record.Bytes().data(), kCallRecordSize, at)) {
        // Leave whole records only, so the next append lands right.
        [[maybe_unused]] const int ignored = ::ftruncate(fd.get(), at);
        return false;
    }
    // The recording it names is on the disk already; its entry follows.
    return ::fdatasync(fd.get()) == 0;
}

bool WriteCallRecord(const CallRecord& record, const QString& folder, qint32 number) {
    return WriteIntoRecord(folder, number, 0, record.Bytes().data(), kCallRecordSize);
}

bool ReadCallRecord(CallRecord& record, const QString& folder, qint32 number) {
    struct stat info {};
    const FileDescriptor fd = OpenIndex(IndexPath(folder), O_RDONLY, &info);
    if (!fd.valid() || number < 1 || number > WholeRecords(info.st_size)) {
        return false;
    }
    std::array<char, kCallRecordSize> bytes;
    if (!ReadAt(fd.get(), bytes.data(), bytes.size(), RecordOffset(number))) {
        return false;
    }
    record = CallRecord(bytes);
    return true;
}

std::vector<CallRecord> ReadAllCallRecords(const QString& folder, bool* exists) {
    std::vector<CallRecord> records;
    records.reserve(static_cast<size_t>(CallRecordCount(folder)));
    const bool found = ForEachCallRecord(
        folder, [&records](const CallRecord& record) { records.push_back(record); });
    if (exists != nullptr) {
        *exists = found;
    }
    return records;
}

bool ForEachCallRecord(const QString& folder, const std::function<void(const CallRecord&)>& visit) {
    struct stat info {};
    const FileDescriptor fd = OpenIndex(IndexPath(folder), O_RDONLY, &info);
    if (!fd.valid()) {
        return false;
    }
    // One reused piece: fresh memory for a whole 47 MB index costs more
    // than reading it.
    const qint32 count = WholeRecords(info.st_size);
    constexpr size_t kPieceRecords = 256;
    std::vector<char> piece(kPieceRecords * kCallRecordSize);
    for (qint32 done = 0; done < count;) {
        const size_t want = std::min<size_t>(kPieceRecords, static_cast<size_t>(count - done));
        size_t got = 0;
        ReadAt(fd.get(), piece.data(), want * kCallRecordSize, RecordOffset(done + 1), &got);
        for (size_t i = 0; i < got / kCallRecordSize; ++i) {
            visit(CallRecord(std::span<const char, kCallRecordSize>(
                piece.data() + i * kCallRecordSize, kCallRecordSize)));
        }
        if (got < want * kCallRecordSize) {
            break;  // the file shrank since fstat: keep what was read whole
        }
        done += static_cast<qint32>(want);
    }
    return true;
}

qint32 CallRecordCount(const QString& folder) {
    struct stat info {};
    const FileDescriptor fd = OpenIndex(IndexPath(folder), O_RDONLY, &info);
    return fd.valid() ? WholeRecords(info.st_size) : 0;
}

bool SetReadFlag(qint32 number, const QString& folder, const QString& value) {
    return SetOneCharacterField(CallField::ReadFlag, number, folder, value);
}

bool SetUserMark(qint32 number, const QString& folder, const QString& value) {
    return SetOneCharacterField(CallField::UserMark, number, folder, value);
}

bool DeleteCallRecord(qint32 number, const QString& folder) {
    return DeleteCallRecords({number}, folder);
}

bool DeleteCallRecords(std::vector<qint32> numbers, const QString& folder) {
    if (numbers.empty()) {
        return true;
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    const QByteArray target = IndexPath(folder);
    struct stat info {};
    const FileDescriptor in = OpenIndex(target, O_RDONLY, &info);
    if (!in.valid() || numbers.front() < 1 || numbers.back() > WholeRecords(info.st_size)) {
        return false;  // numbers out of step with the file: touch nothing
    }
    return RewriteWithout(numbers, in.get(), info, target);
}

bool InsertCallRecords(const std::vector<std::pair<qint32, CallRecord>>& records,
                       const QString& folder) {
    if (records.empty()) {
        return true;
    }
    const QByteArray target = IndexPath(folder);
    struct stat info {};
    const FileDescriptor in = OpenIndex(target, O_RDONLY, &info);
    if (!in.valid()) {
        return false;
    }
    // Each number is where the record stands once those before it are in:
    // ascending, and never past the end of what is written by then.
    const qint32 kept = WholeRecords(info.st_size);
    for (size_t i = 0; i < records.size(); ++i) {
        const qint32 number = records[i].first;
        if (number < 1 || number > kept + static_cast<qint32>(i) + 1 ||
            (i > 0 && number <= records[i - 1].first)) {
            return false;
        }
    }
    return RewriteIndex(in.get(), info, target, [&](int from, int out, off_t* written) {
        off_t keptFrom = 0;
        for (const auto& [number, record] : records) {
            // The kept records that come before this one.
            const off_t upTo = keptFrom + (RecordOffset(number) - *written);
            if (!CopyRange(from, out, keptFrom, upTo, written) ||
                !WriteAt(out, record.Bytes().data(), kCallRecordSize, *written)) {
                return false;
            }
            *written += kRecordBytes;
            keptFrom = upTo;
        }
        return CopyRange(from, out, keptFrom, RecordOffset(kept + 1), written);
    });
}

bool DiscardCallFile(const QString& path) {
    // The desktop's trash, or removed where there is none; already gone
    // is done.
    return MoveToTrash(path) != TrashOutcome::kFailed;
}

}  // namespace orvane

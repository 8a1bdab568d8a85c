#include "settings/store/registry_file_io.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <ctime>

#include "core/posix_file.h"

namespace orvane::registry_io {

namespace {

// Nothing the store writes comes near this; a larger file is not a hive.
constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;
// Coarser than any file system's time stamps (FAT's are 2 s).
constexpr qint64 kStampGranularityNs = 2'000'000'000;

FileIdentity FromStat(const struct stat& info) {
    FileIdentity identity;
    identity.exists = true;
    identity.device = info.st_dev;
    identity.inode = info.st_ino;
    identity.size = info.st_size;
    identity.mtimeSeconds = info.st_mtim.tv_sec;
    identity.mtimeNanoseconds = info.st_mtim.tv_nsec;
    identity.ctimeSeconds = info.st_ctim.tv_sec;
    identity.ctimeNanoseconds = info.st_ctim.tv_nsec;
    return identity;
}

}  // namespace

FileIdentity Identify(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return {};
    }
    return FromStat(info);
}

bool MayChangeUnseen(const FileIdentity& identity) {
    if (!identity.exists) {
        return false;
    }
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const qint64 nowNs = qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    const qint64 stampNs = identity.mtimeSeconds * 1'000'000'000 + identity.mtimeNanoseconds;
    return nowNs - stampNs < kStampGranularityNs;
}

ReadResult ReadWholeFile(const QString& path, QByteArray* content, FileIdentity* identity,
                         QString* error) {
    content->clear();
    *identity = {};
    // O_NONBLOCK: a FIFO in the hive's place must not hang the program.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return ReadResult::kMissing;
        }
        *error = SystemErrorText(errno);
        return ReadResult::kFailed;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxFileSize) {
        *error = S_ISREG(info.st_mode) ? QStringLiteral("the file is too large")
                                       : QStringLiteral("not a regular file");
        ::close(fd);
        return ReadResult::kFailed;
    }
    content->reserve(info.st_size);
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 || content->size() + got > kMaxFileSize) {
            *error = got < 0 ? SystemErrorText(errno) : QStringLiteral("the file is too large");
            ::close(fd);
            content->clear();
            return ReadResult::kFailed;
        }
        if (got == 0) {
            break;
        }
        content->append(buffer, got);
    }
    ::close(fd);
    *identity = FromStat(info);
    return ReadResult::kRead;
}

bool MakeFolder(const QString& folder, unsigned int mode) {
    if (QFileInfo(folder).isDir()) {
        return true;
    }
    QDir().mkpath(QFileInfo(folder).absolutePath());
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), mode) == 0) {
        ::chmod(native.constData(), mode);  // not narrowed or widened by the umask
    }
    return QFileInfo(folder).isDir();
}

}  // namespace orvane::registry_io

#include "settings/store/registry_file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

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

// Temporaries are named "<file>.tmp-<writer's pid>-<6 characters>", so a
// later save can tell those of a writer that was killed and remove them.
constexpr std::string_view kTemporaryInfix = ".tmp-";
constexpr int kTemporarySuffixLength = 6;
constexpr int kLinkAttempts = 16;

QByteArray TemporaryPrefix(const QByteArray& target) {
    return target + QByteArray(kTemporaryInfix.data(), kTemporaryInfix.size()) +
           QByteArray::number(::getpid()) + '-';
}

QByteArray RandomSuffix() {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char random[kTemporarySuffixLength] = {};
    if (::getrandom(random, sizeof random, GRND_NONBLOCK) != sizeof random) {
        // Only uniqueness matters; a clash is retried.
        struct timespec now {};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        std::memcpy(random, &now.tv_nsec, std::min(sizeof random, sizeof now.tv_nsec));
    }
    QByteArray suffix;
    for (unsigned char byte : random) {
        suffix += kAlphabet[byte % (sizeof kAlphabet - 1)];
    }
    return suffix;
}

bool WriterIsGone(pid_t pid) {
    return pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Removes the temporaries of `target` left by writers that no longer run.
void RemoveDeadWritersTemporaries(const QByteArray& folder, const QByteArray& target) {
    const QByteArray base = QFile::encodeName(QFileInfo(QFile::decodeName(target)).fileName()) +
                            QByteArray(kTemporaryInfix.data(), kTemporaryInfix.size());
    DIR* dir = ::opendir(folder.constData());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (!name.starts_with(std::string_view(base.constData(), base.size()))) {
            continue;
        }
        // "<pid>-<suffix>"
        const std::string_view rest = name.substr(base.size());
        const size_t dash = rest.find('-');
        if (dash == 0 || dash == std::string_view::npos || dash > 9 ||
            rest.size() - dash - 1 != kTemporarySuffixLength ||
            rest.substr(0, dash).find_first_not_of("0123456789") != std::string_view::npos) {
            continue;
        }
        const pid_t pid = static_cast<pid_t>(std::stol(std::string(rest.substr(0, dash))));
        if (WriterIsGone(pid)) {
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

// An unnamed file in `folder` where the file system offers them (a crash
// while writing it leaves nothing), else a named temporary. `named` gets
// the temporary's name, or stays empty for an unnamed file.
int OpenTemporary(const QByteArray& folder, const QByteArray& target, unsigned int mode,
                  QByteArray* named) {
    const int fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd >= 0) {
        named->clear();
        return fd;
    }
    *named = TemporaryPrefix(target) + "XXXXXX";
    return ::mkostemp(named->data(), O_CLOEXEC);
}

// Gives an unnamed file a temporary name beside `target`, for the rename.
int LinkTemporary(int fd, const QByteArray& target, QByteArray* named) {
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    for (int attempt = 0; attempt < kLinkAttempts; ++attempt) {
        *named = TemporaryPrefix(target) + RandomSuffix();
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, named->constData(), AT_SYMLINK_FOLLOW) ==
            0) {
            return 0;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    const int error = errno;
    named->clear();
    return error;
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

int ReplaceFile(const QString& path, const QByteArray& content, unsigned int mode) {
    const QByteArray target = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    RemoveDeadWritersTemporaries(folder, target);
    QByteArray temporary;
    const int fd = OpenTemporary(folder, target, mode, &temporary);
    if (fd < 0) {
        return errno;
    }
    int error = 0;
    if (::fchmod(fd, mode) != 0 || !WriteAll(fd, content) || ::fsync(fd) != 0) {
        error = errno != 0 ? errno : EIO;
    }
    if (error == 0 && temporary.isEmpty()) {
        error = LinkTemporary(fd, target, &temporary);
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0) {
        error = errno;
    }
    if (error != 0) {
        if (!temporary.isEmpty()) {
            ::unlink(temporary.constData());
        }
        return error;
    }
    // The rename must reach the disk as well, or a crash can undo it.
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return 0;
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

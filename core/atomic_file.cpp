#include "core/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "core/posix_file.h"

namespace orvane {
namespace {

// Temporaries are named "<file>.tmp-<writer's pid>-<6 characters>", so a
// later replace can tell those of a writer that was killed and remove them.
constexpr std::string_view kTemporaryInfix = ".tmp-";
constexpr int kTemporarySuffixLength = 6;
constexpr int kLinkAttempts = 16;
constexpr size_t kCopyChunk = 1 << 20;

QByteArray Infix() {
    return QByteArray(kTemporaryInfix.data(), static_cast<qsizetype>(kTemporaryInfix.size()));
}

QByteArray TemporaryPrefix(const QByteArray& target) {
    return target + Infix() + QByteArray::number(::getpid()) + '-';
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
    const QByteArray base =
        QFile::encodeName(QFileInfo(QFile::decodeName(target)).fileName()) + Infix();
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
int OpenTemporary(const QByteArray& folder, const QByteArray& target, unsigned int bits,
                  QByteArray* named) {
    const int fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, bits);
    if (fd >= 0) {
        named->clear();
        return fd;
    }
    *named = TemporaryPrefix(target) + "XXXXXX";
    const int namedFd = ::mkostemp(named->data(), O_CLOEXEC);
    if (namedFd < 0) {
        named->clear();
    }
    return namedFd;
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

// The umask without changing it (umask() would, for every thread).
unsigned int ProcessUmask() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        while (!status.atEnd()) {
            const QByteArray line = status.readLine();
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const unsigned int mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok) {
                    return mask & 0777;
                }
            }
        }
    }
    return 022;
}

unsigned int BitsFor(const QByteArray& target, NewFileMode mode) {
    struct stat old {};
    if (mode.keepExisting && ::lstat(target.constData(), &old) == 0 && S_ISREG(old.st_mode)) {
        return old.st_mode & 07777;
    }
    return mode.bits;
}

CopyResult Failed(const QString& path, const QString& reason) {
    return {false, path + QStringLiteral(": ") + reason};
}

// Gives the temporary the target's name unless something is there already
// (EEXIST): renameat2 where the file system knows RENAME_NOREPLACE, else a
// hard link, else (FAT) a look before the rename.
int PublishAsNew(const QByteArray& temporary, const QByteArray& target) {
    if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, target.constData(),
                    RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        return errno;
    }
    if (::link(temporary.constData(), target.constData()) == 0) {
        ::unlink(temporary.constData());
        return 0;
    }
    if (errno == EEXIST) {
        return EEXIST;
    }
    struct stat there {};
    if (::lstat(target.constData(), &there) == 0) {
        return EEXIST;
    }
    return ::rename(temporary.constData(), target.constData()) == 0 ? 0 : errno;
}

int WriteFile(const QString& path, NewFileMode mode, const std::function<bool(int fd)>& write,
              bool replace) {
    const QByteArray target = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    RemoveDeadWritersTemporaries(folder, target);
    const unsigned int bits = BitsFor(target, mode);
    QByteArray temporary;
    const int fd = OpenTemporary(folder, target, bits, &temporary);
    if (fd < 0) {
        return errno;
    }
    int error = 0;
    errno = 0;
    // fchmod: the bits exactly, not narrowed by the umask. The bytes reach
    // the disk before the rename that publishes them: else a power cut can
    // leave the name on an empty file.
    if (::fchmod(fd, bits) != 0 || !write(fd) || ::fsync(fd) != 0) {
        error = errno != 0 ? errno : EIO;
    }
    if (error == 0 && temporary.isEmpty()) {
        error = LinkTemporary(fd, target, &temporary);
    }
    // close() reports late write errors (NFS).
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0) {
        error = replace ? (::rename(temporary.constData(), target.constData()) == 0 ? 0 : errno)
                        : PublishAsNew(temporary, target);
    }
    if (error != 0) {
        if (!temporary.isEmpty()) {
            ::unlink(temporary.constData());
        }
        return error;
    }
    // The rename must reach the disk as well, or a crash can undo it.
    SyncFolder(QFile::decodeName(folder));
    return 0;
}

}  // namespace

NewFileMode UsersFileMode() {
    return {0666 & ~ProcessUmask(), true};
}

int ReplaceFileWith(const QString& path, NewFileMode mode,
                    const std::function<bool(int fd)>& write) {
    return WriteFile(path, mode, write, true);
}

int CreateFileWith(const QString& path, NewFileMode mode,
                   const std::function<bool(int fd)>& write) {
    return WriteFile(path, mode, write, false);
}

int ReplaceFileContent(const QString& path, const QByteArray& content, NewFileMode mode) {
    return ReplaceFileWith(path, mode, [&content](int fd) { return WriteAll(fd, content); });
}

namespace {

// CopyFileUnchanged over `target`, or (`replace` false) only into a new
// file there; `taken` tells that the name was taken.
CopyResult CopyFile(const QString& source, const QString& target, bool replace, bool* taken) {
    static const QString kLinkRefused =
        QStringLiteral("is a symbolic link, not a file to copy; nothing was copied");
    static const QString kNotRegular = QStringLiteral("is not a regular file; nothing was copied");
    const QByteArray sourceName = QFile::encodeName(source);
    struct stat info {};
    if (::lstat(sourceName.constData(), &info) != 0) {
        return Failed(source, QStringLiteral("the file is missing"));
    }
    if (S_ISLNK(info.st_mode)) {
        return Failed(source, kLinkRefused);
    }
    if (!S_ISREG(info.st_mode)) {
        return Failed(source, kNotRegular);
    }
    if (replace && QFileInfo(target).isDir()) {
        return Failed(target, QStringLiteral("is a folder"));
    }
    if (replace && QFileInfo(source).canonicalFilePath() == QFileInfo(target).canonicalFilePath()) {
        return {true, {}};  // already there
    }
    // O_NOFOLLOW and the check after the open: the name may have been
    // swapped for a link or a FIFO since the lstat.
    const int in = ::open(sourceName.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (in < 0) {
        return Failed(source, errno == ELOOP ? kLinkRefused : SystemErrorText(errno));
    }
    if (::fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(in);
        return Failed(source, kNotRegular);
    }
    // The bytes there now: a journal written to meanwhile is copied as it
    // was when the copy began.
    int readError = 0;
    const auto copy = [&](int out) {
        std::vector<char> buffer(kCopyChunk);
        for (off_t left = info.st_size; left > 0;) {
            const ssize_t got =
                ::read(in, buffer.data(), std::min<size_t>(buffer.size(), size_t(left)));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                readError = got < 0 ? errno : EIO;  // a read error, or the file shrank
                errno = readError;
                return false;
            }
            if (!WriteAll(out, QByteArray::fromRawData(buffer.data(), got))) {
                return false;
            }
            left -= got;
        }
        return true;
    };
    const int error = replace ? ReplaceFileWith(target, UsersFileMode(), copy)
                              : CreateFileWith(target, UsersFileMode(), copy);
    ::close(in);
    if (readError != 0) {
        return Failed(source, SystemErrorText(readError));
    }
    if (error != 0) {
        if (taken != nullptr) {
            *taken = error == EEXIST;
        }
        return Failed(target, SystemErrorText(error));
    }
    return {true, {}};
}

}  // namespace

CopyResult CopyFileUnchanged(const QString& source, const QString& target) {
    return CopyFile(source, target, true, nullptr);
}

CopyResult CopyFileToNew(const QString& source, const QString& target, bool* taken) {
    if (taken != nullptr) {
        *taken = false;
    }
    return CopyFile(source, target, false, taken);
}

}  // namespace orvane

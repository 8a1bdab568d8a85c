#include "calls/recorder/recording_sidecar.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <array>
#include <cerrno>
#include <cstring>

#include "core/posix_file.h"

namespace orvane {
namespace {

const QString kSuffix = QStringLiteral(".call");

}  // namespace

QString SidecarName(const QString& waveName) {
    return QLatin1Char('.') + waveName + kSuffix;
}

QString WaveNameOfSidecar(const QString& sidecarName) {
    if (!sidecarName.startsWith(QLatin1Char('.')) || !sidecarName.endsWith(kSuffix) ||
        sidecarName.size() <= 1 + kSuffix.size() || sidecarName.contains(QLatin1Char('/'))) {
        return {};
    }
    return sidecarName.mid(1, sidecarName.size() - 1 - kSuffix.size());
}

QStringList SidecarNames(const QString& folder) {
    if (folder.isEmpty()) {
        return {};
    }
    QDir dir(folder);
    // Every kind of entry, links included: a planted one is reported, not
    // passed over.
    const QStringList names = dir.entryList(
        {QStringLiteral(".*") + kSuffix},
        QDir::Files | QDir::Dirs | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    QStringList sidecars;
    for (const QString& name : names) {
        if (!WaveNameOfSidecar(name).isEmpty()) {
            sidecars << name;
        }
    }
    return sidecars;
}

bool NameTaken(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 || errno != ENOENT;
}

bool WriteSidecar(const QString& path, const CallRecord& record, QString* error) {
    const QByteArray name = QFile::encodeName(path);
    const int fd =
        ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = SystemErrorText(errno);
        return false;
    }
    const QByteArray bytes(record.Bytes().data(), kCallRecordSize);
    bool ok = WriteAll(fd, bytes);
    int code = errno;
    if (ok && ::fdatasync(fd) != 0) {
        ok = false;
        code = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        ::unlink(name.constData());
        *error = SystemErrorText(code);
        return false;
    }
    // The name must survive a power cut as well as the bytes.
    SyncFolderOf(path);
    return true;
}

SidecarState ReadSidecar(const QString& path, CallRecord* record) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0) {
        return errno == ENOENT ? SidecarState::kMissing : SidecarState::kUnreadable;
    }
    if (!S_ISREG(info.st_mode)) {
        return SidecarState::kNotAFile;
    }
    // O_NOFOLLOW and O_NONBLOCK: swapped for a link or a FIFO meanwhile, it
    // is still refused without hanging.
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == ELOOP ? SidecarState::kNotAFile : SidecarState::kUnreadable;
    }
    SidecarState state = SidecarState::kRead;
    std::array<char, kCallRecordSize> bytes{};
    if (::fstat(fd, &info) != 0) {
        state = SidecarState::kUnreadable;
    } else if (!S_ISREG(info.st_mode)) {
        state = SidecarState::kNotAFile;
    } else if (info.st_size != kCallRecordSize) {
        state = SidecarState::kWrongSize;
    } else if (::pread(fd, bytes.data(), bytes.size(), 0) != kCallRecordSize) {
        state = SidecarState::kUnreadable;
    }
    ::close(fd);
    if (state == SidecarState::kRead) {
        *record = CallRecord(bytes);
    }
    return state;
}

bool RemoveSidecar(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    if (::unlink(name.constData()) != 0) {
        return errno == ENOENT;
    }
    SyncFolderOf(path);
    return true;
}

}  // namespace orvane

#include "telephony/port_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "journal/journal_writer.h"
#include "telephony/line_backend.h"

namespace orvane {
namespace {

bool ProcessAlive(qint64 pid) {
    if (pid <= 0 || pid > 0x7fffffff) {
        return false;
    }
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

QString HolderText(qint64 pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    QString name;
    if (comm.open(QIODevice::ReadOnly)) {
        name = QString::fromLocal8Bit(comm.readAll()).trimmed();
    }
    const QString id = QStringLiteral("PID %1").arg(pid);
    return name.isEmpty() ? id : name + QStringLiteral(" (") + id + QLatin1Char(')');
}

QByteArray ReadSmall(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.read(128);
}

// The live process holding `name` in one of the lock folders; stale locks
// found on the way are removed.
std::optional<qint64> LiveLockHolder(const QString& name) {
    for (const QString& folder : PortLockFolders()) {
        const QString path = folder + QLatin1Char('/') + name;
        if (!QFileInfo::exists(path)) {
            continue;
        }
        const std::optional<qint64> pid = LockPid(ReadSmall(path));
        if (pid && ProcessAlive(*pid)) {
            return pid;
        }
        // A lock without a process (a crash, ours too) or without an id.
        QFile::remove(path);
    }
    return std::nullopt;
}

// The first process found with the device open.
std::optional<qint64> ProcessWithDeviceOpen(const QString& device) {
    const QDir proc(QStringLiteral("/proc"));
    const QStringList entries = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric) {
            continue;
        }
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(entry));
        const QStringList links = fds.entryList(QDir::System | QDir::NoDotAndDotDot);
        for (const QString& link : links) {
            if (QFile::symLinkTarget(fds.filePath(link)) == device) {
                return pid;
            }
        }
    }
    return std::nullopt;
}

// Writes `path` with our id, atomically: a finished file under a private
// name is linked to the lock's name, which fails when the lock exists.
bool WriteLock(const QString& path) {
    const QByteArray temporary =
        QFile::encodeName(path + QStringLiteral(".%1.tmp").arg(::getpid()));
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    // HDB format: the id in ten characters and a newline.
    const QByteArray content = QByteArray::number(::getpid()).rightJustified(10, ' ') + '\n';
    const bool written = ::write(fd, content.constData(), static_cast<size_t>(content.size())) ==
                         static_cast<ssize_t>(content.size());
    ::fchmod(fd, 0644);
    ::close(fd);
    const bool linked =
        written && ::link(temporary.constData(), QFile::encodeName(path).constData()) == 0;
    ::unlink(temporary.constData());
    return linked;
}

void JournalNoLockFolderOnce() {
    static std::atomic<bool> said{false};
    if (said.exchange(true)) {
        return;
    }
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        return;
    }
    // The journal belongs to the GUI thread; the port is opened on its own.
    QMetaObject::invokeMethod(application, [] {
        WriteSysLog(QStringLiteral("No lock folder is writable (%1); the modem's port is used "
                                   "without a lock file")
                        .arg(PortLockFolders().join(QStringLiteral(", "))),
                    line_error::kNone, QStringLiteral("SerialLink_Lock"));
    });
}

}  // namespace

QStringList PortLockFolders() {
    const QString overridden = qEnvironmentVariable("ORVANE_LOCK_DIR");
    if (!overridden.isEmpty()) {
        return {overridden};
    }
    QStringList folders;
    QStringList seen;
    for (const QString& folder : {QStringLiteral("/var/lock"), QStringLiteral("/run/lock")}) {
        const QString real = QFileInfo(folder).canonicalFilePath();
        if (!real.isEmpty() && QFileInfo(real).isDir() && !seen.contains(real)) {
            seen << real;
            folders << folder;
        }
    }
    return folders;
}

QString PortLockName(const QString& devicePath) {
    QString real = QFileInfo(devicePath).canonicalFilePath();
    if (real.isEmpty()) {
        return {};
    }
    if (real.startsWith(QLatin1String("/dev/"))) {
        real = real.mid(5);
    }
    return QStringLiteral("LCK..") + real.replace(QLatin1Char('/'), QLatin1Char('_'));
}

std::optional<qint64> LockPid(const QByteArray& content) {
    const QByteArray first = content.left(content.indexOf('\n')).trimmed();
    bool ok = false;
    const qint64 pid = first.toLongLong(&ok);
    if (ok) {
        return pid > 0 ? std::optional(pid) : std::nullopt;
    }
    // Binary: the 4 bytes of an int, as old programs wrote it; text does
    // not hold the zero and control bytes an id of this size has.
    const bool binary =
        content.size() == 4 && std::any_of(content.cbegin(), content.cend(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 && c != '\n';
        });
    if (binary) {
        qint32 value = 0;
        std::memcpy(&value, content.constData(), sizeof value);
        if (value > 0) {
            return value;
        }
    }
    return std::nullopt;
}

QString PortHolder(const QString& devicePath) {
    const QString name = PortLockName(devicePath);
    if (name.isEmpty()) {
        return {};
    }
    for (const QString& folder : PortLockFolders()) {
        const std::optional<qint64> pid = LockPid(ReadSmall(folder + QLatin1Char('/') + name));
        if (pid && ProcessAlive(*pid)) {
            return HolderText(*pid);
        }
    }
    const std::optional<qint64> pid =
        ProcessWithDeviceOpen(QFileInfo(devicePath).canonicalFilePath());
    return pid ? HolderText(*pid) : QString();
}

bool PortLock::Check(const QString& devicePath) {
    Release();
    holder_.clear();
    name_ = PortLockName(devicePath);
    if (name_.isEmpty()) {
        return true;
    }
    if (const std::optional<qint64> pid = LiveLockHolder(name_)) {
        holder_ = HolderText(*pid);
        return false;
    }
    return true;
}

void PortLock::Take() {
    if (name_.isEmpty() || !written_.isEmpty()) {
        return;
    }
    for (const QString& folder : PortLockFolders()) {
        const QString path = folder + QLatin1Char('/') + name_;
        if (LockPid(ReadSmall(path)) == ::getpid()) {
            return;
        }
        if (::access(QFile::encodeName(folder).constData(), W_OK) != 0) {
            continue;
        }
        if (WriteLock(path)) {
            written_ = path;
        }
        return;
    }
    JournalNoLockFolderOnce();
}

void PortLock::Release() {
    if (!written_.isEmpty() && LockPid(ReadSmall(written_)) == ::getpid()) {
        QFile::remove(written_);
    }
    written_.clear();
}

}  // namespace orvane

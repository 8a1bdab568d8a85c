#include "core/instance_lock.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QLockFile>

#include "core/paths.h"

namespace orvane {

InstanceLock::InstanceLock(const QString& programFile) {
    const QString runtime = paths::RuntimeFolder();
    if (runtime.isEmpty()) {
        return;
    }
    QString canonical = QFileInfo(programFile).canonicalFilePath();
    if (canonical.isEmpty()) {
        canonical = QFileInfo(programFile).absoluteFilePath();
    }
    const QByteArray key =
        QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    path_ =
        runtime + QStringLiteral("/instance-") + QString::fromLatin1(key) + QStringLiteral(".lock");
}

InstanceLock::~InstanceLock() = default;

bool InstanceLock::TryAcquire() {
    if (path_.isEmpty()) {
        return true;
    }
    lock_ = std::make_unique<QLockFile>(path_);
    // A running copy holds its lock for as long as it lives; only a lock
    // whose owner process is gone is stale.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) {
        return true;
    }
    return lock_->error() != QLockFile::LockFailedError;
}

}  // namespace orvane

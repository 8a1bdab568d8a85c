#pragma once
// Tells whether another copy of the program, started from the same program
// file, is running. The lock is held for the life of this object and freed
// by the kernel if the process dies, so a crashed copy never blocks the
// next start.

#include <QString>
#include <memory>

class QLockFile;

namespace orvane {

class InstanceLock {
  public:
    // `programFile` is the executable; copies started from different program
    // folders do not exclude each other.
    explicit InstanceLock(const QString& programFile);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // True when this process now holds the lock; false when another copy
    // holds it. Without a safe runtime folder the test cannot be made and
    // the start is allowed.
    bool TryAcquire();

    QString LockPath() const { return path_; }

  private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
};

}  // namespace orvane

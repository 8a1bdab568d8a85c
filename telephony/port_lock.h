#pragma once
// UUCP lock files for serial ports: the old agreement between programs that
// share a modem (getty, fax, minicom) that one of them talks to it at a
// time. A lock "LCK..ttyACM0" in the lock folder holds the process id of the
// port's user; a lock whose process is gone is stale and may be taken.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

namespace orvane {

// Where locks are looked for: ORVANE_LOCK_DIR when set (tests), else
// /var/lock and /run/lock where they exist, each folder once.
QStringList PortLockFolders();

// The lock's file name for a device: the real device node (links such as
// /dev/serial/by-id/ names resolved), below /dev with '/' as '_':
// "LCK..ttyACM0", "LCK..pts_3". Empty when the device does not exist.
QString PortLockName(const QString& devicePath);

// The process id a lock holds: ASCII (HDB, with or without padding and
// further lines) or a 4-byte binary id of old programs. Nothing when the
// content holds no id.
std::optional<qint64> LockPid(const QByteArray& content);

// Who holds a port: "minicom (PID 1234)", "PID 1234" when the name cannot
// be read, or empty when nobody is found. Lock files first, then the open
// files of every process this user may see.
QString PortHolder(const QString& devicePath);

// Our lock on one port, taken before the port is opened and given up
// after it is closed.
class PortLock {
  public:
    PortLock() = default;
    ~PortLock() { Release(); }
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;

    // False when a live process holds the port's lock (Holder() names
    // it). A stale lock is removed. True too when no lock folder is
    // writable: the port is then used without a lock.
    bool Check(const QString& devicePath);
    // Writes our lock after the port is open, unless one with our id is
    // there already (the serial port class may have written it).
    void Take();
    // Removes the lock we wrote.
    void Release();

    QString Holder() const { return holder_; }

  private:
    QString name_;
    QString written_;  // the lock file we wrote
    QString holder_;
};

}  // namespace orvane

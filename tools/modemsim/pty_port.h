#pragma once
// The emulator's serial port: a pseudo-terminal whose slave side the client
// opens like a modem's tty. Knows whether a client has the port open, keeps
// it exclusive while one does, and makes a symbolic link to it on request.
//
// What Linux does, checked on 6.x kernels (and relied on here):
// - A fresh master reports nothing while its slave has never been opened;
//   only after a slave open and close does poll() give POLLHUP (and read()
//   EIO) while no slave is open. So Open() opens and closes the slave once.
// - Bytes written to the master while no slave is open wait in the slave's
//   input and reach the next client; a flush from the master side does not
//   remove them, a TCIFLUSH on a slave descriptor does.
// - Bytes the client has not read are lost when the master is closed.
// - TIOCEXCL must be set on a slave descriptor (on the master it marks the
//   master). It outlives the last close of the slave, and while it is set a
//   process without CAP_SYS_ADMIN cannot open the slave again, not even
//   through TIOCGPTPEER, so nobody but root could clear it after the client
//   left. The port therefore keeps a read-only slave descriptor of its own
//   (the "guard") while a client is connected and clears the flag through
//   it. With the guard open the master never sees POLLHUP; the client's
//   leaving shows as an inotify IN_CLOSE_WRITE on the slave node (the guard
//   is read-only, so its own closes are IN_CLOSE_NOWRITE), which is then
//   verified by closing the guard and looking for POLLHUP.
// - Root (CAP_SYS_ADMIN) is not stopped by TIOCEXCL. A real serial driver
//   also takes a UUCP lock file (/var/lock/LCK..ttyS0); the emulator does
//   not, and clients must not rely on one.
// Clients that set TIOCEXCL themselves (Qt SerialPort does) are left to
// clear it; the emulator then watches for POLLHUP instead. Such a client can
// close and open again before the master shows anything; an open that is
// not the emulator's own, after a close, marks the new client. What was
// sent before the close is flushed then, but a client that reads at once
// can get some of it first: clients flush their input after opening.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace orvane::modemsim {

class PtyPort {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    enum class Change { None, Connected, Left };

    PtyPort() = default;
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    // Creates the pseudo-terminal (raw, 115200 8N1); false with `error`.
    bool Open(std::string& error);
    const std::string& SlavePath() const { return slavePath_; }
    int MasterFd() const { return master_; }
    // Readable when something opened or closed the slave.
    int WatchFd() const { return watch_; }

    bool ClientPresent() const { return present_; }
    // The port holds the exclusive flag itself (see above).
    bool GuardHeld() const { return guard_ >= 0; }

    // After WatchFd() was readable.
    Change OnWatchEvents(TimePoint now);
    // After POLLHUP or EIO on the master.
    Change OnHangup();
    // At NextCheck().
    Change OnCheck(TimePoint now);
    // Before input from the client is used: input right after a close is
    // from a new client.
    Change OnClientData(TimePoint now);
    std::optional<TimePoint> NextCheck() const { return checkAt_; }

    // True when the client has read all that was written; nothing when that
    // cannot be seen (no guard).
    std::optional<bool> ClientCaughtUp() const;
    // Bytes written that the client has not read yet (0 when unknown).
    std::size_t ClientUnread() const;

    // Non-blocking reads and writes on the master: bytes moved, 0 when it
    // would block, -1 when the client is gone (EIO) or on another error.
    ssize_t Read(void* buffer, std::size_t size);
    ssize_t Write(const void* buffer, std::size_t size);

    // Messages about the port since the last call (for the transcript).
    std::vector<std::string> TakeNotes();

  private:
    bool MasterHangup() const;
    Change CheckArrival();
    Change CheckDeparture(TimePoint now);
    Change Replaced();
    bool Leaving(TimePoint now) const;
    void OpenGuard();
    void CloseGuard();
    void Departed();
    void MakeRaw();

    int master_ = -1;
    int watch_ = -1;
    int guard_ = -1;
    std::string slavePath_;
    bool present_ = false;
    std::optional<TimePoint> checkAt_;
    int checksLeft_ = 0;
    std::optional<TimePoint> leavingUntil_;  // a client closed; another may follow
    int ownOpens_ = 0;                       // our own opens of the slave since the watch was read
    std::vector<std::string> notes_;
};

// A symbolic link to the port, made at start and removed at exit.
class PortLink {
  public:
    PortLink() = default;
    ~PortLink() { Remove(); }
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

    // Makes `path` point to `target`, replacing a symbolic link that is
    // there; anything else at `path` is left alone and refused.
    bool Create(const std::string& path, const std::string& target, std::string& error);
    // Removes the link if it still points to our target.
    void Remove();

  private:
    std::string path_;
    std::string target_;
};

}  // namespace orvane::modemsim

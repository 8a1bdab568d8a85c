#include "tools/modemsim/pty_port.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace orvane::modemsim {
namespace {

using namespace std::chrono_literals;

// The inotify close event comes before the kernel has finished closing the
// client's descriptor, so a departure that does not show yet is looked at
// again a little later.
constexpr std::chrono::milliseconds kRecheckDelays[] = {20ms, 100ms, 500ms};
// How long after a client's close an open or input is taken for the next
// client rather than for another descriptor of the same one.
constexpr auto kLeavingWindow = 1s;

std::string ErrnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

PtyPort::~PtyPort() {
    CloseGuard();
    if (watch_ >= 0) {
        ::close(watch_);
    }
    if (master_ >= 0) {
        ::close(master_);
    }
}

bool PtyPort::Open(std::string& error) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        error = ErrnoText("cannot create a pseudo-terminal");
        return false;
    }
    std::array<char, PATH_MAX> name{};
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name.data(), name.size()) != 0) {
        error = ErrnoText("cannot set up the pseudo-terminal");
        return false;
    }
    slavePath_ = name.data();
    const int flags = ::fcntl(master_, F_GETFL);
    if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = ErrnoText("cannot make the pseudo-terminal non-blocking");
        return false;
    }
    MakeRaw();

    // Until the slave has been opened once the master shows no hang-up, and
    // a client could not be told from no client.
    const int probe = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (probe < 0) {
        error = ErrnoText(("cannot open " + slavePath_).c_str());
        return false;
    }
    ::close(probe);
    if (!MasterHangup()) {
        error = "the pseudo-terminal does not report a missing client";
        return false;
    }

    watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_ < 0 || ::inotify_add_watch(watch_, slavePath_.c_str(),
                                          IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        error = ErrnoText(("cannot watch " + slavePath_).c_str());
        return false;
    }
    return true;
}

void PtyPort::MakeRaw() {
    // Settings made on the master apply to the slave side. No echo: what
    // the emulator writes must never come back to it as input.
    termios settings{};
    if (::tcgetattr(master_, &settings) != 0) {
        return;
    }
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&settings, B115200);
    ::cfsetospeed(&settings, B115200);
    ::tcsetattr(master_, TCSANOW, &settings);
}

bool PtyPort::MasterHangup() const {
    pollfd entry{master_, POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & POLLHUP) != 0;
}

PtyPort::Change PtyPort::OnWatchEvents(TimePoint now) {
    bool clientClosed = false;
    bool overflow = false;
    int opens = 0;
    alignas(inotify_event) char buffer[4096];
    while (true) {
        const ssize_t length = ::read(watch_, buffer, sizeof buffer);
        if (length <= 0) {
            break;
        }
        for (ssize_t offset = 0; offset < length;) {
            inotify_event event;
            std::memcpy(&event, buffer + offset, sizeof event);
            if ((event.mask & IN_CLOSE_WRITE) != 0) {
                clientClosed = true;
            }
            // After an overflow nothing is known: look again.
            if ((event.mask & IN_Q_OVERFLOW) != 0) {
                overflow = true;
            }
            if ((event.mask & IN_OPEN) != 0) {
                ++opens;
            }
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
        }
    }
    // Opens beyond our own came from a client.
    const bool clientOpened = opens > ownOpens_;
    ownOpens_ = 0;

    if (!present_) {
        const Change change = CheckArrival();
        // The same batch may hold the client's close already.
        if (present_ && guard_ >= 0 && (clientClosed || overflow)) {
            checksLeft_ = static_cast<int>(std::size(kRecheckDelays));
            if (CheckDeparture(now) == Change::Left) {
                return Change::None;
            }
        }
        return change;
    }
    if (clientClosed) {
        leavingUntil_ = now + kLeavingWindow;
    }
    // A client that clears the exclusive flag as it closes (Qt does) can be
    // followed by the next one before the master ever shows a hang-up.
    if (Leaving(now) && clientOpened) {
        return Replaced();
    }
    if ((clientClosed || overflow) && guard_ >= 0) {
        checksLeft_ = static_cast<int>(std::size(kRecheckDelays));
        return CheckDeparture(now);
    }
    return Change::None;
}

bool PtyPort::Leaving(TimePoint now) const {
    return leavingUntil_ && now < *leavingUntil_;
}

PtyPort::Change PtyPort::OnClientData(TimePoint now) {
    // The client that closed cannot write any more: this is the next one.
    if (!present_ || !Leaving(now)) {
        return Change::None;
    }
    return Replaced();
}

PtyPort::Change PtyPort::Replaced() {
    leavingUntil_.reset();
    checkAt_.reset();
    // Everything waiting in the slave's input was meant for the last client.
    if (guard_ >= 0) {
        ::tcflush(guard_, TCIFLUSH);
    } else {
        const int slave = ::open(slavePath_.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (slave >= 0) {
            ++ownOpens_;
            ::tcflush(slave, TCIFLUSH);
            ::close(slave);
        }
    }
    notes_.push_back("client left and another one connected");
    return Change::Connected;
}

PtyPort::Change PtyPort::CheckArrival() {
    if (MasterHangup()) {
        return Change::None;
    }
    present_ = true;
    OpenGuard();
    notes_.push_back(guard_ >= 0 ? "client connected; the port is exclusive"
                                 : "client connected; it holds the port exclusively itself");
    return Change::Connected;
}

PtyPort::Change PtyPort::CheckDeparture(TimePoint now) {
    checkAt_.reset();
    CloseGuard();
    if (MasterHangup()) {
        Departed();
        return Change::Left;
    }
    // Still open: another descriptor closed, or the client's close has not
    // finished yet.
    OpenGuard();
    if (guard_ >= 0 && checksLeft_ > 0) {
        const std::size_t index = std::size(kRecheckDelays) - static_cast<std::size_t>(checksLeft_);
        checkAt_ = now + kRecheckDelays[index];
        --checksLeft_;
    }
    return Change::None;
}

PtyPort::Change PtyPort::OnHangup() {
    if (!present_ || guard_ >= 0) {
        return Change::None;
    }
    Departed();
    return Change::Left;
}

PtyPort::Change PtyPort::OnCheck(TimePoint now) {
    if (!checkAt_ || now < *checkAt_) {
        return Change::None;
    }
    checkAt_.reset();
    if (!present_ || guard_ < 0) {
        return Change::None;
    }
    return CheckDeparture(now);
}

void PtyPort::OpenGuard() {
    guard_ = ::open(slavePath_.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (guard_ < 0) {
        if (errno != EBUSY) {
            notes_.push_back(ErrnoText("cannot hold the port"));
        }
        return;
    }
    ++ownOpens_;
    if (::ioctl(guard_, TIOCEXCL) != 0) {
        notes_.push_back(ErrnoText("cannot make the port exclusive"));
    }
}

void PtyPort::CloseGuard() {
    if (guard_ < 0) {
        return;
    }
    ::ioctl(guard_, TIOCNXCL);
    ::close(guard_);
    guard_ = -1;
}

void PtyPort::Departed() {
    present_ = false;
    leavingUntil_.reset();
    checkAt_.reset();
    char buffer[4096];
    while (::read(master_, buffer, sizeof buffer) > 0) {
        // What the client wrote last is of no use to anyone.
    }
    // What the client did not read would reach the next client; a real
    // serial port loses it when nobody listens.
    const int slave = ::open(slavePath_.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave >= 0) {
        ++ownOpens_;
        ::tcflush(slave, TCIFLUSH);
        ::ioctl(slave, TIOCNXCL);
        ::close(slave);
    } else if (errno == EBUSY) {
        notes_.push_back(
            "the client left the port exclusive (TIOCEXCL); only root can open it until it is "
            "cleared");
    }
    MakeRaw();
    notes_.push_back("client left");
}

std::optional<bool> PtyPort::ClientCaughtUp() const {
    if (guard_ < 0) {
        return std::nullopt;
    }
    int unread = 0;
    if (::ioctl(guard_, FIONREAD, &unread) != 0) {
        return std::nullopt;
    }
    return unread == 0;
}

std::size_t PtyPort::ClientUnread() const {
    int unread = 0;
    if (guard_ < 0 || ::ioctl(guard_, FIONREAD, &unread) != 0 || unread < 0) {
        return 0;
    }
    return static_cast<std::size_t>(unread);
}

ssize_t PtyPort::Read(void* buffer, std::size_t size) {
    const ssize_t count = ::read(master_, buffer, size);
    if (count >= 0) {
        return count;
    }
    return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

ssize_t PtyPort::Write(const void* buffer, std::size_t size) {
    const ssize_t count = ::write(master_, buffer, size);
    if (count >= 0) {
        return count;
    }
    return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

std::vector<std::string> PtyPort::TakeNotes() {
    std::vector<std::string> notes;
    notes.swap(notes_);
    return notes;
}

bool PortLink::Create(const std::string& path, const std::string& target, std::string& error) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
        error = path + " exists and is not a symbolic link; it is left alone";
        return false;
    }
    // A new link under a temporary name, renamed over the old one, so the
    // path never points nowhere.
    const std::string temporary = path + ".modemsim-" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(target.c_str(), temporary.c_str()) != 0) {
        error = ErrnoText(("cannot make the link " + path).c_str());
        return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        error = ErrnoText(("cannot make the link " + path).c_str());
        ::unlink(temporary.c_str());
        return false;
    }
    path_ = path;
    target_ = target;
    return true;
}

void PortLink::Remove() {
    if (path_.empty()) {
        return;
    }
    // Another emulator may have taken the name over since.
    std::array<char, PATH_MAX> buffer{};
    const ssize_t length = ::readlink(path_.c_str(), buffer.data(), buffer.size() - 1);
    if (length >= 0 && std::string(buffer.data(), static_cast<std::size_t>(length)) == target_) {
        ::unlink(path_.c_str());
    }
    path_.clear();
}

}  // namespace orvane::modemsim

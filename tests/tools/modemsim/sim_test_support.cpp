#include "tests/tools/modemsim/sim_test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace orvane::modemsim::test {
namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<int64_t>(0, left.count()));
}

void PutLe(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

}  // namespace

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "modemsim-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
    // The tests may run the emulator as another user.
    std::filesystem::permissions(path_, std::filesystem::perms::all);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void WriteWav(const std::string& path, const std::vector<int16_t>& samples, int rate, int channels,
              int bits, int formatTag) {
    std::string data;
    for (int16_t sample : samples) {
        if (bits == 8) {
            data += static_cast<char>((sample >> 8) + 128);
        } else {
            PutLe(data, static_cast<uint16_t>(sample), 2);
        }
    }
    const uint32_t blockAlign = static_cast<uint32_t>(channels * bits / 8);
    std::string file = "RIFF";
    PutLe(file, static_cast<uint32_t>(36 + data.size()), 4);
    file += "WAVEfmt ";
    PutLe(file, 16, 4);
    PutLe(file, static_cast<uint32_t>(formatTag), 2);
    PutLe(file, static_cast<uint32_t>(channels), 2);
    PutLe(file, static_cast<uint32_t>(rate), 4);
    PutLe(file, static_cast<uint32_t>(rate) * blockAlign, 4);
    PutLe(file, blockAlign, 2);
    PutLe(file, static_cast<uint32_t>(bits), 2);
    file += "data";
    PutLe(file, static_cast<uint32_t>(data.size()), 4);
    file += data;
    std::ofstream(path, std::ios::binary) << file;
}

SimProcess::~SimProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    for (int fd : {pidFd_, out_, err_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

bool SimProcess::Start(const std::vector<std::string>& args) {
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    const char* chosen = std::getenv(kModemsimVariable);
    const std::string program = chosen != nullptr ? chosen : MODEMSIM_PATH;
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const int spawned =
        ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    out_ = outPipe[0];
    err_ = errPipe[0];
    if (spawned != 0) {
        pid_ = -1;
        return false;
    }
    pidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));

    const auto deadline = Clock::now() + kLimit;
    std::string line;
    while (line.find('\n') == std::string::npos) {
        pollfd entry{out_, POLLIN, 0};
        if (::poll(&entry, 1, RemainingMs(deadline)) <= 0) {
            return false;
        }
        char buffer[256];
        const ssize_t count = ::read(out_, buffer, sizeof buffer);
        if (count <= 0) {
            return false;  // ended before it printed the path
        }
        line.append(buffer, static_cast<std::size_t>(count));
    }
    slave_ = line.substr(0, line.find('\n'));
    return true;
}

int SimProcess::Wait(std::chrono::milliseconds limit) {
    if (pid_ <= 0) {
        return -1;
    }
    pollfd entry{pidFd_, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(limit.count())) <= 0) {
        return -1;
    }
    int status = 0;
    if (::waitpid(pid_, &status, 0) != pid_) {
        return -1;
    }
    pid_ = -1;
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return WEXITSTATUS(status);
}

void SimProcess::Signal(int signal) {
    if (pid_ > 0) {
        ::kill(pid_, signal);
    }
}

const std::string& SimProcess::errors() {
    if (err_ >= 0) {
        ::fcntl(err_, F_SETFL, O_NONBLOCK);
        char buffer[4096];
        ssize_t count = 0;
        while ((count = ::read(err_, buffer, sizeof buffer)) > 0) {
            errors_.append(buffer, static_cast<std::size_t>(count));
        }
    }
    return errors_;
}

SimClient::~SimClient() {
    Close();
}

bool SimClient::Open(const std::string& path) {
    Close();
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        return false;
    }
    termios settings{};
    ::tcgetattr(fd_, &settings);
    ::cfmakeraw(&settings);
    ::tcsetattr(fd_, TCSANOW, &settings);
    buffer_.clear();
    return true;
}

void SimClient::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void SimClient::ReleaseExclusive() {
    ::ioctl(fd_, TIOCNXCL);
}

void SimClient::DiscardInput() {
    ::tcflush(fd_, TCIFLUSH);
    buffer_.clear();
}

void SimClient::Send(const std::string& bytes) {
    std::size_t done = 0;
    const auto deadline = Clock::now() + kLimit;
    while (done < bytes.size() && Clock::now() < deadline) {
        const ssize_t count = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (count > 0) {
            done += static_cast<std::size_t>(count);
            continue;
        }
        pollfd entry{fd_, POLLOUT, 0};
        ::poll(&entry, 1, RemainingMs(deadline));
    }
}

std::string SimClient::ReadUntil(const std::function<bool(const std::string&)>& done,
                                 std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!done(buffer_)) {
        pollfd entry{fd_, POLLIN, 0};
        if (::poll(&entry, 1, RemainingMs(deadline)) <= 0) {
            break;
        }
        char chunk[8192];
        const ssize_t count = ::read(fd_, chunk, sizeof chunk);
        if (count <= 0) {
            if (count < 0 && errno == EAGAIN) {
                continue;
            }
            break;
        }
        buffer_.append(chunk, static_cast<std::size_t>(count));
    }
    std::string all;
    all.swap(buffer_);
    return all;
}

std::string SimClient::ReadUntil(const std::string& text, std::chrono::milliseconds limit) {
    std::string all = ReadUntil(
        [&text](const std::string& received) { return received.find(text) != std::string::npos; },
        limit);
    const std::size_t found = all.find(text);
    if (found != std::string::npos) {
        buffer_ = all.substr(found + text.size());
        all.resize(found + text.size());
    }
    return all;
}

std::string SimClient::TakeBuffered() {
    std::string rest;
    rest.swap(buffer_);
    return rest;
}

}  // namespace orvane::modemsim::test

#pragma once
// Helpers for modemsim's tests: a temporary folder, a WAV writer, the
// emulator as a child process and a plain POSIX client on its terminal.
// Every read has a deadline; the limit only bounds a failing run.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvane::modemsim::test {

inline constexpr std::chrono::seconds kLimit{10};

// Names another modemsim to start than the built one (a test run as
// "nobody" starts a copy it can reach).
inline constexpr const char* kModemsimVariable = "ORVANE_TEST_MODEMSIM";

class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// A PCM WAV file of `samples` (interleaved when channels > 1).
void WriteWav(const std::string& path, const std::vector<int16_t>& samples, int rate, int channels,
              int bits = 16, int formatTag = 1);

class SimProcess {
  public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts modemsim with `args` and reads the terminal's path from the
    // first line of its output. False when it exited first (see Wait()).
    bool Start(const std::vector<std::string>& args);
    const std::string& slave() const { return slave_; }
    // The rest of standard output after the first line is not read.
    // Exit status, or -1 when it did not end within the limit.
    int Wait(std::chrono::milliseconds limit = kLimit);
    void Signal(int signal);
    const std::string& errors();  // standard error so far (after Wait)

  private:
    pid_t pid_ = -1;
    int pidFd_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string slave_;
    std::string errors_;
};

class SimClient {
  public:
    SimClient() = default;
    ~SimClient();
    SimClient(const SimClient&) = delete;
    SimClient& operator=(const SimClient&) = delete;

    // Opens the terminal raw, as a serial program does. False with errno.
    bool Open(const std::string& path);
    void Close();
    // Clears TIOCEXCL before a close, as Qt's serial port does.
    void ReleaseExclusive();
    // Drops input not read yet (tcflush), as a program does after opening.
    void DiscardInput();
    bool IsOpen() const { return fd_ >= 0; }
    void Send(const std::string& bytes);
    // Reads until `done(received)` or the limit; returns all received.
    std::string ReadUntil(const std::function<bool(const std::string&)>& done,
                          std::chrono::milliseconds limit = kLimit);
    // Reads until `text` has arrived; returns all received.
    std::string ReadUntil(const std::string& text, std::chrono::milliseconds limit = kLimit);
    // Bytes that arrived after the last ReadUntil's condition was met.
    std::string TakeBuffered();

  private:
    int fd_ = -1;
    std::string buffer_;
};

}  // namespace orvane::modemsim::test

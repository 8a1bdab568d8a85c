#pragma once
// The --log transcript: one line per event, with the seconds since start
// and who spoke ("client", "modem", "line", "port", "steps"). Text is shown
// with control bytes spelt out (<DLE>, <ESC>, <00>); voice data is only
// summed up.

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

namespace orvane::modemsim {

class Transcript {
  public:
    Transcript() = default;
    ~Transcript();
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;

    // "-" writes to stderr. False with `error` when the file cannot be made.
    bool Open(const std::string& path, std::string& error);
    bool Enabled() const { return file_ != nullptr; }

    void Write(std::string_view who, std::string_view text);
    // Bytes for the client, a line each (runs of CR and LF split them).
    void WriteModemText(std::string_view bytes);

    // Control bytes spelt out, long texts shortened.
    static std::string Readable(std::string_view bytes);

  private:
    std::FILE* file_ = nullptr;
    bool ownFile_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace orvane::modemsim

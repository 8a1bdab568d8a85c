#include "tools/modemsim/transcript.h"

#include <cerrno>
#include <cstring>

namespace orvane::modemsim {
namespace {

constexpr std::size_t kMaxShown = 200;

}  // namespace

Transcript::~Transcript() {
    if (ownFile_ && file_ != nullptr) {
        std::fclose(file_);
    }
}

bool Transcript::Open(const std::string& path, std::string& error) {
    if (path == "-") {
        file_ = stderr;
        return true;
    }
    file_ = std::fopen(path.c_str(), "we");
    if (file_ == nullptr) {
        error = "cannot write the log " + path + ": " + std::strerror(errno);
        return false;
    }
    ownFile_ = true;
    return true;
}

std::string Transcript::Readable(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && i < kMaxShown; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == 0x10) {
            out += "<DLE>";
        } else if (byte == 0x03) {
            out += "<ETX>";
        } else if (byte == 0x1B) {
            out += "<ESC>";
        } else if (byte == '\r') {
            out += "<CR>";
        } else if (byte == '\n') {
            out += "<LF>";
        } else if (byte < 0x20 || byte == 0x7F) {
            out += '<';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
            out += '>';
        } else {
            out += static_cast<char>(byte);
        }
    }
    if (bytes.size() > kMaxShown) {
        out += "... (" + std::to_string(bytes.size()) + " bytes)";
    }
    return out;
}

void Transcript::Write(std::string_view who, std::string_view text) {
    if (file_ == nullptr) {
        return;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::fprintf(file_, "%9.3f %-6.*s %.*s\n", seconds, static_cast<int>(who.size()), who.data(),
                 static_cast<int>(text.size()), text.data());
    std::fflush(file_);
}

void Transcript::WriteModemText(std::string_view bytes) {
    if (file_ == nullptr) {
        return;
    }
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            end = bytes.size();
        }
        if (end > start) {
            Write("modem", Readable(bytes.substr(start, end - start)));
        }
        start = end + 1;
    }
}

}  // namespace orvane::modemsim

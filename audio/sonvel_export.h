#pragma once
// Copies of recordings to send by mail: Ogg Opus (mono speech, small) and
// FLAC (lossless, 16-bit, the recording's rate), from any WAV file the
// engine reads. The copy's tags say which call it is.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "sonvel_api.h"

namespace sonvel {

enum class ExportFormat {
    kOpus,         // Ogg Opus, 12 kb/s
    kOpusCompact,  // Ogg Opus, 8 kb/s
    kFlac,         // FLAC
};

inline constexpr int kOpusBitrate = 12000;
inline constexpr int kOpusCompactBitrate = 8000;

// Written as Vorbis comments in both formats, beside ENCODER (the engine).
struct ExportTags {
    std::string title;  // TITLE: the call, e.g. "Anna Berg - +49301234"
    std::string date;   // DATE: ISO 8601
    // Further NAME=value comments; a name is printable ASCII without '='.
    std::vector<std::pair<std::string, std::string>> more;
};

// Called between pieces with the share done (0 to 1); false stops the
// export, which then fails and leaves nothing.
using ExportProgress = std::function<bool(double done)>;

// Encodes the WAV file `in` into `out`. `out` appears whole or not at all:
// the copy is written beside it and renamed when complete, so a bad input,
// a full disk or a stop leaves neither a half file nor a temporary one. An
// existing regular file `out` is replaced (a link is written through); a
// folder, a device or the input itself is refused. Empty on success, else
// the reason, naming the file.
SONVEL_API std::string ExportRecording(const std::string& in, const std::string& out,
                                       ExportFormat format, const ExportTags& tags,
                                       const ExportProgress& progress = {});

// The file name extension of a format, without the dot: "opus" or "flac".
SONVEL_API const char* ExportExtension(ExportFormat format);

}  // namespace sonvel

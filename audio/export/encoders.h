#pragma once
// The encoders behind ExportRecording, writing into an open file. Shared
// with the sonvel tool, which keeps its own rules for the file it replaces.

#include <cstdint>
#include <string>

#include "audio/sonvel_export.h"

namespace sonvel {

// Encodes the WAV file `in` into `fd` (an empty file open for writing and
// seeking). *frames: the sample frames encoded. Empty on success, else the
// reason; the file's contents are then of no use.
std::string EncodeRecording(const std::string& in, int fd, ExportFormat format,
                            const ExportTags& tags, const ExportProgress& progress,
                            uint64_t* frames);

}  // namespace sonvel

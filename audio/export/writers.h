#pragma once
// One writer per output format: each encodes a whole PcmSource into an open
// file. Empty on success, else the reason.

#include <string>
#include <utility>
#include <vector>

#include "audio/export/pcm_source.h"
#include "audio/sonvel_export.h"

namespace sonvel {

// NAME=value comments, in order.
using Comments = std::vector<std::pair<std::string, std::string>>;

// Writes every byte to fd, through interruptions and short writes; false
// with errno set when the file takes no more.
bool WriteAll(int fd, const void* bytes, size_t count);

// Calls `progress` with the share of `source` read; false when it asks to stop.
bool ReportProgress(const PcmSource& source, const ExportProgress& progress);

// Mono Ogg Opus for speech at `bitrate` bits a second.
std::string WriteOpus(PcmSource& source, int fd, int bitrate, const Comments& comments,
                      const ExportProgress& progress);

// FLAC, 16-bit, the source's rate and channels.
std::string WriteFlac(PcmSource& source, int fd, const Comments& comments,
                      const ExportProgress& progress);

}  // namespace sonvel

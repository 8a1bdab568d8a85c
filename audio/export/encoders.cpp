#include "audio/export/encoders.h"

#include <FLAC/format.h>
#include <opus/opus.h>
#include <unistd.h>

#include <cerrno>

#include "audio/base/version.h"
#include "audio/export/pcm_source.h"
#include "audio/export/writers.h"

namespace sonvel {
namespace {

// Vorbis comment names: printable ASCII without '='.
bool ValidName(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    for (const char c : name) {
        if (c < 0x20 || c > 0x7D || c == '=') {
            return false;
        }
    }
    return true;
}

}  // namespace

bool WriteAll(int fd, const void* bytes, size_t count) {
    const auto* at = static_cast<const uint8_t*>(bytes);
    while (count > 0) {
        const ssize_t written = write(fd, at, count);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        at += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

bool ReportProgress(const PcmSource& source, const ExportProgress& progress) {
    if (!progress) {
        return true;
    }
    const uint64_t total = source.TotalFrames();
    return progress(
        total == 0 ? 1.0 : static_cast<double>(source.FramesRead()) / static_cast<double>(total));
}

std::string EncodeRecording(const std::string& in, int fd, ExportFormat format,
                            const ExportTags& tags, const ExportProgress& progress,
                            uint64_t* frames) {
    *frames = 0;
    Comments comments;
    if (!tags.title.empty()) {
        comments.emplace_back("TITLE", tags.title);
    }
    if (!tags.date.empty()) {
        comments.emplace_back("DATE", tags.date);
    }
    const bool opus = format != ExportFormat::kFlac;
    comments.emplace_back("ENCODER", std::string("Sonvel ") + EngineVersion() + " with " +
                                         (opus ? opus_get_version_string()
                                               : std::string("libFLAC ") + FLAC__VERSION_STRING));
    for (const auto& [name, value] : tags.more) {
        if (!ValidName(name)) {
            return "the tag name '" + name + "' cannot be stored";
        }
        comments.emplace_back(name, value);
    }
    PcmSource source;
    // Opus copies are for speech: one channel is enough.
    if (std::string problem = source.Open(in, opus ? 1 : 0); !problem.empty()) {
        return problem;
    }
    std::string problem;
    switch (format) {
        case ExportFormat::kOpus:
            problem = WriteOpus(source, fd, kOpusBitrate, comments, progress);
            break;
        case ExportFormat::kOpusCompact:
            problem = WriteOpus(source, fd, kOpusCompactBitrate, comments, progress);
            break;
        case ExportFormat::kFlac:
            problem = WriteFlac(source, fd, comments, progress);
            break;
    }
    *frames = source.FramesRead();
    return problem;
}

}  // namespace sonvel

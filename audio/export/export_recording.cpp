// The exported entry of export: the copy is written into a temporary file
// beside its final name and renamed only when complete.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "audio/export/encoders.h"
#include "audio/sonvel_export.h"

namespace sonvel {
namespace {

std::string Folder(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The process's file mode mask, read without changing it (umask() would,
// for a moment, for every thread).
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
        }
    }
    return 022;
}

std::string Reason(int error) {
    return std::strerror(error);
}

}  // namespace

const char* ExportExtension(ExportFormat format) {
    return format == ExportFormat::kFlac ? "flac" : "opus";
}

std::string ExportRecording(const std::string& in, const std::string& out, ExportFormat format,
                            const ExportTags& tags, const ExportProgress& progress) {
    // A link is written through: the file it names is replaced, the link stays.
    std::string target = out;
    struct stat outStat {};
    if (lstat(out.c_str(), &outStat) == 0 && S_ISLNK(outStat.st_mode)) {
        char resolved[PATH_MAX];
        if (realpath(out.c_str(), resolved) == nullptr) {
            return out + " is a link to nothing; it is left as it was";
        }
        target = resolved;
    }
    mode_t mode = 0666 & ~CurrentUmask();
    if (stat(target.c_str(), &outStat) == 0) {
        if (!S_ISREG(outStat.st_mode)) {
            return out + " is not a regular file; it is left as it was";
        }
        struct stat inStat {};
        if (stat(in.c_str(), &inStat) == 0 && inStat.st_dev == outStat.st_dev &&
            inStat.st_ino == outStat.st_ino) {
            return out + " is the recording itself; choose another name";
        }
        mode = outStat.st_mode & 07777;
    }
    std::string temp = Folder(target) + "/.sonvel-XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        return "cannot create a file in " + Folder(target) + ": " + Reason(errno);
    }
    uint64_t frames = 0;
    std::string problem = EncodeRecording(in, fd, format, tags, progress, &frames);
    if (problem.empty() && (fchmod(fd, mode) != 0 || fsync(fd) != 0)) {
        problem = Reason(errno);
    }
    if (close(fd) != 0 && problem.empty()) {
        problem = Reason(errno);
    }
    if (problem.empty() && rename(temp.c_str(), target.c_str()) != 0) {
        problem = Reason(errno);
    }
    if (!problem.empty()) {
        unlink(temp.c_str());
        // A problem with the recording already names it.
        return problem.rfind(in + ":", 0) == 0 ? problem : "cannot write " + out + ": " + problem;
    }
    return {};
}

}  // namespace sonvel

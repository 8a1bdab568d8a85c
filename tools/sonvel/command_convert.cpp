#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "audio/acm/acm.h"
#include "audio/export/encoders.h"
#include "audio/riff/mmio.h"
#include "audio/riff/wave_file.h"
#include "tools/sonvel/commands.h"

namespace sonvel::cli {
namespace {

// Source read per conversion call: a few seconds, so that memory stays the
// same whatever the file's length.
constexpr uint32_t kChunkSeconds = 4;
constexpr uint32_t kMinChunkBlocks = 16;
// Room left for the RIFF, fmt and fact headers under the 32-bit sizes.
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - 1024;

struct Options {
    std::string in;
    std::string out;
    int16_t tag = 0;
    int32_t rate = 0;  // 0: as the source
    int16_t bits = 0;  // 0: the codec's own
    // Ogg Opus or FLAC instead of a WAV file: through the engine's export.
    std::optional<ExportFormat> exportFormat;
    bool compact = false;
    ExportTags tags;
};

std::optional<ExportFormat> ExportTarget(const std::string& name) {
    if (name == "opus") {
        return ExportFormat::kOpus;
    }
    if (name == "flac") {
        return ExportFormat::kFlac;
    }
    return std::nullopt;
}

// "opus" or "flac" for an output named so, else empty.
std::string ExtensionTarget(const std::string& path) {
    const std::string extension = std::filesystem::path(path).extension().string();
    std::string lower;
    for (const char c : extension) {
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return lower == ".opus" || lower == ".flac" ? lower.substr(1) : std::string();
}

std::optional<int16_t> TargetTag(const std::string& name) {
    static constexpr struct {
        const char* name;
        int16_t tag;
    } kTargets[] = {{"pcm", WAVE_FORMAT_PCM},
                    {"mulaw", WAVE_FORMAT_MULAW},
                    {"alaw", WAVE_FORMAT_ALAW},
                    {"gsm", WAVE_FORMAT_GSM610},
                    {"ima", WAVE_FORMAT_ADPCM}};
    for (const auto& target : kTargets) {
        if (name == target.name) {
            return target.tag;
        }
    }
    return std::nullopt;
}

// The parsed options, or the usage problem in *problem.
std::optional<Options> ParseOptions(const Args& args, std::string* problem) {
    const auto split = SplitArguments(args, {"--compact"}, problem);
    if (!split) {
        return std::nullopt;
    }
    Options options;
    const std::vector<std::string>& files = split->files;
    bool haveTarget = false;
    for (const auto& [arg, value] : split->options) {
        if (arg == "--to" && ExportTarget(value)) {
            options.exportFormat = ExportTarget(value);
            haveTarget = true;
        } else if (arg == "--compact") {
            options.compact = true;
        } else if (arg == "--title") {
            options.tags.title = value;
        } else if (arg == "--date") {
            options.tags.date = value;
        } else if (arg == "--to") {
            const auto tag = TargetTag(value);
            if (!tag) {
                *problem = "unknown target format '" + value + "'";
                return std::nullopt;
            }
            options.tag = *tag;
            haveTarget = true;
        } else if (arg == "--rate") {
            const auto rate = ParseInteger(value, 1, 384000);
            if (!rate) {
                *problem = "--rate needs a sample rate from 1 to 384000, not '" + value + "'";
                return std::nullopt;
            }
            options.rate = static_cast<int32_t>(*rate);
        } else if (arg == "--bits") {
            if (value != "8" && value != "16") {
                *problem = "--bits takes 8 or 16, not '" + value + "'";
                return std::nullopt;
            }
            options.bits = static_cast<int16_t>(value == "8" ? 8 : 16);
        } else {
            *problem = "unknown option '" + arg + "'";
            return std::nullopt;
        }
    }
    if (files.size() != 2) {
        *problem = "convert needs an input and an output file";
        return std::nullopt;
    }
    // An output named .opus or .flac says its format itself.
    if (!haveTarget && !ExtensionTarget(files[1]).empty()) {
        options.exportFormat = ExportTarget(ExtensionTarget(files[1]));
        haveTarget = true;
    }
    if (!haveTarget) {
        *problem = "convert needs --to";
        return std::nullopt;
    }
    if (options.exportFormat) {
        if (options.rate != 0 || options.bits != 0) {
            *problem = "--rate and --bits are for WAV outputs; opus and flac keep the rate";
            return std::nullopt;
        }
        if (options.compact) {
            if (*options.exportFormat != ExportFormat::kOpus) {
                *problem = "--compact is for --to opus";
                return std::nullopt;
            }
            options.exportFormat = ExportFormat::kOpusCompact;
        }
    } else if (options.compact || !options.tags.title.empty() || !options.tags.date.empty()) {
        *problem = "--compact, --title and --date are for --to opus and --to flac";
        return std::nullopt;
    }
    options.in = files[0];
    options.out = files[1];
    return options;
}

// The temporary file's name, for the signal handler: an interrupted
// conversion leaves nothing behind either.
char g_tempPath[PATH_MAX] = {};

extern "C" void RemoveTempAndDie(int signal) {
    if (g_tempPath[0] != '\0') {
        unlink(g_tempPath);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// A file next to the output that becomes the output only when complete.
class TempFile {
  public:
    ~TempFile() { Discard(); }

    // A short name in `target`'s folder, so that every legal name of the
    // target itself still works. `existing`: the file it will replace, whose
    // mode and owner it takes (null: none). Empty on success, else the reason.
    std::string Create(const std::string& out, const std::string& target,
                       const struct stat* existing) {
        std::filesystem::path folder = std::filesystem::path(target).parent_path();
        if (folder.empty()) {
            folder = ".";
        }
        std::string pattern = (folder / ".sonvel-XXXXXX").string();
        if (pattern.size() >= sizeof g_tempPath) {
            return "the output path is too long";
        }
        const int fd = mkstemp(pattern.data());
        if (fd < 0) {
            return "cannot create a file in " + folder.string() + ": " + std::strerror(errno);
        }
        path_ = pattern;
        std::memcpy(g_tempPath, path_.c_str(), path_.size() + 1);
        for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
            std::signal(sig, RemoveTempAndDie);
        }
        mode_t mode = 0;
        if (existing != nullptr) {
            // A replaced file keeps its owner; where that is not allowed, it
            // is not replaced at all rather than handed to us.
            if ((existing->st_uid != geteuid() || existing->st_gid != getegid()) &&
                fchown(fd, existing->st_uid, existing->st_gid) != 0) {
                const std::string reason = std::strerror(errno);
                close(fd);
                Discard();
                return "cannot keep the owner of " + out + " (" + reason +
                       "); it is left as it was";
            }
            mode = existing->st_mode & 07777;
        } else {
            // mkstemp's 0600 would make the result private; give it the mode
            // a newly created file gets.
            const mode_t mask = umask(0);
            umask(mask);
            mode = 0666 & ~mask;
        }
        // The mode is given at the commit: a read-only one would stop us
        // writing the file now.
        mode_ = mode;
        close(fd);
        return {};
    }

    const std::string& path() const { return path_; }

    // Moves the finished file to `target`; empty on success, else the reason
    // (naming `out`, the name the user gave).
    std::string Commit(const std::string& out, const std::string& target) {
        const int fd = open(path_.c_str(), O_RDONLY);
        if (fd < 0 || fsync(fd) != 0 || fchmod(fd, mode_) != 0) {
            const std::string reason = std::strerror(errno);
            if (fd >= 0) {
                close(fd);
            }
            return "cannot write " + out + ": " + reason;
        }
        close(fd);
        if (rename(path_.c_str(), target.c_str()) != 0) {
            return "cannot create " + out + ": " + std::strerror(errno);
        }
        Forget();
        return {};
    }

    void Discard() {
        if (!path_.empty()) {
            unlink(path_.c_str());
            Forget();
        }
    }

  private:
    void Forget() {
        g_tempPath[0] = '\0';
        path_.clear();
    }

    std::string path_;
    mode_t mode_ = 0;
};

std::string Describe(const WaveFormat& format) {
    const std::string name = FormatTagName(format.wFormatTag);
    std::string text = name.empty() ? "format " + std::to_string(format.wFormatTag) : name;
    if (format.wFormatTag == WAVE_FORMAT_PCM) {
        text += " " + std::to_string(format.wBitsPerSample) + "-bit";
    }
    return text + ", " + std::to_string(format.nSamplesPerSec) + " Hz, " +
           std::to_string(format.nChannels) + (format.nChannels == 1 ? " channel" : " channels");
}

class Conversion {
  public:
    Conversion(const Options& options, std::ostream& err) : options_(options), err_(err) {}
    ~Conversion() {
        if (headerPrepared_) {
            acmStreamUnprepareHeader(stream_, &header_, 0);
        }
        if (stream_ != nullptr) {
            acmStreamClose(stream_, 0);
        }
        if (in_ != nullptr) {
            mmioClose(in_);
        }
        if (out_ != nullptr) {
            mmioClose(out_);
        }
    }
    Conversion(const Conversion&) = delete;
    Conversion& operator=(const Conversion&) = delete;

    int Run(std::ostream& out) {
        if (options_.exportFormat) {
            return RunExport(out);
        }
        if (!OpenInput() || !ChooseTarget() || !ChooseFormat() || !OpenStream()) {
            return kExitFailure;
        }
        if (const std::string problem =
                temp_.Create(options_.out, target_, replacing_ ? &replaced_ : nullptr);
            !problem.empty()) {
            return Fail(problem);
        }
        if (!WriteFile()) {
            temp_.Discard();
            return kExitFailure;
        }
        if (const std::string problem = temp_.Commit(options_.out, target_); !problem.empty()) {
            return Fail(problem);
        }
        out << options_.out << ": " << Describe(dst_) << ", " << framesOut_ << " samples, "
            << dataBytes_ << " data bytes\n";
        return kExitOk;
    }

  private:
    // Ogg Opus or FLAC through the engine's encoders, into the same kind of
    // temporary file, with the same rules for what OUT may be.
    int RunExport(std::ostream& out) {
        if (!ChooseTarget()) {
            return kExitFailure;
        }
        if (const std::string problem =
                temp_.Create(options_.out, target_, replacing_ ? &replaced_ : nullptr);
            !problem.empty()) {
            return Fail(problem);
        }
        const int fd = open(temp_.path().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0) {
            return Fail("cannot write " + options_.out + ": " + std::strerror(errno));
        }
        uint64_t frames = 0;
        std::string problem =
            EncodeRecording(options_.in, fd, *options_.exportFormat, options_.tags, {}, &frames);
        if (close(fd) != 0 && problem.empty()) {
            problem = std::strerror(errno);
        }
        if (!problem.empty()) {
            temp_.Discard();
            // A problem with the input already names it.
            return Fail(problem.rfind(options_.in + ":", 0) == 0
                            ? problem
                            : "cannot write " + options_.out + ": " + problem);
        }
        if (problem = temp_.Commit(options_.out, target_); !problem.empty()) {
            return Fail(problem);
        }
        const ExportFormat format = *options_.exportFormat;
        out << options_.out << ": "
            << (format == ExportFormat::kFlac
                    ? std::string("FLAC")
                    : "Ogg Opus " +
                          std::to_string(
                              (format == ExportFormat::kOpus ? kOpusBitrate : kOpusCompactBitrate) /
                              1000) +
                          " kb/s")
            << ", " << frames << " samples\n";
        return kExitOk;
    }

    int Fail(const std::string& message) {
        err_ << "sonvel: " << message << '\n';
        return kExitFailure;
    }
    bool Failed(const std::string& message) {
        Fail(message);
        return false;
    }

    bool OpenInput() {
        const MMRESULT result = OpenWaveFile(options_.in.c_str(), &in_, &info_);
        if (result != MMSYSERR_NOERROR) {
            return Failed(options_.in + ": cannot read the WAV file (" + ResultText(result) + ")");
        }
        return true;
    }

    // The file the result replaces: OUT, or the file a symbolic link OUT
    // names (written through, the link stays, as a shell redirection does).
    // Only a regular file the user may write is replaced, never the input.
    bool ChooseTarget() {
        target_ = options_.out;
        std::error_code error;
        if (std::filesystem::is_symlink(std::filesystem::symlink_status(options_.out, error))) {
            const auto resolved = std::filesystem::canonical(options_.out, error);
            if (error) {
                return Failed(options_.out + " is a link to nothing (" + error.message() +
                              "); it is left as it was");
            }
            target_ = resolved.string();
        }
        struct stat outStat {};
        if (stat(target_.c_str(), &outStat) != 0) {
            return true;  // a new file; its folder is checked when it is created
        }
        if (S_ISDIR(outStat.st_mode)) {
            return Failed(options_.out + " is a folder");
        }
        if (!S_ISREG(outStat.st_mode)) {
            return Failed(
                options_.out +
                " is not a regular file (a device, FIFO or socket); it is left as it was");
        }
        struct stat inStat {};
        if (stat(options_.in.c_str(), &inStat) == 0 && inStat.st_dev == outStat.st_dev &&
            inStat.st_ino == outStat.st_ino) {
            return Failed("the output file is the input file; choose another name");
        }
        // Renaming over a file needs only the folder's permission; replacing
        // it must need the file's own, as writing to it would.
        if (access(target_.c_str(), W_OK) != 0) {
            return Failed("cannot write " + options_.out + " (" + std::strerror(errno) +
                          "); it is left as it was");
        }
        replacing_ = true;
        replaced_ = outStat;
        return true;
    }

    bool ChooseFormat() {
        uint32_t flags = ACM_FORMATSUGGESTF_WFORMATTAG;
        dst_.wFormatTag = options_.tag;
        if (options_.rate != 0) {
            dst_.nSamplesPerSec = options_.rate;
            flags |= ACM_FORMATSUGGESTF_NSAMPLESPERSEC;
        }
        if (options_.bits != 0) {
            dst_.wBitsPerSample = options_.bits;
            flags |= ACM_FORMATSUGGESTF_WBITSPERSAMPLE;
        }
        const MMRESULT result = acmFormatSuggest(info_.format, &dst_, flags);
        if (result != MMSYSERR_NOERROR) {
            return Failed("cannot convert " + Describe(info_.format) + " to " +
                          FormatTagName(options_.tag) + " as asked (" + ResultText(result) + ")");
        }
        return true;
    }

    bool OpenStream() {
        MMRESULT result = acmStreamOpen(&stream_, info_.format, dst_, ACM_STREAMOPENF_NONREALTIME);
        if (result != MMSYSERR_NOERROR) {
            stream_ = nullptr;
            return Failed("cannot convert " + Describe(info_.format) + " to " + Describe(dst_) +
                          " (" + ResultText(result) + ")");
        }
        const auto srcBlock = static_cast<uint32_t>(info_.format.nBlockAlign);
        const uint64_t seconds = uint64_t{kChunkSeconds} *
                                 static_cast<uint32_t>(info_.format.nAvgBytesPerSec) / srcBlock;
        const uint64_t blocks =
            std::clamp<uint64_t>(seconds, kMinChunkBlocks, (64u << 20) / srcBlock + 1);
        source_.resize(blocks * srcBlock);
        uint32_t room = 0;
        result = acmStreamSize(stream_, static_cast<uint32_t>(source_.size()), &room,
                               ACM_STREAMSIZEF_SOURCE);
        if (result != MMSYSERR_NOERROR) {
            return Failed("cannot size the conversion (" + ResultText(result) + ")");
        }
        // Samples held back between calls come out with the next call.
        destination_.resize(room + 2 * static_cast<uint32_t>(dst_.nBlockAlign));
        header_.pbSrc = source_.data();
        header_.cbSrcLength = static_cast<uint32_t>(source_.size());
        header_.pbDst = destination_.data();
        header_.cbDstLength = static_cast<uint32_t>(destination_.size());
        result = acmStreamPrepareHeader(stream_, &header_, 0);
        if (result != MMSYSERR_NOERROR) {
            return Failed("cannot prepare the conversion (" + ResultText(result) + ")");
        }
        headerPrepared_ = true;
        return true;
    }

    bool WriteError(MMRESULT code) {
        const int saved = errno;
        return Failed("cannot write " + options_.out + " (" + ResultText(code) + ")" +
                      (saved != 0 ? std::string(": ") + std::strerror(saved) : std::string()));
    }

    bool Put(const void* bytes, uint32_t count) {
        errno = 0;
        if (mmioWrite(out_, bytes, static_cast<int32_t>(count)) != static_cast<int32_t>(count)) {
            return WriteError(MMIOERR_CANNOTWRITE);
        }
        return true;
    }

    bool WriteHeaders() {
        MMRESULT result = MMSYSERR_NOERROR;
        out_ = mmioOpen(temp_.path().c_str(), MMIO_CREATE | MMIO_WRITE | MMIO_ALLOCBUF, &result);
        if (out_ == nullptr) {
            return WriteError(result);
        }
        riff_.fccType = FOURCC_WAVE;
        if ((result = mmioCreateChunk(out_, &riff_, MMIO_CREATERIFF)) != MMSYSERR_NOERROR) {
            return WriteError(result);
        }
        const bool pcm = dst_.wFormatTag == WAVE_FORMAT_PCM;
        // PCM has the plain 16-byte record; the codecs carry cbSize and
        // their extra bytes, as other writers do.
        const uint32_t fmtSize =
            pcm ? 16
                : static_cast<uint32_t>(kWaveFormatHeaderSize) +
                      std::min<uint32_t>(static_cast<uint16_t>(dst_.cbSize), sizeof dst_.xBytes);
        MMCKINFO fmt;
        fmt.ckid = FOURCC_FMT;
        if ((result = mmioCreateChunk(out_, &fmt, 0)) != MMSYSERR_NOERROR) {
            return WriteError(result);
        }
        if (!Put(&dst_, fmtSize)) {
            return false;
        }
        if ((result = mmioAscend(out_, &fmt)) != MMSYSERR_NOERROR) {
            return WriteError(result);
        }
        if (!pcm) {
            MMCKINFO fact;
            fact.ckid = FOURCC_FACT;
            const uint32_t zero = 0;
            if ((result = mmioCreateChunk(out_, &fact, 0)) != MMSYSERR_NOERROR) {
                return WriteError(result);
            }
            factOffset_ = mmioSeek(out_, 0, SEEK_CUR);
            if (!Put(&zero, 4)) {
                return false;
            }
            if ((result = mmioAscend(out_, &fact)) != MMSYSERR_NOERROR) {
                return WriteError(result);
            }
        }
        data_.ckid = FOURCC_DATA;
        if ((result = mmioCreateChunk(out_, &data_, 0)) != MMSYSERR_NOERROR) {
            return WriteError(result);
        }
        return true;
    }

    // Stores converted bytes; decoded padding past the input's last sample
    // is left out where the output counts single samples.
    bool Store(uint32_t count) {
        if (frameOutput_) {
            count = static_cast<uint32_t>(std::min<uint64_t>(count, limitBytes_ - dataBytes_));
        }
        if (dataBytes_ + count > kMaxDataBytes) {
            return Failed(options_.out + ": the result would be larger than a WAV file can hold");
        }
        if (count > 0 && !Put(destination_.data(), count)) {
            return false;
        }
        dataBytes_ += count;
        return true;
    }

    bool Convert(uint32_t length, uint32_t flags) {
        header_.cbSrcLength = length;
        header_.cbDstLength = static_cast<uint32_t>(destination_.size());
        const MMRESULT result = acmStreamConvert(stream_, &header_, flags);
        if (result != MMSYSERR_NOERROR) {
            return Failed("the conversion failed (" + ResultText(result) + ")");
        }
        return Store(header_.cbDstLengthUsed);
    }

    bool WriteFile() {
        if (!WriteHeaders()) {
            return false;
        }
        const uint64_t inputFrames = WaveFileFrames(info_);
        frameOutput_ = FramesPerBlock(dst_) == 1;
        if (frameOutput_ && inputFrames != std::numeric_limits<uint64_t>::max()) {
            limitBytes_ = inputFrames * static_cast<uint32_t>(dst_.nBlockAlign);
        } else {
            frameOutput_ = false;
        }

        uint64_t left = info_.dataSize;
        uint32_t held = 0;
        uint32_t flags = ACM_STREAMCONVERTF_START;
        for (;;) {
            const auto want =
                static_cast<uint32_t>(std::min<uint64_t>(source_.size() - held, left));
            if (want > 0) {
                const int32_t got =
                    mmioRead(in_, source_.data() + held, static_cast<int32_t>(want));
                if (got < 0) {
                    return Failed(options_.in + ": read failed (" + ResultText(MMIOERR_CANNOTREAD) +
                                  ")");
                }
                held += static_cast<uint32_t>(got);
                // A file that shrinks meanwhile ends the sound where it ends.
                left = static_cast<uint32_t>(got) < want ? 0 : left - want;
            }
            const bool last = left == 0;
            // The last piece goes without BLOCKALIGN so that a cut final
            // block still gives its samples.
            flags |= last ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN;
            if (!Convert(held, flags)) {
                return false;
            }
            const uint32_t used = header_.cbSrcLengthUsed;
            const uint32_t produced = header_.cbDstLengthUsed;
            std::memmove(source_.data(), source_.data() + used, held - used);
            held -= used;
            flags = 0;
            if (used == 0 && produced == 0) {
                if (last) {
                    break;  // what is left is too short to be a sample
                }
                if (held == source_.size()) {
                    return Failed("the conversion does not advance (" +
                                  ResultText(ACMERR_NOTPOSSIBLE) + ")");
                }
            }
        }
        return Finish(inputFrames);
    }

    bool Finish(uint64_t inputFrames) {
        MMRESULT result = mmioAscend(out_, &data_);
        if (result == MMSYSERR_NOERROR) {
            result = mmioAscend(out_, &riff_);
        }
        if (result != MMSYSERR_NOERROR) {
            return WriteError(result);
        }
        const uint32_t perBlock = FramesPerBlock(dst_);
        const uint64_t blockFrames =
            dataBytes_ / static_cast<uint32_t>(dst_.nBlockAlign) * perBlock;
        framesOut_ = std::min(inputFrames, blockFrames);
        if (factOffset_ >= 0) {
            const auto samples = static_cast<uint32_t>(framesOut_);
            if (mmioSeek(out_, factOffset_, SEEK_SET) != factOffset_ || !Put(&samples, 4)) {
                return WriteError(MMIOERR_CANNOTWRITE);
            }
        }
        errno = 0;
        result = mmioClose(out_);
        out_ = nullptr;
        if (result != MMSYSERR_NOERROR) {
            return WriteError(result);
        }
        return true;
    }

    const Options& options_;
    std::ostream& err_;
    HMMIO in_ = nullptr;
    HMMIO out_ = nullptr;
    WaveFileInfo info_;
    WaveFormat dst_;
    HACMSTREAM stream_ = nullptr;
    ACMSTREAMHEADER header_;
    bool headerPrepared_ = false;
    std::vector<uint8_t> source_;
    std::vector<uint8_t> destination_;
    TempFile temp_;
    std::string target_;  // the file written: OUT, or what a link OUT names
    bool replacing_ = false;
    struct stat replaced_ {};  // the file target_ names before the conversion
    MMCKINFO riff_;
    MMCKINFO data_;
    int64_t factOffset_ = -1;
    bool frameOutput_ = false;
    uint64_t limitBytes_ = 0;
    uint64_t dataBytes_ = 0;
    uint64_t framesOut_ = 0;
};

}  // namespace

int RunConvert(const Args& args, std::ostream& out, std::ostream& err) {
    std::string problem;
    const auto options = ParseOptions(args, &problem);
    if (!options) {
        return UsageError(err, "convert", problem);
    }
    Conversion conversion(*options, err);
    return conversion.Run(out);
}

}  // namespace sonvel::cli

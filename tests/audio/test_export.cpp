// Copies of recordings as Ogg Opus and FLAC, read back by opus-tools and
// flac as the outside readers: lengths, tags, lossless samples, and
// failures that leave nothing behind.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/sonvel_export.h"
#include "test_acm_support.h"

namespace sonvel {
namespace {

using testing::Bytes;

// Not a multiple of any codec's block: the last block's padding must not
// lengthen the copy.
constexpr size_t kSamples = 26999;

// Runs a shell command; its standard output, and *status its exit status.
std::string Shell(const std::string& command, int* status) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        *status = -1;
        return output;
    }
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, got);
    }
    const int result = pclose(pipe);
    *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    return output;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct Recording {
    const char* name;
    WaveFormat format;
};

class ExportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.valid());
        signal_ = testing::TestSignal(kSamples);
    }

    // The signal stored as the program stores a call in `format`; *decoded:
    // what the engine's decoder makes of it, cut to the true length.
    std::string Record(const Recording& recording, std::vector<int16_t>* decoded) {
        const std::string path = folder_.File(std::string(recording.name) + ".wav");
        const WaveFormat pcm = Pcm16Format(8000, 1);
        Bytes data = testing::ToBytes(signal_);
        if (recording.format.wFormatTag != WAVE_FORMAT_PCM) {
            data = testing::Convert(pcm, recording.format, data);
            Bytes back = testing::Convert(recording.format, pcm, data);
            back.resize(kSamples * 2);
            *decoded = testing::ToSamples(back);
        } else {
            *decoded = signal_;
        }
        EXPECT_TRUE(testing::WriteWav(path, recording.format, data, kSamples));
        return path;
    }

    std::string Folder() const { return std::filesystem::path(folder_.File("x")).parent_path(); }

    testing::TempFolder folder_;
    std::vector<int16_t> signal_;
};

const Recording kRecordings[] = {
    {"pcm", Pcm16Format(8000, 1)},
    {"mulaw", testing::MulawFormat()},
    {"gsm", testing::GsmFormat()},
    {"ima", testing::ImaFormat()},
};

TEST_F(ExportTest, OpusCopiesDecodeToTheCallsLengthAndCarryItsTags) {
    const double seconds = static_cast<double>(kSamples) / 8000.0;
    const ExportTags tags{"Anna Berg - +49301234", "2026-12-10T07:05:00", {{"COMMENT", "ü, ש"}}};
    for (const Recording& recording : kRecordings) {
        for (const ExportFormat format : {ExportFormat::kOpus, ExportFormat::kOpusCompact}) {
            SCOPED_TRACE(std::string(recording.name) +
                         (format == ExportFormat::kOpus ? " 12 kb/s" : " 8 kb/s"));
            std::vector<int16_t> decoded;
            const std::string in = Record(recording, &decoded);
            const std::string out = folder_.File("copy.opus");
            ASSERT_EQ(ExportRecording(in, out, format, tags), "");
            int status = 0;
            const std::string info = Shell("opusinfo '" + out + "'", &status);
            ASSERT_EQ(status, 0) << "opusinfo (opus-tools) must read the copy:\n" << info;
            EXPECT_NE(info.find("TITLE=Anna Berg - +49301234"), std::string::npos) << info;
            EXPECT_NE(info.find("DATE=2026-12-10T07:05:00"), std::string::npos) << info;
            EXPECT_NE(info.find("COMMENT=ü, ש"), std::string::npos) << info;
            EXPECT_NE(info.find("ENCODER=Sonvel"), std::string::npos) << info;
            EXPECT_NE(info.find("Channels: 1"), std::string::npos) << info;
            const std::string wav = folder_.File("opus.wav");
            Shell("opusdec --quiet --rate 8000 '" + out + "' '" + wav + "' 2>&1", &status);
            ASSERT_EQ(status, 0);
            const double length =
                static_cast<double>(testing::ReadWav(wav).data.size()) / 2.0 / 8000.0;
            EXPECT_NEAR(length, seconds, 0.1);
            // The bit rate asked for, give or take the container.
            const double kbps =
                static_cast<double>(std::filesystem::file_size(out)) * 8.0 / seconds / 1000.0;
            EXPECT_LT(kbps, format == ExportFormat::kOpus ? 16.0 : 11.5);
            EXPECT_GT(kbps, format == ExportFormat::kOpus ? 10.0 : 6.0);
        }
    }
    EXPECT_EQ(FolderEntries(Folder()),
              (std::vector<std::string>{"copy.opus", "gsm.wav", "ima.wav", "mulaw.wav", "opus.wav",
                                        "pcm.wav"}));
}

TEST_F(ExportTest, FlacCopiesHoldExactlyTheRecordedSamples) {
    const ExportTags tags{"Unknown - 0301234", "2026-01-02T03:04:05", {}};
    for (const Recording& recording : kRecordings) {
        SCOPED_TRACE(recording.name);
        std::vector<int16_t> decoded;
        const std::string in = Record(recording, &decoded);
        const std::string out = folder_.File(std::string(recording.name) + ".flac");
        ASSERT_EQ(ExportRecording(in, out, ExportFormat::kFlac, tags), "");
        int status = 0;
        const std::string wav = folder_.File("flac.wav");
        const std::string log =
            Shell("flac --silent -d -f -o '" + wav + "' '" + out + "' 2>&1", &status);
        ASSERT_EQ(status, 0) << log;
        EXPECT_EQ(testing::ToSamples(testing::ReadWav(wav).data), decoded);
        const std::string comments = Shell("metaflac --export-tags-to=- '" + out + "'", &status);
        EXPECT_NE(comments.find("TITLE=Unknown - 0301234\n"), std::string::npos) << comments;
        EXPECT_NE(comments.find("DATE=2026-01-02T03:04:05\n"), std::string::npos) << comments;
    }
}

TEST_F(ExportTest, FailuresNameTheProblemAndLeaveNothing) {
    std::vector<int16_t> decoded;
    const std::string good = Record(kRecordings[0], &decoded);
    const std::string corrupt = folder_.File("corrupt.wav");
    {
        std::FILE* file = std::fopen(corrupt.c_str(), "wb");
        std::fputs("RIFF\x10\0\0\0WAVEjunkjunk", file);
        std::fclose(file);
    }
    const std::string trueSpeech = folder_.File("truespeech.wav");
    ASSERT_TRUE(testing::WriteWav(trueSpeech, testing::TrueSpeechFormat(), Bytes(320, 0), 2400));
    const std::string folder = folder_.File("a folder");
    std::filesystem::create_directory(folder);
    struct Case {
        const char* what;
        std::string in;
        std::string out;
        ExportTags tags;
        ExportProgress progress;
        std::string expected;  // part of the message
    };
    const Case cases[] = {
        {"not a WAV file", corrupt, folder_.File("c.opus"), {}, {}, corrupt + ": not a WAV"},
        {"missing input", folder_.File("none.wav"), folder_.File("c.flac"), {}, {}, "none.wav"},
        {"no decoder", trueSpeech, folder_.File("c.opus"), {}, {}, "cannot be decoded"},
        {"missing folder", good, folder_.File("no/c.opus"), {}, {}, "cannot create a file in"},
        {"a folder", good, folder, {}, {}, "is not a regular file"},
        {"the input", good, good, {}, {}, "is the recording itself"},
        {"bad tag", good, folder_.File("c.flac"), {"", "", {{"A=B", "x"}}}, {}, "A=B"},
        {"stopped", good, folder_.File("c.flac"), {}, [](double) { return false; }, "stopped"},
    };
    const std::vector<std::string> before = FolderEntries(Folder());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const ExportFormat format : {ExportFormat::kOpus, ExportFormat::kFlac}) {
            const std::string problem = ExportRecording(c.in, c.out, format, c.tags, c.progress);
            EXPECT_NE(problem.find(c.expected), std::string::npos) << problem;
            EXPECT_EQ(FolderEntries(Folder()), before);
        }
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(std::filesystem::file_size(good), 44 + 2 * kSamples);
}

TEST_F(ExportTest, AFullDiskKeepsTheOlderCopyAndLeavesNoTemporaryFile) {
    std::vector<int16_t> decoded;
    const std::string in = Record(kRecordings[0], &decoded);
    const std::string out = folder_.File("call.flac");
    {
        std::FILE* file = std::fopen(out.c_str(), "wb");
        std::fputs("older copy", file);
        std::fclose(file);
    }
    // A file size limit stands in for a full disk, in a child process so
    // that the limit ends with it.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{8192, 8192};
        setrlimit(RLIMIT_FSIZE, &limit);
        const std::string problem = ExportRecording(in, out, ExportFormat::kFlac, {});
        _exit(problem.find("cannot write " + out + ": File too large") == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(FolderEntries(Folder()), (std::vector<std::string>{"call.flac", "pcm.wav"}));
    EXPECT_EQ(std::filesystem::file_size(out), 10u);
}

}  // namespace
}  // namespace sonvel

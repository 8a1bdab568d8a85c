// A recording process killed without warning leaves a WAV file that sox and
// the engine's reader take whole, short of at most the last second.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/host/event_loop_window.h"
#include "audio/riff/wave_file.h"
#include "audio/wave/wave.h"
#include "tests/audio/test_acm_support.h"

extern char** environ;

namespace sonvel {
namespace {

struct Killed {
    bool ok = false;
    int lastReportedMs = 0;  // capture the child had handled when it last spoke
};

// Runs the recorder until it reports `killAtMs` of capture, kills it with
// SIGKILL and collects everything it wrote before dying.
Killed RecordAndKill(const std::string& file, const std::string& codec, int killAtMs) {
    Killed result;
    int out[2];
    int in[2];
    if (pipe(out) != 0 || pipe(in) != 0) {
        ADD_FAILURE() << "pipe";
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    std::string program = RECORD_CHILD_PATH;
    std::string fileArg = file;
    std::string codecArg = codec;
    char* argv[] = {program.data(), fileArg.data(), codecArg.data(), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(in[0]);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << program;
        close(out[0]);
        close(in[1]);
        return result;
    }
    FILE* reports = fdopen(out[0], "r");
    bool killed = false;
    int value = 0;
    while (std::fscanf(reports, "%d", &value) == 1) {
        result.lastReportedMs = value;
        if (!killed && value >= killAtMs) {
            kill(pid, SIGKILL);
            killed = true;
        }
    }
    std::fclose(reports);
    int status = 0;
    waitpid(pid, &status, 0);
    close(in[1]);
    EXPECT_TRUE(killed) << "the recorder ended before " << killAtMs << " ms";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        << "the recorder did not die of the kill (status " << status << ")";
    result.ok = killed && WIFSIGNALED(status);
    return result;
}

class RecordCrashTest : public ::testing::TestWithParam<const char*> {
  protected:
    testing::TempFolder folder_;
};

TEST_P(RecordCrashTest, KilledRecorderLeavesAReadableFileShortOfAtMostOneSecond) {
    ASSERT_TRUE(folder_.valid());
    const std::string codec = GetParam();
    const bool gsm = codec == "gsm";
    const std::string file = folder_.File("killed_" + codec + ".wav");
    const Killed run = RecordAndKill(file, codec, 5000);
    ASSERT_TRUE(run.ok);
    ASSERT_GE(run.lastReportedMs, 5000);

    WaveFileInfo info;
    ASSERT_EQ(GetWaveFileInfo(file.c_str(), &info), MMSYSERR_NOERROR);
    const uint64_t fileSize = std::filesystem::file_size(file);
    // Never a claim of bytes that are not there.
    EXPECT_EQ(info.dataOffset, 64u);
    EXPECT_LE(64 + uint64_t{info.dataSizeStored}, fileSize);
    EXPECT_EQ(info.dataSize, info.dataSizeStored);
    EXPECT_EQ(info.dataSize % static_cast<uint32_t>(info.format.nBlockAlign), 0u);
    const uint64_t storedMs =
        uint64_t{info.dataSize} * 1000 / static_cast<uint64_t>(info.format.nAvgBytesPerSec);
    EXPECT_GE(storedMs + 1000, static_cast<uint64_t>(run.lastReportedMs))
        << "stored " << storedMs << " ms of " << run.lastReportedMs << " ms handled";

    // The control's own file query, as the program's player uses it.
    setenv("SONVEL_NO_ALSA", "1", 1);
    EventLoopWindow window;
    Wave control(&window);
    WaveFileDetails details;
    ASSERT_EQ(control.GetDetailsWaveFile(file, details), 0);
    EXPECT_EQ(details.SecondsLength, static_cast<int32_t>(storedMs / 1000));
    EXPECT_GE(details.SecondsLength, 4);

    const std::string decodedFile = folder_.File("decoded.wav");
    ASSERT_TRUE(testing::RunSox({file, "-e", "signed", "-b", "16", decodedFile}));
    const std::vector<int16_t> decoded = testing::ToSamples(testing::ReadWav(decodedFile).data);
    const size_t expected = gsm ? info.dataSize / 65 * 320 : info.dataSize / 2;
    ASSERT_EQ(decoded.size(), expected);
    if (!gsm) {
        const double pi = std::acos(-1.0);
        for (size_t n = 0; n < decoded.size(); ++n) {
            const double tone =
                0.5 * 32767.0 * std::sin(2 * pi * 1000.0 * static_cast<double>(n) / 8000.0);
            ASSERT_NEAR(decoded[n], tone, 1.0) << n;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Codecs, RecordCrashTest, ::testing::Values("pcm", "gsm"));

}  // namespace
}  // namespace sonvel

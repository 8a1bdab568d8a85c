// The sonvel command-line tool, run as a process: exit codes, what it
// prints, and the files it writes, read back by sox as an outside reader.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/base/version.h"
#include "test_acm_support.h"

extern char** environ;

namespace sonvel {
namespace {

using testing::Bytes;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadText(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

Bytes ReadBytes(const std::string& path) {
    const std::string text = ReadText(path);
    return Bytes(text.begin(), text.end());
}

// Runs `program` with stdout and stderr caught in files of `folder`.
Outcome RunProgram(const testing::TempFolder& folder, const std::string& program,
                   std::vector<std::string> args, bool noAlsa = true) {
    const std::string outPath = folder.File("stdout.txt");
    const std::string errPath = folder.File("stderr.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::string(*e).rfind("SONVEL_NO_ALSA=", 0) != 0) {
            env.emplace_back(*e);
        }
    }
    if (noAlsa) {
        env.emplace_back("SONVEL_NO_ALSA=1");
    }
    std::vector<char*> envp;
    for (auto& entry : env) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    Outcome outcome;
    pid_t pid = 0;
    const int spawned =
        posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot run " << program << ": " << std::strerror(spawned);
        return outcome;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
        outcome.status = WEXITSTATUS(status);
    }
    outcome.out = ReadText(outPath);
    outcome.err = ReadText(errPath);
    return outcome;
}

// The sample count of a WAV file's "fact" chunk, -1 without one.
int64_t FactSamples(const std::string& path) {
    const Bytes file = ReadBytes(path);
    size_t at = 12;
    while (at + 8 <= file.size()) {
        const uint32_t size = static_cast<uint32_t>(file[at + 4] | (file[at + 5] << 8) |
                                                    (file[at + 6] << 16) | (file[at + 7] << 24));
        if (std::memcmp(file.data() + at, "fact", 4) == 0 && size >= 4 && at + 12 <= file.size()) {
            return file[at + 8] | (file[at + 9] << 8) | (file[at + 10] << 16) |
                   (int64_t{file[at + 11]} << 24);
        }
        at += 8 + size + (size % 2);
    }
    return -1;
}

double SignalToNoise(const std::vector<int16_t>& reference, const std::vector<int16_t>& decoded) {
    double power = 0;
    double noise = 0;
    for (size_t i = 0; i < reference.size() && i < decoded.size(); ++i) {
        const double d = static_cast<double>(reference[i]) - decoded[i];
        power += static_cast<double>(reference[i]) * reference[i];
        noise += d * d;
    }
    return 10.0 * std::log10(power / std::max(noise, 1.0));
}

// Files in the folder other than the captured output and those named.
std::vector<std::string> OtherFiles(const testing::TempFolder& folder,
                                    const std::vector<std::string>& known) {
    std::vector<std::string> others;
    const auto root = std::filesystem::path(folder.File("x")).parent_path();
    for (const auto& entry : std::filesystem::directory_iterator(root)) {
        const std::string name = entry.path().filename().string();
        if (name != "stdout.txt" && name != "stderr.txt" &&
            std::find(known.begin(), known.end(), name) == known.end()) {
            others.push_back(name);
        }
    }
    return others;
}

class SonvelToolTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(folder_.valid()); }

    Outcome Sonvel(std::vector<std::string> args, bool noAlsa = true) {
        return RunProgram(folder_, SONVEL_TOOL_PATH, std::move(args), noAlsa);
    }

    std::string Fixture(const std::string& name) const {
        return std::string(SONVEL_TEST_DATA_DIR) + "/wav/" + name;
    }

    // sox's decode of a file to 16-bit PCM; empty (and a failure) when sox
    // cannot read it.
    std::vector<int16_t> SoxDecode(const std::string& file) {
        const std::string out = folder_.File("sox_decoded.wav");
        if (!testing::RunSox({file, "-e", "signed", "-b", "16", out})) {
            return {};
        }
        return testing::ToSamples(testing::ReadWav(out).data);
    }

    // What sox's header reader makes of a file: "encoding rate channels".
    std::string SoxSees(const std::string& file) {
        const Outcome e = RunProgram(folder_, "sox", {"--i", "-e", file}, false);
        const Outcome r = RunProgram(folder_, "sox", {"--i", "-r", file}, false);
        const Outcome c = RunProgram(folder_, "sox", {"--i", "-c", file}, false);
        EXPECT_EQ(e.status, 0) << "sox --i cannot read " << file << ": " << e.err;
        auto trim = [](std::string s) {
            s.erase(s.find_last_not_of("\r\n ") + 1);
            return s;
        };
        return trim(e.out) + " " + trim(r.out) + " " + trim(c.out);
    }

    testing::TempFolder folder_;
};

// ---- Usage ----

TEST_F(SonvelToolTest, UsageErrorsExitTwoWithUsageOnStderr) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"record-all"},
        {"devices", "extra"},
        {"info"},
        {"convert", "a.wav", "b.wav"},
        {"convert", "a.wav", "b.wav", "--to", "mp3"},
        {"convert", "a.wav", "b.wav", "--to", "pcm", "--bits", "12"},
        {"convert", "a.wav", "b.wav", "--to", "pcm", "--rate", "fast"},
        {"convert", "a.wav", "b.wav", "--to", "pcm", "--rate", "0"},
        {"convert", "a.wav", "--to", "pcm"},
        {"convert", "a.wav", "b.wav", "c.wav", "--to", "pcm"},
        {"convert", "a.wav", "b.wav", "--to"},
        {"convert", "a.wav", "b.wav", "--to", "pcm", "--loud", "1"},
    };
    for (const auto& args : bad) {
        const Outcome outcome = Sonvel(args);
        std::string line;
        for (const auto& arg : args) {
            line += arg + " ";
        }
        EXPECT_EQ(outcome.status, 2) << line;
        EXPECT_NE(outcome.err.find("Usage: sonvel"), std::string::npos) << line << outcome.err;
        EXPECT_TRUE(outcome.out.empty()) << line;
    }
    // Nothing was created from the made-up names.
    EXPECT_TRUE(OtherFiles(folder_, {}).empty());
}

TEST_F(SonvelToolTest, HelpAndVersionGoToStdout) {
    const Outcome help = Sonvel({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* command : {"devices", "info", "convert", "--to pcm|mulaw|alaw|gsm|ima"}) {
        EXPECT_NE(help.out.find(command), std::string::npos) << command;
    }
    const Outcome version = Sonvel({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("sonvel ") + EngineVersion() + "\n");
}

// ---- Devices ----

TEST_F(SonvelToolTest, DevicesListsTheVirtualDevicesWithTheDefaultMarked) {
    const Outcome outcome = Sonvel({"devices"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    const std::string& out = outcome.out;
    const size_t inputs = out.find("Input devices");
    const size_t outputs = out.find("Output devices");
    ASSERT_NE(inputs, std::string::npos);
    ASSERT_NE(outputs, std::string::npos);
    // Without a sound card the silence input is the default input, and the
    // tone is listed as an input, the silent output as an output.
    const size_t silence = out.find("0: Sonvel Silence  [default, device -1]");
    EXPECT_NE(silence, std::string::npos) << out;
    EXPECT_LT(silence, outputs);
    const size_t tone = out.find(": Sonvel Tone 1 kHz");
    EXPECT_GT(tone, inputs);
    EXPECT_LT(tone, outputs);
    EXPECT_NE(out.find("0: Sonvel Silent Output  [default, device -1]", outputs), std::string::npos)
        << out;
    EXPECT_NE(out.find("channels: "), std::string::npos);
    EXPECT_NE(out.find("formats:  "), std::string::npos);
}

// ---- Info ----

TEST_F(SonvelToolTest, InfoShowsTheHeaderOfGoodFiles) {
    const Outcome pcm = Sonvel({"info", Fixture("ok_pcm_canonical.wav")});
    ASSERT_EQ(pcm.status, 0) << pcm.err;
    for (const char* line :
         {"format tag:     1 (PCM)", "channels:       1", "sample rate:    8000 Hz",
          "bytes/second:   16000", "block align:    2", "bits/sample:    16", "cbSize:         0",
          "data bytes:     16000", "length:         1.000 s"}) {
        EXPECT_NE(pcm.out.find(line), std::string::npos) << line << "\n" << pcm.out;
    }
    // GSM: the length comes from the sample count, not from the rounded
    // byte rate.
    const Outcome gsm = Sonvel({"info", Fixture("sox_gsm.wav"), Fixture("sox_mulaw.wav")});
    ASSERT_EQ(gsm.status, 0) << gsm.err;
    for (const char* line :
         {"format tag:     49 (GSM 6.10)", "block align:    65", "cbSize:         2",
          "samples (fact): 16000", "length:         2.000 s", "format tag:     7 (mu-law)",
          "length:         0.500 s"}) {
        EXPECT_NE(gsm.out.find(line), std::string::npos) << line << "\n" << gsm.out;
    }
}

TEST_F(SonvelToolTest, InfoReportsBrokenFilesAndGoesOnWithTheNext) {
    const Outcome outcome =
        Sonvel({"info", Fixture("not_riff.wav"), Fixture("zero_block_align.wav"),
                folder_.File("missing.wav"), Fixture("ok_pcm_canonical.wav")});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("not_riff.wav: not a usable WAV file (error 265: The chunk was not "
                               "found in the file.)"),
              std::string::npos)
        << outcome.err;
    EXPECT_NE(outcome.err.find("zero_block_align.wav: not a usable WAV file (error 32: "),
              std::string::npos)
        << outcome.err;
    EXPECT_NE(outcome.err.find("missing.wav: not a usable WAV file (error 257: The file was not "
                               "found.)"),
              std::string::npos)
        << outcome.err;
    EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 3);
    EXPECT_NE(outcome.out.find("ok_pcm_canonical.wav:\n"), std::string::npos);
    EXPECT_EQ(outcome.out.find("not_riff"), std::string::npos);
}

// ---- Convert ----

class SonvelConvertTest : public SonvelToolTest {
  protected:
    // Several conversion chunks long, and not a whole number of any codec
    // block, so the last block is padded.
    static constexpr size_t kSamples = 8000 * 9 + 123;

    void SetUp() override {
        SonvelToolTest::SetUp();
        signal_ = testing::TestSignal(kSamples);
        input_ = folder_.File("speech.wav");
        ASSERT_TRUE(testing::WritePcmWav(input_, signal_));
    }

    // Converts the input; the output's path.
    std::string ConvertTo(const std::string& target, std::vector<std::string> extra = {}) {
        const std::string out = folder_.File("to_" + target + ".wav");
        std::vector<std::string> args = {"convert", input_, out, "--to", target};
        args.insert(args.end(), extra.begin(), extra.end());
        const Outcome outcome = Sonvel(args);
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_TRUE(outcome.err.empty()) << outcome.err;
        return out;
    }

    std::vector<int16_t> signal_;
    std::string input_;
};

TEST_F(SonvelConvertTest, G711AndPcmFilesAreReadBySoxWithinTheCodecError) {
    struct Case {
        std::string target;
        std::vector<std::string> extra;
        std::string soxSees;
        double minSnr;
        int64_t fact;  // -1: no fact chunk
        size_t bytes;  // data bytes
    };
    const Case cases[] = {
        {"mulaw", {}, "u-law 8000 1", 35.0, kSamples, kSamples},
        {"alaw", {}, "A-law 8000 1", 35.0, kSamples, kSamples},
        {"pcm", {"--bits", "8"}, "Unsigned Integer PCM 8000 1", 30.0, -1, kSamples},
        {"pcm", {}, "Signed Integer PCM 8000 1", 1e9, -1, 2 * kSamples},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target + (c.extra.empty() ? "" : " " + c.extra[1]));
        const std::string out = ConvertTo(c.target, c.extra);
        EXPECT_EQ(SoxSees(out), c.soxSees);
        EXPECT_EQ(FactSamples(out), c.fact);
        EXPECT_EQ(testing::ReadWav(out).data.size(), c.bytes);
        const std::vector<int16_t> decoded = SoxDecode(out);
        ASSERT_EQ(decoded.size(), kSamples);
        if (c.minSnr > 1e8) {
            EXPECT_EQ(decoded, signal_);
        } else {
            EXPECT_GT(SignalToNoise(signal_, decoded), c.minSnr);
        }
        std::filesystem::remove(out);
    }
}

TEST_F(SonvelConvertTest, GsmMatchesSoxAndComesBackWithTheRightLength) {
    const std::string gsm = ConvertTo("gsm");
    EXPECT_EQ(SoxSees(gsm), "GSM 8000 1");
    EXPECT_EQ(FactSamples(gsm), static_cast<int64_t>(kSamples));
    const size_t blocks = (kSamples + 319) / 320;
    const testing::WavFile ours = testing::ReadWav(gsm);
    ASSERT_EQ(ours.data.size(), blocks * 65);
    // The encoder is the same GSM 06.10 as sox's, bit for bit.
    const std::string soxGsm = folder_.File("sox.wav");
    ASSERT_TRUE(testing::RunSox({input_, "-e", "gsm-full-rate", soxGsm}));
    EXPECT_EQ(ours.data, testing::ReadWav(soxGsm).data);

    // Back to PCM: exactly as many samples as went in (the fact count),
    // and the same samples sox decodes.
    const std::string back = folder_.File("back.wav");
    const Outcome outcome = Sonvel({"convert", gsm, back, "--to", "pcm"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    const std::vector<int16_t> ourDecode = testing::ToSamples(testing::ReadWav(back).data);
    std::vector<int16_t> soxDecode = SoxDecode(gsm);
    ASSERT_EQ(soxDecode.size(), blocks * 320);
    soxDecode.resize(kSamples);
    EXPECT_EQ(ourDecode, soxDecode);
}

TEST_F(SonvelConvertTest, ImaIsReadBySoxAndConvertsOnBetweenCodecs) {
    const std::string ima = ConvertTo("ima");
    EXPECT_EQ(SoxSees(ima), "IMA ADPCM 8000 1");
    EXPECT_EQ(FactSamples(ima), static_cast<int64_t>(kSamples));
    const size_t blocks = (kSamples + 504) / 505;
    EXPECT_EQ(testing::ReadWav(ima).data.size(), blocks * 256);
    std::vector<int16_t> decoded = SoxDecode(ima);
    ASSERT_EQ(decoded.size(), blocks * 505);
    decoded.resize(kSamples);
    // As close to the signal as sox's own (searching) encoder gets, within
    // 2 dB.
    const std::string soxIma = folder_.File("sox_ima.wav");
    ASSERT_TRUE(testing::RunSox({input_, "-e", "ima-adpcm", soxIma}));
    std::vector<int16_t> soxDecoded = SoxDecode(soxIma);
    ASSERT_GE(soxDecoded.size(), kSamples);
    soxDecoded.resize(kSamples);
    EXPECT_GT(SignalToNoise(signal_, decoded), SignalToNoise(signal_, soxDecoded) - 2.0);
    EXPECT_GT(SignalToNoise(signal_, decoded), 15.0);

    // IMA to GSM: blocks of 505 and 320 samples do not line up, so samples
    // are carried from one chunk to the next; none may be lost or doubled.
    const std::string gsm = folder_.File("ima_to_gsm.wav");
    const Outcome outcome = Sonvel({"convert", ima, gsm, "--to", "gsm"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(FactSamples(gsm), static_cast<int64_t>(kSamples));
    const std::string reference = folder_.File("ima_decoded.wav");
    ASSERT_TRUE(testing::RunSox({ima, "-e", "signed", "-b", "16", reference}));
    const std::string soxGsm = folder_.File("sox_ima_to_gsm.wav");
    ASSERT_TRUE(testing::RunSox({reference, "-e", "gsm-full-rate", soxGsm}));
    // sox decodes every padded sample of the last IMA block; the GSM data
    // agree up to the block where that padding starts.
    const Bytes ours = testing::ReadWav(gsm).data;
    const Bytes theirs = testing::ReadWav(soxGsm).data;
    const size_t sameBlocks = kSamples / 320;
    ASSERT_GE(ours.size(), sameBlocks * 65);
    ASSERT_GE(theirs.size(), sameBlocks * 65);
    EXPECT_TRUE(std::equal(ours.begin(), ours.begin() + static_cast<ptrdiff_t>(sameBlocks * 65),
                           theirs.begin()));
}

TEST_F(SonvelConvertTest, OutputReplacesAnOlderFileOnlyWhenComplete) {
    const std::string out = folder_.File("kept.wav");
    { std::ofstream(out) << "older"; }
    // Failures keep the older file as it was, and leave no temporary file.
    EXPECT_EQ(Sonvel({"convert", input_, out, "--to", "gsm", "--rate", "16000"}).status, 1);
    EXPECT_EQ(ReadText(out), "older");
    EXPECT_TRUE(OtherFiles(folder_, {"speech.wav", "kept.wav"}).empty());
    // Success replaces it.
    const Outcome outcome = Sonvel({"convert", input_, out, "--to", "mulaw"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_NE(outcome.out.find("kept.wav: mu-law, 8000 Hz, 1 channel, 72123 samples"),
              std::string::npos)
        << outcome.out;
    EXPECT_EQ(testing::ReadWav(out).data.size(), kSamples);
    EXPECT_TRUE(OtherFiles(folder_, {"speech.wav", "kept.wav"}).empty());
}

TEST_F(SonvelConvertTest, RefusalsLeaveNoOutputBehind) {
    const Bytes original = ReadBytes(input_);
    const std::string out = folder_.File("out.wav");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::string trueSpeech = folder_.File("truespeech.wav");
    ASSERT_TRUE(
        testing::WriteWav(trueSpeech, testing::TrueSpeechFormat(), Bytes(32 * 50, 0x55), 240 * 50));
    const std::string link = folder_.File("link.wav");
    std::filesystem::create_hard_link(input_, link);
    const Case cases[] = {
        {{trueSpeech, out, "--to", "pcm"}, "(error 512: The conversion is not possible.)"},
        {{input_, out, "--to", "pcm", "--rate", "11025"}, "(error 512: "},
        {{input_, out, "--to", "mulaw", "--bits", "16"}, "(error 512: "},
        {{input_, input_, "--to", "gsm"}, "the output file is the input file"},
        {{input_, link, "--to", "gsm"}, "the output file is the input file"},
        {{folder_.File("missing.wav"), out, "--to", "gsm"}, "(error 257: "},
        {{Fixture("no_data.wav"), out, "--to", "pcm"}, "(error 265: "},
        {{input_, folder_.File("no_such_folder/out.wav"), "--to", "gsm"}, "cannot create"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "convert");
        const Outcome outcome = Sonvel(args);
        SCOPED_TRACE(c.args[0] + " -> " + c.args[1]);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_TRUE(OtherFiles(folder_, {"speech.wav", "truespeech.wav", "link.wav"}).empty());
        EXPECT_EQ(ReadBytes(input_), original);
    }
}

TEST_F(SonvelConvertTest, OpusAndFlacOutputsByOptionOrByTheOutputsName) {
    struct Case {
        std::string out;
        std::vector<std::string> extra;
        std::string says;  // on stdout
    };
    const Case cases[] = {
        {"call.ogg", {"--to", "opus", "--title", "Anna - 0301234"}, "Ogg Opus 12 kb/s"},
        {"compact.opus", {"--to", "opus", "--compact"}, "Ogg Opus 8 kb/s"},
        {"named.OPUS", {}, "Ogg Opus 12 kb/s"},
        {"call.flac", {"--title", "Anna - 0301234", "--date", "2026-12-10T07:00:00"}, "FLAC"},
        {"lossless", {"--to", "flac"}, "FLAC"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.out);
        const std::string out = folder_.File(c.out);
        std::vector<std::string> args = {"convert", input_, out};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const Outcome outcome = Sonvel(args);
        ASSERT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.out, out + ": " + c.says + ", 72123 samples\n");
        const std::string decoded = folder_.File("decoded.wav");
        const bool flac = c.says == "FLAC";
        const Outcome decode =
            flac ? RunProgram(folder_, "flac", {"-d", "-f", "-o", decoded, out}, false)
                 : RunProgram(folder_, "opusdec", {"--rate", "8000", out, decoded}, false);
        ASSERT_EQ(decode.status, 0) << decode.err;
        const std::vector<int16_t> samples = testing::ToSamples(testing::ReadWav(decoded).data);
        if (flac) {
            EXPECT_EQ(samples, signal_);
        } else {
            EXPECT_NEAR(static_cast<double>(samples.size()), kSamples, 800.0);
        }
        const std::string info =
            flac ? RunProgram(folder_, "metaflac", {"--export-tags-to=-", out}, false).out
                 : RunProgram(folder_, "opusinfo", {out}, false).out;
        EXPECT_EQ(info.find("TITLE=Anna - 0301234") != std::string::npos,
                  std::find(c.extra.begin(), c.extra.end(), "--title") != c.extra.end())
            << info;
    }
    // Options that do not fit the output are usage errors; nothing is made.
    const std::vector<std::vector<std::string>> misuse = {
        {"--to", "flac", "--compact"},
        {"--to", "opus", "--rate", "8000"},
        {"--to", "gsm", "--title", "x"},
    };
    for (const auto& extra : misuse) {
        std::vector<std::string> args = {"convert", input_, folder_.File("bad.opus")};
        args.insert(args.end(), extra.begin(), extra.end());
        EXPECT_EQ(Sonvel(args).status, 2) << extra[1];
        EXPECT_FALSE(std::filesystem::exists(folder_.File("bad.opus")));
    }
}

TEST_F(SonvelConvertTest, EmptyInputGivesAnEmptyValidFile) {
    const std::string empty = folder_.File("empty.wav");
    ASSERT_TRUE(testing::WritePcmWav(empty, {}));
    const std::string out = folder_.File("empty_gsm.wav");
    const Outcome outcome = Sonvel({"convert", empty, out, "--to", "gsm"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(FactSamples(out), 0);
    EXPECT_TRUE(testing::ReadWav(out).data.empty());
    EXPECT_EQ(SoxSees(out), "GSM 8000 1");
}

// Refused outputs stay exactly what they were. Run as an ordinary user: as
// root the tool runs as "nobody" (setpriv), since root may write anything.
TEST_F(SonvelConvertTest, OutputsThatMustNotBeReplacedAreRefused) {
    const auto root = std::filesystem::path(folder_.File("x")).parent_path();
    std::filesystem::permissions(root, std::filesystem::perms::all);
    std::filesystem::permissions(input_, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::owner_write |
                                             std::filesystem::perms::others_read);
    struct Case {
        std::string name;
        std::function<void(const std::string&)> make;
        std::string message;
    };
    const Case cases[] = {
        {"fifo", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0666), 0); },
         "is not a regular file"},
        {"folder", [](const std::string& p) { std::filesystem::create_directory(p); },
         "is a folder"},
        {"link_to_device",
         [](const std::string& p) { std::filesystem::create_symlink("/dev/null", p); },
         "is not a regular file"},
        {"dangling_link",
         [&](const std::string& p) { std::filesystem::create_symlink(folder_.File("none"), p); },
         "is a link to nothing"},
        {"read_only",
         [](const std::string& p) {
             { std::ofstream(p) << "older"; }
             ASSERT_EQ(chmod(p.c_str(), 0444), 0);
         },
         "cannot write"},
    };
    // "nobody" may not reach the build folder (a checkout under /root): it
    // runs a copy of the tool in the test's own folder.
    std::string tool = SONVEL_TOOL_PATH;
    if (geteuid() == 0) {
        tool = (root / "sonvel-as-nobody").string();
        std::filesystem::copy_file(SONVEL_TOOL_PATH, tool);
        std::filesystem::permissions(
            tool, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                      std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                      std::filesystem::perms::others_exec);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = folder_.File(c.name + ".wav");
        c.make(out);
        struct stat before {};
        ASSERT_EQ(lstat(out.c_str(), &before), 0);
        std::vector<std::string> args = {"convert", input_, out, "--to", "gsm"};
        if (geteuid() == 0) {
            args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", tool});
        }
        const Outcome outcome = RunProgram(
            folder_, geteuid() == 0 ? std::string("setpriv") : std::string(SONVEL_TOOL_PATH), args);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
        struct stat after {};
        ASSERT_EQ(lstat(out.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_size, before.st_size);
    }
    struct stat device {};
    ASSERT_EQ(stat("/dev/null", &device), 0);
    EXPECT_TRUE(S_ISCHR(device.st_mode));
    std::vector<std::string> known = {"speech.wav", "none", "sonvel-as-nobody"};
    for (const Case& c : cases) {
        known.push_back(c.name + ".wav");
    }
    EXPECT_TRUE(OtherFiles(folder_, known).empty());
}

// A link is written through (the link stays); a replaced file keeps its mode
// and owner; names up to the 255-byte limit work.
TEST_F(SonvelConvertTest, ReplacedFilesKeepLinksModeAndOwner) {
    struct Case {
        std::string name;
        mode_t mode;
        uid_t owner;
        bool viaLink;
    };
    std::vector<Case> cases = {
        {"mode_0604.wav", 0604, geteuid(), false},
        {"linked.wav", 0640, geteuid(), true},
        {std::string(251, 'n') + ".wav", 0644, geteuid(), false},
    };
    if (geteuid() == 0) {
        cases.push_back({"nobodys.wav", 0664, 65534, false});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.substr(0, 20));
        const std::string file = folder_.File(c.name);
        { std::ofstream(file) << "older"; }
        ASSERT_EQ(chmod(file.c_str(), c.mode), 0);
        ASSERT_EQ(chown(file.c_str(), c.owner, static_cast<gid_t>(-1)), 0);
        const std::string out = c.viaLink ? folder_.File("link.wav") : file;
        if (c.viaLink) {
            std::filesystem::create_symlink(file, out);
        }
        const Outcome outcome = Sonvel({"convert", input_, out, "--to", "mulaw"});
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(testing::ReadWav(file).data.size(), kSamples);
        struct stat after {};
        ASSERT_EQ(stat(file.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode & 07777, c.mode);
        EXPECT_EQ(after.st_uid, c.owner);
        if (c.viaLink) {
            EXPECT_TRUE(std::filesystem::is_symlink(out));
            std::filesystem::remove(out);
        }
        std::filesystem::remove(file);
        EXPECT_TRUE(OtherFiles(folder_, {"speech.wav"}).empty());
    }
}

}  // namespace
}  // namespace sonvel

// ---- Record and play (real time: the virtual devices run on the wall clock) ----

namespace sonvel {
namespace {

// A sonvel process running on its own, its output caught in files named
// after `tag`.
class Background {
  public:
    Background(const testing::TempFolder& folder, const std::string& tag,
               std::vector<std::string> args)
        : outPath_(folder.File(tag + ".out")), errPath_(folder.File(tag + ".err")) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        args.insert(args.begin(), SONVEL_TOOL_PATH);
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        std::vector<std::string> env = {"SONVEL_NO_ALSA=1"};
        for (char** e = environ; *e != nullptr; ++e) {
            if (std::string(*e).rfind("SONVEL_NO_ALSA=", 0) != 0) {
                env.emplace_back(*e);
            }
        }
        std::vector<char*> envp;
        for (auto& entry : env) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
        const int spawned =
            posix_spawn(&pid_, SONVEL_TOOL_PATH, &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            ADD_FAILURE() << "cannot run sonvel: " << std::strerror(spawned);
            pid_ = 0;
        }
    }

    ~Background() {
        if (pid_ != 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
    }

    void Signal(int signal) const {
        if (pid_ != 0) {
            kill(pid_, signal);
        }
    }

    Outcome Wait() {
        Outcome outcome;
        int status = 0;
        if (pid_ != 0 && waitpid(pid_, &status, 0) == pid_ && WIFEXITED(status)) {
            outcome.status = WEXITSTATUS(status);
        }
        pid_ = 0;
        outcome.out = ReadText(outPath_);
        outcome.err = ReadText(errPath_);
        return outcome;
    }

    std::string ErrSoFar() const { return ReadText(errPath_); }

  private:
    std::string outPath_;
    std::string errPath_;
    pid_t pid_ = 0;
};

// Polls `condition` until it holds; false after `limit`, which is only
// there so that a broken tool fails the test instead of hanging it.
bool Eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds limit = std::chrono::milliseconds(10000)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

double Rms(const std::vector<int16_t>& samples) {
    double sum = 0;
    for (int16_t s : samples) {
        sum += static_cast<double>(s) * s;
    }
    return samples.empty() ? 0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

class SonvelRecordPlayTest : public SonvelToolTest {
  protected:
    // The number of a device as `sonvel devices` lists it; -1 if absent.
    int DeviceNumber(const std::string& name, bool input) {
        const Outcome devices = Sonvel({"devices"});
        const size_t outputs = devices.out.find("Output devices");
        const size_t at = devices.out.find(": " + name, input ? 0 : outputs);
        if (at == std::string::npos || (input && at > outputs)) {
            return -1;
        }
        const size_t lineStart = devices.out.rfind('\n', at) + 1;
        return std::stoi(devices.out.substr(lineStart, at - lineStart));
    }

    int ToneInput() { return DeviceNumber("Sonvel Tone 1 kHz", true); }
};

TEST_F(SonvelRecordPlayTest, RecordingsStoreTheToneInWholeBuffersThatSoxReads) {
    const int tone = ToneInput();
    ASSERT_GE(tone, 0);
    struct Case {
        std::string format;
        int buffer;  // bytes of 16-bit capture
        std::string soxSees;
    };
    const Case cases[] = {{"pcm", 8000, "Signed Integer PCM 8000 1"},
                          {"mulaw", 8000, "u-law 8000 1"},
                          {"gsm", 8320, "GSM 8000 1"}};
    constexpr double kSeconds = 1.25;
    // The three run at once to keep the wall time down.
    std::vector<std::unique_ptr<Background>> runs;
    for (const Case& c : cases) {
        std::vector<std::string> args = {"record",    folder_.File(c.format + ".wav"),
                                         "--device",  std::to_string(tone),
                                         "--format",  c.format,
                                         "--seconds", "1.25",
                                         "--buffer",  std::to_string(c.buffer)};
        if (c.format == "pcm") {
            args.push_back("--meter");
        }
        runs.push_back(std::make_unique<Background>(folder_, c.format, args));
    }
    for (size_t i = 0; i < runs.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.format);
        const Outcome outcome = runs[i]->Wait();
        ASSERT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_NE(outcome.out.find("Recording "), std::string::npos) << outcome.out;
        EXPECT_NE(outcome.out.find("Done. "), std::string::npos) << outcome.out;
        const std::string file = folder_.File(c.format + ".wav");
        EXPECT_EQ(SoxSees(file), c.soxSees);
        const std::vector<int16_t> decoded = SoxDecode(file);
        // A stop drops the buffer being filled: what is stored is the whole
        // buffers captured, give or take one for the timing of the stop.
        const double bufferSeconds = c.buffer / 16000.0;
        const double expected = std::floor(kSeconds / bufferSeconds) * bufferSeconds;
        const double stored = static_cast<double>(decoded.size()) / 8000.0;
        EXPECT_NEAR(stored, expected, bufferSeconds + 1e-9);
        EXPECT_GT(stored, 0.0);
        // The tone (half of full scale), not the silence of the default input.
        EXPECT_GT(Rms(decoded), 8000.0);
        // The length printed is the length stored.
        char printed[32];
        std::snprintf(printed, sizeof printed, "%.3f s", stored);
        EXPECT_NE(outcome.out.find(printed), std::string::npos) << outcome.out;
    }
    // --meter draws the input level as a bar on stderr.
    const std::string meterErr = ReadText(folder_.File("pcm.err"));
    EXPECT_NE(meterErr.find("\r[#"), std::string::npos) << meterErr;
    EXPECT_EQ(ReadText(folder_.File("mulaw.err")), "");
}

TEST_F(SonvelRecordPlayTest, PlayRunsToTheEndAndShowsTheFinalTime) {
    const std::string file = folder_.File("one_second.wav");
    ASSERT_TRUE(testing::WritePcmWav(file, testing::TestSignal(8000)));
    const int silent = DeviceNumber("Sonvel Silent Output", false);
    ASSERT_GE(silent, 0);
    const Outcome outcome =
        Sonvel({"play", file, "--device", std::to_string(silent), "--buffer", "1600"});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_NE(outcome.err.find("0:00:01 / 0:00:01"), std::string::npos) << outcome.err;
    EXPECT_NE(outcome.out.find("Played 0:00:01."), std::string::npos) << outcome.out;
}

TEST_F(SonvelRecordPlayTest, SignalsStopCleanlyAndLeaveAFinishedFile) {
    const int tone = ToneInput();
    ASSERT_GE(tone, 0);
    // SIGINT ends an open-ended recording with a file sox reads.
    const std::string file = folder_.File("interrupted.wav");
    Background record(
        folder_, "record",
        {"record", file, "--device", std::to_string(tone), "--seconds", "30", "--buffer", "2000"});
    const auto size = [&file] {
        struct stat st {};
        return stat(file.c_str(), &st) == 0 ? st.st_size : 0;
    };
    ASSERT_TRUE(Eventually([&] { return size() >= 44 + 2000; })) << record.ErrSoFar();
    record.Signal(SIGINT);
    const Outcome recorded = record.Wait();
    EXPECT_EQ(recorded.status, 0) << recorded.err;
    EXPECT_NE(recorded.out.find("Stopped. "), std::string::npos) << recorded.out;
    const std::vector<int16_t> decoded = SoxDecode(file);
    EXPECT_GE(decoded.size(), 1000u);
    EXPECT_EQ(decoded.size() % 1000, 0u);  // whole buffers only
    EXPECT_EQ(testing::ReadWav(file).data.size(), decoded.size() * 2);

    // SIGTERM stops a playback; it waits for the device and exits 0.
    const std::string longFile = folder_.File("long.wav");
    ASSERT_TRUE(testing::WritePcmWav(longFile, testing::TestSignal(8000 * 20)));
    Background play(folder_, "play", {"play", longFile});
    ASSERT_TRUE(Eventually([&] { return play.ErrSoFar().find(" / 0:00:20") != std::string::npos; }))
        << play.ErrSoFar();
    play.Signal(SIGTERM);
    const Outcome played = play.Wait();
    EXPECT_EQ(played.status, 0) << played.err;
    EXPECT_NE(played.out.find("Stopped at 0:00:"), std::string::npos) << played.out;
    EXPECT_EQ(played.out.find("Played"), std::string::npos) << played.out;
}

TEST_F(SonvelRecordPlayTest, BadArgumentsAreUsageErrorsAndCreateNothing) {
    const std::string out = folder_.File("new.wav");
    const std::vector<std::vector<std::string>> bad = {
        {"record"},
        {"record", out, folder_.File("second.wav")},
        {"record", out, "--format", "mp3"},
        {"record", out, "--seconds", "0"},
        {"record", out, "--seconds", "-1"},
        {"record", out, "--seconds", "1.2.3"},
        {"record", out, "--buffer", "0"},
        {"record", out, "--buffer", "8001"},
        {"record", out, "--format", "gsm", "--buffer", "8000"},
        {"record", out, "--format", "ima", "--buffer", "8000"},
        {"record", out, "--device", "-2"},
        {"record", out, "--device", "tone"},
        {"record", out, "--seconds"},
        {"record", out, "--loud", "1"},
        {"play"},
        {"play", out, out},
        {"play", out, "--buffer", "0"},
        {"play", out, "--device", "x"},
        {"play", out, "--meter"},
    };
    for (const auto& args : bad) {
        std::string line;
        for (const auto& arg : args) {
            line += arg + " ";
        }
        const Outcome outcome = Sonvel(args);
        EXPECT_EQ(outcome.status, 2) << line;
        EXPECT_NE(outcome.err.find("Usage: sonvel " + args[0]), std::string::npos)
            << line << outcome.err;
        EXPECT_TRUE(outcome.out.empty()) << line;
    }
    EXPECT_TRUE(OtherFiles(folder_, {}).empty());
    const Outcome help = Sonvel({"--help"});
    EXPECT_NE(help.out.find("record FILE"), std::string::npos);
    EXPECT_NE(help.out.find("play FILE"), std::string::npos);
}

TEST_F(SonvelRecordPlayTest, FailuresExitOneAndKeepWhatWasThere) {
    // An existing file is not recorded over.
    const std::string kept = folder_.File("kept.wav");
    { std::ofstream(kept) << "older"; }
    Outcome outcome = Sonvel({"record", kept, "--seconds", "1"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("already exists"), std::string::npos) << outcome.err;
    EXPECT_EQ(ReadText(kept), "older");
    // A device that is not there, a folder that is not there: no file left.
    outcome = Sonvel({"record", folder_.File("x.wav"), "--device", "99", "--seconds", "1"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("(error 2: "), std::string::npos) << outcome.err;
    outcome = Sonvel({"record", folder_.File("no_folder/x.wav"), "--seconds", "1"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(OtherFiles(folder_, {"kept.wav"}).empty());
    // Files that cannot be played: the engine's code and its text.
    outcome = Sonvel({"play", folder_.File("missing.wav")});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("(error -101: "), std::string::npos) << outcome.err;
    outcome = Sonvel({"play", kept});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("(error 265: The chunk was not found in the file.)"),
              std::string::npos)
        << outcome.err;
}

}  // namespace
}  // namespace sonvel

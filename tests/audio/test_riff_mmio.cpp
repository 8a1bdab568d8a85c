// The RIFF file service: chunk writing and reading as the recorder and the
// player use them, seeking, buffering, and refusal of misuse.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "audio/base/wave_format.h"
#include "audio/riff/mmio.h"
#include "audio/riff/wave_file.h"
#include "tests/audio/audio_test_support.h"

namespace sonvel {
namespace {

namespace fs = std::filesystem;

using test_support::TempFolder;

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t U32At(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint32_t>(bytes.at(at)) | (static_cast<uint32_t>(bytes.at(at + 1)) << 8) |
           (static_cast<uint32_t>(bytes.at(at + 2)) << 16) |
           (static_cast<uint32_t>(bytes.at(at + 3)) << 24);
}

std::string TextAt(const std::vector<uint8_t>& bytes, size_t at) {
    return std::string(bytes.begin() + static_cast<ptrdiff_t>(at),
                       bytes.begin() + static_cast<ptrdiff_t>(at + 4));
}

std::vector<uint8_t> Pattern(size_t count, uint32_t seed) {
    std::vector<uint8_t> bytes(count);
    std::mt19937 random(seed);
    for (uint8_t& byte : bytes) {
        byte = static_cast<uint8_t>(random());
    }
    return bytes;
}

// Writes a WAV file the way the recorder does: RIFF, a 28-byte format, an
// empty fact chunk created with size 28, data, then ascends out of data and
// RIFF.
void WriteRecorderFile(const std::string& path, uint32_t openFlags, const WaveFormat& format,
                       const std::vector<uint8_t>& sound) {
    HMMIO file = mmioOpen(path.c_str(), openFlags);
    ASSERT_NE(file, nullptr);
    MMCKINFO riff;
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    ASSERT_EQ(mmioCreateChunk(file, &riff, MMIO_CREATERIFF), 0);
    MMCKINFO ck;
    ck.ckid = mmioStringToFOURCC("fmt", 0);
    ck.cksize = 28;
    ASSERT_EQ(mmioCreateChunk(file, &ck, 0), 0);
    ASSERT_EQ(mmioWrite(file, &format, 28), 28);
    ASSERT_EQ(mmioAscend(file, &ck, 0), 0);
    ck = MMCKINFO{};
    ck.ckid = mmioFOURCC('f', 'a', 'c', 't');
    ck.cksize = 28;
    ASSERT_EQ(mmioCreateChunk(file, &ck, 0), 0);
    ASSERT_EQ(mmioAscend(file, &ck, 0), 0);
    MMCKINFO data;
    data.ckid = mmioFOURCC('d', 'a', 't', 'a');
    ASSERT_EQ(mmioCreateChunk(file, &data, 0), 0);
    ASSERT_EQ(mmioSeek(file, 0, SEEK_CUR), 64);
    // In pieces, as capture buffers arrive.
    for (size_t at = 0; at < sound.size(); at += 1000) {
        const auto count = static_cast<int32_t>(std::min<size_t>(1000, sound.size() - at));
        ASSERT_EQ(mmioWrite(file, sound.data() + at, count), count);
    }
    ASSERT_EQ(mmioAscend(file, &data, 0), 0);
    ASSERT_EQ(mmioAscend(file, &riff, 0), 0);
    ASSERT_EQ(mmioClose(file), 0);
}

using test_support::GsmFormat;

class RecorderLayout : public testing::TestWithParam<uint32_t> {
  protected:
    TempFolder temp_;
};

TEST_P(RecorderLayout, EmptyRecordingIs64BytesWithRiffSize56) {
    const std::string path = temp_.File("empty.wav");
    WriteRecorderFile(path, GetParam(), GsmFormat(), {});
    const std::vector<uint8_t> bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), 64U);
    EXPECT_EQ(TextAt(bytes, 0), "RIFF");
    EXPECT_EQ(U32At(bytes, 4), 56U);
    EXPECT_EQ(TextAt(bytes, 8), "WAVE");
    EXPECT_EQ(TextAt(bytes, 12), "fmt ");
    EXPECT_EQ(U32At(bytes, 16), 28U);
    const WaveFormat format = GsmFormat();
    EXPECT_EQ(std::memcmp(bytes.data() + 20, &format, 28), 0);
    EXPECT_EQ(TextAt(bytes, 48), "fact");
    EXPECT_EQ(U32At(bytes, 52), 0U);
    EXPECT_EQ(TextAt(bytes, 56), "data");
    EXPECT_EQ(U32At(bytes, 60), 0U);
}

TEST_P(RecorderLayout, OddDataIsPaddedAndReadsBack) {
    const std::string path = temp_.File("odd.wav");
    const std::vector<uint8_t> sound = Pattern(3249, 7);
    WriteRecorderFile(path, GetParam(), GsmFormat(), sound);
    const std::vector<uint8_t> bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), 64U + 3249U + 1U);
    EXPECT_EQ(bytes.back(), 0);
    EXPECT_EQ(U32At(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(U32At(bytes, 60), 3249U);

    WaveFileInfo info;
    HMMIO file = nullptr;
    ASSERT_EQ(OpenWaveFile(path.c_str(), &file, &info), 0);
    EXPECT_EQ(info.format, GsmFormat());
    EXPECT_EQ(info.dataOffset, 64U);
    EXPECT_EQ(info.dataSize, 3249U);
    EXPECT_EQ(info.secondsLength, 1U);
    EXPECT_FALSE(info.hasFactSamples);
    std::vector<uint8_t> back(sound.size());
    EXPECT_EQ(mmioRead(file, back.data(), static_cast<int32_t>(back.size())), 3249);
    EXPECT_EQ(back, sound);
    EXPECT_EQ(mmioClose(file), 0);
}

INSTANTIATE_TEST_SUITE_P(BufferedAndNot, RecorderLayout,
                         testing::Values(MMIO_CREATE | MMIO_READWRITE | MMIO_ALLOCBUF,
                                         MMIO_CREATE | MMIO_READWRITE, MMIO_CREATE | MMIO_WRITE),
                         [](const testing::TestParamInfo<uint32_t>& param) {
                             switch (param.param) {
                                 case MMIO_CREATE | MMIO_READWRITE | MMIO_ALLOCBUF:
                                     return std::string("Buffered");
                                 case MMIO_CREATE | MMIO_READWRITE:
                                     return std::string("Unbuffered");
                                 default:
                                     return std::string("WriteOnly");
                             }
                         });

// Runs a command and returns its standard output.
std::string RunCommand(const std::string& command, int* status) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        *status = -1;
        return output;
    }
    char chunk[256];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof(chunk), pipe)) > 0) {
        output.append(chunk, got);
    }
    *status = ::pclose(pipe);
    return output;
}

TEST(RiffOracle, SoxReadsWhatWeWrite) {
    int status = 0;
    RunCommand("sox --version 2>&1", &status);
    ASSERT_EQ(status, 0) << "sox is not installed; scripts/install-deps.sh installs it";

    TempFolder temp;
    const struct {
        const char* name;
        WaveFormat format;
        size_t bytes;
        const char* samples;
    } cases[] = {
        {"pcm.wav", Pcm16Format(8000, 1), 16000, "8000"},
        {"gsm.wav", GsmFormat(), 3250, "16000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = temp.File(c.name);
        WriteRecorderFile(path, MMIO_CREATE | MMIO_READWRITE | MMIO_ALLOCBUF, c.format,
                          Pattern(c.bytes, 3));
        EXPECT_EQ(RunCommand("sox --i -r '" + path + "' 2>&1", &status), "8000\n");
        EXPECT_EQ(status, 0);
        EXPECT_EQ(RunCommand("sox --i -s '" + path + "' 2>&1", &status),
                  std::string(c.samples) + "\n");
        EXPECT_EQ(status, 0);
    }
}

// A RIFF form with a LIST, an odd unknown chunk and data, then a chunk after
// the form's end.
std::string WriteWalkFile(const TempFolder& temp) {
    const std::string path = temp.File("walk.wav");
    HMMIO file = mmioOpen(path.c_str(), MMIO_CREATE | MMIO_READWRITE | MMIO_ALLOCBUF);
    EXPECT_NE(file, nullptr);
    MMCKINFO riff;
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    EXPECT_EQ(mmioCreateChunk(file, &riff, MMIO_CREATERIFF), 0);
    MMCKINFO list;
    list.fccType = mmioFOURCC('I', 'N', 'F', 'O');
    EXPECT_EQ(mmioCreateChunk(file, &list, MMIO_CREATELIST), 0);
    MMCKINFO ck;
    ck.ckid = mmioFOURCC('I', 'S', 'F', 'T');
    EXPECT_EQ(mmioCreateChunk(file, &ck, 0), 0);
    EXPECT_EQ(mmioWrite(file, "abc", 3), 3);
    EXPECT_EQ(mmioAscend(file, &ck, 0), 0);
    EXPECT_EQ(mmioAscend(file, &list, 0), 0);
    ck = MMCKINFO{};
    ck.ckid = mmioFOURCC('j', 'u', 'n', 'k');
    EXPECT_EQ(mmioCreateChunk(file, &ck, 0), 0);
    EXPECT_EQ(mmioWrite(file, "12345", 5), 5);
    EXPECT_EQ(mmioAscend(file, &ck, 0), 0);
    ck = MMCKINFO{};
    ck.ckid = mmioFOURCC('d', 'a', 't', 'a');
    EXPECT_EQ(mmioCreateChunk(file, &ck, 0), 0);
    EXPECT_EQ(mmioWrite(file, "sound", 5), 5);
    EXPECT_EQ(mmioAscend(file, &ck, 0), 0);
    EXPECT_EQ(mmioAscend(file, &riff, 0), 0);
    ck = MMCKINFO{};
    ck.ckid = mmioFOURCC('t', 'a', 'i', 'l');
    EXPECT_EQ(mmioCreateChunk(file, &ck, 0), 0);
    EXPECT_EQ(mmioAscend(file, &ck, 0), 0);
    EXPECT_EQ(mmioClose(file), 0);
    return path;
}

TEST(RiffDescend, WalksPastUnknownAndOddChunksWithinTheParent) {
    TempFolder temp;
    const std::string path = WriteWalkFile(temp);
    const std::vector<uint8_t> bytes = ReadAll(path);
    // LIST: 8 + 4 + (8 + 3 + pad); junk: 8 + 5 + pad; data: 8 + 5 + pad.
    ASSERT_EQ(bytes.size(), 12U + 24U + 14U + 14U + 8U);
    EXPECT_EQ(U32At(bytes, 4), 4U + 24U + 14U + 14U);

    HMMIO file = mmioOpen(path.c_str(), MMIO_READ);
    ASSERT_NE(file, nullptr);
    MMCKINFO riff;
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    ASSERT_EQ(mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF), 0);
    EXPECT_EQ(riff.dwDataOffset, 8U);
    EXPECT_EQ(mmioSeek(file, 0, SEEK_CUR), 12);

    MMCKINFO ck;
    ck.ckid = mmioFOURCC('d', 'a', 't', 'a');
    ASSERT_EQ(mmioDescend(file, &ck, &riff, MMIO_FINDCHUNK), 0);
    EXPECT_EQ(ck.cksize, 5U);
    EXPECT_EQ(ck.dwDataOffset, 12U + 24U + 14U + 8U);
    char sound[6] = {};
    EXPECT_EQ(mmioRead(file, sound, 5), 5);
    EXPECT_STREQ(sound, "sound");
    ASSERT_EQ(mmioAscend(file, &ck, 0), 0);
    EXPECT_EQ(mmioSeek(file, 0, SEEK_CUR), 12 + 24 + 14 + 14);

    // The chunk after the form is out of the parent's reach, not of the file's.
    MMCKINFO tail;
    tail.ckid = mmioFOURCC('t', 'a', 'i', 'l');
    mmioSeek(file, 12, SEEK_SET);
    EXPECT_EQ(mmioDescend(file, &tail, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
    mmioSeek(file, 0, SEEK_SET);
    EXPECT_EQ(mmioDescend(file, &tail, nullptr, MMIO_FINDCHUNK), 0);
    EXPECT_EQ(tail.cksize, 0U);

    MMCKINFO list;
    list.fccType = mmioFOURCC('I', 'N', 'F', 'O');
    mmioSeek(file, 12, SEEK_SET);
    ASSERT_EQ(mmioDescend(file, &list, &riff, MMIO_FINDLIST), 0);
    EXPECT_EQ(list.ckid, FOURCC_LIST);
    EXPECT_EQ(list.cksize, 4U + 12U);
    ck = MMCKINFO{};
    ASSERT_EQ(mmioDescend(file, &ck, &list, 0), 0);
    EXPECT_EQ(ck.ckid, mmioFOURCC('I', 'S', 'F', 'T'));
    EXPECT_EQ(ck.cksize, 3U);

    MMCKINFO other;
    other.fccType = mmioFOURCC('A', 'V', 'I', ' ');
    mmioSeek(file, 0, SEEK_SET);
    EXPECT_EQ(mmioDescend(file, &other, nullptr, MMIO_FINDRIFF), MMIOERR_CHUNKNOTFOUND);
    EXPECT_EQ(mmioClose(file), 0);
}

TEST(RiffDescend, SizesNear4GiBDoNotWrap) {
    TempFolder temp;
    const std::string path = temp.File("huge.wav");
    {
        std::ofstream out(path, std::ios::binary);
        // RIFF claiming 0xFFFFFFFF, a chunk claiming 0xFFFFFFF9 (odd: padded
        // to 2^32 - 6, which would wrap a 32-bit sum back into the file).
        out.write("RIFF\xFF\xFF\xFF\xFFWAVEjunk\xF9\xFF\xFF\xFF", 20);
        out.write("data\x00\x00\x00\x00", 8);
    }
    HMMIO file = mmioOpen(path.c_str(), MMIO_READ | MMIO_ALLOCBUF);
    ASSERT_NE(file, nullptr);
    MMCKINFO riff;
    ASSERT_EQ(mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF), 0);
    EXPECT_EQ(riff.cksize, 0xFFFFFFFFU);
    MMCKINFO ck;
    ck.ckid = mmioFOURCC('d', 'a', 't', 'a');
    EXPECT_EQ(mmioDescend(file, &ck, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);

    mmioSeek(file, 12, SEEK_SET);
    ASSERT_EQ(mmioDescend(file, &ck, &riff, 0), 0);
    ASSERT_EQ(mmioAscend(file, &ck, 0), 0);
    EXPECT_EQ(mmioSeek(file, 0, SEEK_CUR), 20 + int64_t{0xFFFFFFFA});
    char byte = 0;
    EXPECT_EQ(mmioRead(file, &byte, 1), 0);
    EXPECT_EQ(mmioClose(file), 0);

    // A chunk header past the 32-bit offsets is refused before anything is
    // written.
    HMMIO out = mmioOpen(temp.File("far.wav").c_str(), MMIO_CREATE | MMIO_READWRITE);
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(mmioSeek(out, 0xFFFFFFF5, SEEK_SET), 0xFFFFFFF5);
    MMCKINFO far;
    EXPECT_EQ(mmioCreateChunk(out, &far, 0), MMIOERR_CANNOTEXPAND);
    EXPECT_EQ(mmioClose(out), 0);
    EXPECT_EQ(fs::file_size(temp.File("far.wav")), 0U);
}

TEST(RiffSeek, OriginsBoundsAndGaps) {
    TempFolder temp;
    const std::string path = temp.File("seek.bin");
    HMMIO file = mmioOpen(path.c_str(), MMIO_CREATE | MMIO_READWRITE | MMIO_ALLOCBUF);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(mmioWrite(file, "0123456789", 10), 10);
    EXPECT_EQ(mmioSeek(file, 0, SEEK_END), 10);  // counts bytes still in the buffer
    EXPECT_EQ(mmioSeek(file, 3, SEEK_SET), 3);
    EXPECT_EQ(mmioSeek(file, 2, SEEK_CUR), 5);
    EXPECT_EQ(mmioSeek(file, -1, SEEK_END), 9);
    EXPECT_EQ(mmioSeek(file, -10, SEEK_CUR), -1);
    EXPECT_EQ(mmioSeek(file, 0, 7), -1);
    EXPECT_EQ(mmioSeek(file, 0, SEEK_CUR), 9);  // failed seeks leave it
    char c = 0;
    EXPECT_EQ(mmioRead(file, &c, 1), 1);
    EXPECT_EQ(c, '9');
    EXPECT_EQ(mmioRead(file, &c, 1), 0);

    // Writing past the end leaves zeros in between.
    EXPECT_EQ(mmioSeek(file, 20000, SEEK_SET), 20000);
    EXPECT_EQ(mmioWrite(file, "x", 1), 1);
    EXPECT_EQ(mmioSeek(file, 0, SEEK_END), 20001);
    EXPECT_EQ(mmioClose(file), 0);
    const std::vector<uint8_t> bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), 20001U);
    EXPECT_EQ(bytes[9], '9');
    EXPECT_EQ(bytes[10], 0);
    EXPECT_EQ(bytes[19999], 0);
    EXPECT_EQ(bytes[20000], 'x');
}

TEST(RiffBuffering, BufferedAndUnbufferedGiveTheSameResults) {
    TempFolder temp;
    HMMIO files[2] = {
        mmioOpen(temp.File("buffered").c_str(), MMIO_CREATE | MMIO_READWRITE | MMIO_ALLOCBUF),
        mmioOpen(temp.File("direct").c_str(), MMIO_CREATE | MMIO_READWRITE)};
    ASSERT_NE(files[0], nullptr);
    ASSERT_NE(files[1], nullptr);
    std::mt19937 random(12345);
    for (int step = 0; step < 3000; ++step) {
        const uint32_t op = random() % 3;
        // Sizes around the buffer's, so runs cross and exceed it.
        const auto count = static_cast<int32_t>(random() % (3 * MMIO_DEFAULTBUFFER));
        const int64_t at = static_cast<int64_t>(random() % 60000);
        const std::vector<uint8_t> data = Pattern(static_cast<size_t>(count), random());
        int64_t results[2];
        std::vector<uint8_t> read[2];
        for (int i = 0; i < 2; ++i) {
            if (op == 0) {
                results[i] = mmioSeek(files[i], at, SEEK_SET);
            } else if (op == 1) {
                results[i] = mmioWrite(files[i], data.data(), count);
            } else {
                read[i].resize(static_cast<size_t>(count));
                results[i] = mmioRead(files[i], read[i].data(), count);
                read[i].resize(static_cast<size_t>(std::max<int64_t>(results[i], 0)));
            }
        }
        ASSERT_EQ(results[0], results[1]) << "step " << step << " op " << op;
        ASSERT_EQ(read[0], read[1]) << "step " << step;
        ASSERT_EQ(mmioSeek(files[0], 0, SEEK_CUR), mmioSeek(files[1], 0, SEEK_CUR));
        ASSERT_EQ(mmioSeek(files[0], 0, SEEK_CUR), mmioSeek(files[1], 0, SEEK_CUR));
    }
    EXPECT_EQ(mmioClose(files[0]), 0);
    EXPECT_EQ(mmioClose(files[1]), 0);
    EXPECT_EQ(ReadAll(temp.File("buffered")), ReadAll(temp.File("direct")));
}

TEST(RiffOpen, FailuresHaveTheirCodes) {
    TempFolder temp;
    MMRESULT error = 0;
    EXPECT_EQ(mmioOpen(temp.File("missing.wav").c_str(), MMIO_READ, &error), nullptr);
    EXPECT_EQ(error, MMIOERR_FILENOTFOUND);
    EXPECT_EQ(mmioOpen(temp.File("no/such/folder.wav").c_str(), MMIO_CREATE | MMIO_WRITE, &error),
              nullptr);
    EXPECT_EQ(error, MMIOERR_PATHNOTFOUND);
    EXPECT_EQ(mmioOpen(temp.File("").c_str(), MMIO_READ, &error), nullptr);
    EXPECT_EQ(error, MMIOERR_INVALIDFILE);  // a folder
    // A FIFO would block a plain open until a writer comes.
    const std::string fifo = temp.File("fifo.wav");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(mmioOpen(fifo.c_str(), MMIO_READ, &error), nullptr);
    EXPECT_EQ(error, MMIOERR_INVALIDFILE);
    EXPECT_EQ(mmioOpen(nullptr, MMIO_READ, &error), nullptr);
    EXPECT_EQ(error, MMSYSERR_INVALPARAM);
    EXPECT_EQ(mmioOpen(temp.File("x").c_str(), MMIO_CREATE | 3, &error), nullptr);
    EXPECT_EQ(error, MMSYSERR_INVALFLAG);
    EXPECT_EQ(mmioOpen(temp.File("x").c_str(), MMIO_CREATE | MMIO_WRITE | 0x80000, &error),
              nullptr);
    EXPECT_EQ(error, MMSYSERR_INVALFLAG);

    HMMIO file = mmioOpen(temp.File("shared").c_str(),
                          MMIO_CREATE | MMIO_READWRITE | MMIO_EXCLUSIVE, &error);
    EXPECT_NE(file, nullptr);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(mmioClose(file), 0);
    if (::geteuid() != 0) {
        ::chmod(temp.File("shared").c_str(), 0);
        EXPECT_EQ(mmioOpen(temp.File("shared").c_str(), MMIO_READ, &error), nullptr);
        EXPECT_EQ(error, MMIOERR_ACCESSDENIED);
    }
}

// A link planted under a file's name, to an outside file or to none yet:
// creating or writing never goes through it. The outside file keeps its
// bytes (a dangling link creates nothing) and the link stays a link.
// Reading through a link is left to the reader's own checks.
TEST(RiffOpen, WritingNeverGoesThroughALink) {
    TempFolder temp;
    const std::string outside = temp.File("outside");
    const std::string link = temp.File("call.wav");
    const std::vector<uint8_t> original = {'k', 'e', 'e', 'p', '\n'};
    for (const uint32_t flags :
         {MMIO_CREATE | MMIO_READWRITE | MMIO_ALLOCBUF, MMIO_CREATE | MMIO_WRITE,
          MMIO_CREATE | MMIO_READ, MMIO_WRITE, MMIO_READWRITE}) {
        for (const bool dangling : {false, true}) {
            SCOPED_TRACE("flags " + std::to_string(flags) + (dangling ? " dangling" : ""));
            fs::remove(outside);
            fs::remove(link);
            if (!dangling) {
                std::ofstream(outside, std::ios::binary)
                    .write(reinterpret_cast<const char*>(original.data()),
                           static_cast<std::streamsize>(original.size()));
            }
            fs::create_symlink(outside, link);
            MMRESULT error = 0;
            HMMIO file = mmioOpen(link.c_str(), flags, &error);
            if (file != nullptr) {
                mmioWrite(file, "RIFF", 4);
                mmioClose(file);
            }
            EXPECT_EQ(file, nullptr);
            EXPECT_EQ(error, MMIOERR_INVALIDFILE);
            EXPECT_TRUE(fs::is_symlink(link));
            if (dangling) {
                EXPECT_FALSE(fs::exists(outside));
            } else {
                EXPECT_EQ(ReadAll(outside), original);
            }
        }
    }
}

TEST(RiffMisuse, IsRefusedWithoutHarm) {
    TempFolder temp;
    const std::string path = temp.File("f.wav");
    HMMIO file = mmioOpen(path.c_str(), MMIO_CREATE | MMIO_READWRITE | MMIO_ALLOCBUF);
    ASSERT_NE(file, nullptr);
    MMCKINFO ck;
    char byte = 0;
    EXPECT_EQ(mmioRead(file, nullptr, 1), -1);
    EXPECT_EQ(mmioRead(file, &byte, -1), -1);
    EXPECT_EQ(mmioWrite(file, nullptr, 1), -1);
    EXPECT_EQ(mmioDescend(file, nullptr, nullptr, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(mmioDescend(file, &ck, nullptr, MMIO_FINDRIFF | MMIO_FINDCHUNK), MMSYSERR_INVALFLAG);
    EXPECT_EQ(mmioAscend(file, nullptr, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(mmioCreateChunk(file, nullptr, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(mmioCreateChunk(file, &ck, 0x8000), MMSYSERR_INVALFLAG);
    // Ascending from a chunk whose start lies after the position.
    ck.dwDataOffset = 100;
    ck.dwFlags = MMIO_DIRTY;
    EXPECT_EQ(mmioAscend(file, &ck, 0), MMSYSERR_INVALPARAM);
    EXPECT_EQ(mmioDescend(file, &ck, nullptr, 0), MMIOERR_CHUNKNOTFOUND);  // empty file
    EXPECT_EQ(mmioClose(file), 0);

    // Closed, never opened and null handles.
    for (HMMIO bad :
         {file, static_cast<HMMIO>(nullptr), reinterpret_cast<HMMIO>(uintptr_t{9999})}) {
        EXPECT_EQ(mmioClose(bad), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(mmioRead(bad, &byte, 1), -1);
        EXPECT_EQ(mmioWrite(bad, &byte, 1), -1);
        EXPECT_EQ(mmioSeek(bad, 0, SEEK_SET), -1);
        EXPECT_EQ(mmioFlush(bad), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(mmioDescend(bad, &ck, nullptr, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(mmioAscend(bad, &ck, 0), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(mmioCreateChunk(bad, &ck, 0), MMSYSERR_INVALHANDLE);
    }

    // A read handle neither writes nor creates chunks, and leaves the file alone.
    {
        std::ofstream out(path, std::ios::binary);
        out << "RIFF";
    }
    HMMIO reader = mmioOpen(path.c_str(), MMIO_READ | MMIO_ALLOCBUF);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(mmioWrite(reader, "x", 1), -1);
    ck = MMCKINFO{};
    EXPECT_EQ(mmioCreateChunk(reader, &ck, MMIO_CREATERIFF), MMIOERR_CANNOTWRITE);
    EXPECT_EQ(mmioClose(reader), 0);
    EXPECT_EQ(ReadAll(path), (std::vector<uint8_t>{'R', 'I', 'F', 'F'}));
}

TEST(RiffFourcc, TextIsPaddedWithBlanks) {
    EXPECT_EQ(mmioStringToFOURCC("fmt", 0), mmioFOURCC('f', 'm', 't', ' '));
    EXPECT_EQ(mmioStringToFOURCC("wave", MMIO_TOUPPER), mmioFOURCC('W', 'A', 'V', 'E'));
    EXPECT_EQ(mmioStringToFOURCC("datalong", 0), mmioFOURCC('d', 'a', 't', 'a'));
    EXPECT_EQ(mmioFOURCC('R', 'I', 'F', 'F'), 0x46464952U);
}

}  // namespace
}  // namespace sonvel

#pragma once
// Shared by the compression manager's tests: generated signals, whole-buffer
// conversions through the stream calls, minimal WAV files and sox.

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/acm/acm.h"
#include "tests/audio/audio_test_support.h"

extern char** environ;

namespace sonvel::testing {

using Bytes = std::vector<uint8_t>;

// A 440 Hz tone, a 300..3400 Hz sweep and fixed-seed noise, mixed.
inline std::vector<int16_t> TestSignal(size_t samples, double rate = 8000.0) {
    std::vector<int16_t> out(samples);
    uint32_t seed = 12345;
    const double pi = std::acos(-1.0);
    const double seconds = static_cast<double>(samples) / rate;
    for (size_t i = 0; i < samples; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double sweep = 300.0 * t + (3100.0 / (2.0 * seconds)) * t * t;
        seed = seed * 1664525u + 1013904223u;
        const double noise =
            static_cast<double>(static_cast<int32_t>(seed >> 16) - 32768) / 32768.0;
        const double value = 9000.0 * std::sin(2 * pi * 440.0 * t) +
                             9000.0 * std::sin(2 * pi * sweep) + 2500.0 * noise;
        out[i] = static_cast<int16_t>(std::lround(value));
    }
    return out;
}

inline Bytes ToBytes(const std::vector<int16_t>& samples) {
    Bytes out(samples.size() * 2);
    if (!out.empty()) {
        std::memcpy(out.data(), samples.data(), out.size());
    }
    return out;
}

inline std::vector<int16_t> ToSamples(const Bytes& bytes) {
    std::vector<int16_t> out(bytes.size() / 2);
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

using test_support::AlawFormat;
using test_support::GsmFormat;
using test_support::ImaFormat;
using test_support::MulawFormat;
using test_support::TrueSpeechFormat;

// One conversion of all of `in` on a fresh stream, as the last piece.
inline Bytes Convert(const WaveFormat& src, const WaveFormat& dst, const Bytes& in,
                     uint32_t flags = ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END) {
    HACMSTREAM h = nullptr;
    const MMRESULT opened = acmStreamOpen(&h, src, dst, ACM_STREAMOPENF_NONREALTIME);
    EXPECT_EQ(opened, MMSYSERR_NOERROR);
    if (opened != MMSYSERR_NOERROR) {
        return {};
    }
    uint32_t room = 0;
    EXPECT_EQ(acmStreamSize(h, static_cast<uint32_t>(in.size()), &room, ACM_STREAMSIZEF_SOURCE),
              MMSYSERR_NOERROR);
    Bytes source = in;
    Bytes out(room);
    ACMSTREAMHEADER header;
    header.pbSrc = source.data();
    header.cbSrcLength = static_cast<uint32_t>(source.size());
    header.pbDst = out.data();
    header.cbDstLength = room;
    EXPECT_EQ(acmStreamPrepareHeader(h, &header, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamConvert(h, &header, flags), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamUnprepareHeader(h, &header, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamClose(h, 0), MMSYSERR_NOERROR);
    out.resize(header.cbDstLengthUsed);
    return out;
}

using test_support::TempFolder;

inline void PutLe(Bytes& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>((value >> (8 * i)) & 0xFF));
    }
}

inline void PutChunk(Bytes& out, const char* id, const Bytes& payload) {
    out.insert(out.end(), id, id + 4);
    PutLe(out, static_cast<uint32_t>(payload.size()), 4);
    out.insert(out.end(), payload.begin(), payload.end());
    if (payload.size() % 2 != 0) {
        out.push_back(0);
    }
}

// RIFF WAVE with "fmt " (the codec's extra bytes for compressed formats),
// "fact" (compressed formats) and "data".
inline bool WriteWav(const std::string& path, const WaveFormat& format, const Bytes& data,
                     uint32_t samples) {
    Bytes fmt(kWaveFormatHeaderSize);
    std::memcpy(fmt.data(), &format, kWaveFormatHeaderSize);
    const bool pcm = format.wFormatTag == WAVE_FORMAT_PCM;
    if (pcm) {
        fmt.resize(16);
    } else {
        // The record holds ten extra bytes; a codec that declares more (as
        // TrueSpeech's 32) gets zeros for the rest.
        const size_t declared = static_cast<size_t>(std::max<int16_t>(format.cbSize, 0));
        const size_t held = std::min(declared, sizeof format.xBytes);
        fmt.insert(fmt.end(), format.xBytes, format.xBytes + held);
        fmt.resize(fmt.size() + declared - held, 0);
    }
    Bytes body = {'W', 'A', 'V', 'E'};
    PutChunk(body, "fmt ", fmt);
    if (!pcm) {
        Bytes fact;
        PutLe(fact, samples, 4);
        PutChunk(body, "fact", fact);
    }
    PutChunk(body, "data", data);
    Bytes file = {'R', 'I', 'F', 'F'};
    PutLe(file, static_cast<uint32_t>(body.size()), 4);
    file.insert(file.end(), body.begin(), body.end());
    std::ofstream stream(path, std::ios::binary);
    stream.write(reinterpret_cast<const char*>(file.data()),
                 static_cast<std::streamsize>(file.size()));
    return static_cast<bool>(stream);
}

inline bool WritePcmWav(const std::string& path, const std::vector<int16_t>& samples) {
    return WriteWav(path, Pcm16Format(8000, 1), ToBytes(samples),
                    static_cast<uint32_t>(samples.size()));
}

struct WavFile {
    Bytes fmt;
    Bytes data;
};

// Walks the chunks; an empty result when the file is not a WAV file.
inline WavFile ReadWav(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    WavFile wav;
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
        std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
        return wav;
    }
    size_t at = 12;
    while (at + 8 <= file.size()) {
        const uint32_t size = static_cast<uint32_t>(file[at + 4] | (file[at + 5] << 8) |
                                                    (file[at + 6] << 16) | (file[at + 7] << 24));
        const size_t end = std::min(file.size(), at + 8 + size);
        const Bytes payload(file.begin() + static_cast<ptrdiff_t>(at + 8),
                            file.begin() + static_cast<ptrdiff_t>(end));
        if (std::memcmp(file.data() + at, "fmt ", 4) == 0) {
            wav.fmt = payload;
        } else if (std::memcmp(file.data() + at, "data", 4) == 0) {
            wav.data = payload;
        }
        at = at + 8 + size + (size % 2);
    }
    return wav;
}

// Runs sox with the arguments; the test fails with a clear message when
// sox is not installed.
inline bool RunSox(std::vector<std::string> args) {
    args.insert(args.begin(), "sox");
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "sox", nullptr, nullptr, argv.data(), environ);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot run sox (" << std::strerror(spawned)
                      << "); the tests need it: install the Debian package sox";
        return false;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        ADD_FAILURE() << "sox did not finish";
        return false;
    }
    if (WEXITSTATUS(status) == 127) {
        ADD_FAILURE() << "sox is not installed; the tests need it: install the Debian package sox";
        return false;
    }
    EXPECT_EQ(WEXITSTATUS(status), 0) << "sox failed";
    return WEXITSTATUS(status) == 0;
}

}  // namespace sonvel::testing

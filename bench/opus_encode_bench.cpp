// Exporting a recording as Ogg Opus (and FLAC, for comparison): the CPU
// time per second of call, as the share of one core that encoding a call
// as it happens would take. The source is speech-like sound (a voice with a
// moving pitch and formants, syllables and pauses, line noise) stored as
// the program stores calls: 16-bit PCM and GSM 6.10.
//
//   opus_encode_bench [minutes]   (default 10)
#include <time.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "audio/acm/acm.h"
#include "audio/riff/mmio.h"
#include "audio/riff/wave_file.h"
#include "audio/sonvel_export.h"

namespace {

using namespace sonvel;

constexpr int kRate = 8000;

std::vector<int16_t> SpeechLike(size_t samples) {
    std::vector<int16_t> out(samples);
    std::mt19937 random(23);
    std::normal_distribution<double> noise(0.0, 60.0);
    const double pi = std::acos(-1.0);
    double phase = 0;
    for (size_t i = 0; i < samples; ++i) {
        const double t = static_cast<double>(i) / kRate;
        // Syllables of 200 ms in phrases of 2 s, then 1 s of pause.
        const double inPhrase = std::fmod(t, 3.0);
        const double syllable = std::sin(pi * std::fmod(t, 0.2) / 0.2);
        const double loudness = inPhrase < 2.0 ? syllable * syllable : 0.0;
        const double pitch = 120.0 + 40.0 * std::sin(2 * pi * 0.7 * t) + 15.0 * std::sin(t * 9.1);
        phase += 2 * pi * pitch / kRate;
        // Harmonics shaped by two moving formants.
        const double f1 = 500.0 + 250.0 * std::sin(2 * pi * 2.3 * t);
        const double f2 = 1500.0 + 600.0 * std::sin(2 * pi * 1.7 * t + 1.0);
        double voice = 0;
        for (int h = 1; h * pitch < 3400.0; ++h) {
            const double f = h * pitch;
            const double gain = 1.0 / (1.0 + std::pow((f - f1) / 150.0, 2)) +
                                0.6 / (1.0 + std::pow((f - f2) / 200.0, 2));
            voice += gain * std::sin(h * phase);
        }
        out[i] = static_cast<int16_t>(
            std::clamp(6000.0 * loudness * voice + noise(random), -32768.0, 32767.0));
    }
    return out;
}

// A WAV file of `samples` in `format`, through the compression manager.
bool WriteRecording(const std::string& path, const std::vector<int16_t>& samples,
                    const WaveFormat& format) {
    const WaveFormat pcm = Pcm16Format(kRate, 1);
    std::vector<uint8_t> data(samples.size() * 2);
    std::memcpy(data.data(), samples.data(), data.size());
    if (format.wFormatTag != WAVE_FORMAT_PCM) {
        HACMSTREAM stream = nullptr;
        if (acmStreamOpen(&stream, pcm, format, ACM_STREAMOPENF_NONREALTIME) != 0) {
            return false;
        }
        uint32_t room = 0;
        acmStreamSize(stream, static_cast<uint32_t>(data.size()), &room, ACM_STREAMSIZEF_SOURCE);
        std::vector<uint8_t> coded(room);
        ACMSTREAMHEADER header;
        header.pbSrc = data.data();
        header.cbSrcLength = static_cast<uint32_t>(data.size());
        header.pbDst = coded.data();
        header.cbDstLength = room;
        acmStreamPrepareHeader(stream, &header, 0);
        acmStreamConvert(stream, &header, ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END);
        acmStreamUnprepareHeader(stream, &header, 0);
        acmStreamClose(stream, 0);
        coded.resize(header.cbDstLengthUsed);
        data = std::move(coded);
    }
    MMRESULT result = 0;
    HMMIO file = mmioOpen(path.c_str(), MMIO_CREATE | MMIO_WRITE | MMIO_ALLOCBUF, &result);
    if (file == nullptr) {
        return false;
    }
    MMCKINFO riff;
    riff.fccType = FOURCC_WAVE;
    mmioCreateChunk(file, &riff, MMIO_CREATERIFF);
    MMCKINFO fmt;
    fmt.ckid = FOURCC_FMT;
    mmioCreateChunk(file, &fmt, 0);
    const bool plain = format.wFormatTag == WAVE_FORMAT_PCM;
    mmioWrite(file, &format, plain ? 16 : 18 + format.cbSize);
    mmioAscend(file, &fmt);
    if (!plain) {
        MMCKINFO fact;
        fact.ckid = FOURCC_FACT;
        mmioCreateChunk(file, &fact, 0);
        const auto count = static_cast<uint32_t>(samples.size());
        mmioWrite(file, &count, 4);
        mmioAscend(file, &fact);
    }
    MMCKINFO chunk;
    chunk.ckid = FOURCC_DATA;
    mmioCreateChunk(file, &chunk, 0);
    mmioWrite(file, data.data(), static_cast<int32_t>(data.size()));
    mmioAscend(file, &chunk);
    mmioAscend(file, &riff);
    return mmioClose(file) == 0;
}

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    const double minutes = argc > 1 ? std::atof(argv[1]) : 10.0;
    const auto samples = static_cast<size_t>(minutes * 60.0 * kRate);
    const double seconds = static_cast<double>(samples) / kRate;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("opus_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::vector<int16_t> speech = SpeechLike(samples);

    WaveFormat gsm;
    gsm.wFormatTag = WAVE_FORMAT_GSM610;
    gsm.nChannels = 1;
    gsm.nSamplesPerSec = kRate;
    gsm.nAvgBytesPerSec = 1625;
    gsm.nBlockAlign = 65;
    gsm.cbSize = 2;
    gsm.xBytes[0] = 0x40;
    gsm.xBytes[1] = 0x01;
    const struct {
        const char* name;
        WaveFormat format;
    } sources[] = {{"PCM", Pcm16Format(kRate, 1)}, {"GSM 6.10", gsm}};
    const struct {
        const char* name;
        ExportFormat format;
    } outputs[] = {{"Opus 12 kb/s", ExportFormat::kOpus},
                   {"Opus 8 kb/s", ExportFormat::kOpusCompact},
                   {"FLAC", ExportFormat::kFlac}};

    std::printf("%.0f s of speech-like sound; CPU per second of call = share of one core\n",
                seconds);
    std::printf("%-10s %-14s %10s %12s %10s\n", "source", "output", "CPU s", "% of a core", "kB");
    for (const auto& source : sources) {
        const std::string in = (folder / "call.wav").string();
        if (!WriteRecording(in, speech, source.format)) {
            std::fprintf(stderr, "cannot write %s\n", in.c_str());
            return 1;
        }
        for (const auto& output : outputs) {
            const std::string out = (folder / "copy").string();
            const double start = CpuSeconds();
            const std::string problem = ExportRecording(in, out, output.format, {"bench", "", {}});
            const double used = CpuSeconds() - start;
            if (!problem.empty()) {
                std::fprintf(stderr, "%s\n", problem.c_str());
                return 1;
            }
            std::printf("%-10s %-14s %10.2f %11.3f%% %10.0f\n", source.name, output.name, used,
                        used / seconds * 100.0,
                        static_cast<double>(std::filesystem::file_size(out)) / 1000.0);
        }
    }
    std::filesystem::remove_all(folder);
    return 0;
}

// Writes the incoming-call sounds that ship in the program folder's Sound/:
// a two-tone ring and a soft chime, the recording announcement and the
// message for blocked callers, synthesized here so that the project
// owns every byte it ships. Usage: orvane-make-sounds OUTPUT_FOLDER
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int kSampleRate = 22050;
constexpr double kFadeSeconds = 0.005;  // no clicks at the edges of a tone

void PutLittleEndian(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xff);
    }
}

// A canonical 16-bit mono PCM WAV file.
bool WriteWave(const std::string& path, const std::vector<double>& samples) {
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::string out = "RIFF";
    PutLittleEndian(out, 36 + dataBytes, 4);
    out += "WAVEfmt ";
    PutLittleEndian(out, 16, 4);
    PutLittleEndian(out, 1, 2);  // PCM
    PutLittleEndian(out, 1, 2);  // mono
    PutLittleEndian(out, kSampleRate, 4);
    PutLittleEndian(out, kSampleRate * 2, 4);
    PutLittleEndian(out, 2, 2);
    PutLittleEndian(out, 16, 2);
    out += "data";
    PutLittleEndian(out, dataBytes, 4);
    for (double sample : samples) {
        const long value = std::lround(std::clamp(sample, -1.0, 1.0) * 32767.0);
        PutLittleEndian(out, static_cast<uint32_t>(static_cast<int16_t>(value)), 2);
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(file);
}

void AddTone(std::vector<double>& samples, double start, double length,
             const std::function<double(double)>& wave) {
    const size_t first = static_cast<size_t>(start * kSampleRate);
    const size_t count = static_cast<size_t>(length * kSampleRate);
    samples.resize(std::max(samples.size(), first + count));
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double fade = std::min({1.0, t / kFadeSeconds, (length - t) / kFadeSeconds});
        samples[first + i] += fade * wave(t);
    }
}

double Sine(double frequency, double t) {
    return std::sin(2.0 * std::numbers::pi * frequency * t);
}

// Two bursts of 400 Hz and 450 Hz together, then a pause: one ring cycle.
std::vector<double> TwoToneRing() {
    std::vector<double> samples;
    const auto tones = [](double t) { return 0.3 * Sine(400, t) + 0.3 * Sine(450, t); };
    AddTone(samples, 0.0, 0.4, tones);
    AddTone(samples, 0.6, 0.4, tones);
    samples.resize(static_cast<size_t>(2.0 * kSampleRate));
    return samples;
}

// Two bell-like notes (a fifth apart, with a quiet octave partial) that die away.
std::vector<double> SoftChime() {
    std::vector<double> samples;
    const auto note = [](double frequency) {
        return [frequency](double t) {
            return 0.35 * std::exp(-t / 0.4) * (Sine(frequency, t) + 0.25 * Sine(2 * frequency, t));
        };
    };
    AddTone(samples, 0.0, 1.2, note(987.77));    // B5
    AddTone(samples, 0.35, 1.25, note(659.26));  // E5
    return samples;
}

// Three short 1400 Hz beeps, the tone that tells a caller the call is
// recorded.
std::vector<double> RecordingTone() {
    std::vector<double> samples;
    const auto beep = [](double t) { return 0.4 * Sine(1400, t); };
    for (int i = 0; i < 3; ++i) {
        AddTone(samples, 0.35 * i, 0.2, beep);
    }
    samples.resize(static_cast<size_t>(1.2 * kSampleRate));
    return samples;
}

// The special information tone twice, then a second of silence: the three
// rising tones that the exchange plays for a number not in service, which
// autodialers take as a reason to strike the number off their list.
std::vector<double> NotInServiceTone() {
    struct Segment {
        double frequency;
        double seconds;
    };
    constexpr Segment kSegments[] = {{913.8, 0.274}, {1370.6, 0.274}, {1776.7, 0.380}};
    std::vector<double> samples;
    double start = 0.0;
    for (int round = 0; round < 2; ++round) {
        for (const Segment& segment : kSegments) {
            const double frequency = segment.frequency;
            AddTone(samples, start, segment.seconds,
                    [frequency](double t) { return 0.4 * Sine(frequency, t); });
            start += segment.seconds;
        }
    }
    samples.resize(static_cast<size_t>((start + 1.0) * kSampleRate));
    return samples;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: orvane-make-sounds OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const bool ok = WriteWave(folder + "/Ring.wav", TwoToneRing()) &&
                    WriteWave(folder + "/Chime.wav", SoftChime()) &&
                    WriteWave(folder + "/Recorded.wav", RecordingTone()) &&
                    WriteWave(folder + "/Blocked.wav", NotInServiceTone());
    if (!ok) {
        std::fprintf(stderr, "orvane-make-sounds: cannot write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}

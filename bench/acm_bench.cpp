// One hour of 8 kHz mono telephone audio through the compression manager's
// stream calls, in the pipeline's buffer sizes; reports seconds per hour.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "audio/acm/acm.h"

namespace {

using sonvel::WaveFormat;

constexpr size_t kHourSamples = 8000 * 3600;
// Two seconds of capture per conversion, a whole number of every codec's
// blocks is not needed: block alignment carries the rest.
constexpr size_t kPieceBytes = 32000;

const std::vector<uint8_t>& HourOfPcm() {
    static const std::vector<uint8_t> bytes = [] {
        std::vector<int16_t> samples(kHourSamples);
        uint32_t seed = 1;
        for (size_t i = 0; i < samples.size(); ++i) {
            seed = seed * 1664525u + 1013904223u;
            const double t = static_cast<double>(i) / 8000.0;
            samples[i] =
                static_cast<int16_t>(8000.0 * std::sin(2 * 3.14159265 * 440.0 * t) +
                                     static_cast<double>(static_cast<int32_t>(seed >> 20) - 2048));
        }
        std::vector<uint8_t> out(samples.size() * 2);
        std::memcpy(out.data(), samples.data(), out.size());
        return out;
    }();
    return bytes;
}

WaveFormat Codec(int16_t tag) {
    WaveFormat format;
    format.wFormatTag = tag;
    sonvel::acmFormatSuggest(sonvel::Pcm16Format(8000, 1), &format,
                             sonvel::ACM_FORMATSUGGESTF_WFORMATTAG);
    return format;
}

// Converts all of `in` in pieces; returns the output.
std::vector<uint8_t> Run(const WaveFormat& src, const WaveFormat& dst,
                         const std::vector<uint8_t>& in, size_t pieceBytes) {
    sonvel::HACMSTREAM h = nullptr;
    if (sonvel::acmStreamOpen(&h, src, dst, sonvel::ACM_STREAMOPENF_NONREALTIME) != 0) {
        return {};
    }
    uint32_t room = 0;
    sonvel::acmStreamSize(h, static_cast<uint32_t>(pieceBytes), &room,
                          sonvel::ACM_STREAMSIZEF_SOURCE);
    std::vector<uint8_t> out;
    std::vector<uint8_t> piece(pieceBytes);
    std::vector<uint8_t> converted(room);
    size_t at = 0;
    while (at < in.size()) {
        const size_t take = std::min(pieceBytes, in.size() - at);
        std::memcpy(piece.data(), in.data() + at, take);
        sonvel::ACMSTREAMHEADER header;
        header.pbSrc = piece.data();
        header.cbSrcLength = static_cast<uint32_t>(take);
        header.pbDst = converted.data();
        header.cbDstLength = room;
        sonvel::acmStreamPrepareHeader(h, &header, 0);
        const bool last = at + take == in.size();
        sonvel::acmStreamConvert(h, &header, last ? 0 : sonvel::ACM_STREAMCONVERTF_BLOCKALIGN);
        sonvel::acmStreamUnprepareHeader(h, &header, 0);
        if (header.cbSrcLengthUsed == 0) {
            break;
        }
        out.insert(out.end(), converted.begin(), converted.begin() + header.cbDstLengthUsed);
        at += header.cbSrcLengthUsed;
    }
    sonvel::acmStreamClose(h, 0);
    return out;
}

void Encode(benchmark::State& state, int16_t tag) {
    const WaveFormat codec = Codec(tag);
    for (auto _ : state) {
        auto out = Run(sonvel::Pcm16Format(8000, 1), codec, HourOfPcm(), kPieceBytes);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["seconds_per_hour"] =
        benchmark::Counter(static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void Decode(benchmark::State& state, int16_t tag) {
    const WaveFormat codec = Codec(tag);
    const auto encoded = Run(sonvel::Pcm16Format(8000, 1), codec, HourOfPcm(), kPieceBytes);
    for (auto _ : state) {
        auto out = Run(codec, sonvel::Pcm16Format(8000, 1), encoded,
                       static_cast<size_t>(codec.nBlockAlign) * 100);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["seconds_per_hour"] =
        benchmark::Counter(static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK_CAPTURE(Encode, gsm610, sonvel::WAVE_FORMAT_GSM610)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(Decode, gsm610, sonvel::WAVE_FORMAT_GSM610)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(Encode, ima_adpcm, sonvel::WAVE_FORMAT_ADPCM)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(Decode, ima_adpcm, sonvel::WAVE_FORMAT_ADPCM)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(Encode, mulaw, sonvel::WAVE_FORMAT_MULAW)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(Decode, mulaw, sonvel::WAVE_FORMAT_MULAW)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();

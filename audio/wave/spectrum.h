#pragma once
// The arithmetic behind the Wave control's level and frequency reports:
// the analysis format, the level of a block, the 1024-point transform and
// the peak scan. Pure functions; the control adds the events.

#include <array>
#include <cstdint>
#include <functional>

#include "audio/base/wave_format.h"

namespace sonvel {

inline constexpr uint32_t kSpectrumPoints = 1024;
// The transform sees at most this many bytes of a block (512 samples).
inline constexpr uint32_t kAnalysisBytes = 1024;

using AnalysisSamples = std::array<int16_t, kSpectrumPoints>;
using SpectrumArray = std::array<float, kSpectrumPoints>;

// 8 kHz 16-bit mono PCM: what every analysed block is converted to.
WaveFormat AnalysisFormat();

// The first min(length, 1024) bytes of `block` as little-endian samples;
// everything after them is 0. A short block is read only as far as it goes.
AnalysisSamples LoadAnalysisSamples(const uint8_t* block, uint32_t length);

// floor(|s[1]| / 256): 0..128 (128 only for -32768).
int16_t MeterLevel(const AnalysisSamples& samples);

// Radix-2 decimation in time in single precision, twiddles by the
// trigonometric recurrence; the result is the sum of s[n] e^(+2 pi i k n / N).
void SpectrumTransform(const AnalysisSamples& samples, SpectrumArray& re, SpectrumArray& im);

// The frequency reported for bin i: i x 8000 / 1024 rounded (halves to even,
// as the host's integer conversion does) when |s[i]| > 256, else 0.
int16_t BinFrequency(const AnalysisSamples& samples, uint32_t bin);

// Walks bins 1..511 upwards. Before each bin `before` runs and may end the
// scan by returning false. Each time |re[i]| exceeds the peak so far the
// peak becomes |re[i]| rounded and `raise` gets BinFrequency(i). True when
// every bin was scanned.
bool ScanPeaks(const AnalysisSamples& samples, const SpectrumArray& re,
               const std::function<bool()>& before, const std::function<void(int16_t)>& raise);

}  // namespace sonvel

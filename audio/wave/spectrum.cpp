#include "audio/wave/spectrum.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "audio/wave/wave.h"

namespace sonvel {

WaveFormat AnalysisFormat() {
    return Pcm16Format(8000, 1);
}

AnalysisSamples LoadAnalysisSamples(const uint8_t* block, uint32_t length) {
    AnalysisSamples samples{};
    if (block == nullptr) {
        return samples;
    }
    const uint32_t bytes = std::min(length, kAnalysisBytes);
    for (uint32_t i = 0; i + 1 < bytes; i += 2) {
        samples[i / 2] = static_cast<int16_t>(static_cast<uint16_t>(block[i]) |
                                              static_cast<uint16_t>(block[i + 1] << 8));
    }
    // An odd last byte is the low half of a sample whose high half is missing.
    if (bytes % 2 == 1) {
        samples[bytes / 2] = static_cast<int16_t>(block[bytes - 1]);
    }
    return samples;
}

int16_t MeterLevel(const AnalysisSamples& samples) {
    return static_cast<int16_t>(std::abs(static_cast<int32_t>(samples[1])) / 256);
}

void SpectrumTransform(const AnalysisSamples& samples, SpectrumArray& re, SpectrumArray& im) {
    const std::array<uint16_t, 1024>& reverse = BitReversalTable();
    for (uint32_t i = 0; i < kSpectrumPoints; ++i) {
        re[reverse[i]] = static_cast<float>(samples[i]);
        im[reverse[i]] = 0.0f;
    }
    uint32_t half = 1;
    uint32_t step = 2;
    while (step <= kSpectrumPoints) {
        const float theta = 6.283185f / static_cast<float>(step);
        const float s = static_cast<float>(std::sin(static_cast<double>(theta) / 2.0));
        const float wpr = 2.0f * s * s;
        const float wpi = static_cast<float>(std::sin(static_cast<double>(theta)));
        for (uint32_t b = 0; b < kSpectrumPoints; b += step) {
            float wr = 1.0f;
            float wi = 0.0f;
            for (uint32_t k = 0; k < half; ++k) {
                const uint32_t a = b + k;
                const uint32_t c = a + half;
                const float tr = wr * re[c] - wi * im[c];
                const float ti = wr * im[c] + wi * re[c];
                re[c] = re[a] - tr;
                im[c] = im[a] - ti;
                re[a] = re[a] + tr;
                im[a] = im[a] + ti;
                const float t = wi * wpi + wr * wpr;
                wi = wi - (wi * wpr - wr * wpi);
                wr = wr - t;
            }
        }
        half = step;
        step *= 2;
    }
}

int16_t BinFrequency(const AnalysisSamples& samples, uint32_t bin) {
    if (bin >= kSpectrumPoints || std::abs(static_cast<int32_t>(samples[bin])) <= 256) {
        return 0;
    }
    // nearbyint rounds halves to even in the default rounding mode.
    return static_cast<int16_t>(std::nearbyint(static_cast<double>(bin) * 8000.0 / 1024.0));
}

bool ScanPeaks(const AnalysisSamples& samples, const SpectrumArray& re,
               const std::function<bool()>& before, const std::function<void(int16_t)>& raise) {
    double peak = 0.0;
    for (uint32_t i = 1; i <= 511; ++i) {
        if (before && !before()) {
            return false;
        }
        const double magnitude = std::fabs(static_cast<double>(re[i]));
        if (magnitude > peak) {
            peak = std::nearbyint(magnitude);
            raise(BinFrequency(samples, i));
        }
    }
    return true;
}

}  // namespace sonvel

#include "tools/modemsim/voice_source.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "audio/base/wave_format.h"
#include "audio/riff/wave_file.h"

namespace orvane::modemsim {

void VoiceSource::FillBytes(std::span<uint8_t> bytes) {
    std::fill(bytes.begin(), bytes.end(), uint8_t{0});
}

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

int16_t ToSample(double value) {
    return static_cast<int16_t>(std::lround(std::clamp(value, -32767.0, 32767.0)));
}

class Silence : public VoiceSource {
  public:
    void Fill(std::span<int16_t> samples) override {
        std::fill(samples.begin(), samples.end(), int16_t{0});
    }
};

class DualTone : public VoiceSource {
  public:
    DualTone(int hz1, int hz2, int onMs, int offMs)
        : step1_(kTwoPi * hz1 / kSampleRate),
          step2_(hz2 > 0 ? kTwoPi * hz2 / kSampleRate : 0.0),
          amplitude_(hz2 > 0 ? 5000.0 : 9000.0),  // about -16 and -11 dBFS
          onSamples_(onMs * kSampleRate / 1000),
          periodSamples_((onMs + offMs) * kSampleRate / 1000) {}

    void Fill(std::span<int16_t> samples) override {
        for (int16_t& sample : samples) {
            const bool on = periodSamples_ == 0 || position_ % periodSamples_ < onSamples_;
            double value = 0.0;
            if (on) {
                value = amplitude_ * (std::sin(phase1_) + (step2_ > 0 ? std::sin(phase2_) : 0.0));
            }
            sample = ToSample(value);
            phase1_ = std::fmod(phase1_ + step1_, kTwoPi);
            phase2_ = std::fmod(phase2_ + step2_, kTwoPi);
            ++position_;
        }
    }
    void Restart() override {
        phase1_ = phase2_ = 0.0;
        position_ = 0;
    }

  private:
    double step1_;
    double step2_;
    double amplitude_;
    int64_t onSamples_;
    int64_t periodSamples_;
    double phase1_ = 0.0;
    double phase2_ = 0.0;
    int64_t position_ = 0;
};

class Pattern : public VoiceSource {
  public:
    bool Raw() const override { return true; }
    void Fill(std::span<int16_t> samples) override {
        std::fill(samples.begin(), samples.end(), int16_t{0});
    }
    void FillBytes(std::span<uint8_t> bytes) override {
        for (uint8_t& byte : bytes) {
            byte = next_++;
        }
    }
    void Restart() override { next_ = 0; }

  private:
    uint8_t next_ = 0;
};

// Syllables of a gliding voiced pitch whose harmonics are shaped by two
// vowel formants, with short gaps between syllables and longer ones between
// phrases. A fixed seed keeps it the same on every run.
class Speech : public VoiceSource {
  public:
    void Fill(std::span<int16_t> samples) override {
        for (int16_t& sample : samples) {
            if (remaining_ <= 0) {
                NextSegment();
            }
            double value = 0.0;
            if (voiced_) {
                const double t = static_cast<double>(length_ - remaining_) / length_;
                const double envelope = std::sin(std::numbers::pi * t);
                const double pitch =
                    basePitch_ * (1.0 + 0.15 * std::sin(std::numbers::pi * t) - 0.1 * t);
                phase_ = std::fmod(phase_ + kTwoPi * pitch / kSampleRate, kTwoPi);
                for (int k = 1; k <= kHarmonics; ++k) {
                    const double frequency = k * pitch;
                    if (frequency > 3600.0) {
                        break;
                    }
                    value += Weight(frequency) * std::sin(k * phase_) / k;
                }
                value *= 12000.0 * envelope;
            }
            sample = ToSample(value);
            --remaining_;
        }
    }
    void Restart() override {
        seed_ = 12345;
        remaining_ = 0;
        syllable_ = 0;
    }

  private:
    static constexpr int kHarmonics = 16;

    struct Vowel {
        double f1;
        double f2;
    };

    double Weight(double frequency) const {
        const double a = (frequency - vowel_.f1) / 120.0;
        const double b = (frequency - vowel_.f2) / 180.0;
        return 1.0 / (1.0 + a * a) + 0.6 / (1.0 + b * b) + 0.05;
    }

    uint32_t Random(uint32_t range) {
        seed_ = seed_ * 1103515245u + 12345u;
        return (seed_ >> 16) % range;
    }

    void NextSegment() {
        static constexpr Vowel kVowels[] = {{730, 1090}, {270, 2290}, {300, 870},
                                            {530, 1840}, {570, 840},  {660, 1720}};
        if (voiced_) {
            voiced_ = false;
            ++syllable_;
            const bool phraseEnd = syllable_ % 7 == 0;
            length_ = (phraseEnd ? 450 + static_cast<int>(Random(300))
                                 : 40 + static_cast<int>(Random(110))) *
                      kSampleRate / 1000;
        } else {
            voiced_ = true;
            vowel_ = kVowels[Random(std::size(kVowels))];
            basePitch_ = 105.0 + Random(60);
            length_ = (120 + static_cast<int>(Random(180))) * kSampleRate / 1000;
        }
        remaining_ = length_;
    }

    uint32_t seed_ = 12345;
    bool voiced_ = false;
    int length_ = 1;
    int remaining_ = 0;
    int syllable_ = 0;
    double phase_ = 0.0;
    double basePitch_ = 120.0;
    Vowel vowel_{730, 1090};
};

class Samples : public VoiceSource {
  public:
    explicit Samples(std::shared_ptr<const std::vector<int16_t>> samples)
        : samples_(std::move(samples)) {}
    void Fill(std::span<int16_t> out) override {
        for (int16_t& sample : out) {
            if (samples_->empty()) {
                sample = 0;
                continue;
            }
            sample = (*samples_)[position_];
            position_ = (position_ + 1) % samples_->size();
        }
    }
    void Restart() override { position_ = 0; }

  private:
    std::shared_ptr<const std::vector<int16_t>> samples_;
    std::size_t position_ = 0;
};

}  // namespace

std::unique_ptr<VoiceSource> MakeSilence() {
    return std::make_unique<Silence>();
}

std::unique_ptr<VoiceSource> MakeTone(int hz) {
    return std::make_unique<DualTone>(hz, 0, 1000, 0);
}

std::unique_ptr<VoiceSource> MakeDualTone(int hz1, int hz2, int onMs, int offMs) {
    return std::make_unique<DualTone>(hz1, hz2, onMs, offMs);
}

std::unique_ptr<VoiceSource> MakePattern() {
    return std::make_unique<Pattern>();
}

std::unique_ptr<VoiceSource> MakeSpeech() {
    return std::make_unique<Speech>();
}

std::unique_ptr<VoiceSource> MakeSamples(std::shared_ptr<const std::vector<int16_t>> samples) {
    return std::make_unique<Samples>(std::move(samples));
}

WavLoad LoadWavFile(const std::string& path) {
    WavLoad load;
    sonvel::HMMIO file = nullptr;
    sonvel::WaveFileInfo info;
    if (sonvel::OpenWaveFile(path.c_str(), &file, &info) != sonvel::MMSYSERR_NOERROR) {
        load.error = path + ": not a readable WAV file";
        return load;
    }
    const sonvel::WaveFormat& format = info.format;
    const int bits = format.wBitsPerSample;
    const int channels = format.nChannels;
    const int rate = format.nSamplesPerSec;
    if (format.wFormatTag != sonvel::WAVE_FORMAT_PCM || (bits != 8 && bits != 16) || channels < 1 ||
        channels > 8 || rate < 1000 || rate > 192000) {
        sonvel::mmioClose(file);
        load.error = path + ": the sound must be 8- or 16-bit PCM (this file has format " +
                     std::to_string(format.wFormatTag) + ", " + std::to_string(bits) + " bits, " +
                     std::to_string(channels) + " channels, " + std::to_string(rate) + " Hz)";
        return load;
    }

    // One mono sample per frame, channels averaged.
    const std::size_t frameBytes = static_cast<std::size_t>(channels) * (bits / 8);
    const std::size_t maxFrames = static_cast<std::size_t>(rate) * kMaxFileSeconds;
    std::vector<int16_t> mono;
    std::vector<uint8_t> buffer(frameBytes * 4096);
    std::size_t left = info.dataSize / frameBytes;
    const bool cut = left > maxFrames;
    left = std::min(left, maxFrames);
    mono.reserve(left);
    while (left > 0) {
        const std::size_t frames = std::min(left, buffer.size() / frameBytes);
        const int32_t want = static_cast<int32_t>(frames * frameBytes);
        const int32_t got = sonvel::mmioRead(file, buffer.data(), want);
        if (got <= 0) {
            break;
        }
        const std::size_t whole = static_cast<std::size_t>(got) / frameBytes;
        for (std::size_t f = 0; f < whole; ++f) {
            int sum = 0;
            for (int c = 0; c < channels; ++c) {
                const uint8_t* p =
                    buffer.data() + f * frameBytes + static_cast<std::size_t>(c) * (bits / 8);
                sum += bits == 8 ? (p[0] - 128) * 256 : static_cast<int16_t>(p[0] | (p[1] << 8));
            }
            mono.push_back(static_cast<int16_t>(sum / channels));
        }
        left -= whole;
        if (got < want) {
            break;
        }
    }
    sonvel::mmioClose(file);
    if (mono.empty()) {
        load.error = path + ": the file holds no sound";
        return load;
    }

    std::vector<int16_t> out;
    if (rate == kSampleRate) {
        out = std::move(mono);
    } else {
        // Linear interpolation is enough for a test signal on a phone line.
        const double step = static_cast<double>(rate) / kSampleRate;
        const std::size_t count = static_cast<std::size_t>(mono.size() / step);
        out.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            const double position = i * step;
            const std::size_t index = static_cast<std::size_t>(position);
            const double fraction = position - index;
            const int16_t a = mono[index];
            const int16_t b = index + 1 < mono.size() ? mono[index + 1] : a;
            out.push_back(ToSample(a + (b - a) * fraction));
        }
        if (out.empty()) {
            out.push_back(mono.front());
        }
    }
    if (rate != kSampleRate || channels != 1 || bits != 16) {
        load.note = std::to_string(bits) + "-bit " + std::to_string(channels) + "-channel " +
                    std::to_string(rate) + " Hz sound made 16-bit mono 8000 Hz";
    }
    if (cut) {
        load.note += (load.note.empty() ? "" : "; ") + std::string("only the first ") +
                     std::to_string(kMaxFileSeconds) + " s are used";
    }
    load.samples = std::make_shared<const std::vector<int16_t>>(std::move(out));
    return load;
}

}  // namespace orvane::modemsim

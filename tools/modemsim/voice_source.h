#pragma once
// What the far end of the emulated call sends: silence, a tone, the call
// progress tones of a hung-up line, a speech-like signal, a WAV file, or a
// byte pattern for tests. Sources make 8 kHz 16-bit samples, except the
// pattern, whose bytes go to the client exactly as they are.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace orvane::modemsim {

inline constexpr int kSampleRate = 8000;

class VoiceSource {
  public:
    virtual ~VoiceSource() = default;
    // True for sources of bytes (FillBytes) rather than samples (Fill).
    virtual bool Raw() const { return false; }
    virtual void Fill(std::span<int16_t> samples) = 0;
    virtual void FillBytes(std::span<uint8_t> bytes);
    // Back to the start (the pattern starts again at 0).
    virtual void Restart() {}
};

std::unique_ptr<VoiceSource> MakeSilence();
std::unique_ptr<VoiceSource> MakeTone(int hz);
// Two tones together, `onMs` on and `offMs` off (offMs 0: continuous), as
// the busy signal (480 + 620 Hz, 500/500) and the dial tone (350 + 440 Hz).
std::unique_ptr<VoiceSource> MakeDualTone(int hz1, int hz2, int onMs, int offMs);
// The bytes 0, 1, ..., 255, 0, 1, ...
std::unique_ptr<VoiceSource> MakePattern();
// Voiced syllables with pauses: pitch, vowels and rhythm of speech, no words.
std::unique_ptr<VoiceSource> MakeSpeech();
// Loops over `samples` (8 kHz mono).
std::unique_ptr<VoiceSource> MakeSamples(std::shared_ptr<const std::vector<int16_t>> samples);

// Longest sound kept from a file.
inline constexpr int kMaxFileSeconds = 600;

struct WavLoad {
    std::shared_ptr<const std::vector<int16_t>> samples;  // null on failure
    std::string error;
    std::string note;  // what was done to the file's sound, for the log
};

// Reads a PCM WAV file as 8 kHz 16-bit mono: 8- or 16-bit PCM of any rate
// and channel count is mixed down and resampled; compressed formats are
// refused.
WavLoad LoadWavFile(const std::string& path);

}  // namespace orvane::modemsim

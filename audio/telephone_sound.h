#pragma once
// A sound file as a telephone line carries it: for playing a message to the
// line through a voice modem, which takes 8 kHz mono.

#include <cstdint>
#include <string>
#include <vector>

#include "sonvel_api.h"

namespace sonvel {

inline constexpr int kTelephoneRate = 8000;

// Reads any WAV file the engine reads (PCM, mu-law, A-law, GSM 6.10, IMA
// ADPCM, ...) as 8 kHz 16-bit mono samples into `samples`: channels are
// mixed, other rates resampled, and at most the first `maxSeconds` kept.
// Empty on success, else the reason, naming the file; `samples` is then
// empty.
SONVEL_API std::string ReadTelephoneSound(const std::string& path, int maxSeconds,
                                          std::vector<int16_t>* samples);

}  // namespace sonvel

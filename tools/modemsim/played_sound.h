#pragma once
// What the client played to the line with voice transmits, kept as 8 kHz
// 16-bit samples and written, with --played, as a WAV file that a test
// compares with the file it played.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "telephony/modem/voice_format.h"

namespace orvane::modemsim {

class PlayedSound {
  public:
    // Appends one transmit's sound, given in the modem's sample format.
    void Add(std::span<const uint8_t> sound, modem::SampleEncoding encoding);
    const std::vector<int16_t>& Samples() const { return samples_; }
    std::size_t Transmits() const { return transmits_; }

    // Writes every transmit so far, one after the other, as a 16-bit mono
    // 8000 Hz WAV file; the file is replaced whole, so a reader never sees
    // half of it. Empty on success, else the reason.
    std::string Write(const std::string& path) const;

  private:
    std::vector<int16_t> samples_;
    std::size_t transmits_ = 0;
};

}  // namespace orvane::modemsim

#pragma once
// The sound a voice transmit (+VTX) sends to the line: 8 kHz 16-bit mono
// samples, as the audio engine decodes a WAV file, turned into the line's
// sample format and rate, DLE-shielded and closed with <DLE><ETX>.

#include <cstdint>
#include <span>
#include <vector>

#include "telephony/modem/voice_format.h"

namespace orvane::modem {

// The whole stream for AT+VTX (or #VTX) in the format chosen for the line;
// a rate other than 8000 is reached by linear interpolation.
std::vector<uint8_t> TransmitStream(std::span<const int16_t> samples,
                                    const VoiceFormatChoice& choice);

}  // namespace orvane::modem

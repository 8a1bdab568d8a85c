#pragma once
// The emulator's "voice pattern" (mu-law bytes 0..255 over and over) as the
// recorder must receive it: the oracle of the tests that record a call.

#include <QtGlobal>
#include <cstdint>

namespace orvane::testing {

// G.711 mu-law expansion, written out from the standard.
inline int16_t ExpandMuLaw(uint8_t code) {
    code = static_cast<uint8_t>(~code);
    const int exponent = (code >> 4) & 7;
    const int mantissa = code & 15;
    const int magnitude = (((mantissa << 3) + 0x84) << exponent) - 0x84;
    return static_cast<int16_t>((code & 0x80) != 0 ? -magnitude : magnitude);
}

// How many samples from the start of `samples` are the pattern in order,
// with nothing lost or doubled; -1 when the start is not the pattern at all.
inline qsizetype IntactPatternRun(const int16_t* samples, qsizetype count) {
    int start = -1;
    for (int offset = 0; offset < 256 && start < 0 && count >= 3; ++offset) {
        if (ExpandMuLaw(static_cast<uint8_t>(offset)) == samples[0] &&
            ExpandMuLaw(static_cast<uint8_t>(offset + 1)) == samples[1] &&
            ExpandMuLaw(static_cast<uint8_t>(offset + 2)) == samples[2]) {
            start = offset;
        }
    }
    if (start < 0) {
        return -1;
    }
    qsizetype intact = 0;
    while (intact < count &&
           samples[intact] == ExpandMuLaw(static_cast<uint8_t>((start + intact) % 256))) {
        ++intact;
    }
    return intact;
}

}  // namespace orvane::testing

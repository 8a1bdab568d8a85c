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

// 8-bit unsigned linear, 0x80 the silence: the pattern read by a modem that
// sends that format.
inline int16_t ExpandUnsigned8(uint8_t code) {
    return static_cast<int16_t>((code - 128) * 256);
}

// How many samples from the start of `samples` are the pattern in order,
// with nothing lost or doubled; -1 when the start is not the pattern at all.
inline qsizetype IntactPatternRun(const int16_t* samples, qsizetype count,
                                  int16_t (*expand)(uint8_t) = ExpandMuLaw) {
    int start = -1;
    for (int offset = 0; offset < 256 && start < 0 && count >= 3; ++offset) {
        if (expand(static_cast<uint8_t>(offset)) == samples[0] &&
            expand(static_cast<uint8_t>(offset + 1)) == samples[1] &&
            expand(static_cast<uint8_t>(offset + 2)) == samples[2]) {
            start = offset;
        }
    }
    if (start < 0) {
        return -1;
    }
    qsizetype intact = 0;
    while (intact < count &&
           samples[intact] == expand(static_cast<uint8_t>((start + intact) % 256))) {
        ++intact;
    }
    return intact;
}

}  // namespace orvane::testing

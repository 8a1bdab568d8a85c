#pragma once
// ITU-T G.711 companding on the 16-bit scale (the reference algorithms: the
// encoders truncate, the decoders give the segment's mid value).

#include <cstdint>

namespace sonvel::g711 {

uint8_t LinearToUlaw(int16_t sample);
int16_t UlawToLinear(uint8_t code);
uint8_t LinearToAlaw(int16_t sample);
int16_t AlawToLinear(uint8_t code);

}  // namespace sonvel::g711

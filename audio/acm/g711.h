#pragma once
// ITU-T G.711 companding on the 16-bit scale (the reference algorithms: the
// encoders truncate, the decoders give the segment's mid value). Inline:
// the conversion loops call these once per sample.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace sonvel::g711 {
namespace detail {

// 33 on the 14-bit scale of the standard.
inline constexpr int kUlawBias = 0x84;
// A-law inverts the even bits of every code.
inline constexpr int kAlawEvenBits = 0x55;

constexpr int16_t DecodeUlaw(uint8_t code) {
    const int u = ~code & 0xFF;
    const int t = (((u & 0x0F) << 3) + kUlawBias) << ((u & 0x70) >> 4);
    return static_cast<int16_t>((u & 0x80) ? (kUlawBias - t) : (t - kUlawBias));
}

constexpr int16_t DecodeAlaw(uint8_t code) {
    const int a = code ^ kAlawEvenBits;
    int magnitude = (a & 0x0F) << 4;
    const int segment = (a & 0x70) >> 4;
    if (segment != 0) {
        magnitude = (magnitude + 0x108) << (segment - 1);
    } else {
        magnitude += 8;
    }
    return static_cast<int16_t>((a & 0x80) ? magnitude : -magnitude);
}

template <int16_t (*Decode)(uint8_t)>
constexpr std::array<int16_t, 256> MakeTable() {
    std::array<int16_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        table[static_cast<size_t>(i)] = Decode(static_cast<uint8_t>(i));
    }
    return table;
}

inline constexpr auto kUlawTable = MakeTable<DecodeUlaw>();
inline constexpr auto kAlawTable = MakeTable<DecodeAlaw>();

// Segment of a magnitude on the 16-bit scale: 0..7, 8 and above clip.
constexpr int Segment(int linear) {
    return std::bit_width(static_cast<unsigned>(linear | 0xFF)) - 8;
}

}  // namespace detail

constexpr uint8_t LinearToUlaw(int16_t sample) {
    int linear = sample;
    int mask = 0xFF;
    if (linear < 0) {
        linear = detail::kUlawBias - linear;
        mask = 0x7F;
    } else {
        linear = detail::kUlawBias + linear;
    }
    const int segment = detail::Segment(linear);
    if (segment >= 8) {
        return static_cast<uint8_t>(0x7F ^ mask);
    }
    return static_cast<uint8_t>(((segment << 4) | ((linear >> (segment + 3)) & 0x0F)) ^ mask);
}

constexpr int16_t UlawToLinear(uint8_t code) {
    return detail::kUlawTable[code];
}

constexpr uint8_t LinearToAlaw(int16_t sample) {
    int linear = sample;
    int mask = detail::kAlawEvenBits | 0x80;
    if (linear < 0) {
        mask = detail::kAlawEvenBits;
        linear = -linear - 1;
    }
    const int segment = detail::Segment(linear);
    if (segment >= 8) {
        return static_cast<uint8_t>(0x7F ^ mask);
    }
    const int shift = segment != 0 ? segment + 3 : 4;
    return static_cast<uint8_t>(((segment << 4) | ((linear >> shift) & 0x0F)) ^ mask);
}

constexpr int16_t AlawToLinear(uint8_t code) {
    return detail::kAlawTable[code];
}

}  // namespace sonvel::g711

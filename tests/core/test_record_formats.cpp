// The record formats travel to the audio engine as 28-byte records: every
// byte counts, since the engine writes them into the WAV files.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "core/record_formats.h"

namespace orvane {
namespace {

using Bytes = std::array<uint8_t, 28>;

Bytes BytesOf(const sonvel::WaveFormat& format) {
    Bytes bytes{};
    std::memcpy(bytes.data(), &format, sizeof(format));
    return bytes;
}

TEST(RecordFormats, EachRecordIsByteForByteTheStoredLayout) {
    const RecordFormats& formats = WaveFormats();
    // tag, channels, rate 8000, bytes per second, block align, bits, cbSize, extra bytes
    EXPECT_EQ(BytesOf(formats.pcm16),
              (Bytes{1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x80, 0x3E, 0, 0, 2, 0, 16, 0, 0, 0}));
    EXPECT_EQ(BytesOf(formats.muLaw),
              (Bytes{7, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x40, 0x1F, 0, 0, 1, 0, 8, 0, 0, 0}));
    EXPECT_EQ(BytesOf(formats.trueSpeech),
              (Bytes{34, 0, 1,  0, 0x40, 0x1F, 0,    0,    0x2B, 0x04, 0,    0,    32,   0,
                     1,  0, 32, 0, 0x01, 0x00, 0xF0, 0x00, 0x00, 0xF0, 0x40, 0x00, 0x00, 0x00}));
    EXPECT_EQ(BytesOf(formats.gsm610), (Bytes{49, 0, 1,  0, 0x40, 0x1F, 0, 0, 0x59, 0x06,
                                              0,  0, 65, 0, 0,    0,    2, 0, 0x40, 0x01}));
    EXPECT_EQ(BytesOf(formats.imaAdpcm), (Bytes{17, 0, 1, 0, 0x40, 0x1F, 0, 0, 0xD7, 0x0F,
                                                0,  0, 0, 1, 4,    0,    2, 0, 0xF9, 0x01}));
}

TEST(RecordFormats, TheSettingChoosesCodecAndWholeBlocksOfCapture) {
    const RecordFormats& formats = WaveFormats();
    EXPECT_EQ(RecordChoiceFor(0).codec, formats.pcm16);
    EXPECT_EQ(RecordChoiceFor(0).bufferSize, 8000);
    EXPECT_EQ(RecordChoiceFor(1).codec, formats.muLaw);
    EXPECT_EQ(RecordChoiceFor(1).bufferSize, 8000);
    EXPECT_EQ(RecordChoiceFor(2).codec, formats.gsm610);
    EXPECT_EQ(RecordChoiceFor(2).bufferSize, 16000);
    EXPECT_EQ(RecordChoiceFor(3).codec, formats.trueSpeech);
    EXPECT_EQ(RecordChoiceFor(3).bufferSize, 4800);
    // Every buffer holds whole codec blocks of 16-bit capture.
    EXPECT_EQ(RecordChoiceFor(2).bufferSize / 2 % 320, 0);
    EXPECT_EQ(RecordChoiceFor(3).bufferSize / 2 % 240, 0);
    // A hand-edited setting outside the list records plain PCM.
    EXPECT_EQ(RecordChoiceFor(4).codec, formats.pcm16);
    EXPECT_EQ(RecordChoiceFor(-1).codec, formats.pcm16);
}

}  // namespace
}  // namespace orvane

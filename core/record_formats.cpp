#include "core/record_formats.h"

#include <initializer_list>

namespace orvane {
namespace {

using sonvel::WaveFormat;

// Mono, 8000 samples per second, as every record of the table.
// cbSize is the codec's own count, which for TrueSpeech is larger than the
// ten extra bytes the record has room for.
WaveFormat Mono8k(int16_t tag, int32_t bytesPerSecond, int16_t blockAlign, int16_t bits,
                  int16_t cbSize, std::initializer_list<uint8_t> extra) {
    WaveFormat format;
    format.wFormatTag = tag;
    format.nChannels = 1;
    format.nSamplesPerSec = 8000;
    format.nAvgBytesPerSec = bytesPerSecond;
    format.nBlockAlign = blockAlign;
    format.wBitsPerSample = bits;
    format.cbSize = cbSize;
    int index = 0;
    for (uint8_t byte : extra) {
        format.xBytes[index++] = byte;
    }
    return format;
}

RecordFormats Build() {
    RecordFormats formats;
    formats.pcm16 = Mono8k(sonvel::WAVE_FORMAT_PCM, 16000, 2, 16, 0, {});
    formats.muLaw = Mono8k(sonvel::WAVE_FORMAT_MULAW, 8000, 1, 8, 0, {});
    formats.trueSpeech = Mono8k(sonvel::WAVE_FORMAT_DSPGROUP_TRUESPEECH, 1067, 32, 1, 32,
                                {0x01, 0x00, 0xF0, 0x00, 0x00, 0xF0, 0x40, 0x00, 0x00, 0x00});
    formats.gsm610 = Mono8k(sonvel::WAVE_FORMAT_GSM610, 1625, 65, 0, 2, {0x40, 0x01});
    formats.imaAdpcm = Mono8k(sonvel::WAVE_FORMAT_ADPCM, 4055, 256, 4, 2, {0xF9, 0x01});
    return formats;
}

}  // namespace

const RecordFormats& WaveFormats() {
    static const RecordFormats formats = Build();
    return formats;
}

RecordChoice RecordChoiceFor(int setting) {
    const RecordFormats& formats = WaveFormats();
    switch (setting) {
        case 1:
            return {formats.muLaw, 8000};
        case 2:
            return {formats.gsm610, 16000};
        case 3:
            return {formats.trueSpeech, 4800};
        default:
            return {formats.pcm16, 8000};
    }
}

}  // namespace orvane

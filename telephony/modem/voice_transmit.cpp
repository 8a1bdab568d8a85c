#include "telephony/modem/voice_transmit.h"

#include "telephony/modem/dle_codec.h"

namespace orvane::modem {
namespace {

constexpr int64_t kSourceRate = 8000;

std::vector<int16_t> Resample(std::span<const int16_t> samples, int rate) {
    if (rate == kSourceRate || rate <= 0 || samples.empty()) {
        return {samples.begin(), samples.end()};
    }
    const auto count = static_cast<std::size_t>(int64_t(samples.size()) * rate / kSourceRate);
    std::vector<int16_t> out;
    out.reserve(count);
    for (std::size_t j = 0; j < count; ++j) {
        // Output sample j lies at j * 8000 / rate input samples.
        const int64_t position = int64_t(j) * kSourceRate;
        const auto index = static_cast<std::size_t>(position / rate);
        const int64_t fraction = position % rate;
        const int64_t here = samples[index];
        const int64_t next = index + 1 < samples.size() ? samples[index + 1] : here;
        out.push_back(static_cast<int16_t>(here + (next - here) * fraction / rate));
    }
    return out;
}

}  // namespace

std::vector<uint8_t> TransmitStream(std::span<const int16_t> samples,
                                    const VoiceFormatChoice& choice) {
    const std::vector<int16_t> atRate = Resample(samples, choice.rate);
    std::vector<uint8_t> encoded;
    VoiceEncoder encoder(choice.encoding);
    encoder.Encode(atRate, encoded);
    if (choice.encoding == SampleEncoding::ImaAdpcm4 && atRate.size() % 2 != 0) {
        // The last nibble waits for a partner: give it silence.
        const int16_t silence = 0;
        encoder.Encode(std::span(&silence, 1), encoded);
    }
    std::vector<uint8_t> stream;
    AppendTransmit(encoded, stream);
    return stream;
}

}  // namespace orvane::modem

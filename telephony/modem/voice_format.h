#pragma once
// The sample formats a voice modem offers (AT+VSM=?) and their conversion to
// the 8 kHz 16-bit mono PCM the audio engine records. The numbers of the
// formats differ from maker to maker; only the names and sizes say what a
// format is.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::modem {

enum class SampleEncoding {
    Unsigned8,   // 8-bit linear, 0x80 is silence
    Signed8,     // 8-bit linear, two's complement
    MuLaw,       // G.711 mu-law
    ALaw,        // G.711 A-law
    ImaAdpcm4,   // 4-bit IMA ADPCM stream, low nibble first, no block headers
    Signed16Le,  // 16-bit linear, little-endian
};

// One entry of the AT+VSM=? answer, e.g. `131,"Mu-Law",8,0,8000,0,0` or
// `128,"8-BIT LINEAR",(7200,8000,11025)`.
struct VoiceFormatOffer {
    int code = 0;
    std::string name;
    int bitsPerSample = 0;   // 0 when the line does not say
    std::vector<int> rates;  // listed rates; a range "(7200-11025)" gives its two ends,
                             // and 8000 too when the range holds it
};

// The offers in the lines of an AT+VSM=? answer; lines that do not read as an
// offer (echo, "OK", blank) are skipped.
std::vector<VoiceFormatOffer> ParseVoiceFormatOffers(std::span<const std::string> lines);

// What a format's name and size mean, when we can decode it.
std::optional<SampleEncoding> EncodingOf(const VoiceFormatOffer& offer);

struct VoiceFormatChoice {
    int code = 0;
    SampleEncoding encoding = SampleEncoding::Unsigned8;
    int rate = 8000;
};

// The format to record with: G.711 (what the telephone network carries)
// before 8-bit linear, IMA ADPCM and 16-bit linear; 8000 samples/s when
// offered, else 7200 or 11025, which are resampled. Nothing when no offer is
// one we decode.
std::optional<VoiceFormatChoice> ChooseVoiceFormat(std::span<const VoiceFormatOffer> offers);

// Bits one sample takes on the line: 16, 4 (IMA ADPCM) or 8.
int BitsPerSample(SampleEncoding encoding);

// The command argument for a choice, e.g. "131,8000" (AT+VSM=131,8000).
std::string VoiceFormatArgument(const VoiceFormatChoice& choice);

// Turns the modem's bytes into 8 kHz 16-bit mono samples, keeping ADPCM and
// resampling state across calls.
class VoiceDecoder {
  public:
    VoiceDecoder(SampleEncoding encoding, int rate);
    void Decode(std::span<const uint8_t> bytes, std::vector<int16_t>& out);
    void Reset();

  private:
    void Emit(int16_t sample, std::vector<int16_t>& out);

    SampleEncoding encoding_;
    int rate_;
    int predictor_ = 0;
    int stepIndex_ = 0;
    bool haveLow_ = false;  // Signed16Le: a low byte waits for its high byte
    uint8_t low_ = 0;
    // Linear resampling to 8000/s: where the next output sample lies after
    // `previous_`, with one input sample interval = 8000 and one output
    // sample interval = rate_.
    int64_t phase_ = 0;
    int16_t previous_ = 0;
    bool havePrevious_ = false;
};

// The reverse, for the emulator: 8 kHz 16-bit samples in the modem's format
// (8000 samples/s only).
class VoiceEncoder {
  public:
    explicit VoiceEncoder(SampleEncoding encoding);
    void Encode(std::span<const int16_t> samples, std::vector<uint8_t>& out);

  private:
    SampleEncoding encoding_;
    int predictor_ = 0;
    int stepIndex_ = 0;
    bool haveLow_ = false;
    uint8_t low_ = 0;
};

}  // namespace orvane::modem

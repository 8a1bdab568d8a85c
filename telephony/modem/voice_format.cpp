#include "telephony/modem/voice_format.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <tuple>

#include "audio/acm/g711.h"
#include "audio/acm/ima_adpcm.h"
#include "telephony/modem/modem_text.h"

namespace orvane::modem {
namespace {

constexpr int kTargetRate = 8000;
// Rates outside this span are no voice format we would resample from.
constexpr int kLowestRate = 4000;
constexpr int kHighestRate = 48000;
constexpr int kMaxBitsPerSample = 32;

// Splits at the commas that are not inside quotes or parentheses.
std::vector<std::string_view> SplitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    int depth = 0;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == '(') {
            ++depth;
        } else if (!quoted && c == ')' && depth > 0) {
            --depth;
        } else if (!quoted && depth == 0 && c == ',') {
            fields.push_back(Trim(text.substr(start, i - start)));
            start = i + 1;
        }
    }
    fields.push_back(Trim(text.substr(start)));
    return fields;
}

std::vector<int> ParseRates(std::string_view field) {
    std::vector<int> rates;
    if (field.starts_with('(') && field.ends_with(')')) {
        field = field.substr(1, field.size() - 2);
    }
    for (const std::string_view part : SplitFields(field)) {
        const std::size_t dash = part.find('-');
        if (dash == std::string_view::npos) {
            if (const auto rate = ParseInt(part); rate && *rate > 0) {
                rates.push_back(*rate);
            }
            continue;
        }
        const auto low = ParseInt(part.substr(0, dash));
        const auto high = ParseInt(part.substr(dash + 1));
        if (!low || !high || *low <= 0 || *high < *low) {
            continue;
        }
        rates.push_back(*low);
        // A range takes any rate inside it.
        if (*low < kTargetRate && kTargetRate < *high) {
            rates.push_back(kTargetRate);
        }
        rates.push_back(*high);
    }
    return rates;
}

std::optional<VoiceFormatOffer> ParseOffer(std::string_view line) {
    line = Trim(line);
    for (const std::string_view prefix : {"+VSM:", "#VSM:"}) {
        if (line.starts_with(prefix)) {
            line = Trim(line.substr(prefix.size()));
        }
    }
    const auto fields = SplitFields(line);
    if (fields.size() < 2) {
        return std::nullopt;
    }
    const auto code = ParseInt(fields[0]);
    const std::string_view name = fields[1];
    if (!code || *code < 0 || name.size() < 2 || !name.starts_with('"') || !name.ends_with('"')) {
        return std::nullopt;
    }
    VoiceFormatOffer offer;
    offer.code = *code;
    offer.name = std::string(name.substr(1, name.size() - 2));
    const std::size_t rest = fields.size() - 2;
    if (rest == 1) {
        // U.S. Robotics: code, name, rates; a bare small number is a size.
        const auto bits = ParseInt(fields[2]);
        if (bits && *bits <= kMaxBitsPerSample) {
            offer.bitsPerSample = *bits;
        } else {
            offer.rates = ParseRates(fields[2]);
        }
    } else if (rest >= 2) {
        // V.253: code, name, bits, timing, rates, ...
        offer.bitsPerSample = ParseInt(fields[2]).value_or(0);
        if (rest >= 3) {
            offer.rates = ParseRates(fields[4]);
        }
    }
    return offer;
}

int EncodingRank(SampleEncoding encoding) {
    switch (encoding) {
        case SampleEncoding::MuLaw:
            return 0;
        case SampleEncoding::ALaw:
            return 1;
        case SampleEncoding::Unsigned8:
            return 2;
        case SampleEncoding::Signed8:
            return 3;
        case SampleEncoding::ImaAdpcm4:
            return 4;
        case SampleEncoding::Signed16Le:
            return 5;
    }
    return 6;
}

// 8000 when listed (or nothing is listed: the standard's default), else the
// usable rate nearest to it.
std::optional<int> ChooseRate(const std::vector<int>& rates) {
    if (rates.empty()) {
        return kTargetRate;
    }
    std::optional<int> best;
    for (const int rate : rates) {
        if (rate < kLowestRate || rate > kHighestRate) {
            continue;
        }
        if (!best || std::abs(rate - kTargetRate) < std::abs(*best - kTargetRate)) {
            best = rate;
        }
    }
    return best;
}

int16_t Clamp16(int value) {
    return static_cast<int16_t>(std::clamp(value, -32768, 32767));
}

// The top 8 bits of a sample, rounded.
int RoundTo8Bits(int16_t sample) {
    return std::clamp((sample + 128) >> 8, -128, 127);
}

}  // namespace

std::vector<VoiceFormatOffer> ParseVoiceFormatOffers(std::span<const std::string> lines) {
    std::vector<VoiceFormatOffer> offers;
    for (const std::string& line : lines) {
        if (auto offer = ParseOffer(line)) {
            offers.push_back(std::move(*offer));
        }
    }
    return offers;
}

std::optional<SampleEncoding> EncodingOf(const VoiceFormatOffer& offer) {
    std::string name = offer.name;
    std::transform(name.begin(), name.end(), name.begin(), [](char c) {
        return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    });
    const auto has = [&](std::string_view part) { return name.find(part) != std::string::npos; };
    const int bits = offer.bitsPerSample;
    const auto bitsAre = [&](int wanted) { return bits == 0 || bits == wanted; };

    // Before the PCM names: "ADPCM" contains "PCM".
    if (has("ADPCM")) {
        if (has("IMA") && bitsAre(4)) {
            return SampleEncoding::ImaAdpcm4;
        }
        return std::nullopt;  // Rockwell, USR and other makers' own ADPCM
    }
    if (has("ULAW") || has("U-LAW") || has("MU-LAW") || has("MULAW") || has("\xC2\xB5-LAW")) {
        return bitsAre(8) ? std::optional(SampleEncoding::MuLaw) : std::nullopt;
    }
    if (has("ALAW") || has("A-LAW")) {
        return bitsAre(8) ? std::optional(SampleEncoding::ALaw) : std::nullopt;
    }
    const bool unsignedPcm = has("UNSIGNED PCM");
    const bool signedPcm = has("SIGNED PCM") && !unsignedPcm;
    if (has("16-BIT LINEAR") || (has("LINEAR") && bits == 16) || (signedPcm && bits == 16)) {
        return SampleEncoding::Signed16Le;
    }
    if ((unsignedPcm && bitsAre(8)) || has("8-BIT LINEAR") || (has("LINEAR") && bits == 8)) {
        return SampleEncoding::Unsigned8;
    }
    if (signedPcm && bitsAre(8)) {
        return SampleEncoding::Signed8;
    }
    return std::nullopt;  // "14 bit PCM", GSM, CELP, ...
}

std::optional<VoiceFormatChoice> ChooseVoiceFormat(std::span<const VoiceFormatOffer> offers) {
    std::optional<VoiceFormatChoice> best;
    std::tuple<bool, int, int> bestKey;
    for (const VoiceFormatOffer& offer : offers) {
        const auto encoding = EncodingOf(offer);
        const auto rate = encoding ? ChooseRate(offer.rates) : std::nullopt;
        if (!rate) {
            continue;
        }
        const std::tuple<bool, int, int> key{*rate != kTargetRate, EncodingRank(*encoding),
                                             std::abs(*rate - kTargetRate)};
        if (!best || key < bestKey) {
            best = VoiceFormatChoice{offer.code, *encoding, *rate};
            bestKey = key;
        }
    }
    return best;
}

int BitsPerSample(SampleEncoding encoding) {
    switch (encoding) {
        case SampleEncoding::Signed16Le:
            return 16;
        case SampleEncoding::ImaAdpcm4:
            return 4;
        default:
            return 8;
    }
}

std::string VoiceFormatArgument(const VoiceFormatChoice& choice) {
    return std::to_string(choice.code) + "," + std::to_string(choice.rate);
}

VoiceDecoder::VoiceDecoder(SampleEncoding encoding, int rate)
    : encoding_(encoding), rate_(std::clamp(rate, kLowestRate, kHighestRate)) {}

void VoiceDecoder::Reset() {
    predictor_ = 0;
    stepIndex_ = 0;
    haveLow_ = false;
    low_ = 0;
    phase_ = 0;
    previous_ = 0;
    havePrevious_ = false;
}

void VoiceDecoder::Decode(std::span<const uint8_t> bytes, std::vector<int16_t>& out) {
    namespace g711 = sonvel::g711;
    for (const uint8_t byte : bytes) {
        switch (encoding_) {
            case SampleEncoding::Unsigned8:
                Emit(static_cast<int16_t>((byte - 128) * 256), out);
                break;
            case SampleEncoding::Signed8:
                Emit(static_cast<int16_t>(static_cast<int8_t>(byte) * 256), out);
                break;
            case SampleEncoding::MuLaw:
                Emit(g711::UlawToLinear(byte), out);
                break;
            case SampleEncoding::ALaw:
                Emit(g711::AlawToLinear(byte), out);
                break;
            case SampleEncoding::ImaAdpcm4:
                Emit(sonvel::ima::DecodeNibble(byte & 0x0F, predictor_, stepIndex_), out);
                Emit(sonvel::ima::DecodeNibble(byte >> 4, predictor_, stepIndex_), out);
                break;
            case SampleEncoding::Signed16Le:
                if (haveLow_) {
                    Emit(static_cast<int16_t>(static_cast<uint16_t>(low_ | (byte << 8))), out);
                    haveLow_ = false;
                } else {
                    low_ = byte;
                    haveLow_ = true;
                }
                break;
        }
    }
}

void VoiceDecoder::Emit(int16_t sample, std::vector<int16_t>& out) {
    if (rate_ == kTargetRate) {
        out.push_back(sample);
        return;
    }
    if (!havePrevious_) {
        previous_ = sample;
        havePrevious_ = true;
        phase_ = 0;
        return;
    }
    // Output samples that fall between `previous_` and this one.
    while (phase_ < kTargetRate) {
        const int64_t scaled =
            int64_t{previous_} * kTargetRate + (int64_t{sample} - previous_) * phase_;
        const int64_t shifted = scaled + kTargetRate / 2;
        const int64_t rounded =
            shifted >= 0 ? shifted / kTargetRate : -((-shifted + kTargetRate - 1) / kTargetRate);
        out.push_back(Clamp16(static_cast<int>(rounded)));
        phase_ += rate_;
    }
    phase_ -= kTargetRate;
    previous_ = sample;
}

VoiceEncoder::VoiceEncoder(SampleEncoding encoding) : encoding_(encoding) {}

void VoiceEncoder::Encode(std::span<const int16_t> samples, std::vector<uint8_t>& out) {
    namespace g711 = sonvel::g711;
    for (const int16_t sample : samples) {
        switch (encoding_) {
            case SampleEncoding::Unsigned8:
                out.push_back(static_cast<uint8_t>(RoundTo8Bits(sample) + 128));
                break;
            case SampleEncoding::Signed8:
                out.push_back(static_cast<uint8_t>(static_cast<int8_t>(RoundTo8Bits(sample))));
                break;
            case SampleEncoding::MuLaw:
                out.push_back(g711::LinearToUlaw(sample));
                break;
            case SampleEncoding::ALaw:
                out.push_back(g711::LinearToAlaw(sample));
                break;
            case SampleEncoding::ImaAdpcm4: {
                const int code = sonvel::ima::EncodeSample(sample, predictor_, stepIndex_);
                if (haveLow_) {
                    out.push_back(static_cast<uint8_t>(low_ | (code << 4)));
                    haveLow_ = false;
                } else {
                    low_ = static_cast<uint8_t>(code);
                    haveLow_ = true;
                }
                break;
            }
            case SampleEncoding::Signed16Le: {
                const auto bits = static_cast<uint16_t>(sample);
                out.push_back(static_cast<uint8_t>(bits & 0xFF));
                out.push_back(static_cast<uint8_t>(bits >> 8));
                break;
            }
        }
    }
}

}  // namespace orvane::modem

#include "audio/acm/acm_drivers.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "audio/acm/g711.h"
#include "audio/acm/gsm610.h"
#include "audio/acm/ima_adpcm.h"

namespace sonvel::acm {
namespace {

static_assert(std::endian::native == std::endian::little,
              "16-bit PCM is copied as it lies in memory; WAV data is little-endian");

// The drivers mix and split between mono and stereo only.
constexpr int kMaxChannels = 2;

size_t ExtraWord(const WaveFormat& format) {
    return static_cast<size_t>(format.xBytes[0] | (format.xBytes[1] << 8));
}

bool HasExtraWord(const WaveFormat& format) {
    return format.cbSize >= 2;
}

ima::BlockLayout ImaLayout(const WaveFormat& format) {
    const size_t blockAlign = static_cast<size_t>(format.nBlockAlign);
    return {format.nChannels, blockAlign, ima::SamplesPerBlock(blockAlign, format.nChannels)};
}

class PcmDecoder final : public Decoder {
  public:
    PcmDecoder(const BlockShape& shape, int bits) : Decoder(shape), bits_(bits) {}
    void Decode(const uint8_t* in, size_t blocks, int16_t* frames) override {
        const size_t count = blocks * static_cast<size_t>(shape().channels);
        if (bits_ == 16) {
            std::memcpy(frames, in, count * sizeof(int16_t));
            return;
        }
        for (size_t i = 0; i < count; ++i) {
            frames[i] = static_cast<int16_t>((in[i] - 128) * 256);
        }
    }

  private:
    int bits_;
};

class PcmEncoder final : public Encoder {
  public:
    PcmEncoder(const BlockShape& shape, int bits) : Encoder(shape), bits_(bits) {}
    void Encode(const int16_t* frames, size_t blocks, uint8_t* out) override {
        const size_t count = blocks * static_cast<size_t>(shape().channels);
        if (bits_ == 16) {
            std::memcpy(out, frames, count * sizeof(int16_t));
            return;
        }
        for (size_t i = 0; i < count; ++i) {
            out[i] = static_cast<uint8_t>((frames[i] >> 8) + 128);
        }
    }

  private:
    int bits_;
};

template <int16_t (*Expand)(uint8_t)>
class G711Decoder final : public Decoder {
  public:
    using Decoder::Decoder;
    void Decode(const uint8_t* in, size_t blocks, int16_t* frames) override {
        const size_t count = blocks * static_cast<size_t>(shape().channels);
        for (size_t i = 0; i < count; ++i) {
            frames[i] = Expand(in[i]);
        }
    }
};

template <uint8_t (*Compress)(int16_t)>
class G711Encoder final : public Encoder {
  public:
    using Encoder::Encoder;
    void Encode(const int16_t* frames, size_t blocks, uint8_t* out) override {
        const size_t count = blocks * static_cast<size_t>(shape().channels);
        for (size_t i = 0; i < count; ++i) {
            out[i] = Compress(frames[i]);
        }
    }
};

class ImaDecoder final : public Decoder {
  public:
    ImaDecoder(const BlockShape& shape, const ima::BlockLayout& layout)
        : Decoder(shape), layout_(layout) {}
    void Decode(const uint8_t* in, size_t blocks, int16_t* frames) override {
        const size_t frameValues = layout_.samplesPerBlock * static_cast<size_t>(layout_.channels);
        for (size_t b = 0; b < blocks; ++b) {
            ima::DecodeBlock(layout_, in + b * layout_.blockAlign, layout_.blockAlign,
                             frames + b * frameValues);
        }
    }
    size_t PartialFrames(size_t bytes) const override { return ima::FramesInBlock(layout_, bytes); }
    size_t DecodePartial(const uint8_t* in, size_t bytes, int16_t* frames) override {
        return ima::DecodeBlock(layout_, in, bytes, frames);
    }

  private:
    ima::BlockLayout layout_;
};

class ImaEncoder final : public Encoder {
  public:
    ImaEncoder(const BlockShape& shape, const ima::BlockLayout& layout)
        : Encoder(shape), encoder_(layout), layout_(layout) {}
    void Encode(const int16_t* frames, size_t blocks, uint8_t* out) override {
        const size_t frameValues = layout_.samplesPerBlock * static_cast<size_t>(layout_.channels);
        for (size_t b = 0; b < blocks; ++b) {
            encoder_.EncodeBlock(frames + b * frameValues, out + b * layout_.blockAlign);
        }
    }
    bool Reset() override {
        encoder_.Reset();
        return true;
    }

  private:
    ima::Encoder encoder_;
    ima::BlockLayout layout_;
};

class GsmDecoder final : public Decoder {
  public:
    using Decoder::Decoder;
    bool ready() const { return codec_.valid(); }
    void Decode(const uint8_t* in, size_t blocks, int16_t* frames) override {
        for (size_t b = 0; b < blocks; ++b) {
            // A rejected frame plays as silence; the rest of the stream goes on.
            codec_.DecodeBlock(in + b * gsm610::kBlockBytes, frames + b * gsm610::kSamplesPerBlock);
        }
    }
    bool Reset() override { return codec_.Reset(); }

  private:
    gsm610::Codec codec_;
};

class GsmEncoder final : public Encoder {
  public:
    using Encoder::Encoder;
    bool ready() const { return codec_.valid(); }
    void Encode(const int16_t* frames, size_t blocks, uint8_t* out) override {
        for (size_t b = 0; b < blocks; ++b) {
            codec_.EncodeBlock(frames + b * gsm610::kSamplesPerBlock,
                               out + b * gsm610::kBlockBytes);
        }
    }
    bool Reset() override { return codec_.Reset(); }

  private:
    gsm610::Codec codec_;
};

}  // namespace

size_t Decoder::PartialFrames(size_t) const {
    return 0;
}

size_t Decoder::DecodePartial(const uint8_t*, size_t, int16_t*) {
    return 0;
}

std::optional<BlockShape> DescribeFormat(const WaveFormat& format) {
    const int channels = format.nChannels;
    if (channels < 1 || channels > kMaxChannels || format.nSamplesPerSec <= 0 ||
        format.nBlockAlign <= 0) {
        return std::nullopt;
    }
    const size_t blockAlign = static_cast<size_t>(format.nBlockAlign);
    const int64_t bytesPerSecond = int64_t{format.nSamplesPerSec} * format.nBlockAlign;
    switch (format.wFormatTag) {
        case WAVE_FORMAT_PCM:
            if ((format.wBitsPerSample != 8 && format.wBitsPerSample != 16) ||
                format.nBlockAlign != channels * format.wBitsPerSample / 8 ||
                format.nAvgBytesPerSec != bytesPerSecond) {
                return std::nullopt;
            }
            return BlockShape{blockAlign, 1, channels};
        case WAVE_FORMAT_MULAW:
        case WAVE_FORMAT_ALAW:
            if (format.wBitsPerSample != 8 || format.nBlockAlign != channels ||
                format.nAvgBytesPerSec != bytesPerSecond) {
                return std::nullopt;
            }
            return BlockShape{blockAlign, 1, channels};
        case WAVE_FORMAT_GSM610:
            if (channels != 1 || blockAlign != gsm610::kBlockBytes ||
                (HasExtraWord(format) && ExtraWord(format) != gsm610::kSamplesPerBlock)) {
                return std::nullopt;
            }
            return BlockShape{gsm610::kBlockBytes, gsm610::kSamplesPerBlock, 1};
        case WAVE_FORMAT_ADPCM: {
            const size_t samples = ima::SamplesPerBlock(blockAlign, channels);
            if (format.wBitsPerSample != 4 || samples == 0 ||
                (HasExtraWord(format) && ExtraWord(format) != samples)) {
                return std::nullopt;
            }
            return BlockShape{blockAlign, samples, channels};
        }
        default:
            // TrueSpeech and every other tag: no driver here.
            return std::nullopt;
    }
}

bool SameFormat(const WaveFormat& a, const WaveFormat& b) {
    if (std::memcmp(&a, &b, kWaveFormatHeaderSize) != 0) {
        return false;
    }
    const size_t extra = a.cbSize > 0 ? std::min<size_t>(static_cast<size_t>(a.cbSize), 10) : 0;
    return std::memcmp(a.xBytes, b.xBytes, extra) == 0;
}

std::unique_ptr<Decoder> MakeDecoder(const WaveFormat& format) {
    const auto shape = DescribeFormat(format);
    if (!shape) {
        return nullptr;
    }
    switch (format.wFormatTag) {
        case WAVE_FORMAT_PCM:
            return std::make_unique<PcmDecoder>(*shape, format.wBitsPerSample);
        case WAVE_FORMAT_MULAW:
            return std::make_unique<G711Decoder<g711::UlawToLinear>>(*shape);
        case WAVE_FORMAT_ALAW:
            return std::make_unique<G711Decoder<g711::AlawToLinear>>(*shape);
        case WAVE_FORMAT_ADPCM:
            return std::make_unique<ImaDecoder>(*shape, ImaLayout(format));
        case WAVE_FORMAT_GSM610: {
            auto decoder = std::make_unique<GsmDecoder>(*shape);
            if (!decoder->ready()) {
                return nullptr;
            }
            return decoder;
        }
        default:
            return nullptr;
    }
}

std::unique_ptr<Encoder> MakeEncoder(const WaveFormat& format) {
    const auto shape = DescribeFormat(format);
    if (!shape) {
        return nullptr;
    }
    switch (format.wFormatTag) {
        case WAVE_FORMAT_PCM:
            return std::make_unique<PcmEncoder>(*shape, format.wBitsPerSample);
        case WAVE_FORMAT_MULAW:
            return std::make_unique<G711Encoder<g711::LinearToUlaw>>(*shape);
        case WAVE_FORMAT_ALAW:
            return std::make_unique<G711Encoder<g711::LinearToAlaw>>(*shape);
        case WAVE_FORMAT_ADPCM:
            return std::make_unique<ImaEncoder>(*shape, ImaLayout(format));
        case WAVE_FORMAT_GSM610: {
            auto encoder = std::make_unique<GsmEncoder>(*shape);
            if (!encoder->ready()) {
                return nullptr;
            }
            return encoder;
        }
        default:
            return nullptr;
    }
}

}  // namespace sonvel::acm

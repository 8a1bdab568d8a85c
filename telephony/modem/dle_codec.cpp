#include "telephony/modem/dle_codec.h"

namespace orvane::modem {

std::size_t DleDecoder::Decode(std::span<const uint8_t> data, std::vector<uint8_t>& audio,
                               std::vector<char>& events) {
    if (ended_) {
        return 0;
    }
    for (std::size_t i = 0; i < data.size(); ++i) {
        const uint8_t byte = data[i];
        if (!pendingDle_) {
            if (byte == kDle) {
                pendingDle_ = true;
            } else {
                audio.push_back(byte);
            }
            continue;
        }
        pendingDle_ = false;
        switch (byte) {
            case kDle:
                audio.push_back(kDle);
                break;
            case kSub:
                audio.push_back(kDle);
                audio.push_back(kDle);
                break;
            case kEtx:
                events.push_back(static_cast<char>(byte));
                ended_ = true;
                return i + 1;
            default:
                events.push_back(static_cast<char>(byte));
                break;
        }
    }
    return data.size();
}

void DleDecoder::Reset() {
    pendingDle_ = false;
    ended_ = false;
}

void AppendShielded(std::span<const uint8_t> data, std::vector<uint8_t>& out) {
    out.reserve(out.size() + data.size());
    for (const uint8_t byte : data) {
        out.push_back(byte);
        if (byte == kDle) {
            out.push_back(kDle);
        }
    }
}

void AppendTransmit(std::span<const uint8_t> data, std::vector<uint8_t>& out) {
    AppendShielded(data, out);
    out.push_back(kDle);
    out.push_back(kEtx);
}

std::size_t TransmitDecoder::Decode(std::span<const uint8_t> data, std::vector<uint8_t>& audio) {
    if (ended_) {
        return 0;
    }
    for (std::size_t i = 0; i < data.size(); ++i) {
        const uint8_t byte = data[i];
        if (!pendingDle_) {
            if (byte == kDle) {
                pendingDle_ = true;
            } else {
                audio.push_back(byte);
            }
            continue;
        }
        pendingDle_ = false;
        switch (byte) {
            case kDle:
                audio.push_back(kDle);
                break;
            case kEtx:
                ended_ = true;
                return i + 1;
            case kCan:
                audio.clear();
                break;
            case 'u':
            case 'd':
            case 'p':
            case 'r':
            case 0x00:
                break;
            default:
                if (faults_++ == 0) {
                    firstFault_ = byte;
                }
                break;
        }
    }
    return data.size();
}

void TransmitDecoder::Reset() {
    *this = TransmitDecoder{};
}

}  // namespace orvane::modem

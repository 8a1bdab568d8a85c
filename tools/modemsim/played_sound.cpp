#include "tools/modemsim/played_sound.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orvane::modemsim {
namespace {

constexpr uint32_t kRate = 8000;
// Longest sound kept: an hour of transmits.
constexpr std::size_t kMaxSamples = std::size_t{kRate} * 3600;

void Put16(std::string& out, uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void Put32(std::string& out, uint32_t value) {
    Put16(out, static_cast<uint16_t>(value & 0xFFFF));
    Put16(out, static_cast<uint16_t>(value >> 16));
}

}  // namespace

void PlayedSound::Add(std::span<const uint8_t> sound, modem::SampleEncoding encoding) {
    modem::VoiceDecoder decoder(encoding, static_cast<int>(kRate));
    std::vector<int16_t> samples;
    decoder.Decode(sound, samples);
    const std::size_t room = kMaxSamples - samples_.size();
    samples_.insert(samples_.end(), samples.begin(),
                    samples.begin() + static_cast<std::ptrdiff_t>(std::min(room, samples.size())));
    ++transmits_;
}

std::string PlayedSound::Write(const std::string& path) const {
    const auto dataBytes = static_cast<uint32_t>(samples_.size() * 2);
    std::string file;
    file.reserve(44 + dataBytes);
    file += "RIFF";
    Put32(file, 36 + dataBytes);
    file += "WAVEfmt ";
    Put32(file, 16);
    Put16(file, 1);  // PCM
    Put16(file, 1);  // mono
    Put32(file, kRate);
    Put32(file, kRate * 2);
    Put16(file, 2);
    Put16(file, 16);
    file += "data";
    Put32(file, dataBytes);
    for (const int16_t sample : samples_) {
        Put16(file, static_cast<uint16_t>(sample));
    }

    const std::string temporary = path + ".part";
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (out == nullptr) {
        return temporary + ": " + std::strerror(errno);
    }
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        std::remove(temporary.c_str());
        return path + ": " + reason;
    }
    return {};
}

}  // namespace orvane::modemsim

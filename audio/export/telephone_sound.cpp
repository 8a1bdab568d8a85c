#include "audio/telephone_sound.h"

#include <algorithm>

#include "audio/export/pcm_source.h"

namespace sonvel {
namespace {

// Linear interpolation from `rate` to 8000/s.
std::vector<int16_t> ToTelephoneRate(const std::vector<int16_t>& in, uint32_t rate) {
    if (rate == kTelephoneRate || in.empty()) {
        return in;
    }
    const auto count = static_cast<std::size_t>(uint64_t{in.size()} * kTelephoneRate / rate);
    std::vector<int16_t> out;
    out.reserve(count);
    for (std::size_t j = 0; j < count; ++j) {
        const uint64_t position = uint64_t{j} * rate;
        const auto index = static_cast<std::size_t>(position / kTelephoneRate);
        const auto fraction = static_cast<int64_t>(position % kTelephoneRate);
        const int64_t here = in[index];
        const int64_t next = index + 1 < in.size() ? in[index + 1] : here;
        out.push_back(static_cast<int16_t>(here + (next - here) * fraction / kTelephoneRate));
    }
    return out;
}

}  // namespace

std::string ReadTelephoneSound(const std::string& path, int maxSeconds,
                               std::vector<int16_t>* samples) {
    samples->clear();
    PcmSource source;
    if (std::string error = source.Open(path, 1); !error.empty()) {
        return error;
    }
    const uint32_t rate = source.Rate();
    if (rate == 0) {
        return path + ": the file gives no sample rate";
    }
    const uint64_t limit = uint64_t{rate} * static_cast<uint64_t>(std::max(maxSeconds, 0));
    std::vector<int16_t> all;
    std::vector<int16_t> piece;
    while (all.size() < limit) {
        if (std::string error = source.Read(&piece); !error.empty()) {
            return error;
        }
        if (piece.empty()) {
            break;
        }
        const auto take =
            static_cast<std::size_t>(std::min<uint64_t>(piece.size(), limit - all.size()));
        all.insert(all.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(take));
    }
    *samples = ToTelephoneRate(all, rate);
    return {};
}

}  // namespace sonvel

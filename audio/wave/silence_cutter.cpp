#include "audio/wave/silence_cutter.h"

namespace sonvel {

void SilenceCutter::Store(const uint8_t* bytes, uint32_t count, const Writer& write) {
    if (directWrites_ > kDirectBuffers - 1) {
        if (bytes != nullptr && count > 0) {
            held_.insert(held_.end(), bytes, bytes + count);
            total_ += count;
        }
    } else {
        ++directWrites_;
        write(bytes, count);
    }
    if (loud_) {
        // Take the bytes out first: the writer may reach back into the cutter.
        std::vector<uint8_t> release;
        release.swap(held_);
        total_ = 0;
        directWrites_ = 0;
        loud_ = false;
        if (!release.empty()) {
            write(release.data(), static_cast<uint32_t>(release.size()));
        }
    }
}

void SilenceCutter::Reset() {
    std::vector<uint8_t>().swap(held_);
    total_ = 0;
    directWrites_ = 0;
    // A loud buffer of the last recording must not release anything of the next.
    loud_ = false;
}

}  // namespace sonvel

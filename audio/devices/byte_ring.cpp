#include "audio/devices/byte_ring.h"

#include <algorithm>
#include <cstring>

namespace sonvel {

size_t ByteRing::Write(const uint8_t* bytes, size_t count) {
    const size_t cap = data_.size();
    size_t dropped = 0;
    if (count >= cap) {
        // Only the newest `cap` bytes can stay.
        dropped = size_ + (count - cap);
        bytes += count - cap;
        count = cap;
        head_ = 0;
        size_ = 0;
    } else if (size_ + count > cap) {
        const size_t excess = size_ + count - cap;
        head_ = (head_ + excess) % cap;
        size_ -= excess;
        dropped = excess;
    }
    size_t tail = (head_ + size_) % cap;
    size_t first = std::min(count, cap - tail);
    std::memcpy(data_.data() + tail, bytes, first);
    std::memcpy(data_.data(), bytes + first, count - first);
    size_ += count;
    return dropped;
}

size_t ByteRing::Read(uint8_t* out, size_t count) {
    const size_t cap = data_.size();
    count = std::min(count, size_);
    size_t first = std::min(count, cap - head_);
    std::memcpy(out, data_.data() + head_, first);
    std::memcpy(out + first, data_.data(), count - first);
    head_ = (head_ + count) % cap;
    size_ -= count;
    return count;
}

}  // namespace sonvel

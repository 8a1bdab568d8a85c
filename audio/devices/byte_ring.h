#pragma once
// A bounded byte FIFO that keeps the newest bytes when it overflows: the
// cushion between a device's own pace and a host that is late to give it
// buffers.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sonvel {

class ByteRing {
  public:
    explicit ByteRing(size_t capacity) : data_(capacity == 0 ? 1 : capacity) {}

    size_t size() const { return size_; }
    size_t capacity() const { return data_.size(); }
    bool empty() const { return size_ == 0; }
    void clear() { head_ = size_ = 0; }

    // Appends; returns how many of the oldest bytes were dropped to make room.
    size_t Write(const uint8_t* bytes, size_t count);
    // Moves up to `count` bytes out; returns how many.
    size_t Read(uint8_t* out, size_t count);

  private:
    std::vector<uint8_t> data_;
    size_t head_ = 0;  // oldest byte
    size_t size_ = 0;
};

}  // namespace sonvel

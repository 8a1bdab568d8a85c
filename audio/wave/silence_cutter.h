#pragma once
// Holds back quiet stretches of a recording. After the start and after
// every loud buffer four buffers go to the file at once; later ones wait
// in memory until a loud buffer releases them together with itself, so the
// quiet tail after the last loud buffer never reaches the file.

#include <cstdint>
#include <functional>
#include <vector>

namespace sonvel {

class SilenceCutter {
  public:
    using Writer = std::function<void(const uint8_t* bytes, uint32_t count)>;

    // Buffers written directly before holding starts.
    static constexpr uint32_t kDirectBuffers = 4;

    // Stores one buffer through `write`, directly or held; a pending loud
    // flag then releases everything held and starts a new direct run.
    void Store(const uint8_t* bytes, uint32_t count, const Writer& write);

    // Set from the input level: the buffer about to be stored is loud.
    void SetLoud(bool loud) { loud_ = loud; }
    bool Loud() const { return loud_; }

    // Drops what is held and starts over (recording start and stop).
    void Reset();

    uint32_t HeldBytes() const { return total_; }
    uint32_t DirectWrites() const { return directWrites_; }

  private:
    std::vector<uint8_t> held_;
    uint32_t total_ = 0;
    uint32_t directWrites_ = 0;
    bool loud_ = false;
};

}  // namespace sonvel

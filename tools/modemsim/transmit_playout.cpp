#include "tools/modemsim/transmit_playout.h"

#include "tools/modemsim/voice_source.h"

namespace orvane::modemsim {

void TransmitPlayout::Start() {
    active_ = true;
    dryAt_.reset();
    reported_ = false;
}

void TransmitPlayout::Stop() {
    active_ = false;
    dryAt_.reset();
}

void TransmitPlayout::Arrived(TimePoint now, int64_t samples) {
    if (!active_ || samples <= 0) {
        return;
    }
    const auto length = std::chrono::microseconds(samples * 1'000'000 / (kSampleRate * speed_));
    if (!dryAt_ || now >= *dryAt_) {
        // The first sound, or sound after the buffer ran dry: played from now.
        dryAt_ = now + length;
        reported_ = false;
    } else {
        *dryAt_ += length;
    }
}

bool TransmitPlayout::RanDry(TimePoint now) {
    if (!active_ || !dryAt_ || reported_ || now < *dryAt_) {
        return false;
    }
    reported_ = true;
    return true;
}

std::optional<TransmitPlayout::TimePoint> TransmitPlayout::NextDeadline() const {
    if (!active_ || reported_) {
        return std::nullopt;
    }
    return dryAt_;
}

int64_t TransmitPlayout::Buffered(TimePoint now) const {
    if (!active_ || !dryAt_ || now >= *dryAt_) {
        return 0;
    }
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(*dryAt_ - now);
    return left.count() * kSampleRate * speed_ / 1'000'000;
}

}  // namespace orvane::modemsim

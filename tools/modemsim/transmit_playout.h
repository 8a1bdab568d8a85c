#pragma once
// The clock of a voice transmit: the modem plays the host's sound in real
// time (times --speed) from the moment it has some, out of a buffer the
// host fills. A host slower than the sound lets the buffer run dry before
// <DLE><ETX>; a Conexant modem reports each such moment as <DLE>u
// ("transmit underrun") and plays on when more comes.

#include <chrono>
#include <cstdint>
#include <optional>

namespace orvane::modemsim {

class TransmitPlayout {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;

    explicit TransmitPlayout(int speed = 1) : speed_(speed < 1 ? 1 : speed) {}

    // CONNECT to AT+VTX: nothing buffered yet.
    void Start();
    // <DLE><ETX> came, or the transmit was left: no more underruns.
    void Stop();
    // `samples` of sound arrived at `now`.
    void Arrived(TimePoint now, int64_t samples);
    // True once for each time the buffer ran dry (at or before `now`).
    bool RanDry(TimePoint now);
    // When the buffered sound will have played; nothing when not playing.
    std::optional<TimePoint> NextDeadline() const;
    // Samples arrived and not yet played at `now`.
    int64_t Buffered(TimePoint now) const;
    bool Active() const { return active_; }

  private:
    int speed_;
    bool active_ = false;
    std::optional<TimePoint> dryAt_;  // when what is buffered has played
    bool reported_ = false;           // this dry spell was told
};

}  // namespace orvane::modemsim

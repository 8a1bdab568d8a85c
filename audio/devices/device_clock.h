#pragma once
// The time base the devices run on. The product runs on the real-time clock;
// tests run on a ManualClock, which they advance, so a minute of audio takes
// milliseconds and device threads act at exactly the simulated instants.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace sonvel {

using ClockDuration = std::chrono::nanoseconds;

// One device thread's view of a clock: reads the time and sleeps until a
// deadline or until Notify.
class ClockWaiter {
  public:
    virtual ~ClockWaiter() = default;
    virtual ClockDuration Now() = 0;
    // Releases `lock` while sleeping. Returns when `deadline` has passed, when
    // Notify was called since the last Wait, or when the time moved since the
    // last Now() (manual clock); spurious returns are allowed.
    virtual void Wait(std::unique_lock<std::mutex>& lock,
                      std::optional<ClockDuration> deadline) = 0;
    // Wakes the waiter; callable from any thread.
    virtual void Notify() = 0;
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual ClockDuration Now() const = 0;
    virtual std::unique_ptr<ClockWaiter> MakeWaiter() = 0;
};

// The monotonic system clock.
std::shared_ptr<Clock> RealTimeClock();

// A clock that only moves when told to. Advance returns once every device
// thread waiting on it has acted on the new time and is asleep again, so
// whatever those threads post is posted when Advance returns.
class ManualClock : public Clock, public std::enable_shared_from_this<ManualClock> {
  public:
    ManualClock() = default;
    ClockDuration Now() const override;
    std::unique_ptr<ClockWaiter> MakeWaiter() override;

    void Advance(ClockDuration step);
    // Advance(0): lets every device thread catch up with what the test did.
    void Settle() { Advance(ClockDuration::zero()); }

  private:
    class Waiter;
    friend class Waiter;

    bool AllIdleLocked() const;

    mutable std::mutex mutex_;
    std::condition_variable waiters_cv_;  // wakes waiters
    std::condition_variable settled_cv_;  // wakes Advance
    ClockDuration now_{0};
    uint64_t generation_ = 0;
    std::vector<Waiter*> waiters_;
};

// The clock newly opened devices run on (the real-time clock unless set).
std::shared_ptr<Clock> DeviceClock();
void SetDeviceClock(std::shared_ptr<Clock> clock);

// Sets the device clock for a scope and puts the previous one back.
class ScopedDeviceClock {
  public:
    explicit ScopedDeviceClock(std::shared_ptr<Clock> clock);
    ~ScopedDeviceClock();
    ScopedDeviceClock(const ScopedDeviceClock&) = delete;
    ScopedDeviceClock& operator=(const ScopedDeviceClock&) = delete;

  private:
    std::shared_ptr<Clock> previous_;
};

}  // namespace sonvel

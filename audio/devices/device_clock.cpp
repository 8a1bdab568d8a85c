#include "audio/devices/device_clock.h"

#include <algorithm>

namespace sonvel {

namespace {

class SteadyClock;

class SteadyWaiter : public ClockWaiter {
  public:
    ClockDuration Now() override {
        return std::chrono::duration_cast<ClockDuration>(
            std::chrono::steady_clock::now().time_since_epoch());
    }

    void Wait(std::unique_lock<std::mutex>& lock, std::optional<ClockDuration> deadline) override {
        // Sleep on our own mutex so a Notify between the caller's last check
        // and this wait is never lost.
        lock.unlock();
        {
            std::unique_lock own(mutex_);
            if (deadline) {
                const std::chrono::steady_clock::time_point until(
                    std::chrono::duration_cast<std::chrono::steady_clock::duration>(*deadline));
                cv_.wait_until(own, until, [this] { return notified_; });
            } else {
                cv_.wait(own, [this] { return notified_; });
            }
            notified_ = false;
        }
        lock.lock();
    }

    void Notify() override {
        {
            std::lock_guard own(mutex_);
            notified_ = true;
        }
        cv_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool notified_ = false;
};

class SteadyClock : public Clock {
  public:
    ClockDuration Now() const override {
        return std::chrono::duration_cast<ClockDuration>(
            std::chrono::steady_clock::now().time_since_epoch());
    }
    std::unique_ptr<ClockWaiter> MakeWaiter() override { return std::make_unique<SteadyWaiter>(); }
};

std::mutex g_clock_mutex;
std::shared_ptr<Clock> g_device_clock;

}  // namespace

std::shared_ptr<Clock> RealTimeClock() {
    static const std::shared_ptr<Clock> clock = std::make_shared<SteadyClock>();
    return clock;
}

// A waiter is idle when it sleeps with nothing to do at the clock's current
// generation: it has seen the latest time and has no pending Notify.
class ManualClock::Waiter : public ClockWaiter {
  public:
    explicit Waiter(std::shared_ptr<ManualClock> clock) : clock_(std::move(clock)) {
        std::lock_guard guard(clock_->mutex_);
        clock_->waiters_.push_back(this);
    }

    ~Waiter() override {
        {
            std::lock_guard guard(clock_->mutex_);
            auto& list = clock_->waiters_;
            list.erase(std::remove(list.begin(), list.end(), this), list.end());
        }
        clock_->settled_cv_.notify_all();
    }

    ClockDuration Now() override {
        std::lock_guard guard(clock_->mutex_);
        seen_generation_ = clock_->generation_;
        return clock_->now_;
    }

    void Wait(std::unique_lock<std::mutex>& lock, std::optional<ClockDuration> deadline) override {
        lock.unlock();
        {
            std::unique_lock guard(clock_->mutex_);
            auto ready = [&] {
                return notified_ || seen_generation_ != clock_->generation_ ||
                       (deadline && clock_->now_ >= *deadline);
            };
            if (!ready()) {
                idle_ = true;
                clock_->settled_cv_.notify_all();
                clock_->waiters_cv_.wait(guard, ready);
                idle_ = false;
            }
            notified_ = false;
        }
        lock.lock();
    }

    void Notify() override {
        {
            std::lock_guard guard(clock_->mutex_);
            notified_ = true;
        }
        clock_->waiters_cv_.notify_all();
    }

    bool IdleLocked() const {
        return idle_ && !notified_ && seen_generation_ == clock_->generation_;
    }

  private:
    std::shared_ptr<ManualClock> clock_;
    uint64_t seen_generation_ = 0;
    bool notified_ = false;
    bool idle_ = false;
};

ClockDuration ManualClock::Now() const {
    std::lock_guard guard(mutex_);
    return now_;
}

std::unique_ptr<ClockWaiter> ManualClock::MakeWaiter() {
    return std::make_unique<Waiter>(shared_from_this());
}

bool ManualClock::AllIdleLocked() const {
    return std::all_of(waiters_.begin(), waiters_.end(),
                       [](const Waiter* waiter) { return waiter->IdleLocked(); });
}

void ManualClock::Advance(ClockDuration step) {
    std::unique_lock guard(mutex_);
    now_ += std::max(step, ClockDuration::zero());
    ++generation_;
    waiters_cv_.notify_all();
    settled_cv_.wait(guard, [this] { return AllIdleLocked(); });
}

std::shared_ptr<Clock> DeviceClock() {
    std::lock_guard guard(g_clock_mutex);
    return g_device_clock ? g_device_clock : RealTimeClock();
}

void SetDeviceClock(std::shared_ptr<Clock> clock) {
    std::lock_guard guard(g_clock_mutex);
    g_device_clock = std::move(clock);
}

ScopedDeviceClock::ScopedDeviceClock(std::shared_ptr<Clock> clock) {
    std::lock_guard guard(g_clock_mutex);
    previous_ = g_device_clock;
    g_device_clock = std::move(clock);
}

ScopedDeviceClock::~ScopedDeviceClock() {
    SetDeviceClock(previous_);
}

}  // namespace sonvel

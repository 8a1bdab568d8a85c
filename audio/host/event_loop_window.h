#pragma once
// Sonvel's own message window for its tools and tests: a thread-safe queue
// of notifications and a loop that delivers them on the owning thread.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "audio/host/message_window.h"

namespace sonvel {

class SONVEL_API EventLoopWindow : public MessageWindow {
  public:
    // The constructing thread owns the window.
    EventLoopWindow();
    ~EventLoopWindow() override;

    bool Post(const Notification& notification) override;
    void PumpPendingEvents() override { Pump(); }
    bool IsOwnerThread() const override;

    // Makes the calling thread the owner.
    void Adopt();

    // Delivers what is queued at the time of the call (not what handlers post
    // meanwhile, so a handler that re-posts cannot spin it forever). Returns
    // the number delivered; 0 off the owner thread.
    size_t Pump();

    // Delivers notifications as they come until Quit().
    void Run();

    // Delivers notifications as they come until `done` holds; false if
    // `limit` (wall time) ran out first or off the owner thread.
    bool RunUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds limit = std::chrono::hours(24 * 365));

    // Makes Run return; callable from any thread.
    void Quit();

    // Stops accepting notifications and handler registrations.
    void Close();

    size_t PendingCount() const;

  private:
    bool TakeOne(Notification* out);

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Notification> queue_;
    std::thread::id owner_;
    bool closed_ = false;
    bool quit_ = false;
};

}  // namespace sonvel

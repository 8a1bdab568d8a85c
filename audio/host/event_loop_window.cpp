#include "audio/host/event_loop_window.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace sonvel {

struct EventLoopWindow::Queue {
    mutable std::mutex mutex;
    std::condition_variable cv;
    std::deque<Notification> notifications;
    std::thread::id owner = std::this_thread::get_id();
    bool closed = false;
    bool quit = false;

    bool TakeOne(Notification* out) {
        std::lock_guard lock(mutex);
        if (notifications.empty()) {
            return false;
        }
        *out = notifications.front();
        notifications.pop_front();
        return true;
    }
};

EventLoopWindow::EventLoopWindow() : queue_(std::make_unique<Queue>()) {}

EventLoopWindow::~EventLoopWindow() {
    Close();
}

bool EventLoopWindow::Post(const Notification& notification) {
    {
        std::lock_guard lock(queue_->mutex);
        if (queue_->closed) {
            return false;
        }
        queue_->notifications.push_back(notification);
    }
    queue_->cv.notify_all();
    return true;
}

bool EventLoopWindow::IsOwnerThread() const {
    std::lock_guard lock(queue_->mutex);
    return queue_->owner == std::this_thread::get_id();
}

void EventLoopWindow::Adopt() {
    std::lock_guard lock(queue_->mutex);
    queue_->owner = std::this_thread::get_id();
}

size_t EventLoopWindow::Pump() {
    if (!IsOwnerThread()) {
        return 0;
    }
    size_t budget = PendingCount();
    size_t delivered = 0;
    Notification notification;
    while (delivered < budget && queue_->TakeOne(&notification)) {
        Dispatch(notification);
        ++delivered;
    }
    return delivered;
}

void EventLoopWindow::Run() {
    if (!IsOwnerThread()) {
        return;
    }
    for (;;) {
        Notification notification;
        {
            std::unique_lock lock(queue_->mutex);
            queue_->cv.wait(lock,
                            [this] { return queue_->quit || !queue_->notifications.empty(); });
            if (queue_->quit) {
                queue_->quit = false;
                return;
            }
            notification = queue_->notifications.front();
            queue_->notifications.pop_front();
        }
        Dispatch(notification);
    }
}

bool EventLoopWindow::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    if (!IsOwnerThread()) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        Notification notification;
        {
            std::unique_lock lock(queue_->mutex);
            if (!queue_->cv.wait_until(lock, deadline,
                                       [this] { return !queue_->notifications.empty(); })) {
                return false;
            }
            notification = queue_->notifications.front();
            queue_->notifications.pop_front();
        }
        Dispatch(notification);
    }
    return true;
}

void EventLoopWindow::Quit() {
    {
        std::lock_guard lock(queue_->mutex);
        queue_->quit = true;
    }
    queue_->cv.notify_all();
}

void EventLoopWindow::Close() {
    RefuseAttachments();
    std::lock_guard lock(queue_->mutex);
    queue_->closed = true;
}

size_t EventLoopWindow::PendingCount() const {
    std::lock_guard lock(queue_->mutex);
    return queue_->notifications.size();
}

}  // namespace sonvel

#include "audio/host/event_loop_window.h"

namespace sonvel {

EventLoopWindow::EventLoopWindow() : owner_(std::this_thread::get_id()) {}

EventLoopWindow::~EventLoopWindow() {
    Close();
}

bool EventLoopWindow::Post(const Notification& notification) {
    {
        std::lock_guard lock(mutex_);
        if (closed_) {
            return false;
        }
        queue_.push_back(notification);
    }
    cv_.notify_all();
    return true;
}

bool EventLoopWindow::IsOwnerThread() const {
    std::lock_guard lock(mutex_);
    return owner_ == std::this_thread::get_id();
}

void EventLoopWindow::Adopt() {
    std::lock_guard lock(mutex_);
    owner_ = std::this_thread::get_id();
}

bool EventLoopWindow::TakeOne(Notification* out) {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) {
        return false;
    }
    *out = queue_.front();
    queue_.pop_front();
    return true;
}

size_t EventLoopWindow::Pump() {
    if (!IsOwnerThread()) {
        return 0;
    }
    size_t budget = PendingCount();
    size_t delivered = 0;
    Notification notification;
    while (delivered < budget && TakeOne(&notification)) {
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
            std::unique_lock lock(mutex_);
            cv_.wait(lock, [this] { return quit_ || !queue_.empty(); });
            if (quit_) {
                quit_ = false;
                return;
            }
            notification = queue_.front();
            queue_.pop_front();
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
            std::unique_lock lock(mutex_);
            if (!cv_.wait_until(lock, deadline, [this] { return !queue_.empty(); })) {
                return false;
            }
            notification = queue_.front();
            queue_.pop_front();
        }
        Dispatch(notification);
    }
    return true;
}

void EventLoopWindow::Quit() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    cv_.notify_all();
}

void EventLoopWindow::Close() {
    RefuseAttachments();
    std::lock_guard lock(mutex_);
    closed_ = true;
}

size_t EventLoopWindow::PendingCount() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

}  // namespace sonvel

#include "app/qt_message_window.h"

#include <QMetaObject>
#include <QThread>

namespace orvane {

QtMessageWindow::QtMessageWindow(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("audioMessageWindow"));
}

QtMessageWindow::~QtMessageWindow() {
    Close();
}

bool QtMessageWindow::Post(const sonvel::Notification& notification) {
    std::lock_guard lock(postMutex_);
    if (closed_) {
        return false;
    }
    queue_.push_back(notification);
    // One queued call per notification: the event loop delivers the oldest
    // each time, so a pump in between only moves deliveries earlier and the
    // order stays the posting order.
    return QMetaObject::invokeMethod(
        this, [this] { DeliverQueued(1); }, Qt::QueuedConnection);
}

void QtMessageWindow::PumpPendingEvents() {
    if (!IsOwnerThread()) {
        return;
    }
    size_t pending = 0;
    {
        std::lock_guard lock(postMutex_);
        pending = queue_.size();
    }
    DeliverQueued(pending);
}

bool QtMessageWindow::IsOwnerThread() const {
    return QThread::currentThread() == thread();
}

void QtMessageWindow::Close() {
    RefuseAttachments();
    std::lock_guard lock(postMutex_);
    closed_ = true;
    queue_.clear();
}

void QtMessageWindow::DeliverQueued(size_t count) {
    for (size_t i = 0; i < count; ++i) {
        sonvel::Notification next;
        {
            std::lock_guard lock(postMutex_);
            // Empty when a pump delivered it already or Close dropped it.
            if (closed_ || queue_.empty()) {
                return;
            }
            next = queue_.front();
            queue_.pop_front();
        }
        Dispatch(next);
    }
}

}  // namespace orvane

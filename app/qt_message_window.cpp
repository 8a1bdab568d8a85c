#include "app/qt_message_window.h"

#include <QCoreApplication>
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
    // Queued calls to one receiver are delivered in the order they were
    // posted, whichever thread posted them.
    return QMetaObject::invokeMethod(
        this, [this, notification] { Deliver(notification); }, Qt::QueuedConnection);
}

void QtMessageWindow::PumpPendingEvents() {
    if (IsOwnerThread()) {
        QCoreApplication::processEvents();
    }
}

bool QtMessageWindow::IsOwnerThread() const {
    return QThread::currentThread() == thread();
}

void QtMessageWindow::Close() {
    RefuseAttachments();
    {
        std::lock_guard lock(postMutex_);
        closed_ = true;
    }
    if (IsOwnerThread()) {
        QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    }
}

void QtMessageWindow::Deliver(const sonvel::Notification& notification) {
    {
        std::lock_guard lock(postMutex_);
        if (closed_) {
            return;
        }
    }
    Dispatch(notification);
}

}  // namespace orvane

#pragma once
// The window the main window's Wave controls are hosted on: device
// notifications, posted from any thread, arrive as queued calls on the GUI
// thread in posting order. "Process pending events" delivers only the
// notifications this window holds, never the rest of the event loop, so no
// other handler of the program runs inside an audio control's call.

#include <QObject>
#include <deque>
#include <mutex>

#include "audio/sonvel_host.h"

namespace orvane {

class QtMessageWindow final : public QObject, public sonvel::MessageWindow {
  public:
    // Owned by the thread that creates it; it must have an event loop.
    explicit QtMessageWindow(QObject* parent = nullptr);
    ~QtMessageWindow() override;

    bool Post(const sonvel::Notification& notification) override;
    // Delivers what is queued when called; what handlers post meanwhile
    // waits for the event loop, so a handler that posts cannot spin it.
    void PumpPendingEvents() override;
    bool IsOwnerThread() const override;

    // Refuses further notifications and handler registrations; what is
    // queued already is dropped.
    void Close();

  private:
    // Delivers up to `count` queued notifications, oldest first.
    void DeliverQueued(size_t count);

    // Guards the queue and the closed flag; held while posting, so no
    // notification is queued once Close returns.
    std::mutex postMutex_;
    std::deque<sonvel::Notification> queue_;
    bool closed_ = false;
};

}  // namespace orvane

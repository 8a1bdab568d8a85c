#pragma once
// The window the main window's Wave controls are hosted on: device
// notifications, posted from any thread, arrive as queued calls on the GUI
// thread in posting order; "process pending events" runs the Qt event loop.

#include <QObject>
#include <mutex>

#include "audio/sonvel_host.h"

namespace orvane {

class QtMessageWindow final : public QObject, public sonvel::MessageWindow {
  public:
    // Owned by the thread that creates it; it must have an event loop.
    explicit QtMessageWindow(QObject* parent = nullptr);
    ~QtMessageWindow() override;

    bool Post(const sonvel::Notification& notification) override;
    void PumpPendingEvents() override;
    bool IsOwnerThread() const override;

    // Refuses further notifications and handler registrations; what is
    // queued already is dropped.
    void Close();

  private:
    void Deliver(const sonvel::Notification& notification);

    // Held while posting, so no notification is queued once Close returns.
    std::mutex postMutex_;
    bool closed_ = false;
};

}  // namespace orvane

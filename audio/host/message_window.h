#pragma once
// The window a Wave control is hosted on, reduced to what the engine needs:
// device notifications posted from any thread and delivered on the host's
// thread one at a time in posting order, a registry of handlers by message
// number, and "process pending events". Hosts implement Post and
// PumpPendingEvents over their own event loop and call Dispatch for each
// notification they deliver.

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "audio/base/api.h"

namespace sonvel {

struct WAVEHDR;

// Driver notification numbers.
inline constexpr uint32_t MM_WOM_OPEN = 0x3BB;
inline constexpr uint32_t MM_WOM_CLOSE = 0x3BC;
inline constexpr uint32_t MM_WOM_DONE = 0x3BD;
inline constexpr uint32_t MM_WIM_OPEN = 0x3BE;
inline constexpr uint32_t MM_WIM_CLOSE = 0x3BF;
inline constexpr uint32_t MM_WIM_DATA = 0x3C0;

struct Notification {
    uint32_t message = 0;
    uint32_t device = 0;        // the wave device handle that posted it
    WAVEHDR* header = nullptr;  // the buffer concerned (DONE/DATA), else null
};

// Refusals of the handler registry. A host raises them as errors numbered
// kHostErrorBase + code, with RegistrationErrorText(code).
inline constexpr int32_t kErrCantSubclass = 13081;
inline constexpr int32_t kErrAlreadyHandled = 13082;
inline constexpr int32_t kErrInvalidWindow = 13083;
inline constexpr int32_t kErrExternalWindow = 13084;
inline constexpr int32_t kErrInvalidCall = 5;  // the host's "invalid procedure call"
inline constexpr uint32_t kHostErrorBase = 0x80040000u;

// The text of a registration refusal; empty for other codes.
SONVEL_API std::string RegistrationErrorText(int32_t code);

// Something that handles notifications delivered to a window.
class SONVEL_API MessageClient {
  public:
    virtual ~MessageClient() = default;
    virtual int32_t WindowProc(const Notification& notification) = 0;
};

class SONVEL_API MessageWindow {
  public:
    MessageWindow() = default;
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;
    virtual ~MessageWindow() = default;

    // Queues a notification; callable from any thread, never blocks on the
    // host. False when the window no longer accepts notifications.
    virtual bool Post(const Notification& notification) = 0;

    // Delivers the notifications that are pending now; owner thread only.
    virtual void PumpPendingEvents() = 0;

    // True on the thread that owns the window (the one delivering).
    virtual bool IsOwnerThread() const = 0;

    // Adds `client` to the handlers of `message`. 0 on success, else one of
    // the kErr* codes above. Owner thread only.
    int32_t AttachMessage(MessageClient* client, uint32_t message);
    // Removes it again; 0, or kErrInvalidCall when it was not attached.
    int32_t DetachMessage(MessageClient* client, uint32_t message);
    bool IsAttached(const MessageClient* client, uint32_t message) const;

  protected:
    // Runs the handlers of the notification's message in attach order and
    // returns the last one's result (0 without handlers). A handler detached
    // while an earlier one runs is not called.
    int32_t Dispatch(const Notification& notification);

    // After this, attaching is refused with kErrCantSubclass; for windows
    // that are being torn down.
    void RefuseAttachments();

  private:
    struct Entry {
        uint32_t message;
        MessageClient* client;
    };
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
    bool refusing_ = false;
};

// Attaches through a window pointer that may be null (an invalid window).
SONVEL_API int32_t AttachMessage(MessageWindow* window, MessageClient* client, uint32_t message);
SONVEL_API int32_t DetachMessage(MessageWindow* window, MessageClient* client, uint32_t message);

}  // namespace sonvel

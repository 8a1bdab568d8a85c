#include "audio/host/message_window.h"

#include <algorithm>

namespace sonvel {

std::string RegistrationErrorText(int32_t code) {
    switch (code) {
        case kErrCantSubclass:
            return "Can't subclass window";
        case kErrAlreadyHandled:
            return "Message already handled by another class";
        case kErrInvalidWindow:
            return "Invalid window";
        case kErrExternalWindow:
            return "Can't modify external window";
        default:
            return {};
    }
}

int32_t MessageWindow::AttachMessage(MessageClient* client, uint32_t message) {
    if (client == nullptr) {
        return kErrInvalidCall;
    }
    if (!IsOwnerThread()) {
        return kErrExternalWindow;
    }
    std::lock_guard lock(mutex_);
    if (refusing_) {
        return kErrCantSubclass;
    }
    for (const Entry& entry : entries_) {
        if (entry.message == message && entry.client == client) {
            return kErrAlreadyHandled;
        }
    }
    entries_.push_back({message, client});
    return 0;
}

int32_t MessageWindow::DetachMessage(MessageClient* client, uint32_t message) {
    if (!IsOwnerThread()) {
        return kErrExternalWindow;
    }
    std::lock_guard lock(mutex_);
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& entry) {
        return entry.message == message && entry.client == client;
    });
    if (it == entries_.end()) {
        return kErrInvalidCall;
    }
    entries_.erase(it);
    return 0;
}

bool MessageWindow::IsAttached(const MessageClient* client, uint32_t message) const {
    std::lock_guard lock(mutex_);
    return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& entry) {
        return entry.message == message && entry.client == client;
    });
}

int32_t MessageWindow::Dispatch(const Notification& notification) {
    std::vector<MessageClient*> clients;
    {
        std::lock_guard lock(mutex_);
        for (const Entry& entry : entries_) {
            if (entry.message == notification.message) {
                clients.push_back(entry.client);
            }
        }
    }
    int32_t result = 0;
    for (MessageClient* client : clients) {
        // A handler may detach later ones (UnInitC inside a handler).
        if (IsAttached(client, notification.message)) {
            result = client->WindowProc(notification);
        }
    }
    return result;
}

void MessageWindow::RefuseAttachments() {
    std::lock_guard lock(mutex_);
    refusing_ = true;
}

int32_t AttachMessage(MessageWindow* window, MessageClient* client, uint32_t message) {
    if (window == nullptr) {
        return kErrInvalidWindow;
    }
    return window->AttachMessage(client, message);
}

int32_t DetachMessage(MessageWindow* window, MessageClient* client, uint32_t message) {
    if (window == nullptr) {
        return kErrInvalidWindow;
    }
    return window->DetachMessage(client, message);
}

}  // namespace sonvel

#include "audio/host/message_window.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace sonvel {

struct MessageWindow::Registry {
    struct Entry {
        uint32_t message;
        MessageClient* client;
    };
    mutable std::mutex mutex;
    std::vector<Entry> entries;
    bool refusing = false;
};

MessageClient::~MessageClient() = default;

MessageWindow::MessageWindow() : registry_(std::make_unique<Registry>()) {}

MessageWindow::~MessageWindow() = default;

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
    std::lock_guard lock(registry_->mutex);
    if (registry_->refusing) {
        return kErrCantSubclass;
    }
    for (const Registry::Entry& entry : registry_->entries) {
        if (entry.message == message && entry.client == client) {
            return kErrAlreadyHandled;
        }
    }
    registry_->entries.push_back({message, client});
    return 0;
}

int32_t MessageWindow::DetachMessage(MessageClient* client, uint32_t message) {
    if (!IsOwnerThread()) {
        return kErrExternalWindow;
    }
    std::lock_guard lock(registry_->mutex);
    auto it = std::find_if(registry_->entries.begin(), registry_->entries.end(),
                           [&](const Registry::Entry& entry) {
                               return entry.message == message && entry.client == client;
                           });
    if (it == registry_->entries.end()) {
        return kErrInvalidCall;
    }
    registry_->entries.erase(it);
    return 0;
}

bool MessageWindow::IsAttached(const MessageClient* client, uint32_t message) const {
    std::lock_guard lock(registry_->mutex);
    return std::any_of(registry_->entries.begin(), registry_->entries.end(),
                       [&](const Registry::Entry& entry) {
                           return entry.message == message && entry.client == client;
                       });
}

int32_t MessageWindow::Dispatch(const Notification& notification) {
    std::vector<MessageClient*> clients;
    {
        std::lock_guard lock(registry_->mutex);
        for (const Registry::Entry& entry : registry_->entries) {
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
    std::lock_guard lock(registry_->mutex);
    registry_->refusing = true;
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

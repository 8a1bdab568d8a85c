#include "app/live_update_form.h"

#include "core/product.h"

namespace orvane {

LiveUpdateForm::LiveUpdateForm(QObject* parent) : QObject(parent) {
    connect(&comm_, &AppComm::Received, this, &LiveUpdateForm::onReceived);
}

bool LiveUpdateForm::Load() {
    return comm_.Join(product::kInstanceChannel);
}

void LiveUpdateForm::Unload() {
    comm_.Leave();
}

int LiveUpdateForm::SendQuitMessage() {
    return comm_.Send(product::kQuitMessage);
}

int LiveUpdateForm::SendShowWindowMessage() {
    return comm_.Send(product::kShowWindowMessage);
}

void LiveUpdateForm::onReceived(const QString& text) {
    if (text == product::kQuitMessage) {
        // Quitting tears down the channel that is delivering this text.
        QMetaObject::invokeMethod(this, &LiveUpdateForm::QuitRequested, Qt::QueuedConnection);
    } else if (text == product::kShowWindowMessage) {
        QMetaObject::invokeMethod(this, &LiveUpdateForm::ShowWindowRequested, Qt::QueuedConnection);
    }
}

}  // namespace orvane

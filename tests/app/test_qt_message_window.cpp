// The audio controls' host window on the Qt event loop: order, threads,
// pumping and closing.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <thread>
#include <vector>

#include "app/qt_message_window.h"

namespace orvane {
namespace {

using sonvel::MM_WIM_DATA;
using sonvel::Notification;

struct Recorder final : sonvel::MessageClient {
    int32_t WindowProc(const Notification& notification) override {
        devices.push_back(notification.device);
        return 0;
    }
    std::vector<uint32_t> devices;
};

Notification Data(uint32_t device) {
    return Notification{MM_WIM_DATA, device, nullptr};
}

TEST(QtMessageWindowTest, NotificationsFromAnotherThreadArriveOnTheOwnerInPostingOrder) {
    QtMessageWindow window;
    Recorder client;
    ASSERT_EQ(window.AttachMessage(&client, MM_WIM_DATA), 0);
    constexpr uint32_t kCount = 500;
    bool workerIsOwner = true;
    std::thread device([&] {
        workerIsOwner = window.IsOwnerThread();
        for (uint32_t i = 0; i < kCount; ++i) {
            window.Post(Data(i));
        }
    });
    device.join();
    EXPECT_FALSE(workerIsOwner);
    EXPECT_TRUE(window.IsOwnerThread());
    // Nothing is delivered outside the owner's event loop.
    EXPECT_TRUE(client.devices.empty());
    QDeadlineTimer deadline(10000);
    while (client.devices.size() < kCount && !deadline.hasExpired()) {
        window.PumpPendingEvents();
    }
    ASSERT_EQ(client.devices.size(), kCount);
    for (uint32_t i = 0; i < kCount; ++i) {
        ASSERT_EQ(client.devices[i], i);
    }
}

TEST(QtMessageWindowTest, PumpingDeliversOnlyTheWindowsOwnNotificationsOnce) {
    QtMessageWindow window;
    Recorder client;
    ASSERT_EQ(window.AttachMessage(&client, MM_WIM_DATA), 0);
    int otherRan = 0;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&otherRan] { ++otherRan; }, Qt::QueuedConnection);
    window.Post(Data(1));
    window.Post(Data(2));
    // Another handler of the program must not run inside an audio call.
    window.PumpPendingEvents();
    EXPECT_EQ(client.devices, (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(otherRan, 0);
    // The event loop later finds nothing left to deliver twice.
    window.Post(Data(3));
    QCoreApplication::processEvents();
    EXPECT_EQ(client.devices, (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_EQ(otherRan, 1);
}

TEST(QtMessageWindowTest, AClosedWindowTakesNothingMoreAndDropsWhatWasQueued) {
    QtMessageWindow window;
    Recorder client;
    ASSERT_EQ(window.AttachMessage(&client, MM_WIM_DATA), 0);
    EXPECT_TRUE(window.Post(Data(1)));
    window.Close();
    EXPECT_FALSE(window.Post(Data(2)));
    Recorder late;
    EXPECT_EQ(window.AttachMessage(&late, MM_WIM_DATA), sonvel::kErrCantSubclass);
    QCoreApplication::processEvents();
    EXPECT_TRUE(client.devices.empty());
}

}  // namespace
}  // namespace orvane

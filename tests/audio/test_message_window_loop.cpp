// The plain message window: delivery order and thread, and the handler registry.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "audio/host/event_loop_window.h"

namespace sonvel {
namespace {

struct Recorder : MessageClient {
    std::vector<Notification> seen;
    std::vector<std::thread::id> threads;
    int32_t WindowProc(const Notification& notification) override {
        seen.push_back(notification);
        threads.push_back(std::this_thread::get_id());
        return 7;
    }
};

TEST(MessageWindowLoop, PostsFromAnotherThreadArriveOnTheOwnerInPostingOrder) {
    EventLoopWindow window;
    Recorder recorder;
    ASSERT_EQ(window.AttachMessage(&recorder, MM_WOM_DONE), 0);
    constexpr uint32_t kCount = 2000;
    std::thread poster([&] {
        for (uint32_t i = 0; i < kCount; ++i) {
            window.Post({MM_WOM_DONE, i, nullptr});
        }
    });
    ASSERT_TRUE(
        window.RunUntil([&] { return recorder.seen.size() == kCount; }, std::chrono::minutes(5)));
    poster.join();
    for (uint32_t i = 0; i < kCount; ++i) {
        ASSERT_EQ(recorder.seen[i].device, i);
        ASSERT_EQ(recorder.threads[i], std::this_thread::get_id());
    }
}

TEST(MessageWindowLoop, DeliversOnlyToHandlersOfTheMessageAndOnlyOnItsThread) {
    EventLoopWindow window;
    Recorder done, data;
    ASSERT_EQ(window.AttachMessage(&done, MM_WOM_DONE), 0);
    ASSERT_EQ(window.AttachMessage(&data, MM_WIM_DATA), 0);
    window.Post({MM_WIM_DATA, 1, nullptr});
    window.Post({MM_WOM_CLOSE, 2, nullptr});  // nobody handles it: dropped quietly
    window.Post({MM_WOM_DONE, 3, nullptr});

    size_t from_elsewhere = 1;
    std::thread([&] { from_elsewhere = window.Pump(); }).join();
    EXPECT_EQ(from_elsewhere, 0u);

    EXPECT_EQ(window.Pump(), 3u);
    ASSERT_EQ(done.seen.size(), 1u);
    EXPECT_EQ(done.seen[0].device, 3u);
    ASSERT_EQ(data.seen.size(), 1u);
    EXPECT_EQ(data.seen[0].device, 1u);
}

TEST(MessageWindowLoop, PumpDeliversWhatWasPendingAndNotWhatHandlersPostMeanwhile) {
    EventLoopWindow window;
    struct Reposter : MessageClient {
        EventLoopWindow* window = nullptr;
        int calls = 0;
        int32_t WindowProc(const Notification& notification) override {
            ++calls;
            window->Post(notification);
            return 0;
        }
    } reposter;
    reposter.window = &window;
    ASSERT_EQ(window.AttachMessage(&reposter, MM_WOM_DONE), 0);
    window.Post({MM_WOM_DONE, 1, nullptr});
    window.Post({MM_WOM_DONE, 2, nullptr});
    EXPECT_EQ(window.Pump(), 2u);
    EXPECT_EQ(reposter.calls, 2);
    EXPECT_EQ(window.PendingCount(), 2u);
}

TEST(MessageWindowLoop, AHandlerDetachedByAnEarlierOneIsNotCalled) {
    EventLoopWindow window;
    Recorder second;
    struct Detacher : MessageClient {
        MessageWindow* window = nullptr;
        MessageClient* victim = nullptr;
        int32_t WindowProc(const Notification&) override {
            window->DetachMessage(victim, MM_WIM_DATA);
            return 0;
        }
    } first;
    first.window = &window;
    first.victim = &second;
    ASSERT_EQ(window.AttachMessage(&first, MM_WIM_DATA), 0);
    ASSERT_EQ(window.AttachMessage(&second, MM_WIM_DATA), 0);
    window.Post({MM_WIM_DATA, 1, nullptr});
    window.Pump();
    EXPECT_TRUE(second.seen.empty());
}

TEST(MessageWindowLoop, RegistrationRefusalsCarryTheirCodesAndTexts) {
    EventLoopWindow window;
    Recorder recorder;
    EXPECT_EQ(AttachMessage(nullptr, &recorder, MM_WOM_DONE), kErrInvalidWindow);
    EXPECT_EQ(window.AttachMessage(nullptr, MM_WOM_DONE), kErrInvalidCall);
    EXPECT_EQ(window.AttachMessage(&recorder, MM_WOM_DONE), 0);
    EXPECT_EQ(window.AttachMessage(&recorder, MM_WOM_DONE), kErrAlreadyHandled);
    EXPECT_EQ(window.AttachMessage(&recorder, MM_WOM_CLOSE), 0);

    int32_t from_elsewhere = 0;
    std::thread([&] { from_elsewhere = window.AttachMessage(&recorder, MM_WIM_DATA); }).join();
    EXPECT_EQ(from_elsewhere, kErrExternalWindow);

    EXPECT_EQ(window.DetachMessage(&recorder, MM_WOM_DONE), 0);
    EXPECT_EQ(window.DetachMessage(&recorder, MM_WOM_DONE), kErrInvalidCall);

    window.Close();
    EXPECT_EQ(window.AttachMessage(&recorder, MM_WIM_DATA), kErrCantSubclass);
    EXPECT_FALSE(window.Post({MM_WOM_DONE, 1, nullptr}));

    EXPECT_EQ(RegistrationErrorText(kErrCantSubclass), "Can't subclass window");
    EXPECT_EQ(RegistrationErrorText(kErrAlreadyHandled),
              "Message already handled by another class");
    EXPECT_EQ(RegistrationErrorText(kErrInvalidWindow), "Invalid window");
    EXPECT_EQ(RegistrationErrorText(kErrExternalWindow), "Can't modify external window");
    EXPECT_EQ(kHostErrorBase + static_cast<uint32_t>(kErrInvalidWindow), 0x8004331Bu);
}

TEST(MessageWindowLoop, RunReturnsOnQuitFromAnotherThread) {
    EventLoopWindow window;
    Recorder recorder;
    ASSERT_EQ(window.AttachMessage(&recorder, MM_WOM_DONE), 0);
    window.Post({MM_WOM_DONE, 1, nullptr});
    std::thread quitter([&] { window.Quit(); });
    window.Run();
    quitter.join();
    // Quit may come before or after the pending notification; Run must end either way.
    EXPECT_LE(recorder.seen.size(), 1u);
}

}  // namespace
}  // namespace sonvel

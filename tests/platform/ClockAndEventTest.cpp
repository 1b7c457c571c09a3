#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/ManualResetEvent.h"

namespace tavopix {
namespace {

TEST(Clock, TicksAdvanceAcrossASleep) {
    std::uint32_t before = GetTickCount();
    Sleep(30);
    std::uint32_t elapsed = GetTickCount() - before;
    EXPECT_GE(elapsed, 30u);
    EXPECT_LT(elapsed, 60'000u);
    Sleep(0);
}

TEST(ManualResetEvent, StaysSetUntilReset) {
    ManualResetEvent event;
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(event.Wait(0));
    EXPECT_FALSE(event.Wait(5));
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(INFINITE));
    EXPECT_TRUE(event.IsSet());
    event.Reset();
    EXPECT_FALSE(event.Wait(1));
    EXPECT_TRUE(ManualResetEvent(true).Wait(0));
}

TEST(ManualResetEvent, OneSetReleasesEveryWaiter) {
    ManualResetEvent event;
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i) {
        waiters.emplace_back([&] {
            if (event.Wait(INFINITE)) {
                ++released;
            }
        });
    }
    Sleep(20);
    EXPECT_EQ(released.load(), 0);
    event.Set();
    for (std::thread& waiter : waiters) {
        waiter.join();
    }
    EXPECT_EQ(released.load(), 4);
}

TEST(ManualResetEvent, TimedWaitSeesASetFromAnotherThread) {
    ManualResetEvent event;
    std::thread setter([&] {
        Sleep(20);
        event.Set();
    });
    EXPECT_TRUE(event.Wait(60'000));
    setter.join();
}

}  // namespace
}  // namespace tavopix

#include "platform/StoppableWorker.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <memory>

#include "platform/OwnedRecord.h"
#include "platform/TestWindows.h"
#include "support/WaitUntil.h"

namespace tavopix {
namespace {

constexpr UINT WM_OWNED = WM_USER + 70;
constexpr UINT WM_PLAIN = WM_USER + 71;
constexpr UINT WM_KEPT = WM_USER + 72;

struct Record {
    static inline std::atomic<int> live{0};
    Record() { ++live; }
    ~Record() { --live; }
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;
};

// New threads get a stack larger than any address space while it lives, so none can be created.
class NoNewThreads {
public:
    NoNewThreads() {
        pthread_getattr_default_np(&attr_);
        pthread_attr_getstacksize(&attr_, &saved_);
        pthread_attr_setstacksize(&attr_, std::size_t{1} << 60);
        pthread_setattr_default_np(&attr_);
    }
    ~NoNewThreads() {
        pthread_attr_setstacksize(&attr_, saved_);
        pthread_setattr_default_np(&attr_);
        pthread_attr_destroy(&attr_);
    }
    NoNewThreads(const NoNewThreads&) = delete;
    NoNewThreads& operator=(const NoNewThreads&) = delete;

private:
    pthread_attr_t attr_{};
    std::size_t saved_ = 0;
};

class StoppableWorkerTest : public test::TestWindows {
protected:
    void TearDown() override {
        TestWindows::TearDown();
        EXPECT_EQ(Record::live, 0);
    }
};

// A body waiting for a condition that never comes, or for an hour, ends as soon as the stop is
// asked; a condition that does come, announced by Wake, ends the wait too.
TEST_F(StoppableWorkerTest, StopEndsEveryWaitOfTheBody) {
    StoppableWorker worker;
    std::atomic<bool> ready{false};
    std::atomic<int> waitsPassed{-1};
    ASSERT_TRUE(worker.Start(nullptr, [&] {
        waitsPassed = worker.WaitUntil([&] { return ready.load(); }) ? 1 : 0;
        if (!worker.WaitUntil([] { return false; }) && !worker.WaitFor(3600 * 1000)) {
            waitsPassed = waitsPassed + 10;
        }
    }));
    EXPECT_TRUE(worker.Running());
    ready = true;
    worker.Wake();
    ASSERT_TRUE(test::WaitUntil([&] { return waitsPassed == 1; }));
    worker.Stop();
    EXPECT_FALSE(worker.Running());
    EXPECT_EQ(waitsPassed, 11);
}

TEST_F(StoppableWorkerTest, AThreadThatCannotBeCreatedIsReported) {
    StoppableWorker worker;
    bool ran = false;
    {
        const NoNewThreads limit;
        EXPECT_FALSE(worker.Start(nullptr, [&] { ran = true; }));
    }
    EXPECT_FALSE(worker.Running());
    worker.Stop();
    EXPECT_FALSE(ran);
    EXPECT_TRUE(worker.Start(nullptr, [&] { ran = true; }));
    worker.Stop();
    EXPECT_TRUE(ran);
}

// What a stopped run left in the queue never arrives and its records are freed; a record posted
// to a window that is gone is freed at once; a delivered one belongs to the handler.
TEST_F(StoppableWorkerTest, AStopDropsTheRunsUndeliveredMessagesAndFreesTheirRecords) {
    int delivered = 0;
    const HWND window = Create([&](HWND, UINT message, WPARAM wParam, LPARAM) {
        if (message == WM_OWNED) {
            EXPECT_NE(TakeOwned<Record>(wParam), nullptr);
        }
        if (message == WM_OWNED || message == WM_PLAIN || message == WM_KEPT) {
            ++delivered;
        }
        return std::optional<LRESULT>();
    });
    const HWND gone = Create();
    DestroyWindow(gone);

    StoppableWorker worker{WM_OWNED, WM_PLAIN};
    ASSERT_TRUE(worker.Start(window, [&] {
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(PostOwned(window, WM_OWNED, std::make_unique<Record>()));
        }
        EXPECT_FALSE(PostOwned(gone, WM_OWNED, std::make_unique<Record>()));
        PostMessage(window, WM_PLAIN, 0, 0);
        PostMessage(window, WM_KEPT, 0, 0);
    }));
    worker.Stop();
    EXPECT_EQ(Record::live, 0);
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessage(&msg);
    }
    EXPECT_EQ(delivered, 1);

    ASSERT_TRUE(PostOwned(window, WM_OWNED, std::make_unique<Record>()));
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessage(&msg);
    }
    EXPECT_EQ(delivered, 2);
}

}  // namespace
}  // namespace tavopix

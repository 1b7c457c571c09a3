#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <thread>
#include <vector>

#include "platform/MessageQueue.h"
#include "platform/TestWindows.h"
#include "platform/Window.h"

namespace tavopix {
namespace {

using std::chrono::milliseconds;
using test::TestWindows;
using Clock = std::chrono::steady_clock;

constexpr UINT_PTR kTimer = 1000200;
constexpr UINT_PTR kDeadline = 20001;
constexpr UINT WM_FLOOD = WM_USER + 7;

using TimerTest = TestWindows;

// Ends the running loop when the deadline timer of `hwnd` fires.
std::optional<LRESULT> QuitOnDeadline(HWND hwnd, UINT message, WPARAM wParam) {
    if (message == WM_TIMER && wParam == kDeadline) {
        KillTimer(hwnd, kDeadline);
        PostQuitMessage(0);
        return 0;
    }
    return std::nullopt;
}

TEST_F(TimerTest, ARunningTimerRepeatsUntilKilled) {
    int fired = 0;
    const HWND hwnd = Create([&](HWND self, UINT message, WPARAM wParam, LPARAM) {
        if (message == WM_TIMER && wParam == kTimer && ++fired == 3) {
            EXPECT_TRUE(KillTimer(self, kTimer));
            SetTimer(self, kDeadline, 60);
        }
        return QuitOnDeadline(self, message, wParam);
    });
    ASSERT_EQ(SetTimer(hwnd, kTimer, 10), kTimer);
    RunLoop();
    EXPECT_EQ(fired, 3);
    EXPECT_FALSE(KillTimer(hwnd, kTimer));
}

TEST_F(TimerTest, RearmingWithinThePeriodRestartsItAndItFiresOnce) {
    // The way scrolling arms a refresh: each new event restarts the wait, and the handler kills
    // the timer on expiry, so a burst of events gives one refresh after the last of them.
    const Clock::time_point start = Clock::now();
    Clock::time_point lastArmed;
    std::vector<Clock::time_point> fired;
    int rearms = 0;
    const HWND hwnd = Create([&](HWND self, UINT message, WPARAM wParam, LPARAM) {
        if (message == WM_FLOOD) {
            lastArmed = Clock::now();
            SetTimer(self, kTimer, 80);
            if (++rearms < 4) {
                std::this_thread::sleep_for(milliseconds(30));
                PostMessage(self, WM_FLOOD, 0, 0);
            }
        } else if (message == WM_TIMER && wParam == kTimer) {
            KillTimer(self, kTimer);
            fired.push_back(Clock::now());
        }
        return QuitOnDeadline(self, message, wParam);
    });
    PostMessage(hwnd, WM_FLOOD, 0, 0);
    SetTimer(hwnd, kDeadline, 400);
    RunLoop();
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_GE(fired[0] - lastArmed, milliseconds(80));
    EXPECT_GE(fired[0] - start, milliseconds(3 * 30 + 80));
}

TEST_F(TimerTest, AKilledTimerNeverFires) {
    int fired = 0;
    const HWND hwnd = Create([&](HWND self, UINT message, WPARAM wParam, LPARAM) {
        fired += message == WM_TIMER && wParam == kTimer;
        return QuitOnDeadline(self, message, wParam);
    });
    SetTimer(hwnd, kTimer, 20);
    std::this_thread::sleep_for(milliseconds(40));  // overdue, yet not generated
    EXPECT_TRUE(KillTimer(hwnd, kTimer));
    SetTimer(hwnd, kDeadline, 60);
    RunLoop();
    EXPECT_EQ(fired, 0);
}

TEST_F(TimerTest, ALateTimerFiresOnceNotOncePerMissedPeriod) {
    const HWND hwnd = Create();
    SetTimer(hwnd, kTimer, 10);
    std::this_thread::sleep_for(milliseconds(100));
    PostMessage(hwnd, WM_FLOOD, 0, 0);
    MSG msg;
    ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_TIMER) << "it fell due before the post";
    EXPECT_EQ(msg.wParam, kTimer);
    ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_FLOOD);
}

TEST_F(TimerTest, AStreamOfPostsDoesNotStarveATimer) {
    int floods = 0;
    bool timerFired = false;
    const HWND hwnd =
        Create([&](HWND self, UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
            if (message == WM_FLOOD) {
                ++floods;
                if (!timerFired) {
                    PostMessage(self, WM_FLOOD, 0, 0);
                }
            } else if (message == WM_TIMER && wParam == kTimer) {
                timerFired = true;
                KillTimer(self, kTimer);
                PostQuitMessage(0);
            }
            return std::nullopt;
        });
    SetTimer(hwnd, kTimer, 30);
    PostMessage(hwnd, WM_FLOOD, 0, 0);
    RunLoop();
    EXPECT_TRUE(timerFired);
    EXPECT_GT(floods, 1);
}

TEST_F(TimerTest, TimersBelongToTheirWindowAndDieWithIt) {
    const HWND a = Create();
    const HWND b = Create();
    EXPECT_EQ(SetTimer(a, kTimer, 10), kTimer);
    EXPECT_EQ(SetTimer(b, kTimer, 10), kTimer);
    EXPECT_EQ(SetTimer(a, 0, 10), 0u);
    DestroyWindow(a);
    EXPECT_FALSE(KillTimer(a, kTimer));
    EXPECT_EQ(SetTimer(a, kTimer, 10), 0u);

    MSG msg;
    ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.hwnd, b);
    EXPECT_EQ(msg.message, WM_TIMER);
    EXPECT_FALSE(PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE)) << "timers are never peeked";
}

double ThreadCpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

TEST_F(TimerTest, TheLoopSleepsUntilTheNextTimerOrPost) {
    const HWND hwnd = Create();
    const Clock::time_point start = Clock::now();
    SetTimer(hwnd, kTimer, 300);
    std::thread poster([hwnd] {
        std::this_thread::sleep_for(milliseconds(150));
        PostMessage(hwnd, WM_FLOOD, 0, 0);
    });
    const double cpuBefore = ThreadCpuMilliseconds();
    MSG msg;
    ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_FLOOD) << "a post from another thread wakes the loop at once";
    ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_TIMER);
    const auto waited = Clock::now() - start;
    poster.join();
    EXPECT_GE(waited, milliseconds(300));
    // A polling loop would burn most of the 300 ms; a sleeping one next to nothing.
    EXPECT_LT(ThreadCpuMilliseconds() - cpuBefore, 60.0);
}

}  // namespace
}  // namespace tavopix

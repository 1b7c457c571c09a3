// Waiting in tests on what a wait stands for, never on the clock alone: a condition checked
// until it holds, with a generous limit, so that a hang fails the test instead of holding the
// run for ever and a slow machine only makes the wait longer.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace tavopix::test {

// Long enough for a loaded sanitizer build; a condition that needs longer has hung.
inline constexpr std::chrono::milliseconds kWaitLimit{60'000};

// Checks `done` until it holds, every `every`; false when it still does not after `limit`.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = kWaitLimit,
                      std::chrono::milliseconds every = std::chrono::milliseconds(1)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(every);
    }
    return true;
}

}  // namespace tavopix::test

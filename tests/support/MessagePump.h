// The UI thread's queue in tests, pumped the way a message loop would while worker results
// arrive through it: everything queued now, or one message at a time until a condition holds
// (with the same generous limit as every wait of the tests).
#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include "platform/MessageQueue.h"
#include "support/WaitUntil.h"

namespace tavopix::test {

// Dispatches every message queued for this thread now.
inline void Pump() {
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessage(&msg);
    }
}

// Dispatches this thread's messages one at a time until `done` holds, so a test can stop at the
// message that makes it true; false when it still does not after `limit`.
inline bool PumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = kWaitLimit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    MSG msg;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        if (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessage(&msg);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return true;
}

}  // namespace tavopix::test

// One worker thread that can be asked to stop: the common life of every worker of the program.
//
// The owner (on the UI thread) starts a body on a thread of its own; Start reports a thread
// that cannot be created instead of ending the process. Stop asks the body to end, wakes it
// from any Wait, joins it and then drops from the window's queue the messages of the numbers
// given at construction that the run left undelivered (freeing their records), so once Stop
// returns nothing of the run is left to arrive. The destructor stops.
//
// The body polls StopRequested between steps and waits only through WaitUntil / WaitFor, which
// return as soon as a stop is asked. Whoever changes what a WaitUntil waits for calls Wake.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/WinTypes.h"
#include "platform/WindowHandle.h"

namespace tavopix {

class StoppableWorker {
public:
    // `dropOnStop`: the message numbers the body posts to its window that a stop discards.
    explicit StoppableWorker(std::initializer_list<UINT> dropOnStop = {});
    ~StoppableWorker();
    StoppableWorker(const StoppableWorker&) = delete;
    StoppableWorker& operator=(const StoppableWorker&) = delete;

    // Stops a running body, then runs `body` on a new thread; `window` (may be null) is where
    // it posts. False when the thread cannot be created: `body` never runs. UI thread.
    [[nodiscard]] bool Start(HWND window, std::function<void()> body);
    // Asks the body to end, waits for it and drops its undelivered messages. UI thread.
    void Stop();
    // From Start until the body returns or calls Finished. Any thread.
    bool Running() const { return running_.load(); }

    // ---- For the body ----
    bool StopRequested() const { return stop_.load(); }
    // Waits until `ready` holds, testing it again at every Wake; false when a stop was asked.
    bool WaitUntil(const std::function<bool()>& ready);
    // Waits `ms` milliseconds; false when a stop cut it short.
    bool WaitFor(std::uint32_t ms);
    // What a WaitUntil waits for may have changed. Any thread.
    void Wake();
    // Ends Running before the body's last messages go, so their receiver sees the run ended.
    void Finished() { running_ = false; }

private:
    const std::vector<UINT> dropOnStop_;
    HWND window_ = nullptr;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
};

}  // namespace tavopix

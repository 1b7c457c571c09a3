#include "platform/StoppableWorker.h"

#include <chrono>
#include <system_error>
#include <utility>

#include "platform/MessageQueue.h"

namespace tavopix {

StoppableWorker::StoppableWorker(std::initializer_list<UINT> dropOnStop)
    : dropOnStop_(dropOnStop) {}

StoppableWorker::~StoppableWorker() {
    Stop();
}

bool StoppableWorker::Start(HWND window, std::function<void()> body) {
    Stop();
    window_ = window;
    running_ = true;
    try {
        thread_ = std::thread([this, body = std::move(body)] {
            body();
            running_ = false;
        });
    } catch (const std::system_error&) {
        running_ = false;
        return false;
    }
    return true;
}

void StoppableWorker::Stop() {
    if (thread_.joinable()) {
        {
            // Under the lock, so a body between testing its condition and waiting cannot miss it.
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
        stop_ = false;
    }
    if (window_ != nullptr) {
        for (const UINT message : dropOnStop_) {
            DiscardQueuedMessages(window_, message, message);
        }
    }
}

bool StoppableWorker::WaitUntil(const std::function<bool()>& ready) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stop_ || ready(); });
    return !stop_;
}

bool StoppableWorker::WaitFor(std::uint32_t ms) {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stop_.load(); });
}

void StoppableWorker::Wake() {
    {
        // The change was made before; passing through the lock orders it before a waiter's test.
        const std::lock_guard lock(mutex_);
    }
    changed_.notify_all();
}

}  // namespace tavopix

// What the SDK benchmarks wait on: one completion of an asynchronous call, or the end of an
// upload, handed from the SDK's thread to the benchmark's.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "sdk/OvkSdk.h"

struct Waiter {
    std::mutex mutex;
    std::condition_variable done;
    bool ended = false;
    std::uint32_t result = 0;

    static void OnCompletion(void* self, std::uint32_t result) {
        static_cast<Waiter*>(self)->End(result);
    }
    static void OnUpload(void* self, std::uint32_t event, std::uint64_t /*value*/) {
        if (event == tavopix::OVK_EVENT_SUCCEEDED || event == tavopix::OVK_EVENT_FAILED)
            static_cast<Waiter*>(self)->End(event);
    }
    void End(std::uint32_t value) {
        std::lock_guard lock(mutex);
        result = value;
        ended = true;
        done.notify_all();
    }
    // The next result; waits for it when it has not come yet.
    std::uint32_t Wait() {
        std::unique_lock lock(mutex);
        done.wait(lock, [&] { return ended; });
        ended = false;
        return result;
    }
};

// A manual-reset event: once set it stays set, releasing every waiter, until it is reset. The
// thumbnail worker pauses and resumes with two of them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace tavopix {

inline constexpr std::uint32_t INFINITE = 0xFFFFFFFF;

class ManualResetEvent {
public:
    explicit ManualResetEvent(bool initiallySet = false) : set_(initiallySet) {}
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;

    // Waits until the event is set or `timeoutMs` has passed (INFINITE: no time-out). True
    // when the event was set.
    [[nodiscard]] bool Wait(std::uint32_t timeoutMs = INFINITE);

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool set_;
};

}  // namespace tavopix

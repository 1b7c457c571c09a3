#include "platform/Clock.h"

#include <chrono>
#include <ctime>
#include <thread>

#include "platform/FileTime.h"

namespace tavopix {

std::uint32_t GetTickCount() {
    auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count();
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
}

std::uint64_t GetSystemTimeAsFileTime() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return FileTimeFromUnix(now.tv_sec, now.tv_nsec);
}

void Sleep(std::uint32_t milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace tavopix

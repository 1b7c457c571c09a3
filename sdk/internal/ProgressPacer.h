// Paces the progress events of an upload or download: a byte count that never goes back (libcurl
// restarts its count when it resends a body on a fresh connection), reported when it has grown
// and at most once per interval, the first time one interval after the transfer began.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace tavopix::sdk {

class ProgressPacer {
public:
    explicit ProgressPacer(std::uint32_t intervalMs) : interval_(intervalMs) {}

    // The transfer begins now.
    void Begin() { lastReport_ = std::chrono::steady_clock::now(); }

    // The count to report now, if a report is due.
    [[nodiscard]] std::optional<std::uint64_t> Offer(std::uint64_t bytes);

    // The highest count seen, `bytes` included.
    [[nodiscard]] std::uint64_t Highest(std::uint64_t bytes);

private:
    std::chrono::milliseconds interval_;
    std::uint64_t highest_ = 0;
    std::uint64_t reported_ = 0;
    std::chrono::steady_clock::time_point lastReport_ = std::chrono::steady_clock::now();
};

}  // namespace tavopix::sdk

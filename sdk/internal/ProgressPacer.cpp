#include "sdk/internal/ProgressPacer.h"

#include <algorithm>

namespace tavopix::sdk {

std::optional<std::uint64_t> ProgressPacer::Offer(std::uint64_t bytes) {
    highest_ = std::max(highest_, bytes);
    if (highest_ <= reported_) {
        return std::nullopt;
    }
    auto now = std::chrono::steady_clock::now();
    if (now - lastReport_ < interval_) {
        return std::nullopt;
    }
    lastReport_ = now;
    reported_ = highest_;
    return highest_;
}

std::uint64_t ProgressPacer::Highest(std::uint64_t bytes) {
    highest_ = std::max(highest_, bytes);
    return highest_;
}

}  // namespace tavopix::sdk

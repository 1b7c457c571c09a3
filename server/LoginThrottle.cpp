#include "LoginThrottle.h"

namespace albumd {

namespace {
// Beyond this many tracked keys, entries with nothing left to remember are dropped, so a flood
// of distinct names or addresses cannot grow the table without bound.
constexpr std::size_t kPruneThreshold = 10000;
}  // namespace

std::int64_t LoginThrottle::LockedFor(const std::string& key, std::int64_t now) {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(key);
    if (it == entries_.end() || it->second.lockedUntil <= now)
        return 0;
    return it->second.lockedUntil - now;
}

void LoginThrottle::RecordFailure(const std::string& key, std::int64_t now) {
    std::lock_guard lock(mutex_);
    if (entries_.size() >= kPruneThreshold)
        ForgetStale(now);
    Entry& entry = entries_[key];
    entry.failures.push_back(now);
    while (!entry.failures.empty() && entry.failures.front() <= now - rule_.windowSeconds) {
        entry.failures.pop_front();
    }
    if (static_cast<int>(entry.failures.size()) >= rule_.maxFailures) {
        entry.lockedUntil = now + rule_.lockSeconds;
        entry.failures.clear();
    }
}

void LoginThrottle::Clear(const std::string& key) {
    std::lock_guard lock(mutex_);
    entries_.erase(key);
}

void LoginThrottle::ForgetStale(std::int64_t now) {
    for (auto it = entries_.begin(); it != entries_.end();) {
        const Entry& entry = it->second;
        bool idle = entry.lockedUntil <= now &&
                    (entry.failures.empty() || entry.failures.back() <= now - rule_.windowSeconds);
        it = idle ? entries_.erase(it) : std::next(it);
    }
}

}  // namespace albumd

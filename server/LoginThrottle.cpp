#include "LoginThrottle.h"

namespace albumd {

namespace {
// Beyond this many tracked keys, entries with nothing left to remember are dropped, so a flood
// of distinct names or addresses cannot grow the table without bound.
constexpr std::size_t kPruneThreshold = 10000;
// The wait asked of an attempt refused only because others for its key are still running.
constexpr std::int64_t kBusyRetrySeconds = 1;
}  // namespace

std::int64_t LoginThrottle::Begin(const std::string& key, std::int64_t now) {
    std::lock_guard lock(mutex_);
    if (entries_.size() >= kPruneThreshold)
        ForgetStale(now);
    Entry& entry = entries_[key];
    if (entry.lockedUntil > now)
        return entry.lockedUntil - now;
    while (!entry.failures.empty() && entry.failures.front() <= now - rule_.windowSeconds) {
        entry.failures.pop_front();
    }
    if (static_cast<int>(entry.failures.size()) + entry.running >= rule_.maxFailures)
        return kBusyRetrySeconds;
    ++entry.running;
    return 0;
}

void LoginThrottle::End(const std::string& key, std::int64_t now, bool failed) {
    std::lock_guard lock(mutex_);
    Entry& entry = entries_[key];
    if (entry.running > 0)
        --entry.running;
    if (!failed)
        return;
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
    auto it = entries_.find(key);
    if (it == entries_.end())
        return;
    it->second.failures.clear();
    it->second.lockedUntil = 0;
}

void LoginThrottle::ForgetStale(std::int64_t now) {
    for (auto it = entries_.begin(); it != entries_.end();) {
        const Entry& entry = it->second;
        bool idle = entry.running == 0 && entry.lockedUntil <= now &&
                    (entry.failures.empty() || entry.failures.back() <= now - rule_.windowSeconds);
        it = idle ? entries_.erase(it) : std::next(it);
    }
}

}  // namespace albumd

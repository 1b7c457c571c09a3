// Counts failures per key (an account, an address) in a sliding window and locks a key out for a
// while once it has failed too often. Kept in memory: a restart forgives, which is acceptable for
// a lock-out that only slows down password guessing. Thread-safe.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

namespace albumd {

struct ThrottleRule {
    int maxFailures = 5;  // this many failures within the window lock the key
    std::int64_t windowSeconds = 900;
    std::int64_t lockSeconds = 900;
};

class LoginThrottle {
public:
    explicit LoginThrottle(ThrottleRule rule) : rule_(rule) {}

    // Seconds until `key` may try again; 0 when it is not locked.
    [[nodiscard]] std::int64_t LockedFor(const std::string& key, std::int64_t now);
    void RecordFailure(const std::string& key, std::int64_t now);
    void Clear(const std::string& key);

private:
    struct Entry {
        std::deque<std::int64_t> failures;
        std::int64_t lockedUntil = 0;
    };
    void ForgetStale(std::int64_t now);

    ThrottleRule rule_;
    std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
};

}  // namespace albumd

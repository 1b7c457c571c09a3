// Counts failures per key (an account, an address) in a sliding window and locks a key out for a
// while once it has failed too often. Kept in memory: a restart forgives, which is acceptable for
// a lock-out that only slows down password guessing. Thread-safe.
//
// An attempt is let through by Begin and counted by End. Between the two (a password hash takes a
// good fraction of a second) the attempt counts as a failure already, so any number of attempts
// made at once get no more checks than the limit allows.
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

    // Lets one attempt for `key` begin and returns 0; or, when the key is locked or its failures
    // and the attempts still running reach the limit, the seconds to wait before trying again.
    [[nodiscard]] std::int64_t Begin(const std::string& key, std::int64_t now);
    // Ends an attempt Begin let through, counting it as a failure when `failed`.
    void End(const std::string& key, std::int64_t now, bool failed);
    // Forgets the key's failures and lock (attempts still running stay counted).
    void Clear(const std::string& key);

private:
    struct Entry {
        std::deque<std::int64_t> failures;
        std::int64_t lockedUntil = 0;
        int running = 0;
    };
    void ForgetStale(std::int64_t now);

    ThrottleRule rule_;
    std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
};

}  // namespace albumd

// The question albums a browser session has answered, and the limit on wrong answers. A session
// is a random token in a cookie that lives as long as the browser session; the albums it opened
// are kept in memory for a day at most, so a restart asks again. Wrong answers are counted per
// album and per client address: guessing one album's answer locks only that album for that
// client. Thread-safe.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "LoginThrottle.h"

namespace albumd {

class QuestionPasses {
public:
    static constexpr std::int64_t kPassSeconds = 24 * 3600;

    QuestionPasses() : wrongAnswers_(ThrottleRule{5, 900, 900}) {}

    // The albums the session `token` has opened.
    [[nodiscard]] std::set<std::int64_t> Opened(const std::string& token, std::int64_t now);
    void Open(const std::string& token, std::int64_t albumId, std::int64_t now);
    // Closes the album for every session (its question or answer changed).
    void CloseForAll(std::int64_t albumId);

    // 0 when `address` may try an answer for the album now, else the seconds to wait. Every
    // attempt begun must end.
    [[nodiscard]] std::int64_t BeginAttempt(std::int64_t albumId, const std::string& address,
                                            std::int64_t now);
    void EndAttempt(std::int64_t albumId, const std::string& address, std::int64_t now, bool wrong);

private:
    struct Session {
        std::set<std::int64_t> albums;
        std::int64_t expires = 0;
    };
    void ForgetExpired(std::int64_t now);

    std::mutex mutex_;
    std::map<std::string, Session> sessions_;
    LoginThrottle wrongAnswers_;
};

}  // namespace albumd

#include "QuestionPasses.h"

namespace albumd {

namespace {
// Beyond this many sessions, expired ones are dropped before a new one is added.
constexpr std::size_t kPruneThreshold = 10000;

std::string AttemptKey(std::int64_t albumId, const std::string& address) {
    return std::to_string(albumId) + " " + address;
}
}  // namespace

std::set<std::int64_t> QuestionPasses::Opened(const std::string& token, std::int64_t now) {
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(token);
    if (it == sessions_.end() || it->second.expires <= now)
        return {};
    return it->second.albums;
}

void QuestionPasses::Open(const std::string& token, std::int64_t albumId, std::int64_t now) {
    std::lock_guard lock(mutex_);
    if (sessions_.size() >= kPruneThreshold)
        ForgetExpired(now);
    Session& session = sessions_[token];
    if (session.expires <= now)
        session.albums.clear();
    session.albums.insert(albumId);
    session.expires = now + kPassSeconds;
}

void QuestionPasses::CloseForAll(std::int64_t albumId) {
    std::lock_guard lock(mutex_);
    for (auto& [token, session] : sessions_)
        session.albums.erase(albumId);
}

std::int64_t QuestionPasses::BeginAttempt(std::int64_t albumId, const std::string& address,
                                          std::int64_t now) {
    return wrongAnswers_.Begin(AttemptKey(albumId, address), now);
}

void QuestionPasses::EndAttempt(std::int64_t albumId, const std::string& address, std::int64_t now,
                                bool wrong) {
    wrongAnswers_.End(AttemptKey(albumId, address), now, wrong);
}

void QuestionPasses::ForgetExpired(std::int64_t now) {
    for (auto it = sessions_.begin(); it != sessions_.end();)
        it = it->second.expires <= now ? sessions_.erase(it) : std::next(it);
}

}  // namespace albumd

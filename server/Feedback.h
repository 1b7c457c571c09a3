// Feedback texts sent by users, kept for the operator to read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Accounts.h"
#include "Database.h"

namespace albumd {

struct FeedbackRecord {
    std::int64_t id = 0;
    std::string userName;  // empty when the user was deleted since
    std::string contact;
    std::string content;
    std::string address;
    std::int64_t created = 0;
};

class FeedbackStore {
public:
    explicit FeedbackStore(Database& db) : db_(db) {}

    // Invalid when the user sent `maxPerDay` texts within the last 24 hours already.
    [[nodiscard]] StoreResult Add(std::int64_t userId, const std::string& contact,
                                  const std::string& content, const std::string& address,
                                  std::int64_t now, std::int64_t maxPerDay, std::int64_t& id);
    [[nodiscard]] StoreResult List(std::vector<FeedbackRecord>& records);

private:
    Database& db_;
};

}  // namespace albumd

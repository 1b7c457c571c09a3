// Each owner's friends list: the users who may see the owner's albums kept for friends. The list
// is the owner's alone (being on someone's list asks nothing of the friend and shows them
// nothing but those albums), kept on albumd's pages by user name.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "Accounts.h"
#include "Database.h"

namespace albumd {

class FriendStore {
public:
    explicit FriendStore(Database& db) : db_(db) {}

    // NotFound for an unknown name, Invalid for the owner's own name, Exists when listed.
    [[nodiscard]] StoreResult Add(std::int64_t ownerId, std::string_view friendName,
                                  std::int64_t now);
    [[nodiscard]] StoreResult Remove(std::int64_t ownerId, std::string_view friendName);
    // The owner's friends by name.
    [[nodiscard]] StoreResult List(std::int64_t ownerId, std::vector<UserRecord>& friends);
    [[nodiscard]] bool IsFriend(std::int64_t ownerId, std::int64_t userId);

private:
    Database& db_;
};

}  // namespace albumd

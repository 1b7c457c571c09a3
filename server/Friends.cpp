#include "Friends.h"

namespace albumd {

StoreResult FriendStore::Add(std::int64_t ownerId, std::string_view friendName, std::int64_t now) {
    auto lock = db_.Lock();
    Statement find(db_, "SELECT id FROM users WHERE name = ?1");
    find.Bind(1, friendName);
    std::int64_t friendId = 0;
    if (const StoreResult found = find.FindOne([&] { friendId = find.Int(0); });
        found != StoreResult::Ok) {
        return found;
    }
    if (friendId == ownerId)
        return StoreResult::Invalid;
    Statement insert(db_,
                     "INSERT OR IGNORE INTO friends(owner_id, friend_id, created) "
                     "VALUES(?1, ?2, ?3)");
    insert.Bind(1, ownerId).Bind(2, friendId).Bind(3, now);
    if (!insert.Run())
        return StoreResult::Fault;
    return db_.Changes() == 1 ? StoreResult::Ok : StoreResult::Exists;
}

StoreResult FriendStore::Remove(std::int64_t ownerId, std::string_view friendName) {
    auto lock = db_.Lock();
    Statement remove(db_,
                     "DELETE FROM friends WHERE owner_id = ?1 AND friend_id = "
                     "(SELECT id FROM users WHERE name = ?2)");
    remove.Bind(1, ownerId).Bind(2, friendName);
    if (!remove.Run())
        return StoreResult::Fault;
    return db_.Changes() == 1 ? StoreResult::Ok : StoreResult::NotFound;
}

StoreResult FriendStore::List(std::int64_t ownerId, std::vector<UserRecord>& friends) {
    auto lock = db_.Lock();
    Statement select(db_,
                     "SELECT u.id, u.name, u.created FROM friends f JOIN users u "
                     "ON u.id = f.friend_id WHERE f.owner_id = ?1 ORDER BY u.name");
    select.Bind(1, ownerId);
    friends.clear();
    const bool read = select.ForEachRow([&] {
        friends.push_back({select.Int(0), select.Text(1), select.Int(2)});
    });
    return read ? StoreResult::Ok : StoreResult::Fault;
}

bool FriendStore::IsFriend(std::int64_t ownerId, std::int64_t userId) {
    auto lock = db_.Lock();
    Statement select(db_, "SELECT 1 FROM friends WHERE owner_id = ?1 AND friend_id = ?2");
    select.Bind(1, ownerId).Bind(2, userId);
    return select.FindOne([] {}) == StoreResult::Ok;
}

}  // namespace albumd

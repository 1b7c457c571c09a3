#include "Feedback.h"

namespace albumd {

StoreResult FeedbackStore::Add(std::int64_t userId, const std::string& contact,
                               const std::string& content, const std::string& address,
                               std::int64_t now, std::int64_t maxPerDay, std::int64_t& id) {
    auto lock = db_.Lock();
    Statement count(db_, "SELECT COUNT(*) FROM feedback WHERE user_id = ?1 AND created > ?2");
    count.Bind(1, userId).Bind(2, now - 24 * 3600);
    std::int64_t sent = 0;
    if (count.FindOne([&] { sent = count.Int(0); }) != StoreResult::Ok)
        return StoreResult::Fault;
    if (sent >= maxPerDay)
        return StoreResult::Invalid;
    Statement insert(db_,
                     "INSERT INTO feedback(user_id, contact, content, address, created) "
                     "VALUES(?1, ?2, ?3, ?4, ?5)");
    insert.Bind(1, userId).Bind(2, contact).Bind(3, content).Bind(4, address).Bind(5, now);
    if (!insert.Run())
        return StoreResult::Fault;
    id = db_.LastInsertId();
    return StoreResult::Ok;
}

StoreResult FeedbackStore::List(std::vector<FeedbackRecord>& records) {
    auto lock = db_.Lock();
    Statement select(db_,
                     "SELECT f.id, COALESCE(u.name, ''), f.contact, f.content, f.address, "
                     "f.created FROM feedback f LEFT JOIN users u ON u.id = f.user_id "
                     "ORDER BY f.id");
    records.clear();
    const bool read = select.ForEachRow([&] {
        records.push_back({select.Int(0), select.Text(1), select.Text(2), select.Text(3),
                           select.Text(4), select.Int(5)});
    });
    return read ? StoreResult::Ok : StoreResult::Fault;
}

}  // namespace albumd

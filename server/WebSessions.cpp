#include "WebSessions.h"

namespace albumd {

std::optional<IssuedTicket> WebSessions::Start(std::int64_t userId, std::int64_t now) {
    IssuedTicket session{NewTicket(), now + kLifetimeSeconds};
    const TicketDigest digest = DigestOf(session.ticket);
    auto lock = db_.Lock();
    Statement insert(db_,
                     "INSERT INTO web_sessions(digest, user_id, created, expires) "
                     "VALUES(?1, ?2, ?3, ?4)");
    insert.BindBlob(1, digest.data(), digest.size())
        .Bind(2, userId)
        .Bind(3, now)
        .Bind(4, session.expires);
    if (!insert.Run())
        return std::nullopt;
    return session;
}

StoreResult WebSessions::Find(std::string_view token, std::int64_t now, UserRecord& user) {
    const TicketDigest digest = DigestOf(token);
    auto lock = db_.Lock();
    Statement select(db_,
                     "SELECT u.id, u.name, u.created FROM web_sessions s "
                     "JOIN users u ON u.id = s.user_id WHERE s.digest = ?1 AND s.expires > ?2");
    select.BindBlob(1, digest.data(), digest.size()).Bind(2, now);
    return select.FindOne([&] { user = {select.Int(0), select.Text(1), select.Int(2)}; });
}

void WebSessions::End(std::string_view token) {
    const TicketDigest digest = DigestOf(token);
    auto lock = db_.Lock();
    Statement remove(db_, "DELETE FROM web_sessions WHERE digest = ?1");
    remove.BindBlob(1, digest.data(), digest.size());
    (void)remove.Run();
}

void WebSessions::PurgeExpired(std::int64_t now) {
    auto lock = db_.Lock();
    Statement purge(db_, "DELETE FROM web_sessions WHERE expires <= ?1");
    purge.Bind(1, now);
    (void)purge.Run();
}

}  // namespace albumd

#include "Accounts.h"

#include "HttpMessage.h"

namespace albumd {

bool Accounts::IsValidUserName(std::string_view name) {
    if (name.size() < 3 || name.size() > 32)
        return false;
    for (char c : name) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '.' || c == '_' || c == '-';
        if (!ok)
            return false;
    }
    return true;
}

bool Accounts::IsValidPassword(std::string_view password) {
    return password.size() >= 8 && password.size() <= 128 && IsValidUtf8(password);
}

StoreResult Accounts::CreateUser(std::string_view name, std::string_view password, std::int64_t now,
                                 UserRecord* created) {
    if (!IsValidUserName(name) || !IsValidPassword(password))
        return StoreResult::Invalid;
    auto hash = HashPassword(password, cost_);
    if (!hash)
        return StoreResult::Fault;
    auto lock = db_.Lock();
    Statement exists(db_, "SELECT 1 FROM users WHERE name = ?1");
    exists.Bind(1, name);
    const StoreResult existing = exists.FindOne([] {});
    if (existing != StoreResult::NotFound)
        return existing == StoreResult::Ok ? StoreResult::Exists : existing;
    Statement insert(db_, "INSERT INTO users(name, password_hash, created) VALUES(?1, ?2, ?3)");
    insert.Bind(1, name).Bind(2, *hash).Bind(3, now);
    if (!insert.Run())
        return StoreResult::Fault;
    if (created) {
        created->id = db_.LastInsertId();
        created->name = std::string(name);
        created->created = now;
    }
    return StoreResult::Ok;
}

StoreResult Accounts::SetPassword(std::string_view name, std::string_view password) {
    if (!IsValidPassword(password))
        return StoreResult::Invalid;
    auto hash = HashPassword(password, cost_);
    if (!hash)
        return StoreResult::Fault;
    auto lock = db_.Lock();
    if (!db_.Begin())
        return StoreResult::Fault;
    Statement update(db_, "UPDATE users SET password_hash = ?1 WHERE name = ?2");
    update.Bind(1, *hash).Bind(2, name);
    if (!update.Run()) {
        db_.Rollback();
        return StoreResult::Fault;
    }
    if (db_.Changes() == 0) {
        db_.Rollback();
        return StoreResult::NotFound;
    }
    Statement revoke(db_,
                     "UPDATE tickets SET revoked = 1 WHERE user_id = "
                     "(SELECT id FROM users WHERE name = ?1)");
    revoke.Bind(1, name);
    Statement endSessions(db_,
                          "DELETE FROM web_sessions WHERE user_id = "
                          "(SELECT id FROM users WHERE name = ?1)");
    endSessions.Bind(1, name);
    if (!revoke.Run() || !endSessions.Run()) {
        db_.Rollback();
        return StoreResult::Fault;
    }
    return db_.Commit() ? StoreResult::Ok : StoreResult::Fault;
}

StoreResult Accounts::DeleteUser(std::string_view name, UserRecord* deleted) {
    UserRecord user;
    StoreResult found = FindUser(name, user);
    if (found != StoreResult::Ok)
        return found;
    auto lock = db_.Lock();
    Statement remove(db_, "DELETE FROM users WHERE id = ?1");
    remove.Bind(1, user.id);
    if (!remove.Run())
        return StoreResult::Fault;
    if (deleted)
        *deleted = user;
    return StoreResult::Ok;
}

StoreResult Accounts::FindUser(std::string_view name, UserRecord& user) {
    auto lock = db_.Lock();
    Statement select(db_, "SELECT id, name, created FROM users WHERE name = ?1");
    select.Bind(1, name);
    return select.FindOne([&] { user = {select.Int(0), select.Text(1), select.Int(2)}; });
}

StoreResult Accounts::FindUserById(std::int64_t id, UserRecord& user) {
    auto lock = db_.Lock();
    Statement select(db_, "SELECT id, name, created FROM users WHERE id = ?1");
    select.Bind(1, id);
    return select.FindOne([&] { user = {select.Int(0), select.Text(1), select.Int(2)}; });
}

StoreResult Accounts::ListUsers(std::vector<UserRecord>& users) {
    auto lock = db_.Lock();
    Statement select(db_, "SELECT id, name, created FROM users ORDER BY id");
    users.clear();
    const bool read = select.ForEachRow([&] {
        users.push_back({select.Int(0), select.Text(1), select.Int(2)});
    });
    return read ? StoreResult::Ok : StoreResult::Fault;
}

Accounts::PasswordCheck Accounts::CheckPassword(std::string_view name, std::string_view password,
                                                UserRecord& user) {
    std::string hash;
    {
        auto lock = db_.Lock();
        Statement select(db_, "SELECT id, name, created, password_hash FROM users WHERE name = ?1");
        select.Bind(1, name);
        const StoreResult found = select.FindOne([&] {
            user = {select.Int(0), select.Text(1), select.Int(2)};
            hash = select.Text(3);
        });
        if (found != StoreResult::Ok)
            return found == StoreResult::NotFound ? PasswordCheck::UnknownUser
                                                  : PasswordCheck::Fault;
    }
    // Hashing takes tens of milliseconds: done outside the lock so other requests go on.
    return VerifyPassword(hash, password) ? PasswordCheck::Ok : PasswordCheck::WrongPassword;
}

std::optional<IssuedTicket> Accounts::IssueTicket(std::int64_t userId, std::string_view machineKey,
                                                  std::int64_t now) {
    IssuedTicket issued{NewTicket(), now + ticketLifetime_};
    TicketDigest digest = DigestOf(issued.ticket);
    auto lock = db_.Lock();
    Statement insert(db_,
                     "INSERT INTO tickets(digest, user_id, machine_key, created, expires) "
                     "VALUES(?1, ?2, ?3, ?4, ?5)");
    insert.BindBlob(1, digest.data(), digest.size())
        .Bind(2, userId)
        .Bind(3, machineKey)
        .Bind(4, now)
        .Bind(5, issued.expires);
    if (!insert.Run())
        return std::nullopt;
    return issued;
}

StoreResult Accounts::FindTicket(std::string_view ticket, std::int64_t now, UserRecord& user,
                                 std::int64_t& expires) {
    TicketDigest digest = DigestOf(ticket);
    auto lock = db_.Lock();
    Statement select(db_,
                     "SELECT u.id, u.name, u.created, t.expires FROM tickets t "
                     "JOIN users u ON u.id = t.user_id "
                     "WHERE t.digest = ?1 AND t.revoked = 0 AND t.expires > ?2");
    select.BindBlob(1, digest.data(), digest.size()).Bind(2, now);
    return select.FindOne([&] {
        user = {select.Int(0), select.Text(1), select.Int(2)};
        expires = select.Int(3);
    });
}

bool Accounts::RevokeTicket(std::string_view ticket) {
    TicketDigest digest = DigestOf(ticket);
    auto lock = db_.Lock();
    Statement revoke(db_, "UPDATE tickets SET revoked = 1 WHERE digest = ?1");
    revoke.BindBlob(1, digest.data(), digest.size());
    return revoke.Run();
}

void Accounts::PurgeExpiredTickets(std::int64_t now) {
    auto lock = db_.Lock();
    Statement purge(db_, "DELETE FROM tickets WHERE expires <= ?1");
    purge.Bind(1, now);
    (void)purge.Run();
}

}  // namespace albumd

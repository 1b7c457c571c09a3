// User accounts and their tickets. A password is kept only as an argon2id hash; a ticket is
// handed out once and stored only as its digest, with an expiry and a revoked flag. Every call
// takes the database lock for its own statements and never holds it while hashing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Database.h"
#include "Secrets.h"

namespace albumd {

struct UserRecord {
    std::int64_t id = 0;
    std::string name;
    std::int64_t created = 0;
};

struct IssuedTicket {
    std::string ticket;
    std::int64_t expires = 0;
};

class Accounts {
public:
    Accounts(Database& db, HashCost cost, std::int64_t ticketLifetimeSeconds)
        : db_(db), cost_(cost), ticketLifetime_(ticketLifetimeSeconds) {}

    // 3–32 characters of A–Z a–z 0–9 . _ - : no white space, so a name never breaks the
    // client's "name TAB ticket" line, and nothing that needs escaping in an address.
    [[nodiscard]] static bool IsValidUserName(std::string_view name);
    // 8–128 bytes of valid UTF-8.
    [[nodiscard]] static bool IsValidPassword(std::string_view password);

    // Invalid for a bad name or password, Exists when the name is taken.
    [[nodiscard]] StoreResult CreateUser(std::string_view name, std::string_view password,
                                         std::int64_t now, UserRecord* created = nullptr);
    // Sets a new password and ends every ticket and web session of the user.
    [[nodiscard]] StoreResult SetPassword(std::string_view name, std::string_view password);
    // Removes the user with albums, pictures and tickets (rows only; files are the caller's).
    [[nodiscard]] StoreResult DeleteUser(std::string_view name, UserRecord* deleted = nullptr);
    [[nodiscard]] StoreResult FindUser(std::string_view name, UserRecord& user);
    [[nodiscard]] StoreResult FindUserById(std::int64_t id, UserRecord& user);
    [[nodiscard]] StoreResult ListUsers(std::vector<UserRecord>& users);

    enum class PasswordCheck { Ok, UnknownUser, WrongPassword, Fault };
    [[nodiscard]] PasswordCheck CheckPassword(std::string_view name, std::string_view password,
                                              UserRecord& user);

    [[nodiscard]] std::optional<IssuedTicket> IssueTicket(std::int64_t userId,
                                                          std::string_view machineKey,
                                                          std::int64_t now);
    // NotFound for an unknown, expired or revoked ticket.
    [[nodiscard]] StoreResult FindTicket(std::string_view ticket, std::int64_t now,
                                         UserRecord& user, std::int64_t& expires);
    [[nodiscard]] bool RevokeTicket(std::string_view ticket);
    // Drops tickets that expired before `now`; run at start-up.
    void PurgeExpiredTickets(std::int64_t now);

private:
    Database& db_;
    HashCost cost_;
    std::int64_t ticketLifetime_;
};

}  // namespace albumd

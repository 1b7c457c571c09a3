// The logins of albumd's web pages. A session is a random token in an HttpOnly cookie, stored only
// as its digest, apart from the client's tickets: a page's cookie opens the pages and nothing
// else, and a ticket is never a page's cookie. A password change or logout ends sessions as it
// ends tickets.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "Accounts.h"
#include "Database.h"

namespace albumd {

class WebSessions {
public:
    static constexpr std::int64_t kLifetimeSeconds = 14LL * 24 * 3600;

    explicit WebSessions(Database& db) : db_(db) {}

    [[nodiscard]] std::optional<IssuedTicket> Start(std::int64_t userId, std::int64_t now);
    // NotFound for an unknown or expired session.
    [[nodiscard]] StoreResult Find(std::string_view token, std::int64_t now, UserRecord& user);
    void End(std::string_view token);
    // Drops sessions that expired before `now`; run at start-up.
    void PurgeExpired(std::int64_t now);

private:
    Database& db_;
};

}  // namespace albumd

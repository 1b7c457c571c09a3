// Password and ticket logins with the lock-out rules, shared by the client's API and the web
// login form. Wrong passwords are counted per account and lock only that account; names that do
// not exist are counted per client address and lock that address only for names that do not
// exist, so no client, however many names it tries, locks anyone out of an account it does not
// know the password of. A locked account or address is refused before a password is checked.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Accounts.h"
#include "LoginThrottle.h"

namespace albumd {

struct LoginRules {
    ThrottleRule account{5, 900, 900};          // wrong passwords of one account
    ThrottleRule address{20, 900, 900};         // names that do not exist, tried from one address
    ThrottleRule registration{10, 3600, 3600};  // accounts created from one address
};

class Authenticator {
public:
    Authenticator(Accounts& accounts, const LoginRules& rules)
        : accounts_(accounts),
          accountThrottle_(rules.account),
          addressThrottle_(rules.address),
          registrationThrottle_(rules.registration) {}

    enum class Outcome { Ok, UnknownUser, WrongPassword, Locked, BadTicket, Fault };
    struct Result {
        Outcome outcome = Outcome::Fault;
        UserRecord user;
        IssuedTicket ticket;
        std::int64_t retryAfter = 0;  // seconds, for Locked
    };

    // Checks the password and issues a ticket for the client's API.
    [[nodiscard]] Result PasswordLogin(std::string_view name, std::string_view password,
                                       const std::string& address, std::string_view machineKey,
                                       std::int64_t now);
    // Checks the password under the same rules without issuing anything (the web pages start a
    // session of their own).
    [[nodiscard]] Result CheckLogin(std::string_view name, std::string_view password,
                                    const std::string& address, std::int64_t now);
    // Checks an existing ticket; the result carries that same ticket.
    [[nodiscard]] Result TicketLogin(std::string_view ticket, std::int64_t now);

    // Lets `address` begin registering an account (0), or the seconds before it may. Every
    // registration begun must end; registrations still running count against the limit.
    [[nodiscard]] std::int64_t BeginRegistration(const std::string& address, std::int64_t now);
    void EndRegistration(const std::string& address, std::int64_t now, bool created);

private:
    Accounts& accounts_;
    LoginThrottle accountThrottle_;
    LoginThrottle addressThrottle_;
    LoginThrottle registrationThrottle_;
};

}  // namespace albumd

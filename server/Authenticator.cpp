#include "Authenticator.h"

#include <algorithm>

namespace albumd {

Authenticator::Result Authenticator::PasswordLogin(std::string_view name, std::string_view password,
                                                   const std::string& address,
                                                   std::string_view machineKey, std::int64_t now) {
    Result result;
    const std::string accountKey(name);
    std::int64_t locked = std::max(accountThrottle_.LockedFor(accountKey, now),
                                   addressThrottle_.LockedFor(address, now));
    if (locked > 0) {
        result.outcome = Outcome::Locked;
        result.retryAfter = locked;
        return result;
    }
    switch (accounts_.CheckPassword(name, password, result.user)) {
        case Accounts::PasswordCheck::UnknownUser:
            addressThrottle_.RecordFailure(address, now);
            result.outcome = Outcome::UnknownUser;
            return result;
        case Accounts::PasswordCheck::WrongPassword:
            accountThrottle_.RecordFailure(accountKey, now);
            addressThrottle_.RecordFailure(address, now);
            result.outcome = Outcome::WrongPassword;
            return result;
        case Accounts::PasswordCheck::Fault:
            result.outcome = Outcome::Fault;
            return result;
        case Accounts::PasswordCheck::Ok:
            break;
    }
    accountThrottle_.Clear(accountKey);
    auto ticket = accounts_.IssueTicket(result.user.id, machineKey, now);
    if (!ticket) {
        result.outcome = Outcome::Fault;
        return result;
    }
    result.ticket = std::move(*ticket);
    result.outcome = Outcome::Ok;
    return result;
}

Authenticator::Result Authenticator::TicketLogin(std::string_view ticket, std::int64_t now) {
    Result result;
    std::int64_t expires = 0;
    switch (accounts_.FindTicket(ticket, now, result.user, expires)) {
        case StoreResult::Ok:
            result.outcome = Outcome::Ok;
            result.ticket = {std::string(ticket), expires};
            break;
        case StoreResult::NotFound:
            result.outcome = Outcome::BadTicket;
            break;
        default:
            result.outcome = Outcome::Fault;
            break;
    }
    return result;
}

std::int64_t Authenticator::RegistrationLockedFor(const std::string& address, std::int64_t now) {
    return registrationThrottle_.LockedFor(address, now);
}

void Authenticator::RecordRegistration(const std::string& address, std::int64_t now) {
    registrationThrottle_.RecordFailure(address, now);
}

}  // namespace albumd

#include "Authenticator.h"

namespace albumd {

Authenticator::Result Authenticator::CheckLogin(std::string_view name, std::string_view password,
                                                const std::string& address, std::int64_t now) {
    Result result;
    UserRecord known;
    const StoreResult found = accounts_.FindUser(name, known);
    if (found != StoreResult::Ok && found != StoreResult::NotFound)
        return result;
    const bool exists = found == StoreResult::Ok;
    LoginThrottle& throttle = exists ? accountThrottle_ : addressThrottle_;
    const std::string key = exists ? std::string(name) : address;
    // The attempt begins before the slow password check, which then counts it in.
    if (const std::int64_t locked = throttle.Begin(key, now); locked > 0) {
        result.outcome = Outcome::Locked;
        result.retryAfter = locked;
        return result;
    }
    const Accounts::PasswordCheck check = accounts_.CheckPassword(name, password, result.user);
    throttle.End(key, now,
                 check == Accounts::PasswordCheck::WrongPassword ||
                     check == Accounts::PasswordCheck::UnknownUser);
    switch (check) {
        case Accounts::PasswordCheck::UnknownUser:
            result.outcome = Outcome::UnknownUser;
            return result;
        case Accounts::PasswordCheck::WrongPassword:
            result.outcome = Outcome::WrongPassword;
            return result;
        case Accounts::PasswordCheck::Fault:
            result.outcome = Outcome::Fault;
            return result;
        case Accounts::PasswordCheck::Ok:
            break;
    }
    if (exists)
        accountThrottle_.Clear(key);
    result.outcome = Outcome::Ok;
    return result;
}

Authenticator::Result Authenticator::PasswordLogin(std::string_view name, std::string_view password,
                                                   const std::string& address,
                                                   std::string_view machineKey, std::int64_t now) {
    Result result = CheckLogin(name, password, address, now);
    if (result.outcome != Outcome::Ok)
        return result;
    auto ticket = accounts_.IssueTicket(result.user.id, machineKey, now);
    if (!ticket) {
        result.outcome = Outcome::Fault;
        return result;
    }
    result.ticket = std::move(*ticket);
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

std::int64_t Authenticator::BeginRegistration(const std::string& address, std::int64_t now) {
    return registrationThrottle_.Begin(address, now);
}

void Authenticator::EndRegistration(const std::string& address, std::int64_t now, bool created) {
    registrationThrottle_.End(address, now, created);
}

}  // namespace albumd

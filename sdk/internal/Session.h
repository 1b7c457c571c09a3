// A service session: who is logged in (ticket, user id, name), the outcome of its last login or
// logout exchange, and the login that is running on it, if any. Shared between the caller's
// thread and the transfer thread, so every field is read and written under its lock.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "sdk/internal/HandleTable.h"
#include "sdk/internal/SdkConfig.h"

namespace tavopix::sdk {

struct SessionLogin {
    std::string ticket;  // as the service gave it (ASCII)
    std::u16string userId;
    std::u16string userName;
};

class Session : public HandleObject {
public:
    Session(std::shared_ptr<const SdkConfig> config, HandleTable& handles);

    const SdkConfig& Config() const { return *config_; }

    [[nodiscard]] std::optional<SessionLogin> Login() const;
    void SetLogin(SessionLogin login);
    void ClearLogin();

    // The status (0 = no answer) and reply text of the last login or logout exchange.
    void RecordExchange(std::uint32_t status, std::u16string reply);
    [[nodiscard]] std::pair<std::uint32_t, std::u16string> LastExchange() const;

    // The running login's handle; replacing or clearing it hands back the one before (0: none).
    [[nodiscard]] std::uint32_t ExchangeRunningLogin(std::uint32_t handle);
    // Forgets the running login if it is still `handle`.
    void LoginEnded(std::uint32_t handle);

    // Abandons the running login.
    void StopLogin();
    void Abandon() override { StopLogin(); }

    // The header that authenticates a request of this session; empty when nobody is logged in.
    [[nodiscard]] std::string AuthorizationHeader() const;

private:
    std::shared_ptr<const SdkConfig> config_;
    HandleTable& handles_;
    mutable std::mutex mutex_;
    std::optional<SessionLogin> login_;
    std::uint32_t lastStatus_ = 0;
    std::u16string lastReply_;
    std::uint32_t runningLogin_ = 0;
};

}  // namespace tavopix::sdk

#include "sdk/internal/Session.h"

#include <utility>

namespace tavopix::sdk {

Session::Session(std::shared_ptr<const SdkConfig> config, HandleTable& handles)
    : config_(std::move(config)), handles_(handles) {}

std::optional<SessionLogin> Session::Login() const {
    std::lock_guard lock(mutex_);
    return login_;
}

void Session::SetLogin(SessionLogin login) {
    std::lock_guard lock(mutex_);
    login_ = std::move(login);
}

void Session::ClearLogin() {
    std::lock_guard lock(mutex_);
    login_.reset();
}

void Session::RecordExchange(std::uint32_t status, std::u16string reply) {
    std::lock_guard lock(mutex_);
    lastStatus_ = status;
    lastReply_ = std::move(reply);
}

std::pair<std::uint32_t, std::u16string> Session::LastExchange() const {
    std::lock_guard lock(mutex_);
    return {lastStatus_, lastReply_};
}

std::uint32_t Session::ExchangeRunningLogin(std::uint32_t handle) {
    std::lock_guard lock(mutex_);
    return std::exchange(runningLogin_, handle);
}

void Session::LoginEnded(std::uint32_t handle) {
    std::lock_guard lock(mutex_);
    if (runningLogin_ == handle) {
        runningLogin_ = 0;
    }
}

void Session::StopLogin() {
    std::uint32_t running = ExchangeRunningLogin(0);
    if (running == 0) {
        return;
    }
    if (std::shared_ptr<HandleObject> login = handles_.Remove(running)) {
        login->Abandon();
    }
}

std::string Session::AuthorizationHeader() const {
    std::lock_guard lock(mutex_);
    return login_ ? "Authorization: Ticket " + login_->ticket : std::string();
}

}  // namespace tavopix::sdk

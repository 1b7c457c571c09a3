// Password and ticket logins, logout, and what the session knows about its login.
#include <nlohmann/json.hpp>

#include <cstring>

#include "platform/LastError.h"
#include "platform/Utf8.h"
#include "sdk/OvkErrors.h"
#include "sdk/OvkSdk.h"
#include "sdk/internal/Operation.h"
#include "sdk/internal/Runtime.h"
#include "sdk/internal/Session.h"
#include "sdk/internal/Utf16Text.h"

namespace tavopix {

namespace {

using sdk::Runtime;
using sdk::Session;
using sdk::SessionLogin;
using sdk::TransferOutcome;
using sdk::TransferRequest;
using Json = nlohmann::json;

// A ticket goes into a request header, so it may only hold token characters.
bool IsUsableTicket(const std::string& ticket) {
    return !ticket.empty() && ticket.size() < 64 &&
           ticket.find_first_not_of(
               "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
               "0123456789-_.~+/=") == std::string::npos;
}

// The login a successful reply carries; nothing when the reply is not one.
std::optional<SessionLogin> ParseLoginReply(const std::string& reply) {
    Json json = Json::parse(reply, nullptr, false);
    if (!json.is_object()) {
        return std::nullopt;
    }
    auto text = [&](const char* key) -> std::optional<std::string> {
        auto found = json.find(key);
        if (found == json.end()) {
            return std::nullopt;
        }
        if (found->is_string()) {
            return found->get<std::string>();
        }
        if (found->is_number_integer()) {
            return found->dump();
        }
        return std::nullopt;
    };
    std::optional<std::string> ticket = text("ticket");
    std::optional<std::string> userId = text("user_id");
    if (!ticket || !IsUsableTicket(*ticket) || !userId || userId->empty()) {
        return std::nullopt;
    }
    return SessionLogin{*ticket, Utf8ToUtf16(*userId), Utf8ToUtf16(text("username").value_or(""))};
}

std::string JsonBody(const Json& body) {
    return body.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// One login exchange. Its handle is internal: the session names it, and ovkLoginStop closes it.
class LoginOperation final : public sdk::Operation {
public:
    LoginOperation(Runtime& runtime, std::weak_ptr<Session> session, SdkCompletion completion,
                   void* context)
        : Operation(runtime.Handles(), runtime.Transfers()),
          session_(std::move(session)),
          completion_(completion),
          context_(context) {}

    // Registers the login with its session (abandoning the one before) and sends it.
    bool Start(const std::shared_ptr<LoginOperation>& self, Session& session,
               TransferRequest request) {
        if (Register(self) == 0) {
            return false;
        }
        if (std::uint32_t previous = session.ExchangeRunningLogin(Handle())) {
            if (std::shared_ptr<sdk::HandleObject> old = handles_.Remove(previous)) {
                old->Abandon();
            }
        }
        if (!Submit(self, std::move(request))) {
            std::uint32_t error = GetLastError();
            session.LoginEnded(Handle());
            (void)handles_.Remove(Handle());
            SetLastError(error);
            return false;
        }
        return true;
    }

    void OnTransferDone(TransferOutcome&& outcome) override {
        std::shared_ptr<Session> session = session_.lock();
        // The session learns the outcome inside the delivery, so a login stopped in time
        // changes nothing and one that was not stopped is complete when the stop returns.
        Deliver([&] {
            std::uint32_t result = 0;
            std::uint32_t error = outcome.error;
            if (outcome.httpStatus != 0) {
                error = outcome.httpStatus;
                std::optional<SessionLogin> login;
                if (outcome.httpStatus == 200) {
                    login = ParseLoginReply(outcome.reply);
                    error = login ? ERROR_SUCCESS : OVK_ERROR_BAD_REPLY;
                }
                if (session) {
                    session->RecordExchange(outcome.httpStatus, Utf8ToUtf16(outcome.reply));
                    if (login) {
                        session->SetLogin(std::move(*login));
                        result = 1;
                    }
                }
            } else if (session) {
                session->RecordExchange(0, {});
            }
            SetLastError(error);
            completion_(context_, result);
        });
        if (session) {
            session->LoginEnded(Handle());
        }
        (void)handles_.Remove(Handle());
    }

private:
    std::weak_ptr<Session> session_;
    SdkCompletion completion_;
    void* context_;
};

OvkBool StartLogin(ServiceSession sessionHandle, const char* path, const Json& body,
                   SdkCompletion completion, void* context, std::uint32_t timeoutMs) {
    const sdk::HandleCall<Session> session = sdk::EnterCall<Session>(sessionHandle);
    if (!session) {
        return false;
    }
    if (!completion) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    TransferRequest request;
    request.url = session->Config().albumService + path;
    request.post = true;
    request.headers = {"Content-Type: application/json; charset=utf-8", "Expect:"};
    request.body = JsonBody(body);
    request.timeoutMs = sdk::TimeoutOrDefault(timeoutMs);
    request.connectTimeoutMs = session->Config().connectTimeoutMs;
    auto login =
        std::make_shared<LoginOperation>(*session.runtime, session.object, completion, context);
    return login->Start(login, *session.object, std::move(request));
}

// The session's login; nothing without the session, or with OVK_ERROR_NOT_LOGGED_ON when no
// one is logged on.
std::optional<SessionLogin> CurrentLogin(ServiceSession sessionHandle) {
    const sdk::HandleCall<Session> session = sdk::EnterCall<Session>(sessionHandle);
    if (!session) {
        return std::nullopt;
    }
    std::optional<SessionLogin> login = session->Login();
    if (!login) {
        SetLastError(OVK_ERROR_NOT_LOGGED_ON);
    }
    return login;
}

OvkBool CopyToBuffer(std::u16string_view text, char16_t* buffer, std::uint32_t bufferBytes) {
    if (!buffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if ((text.size() + 1) * sizeof(char16_t) > bufferBytes) {
        SetLastError(OVK_ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    std::memcpy(buffer, text.data(), text.size() * sizeof(char16_t));
    buffer[text.size()] = u'\0';
    return true;
}

}  // namespace

OvkBool ovkLoginStart(ServiceSession session, const OvkLoginParams* params,
                      std::uint32_t timeoutMs) {
    if (!params) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    Json body = {{"username", Utf16ToUtf8(sdk::TextOf(params->userName))},
                 {"password", Utf16ToUtf8(sdk::TextOf(params->password))},
                 {"appid", Utf16ToUtf8(sdk::TextOf(params->appId))},
                 {"machine_key", Utf16ToUtf8(sdk::TextOf(params->machineKey))}};
    return StartLogin(session, "api/login", body, params->completion, params->context, timeoutMs);
}

OvkBool ovkTicketLoginStart(ServiceSession session, const OvkTicketParams* params,
                            std::uint32_t timeoutMs) {
    if (!params) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    Json body = {{"ticket", Utf16ToUtf8(sdk::TextOf(params->ticket))},
                 {"appid", Utf16ToUtf8(sdk::TextOf(params->appId))},
                 {"machine_key", Utf16ToUtf8(sdk::TextOf(params->machineKey))}};
    return StartLogin(session, "api/ticket-login", body, params->completion, params->context,
                      timeoutMs);
}

OvkBool ovkLoginStop(ServiceSession sessionHandle) {
    const sdk::HandleCall<Session> session = sdk::EnterCall<Session>(sessionHandle);
    if (!session) {
        return false;
    }
    session->StopLogin();
    return true;
}

OvkBool ovkTicketLoginStop(ServiceSession session) {
    return ovkLoginStop(session);
}

OvkBool ovkSessionHttpInfo(ServiceSession sessionHandle, std::uint32_t* status, char16_t** reply) {
    const sdk::HandleCall<Session> session = sdk::EnterCall<Session>(sessionHandle);
    if (!session) {
        return false;
    }
    auto [lastStatus, lastReply] = session->LastExchange();
    if (status) {
        *status = lastStatus;
    }
    if (reply) {
        *reply = lastReply.empty() ? nullptr : sdk::NewTextBuffer(lastReply);
    }
    return true;
}

OvkBool ovkGetTicket(ServiceSession sessionHandle, char16_t* buffer, std::uint32_t bufferBytes) {
    std::optional<SessionLogin> login = CurrentLogin(sessionHandle);
    return login && CopyToBuffer(Utf8ToUtf16(login->ticket), buffer, bufferBytes);
}

OvkBool ovkGetUserID(ServiceSession sessionHandle, char16_t* buffer, std::uint32_t bufferBytes) {
    std::optional<SessionLogin> login = CurrentLogin(sessionHandle);
    return login && CopyToBuffer(login->userId, buffer, bufferBytes);
}

OvkBool ovkIsLog(ServiceSession sessionHandle) {
    const sdk::HandleCall<Session> session = sdk::EnterCall<Session>(sessionHandle);
    return session && session->Login().has_value();
}

OvkBool ovkLogout(ServiceSession sessionHandle, std::uint32_t timeoutMs) {
    const sdk::HandleCall<Session> session = sdk::EnterCall<Session>(sessionHandle);
    if (!session) {
        return false;
    }
    std::string authorization = session->AuthorizationHeader();
    if (authorization.empty()) {
        SetLastError(OVK_ERROR_NOT_LOGGED_ON);
        return false;
    }
    TransferRequest request;
    request.url = session->Config().albumService + "api/logout";
    request.post = true;
    request.headers = {authorization};
    request.timeoutMs = sdk::TimeoutOrDefault(timeoutMs);
    request.connectTimeoutMs = session->Config().connectTimeoutMs;
    TransferOutcome outcome = sdk::PerformNow(std::move(request));
    session->RecordExchange(outcome.httpStatus, Utf8ToUtf16(outcome.reply));
    if (outcome.httpStatus != 200) {
        SetLastError(outcome.FailureCode());
        return false;
    }
    session->ClearLogin();
    return true;
}

OvkBool ovkSetLogout(ServiceSession sessionHandle) {
    const sdk::HandleCall<Session> session = sdk::EnterCall<Session>(sessionHandle);
    if (!session) {
        return false;
    }
    session->ClearLogin();
    return true;
}

}  // namespace tavopix

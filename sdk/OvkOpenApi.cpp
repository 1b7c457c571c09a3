// OpenApi requests: a JSON text posted to the service under an API code, answered once.
#include <mutex>
#include <string>

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
using sdk::TransferOutcome;
using sdk::TransferRequest;

class ApiRequest final : public sdk::Operation {
public:
    ApiRequest(Runtime& runtime, std::shared_ptr<Session> session, std::uint32_t apiCode,
               std::string body, std::uint32_t timeoutMs)
        : Operation(runtime.Handles(), runtime.Transfers()),
          session_(std::move(session)),
          apiCode_(apiCode),
          body_(std::move(body)),
          timeoutMs_(timeoutMs) {}

    bool Call(const std::shared_ptr<ApiRequest>& self, const OvkCallbackSpec& callback) {
        std::lock_guard lock(mutex_);
        if (state_ != State::Prepared) {
            SetLastError(ERROR_BUSY);
            return false;
        }
        completion_ = callback.completion;
        context_ = callback.context;
        TransferRequest request;
        request.url = session_->Config().albumService + "api/openapi/" + std::to_string(apiCode_);
        request.post = true;
        request.headers = {"Content-Type: application/json; charset=utf-8", "Expect:"};
        if (std::string authorization = session_->AuthorizationHeader(); !authorization.empty()) {
            request.headers.push_back(std::move(authorization));
        }
        request.body = body_;
        request.timeoutMs = timeoutMs_;
        request.connectTimeoutMs = session_->Config().connectTimeoutMs;
        if (!Submit(self, std::move(request))) {
            return false;
        }
        state_ = State::Running;
        return true;
    }

    void OnTransferDone(TransferOutcome&& outcome) override {
        {
            std::lock_guard lock(mutex_);
            status_ = outcome.httpStatus;
            reply_ = Utf8ToUtf16(outcome.reply);
            state_ = State::Done;
        }
        bool succeeded = outcome.Succeeded();
        std::uint32_t error = succeeded ? ERROR_SUCCESS : outcome.FailureCode();
        Deliver([&] {
            SetLastError(error);
            completion_(context_, succeeded ? 1 : 0);
        });
    }

    bool Reply(std::uint32_t* status, std::uint32_t* length, char16_t** text) const {
        std::lock_guard lock(mutex_);
        if (state_ != State::Done) {
            SetLastError(ERROR_BUSY);
            return false;
        }
        *status = status_;
        if (!reply_.empty()) {
            if (!sdk::HandOutText(reply_, text)) {
                return false;
            }
            *length = static_cast<std::uint32_t>(reply_.size());
        }
        return true;
    }

private:
    enum class State { Prepared, Running, Done };

    const std::shared_ptr<Session> session_;
    const std::uint32_t apiCode_;
    const std::string body_;
    const std::uint32_t timeoutMs_;

    mutable std::mutex mutex_;
    State state_ = State::Prepared;
    // Set by Call before the transfer is submitted; read by the transfer thread afterwards.
    SdkCompletion completion_ = nullptr;
    void* context_ = nullptr;
    std::uint32_t status_ = 0;
    std::u16string reply_;
};

}  // namespace

OvkHandle ovkOpenApiAsynInit(ServiceSession sessionHandle, const OvkApiRequest* request,
                             std::uint32_t timeoutMs) {
    const sdk::HandleCall<Session> session = sdk::EnterCall<Session>(sessionHandle);
    if (!session) {
        return 0;
    }
    if (!request) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string_view first = sdk::TextOf(request->firstText);
    std::string body = Utf16ToUtf8(first.empty() ? sdk::TextOf(request->secondText) : first);
    auto apiRequest =
        std::make_shared<ApiRequest>(*session.runtime, session.object, request->apiCode,
                                     std::move(body), sdk::TimeoutOrDefault(timeoutMs));
    return apiRequest->Register(apiRequest);
}

OvkBool ovkOpenApiAsynCall(OvkHandle handle, const OvkCallbackSpec* callback) {
    const sdk::HandleCall<ApiRequest> request = sdk::EnterCall<ApiRequest>(handle);
    if (!request) {
        return false;
    }
    if (!callback || !callback->completion) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return request->Call(request.object, *callback);
}

OvkBool ovkOpenApiAsynGetRtn(OvkHandle handle, std::uint32_t* status, std::uint32_t* length,
                             char16_t** text) {
    if (!status || !length || !text) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    *status = 0;
    *length = 0;
    *text = nullptr;
    const sdk::HandleCall<ApiRequest> request = sdk::EnterCall<ApiRequest>(handle);
    return request && request->Reply(status, length, text);
}

}  // namespace tavopix

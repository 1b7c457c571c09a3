#include "service/OpenApiRequest.h"

#include "app/AppContext.h"
#include "platform/LastError.h"
#include "platform/MessageQueue.h"
#include "service/PostedCompletion.h"

namespace tavopix {

bool OpenApiRequest::Prepare(std::uint32_t apiCode, const char16_t* firstText,
                             const char16_t* secondText) {
    Close();
    const OvkApiRequest request{apiCode, firstText, secondText};
    handle_ = ovkOpenApiAsynInit(appContext.serviceSession, &request, kOpenApiTimeoutMs);
    return handle_ != 0;
}

bool OpenApiRequest::Send() {
    const OvkCallbackSpec callback{CompletionContext(hwnd_), completion_};
    return handle_ != 0 && ovkOpenApiAsynCall(handle_, &callback);
}

bool OpenApiRequest::TakeReply(OpenApiReply& reply) {
    std::uint32_t status = 0;
    std::uint32_t length = 0;
    char16_t* text = nullptr;
    if (handle_ == 0) {
        return false;
    }
    if (!ovkOpenApiAsynGetRtn(handle_, &status, &length, &text)) {
        // Still running: the message was left over from a request closed since. Any other
        // failure to read the reply counts as no answer.
        if (GetLastError() == ERROR_BUSY) {
            return false;
        }
        status = 0;
        length = 0;
    }
    reply.status = status;
    reply.text.clear();
    if (length > 0 && text != nullptr) {
        reply.text.assign(text, length);
    }
    ovkReleaseBuffer(&text);
    Close();
    return true;
}

void OpenApiRequest::Close() {
    if (handle_ == 0) {
        return;
    }
    ovkCloseHandle(handle_);
    handle_ = 0;
    if (hwnd_) {
        DiscardQueuedMessages(hwnd_, replyMessage_, replyMessage_);
    }
}

}  // namespace tavopix

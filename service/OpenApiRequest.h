// One OpenApi request slot of a dialog: prepares the request, sends it with a completion that
// posts the dialog's reply message, reads the reply once it is there, and closes it. A dialog
// holds one slot per kind of request it makes (album list, album creation, feedback).
//
// Closing a request (also when a new one replaces it, and when the dialog closes) abandons it at
// the SDK, which then calls its completion no more, and drops the reply messages it already
// posted, so a reply is never read for the wrong request. UI thread only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/WinTypes.h"
#include "platform/WindowHandle.h"
#include "sdk/OvkSdk.h"

namespace tavopix {

inline constexpr std::uint32_t kOpenApiTimeoutMs = 30000;

struct OpenApiReply {
    std::uint32_t status = 0;  // 0: the service did not answer; else the HTTP status
    std::u16string text;       // the reply as the service sent it (JSON escapes not decoded)
};

class OpenApiRequest {
public:
    // `replyMessage` is the message the completion posts to the dialog's window.
    OpenApiRequest(UINT replyMessage, SdkCompletion completion)
        : replyMessage_(replyMessage), completion_(completion) {}
    ~OpenApiRequest() { Close(); }
    OpenApiRequest(const OpenApiRequest&) = delete;
    OpenApiRequest& operator=(const OpenApiRequest&) = delete;

    void SetWindow(HWND hwnd) { hwnd_ = hwnd; }

    // Closes any earlier request and prepares a new one (the JSON sent is `firstText` when it is
    // not empty, else `secondText`). False when the SDK refused it; the last error tells why.
    bool Prepare(std::uint32_t apiCode, const char16_t* firstText, const char16_t* secondText);
    // Sends the prepared request. False when it could not be sent (the request stays prepared
    // until the next Prepare or Close).
    bool Send();
    // Reads the reply of the finished request and closes it. False when there is no finished
    // request (nothing was sent, or the message came for one that is still running); a reply
    // that cannot be read comes back as status 0.
    bool TakeReply(OpenApiReply& reply);
    void Close();

    bool Active() const { return handle_ != 0; }

private:
    UINT replyMessage_;
    SdkCompletion completion_;
    HWND hwnd_;
    OvkHandle handle_ = 0;
};

}  // namespace tavopix

// One HTTP exchange with the service: what to send, where the answer goes, and what comes back.
// A Transfer wraps one libcurl easy handle configured from a TransferRequest. Background
// exchanges run on the transfer thread (TransferThread.h); the few synchronous calls run on the
// caller's own thread through PerformNow. Only the SDK's internals see libcurl.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavopix::sdk {

enum class TimeoutKind {
    WholeExchange,  // the exchange must end within the time-out
    Silence,        // connecting, and every pause of the data, must end within the time-out
};

// The time-out of an exchange whose caller gives 0.
inline constexpr std::uint32_t kDefaultTimeoutMs = 30000;

[[nodiscard]] constexpr std::uint32_t TimeoutOrDefault(std::uint32_t timeoutMs) {
    return timeoutMs == 0 ? kDefaultTimeoutMs : timeoutMs;
}

struct TransferRequest {
    std::string url;
    bool post = false;
    std::vector<std::string> headers;
    std::string body;  // the POST body, unless bodyFd is set
    int bodyFd = -1;   // a file sent as the POST body, from its start; owned by the caller
    std::uint64_t bodySize = 0;
    std::uint64_t bodyOffset = 0;  // where in bodyFd the body begins
    // Another method than GET (or POST when `post` is set): "HEAD" asks for the header alone,
    // "PATCH" sends the body as a POST would, "DELETE" sends none.
    std::string method;
    int replyFd = -1;  // the answer's body is written here instead of kept; owned by the caller
    std::size_t maxReplyBytes = 1 << 20;
    std::uint32_t timeoutMs = kDefaultTimeoutMs;
    TimeoutKind timeoutKind = TimeoutKind::WholeExchange;
    std::uint32_t connectTimeoutMs = 10000;
    // Up to five redirects are followed, each only to an address that passes
    // IsSecureDownloadAddress (sdk/SecureAddress.h) or a relative one; any other ends the
    // exchange with OVK_ERROR_BAD_ADDRESS before the other address is asked.
    bool followRedirects = false;
};

struct TransferOutcome {
    std::uint32_t httpStatus = 0;    // 0 when no complete answer arrived
    std::uint32_t error = 0;         // when httpStatus is 0: why (sdk/OvkErrors.h)
    std::string reply;               // the answer's body, unless it went to replyFd
    std::string contentDisposition;  // of the final answer, when it had one
    // The final answer's header fields, names in lower case.
    std::vector<std::pair<std::string, std::string>> headers;
    std::uint64_t bytesSent = 0;
    std::uint64_t bytesReceived = 0;

    bool Succeeded() const { return httpStatus >= 200 && httpStatus < 300; }
    // What a failed exchange reports as the last error: the answer's HTTP status, or why no
    // answer came.
    std::uint32_t FailureCode() const { return httpStatus != 0 ? httpStatus : error; }
};

// What a background transfer reports, on the transfer thread.
class TransferObserver {
public:
    virtual ~TransferObserver() = default;
    virtual void OnTransferBegin() {}
    // Body bytes sent and received so far (they fall back to 0 when libcurl resends a body on
    // a fresh connection), and the announced size of the answer (0 when unknown).
    virtual void OnTransferProgress(std::uint64_t /*sent*/, std::uint64_t /*received*/,
                                    std::uint64_t /*receiveTotal*/) {}
    virtual void OnTransferDone(TransferOutcome&& outcome) = 0;
};

class Transfer {
public:
    Transfer(TransferRequest request, std::shared_ptr<TransferObserver> observer);
    ~Transfer();
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    // Creates and configures the easy handle; false (with the last error set) when it cannot.
    [[nodiscard]] bool Prepare();

    CURL* Easy() const { return easy_; }
    TransferObserver* Observer() const { return observer_.get(); }

    // For a transfer timed by silence: how long it may still stay silent (0 when the time is
    // up); nothing for one timed as a whole, which libcurl times itself.
    [[nodiscard]] std::optional<std::chrono::milliseconds> SilenceLeft(
        std::chrono::steady_clock::time_point now) const;

    // The outcome once libcurl has finished with `code`.
    [[nodiscard]] TransferOutcome Finish(CURLcode code);

private:
    static std::size_t OnRead(char* buffer, std::size_t size, std::size_t count, void* self);
    static int OnSeek(void* self, curl_off_t offset, int origin);
    static std::size_t OnWrite(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* self);
    static int OnSocketOption(void* self, curl_socket_t socket, curlsocktype purpose);
    static int OnProgress(void* self, curl_off_t receiveTotal, curl_off_t received,
                          curl_off_t sendTotal, curl_off_t sent);

    TransferRequest request_;
    std::shared_ptr<TransferObserver> observer_;
    CURL* easy_ = nullptr;
    curl_slist* headers_ = nullptr;
    std::string reply_;
    std::string contentDisposition_;
    std::vector<std::pair<std::string, std::string>> replyHeaders_;
    std::uint64_t bodyRead_ = 0;  // of the body, from bodyOffset
    int fileErrno_ = 0;           // errno of a failed read of the body or write of the answer
    bool replyTooLarge_ = false;
    bool redirecting_ = false;  // the answer being read is a redirect (3xx)
    bool redirectRefused_ = false;
    curl_socket_t bodySocket_ = CURL_SOCKET_BAD;  // the connection a body is sent on
    curl_off_t lastSent_ = -1;
    curl_off_t lastReceived_ = -1;
    std::chrono::steady_clock::time_point lastActivity_ = std::chrono::steady_clock::now();
};

// Runs one exchange on the calling thread and returns its outcome.
[[nodiscard]] TransferOutcome PerformNow(TransferRequest request);

}  // namespace tavopix::sdk

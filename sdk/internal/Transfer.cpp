#include "sdk/internal/Transfer.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

#ifdef __linux__
#include <linux/sockios.h>
#include <sys/ioctl.h>
#endif

#include "platform/LastError.h"
#include "sdk/OvkErrors.h"
#include "sdk/SecureAddress.h"

namespace tavopix::sdk {

namespace {

// Larger than libcurl's default so a picture moves in fewer, bigger writes.
constexpr long kBufferBytes = 512 * 1024;

std::uint32_t ErrorForCurlCode(CURLcode code) {
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return OVK_ERROR_NAME_NOT_RESOLVED;
        case CURLE_COULDNT_CONNECT:
            return OVK_ERROR_CANNOT_CONNECT;
        case CURLE_OPERATION_TIMEDOUT:
            return OVK_ERROR_TIMEOUT;
        case CURLE_URL_MALFORMAT:
        case CURLE_UNSUPPORTED_PROTOCOL:
            return OVK_ERROR_BAD_ADDRESS;
        case CURLE_OUT_OF_MEMORY:
            return ERROR_NOT_ENOUGH_MEMORY;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
            return OVK_ERROR_SECURE_CHANNEL;
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_BAD_CONTENT_ENCODING:
        case CURLE_TOO_MANY_REDIRECTS:
        case CURLE_HTTP2:
            return OVK_ERROR_BAD_REPLY;
        default:
            return OVK_ERROR_CONNECTION_LOST;
    }
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

std::string_view HeaderValue(std::string_view line, std::size_t nameLength) {
    line.remove_prefix(nameLength);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' ')) {
        line.remove_suffix(1);
    }
    while (!line.empty() && line.front() == ' ') {
        line.remove_prefix(1);
    }
    return line;
}

// Whether a redirect to `location` may be followed. A relative location stays with the address
// already taken; one naming a scheme or a host of its own must pass the secure-address rule.
bool MayRedirectTo(std::string_view location) {
    const std::size_t colon = location.find(':');
    const bool namesScheme =
        colon != std::string_view::npos && colon < location.find_first_of("/?#");
    if (namesScheme || location.starts_with("//") || location.starts_with("\\")) {
        return IsSecureDownloadAddress(location);
    }
    return true;
}

}  // namespace

Transfer::Transfer(TransferRequest request, std::shared_ptr<TransferObserver> observer)
    : request_(std::move(request)), observer_(std::move(observer)) {}

Transfer::~Transfer() {
    if (easy_) {
        curl_easy_cleanup(easy_);
    }
    curl_slist_free_all(headers_);
}

bool Transfer::Prepare() {
    easy_ = curl_easy_init();
    if (!easy_) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    for (const std::string& header : request_.headers) {
        curl_slist* extended = curl_slist_append(headers_, header.c_str());
        if (!extended) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        headers_ = extended;
    }
    bool ok = true;
    auto set = [&](CURLoption option, auto value) {
        ok = ok && curl_easy_setopt(easy_, option, value) == CURLE_OK;
    };
    set(CURLOPT_URL, request_.url.c_str());
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set(CURLOPT_USERAGENT, "tavopix-sdk/1.0");
    set(CURLOPT_HTTPHEADER, headers_);
    set(CURLOPT_BUFFERSIZE, kBufferBytes);
    if (request_.method == "HEAD") {
        set(CURLOPT_NOBODY, 1L);
    } else if (!request_.method.empty()) {
        set(CURLOPT_CUSTOMREQUEST, request_.method.c_str());
    }
    if (request_.post) {
        set(CURLOPT_POST, 1L);
        if (request_.bodyFd >= 0) {
            set(CURLOPT_UPLOAD_BUFFERSIZE, kBufferBytes);
            set(CURLOPT_READFUNCTION, &Transfer::OnRead);
            set(CURLOPT_READDATA, this);
            set(CURLOPT_SEEKFUNCTION, &Transfer::OnSeek);
            set(CURLOPT_SEEKDATA, this);
            set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request_.bodySize));
            // The body's progress is read from its socket, which a connection of its own makes
            // known (a reused one was opened by another transfer).
            set(CURLOPT_FRESH_CONNECT, 1L);
            set(CURLOPT_SOCKOPTFUNCTION, &Transfer::OnSocketOption);
            set(CURLOPT_SOCKOPTDATA, this);
        } else {
            set(CURLOPT_POSTFIELDS, request_.body.c_str());
            set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request_.body.size()));
        }
    }
    set(CURLOPT_WRITEFUNCTION, &Transfer::OnWrite);
    set(CURLOPT_WRITEDATA, this);
    set(CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
    set(CURLOPT_HEADERDATA, this);
    set(CURLOPT_NOPROGRESS, 0L);
    set(CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
    set(CURLOPT_XFERINFODATA, this);
    set(CURLOPT_CONNECTTIMEOUT_MS,
        static_cast<long>(std::min(request_.connectTimeoutMs, request_.timeoutMs)));
    if (request_.timeoutKind == TimeoutKind::WholeExchange) {
        set(CURLOPT_TIMEOUT_MS, static_cast<long>(request_.timeoutMs));
    }
    if (request_.followRedirects) {
        set(CURLOPT_FOLLOWLOCATION, 1L);
        set(CURLOPT_MAXREDIRS, 5L);
    }
    if (!ok) {
        SetLastError(OVK_ERROR_BAD_ADDRESS);
    }
    return ok;
}

std::optional<std::chrono::milliseconds> Transfer::SilenceLeft(
    std::chrono::steady_clock::time_point now) const {
    if (request_.timeoutKind != TimeoutKind::Silence) {
        return std::nullopt;
    }
    auto silent = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastActivity_);
    std::chrono::milliseconds limit(request_.timeoutMs);
    return silent >= limit ? std::chrono::milliseconds(0) : limit - silent;
}

TransferOutcome Transfer::Finish(CURLcode code) {
    TransferOutcome outcome;
    long status = 0;
    curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
    curl_off_t sent = 0;
    curl_off_t received = 0;
    curl_easy_getinfo(easy_, CURLINFO_SIZE_UPLOAD_T, &sent);
    curl_easy_getinfo(easy_, CURLINFO_SIZE_DOWNLOAD_T, &received);
    outcome.bytesSent = static_cast<std::uint64_t>(sent);
    outcome.bytesReceived = static_cast<std::uint64_t>(received);
    if (code == CURLE_OK && status > 0) {
        outcome.httpStatus = static_cast<std::uint32_t>(status);
        outcome.reply = std::move(reply_);
        outcome.contentDisposition = std::move(contentDisposition_);
        outcome.headers = std::move(replyHeaders_);
    } else if ((code == CURLE_READ_ERROR || code == CURLE_WRITE_ERROR) && fileErrno_ != 0) {
        outcome.error = ErrorFromErrno(fileErrno_);
    } else if (code == CURLE_WRITE_ERROR && redirectRefused_) {
        outcome.error = OVK_ERROR_BAD_ADDRESS;
    } else if (code == CURLE_WRITE_ERROR && replyTooLarge_) {
        outcome.error = OVK_ERROR_BAD_REPLY;
    } else {
        outcome.error = code == CURLE_OK ? OVK_ERROR_BAD_REPLY : ErrorForCurlCode(code);
    }
    return outcome;
}

std::size_t Transfer::OnRead(char* buffer, std::size_t size, std::size_t count, void* self) {
    auto* transfer = static_cast<Transfer*>(self);
    const TransferRequest& request = transfer->request_;
    const std::size_t wanted = static_cast<std::size_t>(
        std::min<std::uint64_t>(size * count, request.bodySize - transfer->bodyRead_));
    for (;;) {
        ssize_t got = pread(request.bodyFd, buffer, wanted,
                            static_cast<off_t>(request.bodyOffset + transfer->bodyRead_));
        if (got >= 0) {
            transfer->bodyRead_ += static_cast<std::uint64_t>(got);
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            transfer->fileErrno_ = errno;
            return CURL_READFUNC_ABORT;
        }
    }
}

int Transfer::OnSeek(void* self, curl_off_t offset, int origin) {
    auto* transfer = static_cast<Transfer*>(self);
    // libcurl rewinds a body to resend it on a fresh connection.
    if (origin != SEEK_SET || offset < 0 ||
        static_cast<std::uint64_t>(offset) > transfer->request_.bodySize) {
        return CURL_SEEKFUNC_CANTSEEK;
    }
    transfer->bodyRead_ = static_cast<std::uint64_t>(offset);
    return CURL_SEEKFUNC_OK;
}

std::size_t Transfer::OnWrite(char* data, std::size_t size, std::size_t count, void* self) {
    auto* transfer = static_cast<Transfer*>(self);
    std::size_t total = size * count;
    if (transfer->request_.replyFd < 0) {
        if (transfer->reply_.size() + total > transfer->request_.maxReplyBytes) {
            transfer->replyTooLarge_ = true;
            return 0;
        }
        transfer->reply_.append(data, total);
        return total;
    }
    std::size_t written = 0;
    while (written < total) {
        ssize_t done = write(transfer->request_.replyFd, data + written, total - written);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            transfer->fileErrno_ = done < 0 ? errno : ENOSPC;
            return 0;
        }
        written += static_cast<std::size_t>(done);
    }
    return total;
}

std::size_t Transfer::OnHeader(char* data, std::size_t size, std::size_t count, void* self) {
    auto* transfer = static_cast<Transfer*>(self);
    std::string_view line(data, size * count);
    constexpr std::string_view kDisposition = "content-disposition:";
    constexpr std::string_view kLocation = "location:";
    if (StartsWithNoCase(line, "HTTP/")) {
        transfer->contentDisposition_.clear();  // a new answer after a redirect
        transfer->replyHeaders_.clear();
        const std::size_t space = line.find(' ');
        transfer->redirecting_ =
            space != std::string_view::npos && space + 1 < line.size() && line[space + 1] == '3';
    } else if (StartsWithNoCase(line, kDisposition)) {
        transfer->contentDisposition_ = HeaderValue(line, kDisposition.size());
    } else if (transfer->redirecting_ && transfer->request_.followRedirects &&
               StartsWithNoCase(line, kLocation) &&
               !MayRedirectTo(HeaderValue(line, kLocation.size()))) {
        // Refused before libcurl follows it: the other address is never asked.
        transfer->redirectRefused_ = true;
        return 0;
    }
    if (const std::size_t colon = line.find(':');
        colon != std::string_view::npos && !StartsWithNoCase(line, "HTTP/")) {
        std::string name(line.substr(0, colon));
        for (char& c : name) {
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        }
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
            value.remove_prefix(1);
        }
        while (!value.empty() && (value.back() == '\r' || value.back() == '\n' ||
                                  value.back() == ' ' || value.back() == '\t')) {
            value.remove_suffix(1);
        }
        transfer->replyHeaders_.emplace_back(std::move(name), value);
    }
    return size * count;
}

namespace {

// The bytes handed to `socket` that the peer has not acknowledged yet; 0 where the system cannot
// tell. The kernel takes megabytes of a body at once, so what libcurl has written runs far ahead
// of what a slow line has carried.
curl_off_t UnsentInSocket(curl_socket_t socket) {
#ifdef __linux__
    int queued = 0;
    if (socket != CURL_SOCKET_BAD && ioctl(socket, SIOCOUTQ, &queued) == 0 && queued > 0) {
        return queued;
    }
#else
    static_cast<void>(socket);
#endif
    return 0;
}

}  // namespace

int Transfer::OnSocketOption(void* self, curl_socket_t socket, curlsocktype purpose) {
    if (purpose == CURLSOCKTYPE_IPCXN) {
        static_cast<Transfer*>(self)->bodySocket_ = socket;
    }
    return CURL_SOCKOPT_OK;
}

int Transfer::OnProgress(void* self, curl_off_t receiveTotal, curl_off_t received,
                         curl_off_t /*sendTotal*/, curl_off_t written) {
    auto* transfer = static_cast<Transfer*>(self);
    // A body's progress is what has reached the peer.
    const curl_off_t sent =
        written - std::min(UnsentInSocket(transfer->bodySocket_), std::max<curl_off_t>(written, 0));
    if (sent == transfer->lastSent_ && received == transfer->lastReceived_) {
        return 0;
    }
    transfer->lastSent_ = sent;
    transfer->lastReceived_ = received;
    transfer->lastActivity_ = std::chrono::steady_clock::now();
    if (transfer->observer_) {
        transfer->observer_->OnTransferProgress(static_cast<std::uint64_t>(sent),
                                                static_cast<std::uint64_t>(received),
                                                static_cast<std::uint64_t>(receiveTotal));
    }
    return 0;
}

TransferOutcome PerformNow(TransferRequest request) {
    Transfer transfer(std::move(request), nullptr);
    if (!transfer.Prepare()) {
        TransferOutcome outcome;
        outcome.error = GetLastError();
        return outcome;
    }
    return transfer.Finish(curl_easy_perform(transfer.Easy()));
}

}  // namespace tavopix::sdk

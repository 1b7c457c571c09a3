// File downloads into a named file or into a folder, through a hidden temporary file that is
// renamed into place only when the whole file has arrived.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/LastError.h"
#include "platform/Utf8.h"
#include "sdk/OvkErrors.h"
#include "sdk/OvkSdk.h"
#include "sdk/internal/DownloadName.h"
#include "sdk/internal/Operation.h"
#include "sdk/internal/ProgressPacer.h"
#include "sdk/internal/Runtime.h"
#include "sdk/internal/Session.h"
#include "sdk/internal/Utf16Text.h"

namespace tavopix {

namespace {

using sdk::Runtime;
using sdk::Session;
using sdk::TransferOutcome;
using sdk::TransferRequest;

// `address` made absolute against the album service; nothing unless it is http or https.
std::optional<std::string> ResolveAddress(const std::string& base, const std::string& address) {
    struct UrlDeleter {
        void operator()(CURLU* url) const { curl_url_cleanup(url); }
    };
    std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_URL, address.c_str(), 0) != CURLUE_OK) {
        return std::nullopt;
    }
    char* scheme = nullptr;
    char* full = nullptr;
    std::optional<std::string> resolved;
    if (curl_url_get(url.get(), CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        (std::string_view(scheme) == "http" || std::string_view(scheme) == "https") &&
        curl_url_get(url.get(), CURLUPART_URL, &full, 0) == CURLUE_OK) {
        resolved = full;
    }
    curl_free(scheme);
    curl_free(full);
    return resolved;
}

class Download final : public sdk::Operation {
public:
    Download(Runtime& runtime, const Session& session, std::string address, std::string folder,
             std::string fileName, const OvkDownloadParams& params)
        : Operation(runtime.Handles(), runtime.Transfers()),
          address_(std::move(address)),
          folder_(std::move(folder)),
          fileName_(std::move(fileName)),
          connectTimeoutMs_(session.Config().connectTimeoutMs),
          replaceExisting_(params.replaceExisting != 0),
          callback_(params.callback),
          context_(params.context),
          pacer_(params.progressIntervalMs) {}

    ~Download() override { DropTemporary(); }

    bool Start(const std::shared_ptr<Download>& self, std::uint32_t timeoutMs) {
        std::lock_guard lock(mutex_);
        if (state_ != State::Created) {
            SetLastError(ERROR_BUSY);
            return false;
        }
        std::string pattern = folder_ + ".ovk-download-XXXXXX";
        fd_ = mkostemp(pattern.data(), O_CLOEXEC);
        if (fd_ < 0) {
            SetLastErrorFromErrno();
            return false;
        }
        temporaryPath_ = pattern;
        TransferRequest request;
        request.url = address_;
        request.replyFd = fd_;
        request.followRedirects = true;
        request.timeoutMs = timeoutMs;
        request.timeoutKind = sdk::TimeoutKind::Silence;
        request.connectTimeoutMs = connectTimeoutMs_;
        if (!Submit(self, std::move(request))) {
            std::uint32_t error = GetLastError();
            DropTemporary();
            SetLastError(error);
            return false;
        }
        state_ = State::Running;
        return true;
    }

    void OnTransferBegin() override { pacer_.Begin(); }

    void OnTransferProgress(std::uint64_t, std::uint64_t received, std::uint64_t total) override {
        total_ = total;
        if (std::optional<std::uint64_t> due = pacer_.Offer(received)) {
            Deliver([&] {
                SetLastError(ERROR_SUCCESS);
                callback_(context_, OVK_EVENT_PROGRESS, *due, total);
            });
        }
    }

    void OnTransferDone(TransferOutcome&& outcome) override {
        std::uint64_t received = pacer_.Highest(outcome.bytesReceived);
        std::uint64_t total = total_ != 0 ? total_ : received;
        // The file is stored inside the delivery, so a download closed in time leaves nothing.
        Deliver([&] {
            std::uint32_t error = outcome.Succeeded() ? Store(outcome) : outcome.FailureCode();
            if (error != ERROR_SUCCESS) {
                std::lock_guard lock(mutex_);
                DropTemporary();  // before the caller hears of it and looks at the folder
            }
            SetLastError(error);
            callback_(context_, error == ERROR_SUCCESS ? OVK_EVENT_SUCCEEDED : OVK_EVENT_FAILED,
                      received, total);
        });
        std::lock_guard lock(mutex_);
        DropTemporary();
        state_ = State::Done;
    }

    bool StoredPath(char16_t** path) const {
        std::lock_guard lock(mutex_);
        if (storedPath_.empty()) {
            SetLastError(state_ == State::Done ? ERROR_FILE_NOT_FOUND : ERROR_BUSY);
            return false;
        }
        if (!sdk::HandOutText(Utf8ToUtf16(storedPath_), path)) {
            return false;
        }
        return true;
    }

private:
    enum class State { Created, Running, Done };

    // Moves the complete temporary file to its name; the error code, 0 on success.
    std::uint32_t Store(const TransferOutcome& outcome) {
        std::lock_guard lock(mutex_);
        std::string name = fileName_;
        if (name.empty()) {
            std::optional<std::string> given =
                sdk::DownloadFileName(outcome.contentDisposition, address_);
            if (!given) {
                return ERROR_INVALID_NAME;
            }
            name = *given;
        }
        std::string finalPath = folder_ + name;
        if (fsync(fd_) != 0 || fchmod(fd_, 0644) != 0) {
            return ErrorFromErrno(errno);
        }
        unsigned flags = replaceExisting_ ? 0 : RENAME_NOREPLACE;
        if (renameat2(AT_FDCWD, temporaryPath_.c_str(), AT_FDCWD, finalPath.c_str(), flags) != 0) {
            return errno == EEXIST ? ERROR_FILE_EXISTS : ErrorFromErrno(errno);
        }
        close(fd_);
        fd_ = -1;
        temporaryPath_.clear();
        storedPath_ = finalPath;
        return ERROR_SUCCESS;
    }

    void DropTemporary() {
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
        }
        if (!temporaryPath_.empty()) {
            unlink(temporaryPath_.c_str());
            temporaryPath_.clear();
        }
    }

    const std::string address_;
    const std::string folder_;    // ends with '/'
    const std::string fileName_;  // empty: the service names the file
    const std::uint32_t connectTimeoutMs_;
    const bool replaceExisting_;
    const OvkDownloadCallback callback_;
    void* const context_;
    sdk::ProgressPacer pacer_;  // transfer thread only
    std::uint64_t total_ = 0;   // transfer thread only

    mutable std::mutex mutex_;
    State state_ = State::Created;
    int fd_ = -1;
    std::string temporaryPath_;
    std::string storedPath_;
};

}  // namespace

OvkHandle ovkDownloadCreate(const OvkDownloadParams* params) {
    std::shared_ptr<Runtime> runtime = Runtime::Current();
    if (!runtime) {
        return 0;
    }
    if (!params) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::shared_ptr<Session> session = runtime->Find<Session>(params->session);
    if (!session) {
        return 0;
    }
    std::string target = Utf16ToUtf8(sdk::TextOf(params->target));
    std::optional<std::string> address =
        ResolveAddress(session->Config().albumService, Utf16ToUtf8(sdk::TextOf(params->address)));
    if (!address || target.empty() || !params->callback) {
        SetLastError(address ? ERROR_INVALID_PARAMETER : OVK_ERROR_BAD_ADDRESS);
        return 0;
    }
    std::string folder;
    std::string fileName;
    if (params->targetKind == OVK_DOWNLOAD_INTO_DIRECTORY) {
        folder = target.back() == '/' ? target : target + '/';
    } else if (params->targetKind == OVK_DOWNLOAD_TO_FILE && target.back() != '/') {
        std::size_t slash = target.rfind('/');
        folder = slash == std::string::npos ? "./" : target.substr(0, slash + 1);
        fileName = target.substr(slash == std::string::npos ? 0 : slash + 1);
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto download = std::make_shared<Download>(*runtime, *session, std::move(*address),
                                               std::move(folder), std::move(fileName), *params);
    return download->Register(download);
}

OvkBool ovkDownloadStart(OvkHandle handle, std::uint32_t timeoutMs) {
    const sdk::HandleCall<Download> download = sdk::EnterCall<Download>(handle);
    return download && download->Start(download.object, sdk::TimeoutOrDefault(timeoutMs));
}

OvkBool ovkDownloadGetInfo(OvkHandle handle, std::uint32_t /*reserved*/, char16_t** path,
                           std::uint32_t /*reserved2*/) {
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    *path = nullptr;
    const sdk::HandleCall<Download> download = sdk::EnterCall<Download>(handle);
    return download && download->StoredPath(path);
}

}  // namespace tavopix

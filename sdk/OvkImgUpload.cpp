// Picture uploads: one file streamed as the body of one request, with begin, progress and end
// events, and the service's reply kept for the caller.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>

#include "platform/LastError.h"
#include "platform/Utf8.h"
#include "sdk/OvkErrors.h"
#include "sdk/OvkSdk.h"
#include "sdk/internal/Operation.h"
#include "sdk/internal/ProgressPacer.h"
#include "sdk/internal/ResumableSender.h"
#include "sdk/internal/Runtime.h"
#include "sdk/internal/Session.h"
#include "sdk/internal/UrlText.h"
#include "sdk/internal/Utf16Text.h"

namespace tavopix {

namespace {

using sdk::Runtime;
using sdk::Session;
using sdk::TransferOutcome;
using sdk::TransferRequest;

// The title as the program escapes it for JSON texts (a backslash before each special
// character, the character itself unchanged) back to the plain title.
std::u16string PlainTitle(std::u16string_view escaped) {
    std::u16string plain;
    plain.reserve(escaped.size());
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] == u'\\' && i + 1 < escaped.size()) {
            ++i;
        }
        plain += escaped[i];
    }
    return plain;
}

// The largest picture albumd takes as a resumable upload (docs/protocol.md).
constexpr std::uint64_t kResumableMostBytes = 64 * 1024 * 1024;

class ImgUpload final : public sdk::Operation {
public:
    ImgUpload(Runtime& runtime, std::shared_ptr<Session> session, const UploadRequest& request)
        : Operation(runtime.Handles(), runtime.Transfers()),
          session_(std::move(session)),
          filePath_(Utf16ToUtf8(sdk::TextOf(request.filePath))),
          albumId_(Utf16ToUtf8(sdk::TextOf(request.albumId))),
          title_(Utf16ToUtf8(PlainTitle(sdk::TextOf(request.title)))),
          callback_(request.callback),
          contentHash_(Utf16ToUtf8(sdk::TextOf(request.contentHash))),
          allowDuplicate_((request.flags & OVK_UPLOAD_ALLOW_DUPLICATE) != 0),
          context_(request.context),
          pacer_(request.progressIntervalMs) {}

    ~ImgUpload() override {
        if (fd_ >= 0) {
            close(fd_);
        }
    }

    bool Start(const std::shared_ptr<ImgUpload>& self, std::uint32_t timeoutMs) {
        std::lock_guard lock(mutex_);
        if (state_ != State::Created) {
            SetLastError(ERROR_BUSY);
            return false;
        }
        fd_ = open(filePath_.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        struct stat info {};
        if (fd_ < 0 || fstat(fd_, &info) != 0) {
            return FailStart(SetLastErrorFromErrno());
        }
        if (!S_ISREG(info.st_mode)) {
            return FailStart(ERROR_ACCESS_DENIED);
        }
        const auto size = static_cast<std::uint64_t>(info.st_size);
        // Beyond what albumd takes in pieces (its Tus-Max-Size), the one request gets the plain
        // refusal of a picture too large, not a tus 413 that would read as a full space.
        if (size >= session_->Config().resumableFromBytes && size <= kResumableMostBytes) {
            return StartResumable(self, info, timeoutMs);
        }
        TransferRequest request;
        request.url = session_->Config().albumService +
                      "api/upload?album_id=" + sdk::PercentEncode(albumId_) +
                      "&name=" + sdk::PercentEncode(title_);
        if (!contentHash_.empty()) {
            request.url += "&content_hash=" + sdk::PercentEncode(contentHash_);
        }
        if (allowDuplicate_) {
            request.url += "&allow_duplicate=1";
        }
        request.post = true;
        request.headers = {"Content-Type: application/octet-stream"};
        if (std::string authorization = session_->AuthorizationHeader(); !authorization.empty()) {
            request.headers.push_back(std::move(authorization));
        }
        request.bodyFd = fd_;
        request.bodySize = static_cast<std::uint64_t>(info.st_size);
        request.timeoutMs = timeoutMs;
        request.timeoutKind = sdk::TimeoutKind::Silence;
        request.connectTimeoutMs = session_->Config().connectTimeoutMs;
        if (!Submit(self, std::move(request))) {
            return FailStart(GetLastError());
        }
        state_ = State::Running;
        return true;
    }

    void OnTransferBegin() override {
        // A resumable upload is several exchanges; the picture's transfer begins once.
        if (begun_) {
            return;
        }
        begun_ = true;
        pacer_.Begin();
        Deliver([&] {
            SetLastError(ERROR_SUCCESS);
            callback_(context_, OVK_EVENT_BEGIN, 0);
        });
    }

    void OnTransferProgress(std::uint64_t sent, std::uint64_t, std::uint64_t) override {
        if (sender_) {
            // Nothing moves while the service is away, whatever was counted before the break.
            if (sender_->Waiting()) {
                return;
            }
            sent += sender_->BodyStart();
        }
        if (std::optional<std::uint64_t> due = pacer_.Offer(sent)) {
            Deliver([&] {
                SetLastError(ERROR_SUCCESS);
                callback_(context_, OVK_EVENT_PROGRESS, *due);
            });
        }
    }

    void OnTransferDone(TransferOutcome&& outcome) override {
        if (sender_ && !OnResumableStep(std::move(outcome))) {
            return;
        }
        {
            std::lock_guard lock(mutex_);
            status_ = outcome.httpStatus;
            reply_ = Utf8ToUtf16(outcome.reply);
            state_ = State::Done;
        }
        bool succeeded = outcome.Succeeded();
        std::uint32_t error = succeeded ? ERROR_SUCCESS : outcome.FailureCode();
        std::uint64_t sent = pacer_.Highest(outcome.bytesSent);
        Deliver([&] {
            SetLastError(error);
            callback_(context_, succeeded ? OVK_EVENT_SUCCEEDED : OVK_EVENT_FAILED, sent);
        });
    }

    bool Info(char16_t** reply, std::uint32_t* status) const {
        std::lock_guard lock(mutex_);
        if (status) {
            *status = status_;
        }
        if (state_ != State::Done) {
            SetLastError(ERROR_BUSY);
            return false;
        }
        if (status_ == 0) {
            SetLastError(OVK_ERROR_TIMEOUT);
            return false;
        }
        if (!sdk::HandOutText(reply_, reply)) {
            return false;
        }
        return true;
    }

private:
    enum class State { Created, Running, Done };

    bool StartResumable(const std::shared_ptr<ImgUpload>& self, const struct stat& info,
                        std::uint32_t timeoutMs) {
        sdk::ResumableSetup setup;
        setup.service = session_->Config().albumService;
        setup.authorization = session_->AuthorizationHeader();
        setup.albumId = albumId_;
        setup.title = title_;
        setup.contentHash = contentHash_;
        setup.allowDuplicate = allowDuplicate_;
        setup.fd = fd_;
        setup.size = static_cast<std::uint64_t>(info.st_size);
        setup.resumeKey = albumId_ + '\n' + contentHash_ + '\n' + filePath_ + '\n' +
                          std::to_string(info.st_size) + '\n' +
                          std::to_string(info.st_mtim.tv_sec) + '.' +
                          std::to_string(info.st_mtim.tv_nsec);
        setup.timeoutMs = timeoutMs;
        setup.connectTimeoutMs = session_->Config().connectTimeoutMs;
        size_ = setup.size;
        sender_ = std::make_unique<sdk::ResumableSender>(std::move(setup));
        self_ = self;
        if (!Submit(self, sender_->Begin().request)) {
            sender_.reset();
            return FailStart(GetLastError());
        }
        state_ = State::Running;
        return true;
    }

    // The next exchange of a resumable upload, on the transfer thread. True when the upload
    // has ended and `outcome` now holds its final answer.
    bool OnResumableStep(TransferOutcome&& outcome) {
        sdk::ResumableSender::Step step =
            sender_->OnOutcome(std::move(outcome), sdk::ResumableSender::Clock::now());
        if (step.kind == sdk::ResumableSender::Step::Kind::Finished) {
            outcome = TransferOutcome{};
            outcome.httpStatus = step.status;
            outcome.error = step.error;
            outcome.reply = std::move(step.reply);
            outcome.bytesSent = outcome.Succeeded() ? size_ : sender_->Held();
            return true;
        }
        if (step.outageBegins) {
            const std::uint64_t shown = pacer_.Highest(0);
            Deliver([&] {
                SetLastError(ERROR_SUCCESS);
                callback_(context_, OVK_EVENT_WAITING, shown);
            });
        }
        const std::shared_ptr<ImgUpload> self = self_.lock();
        if (self && SubmitAfter(self, step.delay, std::move(step.request))) {
            return false;
        }
        outcome = TransferOutcome{};
        outcome.error = GetLastError();
        return true;
    }

    bool FailStart(std::uint32_t error) {
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
        }
        SetLastError(error);
        return false;
    }

    const std::shared_ptr<Session> session_;
    const std::string filePath_;
    const std::string albumId_;
    const std::string title_;
    const OvkUploadCallback callback_;
    const std::string contentHash_;
    const bool allowDuplicate_;
    void* const context_;
    sdk::ProgressPacer pacer_;  // transfer thread only
    // A resumable upload's steps; set before its first exchange, then the transfer thread's.
    std::unique_ptr<sdk::ResumableSender> sender_;
    std::weak_ptr<ImgUpload> self_;
    std::uint64_t size_ = 0;
    bool begun_ = false;  // transfer thread only

    mutable std::mutex mutex_;
    State state_ = State::Created;
    int fd_ = -1;  // the picture, open from the start until the object goes
    std::uint32_t status_ = 0;
    std::u16string reply_;
};

}  // namespace

OvkHandle ovkImgUploadCreate(const UploadRequest* request) {
    std::shared_ptr<Runtime> runtime = Runtime::Current();
    if (!runtime) {
        return 0;
    }
    if (!request) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::shared_ptr<Session> session = runtime->Find<Session>(request->session);
    if (!session) {
        return 0;
    }
    if (sdk::TextOf(request->filePath).empty() || sdk::TextOf(request->albumId).empty() ||
        !request->callback) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto upload = std::make_shared<ImgUpload>(*runtime, std::move(session), *request);
    return upload->Register(upload);
}

OvkBool ovkImgUploadStart(OvkHandle handle, std::uint32_t timeoutMs) {
    const sdk::HandleCall<ImgUpload> upload = sdk::EnterCall<ImgUpload>(handle);
    return upload && upload->Start(upload.object, sdk::TimeoutOrDefault(timeoutMs));
}

OvkBool ovkImgUploadInfo(OvkHandle handle, std::uint32_t /*reserved*/, char16_t** reply,
                         std::uint32_t* status) {
    if (status) {
        *status = 0;
    }
    if (!reply) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    *reply = nullptr;
    const sdk::HandleCall<ImgUpload> upload = sdk::EnterCall<ImgUpload>(handle);
    return upload && upload->Info(reply, status);
}

}  // namespace tavopix

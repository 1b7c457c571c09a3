#include "update/DownloadWorker.h"

#include <utility>

#include "platform/MessageQueue.h"
#include "update/UpdateMessages.h"

namespace tavopix {
namespace {

constexpr std::uint32_t kDownloadTimeoutMs = 30000;

}  // namespace

DownloadWorker::DownloadWorker(std::initializer_list<UINT> dropOnStop) : worker_(dropOnStop) {}

DownloadWorker::~DownloadWorker() {
    Halt();
}

bool DownloadWorker::Launch(HWND window, std::function<void()> body) {
    return worker_.Start(window, std::move(body));
}

void DownloadWorker::Halt() {
    worker_.Stop();
}

bool DownloadWorker::RunDownload(OvkDownloadParams params, HWND progressWindow,
                                 const std::function<void(OvkHandle)>& onSuccess) {
    progressWindow_ = progressWindow;
    params.callback = &DownloadWorker::OnDownloadEvent;
    params.context = this;
    const OvkHandle handle = ovkDownloadCreate(&params);
    if (handle == 0)
        return false;
    bool success = false;
    inProgress_ = true;
    succeeded_ = false;
    if (ovkDownloadStart(handle, kDownloadTimeoutMs)) {
        success = worker_.WaitUntil([this] { return !inProgress_; }) && succeeded_;
        if (success)
            onSuccess(handle);
    }
    // Once closed, the handle's completion runs no more, so nothing touches this worker late.
    ovkCloseHandle(handle);
    return success;
}

void DownloadWorker::OnDownloadEvent(void* context, std::uint32_t event, std::uint64_t received,
                                     std::uint64_t total) {
    auto* worker = static_cast<DownloadWorker*>(context);
    switch (event) {
        case OVK_EVENT_FAILED:
            worker->succeeded_ = false;
            worker->inProgress_ = false;
            worker->worker_.Wake();
            break;
        case OVK_EVENT_SUCCEEDED:
            worker->succeeded_ = true;
            worker->inProgress_ = false;
            worker->worker_.Wake();
            break;
        case OVK_EVENT_PROGRESS:
            if (const HWND window = worker->progressWindow_.load())
                PostMessage(window, WM_UPDATE_PROGRESS, static_cast<WPARAM>(received),
                            static_cast<LPARAM>(total));
            break;
        default:
            break;
    }
}

}  // namespace tavopix

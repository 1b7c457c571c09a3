// A worker thread around one SDK file download, the common ground of the version check and the
// package download.
//
// The UI thread starts and stops the worker; the SDK's transfer thread (the download's
// completion) sets `inProgress` and `succeeded` and wakes the worker thread, which waits for
// them. Halt asks, waits for the thread to end and joins it, then drops the messages of the
// numbers given at construction still queued for the window of the run, so once it returns
// nothing of the run is left to arrive.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>

#include "platform/StoppableWorker.h"
#include "platform/WinTypes.h"
#include "platform/WindowHandle.h"
#include "sdk/OvkSdk.h"

namespace tavopix {

class DownloadWorker {
public:
    // `dropOnStop`: the message numbers a halt drops from the window's queue.
    explicit DownloadWorker(std::initializer_list<UINT> dropOnStop);
    ~DownloadWorker();
    DownloadWorker(const DownloadWorker&) = delete;
    DownloadWorker& operator=(const DownloadWorker&) = delete;

    bool IsRunning() const { return worker_.Running(); }

protected:
    // Stops a running thread of this worker, then runs `body`, which posts to `window`, on a
    // new one; false when no thread could be started (the worker is then not running and
    // `body` never runs).
    [[nodiscard]] bool Launch(HWND window, std::function<void()> body);
    // Asks the thread to stop, waits until it has ended and drops its queued messages. UI thread.
    void Halt();
    bool StopRequested() const { return worker_.StopRequested(); }

    // Runs one download of `params` (its callback and context are this worker's) until it ends
    // or a stop is requested; `onSuccess` sees the handle of a download that succeeded while no
    // stop was requested. The handle is closed before this returns. True on such a success.
    // `progressWindow` (may be null) receives WM_UPDATE_PROGRESS for every progress event.
    bool RunDownload(OvkDownloadParams params, HWND progressWindow,
                     const std::function<void(OvkHandle)>& onSuccess);

private:
    static void OnDownloadEvent(void* context, std::uint32_t event, std::uint64_t received,
                                std::uint64_t total);

    std::atomic<bool> inProgress_{false};
    std::atomic<bool> succeeded_{false};
    std::atomic<HWND> progressWindow_{};
    StoppableWorker worker_;
};

}  // namespace tavopix

// A worker thread around one SDK file download, the common ground of the version check and the
// package download.
//
// The worker's flags are shared without locks between the UI thread (which starts and stops
// it), the worker thread and the SDK's transfer thread (the download's completion): `running`
// while the thread lives, `stopRequest` set by Stop, `inProgress` and `succeeded` set by the
// completion. Stop asks, waits for the thread to end and joins it, so once it returns the
// thread has posted its last message; the caller then drops what is still queued.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "platform/WindowHandle.h"
#include "sdk/OvkSdk.h"

namespace tavopix {

class DownloadWorker {
public:
    DownloadWorker() = default;
    ~DownloadWorker();
    DownloadWorker(const DownloadWorker&) = delete;
    DownloadWorker& operator=(const DownloadWorker&) = delete;

    bool IsRunning() const { return running_.load(); }

protected:
    // Stops a running thread of this worker, then runs `body` on a new one; false when no
    // thread could be started (the worker is then not running and `body` never runs).
    [[nodiscard]] bool Launch(std::function<void()> body);
    // Asks the thread to stop and waits until it has ended. UI thread.
    void Halt();
    bool StopRequested() const { return stopRequest_.load(); }

    // Runs one download of `params` (its callback and context are this worker's) until it ends
    // or a stop is requested; `onSuccess` sees the handle of a download that succeeded while no
    // stop was requested. The handle is closed before this returns. True on such a success.
    // `progressWindow` (may be null) receives WM_UPDATE_PROGRESS for every progress event.
    bool RunDownload(OvkDownloadParams params, HWND progressWindow,
                     const std::function<void(OvkHandle)>& onSuccess);

private:
    static void OnDownloadEvent(void* context, std::uint32_t event, std::uint64_t received,
                                std::uint64_t total);

    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stopRequest_{false};
    std::atomic<bool> inProgress_{false};
    std::atomic<bool> succeeded_{false};
    std::atomic<HWND> progressWindow_{};
};

}  // namespace tavopix

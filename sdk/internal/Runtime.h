// The SDK's process-wide state between ovkStartup and ovkCleanup: the loaded configuration, the
// handle table and the transfer thread. Every exported function takes the current runtime with
// Runtime::Current() and keeps it alive for the length of the call.
#pragma once

#include <memory>
#include <mutex>

#include "platform/LastError.h"
#include "sdk/internal/HandleTable.h"
#include "sdk/internal/SdkConfig.h"
#include "sdk/internal/TransferThread.h"

namespace tavopix::sdk {

class Runtime {
public:
    // The running SDK; null (with the last error set to ERROR_NOT_READY) before ovkStartup.
    [[nodiscard]] static std::shared_ptr<Runtime> Current();

    // Starts the SDK unless it runs; false with the last error set when it cannot.
    [[nodiscard]] static bool Start();

    // Abandons everything and stops; no callback runs once it has returned. Not from a callback.
    [[nodiscard]] static bool Stop();

    HandleTable& Handles() { return handles_; }

    // The object of a handle of kind T; null with ERROR_INVALID_HANDLE when there is none.
    template <class T>
    [[nodiscard]] std::shared_ptr<T> Find(std::uint32_t handle) const {
        std::shared_ptr<T> object = handles_.FindAs<T>(handle);
        if (!object) {
            SetLastError(ERROR_INVALID_HANDLE);
        }
        return object;
    }

    TransferThread& Transfers() { return transfers_; }

    // The configuration loaded last; null before ovkLoadCfg succeeded.
    [[nodiscard]] std::shared_ptr<const SdkConfig> Config() const;
    void SetConfig(SdkConfig config);

private:
    HandleTable handles_;
    TransferThread transfers_;
    mutable std::mutex configMutex_;
    std::shared_ptr<const SdkConfig> config_;
};

// How every exported call on a handle starts: the running SDK, held for the length of the call,
// and the object of the handle. False, with the last error set, before ovkStartup or when the
// handle is not one of kind T.
template <class T>
struct HandleCall {
    std::shared_ptr<Runtime> runtime;
    std::shared_ptr<T> object;

    explicit operator bool() const { return object != nullptr; }
    T* operator->() const { return object.get(); }
};

template <class T>
[[nodiscard]] HandleCall<T> EnterCall(std::uint32_t handle) {
    HandleCall<T> call{Runtime::Current(), nullptr};
    if (call.runtime) {
        call.object = call.runtime->template Find<T>(handle);
    }
    return call;
}

}  // namespace tavopix::sdk

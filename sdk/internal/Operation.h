// An SDK handle whose work is one background transfer: a login, an OpenApi request, an upload
// or a download. It owns the handle's registration, the transfer's id for abandoning it, and
// the delivery of the callbacks through the handle table's gate.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "sdk/internal/HandleTable.h"
#include "sdk/internal/Transfer.h"
#include "sdk/internal/TransferThread.h"

namespace tavopix::sdk {

class Operation : public HandleObject, public TransferObserver {
public:
    Operation(HandleTable& handles, TransferThread& transfers)
        : handles_(handles), transfers_(transfers) {}

    // Puts the operation into the handle table; its handle, or 0 (with the last error set).
    [[nodiscard]] std::uint32_t Register(const std::shared_ptr<Operation>& self);

    std::uint32_t Handle() const { return handle_; }

    void Abandon() override {
        abandoned_ = true;
        transfers_.Cancel(transfer_);
    }

protected:
    // Hands the transfer to the transfer thread; false (with the last error set) when it
    // cannot. Register first: callbacks need the handle.
    [[nodiscard]] bool Submit(const std::shared_ptr<Operation>& self, TransferRequest request);
    // The same, once `delay` has passed. Either replaces the transfer that Abandon drops.
    [[nodiscard]] bool SubmitAfter(const std::shared_ptr<Operation>& self,
                                   std::chrono::milliseconds delay, TransferRequest request);

    // Runs `delivery` on the transfer thread unless the handle has been closed.
    bool Deliver(const std::function<void()>& delivery) {
        return handles_.Deliver(handle_, delivery);
    }

    HandleTable& handles_;

private:
    TransferThread& transfers_;
    std::uint32_t handle_ = 0;
    std::atomic<std::uint64_t> transfer_ = 0;
    // Set by Abandon; a transfer submitted after it (the next step of a sequence) is dropped.
    std::atomic<bool> abandoned_ = false;
};

}  // namespace tavopix::sdk

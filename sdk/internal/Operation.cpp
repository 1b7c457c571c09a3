#include "sdk/internal/Operation.h"

#include "platform/LastError.h"

namespace tavopix::sdk {

std::uint32_t Operation::Register(const std::shared_ptr<Operation>& self) {
    handle_ = handles_.Add(self);
    if (handle_ == 0) {
        SetLastError(ERROR_NOT_READY);
    }
    return handle_;
}

bool Operation::Submit(const std::shared_ptr<Operation>& self, TransferRequest request) {
    std::uint64_t transfer = transfers_.Submit(std::move(request), self);
    transfer_ = transfer;
    if (abandoned_) {
        transfers_.Cancel(transfer);
    }
    return transfer != 0;
}

bool Operation::SubmitAfter(const std::shared_ptr<Operation>& self, std::chrono::milliseconds delay,
                            TransferRequest request) {
    std::uint64_t transfer = transfers_.SubmitAfter(delay, std::move(request), self);
    transfer_ = transfer;
    if (abandoned_) {
        transfers_.Cancel(transfer);
    }
    return transfer != 0;
}

}  // namespace tavopix::sdk

#include "sdk/internal/TransferThread.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "platform/LastError.h"

namespace tavopix::sdk {

namespace {
// How long the thread sleeps at most when nothing happens; libcurl's own timers wake it sooner.
constexpr int kIdleWaitMs = 1000;
}  // namespace

TransferThread::~TransferThread() {
    Stop();
}

bool TransferThread::Start() {
    multi_ = curl_multi_init();
    if (!multi_) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        curl_multi_cleanup(multi_);
        multi_ = nullptr;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    threadId_ = thread_.get_id();
    return true;
}

void TransferThread::Stop() {
    if (!thread_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    curl_multi_wakeup(multi_);
    thread_.join();
    curl_multi_cleanup(multi_);
    multi_ = nullptr;
}

std::uint64_t TransferThread::Submit(TransferRequest request,
                                     std::shared_ptr<TransferObserver> observer) {
    auto transfer = std::make_unique<Transfer>(std::move(request), std::move(observer));
    if (!transfer->Prepare()) {
        return 0;
    }
    std::uint64_t id = 0;
    {
        std::lock_guard lock(mutex_);
        if (stopping_ || !multi_) {
            SetLastError(ERROR_NOT_READY);
            return 0;
        }
        id = ++lastId_;
        toAdd_.emplace_back(id, std::move(transfer));
        curl_multi_wakeup(multi_);  // under the lock, so Stop cannot free the handle meanwhile
    }
    return id;
}

std::uint64_t TransferThread::SubmitAfter(std::chrono::milliseconds delay, TransferRequest request,
                                          std::shared_ptr<TransferObserver> observer) {
    auto transfer = std::make_unique<Transfer>(std::move(request), std::move(observer));
    if (!transfer->Prepare()) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    if (stopping_ || !multi_) {
        SetLastError(ERROR_NOT_READY);
        return 0;
    }
    const std::uint64_t id = ++lastId_;
    toDelay_.push_back({std::chrono::steady_clock::now() + delay, id, std::move(transfer)});
    curl_multi_wakeup(multi_);
    return id;
}

void TransferThread::Cancel(std::uint64_t id) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            return;
        }
        toCancel_.push_back(id);
        curl_multi_wakeup(multi_);
    }
}

bool TransferThread::IsCurrentThread() const {
    return std::this_thread::get_id() == threadId_;
}

void TransferThread::Run() {
    for (;;) {
        TakeCommands();
        {
            std::lock_guard lock(mutex_);
            if (stopping_) {
                break;
            }
        }
        int stillRunning = 0;
        curl_multi_perform(multi_, &stillRunning);
        FinishDone();
        const int wait = std::min(ExpireSilent(), StartDue());
        curl_multi_poll(multi_, nullptr, 0, wait, nullptr);
    }
    for (auto& [id, transfer] : running_) {
        curl_multi_remove_handle(multi_, transfer->Easy());
    }
    running_.clear();
    idOfEasy_.clear();
    delayed_.clear();
    std::lock_guard lock(mutex_);
    toAdd_.clear();
    toDelay_.clear();
}

void TransferThread::TakeCommands() {
    std::vector<std::pair<std::uint64_t, std::unique_ptr<Transfer>>> toAdd;
    std::vector<std::uint64_t> toCancel;
    {
        std::lock_guard lock(mutex_);
        toAdd.swap(toAdd_);
        toCancel.swap(toCancel_);
        for (Delayed& delayed : toDelay_) {
            delayed_.push_back(std::move(delayed));
        }
        toDelay_.clear();
    }
    for (auto& [id, transfer] : toAdd) {
        if (curl_multi_add_handle(multi_, transfer->Easy()) != CURLM_OK) {
            TransferOutcome outcome;
            outcome.error = ERROR_NOT_ENOUGH_MEMORY;
            transfer->Observer()->OnTransferDone(std::move(outcome));
            continue;
        }
        transfer->Observer()->OnTransferBegin();
        idOfEasy_.emplace(transfer->Easy(), id);
        running_.emplace(id, std::move(transfer));
    }
    for (std::uint64_t id : toCancel) {
        std::erase_if(delayed_, [id](const Delayed& delayed) { return delayed.id == id; });
        auto found = running_.find(id);
        if (found != running_.end()) {
            curl_multi_remove_handle(multi_, found->second->Easy());
            idOfEasy_.erase(found->second->Easy());
            running_.erase(found);
        }
    }
}

void TransferThread::FinishDone() {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        auto id = idOfEasy_.find(message->easy_handle);
        if (message->msg == CURLMSG_DONE && id != idOfEasy_.end()) {
            Finish(id->second, message->data.result);
        }
    }
}

int TransferThread::StartDue() {
    const auto now = std::chrono::steady_clock::now();
    std::chrono::milliseconds sleep(kIdleWaitMs);
    std::vector<std::pair<std::uint64_t, std::unique_ptr<Transfer>>> due;
    for (auto it = delayed_.begin(); it != delayed_.end();) {
        if (it->due <= now) {
            due.emplace_back(it->id, std::move(it->transfer));
            it = delayed_.erase(it);
        } else {
            sleep = std::min(sleep, std::chrono::ceil<std::chrono::milliseconds>(it->due - now));
            ++it;
        }
    }
    if (!due.empty()) {
        // Started like freshly submitted work, at the next turn of the loop.
        std::lock_guard lock(mutex_);
        for (auto& entry : due) {
            toAdd_.push_back(std::move(entry));
        }
        return 0;
    }
    return static_cast<int>(sleep.count());
}

int TransferThread::ExpireSilent() {
    auto now = std::chrono::steady_clock::now();
    std::chrono::milliseconds sleep(kIdleWaitMs);
    std::vector<std::uint64_t> expired;
    for (const auto& [id, transfer] : running_) {
        if (std::optional<std::chrono::milliseconds> left = transfer->SilenceLeft(now)) {
            if (left->count() == 0) {
                expired.push_back(id);
            }
            sleep = std::min(sleep, *left);
        }
    }
    for (std::uint64_t id : expired) {
        Finish(id, CURLE_OPERATION_TIMEDOUT);
    }
    return static_cast<int>(std::max(sleep.count(), std::chrono::milliseconds::rep(1)));
}

void TransferThread::Finish(std::uint64_t id, CURLcode code) {
    auto found = running_.find(id);
    std::unique_ptr<Transfer> transfer = std::move(found->second);
    running_.erase(found);
    idOfEasy_.erase(transfer->Easy());
    curl_multi_remove_handle(multi_, transfer->Easy());
    // The transfer stays alive while its observer hears the outcome and is dropped after.
    transfer->Observer()->OnTransferDone(transfer->Finish(code));
}

}  // namespace tavopix::sdk

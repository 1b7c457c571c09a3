// The SDK's transfer thread: one thread driving one libcurl multi handle, on which every
// background exchange runs and every callback to the program is made. Other threads hand it
// work and cancellations through a small command queue and wake it up; only this thread touches
// the multi handle and the easy handles added to it.
//
// A finished transfer reports OnTransferDone to its observer; a cancelled one (or one still
// running when the thread stops) reports nothing and is simply dropped.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "sdk/internal/Transfer.h"

namespace tavopix::sdk {

class TransferThread {
public:
    TransferThread() = default;
    ~TransferThread();
    TransferThread(const TransferThread&) = delete;
    TransferThread& operator=(const TransferThread&) = delete;

    // False (with the last error set) when the multi handle or the thread cannot be made.
    [[nodiscard]] bool Start();

    // Drops every transfer without reporting and joins the thread.
    void Stop();

    // Queues a transfer; its id for Cancel, or 0 (with the last error set) when it cannot be
    // set up. Any thread.
    [[nodiscard]] std::uint64_t Submit(TransferRequest request,
                                       std::shared_ptr<TransferObserver> observer);
    // The same, started once `delay` has passed (a retry's back-off).
    [[nodiscard]] std::uint64_t SubmitAfter(std::chrono::milliseconds delay,
                                            TransferRequest request,
                                            std::shared_ptr<TransferObserver> observer);

    // Drops the transfer without reporting, if it has not reported yet. Any thread, callbacks
    // included.
    void Cancel(std::uint64_t id);

    [[nodiscard]] bool IsCurrentThread() const;

private:
    // A transfer that starts once its time has come.
    struct Delayed {
        std::chrono::steady_clock::time_point due;
        std::uint64_t id;
        std::unique_ptr<Transfer> transfer;
    };

    void Run();
    void TakeCommands();
    void FinishDone();
    // Hands the delayed transfers that are due to the multi handle; how long the thread may
    // sleep until the next one is.
    int StartDue();
    // Ends the transfers that stayed silent too long; how long the thread may sleep until the
    // next one would.
    int ExpireSilent();
    void Finish(std::uint64_t id, CURLcode code);

    std::mutex mutex_;
    std::vector<std::pair<std::uint64_t, std::unique_ptr<Transfer>>> toAdd_;
    std::vector<Delayed> toDelay_;
    std::vector<std::uint64_t> toCancel_;
    std::uint64_t lastId_ = 0;
    bool stopping_ = false;

    CURLM* multi_ = nullptr;
    std::thread thread_;
    std::thread::id threadId_;
    // Owned by the thread: the transfers in the multi handle, by id and by easy handle.
    std::unordered_map<std::uint64_t, std::unique_ptr<Transfer>> running_;
    std::unordered_map<CURL*, std::uint64_t> idOfEasy_;
    std::vector<Delayed> delayed_;  // waiting for their time
};

}  // namespace tavopix::sdk

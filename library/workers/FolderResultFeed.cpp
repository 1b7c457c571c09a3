#include "library/workers/FolderResultFeed.h"

#include <utility>

#include "library/LibraryMessages.h"
#include "platform/Clock.h"
#include "platform/MessageQueue.h"
#include "platform/OwnedRecord.h"

namespace tavopix {

FolderResultFeed::FolderResultFeed(Setup setup) : setup_(std::move(setup)) {
    RegisterMessageRecord(WM_FOLDER_RESULT, &DeleteWParamRecord<FolderResult>);
}

FolderResultFeed::~FolderResultFeed() {
    DisarmTimer();
}

void FolderResultFeed::Take(std::unique_ptr<FolderResult> result) {
    if (!result) {
        return;
    }
    if (setup_.applyAtOnce && setup_.applyAtOnce(*result)) {
        setup_.apply(*result);
    } else {
        pending_.push_back(std::move(result));
    }
}

void FolderResultFeed::Collect() {
    MSG msg;
    while (PeekMessage(&msg, setup_.window, WM_FOLDER_RESULT, WM_FOLDER_RESULT, PM_REMOVE)) {
        Take(TakeOwned<FolderResult>(msg.wParam));
    }
}

void FolderResultFeed::ArmTimer() {
    if (!timerArmed_) {
        timerArmed_ = SetTimer(setup_.window, FOLDER_RESULTS_TIMER, setup_.pauseMs) != 0;
    }
}

void FolderResultFeed::DisarmTimer() {
    if (timerArmed_) {
        KillTimer(setup_.window, FOLDER_RESULTS_TIMER);
        timerArmed_ = false;
    }
}

void FolderResultFeed::TakeQueued() {
    Collect();
    if (!pending_.empty()) {
        ArmTimer();
    }
}

void FolderResultFeed::OnFolderResult(WPARAM record) {
    Take(TakeOwned<FolderResult>(record));
    Collect();
    // With the next slice already timed, this result waits for it.
    if (!timerArmed_) {
        ApplySlice();
    }
}

bool FolderResultFeed::OnTimer(UINT_PTR id) {
    if (id != FOLDER_RESULTS_TIMER) {
        return false;
    }
    DisarmTimer();
    Collect();
    ApplySlice();
    return true;
}

void FolderResultFeed::ApplyFront() {
    // Off the list before it is applied, so nothing the tree does meanwhile sees it twice.
    const std::unique_ptr<FolderResult> result = std::move(pending_.front());
    pending_.pop_front();
    setup_.apply(*result);
}

void FolderResultFeed::ApplySlice() {
    const std::uint32_t start = GetTickCount();
    for (std::size_t applied = 0; !pending_.empty();) {
        ApplyFront();
        if (++applied >= setup_.sliceResults || GetTickCount() - start >= setup_.sliceMs) {
            break;
        }
    }
    if (pending_.empty()) {
        RunDone();
    } else {
        ArmTimer();
    }
}

void FolderResultFeed::RunDone() {
    if (done_) {
        const std::function<void()> done = std::move(done_);
        done_ = nullptr;
        done();
    }
}

void FolderResultFeed::WhenApplied(std::function<void()> done) {
    done_ = std::move(done);
    if (pending_.empty()) {
        RunDone();
    }
}

void FolderResultFeed::ApplyAll() {
    DisarmTimer();
    Collect();
    while (!pending_.empty()) {
        ApplyFront();
    }
    RunDone();
}

void FolderResultFeed::Drop() {
    DisarmTimer();
    DiscardQueuedMessages(setup_.window, WM_FOLDER_RESULT, WM_FOLDER_RESULT);
    pending_.clear();
    done_ = nullptr;
}

}  // namespace tavopix

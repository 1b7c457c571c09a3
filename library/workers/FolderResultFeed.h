// The folder results on their way from the workers into the main window's tree. The search
// posts one WM_FOLDER_RESULT per folder, thousands of them in a burst; applied one dispatched
// message each, they would keep every press, key and page answer queued behind the burst waiting
// until all of it was applied. The feed takes every queued WM_FOLDER_RESULT of the window off
// the queue at once, in posting order, into a list of its own and applies it in slices: each
// slice holds the UI thread for at most a few milliseconds and sends the page at most as many
// nodes as it builds well within a frame; then FOLDER_RESULTS_TIMER gives the queued input and
// the page their turn before the next slice.
//
// The results keep their posting order, so the search's children still come before their
// parents; only a result for which `applyAtOnce` holds goes into the tree when it is taken,
// ahead of the older ones (the listing's count of the folder the grid shows: a delete in the grid
// sets that count, and an older count applied after it would undo it).
//
// Every record taken belongs to the feed until it is applied or dropped, and is freed exactly
// once: after applying, by Drop, or with the feed. UI thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

#include "library/data/FolderResult.h"
#include "platform/WinTypes.h"
#include "platform/WindowHandle.h"

namespace tavopix {

class FolderResultFeed {
public:
    struct Setup {
        HWND window;  // receives the results and the feed's timer
        std::function<void(const FolderResult&)> apply;
        std::function<bool(const FolderResult&)> applyAtOnce;
        // A slice ends after this long or this many results, whichever comes first; at least
        // one result is applied per slice.
        std::uint32_t sliceMs = 15;
        std::size_t sliceResults = 100;
        // The pause between two slices.
        std::uint32_t pauseMs = 20;
    };

    explicit FolderResultFeed(Setup setup);
    ~FolderResultFeed();
    FolderResultFeed(const FolderResultFeed&) = delete;
    FolderResultFeed& operator=(const FolderResultFeed&) = delete;

    // WM_FOLDER_RESULT with its record (taken over; null is ignored): takes it and every
    // queued one, then applies a slice unless the next slice is already timed.
    void OnFolderResult(WPARAM record);
    // WM_TIMER: true when it was FOLDER_RESULTS_TIMER, whose slice then went in.
    bool OnTimer(UINT_PTR id);
    // Takes the queued results into the feed's list, where stopping a listing, which drops the
    // queued ones, does not reach them; a later slice applies them.
    void TakeQueued();

    // Runs `done` once every result taken so far has been applied: at once when none waits,
    // otherwise after the last slice. A second call replaces a `done` still waiting.
    void WhenApplied(std::function<void()> done);
    // Takes the queued results and applies everything at once, `done` included.
    void ApplyAll();
    // Frees the waiting and the queued results without applying them and forgets `done`.
    void Drop();

    // Results wait to be applied.
    bool Pending() const { return !pending_.empty(); }
    // A `done` waits for them.
    bool DoneWaiting() const { return static_cast<bool>(done_); }

private:
    void Take(std::unique_ptr<FolderResult> result);
    void Collect();
    void ApplySlice();
    void ApplyFront();
    void ArmTimer();
    void DisarmTimer();
    void RunDone();

    Setup setup_;
    std::deque<std::unique_ptr<FolderResult>> pending_;
    std::function<void()> done_;
    bool timerArmed_ = false;
};

}  // namespace tavopix

// The thumbnail worker: one thread for the life of the main window that makes the thumbnails
// of the grid's visible items (with helper threads, one per processor, making a range's
// thumbnails ahead while it works on that range) and hands each finished item to the UI thread
// (WM_THUMBNAIL_READY) one at a time, in list order, waiting until the grid shows it.
//
// Its state word lives under its own lock:
//   0 no thread, 1 working on the visible range, 2 parked, 3 stop requested,
//   5 pause requested (the thread parks and acknowledges by setting the parked event).
// The parked thread waits on the worker for the state to leave Parked; a manual-reset event tells
// the UI thread that the thread has parked (or ended). The item list may be
// changed only while the worker is paused; a resume takes the visible range anew.
//
// Start, Pause and Stop run on the UI thread; the search reads Working from its own thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>

#include "platform/ManualResetEvent.h"
#include "platform/StoppableWorker.h"
#include "platform/WindowHandle.h"

namespace tavopix {

class ItemList;

enum class ThumbResume { No, Yes };

class ThumbnailWorker {
public:
    enum State : int {
        NoThread = 0,
        Working = 1,
        Parked = 2,
        StopRequested = 3,
        PauseRequested = 5
    };

    // The grid's visible range, computed on the UI thread (the grid knows its geometry): the
    // first and last item index, inclusive; false when there is nothing to show.
    using RangeSource = std::function<bool(std::size_t& first, std::size_t& last)>;

    ThumbnailWorker(HWND window, ItemList& items, RangeSource range);
    ~ThumbnailWorker();
    ThumbnailWorker(const ThumbnailWorker&) = delete;
    ThumbnailWorker& operator=(const ThumbnailWorker&) = delete;

    // Starts the thread and waits until it has parked; false when it cannot be created.
    bool Start();
    // Parks the thread (waiting for its acknowledgement) and drops the items it has handed over
    // but the UI thread has not taken yet; with ThumbResume::Yes it then starts over on the
    // visible range, when there is one.
    void Pause(ThumbResume resume);
    // Ends the thread; at main-window close, after a pause.
    void Stop();

    State CurrentState() const { return static_cast<State>(state_.load()); }
    bool IsWorking() const { return state_ == Working; }

private:
    // A guessed range's thumbnails are only made, never handed over.
    enum class HandOver { No, Yes };

    void Run();
    void WorkOnRange(std::size_t first, std::size_t last, HandOver handOver, unsigned workedOn);
    // While the grid works out its visible range (which waits for the browser to lay out a new
    // grid), the worker makes the thumbnails of a guess: as many items as the widest range so
    // far, from where the last one began. False when there is nothing to guess from.
    bool StartGuess();
    // Parks a working thread and waits for its acknowledgement.
    void Park();

    HWND window_;
    ItemList& items_;
    RangeSource range_;
    std::mutex lock_;
    std::atomic<int> state_{NoThread};  // written under lock_, read anywhere
    ManualResetEvent parked_;
    std::size_t first_ = 0;  // the range, under lock_
    std::size_t last_ = 0;
    std::atomic<unsigned> resumes_{0};  // written under lock_: how many resumes there were
    std::size_t widest_ = 0;            // under lock_: the most items a range held
    bool guessing_ = false;             // under lock_: the range is a guess
    StoppableWorker worker_;
};

}  // namespace tavopix

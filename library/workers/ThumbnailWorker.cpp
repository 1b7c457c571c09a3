#include "library/workers/ThumbnailWorker.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "library/LibraryMessages.h"
#include "library/data/ItemList.h"
#include "library/data/ItemThumbnail.h"
#include "platform/MessageQueue.h"

namespace tavopix {
namespace {

// The grid shows an item within a millisecond or two of its message; every hand-over waits for
// that, so a longer look would add itself once per cell of the first screen.
constexpr std::uint32_t kShownPollMs = 1;

}  // namespace

ThumbnailWorker::ThumbnailWorker(HWND window, ItemList& items, RangeSource range)
    : window_(window), items_(items), range_(std::move(range)) {}

ThumbnailWorker::~ThumbnailWorker() {
    Stop();
}

bool ThumbnailWorker::Start() {
    Stop();
    {
        const std::lock_guard lock(lock_);
        state_ = PauseRequested;
        parked_.Reset();
    }
    if (!worker_.Start(window_, [this] { Run(); })) {
        const std::lock_guard lock(lock_);
        state_ = NoThread;
        parked_.Set();
        return false;
    }
    static_cast<void>(parked_.Wait());
    return true;
}

void ThumbnailWorker::Pause(ThumbResume resume) {
    {
        const std::lock_guard lock(lock_);
        // Without a thread there is nothing to park (and nothing to resume).
        if (state_ == NoThread) {
            return;
        }
        if (state_ == Working) {
            state_ = PauseRequested;
            parked_.Reset();
        }
    }
    worker_.Wake();
    static_cast<void>(parked_.Wait());
    // Items handed over before the pause may leave the list; their messages must not arrive.
    DiscardQueuedMessages(window_, WM_THUMBNAIL_READY, WM_THUMBNAIL_READY, nullptr);
    if (resume == ThumbResume::No || !range_) {
        return;
    }
    const bool guessed = StartGuess();
    std::size_t first = 0;
    std::size_t last = 0;
    if (!range_(first, last)) {
        if (guessed) {
            Park();
        }
        return;
    }
    const std::lock_guard lock(lock_);
    // Without a thread nobody would ever leave the working state.
    if (state_ == NoThread) {
        return;
    }
    first_ = first;
    last_ = last;
    widest_ = std::max(widest_, last >= first ? last - first + 1 : 0);
    guessing_ = false;
    ++resumes_;
    state_ = Working;
    worker_.Wake();
}

bool ThumbnailWorker::StartGuess() {
    const std::lock_guard lock(lock_);
    if (state_ == NoThread || widest_ == 0 || items_.empty()) {
        return false;
    }
    // A new grid starts at its top; a scrolled or zoomed one near where it was.
    first_ = first_ < items_.size() ? first_ : 0;
    last_ = std::min(first_ + widest_, items_.size()) - 1;
    guessing_ = true;
    ++resumes_;
    state_ = Working;
    worker_.Wake();
    return true;
}

void ThumbnailWorker::Park() {
    {
        const std::lock_guard lock(lock_);
        if (state_ != Working) {
            return;
        }
        state_ = PauseRequested;
        parked_.Reset();
    }
    worker_.Wake();
    static_cast<void>(parked_.Wait());
}

void ThumbnailWorker::Stop() {
    {
        const std::lock_guard lock(lock_);
        if (state_ != NoThread) {
            state_ = StopRequested;
        }
    }
    worker_.Stop();
}

void ThumbnailWorker::WorkOnRange(std::size_t first, std::size_t last, HandOver handOver,
                                  unsigned workedOn) {
    const std::size_t end = std::min(last + 1, items_.size());
    if (first >= end) {
        return;
    }
    // Helpers make the range's thumbnails ahead of the hand-over, each taking the next picture in
    // list order, while this thread hands the made ones to the grid one at a time, in order. The
    // helpers end with the range, the working state or a newer resume, and are joined before the
    // thread parks or takes the next range, so nobody touches the list once a pause is
    // acknowledged.
    const auto current = [&] { return state_ == Working && resumes_ == workedOn; };
    std::atomic<std::size_t> next{first};
    const auto make = [&] {
        for (std::size_t index = next++; index < end && current(); index = next++) {
            PictureItem& item = items_[index];
            if (!item.made) {
                MakeThumbnail(item);
                item.made = true;
                worker_.Wake();
            }
        }
    };
    std::vector<std::thread> helpers;
    const unsigned wanted = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < wanted; ++i) {
        try {
            helpers.emplace_back(make);
        } catch (const std::system_error&) {
            break;
        }
    }
    if (helpers.empty()) {
        make();
    }
    for (std::size_t index = first; handOver == HandOver::Yes && index < end && current();
         ++index) {
        PictureItem& item = items_[index];
        static_cast<void>(worker_.WaitUntil([&] { return item.made || state_ != Working; }));
        if (item.made && !item.shown) {
            PostMessage(window_, WM_THUMBNAIL_READY, reinterpret_cast<WPARAM>(&item), 0);
            while (!item.shown && state_ == Working && worker_.WaitFor(kShownPollMs)) {
            }
        }
    }
    for (std::thread& helper : helpers) {
        helper.join();
    }
}

void ThumbnailWorker::Run() {
    unsigned workedOn = 0;
    for (;;) {
        std::size_t first = 0;
        std::size_t last = 0;
        bool working = false;
        HandOver handOver = HandOver::Yes;
        {
            const std::lock_guard lock(lock_);
            working = state_ == Working;
            first = first_;
            last = last_;
            handOver = guessing_ ? HandOver::No : HandOver::Yes;
            workedOn = resumes_;
        }
        if (working) {
            WorkOnRange(first, last, handOver, workedOn);
        }
        {
            const std::lock_guard lock(lock_);
            if (state_ == StopRequested) {
                state_ = NoThread;
                parked_.Set();
                return;
            }
            // A resume that came in after the range was taken starts over instead of being
            // lost to the parking.
            if (state_ == Working && resumes_ != workedOn) {
                continue;
            }
            // The state is written before the acknowledgement, so whoever waited for it
            // reads it parked.
            const bool acknowledge = state_ == PauseRequested;
            state_ = Parked;
            if (acknowledge) {
                parked_.Set();
            }
        }
        static_cast<void>(worker_.WaitUntil([this] { return state_ != Parked; }));
    }
}

}  // namespace tavopix

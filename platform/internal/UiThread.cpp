#include "platform/internal/UiThread.h"

#include <time.h>

#include <algorithm>
#include <iterator>
#include <utility>

namespace tavopix::internal {

namespace {

// A handle is the slot index + 1 in its low half and the slot's generation in its high half, so
// the null handle (0) names no slot and a reused slot gives a new value.
constexpr unsigned kSlotBits = 32;
static_assert(sizeof(std::uintptr_t) * 8 >= 2 * kSlotBits, "handles need 64-bit values");

HWND MakeHandle(std::size_t slot, std::uint32_t generation) {
    return HWND::FromValue((static_cast<std::uintptr_t>(generation) << kSlotBits) |
                           static_cast<std::uintptr_t>(slot + 1));
}

DWORD TickCountAt(Clock::time_point when) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    return static_cast<DWORD>(static_cast<std::uint64_t>(ms));
}

// The tick count of a post. The coarse clock (a few milliseconds' resolution, the same base as
// the steady clock) costs a fraction of the precise one, and posting is the hot path; the
// message time and the order against timers need no more.
DWORD PostingTickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<DWORD>(static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                              static_cast<std::uint64_t>(now.tv_nsec) / 1'000'000u);
}

// Whether tick count `a` is at or after `b`, across the 32-bit wrap.
bool TickAtOrAfter(DWORD a, DWORD b) {
    return static_cast<std::int32_t>(a - b) >= 0;
}

}  // namespace

UiThread& UiThread::Get() {
    // Never destroyed: see the header.
    static UiThread* const instance = new UiThread();
    return *instance;
}

// ---- Windows ------------------------------------------------------------------------------------

std::optional<std::size_t> UiThread::SlotOf(HWND hwnd) const {
    const std::uintptr_t value = hwnd.Value();
    const std::uintptr_t slotPlusOne = value & ((std::uintptr_t{1} << kSlotBits) - 1);
    if (slotPlusOne == 0 || slotPlusOne > slots_.size()) {
        return std::nullopt;
    }
    const std::size_t slot = slotPlusOne - 1;
    const Slot& entry = slots_[slot];
    if (!entry.live || entry.generation != static_cast<std::uint32_t>(value >> kSlotBits)) {
        return std::nullopt;
    }
    return slot;
}

HWND UiThread::AddWindow(std::unique_ptr<WindowRecord> record) {
    record->creationIndex = nextCreationIndex_++;
    std::lock_guard lock(mutex_);
    std::size_t slot;
    if (!freeSlots_.empty()) {
        slot = freeSlots_.back();
        freeSlots_.pop_back();
    } else {
        slot = slots_.size();
        slots_.emplace_back();
    }
    Slot& entry = slots_[slot];
    entry.live = true;
    entry.record = std::move(record);
    return MakeHandle(slot, entry.generation);
}

WindowRecord* UiThread::Find(HWND hwnd) {
    const auto slot = SlotOf(hwnd);
    return slot ? slots_[*slot].record.get() : nullptr;
}

bool UiThread::IsLive(HWND hwnd) {
    std::lock_guard lock(mutex_);
    return SlotOf(hwnd).has_value();
}

std::vector<HWND> UiThread::LiveWindows() {
    std::vector<std::pair<std::uint64_t, HWND>> ordered;
    for (std::size_t slot = 0; slot < slots_.size(); ++slot) {
        if (slots_[slot].live) {
            ordered.emplace_back(slots_[slot].record->creationIndex,
                                 MakeHandle(slot, slots_[slot].generation));
        }
    }
    std::sort(ordered.begin(), ordered.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<HWND> windows;
    windows.reserve(ordered.size());
    for (const auto& [index, hwnd] : ordered) {
        windows.push_back(hwnd);
    }
    return windows;
}

void UiThread::RetireWindow(HWND hwnd) {
    std::unique_ptr<WindowRecord> record;
    {
        std::lock_guard lock(mutex_);
        const auto slot = SlotOf(hwnd);
        if (!slot) {
            return;
        }
        Slot& entry = slots_[*slot];
        entry.live = false;
        ++entry.generation;
        record = std::move(entry.record);
        freeSlots_.push_back(*slot);
        // Every message for it is now in taken_: none can be posted any more.
        TakeAllLocked();
    }
    std::erase_if(timers_, [hwnd](const Timer& timer) { return timer.hwnd == hwnd; });
    if (active_ == hwnd) {
        active_ = nullptr;
    }
    FreeRecords(RemoveTaken(MessageFilter{hwnd, 0, 0}), nullptr, Deleters::Registered);
}

// ---- Classes ------------------------------------------------------------------------------------

const WindowClass* UiThread::FindClass(std::u16string_view name) const {
    for (const auto& windowClass : classes_) {
        if (windowClass->name == name) {
            return windowClass.get();
        }
    }
    return nullptr;
}

bool UiThread::AddClass(std::unique_ptr<const WindowClass> windowClass) {
    if (FindClass(windowClass->name)) {
        return false;
    }
    classes_.push_back(std::move(windowClass));
    return true;
}

bool UiThread::RemoveClass(std::u16string_view name) {
    const auto it = std::find_if(classes_.begin(), classes_.end(), [name](const auto& windowClass) {
        return windowClass->name == name;
    });
    if (it == classes_.end()) {
        return false;
    }
    retiredClasses_.push_back(std::move(*it));
    classes_.erase(it);
    return true;
}

bool UiThread::ClassHasWindows(const WindowClass& windowClass) {
    return std::any_of(slots_.begin(), slots_.end(), [&windowClass](const Slot& slot) {
        return slot.live && slot.record->windowClass == &windowClass;
    });
}

// ---- Queue --------------------------------------------------------------------------------------

MSG UiThread::ToMsg(const QueuedMessage& queued) {
    return MSG{queued.hwnd, queued.message, queued.wParam, queued.lParam, queued.time};
}

bool UiThread::Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const DWORD now = PostingTickCount();
    bool wake;
    {
        std::lock_guard lock(mutex_);
        if (hwnd && !SlotOf(hwnd)) {
            return false;
        }
        queue_.push_back(QueuedMessage{hwnd, message, now, wParam, lParam});
        wake = waiting_;
    }
    if (wake) {
        wake_.notify_one();
    }
    return true;
}

std::optional<UiThread::QuitRequest> UiThread::TakeQuit(int loopDepth) {
    // The newest request that is meant for a loop at `loopDepth` or deeper, or for no loop in
    // particular (posted outside any dispatch).
    for (auto it = quits_.rbegin(); it != quits_.rend(); ++it) {
        if (it->depth == 0 || it->depth >= loopDepth) {
            QuitRequest quit = *it;
            quits_.erase(std::next(it).base());
            return quit;
        }
    }
    return std::nullopt;
}

UiThread::Timer* UiThread::EarliestTimer(const MessageFilter& filter) {
    if (!filter.MatchesNumber(WM_TIMER)) {
        return nullptr;
    }
    Timer* earliest = nullptr;
    for (Timer& timer : timers_) {
        if ((!filter.hwnd || filter.hwnd == timer.hwnd) &&
            (!earliest || timer.due < earliest->due)) {
            earliest = &timer;
        }
    }
    return earliest;
}

void UiThread::TakeAllLocked() {
    if (taken_.empty()) {
        taken_.swap(queue_);
    } else {
        std::move(queue_.begin(), queue_.end(), std::back_inserter(taken_));
        queue_.clear();
    }
}

std::deque<QueuedMessage>::iterator UiThread::FirstTaken(const MessageFilter& filter) {
    if (!filter.hwnd && filter.first == 0 && filter.last == 0) {
        return taken_.begin();
    }
    return std::find_if(taken_.begin(), taken_.end(), [&filter](const QueuedMessage& m) {
        return filter.Matches(m.hwnd, m.message);
    });
}

MSG UiThread::RemoveTaken(std::deque<QueuedMessage>::iterator taken) {
    const MSG msg = ToMsg(*taken);
    if (taken == taken_.begin()) {
        taken_.pop_front();
    } else {
        taken_.erase(taken);
    }
    return msg;
}

std::vector<QueuedMessage> UiThread::RemoveTaken(const MessageFilter& filter) {
    // A stable partition keeps the order of what stays.
    auto firstRemoved = std::stable_partition(
        taken_.begin(), taken_.end(),
        [&filter](const QueuedMessage& m) { return !filter.Matches(m.hwnd, m.message); });
    std::vector<QueuedMessage> removed(std::make_move_iterator(firstRemoved),
                                       std::make_move_iterator(taken_.end()));
    taken_.erase(firstRemoved, taken_.end());
    return removed;
}

bool UiThread::Get(MSG* msg, const MessageFilter& filter) {
    bool idleTold = observers_.empty();
    for (;;) {
        // A loop calling here runs its dispatches at dispatchDepth_ + 1.
        if (auto quit = TakeQuit(dispatchDepth_ + 1)) {
            *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(quit->exitCode), 0,
                       TickCountAt(Clock::now())};
            return false;
        }
        Timer* timer = EarliestTimer(filter);
        const Clock::time_point now = timer ? Clock::now() : Clock::time_point{};
        const bool timerDue = timer && timer->due <= now;
        const auto posted = FirstTaken(filter);
        if (posted != taken_.end()) {
            if (timerDue && TickAtOrAfter(posted->time, TickCountAt(timer->due))) {
                *msg = FireTimer(*timer, now);
            } else {
                *msg = RemoveTaken(posted);
            }
            return true;
        }
        std::unique_lock lock(mutex_);
        if (!queue_.empty()) {
            TakeAllLocked();
            continue;
        }
        if (timerDue) {
            lock.unlock();
            *msg = FireTimer(*timer, now);
            return true;
        }
        if (!idleTold) {
            // Told outside the lock, then everything is looked at again: an observer may post.
            lock.unlock();
            idleTold = true;
            Notify([](WindowObserver& observer) { observer.OnQueueIdle(); });
            continue;
        }
        waiting_ = true;
        if (timer) {
            wake_.wait_until(lock, timer->due);
        } else {
            wake_.wait(lock);
        }
        waiting_ = false;
    }
}

MSG UiThread::FireTimer(Timer& timer, Clock::time_point now) {
    timer.due = now + timer.period;
    return MSG{timer.hwnd, WM_TIMER, timer.id, 0, TickCountAt(now)};
}

bool UiThread::Peek(MSG* msg, const MessageFilter& filter, bool remove) {
    if (!filter.hwnd && filter.MatchesNumber(WM_QUIT)) {
        // Peeking runs inside the dispatch at dispatchDepth_, so a quit meant for that loop is
        // visible here (a caller may remove a quit it caused).
        const int loopDepth = std::max(dispatchDepth_, 1);
        for (auto it = quits_.rbegin(); it != quits_.rend(); ++it) {
            if (it->depth == 0 || it->depth >= loopDepth) {
                *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(it->exitCode), 0,
                           TickCountAt(Clock::now())};
                if (remove) {
                    quits_.erase(std::next(it).base());
                }
                return true;
            }
        }
    }
    {
        std::lock_guard lock(mutex_);
        TakeAllLocked();
    }
    const auto posted = FirstTaken(filter);
    if (posted == taken_.end()) {
        return false;
    }
    *msg = remove ? RemoveTaken(posted) : ToMsg(*posted);
    return true;
}

LRESULT UiThread::Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* record = Find(hwnd);
    if (!record) {
        return 0;
    }
    // The procedure may destroy its window and with it the record; classes are never freed.
    const WindowClass* windowClass = record->windowClass;
    return windowClass->proc(hwnd, message, wParam, lParam);
}

LRESULT UiThread::Dispatch(const MSG& msg) {
    if (!msg.hwnd) {
        return 0;
    }
    const WindowRecord* record = Find(msg.hwnd);
    if (!record) {
        if (RecordDeleter deleter = RegisteredDeleter(msg.message)) {
            deleter(msg.wParam, msg.lParam);
        }
        return 0;
    }
    const WindowClass* windowClass = record->windowClass;  // the record may go, the class stays
    ++dispatchDepth_;
    const LRESULT result = windowClass->proc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
    --dispatchDepth_;
    if (!observers_.empty()) {
        Notify([](WindowObserver& observer) { observer.OnMessageDispatched(); });
    }
    return result;
}

void UiThread::PostQuit(int exitCode) {
    quits_.push_back(QuitRequest{exitCode, dispatchDepth_});
}

std::size_t UiThread::Discard(const MessageFilter& filter, RecordDeleter deleter,
                              Deleters deleters) {
    {
        std::lock_guard lock(mutex_);
        TakeAllLocked();
    }
    const std::vector<QueuedMessage> dropped = RemoveTaken(filter);
    FreeRecords(dropped, deleter, deleters);
    return dropped.size();
}

bool UiThread::RegisterRecord(UINT message, RecordDeleter deleter) {
    if (!deleter) {
        return false;
    }
    std::lock_guard lock(recordsMutex_);
    const auto [it, inserted] = recordDeleters_.emplace(message, deleter);
    return inserted || it->second == deleter;
}

RecordDeleter UiThread::RegisteredDeleter(UINT message) {
    std::lock_guard lock(recordsMutex_);
    const auto it = recordDeleters_.find(message);
    return it == recordDeleters_.end() ? nullptr : it->second;
}

void UiThread::FreeRecords(const std::vector<QueuedMessage>& dropped, RecordDeleter deleter,
                           Deleters deleters) {
    for (const QueuedMessage& queued : dropped) {
        const RecordDeleter free =
            deleters == Deleters::Registered ? RegisteredDeleter(queued.message) : deleter;
        if (free) {
            free(queued.wParam, queued.lParam);
        }
    }
}

// ---- Timers -------------------------------------------------------------------------------------

bool UiThread::SetTimer(HWND hwnd, UINT_PTR id, UINT elapse) {
    if (id == 0 || !Find(hwnd)) {
        return false;
    }
    const Clock::duration period = std::chrono::milliseconds(std::max(elapse, USER_TIMER_MINIMUM));
    const Clock::time_point due = Clock::now() + period;
    for (Timer& timer : timers_) {
        if (timer.hwnd == hwnd && timer.id == id) {
            timer.period = period;
            timer.due = due;
            return true;
        }
    }
    timers_.push_back(Timer{hwnd, id, period, due});
    return true;
}

bool UiThread::KillTimer(HWND hwnd, UINT_PTR id) {
    return std::erase_if(timers_, [hwnd, id](const Timer& timer) {
               return timer.hwnd == hwnd && timer.id == id;
           }) != 0;
}

// ---- Observers ----------------------------------------------------------------------------------

void UiThread::AddObserver(WindowObserver* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
        observers_.push_back(observer);
    }
}

void UiThread::RemoveObserver(WindowObserver* observer) {
    std::erase(observers_, observer);
}

}  // namespace tavopix::internal

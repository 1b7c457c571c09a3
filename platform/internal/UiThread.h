// The state behind the window and message functions: the window slots, the posted-message
// queue, the timers, the pending quit requests and the observers. One instance serves the
// process; it is never destroyed, so windows and posts made while other static objects are torn
// down at exit stay safe.
//
// Locking: `mutex_` guards the posted queue and the slots' liveness (generation and live flag),
// which is all that other threads touch (PostMessage, IsWindow). Everything else is the UI thread's
// alone, which also is the only thread that changes the slots, always under the lock; it may
// therefore read them without it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/MessageQueue.h"
#include "platform/Window.h"
#include "platform/WindowObserver.h"

namespace tavopix::internal {

using Clock = std::chrono::steady_clock;

enum class ShowState { Normal, Minimized, Maximized };

struct WindowClass {
    UINT style = 0;
    WNDPROC proc;
    std::u16string name;
};

// Everything a live window is; the UI thread's alone.
struct WindowRecord {
    const WindowClass* windowClass = nullptr;
    HWND owner;
    std::u16string title;
    DWORD style = 0;  // without the visible, disabled, minimised and maximised bits
    DWORD exStyle = 0;
    LONG_PTR userData = 0;
    bool enabled = true;
    bool visible = false;
    bool announced = false;   // observers were told of its creation
    bool destroying = false;  // DestroyWindow is under way
    ShowState state = ShowState::Normal;
    ShowState restoreTo = ShowState::Normal;  // the state a minimised window restores to
    RECT rect;                                // what the window covers now
    RECT normalRect;                          // what it covers in the normal state
    std::uint64_t creationIndex = 0;
};

// A message waiting in the queue.
struct QueuedMessage {
    HWND hwnd;
    UINT message = 0;
    DWORD time = 0;  // tick count when posted
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

struct MessageFilter {
    HWND hwnd;
    UINT first = 0;
    UINT last = 0;

    bool MatchesNumber(UINT message) const {
        return (first == 0 && last == 0) || (message >= first && message <= last);
    }
    bool Matches(HWND target, UINT message) const {
        return (!hwnd || hwnd == target) && MatchesNumber(message);
    }
};

class UiThread {
public:
    static UiThread& Get();

    // ---- Windows (UI thread unless noted) -----------------------------------------------------
    HWND AddWindow(std::unique_ptr<WindowRecord> record);
    // The record of a live window, or null. Never keep the pointer across a call that can run a
    // window procedure: the procedure may destroy the window.
    WindowRecord* Find(HWND hwnd);
    // Marks the window dead, removes its timers and queued messages (freeing their records) and
    // frees its record. The caller has sent WM_DESTROY.
    void RetireWindow(HWND hwnd);
    bool IsLive(HWND hwnd);  // any thread
    std::vector<HWND> LiveWindows();

    HWND Active() const { return active_; }
    void SetActive(HWND hwnd) { active_ = hwnd; }

    // ---- Classes ------------------------------------------------------------------------------
    const WindowClass* FindClass(std::u16string_view name) const;
    bool AddClass(std::unique_ptr<const WindowClass> windowClass);
    bool RemoveClass(std::u16string_view name);
    bool ClassHasWindows(const WindowClass& windowClass);

    // ---- Queue ----------------------------------------------------------------------------------
    bool Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);  // any thread
    // Waits for and takes the next message; false with WM_QUIT in `msg` for a quit.
    bool Get(MSG* msg, const MessageFilter& filter);
    bool Peek(MSG* msg, const MessageFilter& filter, bool remove);
    LRESULT Dispatch(const MSG& msg);
    LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void PostQuit(int exitCode);
    // Which deleter frees the records of discarded messages: the one the caller gives, or the
    // one registered for each message number.
    enum class Deleters { Given, Registered };
    // Removes the matching queued messages and frees their records.
    std::size_t Discard(const MessageFilter& filter, RecordDeleter deleter, Deleters deleters);

    bool RegisterRecord(UINT message, RecordDeleter deleter);  // any thread

    // ---- Timers ---------------------------------------------------------------------------------
    bool SetTimer(HWND hwnd, UINT_PTR id, UINT elapse);
    bool KillTimer(HWND hwnd, UINT_PTR id);

    // ---- Observers ------------------------------------------------------------------------------
    void AddObserver(WindowObserver* observer);
    void RemoveObserver(WindowObserver* observer);
    // Calls `notify` on each observer, on a copy of the list so an observer may remove itself.
    template <class Callback>
    void Notify(Callback notify) {
        const std::vector<WindowObserver*> observers = observers_;
        for (WindowObserver* observer : observers) {
            notify(*observer);
        }
    }

private:
    struct Slot {
        std::uint32_t generation = 1;
        bool live = false;
        std::unique_ptr<WindowRecord> record;
    };
    struct Timer {
        HWND hwnd;
        UINT_PTR id = 0;
        Clock::duration period;
        Clock::time_point due;
    };
    struct QuitRequest {
        int exitCode = 0;
        int depth = 0;  // DispatchMessage depth when it was posted
    };

    UiThread() = default;

    // Slot index of a handle, or nullopt for a handle that names no live window. Caller holds the
    // lock or is the UI thread.
    std::optional<std::size_t> SlotOf(HWND hwnd) const;
    std::optional<QuitRequest> TakeQuit(int loopDepth);
    // Moves everything posted so far to the end of taken_. Caller holds the lock.
    void TakeAllLocked();
    // The first taken message that matches, or taken_.end().
    std::deque<QueuedMessage>::iterator FirstTaken(const MessageFilter& filter);
    MSG RemoveTaken(std::deque<QueuedMessage>::iterator taken);
    std::vector<QueuedMessage> RemoveTaken(const MessageFilter& filter);
    static MSG FireTimer(Timer& timer, Clock::time_point now);
    Timer* EarliestTimer(const MessageFilter& filter);
    void FreeRecords(const std::vector<QueuedMessage>& dropped, RecordDeleter deleter,
                     Deleters deleters);
    RecordDeleter RegisteredDeleter(UINT message);
    static MSG ToMsg(const QueuedMessage& queued);

    std::mutex mutex_;
    std::condition_variable wake_;
    bool waiting_ = false;             // the UI thread sleeps in Get
    std::deque<QueuedMessage> queue_;  // posted, not yet taken by the UI thread
    std::vector<Slot> slots_;
    std::vector<std::size_t> freeSlots_;

    std::mutex recordsMutex_;
    std::unordered_map<UINT, RecordDeleter> recordDeleters_;

    // UI thread only.
    // Messages the UI thread has moved out of queue_ in one go, so it can take them one by one
    // without the lock; all of them were posted before anything still in queue_.
    std::deque<QueuedMessage> taken_;
    std::vector<std::unique_ptr<const WindowClass>> classes_;
    // Unregistered classes stay allocated: a procedure may be running when its class goes.
    std::vector<std::unique_ptr<const WindowClass>> retiredClasses_;
    std::vector<Timer> timers_;
    std::vector<QuitRequest> quits_;
    std::vector<WindowObserver*> observers_;
    int dispatchDepth_ = 0;
    std::uint64_t nextCreationIndex_ = 0;
    HWND active_;
};

}  // namespace tavopix::internal

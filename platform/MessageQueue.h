// The UI thread's message queue: posted messages from any thread, sent messages on the UI
// thread, window timers, and the quit request that ends a message loop.
//
// A message loop is GetMessage / TranslateAccelerator / DispatchMessage until GetMessage returns
// false. Loops nest: a handler that runs a modal dialog runs the dialog's loop inside the
// DispatchMessage of its own loop, and that inner loop returns to the handler when it ends.
// PostQuitMessage ends exactly the loop that is innermost when it is called: the request is
// tagged with the current DispatchMessage depth, and GetMessage consumes it only in a loop at
// that depth or an outer one. A loop started later, deeper (a message box opened by the handler
// that destroyed its dialog), therefore runs to its own end first; its caller then returns to the
// loop the quit was meant for. A quit posted while no message is being dispatched ends the next
// loop that asks.
//
// Order: messages posted by one thread arrive in the order it posted them. A due timer is
// delivered before messages posted after it fell due, so a stream of posts cannot starve it; a
// quit request is delivered before anything else the loop would have taken. There is no
// TranslateMessage: the view posts WM_CHAR / WM_SYSCHAR itself.
//
// Waiting: GetMessage sleeps on a condition variable until a post arrives (from any thread) or
// the earliest timer falls due; nothing polls. A post to the UI thread from a network or worker
// thread is therefore also how those threads wake it.
//
// Records carried by messages. A worker may post a heap record in wParam or lParam; once
// PostMessage returns true the record belongs to the receiver (false: it is still the poster's).
// The receiver frees it after handling. When the queue itself drops a message — its window was
// destroyed, DiscardQueuedMessages removed it, or DispatchMessage found its window dead — it
// calls the record deleter registered for that message number
// (RegisterMessageRecord), so nothing leaks. A message number carries the same record type for
// every window that receives it. A message that PeekMessage(PM_REMOVE) or GetMessage hands out
// belongs to the caller, record included.
//
// Threads: PostMessage and IsWindow from any thread; everything else on the UI thread, the one
// that creates the windows and runs the loops.
#pragma once

#include <cstddef>

#include "platform/WinTypes.h"
#include "platform/WindowHandle.h"
#include "platform/WindowMessages.h"

namespace tavopix {

inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;

// ---- Posting and sending ----------------------------------------------------------------------
// Queues a message for `hwnd` and wakes the UI thread. A null `hwnd` posts a thread message
// (GetMessage returns it, DispatchMessage ignores it). False when the window is dead. Any thread.
bool PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Calls the window procedure at once and returns its result; 0 when the window is dead.
// UI thread only.
LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Ends the innermost running message loop (see above): its GetMessage returns false with
// WM_QUIT and `exitCode` in wParam. UI thread only; a worker posts WM_CLOSE instead.
void PostQuitMessage(int exitCode);

// ---- Taking messages --------------------------------------------------------------------------
// Filters: `hwnd` null takes messages of every window and thread messages, otherwise only that
// window's; `first` = `last` = 0 takes every number, otherwise first ≤ message ≤ last.

// Waits for the next matching message (or due timer) and removes it into `msg`. Returns false
// when it is WM_QUIT, which is returned whatever the filter, so a filtered loop still ends.
bool GetMessage(MSG* msg, HWND hwnd, UINT first, UINT last);

// Looks at posted messages only (never timers) without waiting: true and fills `msg` when one
// matches, removing it with PM_REMOVE. WM_QUIT is seen only when `hwnd` is null and the range
// includes WM_QUIT, so a loop that purges a window's messages never swallows a quit; and
// PeekMessage(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) is how a handler takes back a quit it
// caused (a window that failed after creation and was destroyed before its loop ran).
bool PeekMessage(MSG* msg, HWND hwnd, UINT first, UINT last, UINT removeFlags);

// Hands the message to its window procedure and returns the result. A thread message returns 0;
// a message whose window has died meanwhile is dropped with its record (see above).
LRESULT DispatchMessage(const MSG* msg);

// ---- Records ----------------------------------------------------------------------------------
using RecordDeleter = void (*)(WPARAM wParam, LPARAM lParam);

template <class Record>
void DeleteWParamRecord(WPARAM wParam, LPARAM) {
    delete reinterpret_cast<Record*>(wParam);
}
template <class Record>
void DeleteLParamRecord(WPARAM, LPARAM lParam) {
    delete reinterpret_cast<Record*>(lParam);
}

// Declares that `message` carries a record freed by `deleter` when the queue drops it, for
// example RegisterMessageRecord(1028, &DeleteWParamRecord<FolderResult>). Registering the same
// deleter again is harmless; a different deleter for a number that has one returns false and
// changes nothing. Any thread.
bool RegisterMessageRecord(UINT message, RecordDeleter deleter);

// Removes every queued message of `hwnd` (null: of every window) with a number in [first, last],
// freeing each one's record through the registered deleter, and returns how many were removed.
// UI thread.
std::size_t DiscardQueuedMessages(HWND hwnd, UINT first, UINT last);
// The same, freeing each record with `deleter` instead (null: the records are not freed).
std::size_t DiscardQueuedMessages(HWND hwnd, UINT first, UINT last, RecordDeleter deleter);

// ---- Timers -----------------------------------------------------------------------------------
// Shorter periods are raised to this, so no timer can keep the UI thread spinning.
inline constexpr UINT USER_TIMER_MINIMUM = 10;

// Starts or restarts timer `id` of `hwnd`: WM_TIMER with wParam = id arrives every `elapse` ms
// until KillTimer. Setting a running timer again starts its period anew. A late timer fires once,
// not once per missed period. Returns `id`, or 0 when the window is dead or `id` is 0. UI thread.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse);
// Stops the timer; a killed timer never delivers another WM_TIMER. False when there was none.
bool KillTimer(HWND hwnd, UINT_PTR id);

}  // namespace tavopix

// How the view learns what happens to the windows so it can mirror them: it registers an
// observer and is told, on the UI thread and after the change has been made, of every window
// created, destroyed, shown or hidden (including minimise, maximise and restore), moved or
// resized, enabled or disabled, retitled or activated. The observer reads the new state with the
// ordinary window functions (GetWindowRect, IsWindowVisible, GetWindowPlacement, …).
//
// OnMessageDispatched comes after each message that DispatchMessage handed to a window
// procedure (not after nested SendMessage calls): the point where the changes a message made
// are complete and can be flushed to the view as one batch. OnQueueIdle comes when GetMessage
// finds nothing to deliver and is about to sleep: it catches the changes made outside any
// dispatch (a window created and shown before its loop starts), so nothing waits unflushed
// while the UI thread sleeps. There is no UpdateWindow; this is what takes its place.
//
// An observer must not destroy windows from a notification; it may post messages.
#pragma once

#include "platform/WindowHandle.h"

namespace tavopix {

class WindowObserver {
public:
    virtual ~WindowObserver() = default;

    virtual void OnWindowCreated(HWND) {}
    // The handle is already dead when this arrives: only its Value() is of use.
    virtual void OnWindowDestroyed(HWND) {}
    virtual void OnWindowShowStateChanged(HWND) {}
    virtual void OnWindowMoved(HWND) {}
    virtual void OnWindowEnabledChanged(HWND) {}
    virtual void OnWindowTitleChanged(HWND) {}
    // `active` is the newly active window, null when no window is active any more.
    virtual void OnActiveWindowChanged(HWND /*active*/) {}
    virtual void OnMessageDispatched() {}
    virtual void OnQueueIdle() {}
};

// Observers are told in the order they were added. Adding one twice has no effect. UI thread.
void AddWindowObserver(WindowObserver* observer);
void RemoveWindowObserver(WindowObserver* observer);

}  // namespace tavopix

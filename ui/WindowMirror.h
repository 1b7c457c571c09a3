// Keeps the view's picture of the frame windows up to date: every frame window that is
// created, shown, moved, enabled, retitled or activated is placed again in the view with its
// page, and removed when it is destroyed. Windows that are not frames (the view's own input
// window) are not shown. UI thread only.
#pragma once

#include <unordered_map>

#include "engine/View.h"
#include "platform/WindowObserver.h"

namespace tavopix {

class WindowMirror final : public WindowObserver {
public:
    explicit WindowMirror(View& view);
    ~WindowMirror() override;
    WindowMirror(const WindowMirror&) = delete;
    WindowMirror& operator=(const WindowMirror&) = delete;

    void OnWindowDestroyed(HWND hwnd) override;
    void OnWindowShowStateChanged(HWND hwnd) override { Place(hwnd, Limits::Measure); }
    void OnWindowMoved(HWND hwnd) override { Place(hwnd, Limits::Keep); }
    void OnWindowEnabledChanged(HWND hwnd) override { Place(hwnd, Limits::Keep); }
    void OnWindowTitleChanged(HWND hwnd) override { Place(hwnd, Limits::Keep); }
    void OnActiveWindowChanged(HWND active) override;

private:
    // The tracking limits ask the page for its size, a question to the browser: asked when a
    // window is shown, kept for moves.
    enum class Limits { Measure, Keep };
    void Place(HWND hwnd, Limits limits);

    View& view_;
    std::unordered_map<HWND, WindowPlacement> placed_;
    HWND active_;
};

}  // namespace tavopix

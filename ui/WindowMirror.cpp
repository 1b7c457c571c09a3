#include "ui/WindowMirror.h"

#include "platform/Window.h"
#include "ui/HskFrame.h"
#include "ui/PageHost.h"

namespace tavopix {

WindowMirror::WindowMirror(View& view) : view_(view) {
    AddWindowObserver(this);
}

WindowMirror::~WindowMirror() {
    RemoveWindowObserver(this);
}

void WindowMirror::OnWindowDestroyed(HWND hwnd) {
    if (placed_.erase(hwnd) != 0)
        view_.RemoveWindow(hwnd.Value());
}

void WindowMirror::OnActiveWindowChanged(HWND active) {
    const HWND previous = active_;
    active_ = active;
    if (previous && IsWindow(previous))
        Place(previous, Limits::Keep);
    if (active)
        Place(active, Limits::Keep);
}

void WindowMirror::Place(HWND hwnd, Limits limits) {
    const CHskFrame* frame = CHskFrame::FromWindow(hwnd);
    if (!frame)
        return;
    auto [it, added] = placed_.try_emplace(hwnd);
    WindowPlacement& placement = it->second;
    const HWND owner = GetWindow(hwnd, GW_OWNER);
    placement.owner = owner.Value();
    PageHost* page = PageHost::Of(hwnd);
    placement.document = page ? &page->GetDocument() : nullptr;
    placement.title = GetWindowText(hwnd);
    placement.fillsView = frame->FillsView();
    WINDOWPLACEMENT state;
    GetWindowPlacement(hwnd, &state);
    const RECT& r = state.rcNormalPosition;
    placement.bounds = {r.left, r.top, r.right, r.bottom};
    placement.visible = IsWindowVisible(hwnd);
    placement.enabled = IsWindowEnabled(hwnd);
    placement.show = IsIconic(hwnd)   ? WindowShow::Minimized
                     : IsZoomed(hwnd) ? WindowShow::Maximized
                                      : WindowShow::Normal;
    if ((added || limits == Limits::Measure) && placement.visible) {
        MINMAXINFO info;
        GetMinMaxInfo(hwnd, &info);
        placement.minTrack = {info.ptMinTrackSize.x, info.ptMinTrackSize.y};
        placement.maxTrack = {info.ptMaxTrackSize.x, info.ptMaxTrackSize.y};
    }
    view_.PlaceWindow(hwnd.Value(), placement);
}

}  // namespace tavopix

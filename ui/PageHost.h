// The engine's side of a frame window: the page the window shows, the page's event
// dispatcher, and the engine's share of the window procedure. A frame loads its page through
// LoadFile and offers every message to ProcND before handling it itself; the page lives until
// Unload (the frame calls it when its window is destroyed).
//
// All pages render through one view, set at start-up (the browser view, or a headless view in
// tests). UI thread only.
#pragma once

#include <memory>
#include <string_view>

#include "engine/Document.h"
#include "engine/EventDispatcher.h"
#include "platform/WinTypes.h"
#include "platform/WindowHandle.h"

namespace tavopix {

class View;

class PageHost {
public:
    // The view every page is shown in; null shows nothing (pages still work).
    static void SetView(View* view);
    static View* CurrentView();

    // Loads the page at `path` into `hwnd`, replacing any page it had. False when the file
    // cannot be read or holds no element.
    [[nodiscard]] static bool LoadFile(HWND hwnd, std::u16string_view path);
    // The page of `hwnd`; null when it has none.
    [[nodiscard]] static PageHost* Of(HWND hwnd);
    static void Unload(HWND hwnd);

    // Offers a window message to the engine: true (with `result`) when the engine consumed it.
    // The engine takes its posted events and the keys the view reports.
    static bool ProcND(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    Document& GetDocument() { return *document_; }
    EventDispatcher& Events() { return *events_; }
    Element* Root() const { return document_->Root(); }

    // The page's narrowest width, and its height at `width`: the smallest window that shows
    // it whole.
    int MinWidth() const;
    int MinHeight(int width) const;

    ~PageHost();

private:
    PageHost(HWND hwnd, std::unique_ptr<Document> document);

    std::unique_ptr<Document> document_;
    std::unique_ptr<EventDispatcher> events_;
};

}  // namespace tavopix

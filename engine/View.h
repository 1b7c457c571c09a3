// The seam between the engine and whatever shows its pages. A view receives the recorded
// changes of each document (once per dispatched message), answers geometry for elements, and
// places the windows that show the documents. The browser view renders in a real browser; the
// headless view (HeadlessView.h) mirrors the pages in memory and answers geometry from values
// set by tests.
//
// Geometry calls come after the document has flushed its pending changes, so the view always
// measures the DOM the engine has. All calls are made on the UI thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Change.h"
#include "engine/Geometry.h"

namespace tavopix {

class Document;
class Element;

// The platform window handle's value; the view only uses it as a key.
using WindowKey = std::uintptr_t;

enum class WindowShow { Normal, Minimized, Maximized };

// Everything a view needs to show one top-level window.
struct WindowPlacement {
    WindowKey owner = 0;                 // 0 for a window without owner
    const Document* document = nullptr;  // the page it shows; null before the page is loaded
    std::u16string title;
    Rect bounds;    // in screen pixels
    Size minTrack;  // smallest size the user can drag it to
    Size maxTrack;  // largest; 0 means unbounded
    bool visible = false;
    bool enabled = true;
    WindowShow show = WindowShow::Normal;
    // The window is the browser window itself: shown filling the whole view.
    bool fillsView = false;
};

class View {
public:
    virtual ~View() = default;

    // ---- Documents ----------------------------------------------------------------------------
    // Applies one batch of changes of `document`, in order.
    virtual void ApplyChanges(const Document& document, const std::vector<Change>& changes) = 0;
    // The document is being destroyed; forget everything about it.
    virtual void DocumentClosed(const Document& document) = 0;

    // ---- Geometry -----------------------------------------------------------------------------
    virtual Rect ElementLocation(const Element& element, LocationArea area) = 0;
    // The locations of many elements in one exchange (the cells of a grid): one rectangle per
    // element, in order, empty where ElementLocation would give an empty one (or the element
    // is null).
    virtual std::vector<Rect> ElementLocations(std::span<const Element* const> elements,
                                               LocationArea area) = 0;
    virtual IntrinsicWidths ElementIntrinsicWidths(const Element& element) = 0;
    virtual int ElementIntrinsicHeight(const Element& element, int width) = 0;
    virtual ScrollInfo ElementScrollInfo(const Element& element) = 0;
    virtual void SetElementScrollPos(const Element& element, Point pos, bool smooth) = 0;
    // The whole screen, and the part a maximised window covers.
    virtual Size ScreenSize() = 0;
    virtual Rect WorkArea() = 0;

    // ---- Files --------------------------------------------------------------------------------
    // The pages may fetch every file under `folder` (the skin); any other file only once a page
    // was given its address. A view that fetches no files ignores it.
    virtual void AllowFolder(const std::filesystem::path& /*folder*/) {}

    // ---- Popups -------------------------------------------------------------------------------
    // Shows `popup`, an element of its page, floating over the page with its top-left corner at
    // `anchor` (root-relative), until HidePopup. The engine opens one popup at a time (menus,
    // context menus, the list of a select) and marks it with STATE_POPUP.
    virtual void ShowPopup(const Element& /*popup*/, Point /*anchor*/) {}
    virtual void HidePopup(const Element& /*popup*/) {}

    // ---- The user's browser -------------------------------------------------------------------
    // Opens the http(s) address `url` in a new tab of the browser that shows the pages; false
    // when this view has no such browser (the caller then asks the desktop).
    virtual bool OpenInNewTab(std::string_view /*url*/) { return false; }
    // Puts `text` on the clipboard of the machine the user sees the pages on; nothing happens
    // where there is none.
    virtual void CopyToClipboard(std::u16string_view /*text*/) {}

    // ---- Windows ------------------------------------------------------------------------------
    // Creates or updates the window `window`.
    virtual void PlaceWindow(WindowKey window, const WindowPlacement& placement) = 0;
    virtual void RemoveWindow(WindowKey window) = 0;
};

}  // namespace tavopix

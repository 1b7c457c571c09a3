// The one popup a page may have open: a menu opened from its owner element, a context menu, or
// the option list of a select. Opening raises POPUP_REQUEST for the popup (its owner as the
// source) so the program can fill or adjust it, marks the popup STATE_POPUP and its owner
// STATE_OWNS_POPUP, and asks the view to show it at the anchor. Closing undoes that and raises
// POPUP_DISMISSED. Opening another popup closes the open one first.
#pragma once

#include "engine/ElementRef.h"
#include "engine/Geometry.h"

namespace tavopix {

class Element;
class EventDispatcher;

class PopupController {
public:
    explicit PopupController(EventDispatcher& events) : events_(events) {}

    // `anchor` is root-relative: where the popup's top-left corner goes.
    void Show(Element& popup, Element& owner, Point anchor);
    void Close();

    // Null when no popup is open (or the open one left the page).
    Element* Popup() const;
    Element* Owner() const;
    Point Anchor() const { return anchor_; }

private:
    EventDispatcher& events_;
    ElementRef popup_;
    ElementRef owner_;
    Point anchor_;
};

}  // namespace tavopix

// The entry points through which the view reports the user's input on a page, and what the
// engine makes of it: hover tracking, keyboard focus, mouse capture, clicks, popups and context
// menus, and the built-in controls' default actions (controls/Control.h).
//
// The view names elements by their uid. Input that names an element no longer in the page (the
// user acted on something the program removed meanwhile) is dropped quietly: the call returns
// false and nothing happens. Uid 0 names no element (the mouse is outside the page).
//
// Mouse input: the element under the mouse and its ancestors carry STATE_HOVER; elements that
// lose it hear MOUSE_LEAVE (innermost first), then those that gain it hear MOUSE_ENTER
// (outermost first). The event then goes to the capturing element, if any, else to the element
// under the mouse. A press of any button first closes an open popup it is not inside (a press
// on the popup's owner control only closes it), moves the focus to the nearest focusable
// element (not for a press inside the open popup), and tells the control under it (a tree node
// becomes current); then the handlers hear it, and when none took it the control acts: a
// main-button press opens selects and menus, a press and release on the same control clicks it, a
// double click expands a tree node.
//
// A double click arrives as the system reports it: MOUSE_DOWN, MOUSE_UP, MOUSE_DCLICK (in place
// of the second press), MOUSE_UP; so a button clicks twice, and a handler that counts presses
// sees the double click as one press and one double click.
//
// Key input goes to the focused element (the root without one); Escape closes an open popup;
// otherwise, when no handler took a key-down, the focused control acts on it.
//
// Focusable: an enabled control that takes the focus, an element with a "tabindex" attribute,
// and an element with a behaviour that hears keys (so keys reach a grid or a tree behaviour
// after a click in it). All of this runs on the UI thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/Element.h"
#include "engine/EventParams.h"
#include "engine/internal/PopupController.h"

namespace tavopix {

class EventDispatcher;

struct MouseInput {
    std::uint32_t cmd = MOUSE_MOVE;  // MOUSE_MOVE, _DOWN, _UP, _DCLICK, _WHEEL, or MOUSE_LEAVE
                                     // when the mouse left the page (target 0)
    Element::Uid target = 0;         // the element under the mouse
    Point pos;                       // relative to that element's border box
    Point posDocument;               // relative to the root
    std::uint32_t buttonState = 0;   // the button that changed, or the buttons held
    std::uint32_t altState = 0;
    bool isOnIcon = false;
    int wheelDelta = 0;
};

struct KeyInput {
    std::uint32_t cmd = KEY_DOWN;
    std::uint32_t keyCode = 0;  // virtual key (KEY_DOWN, KEY_UP) or UTF-16 unit (KEY_CHAR)
    std::uint32_t altState = 0;
};

struct ScrollInput {
    Element::Uid target = 0;  // the element whose content the user scrolled
    std::uint32_t cmd = SCROLL_POS;
    int pos = 0;
    bool vertical = true;
};

class InputRouter {
public:
    explicit InputRouter(EventDispatcher& events);
    InputRouter(const InputRouter&) = delete;
    InputRouter& operator=(const InputRouter&) = delete;

    // Each returns false when the input was dropped.
    bool Mouse(const MouseInput& input);
    bool Key(const KeyInput& input);
    // The user scrolled an element: the handlers hear the scroll, then ELEMENT_SCROLLED is
    // raised for it.
    bool Scroll(const ScrollInput& input);
    // The browser moved the focus itself (the user tabbed into a text input); 0: no focus.
    bool FocusMoved(Element::Uid target);
    // The user changed a control's value in place (typed, dragged a slider); false also when
    // the element takes no value this way.
    bool ControlChanged(Element::Uid target, std::u16string_view value);
    // The user asked for a context menu on an element (a right press): the nearest element at
    // or above it that the style gives a context menu is the owner; CONTEXT_MENU_SETUP is
    // raised for it with the menu as the source, then the menu opens at `posDocument`.
    bool ContextMenu(Element::Uid target, Point posDocument);

    Element* Hover() const;  // the innermost hovered element
    Element* Focus() const;
    PopupController& Popups() { return popups_; }

private:
    Element* InPage(Element::Uid uid) const;
    void UpdateHover(Element* under);
    // What moved the focus: a mouse press, or the page itself (its keyboard or a script).
    enum class FocusCause { Page, MousePress };
    void MoveFocus(Element* element, FocusCause cause);
    bool IsFocusable(const Element& element) const;
    // A press before the handlers hear of it; false when it only closed a popup.
    bool BeforePress(Element& target, const MouseParams& params);
    void AfterMouse(const MouseParams& params, bool handled);
    void ReleasePress();

    EventDispatcher& events_;
    PopupController popups_;
    std::vector<ElementRef> hoverChain_;  // the hovered element first, then its ancestors
    ElementRef focus_;
    ElementRef pressed_;  // the control the main button went down on
};

}  // namespace tavopix

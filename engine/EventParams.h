// The records an event carries to its handlers, one per event group. Handlers may read every
// field and change `cmd` only through their return value (the dispatcher sets HANDLED); the
// element references keep the elements alive while the event travels, even when a handler
// removes them from the page.
#pragma once

#include <cstdint>

#include "engine/ElementRef.h"
#include "engine/EventCodes.h"
#include "engine/Geometry.h"

namespace tavopix {

struct MouseParams {
    std::uint32_t cmd = MOUSE_MOVE;  // MOUSE_* with the SINKING / HANDLED flags
    ElementRef target;               // the element under the mouse, or the capturing element
    Point pos;                       // relative to the target's border box
    Point posDocument;               // relative to the root element
    std::uint32_t buttonState = 0;   // *_MOUSE_BUTTON bits, see EventCodes.h
    std::uint32_t altState = 0;      // *_KEY_PRESSED bits
    bool isOnIcon = false;           // on the element's icon (its foreground image, a marker)
    int wheelDelta = 0;              // MOUSE_WHEEL: steps, positive away from the user
};

struct KeyParams {
    std::uint32_t cmd = KEY_DOWN;  // KEY_* with flags
    ElementRef target;             // the focused element, or the root without focus
    std::uint32_t keyCode = 0;     // virtual key for KEY_DOWN / KEY_UP, UTF-16 unit for KEY_CHAR
    std::uint32_t altState = 0;
};

struct FocusParams {
    std::uint32_t cmd = FOCUS_GOT;  // FOCUS_* with flags
    ElementRef target;              // the element that gets or loses the focus
    bool byMouseClick = false;
};

struct ScrollParams {
    std::uint32_t cmd = SCROLL_POS;  // SCROLL_* with flags
    ElementRef target;               // the element whose content scrolled
    int pos = 0;                     // the new scroll position along the axis
    bool vertical = true;
};

// A behaviour event: raised by the engine's controls or by the program (SendEvent / PostEvent,
// EventDispatcher.h).
struct BehaviorEventParams {
    std::uint32_t cmd = BUTTON_CLICK;  // the event code with flags
    ElementRef heTarget;               // the element the event is raised for; it travels its path
    ElementRef he;                     // the source: the chosen option, the menu item, the popup
                                       // owner, the context menu…; else the target itself
    std::uintptr_t reason = 0;         // what the raiser adds (0 / 1 for next and previous…);
                                       // an element goes as its uid, never as a pointer
};

}  // namespace tavopix

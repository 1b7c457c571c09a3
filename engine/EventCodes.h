// The numbers of the engine's event interface: the event groups a handler subscribes to, the
// command codes of each group, the phase and handled flags carried in a command, and the mouse
// button and keyboard-state bits of input events.
//
// A command code travels with two flags. SINKING is set while an event travels from the root
// down to its target, so a handler that tests `cmd == MOUSE_DOWN` acts once, in the bubbling
// phase. HANDLED is set once any handler has returned true; later handlers still see the event
// and can tell (`cmd == (MOUSE_DOWN | HANDLED)`), and the engine's own default action (a button
// click, an expander, a select opening) runs only when no handler took the event.
#pragma once

#include <cstdint>

namespace tavopix {

// ---- Event groups (a handler's subscription and a window handler's mask) -----------------------
inline constexpr std::uint32_t HANDLE_INITIALIZATION = 0x0000;
inline constexpr std::uint32_t HANDLE_MOUSE = 0x0001;
inline constexpr std::uint32_t HANDLE_KEY = 0x0002;
inline constexpr std::uint32_t HANDLE_FOCUS = 0x0004;
inline constexpr std::uint32_t HANDLE_SCROLL = 0x0008;
inline constexpr std::uint32_t HANDLE_TIMER = 0x0010;
inline constexpr std::uint32_t HANDLE_SIZE = 0x0020;
inline constexpr std::uint32_t HANDLE_DRAW = 0x0040;
inline constexpr std::uint32_t HANDLE_DATA_ARRIVED = 0x0080;
inline constexpr std::uint32_t HANDLE_BEHAVIOR_EVENT = 0x0100;
inline constexpr std::uint32_t HANDLE_METHOD_CALL = 0x0200;
inline constexpr std::uint32_t HANDLE_ALL = 0xFFFF;

// ---- Flags carried in a command code -----------------------------------------------------------
inline constexpr std::uint32_t SINKING = 0x8000;
inline constexpr std::uint32_t HANDLED = 0x10000;
// The command without its flags.
constexpr std::uint32_t EventCommand(std::uint32_t cmd) {
    return cmd & ~(SINKING | HANDLED);
}

// ---- Mouse ------------------------------------------------------------------------------------
inline constexpr std::uint32_t MOUSE_ENTER = 0;
inline constexpr std::uint32_t MOUSE_LEAVE = 1;
inline constexpr std::uint32_t MOUSE_MOVE = 2;
inline constexpr std::uint32_t MOUSE_UP = 3;
inline constexpr std::uint32_t MOUSE_DOWN = 4;
inline constexpr std::uint32_t MOUSE_DCLICK = 5;
inline constexpr std::uint32_t MOUSE_WHEEL = 6;

// Mouse buttons: for MOUSE_DOWN and MOUSE_UP the button that changed, for the other mouse
// events the buttons held.
inline constexpr std::uint32_t MAIN_MOUSE_BUTTON = 0x01;
inline constexpr std::uint32_t PROP_MOUSE_BUTTON = 0x02;
inline constexpr std::uint32_t MIDDLE_MOUSE_BUTTON = 0x04;

// Keyboard states held during an input event.
inline constexpr std::uint32_t CONTROL_KEY_PRESSED = 0x01;
inline constexpr std::uint32_t SHIFT_KEY_PRESSED = 0x02;
inline constexpr std::uint32_t ALT_KEY_PRESSED = 0x04;

// ---- Keyboard ---------------------------------------------------------------------------------
inline constexpr std::uint32_t KEY_DOWN = 0;
inline constexpr std::uint32_t KEY_UP = 1;
inline constexpr std::uint32_t KEY_CHAR = 2;

// ---- Focus ------------------------------------------------------------------------------------
inline constexpr std::uint32_t FOCUS_LOST = 0;
inline constexpr std::uint32_t FOCUS_GOT = 1;

// ---- Scroll -----------------------------------------------------------------------------------
inline constexpr std::uint32_t SCROLL_HOME = 0;
inline constexpr std::uint32_t SCROLL_END = 1;
inline constexpr std::uint32_t SCROLL_STEP_PLUS = 2;
inline constexpr std::uint32_t SCROLL_STEP_MINUS = 3;
inline constexpr std::uint32_t SCROLL_PAGE_PLUS = 4;
inline constexpr std::uint32_t SCROLL_PAGE_MINUS = 5;
inline constexpr std::uint32_t SCROLL_POS = 6;

// ---- Behaviour events -------------------------------------------------------------------------
inline constexpr std::uint32_t BUTTON_CLICK = 0;
inline constexpr std::uint32_t BUTTON_STATE_CHANGED = 2;      // check box, radio, slider
inline constexpr std::uint32_t EDIT_VALUE_CHANGED = 4;        // text input, text area
inline constexpr std::uint32_t SELECT_SELECTION_CHANGED = 5;  // an option of a select chosen
inline constexpr std::uint32_t SELECT_STATE_CHANGED = 6;      // a tree node expanded or collapsed
inline constexpr std::uint32_t POPUP_REQUEST = 7;             // a popup is about to be shown
inline constexpr std::uint32_t POPUP_DISMISSED = 9;           // a popup was closed
inline constexpr std::uint32_t MENU_ITEM_CLICK = 11;
inline constexpr std::uint32_t CONTEXT_MENU_SETUP = 15;  // a context menu is about to be shown
inline constexpr std::uint32_t HYPERLINK_CLICK = 0x80;
inline constexpr std::uint32_t ELEMENT_SCROLLED = 0x95;  // the element's content scrolled
// Codes from here up are the program's own (posted or sent by its behaviours).
inline constexpr std::uint32_t FIRST_APPLICATION_EVENT_CODE = 0x100;

}  // namespace tavopix

// Keyboard accelerators: tables that turn a key typed with modifiers into a WM_COMMAND for the
// window that has the keyboard. The tables are the program's own resources, built in here; the
// one the frames use, IDR_FRAME_ACCELERATORS, turns Alt with "?" or with "/" into the command
// IDM_FRAME_HELP_KEY, which no window handles: the keys are swallowed.
//
// The view reports keys as WM_KEYDOWN / WM_SYSKEYDOWN (virtual keys) and WM_CHAR / WM_SYSCHAR
// (characters; a character typed with Alt held comes as WM_SYSCHAR, or as WM_CHAR with
// KEY_DATA_ALT_DOWN set in lParam). Character entries match those character messages.
#pragma once

#include "platform/WinTypes.h"
#include "platform/WindowHandle.h"
#include "platform/WindowMessages.h"

namespace tavopix {

inline constexpr UINT IDR_FRAME_ACCELERATORS = 109;
inline constexpr WORD IDM_FRAME_HELP_KEY = 104;

struct AcceleratorTable;
using HACCEL = const AcceleratorTable*;

// The built-in table with that resource id, or null when there is none.
HACCEL LoadAccelerators(UINT resourceId);
// Tables are read-only program resources; releasing one only ends the caller's use of it.
bool DestroyAcceleratorTable(HACCEL table);

// When `msg` is a key that `table` translates, sends WM_COMMAND (wParam = MAKEWPARAM(command, 1),
// lParam = 0) to `hwnd` and returns true: the caller then does not dispatch the message. False
// for every other message, a null table, or a dead window. UI thread.
bool TranslateAccelerator(HWND hwnd, HACCEL table, const MSG* msg);

}  // namespace tavopix

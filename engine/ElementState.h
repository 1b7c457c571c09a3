// The run-time states of an element as bits. The engine, its built-in controls and the program
// set and test them; selectors reach them through pseudo-classes (":hover", ":checked", ...),
// and the browser view mirrors them as "hl-*" attributes the skin can style.
#pragma once

#include <cstdint>

namespace tavopix {

using ElementStateBits = std::uint32_t;

inline constexpr ElementStateBits STATE_LINK = 0x00000001;
inline constexpr ElementStateBits STATE_HOVER = 0x00000002;
inline constexpr ElementStateBits STATE_ACTIVE = 0x00000004;
inline constexpr ElementStateBits STATE_FOCUS = 0x00000008;
inline constexpr ElementStateBits STATE_VISITED = 0x00000010;
inline constexpr ElementStateBits STATE_CURRENT = 0x00000020;
inline constexpr ElementStateBits STATE_CHECKED = 0x00000040;
inline constexpr ElementStateBits STATE_DISABLED = 0x00000080;
inline constexpr ElementStateBits STATE_READONLY = 0x00000100;
inline constexpr ElementStateBits STATE_EXPANDED = 0x00000200;
inline constexpr ElementStateBits STATE_COLLAPSED = 0x00000400;
inline constexpr ElementStateBits STATE_INCOMPLETE = 0x00000800;
inline constexpr ElementStateBits STATE_ANIMATING = 0x00001000;
inline constexpr ElementStateBits STATE_FOCUSABLE = 0x00002000;
inline constexpr ElementStateBits STATE_ANCHOR = 0x00004000;
inline constexpr ElementStateBits STATE_SYNTHETIC = 0x00008000;
inline constexpr ElementStateBits STATE_OWNS_POPUP = 0x00010000;
inline constexpr ElementStateBits STATE_TABFOCUS = 0x00020000;
inline constexpr ElementStateBits STATE_EMPTY = 0x00040000;
inline constexpr ElementStateBits STATE_BUSY = 0x00080000;
inline constexpr ElementStateBits STATE_DRAG_OVER = 0x00100000;
inline constexpr ElementStateBits STATE_DROP_TARGET = 0x00200000;
inline constexpr ElementStateBits STATE_MOVING = 0x00400000;
inline constexpr ElementStateBits STATE_COPYING = 0x00800000;
inline constexpr ElementStateBits STATE_DRAG_SOURCE = 0x01000000;
inline constexpr ElementStateBits STATE_DROP_MARKER = 0x02000000;
inline constexpr ElementStateBits STATE_PRESSED = 0x04000000;
inline constexpr ElementStateBits STATE_POPUP = 0x08000000;

}  // namespace tavopix

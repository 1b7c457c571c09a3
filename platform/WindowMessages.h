// Window message numbers, their parameter codes and the records some of them point to.
//
// Ranges:
//   0x0000–0x03FF  system messages (the ones below);
//   WM_USER (0x0400)–0x7FFF  the program's own window messages, WM_USER + n;
//   WM_APP (0x8000)–WM_INTERNAL_LAST  reserved for the layers under the windows (engine, view);
//   nothing above WM_INTERNAL_LAST is used.
#pragma once

#include "platform/WinTypes.h"
#include "platform/WindowHandle.h"

namespace tavopix {

// A message as the queue hands it out. `time` is GetTickCount() when it was posted (for a timer,
// when it was generated).
struct MSG {
    HWND hwnd;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD time = 0;
};

// ---- System messages ----------------------------------------------------------------------------
inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CREATE = 0x0001;    // lParam: CREATESTRUCT*; returning -1 fails creation
inline constexpr UINT WM_DESTROY = 0x0002;   // the window is still valid while this runs
inline constexpr UINT WM_MOVE = 0x0003;      // lParam: MAKELPARAM(x, y) of the new position
inline constexpr UINT WM_SIZE = 0x0005;      // wParam: SIZE_*; lParam: MAKELPARAM(width, height)
inline constexpr UINT WM_ACTIVATE = 0x0006;  // wParam: WA_*; lParam: the other window's Value()
inline constexpr UINT WM_ENABLE = 0x000A;    // wParam: 1 enabled, 0 disabled
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;           // wParam: the exit code of PostQuitMessage
inline constexpr UINT WM_SHOWWINDOW = 0x0018;     // wParam: 1 shown, 0 hidden
inline constexpr UINT WM_GETMINMAXINFO = 0x0024;  // lParam: MINMAXINFO*
inline constexpr UINT WM_NCCALCSIZE = 0x0083;
inline constexpr UINT WM_NCHITTEST = 0x0084;  // lParam: screen point; result: HT* code
inline constexpr UINT WM_NCPAINT = 0x0085;
inline constexpr UINT WM_NCACTIVATE = 0x0086;
inline constexpr UINT WM_KEYDOWN = 0x0100;  // wParam: virtual key; lParam: key data
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;  // wParam: UTF-16 code unit
inline constexpr UINT WM_SYSKEYDOWN = 0x0104;
inline constexpr UINT WM_SYSKEYUP = 0x0105;
inline constexpr UINT WM_SYSCHAR = 0x0106;  // a character typed with Alt held
inline constexpr UINT WM_COMMAND = 0x0111;  // wParam: MAKEWPARAM(command id, 1 from an accelerator)
inline constexpr UINT WM_SYSCOMMAND = 0x0112;  // wParam: SC_* (low four bits are the system's)
inline constexpr UINT WM_TIMER = 0x0113;       // wParam: timer id
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_MOUSEWHEEL = 0x020A;
inline constexpr UINT WM_USER = 0x0400;

// ---- Reserved for the layers under the windows ------------------------------------------------
inline constexpr UINT WM_APP = 0x8000;
// The engine delivers its posted element events through this message, posted to the window of
// the document; wParam and lParam are the engine's. Not a record carrier for anyone else.
inline constexpr UINT WM_ENGINE_POSTED_EVENT = WM_APP + 0;
// The view hands input that needs the engine rather than a window message (element-targeted
// input from the browser) to the UI thread with this message; wParam and lParam are the view's.
inline constexpr UINT WM_VIEW_INPUT = WM_APP + 1;
// Next free internal number: WM_APP + 2. Take one here, with a line saying who posts it.
inline constexpr UINT WM_INTERNAL_LAST = WM_APP + 0xFF;

// ---- Parameter codes --------------------------------------------------------------------------
// WM_SIZE
inline constexpr WPARAM SIZE_RESTORED = 0;
inline constexpr WPARAM SIZE_MINIMIZED = 1;
inline constexpr WPARAM SIZE_MAXIMIZED = 2;

// WM_ACTIVATE (low word of wParam)
inline constexpr WORD WA_INACTIVE = 0;
inline constexpr WORD WA_ACTIVE = 1;
inline constexpr WORD WA_CLICKACTIVE = 2;

// WM_SYSCOMMAND. The low four bits of wParam are used by the system; compare wParam & 0xFFF0.
inline constexpr WPARAM SC_SIZE = 0xF000;
inline constexpr WPARAM SC_MOVE = 0xF010;
inline constexpr WPARAM SC_MINIMIZE = 0xF020;
inline constexpr WPARAM SC_MAXIMIZE = 0xF030;
inline constexpr WPARAM SC_CLOSE = 0xF060;
inline constexpr WPARAM SC_RESTORE = 0xF120;

// WM_NCHITTEST results.
inline constexpr LRESULT HTERROR = -2;
inline constexpr LRESULT HTTRANSPARENT = -1;
inline constexpr LRESULT HTNOWHERE = 0;
inline constexpr LRESULT HTCLIENT = 1;
inline constexpr LRESULT HTCAPTION = 2;
inline constexpr LRESULT HTSYSMENU = 3;
inline constexpr LRESULT HTMINBUTTON = 8;
inline constexpr LRESULT HTMAXBUTTON = 9;
inline constexpr LRESULT HTLEFT = 10;
inline constexpr LRESULT HTRIGHT = 11;
inline constexpr LRESULT HTTOP = 12;
inline constexpr LRESULT HTTOPLEFT = 13;
inline constexpr LRESULT HTTOPRIGHT = 14;
inline constexpr LRESULT HTBOTTOM = 15;
inline constexpr LRESULT HTBOTTOMLEFT = 16;
inline constexpr LRESULT HTBOTTOMRIGHT = 17;
inline constexpr LRESULT HTCLOSE = 20;

// Key data of WM_KEYDOWN / WM_CHAR / WM_SYS*: bit 29 of lParam is set while Alt is held.
inline constexpr LPARAM KEY_DATA_ALT_DOWN = LPARAM{1} << 29;
// Key data of WM_KEYDOWN / WM_KEYUP from the view: Ctrl and Shift as they were when the key was
// pressed (there is no desktop keyboard state to ask afterwards).
inline constexpr LPARAM KEY_DATA_CTRL_DOWN = LPARAM{1} << 25;
inline constexpr LPARAM KEY_DATA_SHIFT_DOWN = LPARAM{1} << 26;

// Virtual keys the view reports (printable keys use their upper-case character code).
inline constexpr WPARAM VK_BACK = 0x08;
inline constexpr WPARAM VK_TAB = 0x09;
inline constexpr WPARAM VK_RETURN = 0x0D;
inline constexpr WPARAM VK_SHIFT = 0x10;
inline constexpr WPARAM VK_CONTROL = 0x11;
inline constexpr WPARAM VK_MENU = 0x12;  // Alt
inline constexpr WPARAM VK_ESCAPE = 0x1B;
inline constexpr WPARAM VK_SPACE = 0x20;
inline constexpr WPARAM VK_PRIOR = 0x21;
inline constexpr WPARAM VK_NEXT = 0x22;
inline constexpr WPARAM VK_END = 0x23;
inline constexpr WPARAM VK_HOME = 0x24;
inline constexpr WPARAM VK_LEFT = 0x25;
inline constexpr WPARAM VK_UP = 0x26;
inline constexpr WPARAM VK_RIGHT = 0x27;
inline constexpr WPARAM VK_DOWN = 0x28;
inline constexpr WPARAM VK_DELETE = 0x2E;

// ---- Records ----------------------------------------------------------------------------------
// What WM_CREATE points to: the arguments of CreateWindowEx.
struct CREATESTRUCT {
    void* lpCreateParams = nullptr;
    HWND hwndOwner;
    int cy = 0;
    int cx = 0;
    int y = 0;
    int x = 0;
    DWORD style = 0;
    const char16_t* lpszName = u"";
    DWORD dwExStyle = 0;
};

// What WM_GETMINMAXINFO points to, filled with the defaults before the window procedure sees it:
// ptMaxSize is the work area, ptMaxPosition its origin, ptMinTrackSize the smallest frame, and
// ptMaxTrackSize the screen.
struct MINMAXINFO {
    POINT ptReserved;
    POINT ptMaxSize;
    POINT ptMaxPosition;
    POINT ptMinTrackSize;
    POINT ptMaxTrackSize;
};

}  // namespace tavopix

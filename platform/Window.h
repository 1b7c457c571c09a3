// Top-level windows: a window class names a window procedure; a window is created from a class
// with a style, a position, a size and an optional owner, and lives until DestroyWindow. Each
// window carries one pointer-sized user value (GWLP_USERDATA) through which its procedure finds
// the object that drives it, an enabled flag, a show state (hidden, normal, minimised,
// maximised), a rectangle in screen pixels and a title. The whole window is client area.
//
// Nothing is drawn here: the view mirrors the windows (WindowObserver.h) and reports input back
// as posted messages. All functions in this file belong to the UI thread, except IsWindow, which
// any thread may call. A call on a handle whose window is gone fails (false, 0 or null) and sets
// the last error to ERROR_INVALID_WINDOW_HANDLE.
//
// Messages the functions here send to the window procedure, synchronously, in this order:
//   CreateWindowEx  WM_GETMINMAXINFO is not sent; WM_CREATE (−1 from it destroys the window and
//                   creation returns null).
//   DestroyWindow   first the windows it owns are destroyed (each gets WM_DESTROY), then
//                   WM_DESTROY. After WM_DESTROY returns, the handle is dead: its timers are gone
//                   and its queued messages are dropped (see MessageQueue.h for their records).
//                   Destroying posts nothing by itself.
//   ShowWindow      WM_SHOWWINDOW when visibility changes, WM_SIZE (and WM_MOVE) when the show
//                   state changes the rectangle, WM_ACTIVATE to the old and new active window.
//   MoveWindow      WM_MOVE when the position changes, WM_SIZE when the size changes.
//   EnableWindow    WM_ENABLE when the flag changes.
//   SetActiveWindow / SetForegroundWindow  WM_ACTIVATE (WA_INACTIVE to the old window, WA_ACTIVE
//                   to the new one).
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/WinTypes.h"
#include "platform/WindowHandle.h"
#include "platform/WindowMessages.h"

namespace tavopix {

inline constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
inline constexpr DWORD ERROR_CANNOT_FIND_WND_CLASS = 1407;
inline constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
inline constexpr DWORD ERROR_CLASS_HAS_WINDOWS = 1412;

// A window procedure: called for every message sent or dispatched to a window of its class.
using WNDPROC = std::function<LRESULT(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)>;

// ---- Styles (kept and reported to the view; the view decides what they look like) -----------
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD WS_MINIMIZE = 0x20000000;
inline constexpr DWORD WS_MAXIMIZE = 0x01000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_THICKFRAME = 0x00040000;
inline constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
inline constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
inline constexpr DWORD WS_EX_TOPMOST = 0x00000008;
inline constexpr DWORD WS_EX_LAYERED = 0x00080000;

// Class styles (kept, not acted upon: every window is redrawn by its page anyway).
inline constexpr UINT CS_VREDRAW = 0x0001;
inline constexpr UINT CS_HREDRAW = 0x0002;
inline constexpr UINT CS_DBLCLKS = 0x0008;

// ---- Show commands and placement --------------------------------------------------------------
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;  // show, activate, normal size
inline constexpr int SW_NORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;  // minimise and activate
inline constexpr int SW_SHOWMAXIMIZED = 3;  // maximise and activate
inline constexpr int SW_MAXIMIZE = 3;
inline constexpr int SW_SHOWNOACTIVATE = 4;  // show at normal size, do not activate
inline constexpr int SW_SHOW = 5;            // show in the current state and activate
inline constexpr int SW_MINIMIZE = 6;        // minimise and activate the owner
inline constexpr int SW_SHOWMINNOACTIVE = 7;
inline constexpr int SW_SHOWNA = 8;        // show in the current state, do not activate
inline constexpr int SW_RESTORE = 9;       // from minimised: back to the state before; else normal
inline constexpr int SW_SHOWDEFAULT = 10;  // as SW_SHOWNORMAL

struct WINDOWPLACEMENT {
    // SW_SHOWNORMAL, SW_SHOWMINIMIZED or SW_SHOWMAXIMIZED, also while hidden (IsWindowVisible
    // tells that).
    UINT showCmd = SW_SHOWNORMAL;
    RECT rcNormalPosition;  // the rectangle of the normal state, also while min/maximised
};

// ---- Window long values -----------------------------------------------------------------------
inline constexpr int GWL_STYLE = -16;
inline constexpr int GWL_EXSTYLE = -20;
inline constexpr int GWLP_USERDATA = -21;
inline constexpr int GWL_USERDATA = GWLP_USERDATA;

inline constexpr UINT GW_OWNER = 4;

// ---- Classes ----------------------------------------------------------------------------------
struct WNDCLASSEX {
    UINT style = 0;
    WNDPROC lpfnWndProc;
    std::u16string lpszClassName;
};

// Registers a class; 0 when the name is empty, the procedure missing, or the name taken.
[[nodiscard]] ATOM RegisterClassEx(const WNDCLASSEX& windowClass);
// Removes a class; false when it is unknown or still has windows.
bool UnregisterClass(std::u16string_view className);
// Whether the class exists; fills `windowClass` when it does and the pointer is not null.
bool GetClassInfoEx(std::u16string_view className, WNDCLASSEX* windowClass);

// ---- Creating and destroying ------------------------------------------------------------------
// Creates a hidden window (visible at once when `style` has WS_VISIBLE; disabled with
// WS_DISABLED) of the class at (x, y) with the given size, sends WM_CREATE and returns its
// handle; null when the class is unknown, the owner is given but dead, or WM_CREATE returns −1.
[[nodiscard]] HWND CreateWindowEx(DWORD exStyle, std::u16string_view className,
                                  std::u16string_view title, DWORD style, int x, int y, int width,
                                  int height, HWND owner, void* createParams);

bool DestroyWindow(HWND hwnd);

// Whether `hwnd` names a live window. Any thread.
bool IsWindow(HWND hwnd);

// The live windows in creation order (for a view that attaches late and mirrors them all).
std::vector<HWND> ListWindows();

// What a window procedure returns for a message it leaves to the system:
//   WM_CLOSE        DestroyWindow;
//   WM_SYSCOMMAND   SC_MINIMIZE / SC_MAXIMIZE / SC_RESTORE → ShowWindow, SC_CLOSE → WM_CLOSE;
//   WM_NCHITTEST    HTCLIENT;
//   WM_GETMINMAXINFO, WM_NCACTIVATE  TRUE/0 as the system does; everything else 0.
LRESULT DefWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// ---- Values -----------------------------------------------------------------------------------
// GWLP_USERDATA is free for the window's owner object; GWL_STYLE / GWL_EXSTYLE read the styles
// (minimised, maximised, visible and disabled bits included). Set returns the previous value;
// only GWLP_USERDATA can be set.
LONG_PTR GetWindowLongPtr(HWND hwnd, int index);
LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value);

// GW_OWNER: the owner given at creation (null when none or when it is gone).
HWND GetWindow(HWND hwnd, UINT relation);

bool SetWindowText(HWND hwnd, std::u16string_view title);
std::u16string GetWindowText(HWND hwnd);

// ---- Enabled, shown, active -------------------------------------------------------------------
// Returns true when the window was disabled before the call (as the system does).
bool EnableWindow(HWND hwnd, bool enable);
bool IsWindowEnabled(HWND hwnd);

// Returns whether the window was visible before the call.
bool ShowWindow(HWND hwnd, int showCommand);
bool IsWindowVisible(HWND hwnd);
bool IsIconic(HWND hwnd);  // minimised
bool IsZoomed(HWND hwnd);  // maximised

// The active window: the one the user works in, the default owner of a message box. A hidden,
// disabled or dead window cannot be activated. SetActiveWindow returns the previously active
// window (null when it fails or none was active); SetForegroundWindow whether it succeeded.
HWND GetActiveWindow();
HWND SetActiveWindow(HWND hwnd);
bool SetForegroundWindow(HWND hwnd);

// ---- Position and size ------------------------------------------------------------------------
// Moves and sizes the window (screen pixels). A minimised or maximised window keeps its state;
// the new rectangle becomes its normal one. `repaint` is accepted for the callers' sake: the
// view redraws every change anyway.
bool MoveWindow(HWND hwnd, int x, int y, int width, int height, bool repaint);
bool GetWindowRect(HWND hwnd, RECT* rect);
// The client rectangle: (0, 0) to the window's size.
bool GetClientRect(HWND hwnd, RECT* rect);
bool GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* placement);

// Converts points between the client coordinates of `from` and `to`; a null handle stands for
// the screen. False when a non-null handle is dead.
bool MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
bool ScreenToClient(HWND hwnd, POINT* point);
bool ClientToScreen(HWND hwnd, POINT* point);

// The tracking limits of a window for a view that lets the user resize it: the defaults
// (see MINMAXINFO) after the window procedure has adjusted them through WM_GETMINMAXINFO.
bool GetMinMaxInfo(HWND hwnd, MINMAXINFO* info);

}  // namespace tavopix

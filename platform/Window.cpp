#include "platform/Window.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <utility>

#include "platform/LastError.h"
#include "platform/MessageQueue.h"
#include "platform/SystemMetrics.h"
#include "platform/internal/UiThread.h"

namespace tavopix {

using internal::ShowState;
using internal::UiThread;
using internal::WindowRecord;

namespace {

// The bits GWL_STYLE reports from the window's state rather than from its stored style.
constexpr DWORD kStateStyles = WS_VISIBLE | WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE;

WindowRecord* FindOrFail(HWND hwnd) {
    WindowRecord* record = UiThread::Get().Find(hwnd);
    if (!record) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    }
    return record;
}

int Width(const RECT& rect) {
    return rect.right - rect.left;
}
int Height(const RECT& rect) {
    return rect.bottom - rect.top;
}

// a + b, held within int: window positions come from outside (a page) and may be anything.
int SaturatedSum(std::int64_t a, std::int64_t b) {
    return static_cast<int>(std::clamp<std::int64_t>(a + b, INT_MIN, INT_MAX));
}

WORD SizeParam(int value) {
    return static_cast<WORD>(std::clamp(value, 0, 0xFFFF));
}
// Positions travel as signed 16-bit values.
WORD PositionParam(int value) {
    return static_cast<WORD>(static_cast<std::int16_t>(std::clamp(value, -0x8000, 0x7FFF)));
}

bool CanActivate(const WindowRecord& record) {
    return record.visible && record.enabled && !record.destroying;
}

// Makes `hwnd` (or nothing, when null) the active window and tells both windows and the
// observers.
void Activate(HWND hwnd) {
    UiThread& ui = UiThread::Get();
    const HWND previous = ui.Active();
    if (previous == hwnd) {
        return;
    }
    ui.SetActive(hwnd);
    if (ui.Find(previous)) {
        ui.Send(previous, WM_ACTIVATE, WA_INACTIVE, static_cast<LPARAM>(hwnd.Value()));
    }
    if (const WindowRecord* record = ui.Find(hwnd)) {
        const WORD minimized = record->state == ShowState::Minimized ? 1 : 0;
        ui.Send(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, minimized),
                static_cast<LPARAM>(previous.Value()));
    }
    ui.Notify([hwnd](WindowObserver& observer) { observer.OnActiveWindowChanged(hwnd); });
}

// When `hwnd` is active and stops being a window one can work in, its owner takes over if it
// can, otherwise nothing is active.
void PassActivationOn(HWND hwnd, bool keepIfNoOwner) {
    UiThread& ui = UiThread::Get();
    if (ui.Active() != hwnd) {
        return;
    }
    const WindowRecord* record = ui.Find(hwnd);
    const HWND owner = record ? record->owner : HWND();
    const WindowRecord* ownerRecord = ui.Find(owner);
    if (ownerRecord && CanActivate(*ownerRecord)) {
        Activate(owner);
    } else if (!keepIfNoOwner) {
        Activate(nullptr);
    }
}

RECT MaximizedRect(HWND hwnd) {
    MINMAXINFO info;
    GetMinMaxInfo(hwnd, &info);
    const LONG width = std::clamp(info.ptMaxSize.x, info.ptMinTrackSize.x,
                                  std::max(info.ptMinTrackSize.x, info.ptMaxTrackSize.x));
    const LONG height = std::clamp(info.ptMaxSize.y, info.ptMinTrackSize.y,
                                   std::max(info.ptMinTrackSize.y, info.ptMaxTrackSize.y));
    return RECT{info.ptMaxPosition.x, info.ptMaxPosition.y, info.ptMaxPosition.x + width,
                info.ptMaxPosition.y + height};
}

WPARAM SizeKind(ShowState state) {
    switch (state) {
        case ShowState::Minimized:
            return SIZE_MINIMIZED;
        case ShowState::Maximized:
            return SIZE_MAXIMIZED;
        case ShowState::Normal:
            break;
    }
    return SIZE_RESTORED;
}

// Puts the window into `state`, sending WM_SIZE / WM_MOVE for what changed.
void ChangeShowState(HWND hwnd, ShowState state) {
    UiThread& ui = UiThread::Get();
    WindowRecord* record = ui.Find(hwnd);
    if (!record || record->state == state) {
        return;
    }
    RECT rect = record->rect;
    if (state == ShowState::Maximized) {
        rect = MaximizedRect(hwnd);  // asks the procedure: look the record up again
        record = ui.Find(hwnd);
        if (!record) {
            return;
        }
    } else if (state == ShowState::Normal) {
        rect = record->normalRect;
    } else {
        record->restoreTo = record->state;
    }
    const RECT before = record->rect;
    record->state = state;
    record->rect = rect;
    const LPARAM size = state == ShowState::Minimized
                            ? 0
                            : MAKELPARAM(SizeParam(Width(rect)), SizeParam(Height(rect)));
    ui.Send(hwnd, WM_SIZE, SizeKind(state), size);
    if (rect.left != before.left || rect.top != before.top) {
        ui.Send(hwnd, WM_MOVE, 0, MAKELPARAM(PositionParam(rect.left), PositionParam(rect.top)));
    }
    if (rect != before && ui.Find(hwnd)) {
        ui.Notify([hwnd](WindowObserver& observer) { observer.OnWindowMoved(hwnd); });
    }
}

}  // namespace

// ---- Classes ------------------------------------------------------------------------------------

ATOM RegisterClassEx(const WNDCLASSEX& windowClass) {
    if (windowClass.lpszClassName.empty() || !windowClass.lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto entry = std::make_unique<const internal::WindowClass>(internal::WindowClass{
        windowClass.style, windowClass.lpfnWndProc, windowClass.lpszClassName});
    if (!UiThread::Get().AddClass(std::move(entry))) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    // Atoms only have to be non-zero here: classes are always named by their names.
    return 1;
}

bool UnregisterClass(std::u16string_view className) {
    UiThread& ui = UiThread::Get();
    const internal::WindowClass* windowClass = ui.FindClass(className);
    if (!windowClass) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return false;
    }
    if (ui.ClassHasWindows(*windowClass)) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return false;
    }
    return ui.RemoveClass(className);
}

bool GetClassInfoEx(std::u16string_view className, WNDCLASSEX* windowClass) {
    const internal::WindowClass* entry = UiThread::Get().FindClass(className);
    if (!entry) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return false;
    }
    if (windowClass) {
        *windowClass = WNDCLASSEX{entry->style, entry->proc, entry->name};
    }
    return true;
}

// ---- Creating and destroying --------------------------------------------------------------------

HWND CreateWindowEx(DWORD exStyle, std::u16string_view className, std::u16string_view title,
                    DWORD style, int x, int y, int width, int height, HWND owner,
                    void* createParams) {
    UiThread& ui = UiThread::Get();
    const internal::WindowClass* windowClass = ui.FindClass(className);
    if (!windowClass) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (owner && !ui.Find(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    auto record = std::make_unique<WindowRecord>();
    record->windowClass = windowClass;
    record->owner = owner;
    record->title = std::u16string(title);
    record->style = style & ~kStateStyles;
    record->exStyle = exStyle;
    record->enabled = (style & WS_DISABLED) == 0;
    record->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
    record->normalRect = record->rect;
    const HWND hwnd = ui.AddWindow(std::move(record));

    CREATESTRUCT create;
    create.lpCreateParams = createParams;
    create.hwndOwner = owner;
    create.cx = std::max(width, 0);
    create.cy = std::max(height, 0);
    create.x = x;
    create.y = y;
    create.style = style;
    create.dwExStyle = exStyle;
    const std::u16string titleCopy(title);
    create.lpszName = titleCopy.c_str();
    if (ui.Send(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(hwnd);
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    WindowRecord* created = ui.Find(hwnd);
    if (!created) {
        return nullptr;  // destroyed by its own WM_CREATE
    }
    created->announced = true;
    ui.Notify([hwnd](WindowObserver& observer) { observer.OnWindowCreated(hwnd); });
    if (style & WS_VISIBLE) {
        ShowWindow(hwnd, SW_SHOW);
    }
    return hwnd;
}

bool DestroyWindow(HWND hwnd) {
    UiThread& ui = UiThread::Get();
    WindowRecord* record = FindOrFail(hwnd);
    if (!record) {
        return false;
    }
    if (record->destroying) {
        return true;  // asked again from its own WM_DESTROY
    }
    record->destroying = true;
    const HWND owner = record->owner;

    // Owned windows go first, as they cannot outlive their owner.
    for (const HWND other : ui.LiveWindows()) {
        const WindowRecord* otherRecord = ui.Find(other);
        if (otherRecord && otherRecord->owner == hwnd) {
            DestroyWindow(other);
        }
    }
    const bool wasActive = ui.Active() == hwnd;
    ui.Send(hwnd, WM_DESTROY, 0, 0);
    record = ui.Find(hwnd);
    const bool announced = record && record->announced;
    ui.RetireWindow(hwnd);
    if (announced) {
        ui.Notify([hwnd](WindowObserver& observer) { observer.OnWindowDestroyed(hwnd); });
    }
    if (wasActive && ui.Active() == nullptr) {
        const WindowRecord* ownerRecord = ui.Find(owner);
        if (ownerRecord && CanActivate(*ownerRecord)) {
            Activate(owner);
        } else {
            ui.Notify([](WindowObserver& observer) { observer.OnActiveWindowChanged(nullptr); });
        }
    }
    return true;
}

bool IsWindow(HWND hwnd) {
    return UiThread::Get().IsLive(hwnd);
}

std::vector<HWND> ListWindows() {
    return UiThread::Get().LiveWindows();
}

LRESULT DefWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_MINIMIZE:
                    ShowWindow(hwnd, SW_MINIMIZE);
                    break;
                case SC_MAXIMIZE:
                    ShowWindow(hwnd, SW_MAXIMIZE);
                    break;
                case SC_RESTORE:
                    ShowWindow(hwnd, SW_RESTORE);
                    break;
                case SC_CLOSE:
                    SendMessage(hwnd, WM_CLOSE, 0, 0);
                    break;
                default:
                    break;
            }
            return 0;
        case WM_NCHITTEST:
            return HTCLIENT;
        case WM_NCACTIVATE:
            return 1;
        default:
            return 0;
    }
}

// ---- Values -------------------------------------------------------------------------------------

LONG_PTR GetWindowLongPtr(HWND hwnd, int index) {
    const WindowRecord* record = FindOrFail(hwnd);
    if (!record) {
        return 0;
    }
    switch (index) {
        case GWLP_USERDATA:
            return record->userData;
        case GWL_STYLE: {
            DWORD style = record->style;
            style |= record->visible ? WS_VISIBLE : 0;
            style |= record->enabled ? 0 : WS_DISABLED;
            style |= record->state == ShowState::Minimized ? WS_MINIMIZE : 0;
            style |= record->state == ShowState::Maximized ? WS_MAXIMIZE : 0;
            return static_cast<LONG_PTR>(style);
        }
        case GWL_EXSTYLE:
            return static_cast<LONG_PTR>(record->exStyle);
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
    }
}

LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value) {
    WindowRecord* record = FindOrFail(hwnd);
    if (!record) {
        return 0;
    }
    if (index != GWLP_USERDATA) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return std::exchange(record->userData, value);
}

HWND GetWindow(HWND hwnd, UINT relation) {
    const WindowRecord* record = FindOrFail(hwnd);
    if (!record || relation != GW_OWNER) {
        return nullptr;
    }
    return UiThread::Get().Find(record->owner) ? record->owner : HWND();
}

bool SetWindowText(HWND hwnd, std::u16string_view title) {
    WindowRecord* record = FindOrFail(hwnd);
    if (!record) {
        return false;
    }
    if (record->title != title) {
        record->title = std::u16string(title);
        UiThread::Get().Notify(
            [hwnd](WindowObserver& observer) { observer.OnWindowTitleChanged(hwnd); });
    }
    return true;
}

std::u16string GetWindowText(HWND hwnd) {
    const WindowRecord* record = FindOrFail(hwnd);
    return record ? record->title : std::u16string();
}

// ---- Enabled, shown, active ---------------------------------------------------------------------

bool EnableWindow(HWND hwnd, bool enable) {
    WindowRecord* record = FindOrFail(hwnd);
    if (!record) {
        return false;
    }
    const bool wasDisabled = !record->enabled;
    if (record->enabled != enable) {
        record->enabled = enable;
        UiThread& ui = UiThread::Get();
        ui.Send(hwnd, WM_ENABLE, enable ? 1 : 0, 0);
        ui.Notify([hwnd](WindowObserver& observer) { observer.OnWindowEnabledChanged(hwnd); });
    }
    return wasDisabled;
}

bool IsWindowEnabled(HWND hwnd) {
    const WindowRecord* record = UiThread::Get().Find(hwnd);
    return record && record->enabled;
}

bool ShowWindow(HWND hwnd, int showCommand) {
    UiThread& ui = UiThread::Get();
    WindowRecord* record = FindOrFail(hwnd);
    if (!record) {
        return false;
    }
    const bool wasVisible = record->visible;
    bool visible = true;
    std::optional<ShowState> state;
    enum class Activation { Activate, Keep, PassOn } activation = Activation::Activate;
    switch (showCommand) {
        case SW_HIDE:
            visible = false;
            activation = Activation::PassOn;
            break;
        case SW_SHOWNORMAL:
        case SW_SHOWDEFAULT:
            state = ShowState::Normal;
            break;
        case SW_SHOWNOACTIVATE:
            state = ShowState::Normal;
            activation = Activation::Keep;
            break;
        case SW_SHOW:
            break;
        case SW_SHOWNA:
            activation = Activation::Keep;
            break;
        case SW_SHOWMINIMIZED:
            state = ShowState::Minimized;
            break;
        case SW_MINIMIZE:
            state = ShowState::Minimized;
            activation = Activation::PassOn;
            break;
        case SW_SHOWMINNOACTIVE:
            state = ShowState::Minimized;
            activation = Activation::Keep;
            break;
        case SW_MAXIMIZE:
            state = ShowState::Maximized;
            break;
        case SW_RESTORE:
            state = record->state == ShowState::Minimized ? record->restoreTo : ShowState::Normal;
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return wasVisible;
    }

    bool changed = false;
    if (visible != wasVisible) {
        record->visible = visible;
        changed = true;
        ui.Send(hwnd, WM_SHOWWINDOW, visible ? 1 : 0, 0);
    }
    if (state && ui.Find(hwnd) && ui.Find(hwnd)->state != *state) {
        ChangeShowState(hwnd, *state);
        changed = true;
    }
    if (!ui.Find(hwnd)) {
        return wasVisible;  // a handler destroyed it
    }
    if (changed) {
        ui.Notify([hwnd](WindowObserver& observer) { observer.OnWindowShowStateChanged(hwnd); });
    }
    switch (activation) {
        case Activation::Activate:
            if (const WindowRecord* current = ui.Find(hwnd); current && CanActivate(*current)) {
                Activate(hwnd);
            }
            break;
        case Activation::PassOn:
            // A minimised window without an owner to hand over to stays the active one.
            PassActivationOn(hwnd, /*keepIfNoOwner=*/visible);
            break;
        case Activation::Keep:
            break;
    }
    return wasVisible;
}

bool IsWindowVisible(HWND hwnd) {
    const WindowRecord* record = UiThread::Get().Find(hwnd);
    return record && record->visible;
}

bool IsIconic(HWND hwnd) {
    const WindowRecord* record = UiThread::Get().Find(hwnd);
    return record && record->state == ShowState::Minimized;
}

bool IsZoomed(HWND hwnd) {
    const WindowRecord* record = UiThread::Get().Find(hwnd);
    return record && record->state == ShowState::Maximized;
}

HWND GetActiveWindow() {
    return UiThread::Get().Active();
}

HWND SetActiveWindow(HWND hwnd) {
    UiThread& ui = UiThread::Get();
    const WindowRecord* record = FindOrFail(hwnd);
    if (!record || !CanActivate(*record)) {
        return nullptr;
    }
    const HWND previous = ui.Active();
    Activate(hwnd);
    return previous;
}

bool SetForegroundWindow(HWND hwnd) {
    const WindowRecord* record = FindOrFail(hwnd);
    if (!record || !CanActivate(*record)) {
        return false;
    }
    Activate(hwnd);
    return true;
}

// ---- Position and size --------------------------------------------------------------------------

bool MoveWindow(HWND hwnd, int x, int y, int width, int height, bool /*repaint*/) {
    UiThread& ui = UiThread::Get();
    WindowRecord* record = FindOrFail(hwnd);
    if (!record) {
        return false;
    }
    const RECT rect{x, y, SaturatedSum(x, std::max(width, 0)),
                    SaturatedSum(y, std::max(height, 0))};
    record->normalRect = rect;
    if (record->state != ShowState::Normal || record->rect == rect) {
        return true;
    }
    const RECT before = record->rect;
    record->rect = rect;
    if (rect.left != before.left || rect.top != before.top) {
        ui.Send(hwnd, WM_MOVE, 0, MAKELPARAM(PositionParam(rect.left), PositionParam(rect.top)));
    }
    if (Width(rect) != Width(before) || Height(rect) != Height(before)) {
        ui.Send(hwnd, WM_SIZE, SIZE_RESTORED,
                MAKELPARAM(SizeParam(Width(rect)), SizeParam(Height(rect))));
    }
    if (ui.Find(hwnd)) {
        ui.Notify([hwnd](WindowObserver& observer) { observer.OnWindowMoved(hwnd); });
    }
    return true;
}

bool GetWindowRect(HWND hwnd, RECT* rect) {
    const WindowRecord* record = FindOrFail(hwnd);
    if (!record) {
        return false;
    }
    *rect = record->rect;
    return true;
}

bool GetClientRect(HWND hwnd, RECT* rect) {
    const WindowRecord* record = FindOrFail(hwnd);
    if (!record) {
        return false;
    }
    *rect = RECT{0, 0, Width(record->rect), Height(record->rect)};
    return true;
}

bool GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* placement) {
    const WindowRecord* record = FindOrFail(hwnd);
    if (!record) {
        return false;
    }
    switch (record->state) {
        case ShowState::Normal:
            placement->showCmd = SW_SHOWNORMAL;
            break;
        case ShowState::Minimized:
            placement->showCmd = SW_SHOWMINIMIZED;
            break;
        case ShowState::Maximized:
            placement->showCmd = SW_SHOWMAXIMIZED;
            break;
    }
    placement->rcNormalPosition = record->normalRect;
    return true;
}

bool MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
    POINT offset;
    for (const auto& [hwnd, sign] : {std::pair{from, 1}, std::pair{to, -1}}) {
        if (!hwnd) {
            continue;
        }
        const WindowRecord* record = FindOrFail(hwnd);
        if (!record) {
            return false;
        }
        offset.x = SaturatedSum(offset.x, std::int64_t{sign} * record->rect.left);
        offset.y = SaturatedSum(offset.y, std::int64_t{sign} * record->rect.top);
    }
    for (UINT i = 0; i < count; ++i) {
        points[i].x = SaturatedSum(points[i].x, offset.x);
        points[i].y = SaturatedSum(points[i].y, offset.y);
    }
    return true;
}

bool ScreenToClient(HWND hwnd, POINT* point) {
    return MapWindowPoints(nullptr, hwnd, point, 1);
}

bool ClientToScreen(HWND hwnd, POINT* point) {
    return MapWindowPoints(hwnd, nullptr, point, 1);
}

bool GetMinMaxInfo(HWND hwnd, MINMAXINFO* info) {
    if (!FindOrFail(hwnd)) {
        return false;
    }
    *info = MINMAXINFO{};
    info->ptMaxSize = POINT{GetSystemMetrics(SM_CXMAXIMIZED), GetSystemMetrics(SM_CYMAXIMIZED)};
    info->ptMaxPosition = POINT{0, 0};
    info->ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
    info->ptMaxTrackSize = POINT{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    UiThread::Get().Send(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(info));
    return true;
}

}  // namespace tavopix

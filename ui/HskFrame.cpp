#include "ui/HskFrame.h"

#include <unordered_set>

#include "engine/Behavior.h"
#include "engine/Document.h"
#include "engine/Element.h"
#include "engine/EventCodes.h"
#include "platform/Accelerator.h"
#include "platform/MessageQueue.h"
#include "platform/SystemMetrics.h"
#include "platform/Window.h"
#include "ui/DialogKeys.h"
#include "ui/PageHost.h"

namespace tavopix {
namespace {

constexpr LocationArea kBorderBox = ROOT_RELATIVE | BORDER_BOX;
constexpr LocationArea kContentBox = ROOT_RELATIVE | CONTENT_BOX;

// The border zones of a frame: a band this wide along each edge resizes the window.
constexpr int kBorderBand = 2;
constexpr int kCornerZone = 10;

}  // namespace

int RegisterFrameClass() {
    WNDCLASSEX windowClass;
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = &CHskFrame::FrameWndProc;
    windowClass.lpszClassName = std::u16string(kFrameClassName);
    return RegisterClassEx(windowClass) ? 0 : 2;
}

void UnregisterFrameClass() {
    if (GetClassInfoEx(kFrameClassName, nullptr))
        UnregisterClass(kFrameClassName);
}

CHskFrame::CHskFrame(HWND owner) : EventHandler(HANDLE_BEHAVIOR_EVENT), ownerWnd(owner) {}

CHskFrame::~CHskFrame() {
    // A frame deleted while its window lives (its creator gave up on it) must not be reached
    // through the window any more.
    if (IsWindow(hwnd) && FromWindow(hwnd) == this) {
        SetWindowLongPtr(hwnd, GWLP_USERDATA, 0);
        DestroyWindow(hwnd);
    }
}

namespace {

// The live windows of the frame class: only their user data is a frame.
std::unordered_set<HWND>& FrameWindows() {
    static std::unordered_set<HWND> windows;
    return windows;
}

}  // namespace

CHskFrame* CHskFrame::FromWindow(HWND window) {
    if (!FrameWindows().count(window))
        return nullptr;
    return reinterpret_cast<CHskFrame*>(GetWindowLongPtr(window, GWLP_USERDATA));
}

PageHost* CHskFrame::Page() const {
    return hwnd ? PageHost::Of(hwnd) : nullptr;
}

int CHskFrame::Run(int showCommand) {
    EnableOwner(false);
    const int error = Create();
    if (error != 0) {
        // Nothing was shown: the owner gets its input back and its loop goes on.
        EnableOwner(true);
        return error;
    }
    ShowWindow(hwnd, showCommand);
    return MessageLoop();
}

int CHskFrame::Create() {
    DWORD style = WS_POPUP;
    if (flags & HSK_MIN)
        style |= WS_SYSMENU | WS_MINIMIZEBOX;
    if (flags & HSK_MAX)
        style |= WS_SYSMENU | WS_MAXIMIZEBOX;
    if (flags & HSK_CORNER)
        style |= WS_THICKFRAME;
    if (maxWidth < 1)
        maxWidth = GetSystemMetrics(SM_CXMAXIMIZED);
    if (maxHeight < 1)
        maxHeight = GetSystemMetrics(SM_CYMAXIMIZED);
    if (x == -1)
        x = (GetSystemMetrics(SM_CXMAXIMIZED) - width) / 2;
    if (y == -1)
        y = (GetSystemMetrics(SM_CYMAXIMIZED) - height) / 2;

    hwnd = CreateWindowEx(WS_EX_LAYERED, kFrameClassName, u"", style, x, y, width, height, ownerWnd,
                          nullptr);
    if (!hwnd)
        return FRAME_RESULT_CREATE_FAILED;
    SetWindowLongPtr(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

    if (!PageHost::LoadFile(hwnd, skinPage)) {
        // Cleared first, so the window's end does not end the loop that is running now.
        SetWindowLongPtr(hwnd, GWLP_USERDATA, 0);
        DestroyWindow(hwnd);
        hwnd = nullptr;
        return FRAME_RESULT_CREATE_FAILED;
    }
    BindParts();
    Page()->Events().SetBehaviorResolver(
        [this](std::string_view name) { return OnAttachBehavior(name); });
    Page()->Events().AttachWindowHandler(*this, 0x3FF);
    if (!title.empty())
        SetWindowText(hwnd, title);
    return 0;
}

void CHskFrame::BindParts() {
    Element* root = Page()->Root();
    const auto bind = [&](Part part, std::u16string_view id, bool wanted) {
        parts[part] = wanted ? ElementRef(root->FindById(id)) : ElementRef();
    };
    bind(PART_CLOSE, u"hsk_btn_close", flags & HSK_CLOSE);
    bind(PART_MIN, u"hsk_btn_min", flags & HSK_MIN);
    bind(PART_MAX, u"hsk_btn_max", flags & HSK_MAX);
    bind(PART_CORNER, u"hsk_corner", flags & HSK_CORNER);
    bind(PART_ICON, u"hsk_icon", flags & HSK_ICON);
    parts[PART_BODY] = ElementRef(root->Tag() == "body" ? root : root->FindFirst("body"));
    bind(PART_CAPTION, u"hsk_cp", true);
    bind(PART_CONTENT, u"hsk_ct", true);
    bind(PART_FOG, u"hsk_fog", true);
}

void CHskFrame::EnableOwner(bool enable) {
    if (!ownerWnd)
        return;
    if (CHskFrame* owner = FromWindow(ownerWnd)) {
        if (Element* fog = owner->parts[PART_FOG].get()) {
            if (enable) {
                fog->SetAttribute("style", u"visibility:hidden");
            } else {
                fog->SetAttribute("style", std::nullopt);
            }
        }
    }
    EnableWindow(ownerWnd, enable);
    if (enable)
        SetForegroundWindow(ownerWnd);
}

int CHskFrame::MessageLoop() {
    HACCEL table = accelId != 0 ? LoadAccelerators(accelId) : nullptr;
    MSG msg;
    // The changes a message made reach the view before the loop waits for the next one.
    Document::FlushAllChanges();
    while (GetMessage(&msg, nullptr, 0, 0)) {
        if (!table || !TranslateAccelerator(msg.hwnd, table, &msg))
            DispatchMessage(&msg);
        Document::FlushAllChanges();
    }
    if (table)
        DestroyAcceleratorTable(table);
    return resultCode;
}

LRESULT CHskFrame::FrameWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE)
        FrameWindows().insert(hwnd);
    LRESULT engineResult = 0;
    if (PageHost::ProcND(hwnd, message, wParam, lParam, engineResult) && message != WM_SIZE) {
        return engineResult;
    }
    CHskFrame* frame = FromWindow(hwnd);
    switch (message) {
        case WM_DESTROY:
            FrameWindows().erase(hwnd);
            SetWindowLongPtr(hwnd, GWLP_USERDATA, 0);
            PageHost::Unload(hwnd);
            // A frame that never finished its creation ends no loop.
            if (frame) {
                frame->hwnd = nullptr;
                PostQuitMessage(0);
            }
            return 0;
        case WM_CLOSE:
            if (frame) {
                bool handled = false;
                frame->OnWindowMessage(hwnd, message, wParam, lParam, handled);
                frame->EnableOwner(true);
            }
            DestroyWindow(hwnd);
            return 0;
        case WM_GETMINMAXINFO:
            DefWindowProc(hwnd, message, wParam, lParam);
            if (frame)
                frame->FillMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
            return 0;
        case WM_NCCALCSIZE:
        case WM_NCPAINT:
            return 0;
        case WM_NCACTIVATE:
            return wParam == 0 ? 1 : 0;
        default:
            break;
    }
    if (frame) {
        bool handled = false;
        const LRESULT result = frame->OnWindowMessage(hwnd, message, wParam, lParam, handled);
        if (handled)
            return result;
    }
    return message == WM_SIZE ? engineResult : DefWindowProc(hwnd, message, wParam, lParam);
}

void CHskFrame::FillMinMaxInfo(MINMAXINFO& info) {
    if (PageHost* page = Page()) {
        RECT rect;
        GetWindowRect(hwnd, &rect);
        info.ptMinTrackSize.x = page->MinWidth();
        info.ptMinTrackSize.y = page->MinHeight(rect.right - rect.left);
    }
    if (minWidth > 0 && minWidth > info.ptMinTrackSize.x)
        info.ptMinTrackSize.x = minWidth;
    if (minHeight > 0 && minHeight > info.ptMinTrackSize.y)
        info.ptMinTrackSize.y = minHeight;
    if (maxWidth > 0)
        info.ptMaxTrackSize.x = maxWidth;
    if (maxHeight > 0)
        info.ptMaxTrackSize.y = maxHeight;
}

LRESULT CHskFrame::OnWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam,
                                   bool& handled) {
    if (message == WM_NCHITTEST) {
        handled = true;
        return HitTest(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    }
    if (message == WM_SYSCOMMAND) {
        // Bit tests, not equality: the system adds low bits, and other commands share these
        // bits, so a frame without a minimise button swallows restore and close requests too.
        if ((wParam & SC_MAXIMIZE) == SC_MAXIMIZE) {
            if (!(flags & HSK_MAX))
                handled = true;
        } else if ((wParam & SC_MINIMIZE) == SC_MINIMIZE) {
            if (!(flags & HSK_MIN))
                handled = true;
        }
    }
    return 0;
}

EventHandler* CHskFrame::OnAttachBehavior(std::string_view name) {
    return Behavior::Find(name);
}

LRESULT CHskFrame::HitTest(int screenX, int screenY) {
    POINT point{screenX, screenY};
    MapWindowPoints(nullptr, hwnd, &point, 1);
    const Point p{point.x, point.y};

    // The boxes of the parts at the window's edges and the body's, in one question to the view:
    // each question waits for the page to lay out its latest changes, and a press waits for its
    // hit test.
    std::vector<const Element*> asked = ClientPartsInCaption();
    const std::size_t clientParts = asked.size();
    static constexpr Part kEdgeParts[] = {PART_CAPTION, PART_ICON, PART_CORNER};
    static constexpr LRESULT kEdgeCodes[] = {HTCAPTION, HTSYSMENU, HTBOTTOMRIGHT};
    for (const Part part : kEdgeParts)
        asked.push_back(parts[part].get());
    const std::size_t edgeParts = asked.size();
    asked.push_back(parts[PART_BODY].get());
    const std::vector<Rect> boxes = Element::Locations(asked, kBorderBox);
    for (std::size_t i = 0; i < edgeParts; ++i) {
        if (asked[i] && boxes[i].Contains(p))
            return i < clientParts ? HTCLIENT : kEdgeCodes[i - clientParts];
    }

    Rect body = BodyContentBox(boxes[edgeParts]);
    body.left += kBorderBand;
    body.top += kBorderBand;
    body.right -= kBorderBand;
    body.bottom -= kBorderBand;
    if (body.Contains(p))
        return HTCLIENT;
    if (p.y < body.top + kCornerZone) {
        if (p.x < body.left + kCornerZone)
            return HTTOPLEFT;
        if (p.x > body.right - kCornerZone)
            return HTTOPRIGHT;
    } else if (p.y > body.bottom - kCornerZone) {
        if (p.x < body.left + kCornerZone)
            return HTBOTTOMLEFT;
        if (p.x > body.right - kCornerZone)
            return HTBOTTOMRIGHT;
    }
    if (p.y < body.top)
        return HTTOP;
    if (p.y > body.bottom)
        return HTBOTTOM;
    if (p.x < body.left)
        return HTLEFT;
    if (p.x > body.right)
        return HTRIGHT;
    return HTCLIENT;
}

Rect CHskFrame::BodyContentBox(const Rect& border) {
    const Element* body = parts[PART_BODY].get();
    if (!body)
        return Rect{};
    if (bodyInsets_)
        return Rect{border.left + bodyInsets_->left, border.top + bodyInsets_->top,
                    border.right - bodyInsets_->right, border.bottom - bodyInsets_->bottom};
    const Rect content = body->Location(kContentBox);
    // Kept once the page is laid out; before that both boxes are empty.
    if (border.Width() > 0 && border.Height() > 0)
        bodyInsets_ = Rect{content.left - border.left, content.top - border.top,
                           border.right - content.right, border.bottom - content.bottom};
    return content;
}

bool CHskFrame::IsMaximized() const {
    WINDOWPLACEMENT placement;
    return GetWindowPlacement(hwnd, &placement) && placement.showCmd == SW_SHOWMAXIMIZED;
}

bool CHskFrame::OnKey(Element&, KeyParams& params) {
    Element* body = parts[PART_BODY].get();
    if (!ownerWnd || !body)
        return false;
    Element* cancel = body->FindById(u"btn_cancel");
    if (!cancel)
        cancel = body->FindById(u"btn_close");
    if (!cancel)
        cancel = parts[PART_CLOSE].get();
    return HandleDialogKey(params, body->FindFirst("button.primary"), cancel);
}

bool CHskFrame::OnBehaviorEvent(Element*, Element* target, std::uint32_t code, std::uintptr_t) {
    if (code != BUTTON_CLICK || !target)
        return false;
    if ((flags & HSK_MIN) && target == parts[PART_MIN].get()) {
        ShowWindow(hwnd, SW_MINIMIZE);
        return true;
    }
    if ((flags & HSK_MAX) && target == parts[PART_MAX].get()) {
        ShowWindow(hwnd, IsMaximized() ? SW_RESTORE : SW_MAXIMIZE);
        return true;
    }
    if ((flags & HSK_CLOSE) && target == parts[PART_CLOSE].get()) {
        PostMessage(hwnd, WM_CLOSE, 0, 0);
        return true;
    }
    return false;
}

}  // namespace tavopix

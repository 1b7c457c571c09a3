// CHskFrame: the base of every window of the program. A frame is a caption-less popup window
// whose whole surface is a page from the skin folder; the page draws the caption, the window
// buttons, the icon, the resize grip and the fog, and the frame finds them by id and turns them
// into window behaviour (dragging, minimise / maximise / close, resizing, dimming the owner
// while a modal child runs).
//
// Every frame is shown and run through Run, which runs the frame's own message loop: a frame
// with an owner is modal over it, its loop nested inside the owner's, until its window is
// destroyed; Run then returns the frame's result code (1 confirmed, 2 closed or cancelled,
// 3 creation failed; a message box returns its button's id).
//
// Ownership: the frame is stored in its window's user data from creation until WM_DESTROY.
// Whoever constructs a frame deletes it (dialogs live on the caller's stack for the run).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/ElementRef.h"
#include "engine/EventHandler.h"
#include "engine/Geometry.h"
#include "platform/WinTypes.h"
#include "platform/WindowHandle.h"
#include "platform/WindowMessages.h"

namespace tavopix {

class PageHost;

// Which window parts the page provides.
inline constexpr std::uint32_t HSK_CLOSE = 0x01;
inline constexpr std::uint32_t HSK_MIN = 0x02;
inline constexpr std::uint32_t HSK_MAX = 0x04;
inline constexpr std::uint32_t HSK_SPARE = 0x08;  // no part and no effect; the main window sets it
inline constexpr std::uint32_t HSK_ICON = 0x20;
inline constexpr std::uint32_t HSK_CORNER = 0x40;

// Run results shared by the dialogs.
inline constexpr int FRAME_RESULT_OK = 1;
inline constexpr int FRAME_RESULT_CLOSED = 2;
inline constexpr int FRAME_RESULT_CREATE_FAILED = 3;

inline constexpr std::u16string_view kFrameClassName = u"htmlayout::hskframe";

// Registers the frame window class: 0 on success, 2 on failure. Windows here carry no icons
// of their own; the browser shows the program's.
int RegisterFrameClass();
void UnregisterFrameClass();

class CHskFrame : public EventHandler {
public:
    explicit CHskFrame(HWND owner);
    ~CHskFrame() override;
    CHskFrame(const CHskFrame&) = delete;
    CHskFrame& operator=(const CHskFrame&) = delete;

    virtual int Run(int showCommand);
    // Setting `handled` stops the frame's own processing of the message.
    virtual LRESULT OnWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                    bool& handled);
    // Elements inside the caption that take presses as part of the page rather than dragging
    // the window; none by default.
    virtual std::vector<const Element*> ClientPartsInCaption() const { return {}; }
    // 0 on success, 3 on failure.
    virtual int Create();

    bool OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                         std::uintptr_t reason) override;
    // A dialog (a frame with an owner) answers Enter with its page's default button (the
    // "primary" one) and Escape with its cancel button ("btn_cancel", else "btn_close", else
    // its close button). Windows with keys of their own override it.
    bool OnKey(Element& element, KeyParams& params) override;

    void EnableOwner(bool enable);
    int MessageLoop();
    // The non-client zone under a screen point.
    LRESULT HitTest(int x, int y);
    bool IsMaximized() const;

    HWND GetHwnd() const { return hwnd; }
    int ResultCode() const { return resultCode; }
    // The page of the frame; null before Create and after the window is gone.
    PageHost* Page() const;

    // True for the window that is the browser window itself: the view shows it filling its
    // whole area rather than as a box on it.
    virtual bool FillsView() const { return false; }

    // The engine asks the frame for the behaviour a page names; by default the process-wide
    // registry answers. A window may serve a name itself.
    virtual EventHandler* OnAttachBehavior(std::string_view name);

    static LRESULT FrameWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // The frame stored in a window's user data; null for other windows.
    static CHskFrame* FromWindow(HWND hwnd);

protected:
    // The bound page elements, in this order.
    enum Part {
        PART_BODY,
        PART_CAPTION,  // "hsk_cp"
        PART_CLOSE,    // "hsk_btn_close"
        PART_MIN,      // "hsk_btn_min"
        PART_MAX,      // "hsk_btn_max"
        PART_ICON,     // "hsk_icon"
        PART_CORNER,   // "hsk_corner"
        PART_CONTENT,  // "hsk_ct"
        PART_FOG,      // "hsk_fog"
        PART_COUNT
    };

    HWND ownerWnd;
    HWND hwnd;
    int resultCode = FRAME_RESULT_CLOSED;
    std::uint32_t flags = HSK_CLOSE | HSK_MIN;
    std::u16string skinPage;
    std::u16string title;
    int x = -1;
    int y = -1;
    int width = 400;
    int height = 300;
    int minWidth = -1;
    int minHeight = -1;
    int maxWidth = -1;
    int maxHeight = -1;
    std::array<ElementRef, PART_COUNT> parts;
    std::uint16_t accelId = 0;

private:
    void BindParts();
    void FillMinMaxInfo(MINMAXINFO& info);
    // The body's content box from its border box: the body's border and padding come from its
    // style alone, so they are asked of the view once, at the first press on a laid-out page.
    Rect BodyContentBox(const Rect& border);

    std::optional<Rect> bodyInsets_;  // left, top, right and bottom: border plus padding
};

}  // namespace tavopix

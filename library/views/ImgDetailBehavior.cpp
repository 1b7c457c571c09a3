#include "library/views/ImgDetailBehavior.h"

#include "app/AppContext.h"
#include "engine/EventDispatcher.h"
#include "library/views/GridEvents.h"
#include "platform/Clock.h"

namespace tavopix {

namespace {

[[maybe_unused]] ImgDetailBehavior& imgDetailRegistered = ImgDetailBehavior::Instance();

}  // namespace

PictureThird ThirdOf(int x, int left, int width) {
    if (x < left || x > left + width) {
        return PictureThird::Outside;
    }
    if (x <= left + width / 3) {
        return PictureThird::Left;
    }
    if (x <= left + 2 * width / 3) {
        return PictureThird::Middle;
    }
    return PictureThird::Right;
}

void SetPictureCursor(Element& viewer, PictureThird third) {
    Element* picture = viewer.FindById(u"pic");
    if (picture == nullptr || third == PictureThird::Outside) {
        return;
    }
    const std::u16string& cursor = third == PictureThird::Left    ? appContext.prevCursorStyle
                                   : third == PictureThird::Right ? appContext.nextCursorStyle
                                                                  : std::u16string(u"default");
    picture->SetStyleAttribute("cursor", cursor);
}

ImgDetailBehavior& ImgDetailBehavior::Instance() {
    static ImgDetailBehavior instance;
    return instance;
}

ImgDetailBehavior::ImgDetailBehavior()
    : Behavior("bhv_img_detail", HANDLE_MOUSE | HANDLE_KEY | HANDLE_SCROLL) {}

bool ImgDetailBehavior::OnMouse(Element& he, MouseParams& params) {
    if ((params.cmd & SINKING) != 0) {
        return false;
    }
    const std::uint32_t cmd = EventCommand(params.cmd);
    if (cmd == MOUSE_MOVE) {
        lastMouse_ = params.posDocument;
    }
    if (cmd == MOUSE_WHEEL) {
        WheelStep(he, params.wheelDelta);
        return false;
    }
    Element* border = he.FindById(u"dtl_img_border");
    if (border == nullptr || !border->HasState(STATE_HOVER)) {
        return false;
    }
    const Rect frame = border->Location(ROOT_RELATIVE | BORDER_BOX);
    const PictureThird third = ThirdOf(params.posDocument.x, frame.left, frame.Width());
    if (third == PictureThird::Outside) {
        return false;
    }
    EventDispatcher* events = EventDispatcher::Of(he);
    if (events == nullptr) {
        return false;
    }
    const auto step = [&](std::uintptr_t direction) {
        events->PostEvent(he, DETAIL_STEP_EVENT, nullptr, direction);
    };
    switch (cmd) {
        case MOUSE_DOWN:
        case MOUSE_DCLICK:
            if (third == PictureThird::Left) {
                step(kStepPrevious);
            } else if (third == PictureThird::Right) {
                step(kStepNext);
            } else if (cmd == MOUSE_DCLICK) {
                if (Element* close = he.FindById(u"idt_btn_close")) {
                    events->PostEvent(*close, BUTTON_CLICK);
                }
            }
            break;
        case MOUSE_MOVE:
            if (params.buttonState == 0) {
                SetPictureCursor(he, third);
            }
            break;
        default:
            break;
    }
    return false;
}

void ImgDetailBehavior::WheelStep(Element& he, int wheelDelta) {
    // A touchpad sends a burst of wheel events for one swipe: at most one step per gap.
    const std::uint32_t now = GetTickCount();
    if (wheelDelta == 0 || (lastWheelStep_ && now - *lastWheelStep_ < kWheelStepGapMs)) {
        return;
    }
    lastWheelStep_ = now;
    if (EventDispatcher* events = EventDispatcher::Of(he)) {
        // Rolling away from the user goes back, towards the user goes on, as in a list.
        events->PostEvent(he, DETAIL_STEP_EVENT, nullptr,
                          wheelDelta > 0 ? kStepPrevious : kStepNext);
    }
}

bool ImgDetailBehavior::OnScroll(Element&, ScrollParams&) {
    return false;
}

}  // namespace tavopix

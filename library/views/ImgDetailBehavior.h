// bhv_img_detail: the detail viewer's mouse. The picture's frame "dtl_img_border" is cut into
// thirds: a press on the left third asks for the previous picture and on the right third for the
// next one (DETAIL_STEP_EVENT with kStepPrevious / kStepNext); a double click in the middle third
// clicks the close button "idt_btn_close"; moving over the picture shows the stepping cursor of
// the third it is over. The wheel steps too, anywhere over the viewer: rolled away from the user
// to the previous picture, towards the user to the next. It never marks an event handled.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/Behavior.h"
#include "engine/Element.h"

namespace tavopix {

class ImgDetailBehavior final : public Behavior {
public:
    static ImgDetailBehavior& Instance();

    bool OnMouse(Element& he, MouseParams& params) override;
    bool OnScroll(Element& he, ScrollParams& params) override;

    // The last position the mouse was seen at over a viewer (document coordinates), so a viewer
    // laid out afresh shows the right cursor before the mouse moves again.
    std::optional<Point> LastMouse() const { return lastMouse_; }

private:
    ImgDetailBehavior();
    void WheelStep(Element& he, int wheelDelta);

    // Wheel events closer together than this belong to one roll and step once.
    static constexpr std::uint32_t kWheelStepGapMs = 200;

    std::optional<Point> lastMouse_;
    std::optional<std::uint32_t> lastWheelStep_;  // tick count of the last wheel step
};

enum class PictureThird { Outside, Left, Middle, Right };

// Which third of the horizontal extent [left, left + width) `x` falls in.
[[nodiscard]] PictureThird ThirdOf(int x, int left, int width);

// Gives the viewer's picture "pic" the cursor of `third`: stepping back, none, stepping on.
void SetPictureCursor(Element& viewer, PictureThird third);

}  // namespace tavopix

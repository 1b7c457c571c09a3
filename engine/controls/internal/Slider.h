// A slider (<input type="range">): an integer from "min" (default 0) to "max" (default 100) in
// steps of "step" (default 1), kept as the element's value in decimal. The user drags it in
// the view, which reports the new value, or moves it with the arrow keys, Home and End while it
// has the focus; every change raises BUTTON_STATE_CHANGED. Values are clamped to the range.
#pragma once

#include "engine/controls/Control.h"

namespace tavopix {

class SliderControl final : public Control {
public:
    bool KeyDown(ControlHost& host, Element& control, const KeyParams& params) const override;
    bool ChangedByUser(ControlHost& host, Element& control,
                       std::u16string_view value) const override;
    ControlValue GetValue(const Element& control) const override;
    // Takes an integer, or a string holding one.
    bool SetValue(Element& control, const ControlValue& value) const override;

private:
    struct Range {
        int min;
        int max;
        int step;
    };
    static Range RangeOf(const Element& control);
    static int Current(const Element& control, const Range& range);
    // Stores the clamped value; true when it changed.
    static bool Store(Element& control, int value);
    static void MoveTo(ControlHost& host, Element& control, int value);
};

}  // namespace tavopix

// A radio button (<input type="radio">, <button type="radio">). Radios with the same "name"
// inside the same form (or, outside any form, the same page) form a group in which one at most
// is checked. A click, or Space while it has the focus, raises BUTTON_CLICK; when the radio was
// not checked it becomes the group's checked one first and BUTTON_STATE_CHANGED follows.
// Setting its value to 1 checks it the same way, silently; 0 unchecks it.
#pragma once

#include "engine/controls/Control.h"

namespace tavopix {

class RadioButtonControl final : public Control {
public:
    void Click(ControlHost& host, Element& control, const MouseParams& params) const override;
    bool KeyDown(ControlHost& host, Element& control, const KeyParams& params) const override;
    ControlValue GetValue(const Element& control) const override;
    bool SetValue(Element& control, const ControlValue& value) const override;

private:
    static void Choose(ControlHost& host, Element& control);
    static void Check(Element& control);
};

}  // namespace tavopix

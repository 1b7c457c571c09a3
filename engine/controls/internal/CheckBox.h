// A check box (<input type="checkbox">, <button type="checkbox">): a click, or Space while it
// has the focus, toggles the checked state and raises BUTTON_CLICK, then BUTTON_STATE_CHANGED.
// Its value is 1 when checked, 0 when not.
#pragma once

#include "engine/controls/Control.h"

namespace tavopix {

class CheckBoxControl final : public Control {
public:
    void Click(ControlHost& host, Element& control, const MouseParams& params) const override;
    bool KeyDown(ControlHost& host, Element& control, const KeyParams& params) const override;
    ControlValue GetValue(const Element& control) const override;
    bool SetValue(Element& control, const ControlValue& value) const override;

private:
    static void Toggle(ControlHost& host, Element& control);
};

}  // namespace tavopix

// A push button (<button>, <input type="button|submit|reset">): a click, or Space or Enter while
// it has the focus, raises BUTTON_CLICK. Its value is its "value" attribute, or its text.
#pragma once

#include "engine/controls/Control.h"

namespace tavopix {

class ButtonControl final : public Control {
public:
    void Click(ControlHost& host, Element& control, const MouseParams& params) const override;
    bool KeyDown(ControlHost& host, Element& control, const KeyParams& params) const override;
    ControlValue GetValue(const Element& control) const override;
};

}  // namespace tavopix

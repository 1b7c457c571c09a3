// A progress bar (<progress>): an integer from 0 to "max" (default 100), kept as the element's
// value in decimal and set only by the program; values are clamped to the range.
#pragma once

#include "engine/controls/Control.h"

namespace tavopix {

class ProgressBarControl final : public Control {
public:
    bool Focusable() const override { return false; }
    ControlValue GetValue(const Element& control) const override;
    // Takes an integer.
    bool SetValue(Element& control, const ControlValue& value) const override;
};

}  // namespace tavopix

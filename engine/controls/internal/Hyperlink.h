// A hyperlink (<a>): a click, or Enter while it has the focus, raises HYPERLINK_CLICK. The
// engine never follows a link itself; what a link does is the program's handler's business.
#pragma once

#include "engine/controls/Control.h"

namespace tavopix {

class HyperlinkControl final : public Control {
public:
    void Click(ControlHost& host, Element& control, const MouseParams& params) const override;
    bool KeyDown(ControlHost& host, Element& control, const KeyParams& params) const override;
};

}  // namespace tavopix

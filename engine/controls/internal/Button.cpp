#include "engine/controls/internal/Button.h"

#include "engine/Element.h"
#include "platform/WindowMessages.h"

namespace tavopix {

void ButtonControl::Click(ControlHost& host, Element& control, const MouseParams&) const {
    host.Raise(control, BUTTON_CLICK);
}

bool ButtonControl::KeyDown(ControlHost& host, Element& control, const KeyParams& params) const {
    if (params.keyCode != VK_SPACE && params.keyCode != VK_RETURN) {
        return false;
    }
    host.Raise(control, BUTTON_CLICK);
    return true;
}

ControlValue ButtonControl::GetValue(const Element& control) const {
    if (const std::u16string* value = control.GetAttribute("value")) {
        return ControlValue(*value);
    }
    return ControlValue(control.InnerText());
}

}  // namespace tavopix

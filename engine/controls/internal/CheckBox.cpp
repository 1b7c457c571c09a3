#include "engine/controls/internal/CheckBox.h"

#include "engine/Element.h"
#include "platform/WindowMessages.h"

namespace tavopix {

void CheckBoxControl::Toggle(ControlHost& host, Element& control) {
    if (control.HasState(STATE_CHECKED)) {
        control.SetState(0, STATE_CHECKED);
    } else {
        control.SetState(STATE_CHECKED, 0);
    }
    if (host.Raise(control, BUTTON_CLICK)) {
        host.Raise(control, BUTTON_STATE_CHANGED);
    }
}

void CheckBoxControl::Click(ControlHost& host, Element& control, const MouseParams&) const {
    Toggle(host, control);
}

bool CheckBoxControl::KeyDown(ControlHost& host, Element& control, const KeyParams& params) const {
    if (params.keyCode != VK_SPACE) {
        return false;
    }
    Toggle(host, control);
    return true;
}

ControlValue CheckBoxControl::GetValue(const Element& control) const {
    return ControlValue(control.HasState(STATE_CHECKED) ? 1 : 0);
}

bool CheckBoxControl::SetValue(Element& control, const ControlValue& value) const {
    const int* checked = value.Int();
    if (checked == nullptr) {
        return false;
    }
    if (*checked != 0) {
        control.SetState(STATE_CHECKED, 0);
    } else {
        control.SetState(0, STATE_CHECKED);
    }
    return true;
}

}  // namespace tavopix

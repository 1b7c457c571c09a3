#include "engine/controls/internal/RadioButton.h"

#include "engine/Element.h"
#include "engine/Selector.h"
#include "platform/WindowMessages.h"

namespace tavopix {

namespace {

// The form around the radio, or the top of its tree.
Element& GroupScope(Element& radio) {
    Element* scope = &radio;
    for (Element* e = radio.Parent(); e != nullptr; e = e->Parent()) {
        scope = e;
        if (e->Tag() == "form") {
            break;
        }
    }
    return *scope;
}

}  // namespace

void RadioButtonControl::Check(Element& control) {
    const std::u16string* name = control.GetAttribute("name");
    if (name != nullptr && !name->empty()) {
        const Control* self = ControlOf(control);
        Element& scope = GroupScope(control);
        for (const ElementRef& other : scope.SelectAll(*CachedSelector("[name]"))) {
            const std::u16string* otherName = other->GetAttribute("name");
            if (other.get() != &control && *otherName == *name && ControlOf(*other) == self &&
                &GroupScope(*other) == &scope) {
                other->SetState(0, STATE_CHECKED);
            }
        }
    }
    control.SetState(STATE_CHECKED, 0);
}

void RadioButtonControl::Choose(ControlHost& host, Element& control) {
    const bool wasChecked = control.HasState(STATE_CHECKED);
    if (!wasChecked) {
        Check(control);
    }
    if (host.Raise(control, BUTTON_CLICK) && !wasChecked) {
        host.Raise(control, BUTTON_STATE_CHANGED);
    }
}

void RadioButtonControl::Click(ControlHost& host, Element& control, const MouseParams&) const {
    Choose(host, control);
}

bool RadioButtonControl::KeyDown(ControlHost& host, Element& control,
                                 const KeyParams& params) const {
    if (params.keyCode != VK_SPACE) {
        return false;
    }
    Choose(host, control);
    return true;
}

ControlValue RadioButtonControl::GetValue(const Element& control) const {
    return ControlValue(control.HasState(STATE_CHECKED) ? 1 : 0);
}

bool RadioButtonControl::SetValue(Element& control, const ControlValue& value) const {
    const int* checked = value.Int();
    if (checked == nullptr) {
        return false;
    }
    if (*checked != 0) {
        Check(control);
    } else {
        control.SetState(0, STATE_CHECKED);
    }
    return true;
}

}  // namespace tavopix

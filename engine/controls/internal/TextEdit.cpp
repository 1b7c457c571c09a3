#include "engine/controls/internal/TextEdit.h"

#include "engine/Element.h"

namespace tavopix {

void TextEditControl::Store(Element& control, std::u16string_view text) const {
    if (storage_ == Storage::Value) {
        control.SetValue(text);
    } else {
        control.SetInnerText(text);
    }
}

bool TextEditControl::ChangedByUser(ControlHost& host, Element& control,
                                    std::u16string_view value) const {
    if (control.HasState(STATE_READONLY)) {
        return false;
    }
    if (GetValue(control) == ControlValue(std::u16string(value))) {
        return true;
    }
    Store(control, value);
    host.Raise(control, EDIT_VALUE_CHANGED);
    return true;
}

ControlValue TextEditControl::GetValue(const Element& control) const {
    return ControlValue(storage_ == Storage::Value ? control.Value() : control.InnerText());
}

bool TextEditControl::SetValue(Element& control, const ControlValue& value) const {
    if (value.IsUndefined()) {
        return false;
    }
    Store(control, value.ToString());
    return true;
}

}  // namespace tavopix

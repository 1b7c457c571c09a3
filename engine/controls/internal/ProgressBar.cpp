#include "engine/controls/internal/ProgressBar.h"

#include <algorithm>
#include <string>

#include "engine/Element.h"

namespace tavopix {

namespace {

int MaxOf(const Element& control) {
    const std::u16string* text = control.GetAttribute("max");
    return std::max(text == nullptr ? 100 : ParseInt(*text).value_or(100), 0);
}

}  // namespace

ControlValue ProgressBarControl::GetValue(const Element& control) const {
    return ControlValue(std::clamp(ParseInt(control.Value()).value_or(0), 0, MaxOf(control)));
}

bool ProgressBarControl::SetValue(Element& control, const ControlValue& value) const {
    const int* number = value.Int();
    if (number == nullptr) {
        return false;
    }
    const std::string digits = std::to_string(std::clamp(*number, 0, MaxOf(control)));
    control.SetValue(std::u16string(digits.begin(), digits.end()));
    return true;
}

}  // namespace tavopix

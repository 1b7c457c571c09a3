#include "engine/controls/internal/Slider.h"

#include <algorithm>
#include <string>

#include "engine/Element.h"
#include "platform/WindowMessages.h"

namespace tavopix {

namespace {

int IntAttribute(const Element& element, std::string_view name, int fallback) {
    const std::u16string* text = element.GetAttribute(name);
    return text == nullptr ? fallback : ParseInt(*text).value_or(fallback);
}

std::u16string Decimal(int value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

}  // namespace

SliderControl::Range SliderControl::RangeOf(const Element& control) {
    Range range{IntAttribute(control, "min", 0), IntAttribute(control, "max", 100),
                IntAttribute(control, "step", 1)};
    range.max = std::max(range.max, range.min);
    range.step = std::max(range.step, 1);
    return range;
}

int SliderControl::Current(const Element& control, const Range& range) {
    return std::clamp(ParseInt(control.Value()).value_or(range.min), range.min, range.max);
}

bool SliderControl::Store(Element& control, int value) {
    const Range range = RangeOf(control);
    const int clamped = std::clamp(value, range.min, range.max);
    const bool changed = clamped != Current(control, range) || control.Value().empty();
    control.SetValue(Decimal(clamped));
    return changed;
}

void SliderControl::MoveTo(ControlHost& host, Element& control, int value) {
    if (Store(control, value)) {
        host.Raise(control, BUTTON_STATE_CHANGED);
    }
}

bool SliderControl::KeyDown(ControlHost& host, Element& control, const KeyParams& params) const {
    const Range range = RangeOf(control);
    const int current = Current(control, range);
    switch (params.keyCode) {
        case VK_LEFT:
        case VK_DOWN:
            MoveTo(host, control, current - range.step);
            return true;
        case VK_RIGHT:
        case VK_UP:
            MoveTo(host, control, current + range.step);
            return true;
        case VK_HOME:
            MoveTo(host, control, range.min);
            return true;
        case VK_END:
            MoveTo(host, control, range.max);
            return true;
        default:
            return false;
    }
}

bool SliderControl::ChangedByUser(ControlHost& host, Element& control,
                                  std::u16string_view value) const {
    const Range range = RangeOf(control);
    MoveTo(host, control, ParseInt(value).value_or(Current(control, range)));
    return true;
}

ControlValue SliderControl::GetValue(const Element& control) const {
    return ControlValue(Current(control, RangeOf(control)));
}

bool SliderControl::SetValue(Element& control, const ControlValue& value) const {
    std::optional<int> number;
    if (const int* held = value.Int()) {
        number = *held;
    } else if (const std::u16string* text = value.String()) {
        number = ParseInt(*text);
    }
    if (!number) {
        return false;
    }
    Store(control, *number);
    return true;
}

}  // namespace tavopix

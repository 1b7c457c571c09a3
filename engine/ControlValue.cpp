#include "engine/ControlValue.h"

#include <string>

namespace tavopix {

std::u16string ControlValue::ToString() const {
    if (const int* number = Int()) {
        const std::string digits = std::to_string(*number);
        return std::u16string(digits.begin(), digits.end());
    }
    if (const std::u16string* text = String()) {
        return *text;
    }
    return {};
}

void ValueInit(ControlValue* value) {
    if (value != nullptr) {
        *value = ControlValue();
    }
}

void ValueClear(ControlValue* value) {
    ValueInit(value);
}

ValueResult ValueCopy(ControlValue* destination, const ControlValue* source) {
    if (destination == nullptr || source == nullptr) {
        return HV_BAD_PARAMETER;
    }
    *destination = *source;
    return HV_OK;
}

ValueResult ValueIntData(const ControlValue* value, int* number) {
    if (value == nullptr || number == nullptr) {
        return HV_BAD_PARAMETER;
    }
    const int* held = value->Int();
    if (held == nullptr) {
        return HV_INCOMPATIBLE_TYPE;
    }
    *number = *held;
    return HV_OK;
}

ValueResult ValueIntDataSet(ControlValue* value, int number) {
    if (value == nullptr) {
        return HV_BAD_PARAMETER;
    }
    *value = ControlValue(number);
    return HV_OK;
}

ValueResult ValueStringData(const ControlValue* value, std::u16string* text) {
    if (value == nullptr || text == nullptr) {
        return HV_BAD_PARAMETER;
    }
    const std::u16string* held = value->String();
    if (held == nullptr) {
        return HV_INCOMPATIBLE_TYPE;
    }
    *text = *held;
    return HV_OK;
}

ValueResult ValueStringDataSet(ControlValue* value, std::u16string_view text) {
    if (value == nullptr) {
        return HV_BAD_PARAMETER;
    }
    *value = ControlValue(std::u16string(text));
    return HV_OK;
}

ValueResult ValueToString(ControlValue* value) {
    if (value == nullptr) {
        return HV_BAD_PARAMETER;
    }
    *value = ControlValue(value->ToString());
    return HV_OK;
}

}  // namespace tavopix

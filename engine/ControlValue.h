// The value of a built-in control: nothing, an integer (check boxes, sliders, progress bars) or
// a UTF-16 string (text inputs, selects). The free functions are the thin value helpers the
// program's engine calls are written with; they report type mismatches with a result code
// instead of converting silently.
#pragma once

#include <string>
#include <string_view>
#include <variant>

namespace tavopix {

class ControlValue {
public:
    ControlValue() = default;
    ControlValue(int number) : data_(number) {}
    ControlValue(std::u16string text) : data_(std::move(text)) {}

    bool IsUndefined() const { return std::holds_alternative<std::monostate>(data_); }
    bool IsInt() const { return std::holds_alternative<int>(data_); }
    bool IsString() const { return std::holds_alternative<std::u16string>(data_); }
    // Null when the value holds another type.
    const int* Int() const { return std::get_if<int>(&data_); }
    const std::u16string* String() const { return std::get_if<std::u16string>(&data_); }
    // The value as text: an integer in decimal, nothing as "".
    std::u16string ToString() const;

    friend bool operator==(const ControlValue&, const ControlValue&) = default;

private:
    std::variant<std::monostate, int, std::u16string> data_;
};

enum ValueResult : int {
    HV_OK = 0,
    HV_BAD_PARAMETER = 1,
    HV_INCOMPATIBLE_TYPE = 2,
};

void ValueInit(ControlValue* value);
void ValueClear(ControlValue* value);
ValueResult ValueCopy(ControlValue* destination, const ControlValue* source);
ValueResult ValueIntData(const ControlValue* value, int* number);
ValueResult ValueIntDataSet(ControlValue* value, int number);
ValueResult ValueStringData(const ControlValue* value, std::u16string* text);
ValueResult ValueStringDataSet(ControlValue* value, std::u16string_view text);
// Turns the value into its string form in place.
ValueResult ValueToString(ControlValue* value);

}  // namespace tavopix

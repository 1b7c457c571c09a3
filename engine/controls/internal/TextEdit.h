// A text input (<input> of a text type) or text area (<textarea>). The user types in the view,
// which reports the new text; the control stores it and raises EDIT_VALUE_CHANGED. An input
// keeps its text as the element's value (filled from the "value" attribute of the markup); a
// text area keeps it as its content. A read-only one refuses typed text.
#pragma once

#include "engine/controls/Control.h"

namespace tavopix {

class TextEditControl final : public Control {
public:
    enum class Storage { Value, Content };
    explicit TextEditControl(Storage storage) : storage_(storage) {}

    bool ChangedByUser(ControlHost& host, Element& control,
                       std::u16string_view value) const override;
    ControlValue GetValue(const Element& control) const override;
    // Takes a string, or an integer as its decimal text.
    bool SetValue(Element& control, const ControlValue& value) const override;

private:
    void Store(Element& control, std::u16string_view text) const;

    Storage storage_;
};

}  // namespace tavopix

#include "engine/internal/MarkupState.h"

#include "engine/Element.h"

namespace tavopix {

void ApplyMarkupState(Element& element) {
    struct StateAttribute {
        const char* name;
        ElementStateBits state;
    };
    static constexpr StateAttribute kStates[] = {
        {"checked", STATE_CHECKED},   {"disabled", STATE_DISABLED},   {"readonly", STATE_READONLY},
        {"expanded", STATE_EXPANDED}, {"collapsed", STATE_COLLAPSED},
    };
    ElementStateBits states = 0;
    for (const StateAttribute& attribute : kStates) {
        if (element.HasAttribute(attribute.name)) {
            states |= attribute.state;
        }
    }
    if (states != 0) {
        element.SetState(states, 0);
    }
    if (element.Tag() == "input" || element.Tag() == "progress") {
        if (const std::u16string* value = element.GetAttribute("value")) {
            element.SetValue(*value);
        }
    }
}

}  // namespace tavopix

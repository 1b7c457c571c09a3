#include "engine/controls/Control.h"

#include <charconv>
#include <string>

#include "engine/Element.h"
#include "engine/EventDispatcher.h"
#include "engine/controls/internal/Button.h"
#include "engine/controls/internal/CheckBox.h"
#include "engine/controls/internal/DropDownSelect.h"
#include "engine/controls/internal/Hyperlink.h"
#include "engine/controls/internal/Menu.h"
#include "engine/controls/internal/ProgressBar.h"
#include "engine/controls/internal/RadioButton.h"
#include "engine/controls/internal/Slider.h"
#include "engine/controls/internal/TextEdit.h"
#include "engine/controls/internal/Tree.h"
#include "platform/AsciiCase.h"

namespace tavopix {

// ---- Host -------------------------------------------------------------------------------------

ControlHost::ControlHost(EventDispatcher& events, PopupController& popups)
    : events_(events), popups_(popups), alive_(events.Alive()) {}

bool ControlHost::Raise(Element& target, std::uint32_t code, Element* source) {
    if (!*alive_) {
        return false;
    }
    events_.SendEvent(target, code, source);
    return *alive_;
}

// ---- Default actions: none --------------------------------------------------------------------

void Control::Pressed(Element&, const MouseParams&) const {}

void Control::MouseDown(ControlHost&, Element&, const MouseParams&) const {}

void Control::Click(ControlHost&, Element&, const MouseParams&) const {}

void Control::DoubleClick(ControlHost&, Element&, const MouseParams&) const {}

bool Control::KeyDown(ControlHost&, Element&, const KeyParams&) const {
    return false;
}

bool Control::ChangedByUser(ControlHost&, Element&, std::u16string_view) const {
    return false;
}

ControlValue Control::GetValue(const Element&) const {
    return ControlValue();
}

bool Control::SetValue(Element&, const ControlValue&) const {
    return false;
}

// ---- Which control an element is --------------------------------------------------------------

namespace {

std::u16string TypeOf(const Element& element) {
    const std::u16string* type = element.GetAttribute("type");
    return type != nullptr ? AsciiLowercase(*type) : std::u16string();
}

bool InOpenPopup(const Element& element) {
    for (const Element* e = element.Parent(); e != nullptr; e = e->Parent()) {
        if (e->HasState(STATE_POPUP)) {
            return true;
        }
    }
    return false;
}

}  // namespace

const Control* ControlOf(const Element& element) {
    static const ButtonControl button;
    static const CheckBoxControl checkBox;
    static const RadioButtonControl radio;
    static const TextEditControl textInput(TextEditControl::Storage::Value);
    static const TextEditControl textArea(TextEditControl::Storage::Content);
    static const DropDownSelectControl select;
    static const SliderControl slider;
    static const ProgressBarControl progress;
    static const HyperlinkControl hyperlink;
    static const MenuOwnerControl menuOwner;
    static const MenuItemControl menuItem;
    static const TreeNodeControl treeNode;
    static const TreeViewControl treeView;

    const std::string& tag = element.Tag();
    if (tag == "li" && InOpenPopup(element)) {
        return &menuItem;
    }
    if (element.HasAttribute("menu")) {
        return &menuOwner;
    }
    if (tag == "button" || tag == "input") {
        const std::u16string type = TypeOf(element);
        if (type == u"checkbox") {
            return &checkBox;
        }
        if (type == u"radio") {
            return &radio;
        }
        if (tag == "button" || type == u"button" || type == u"submit" || type == u"reset") {
            return &button;
        }
        if (type == u"range") {
            return &slider;
        }
        return type == u"hidden" ? nullptr : &textInput;
    }
    if (tag == "textarea") {
        return &textArea;
    }
    if (tag == "select") {
        return &select;
    }
    if (tag == "progress") {
        return &progress;
    }
    if (tag == "a") {
        return &hyperlink;
    }
    if (IsTreeNode(element)) {
        return &treeNode;
    }
    if (IsTreeView(element)) {
        return &treeView;
    }
    return nullptr;
}

Element* ControlElementAt(Element* element, const Control** control) {
    for (Element* e = element; e != nullptr; e = e->Parent()) {
        if (const Control* found = ControlOf(*e)) {
            *control = found;
            return e;
        }
    }
    *control = nullptr;
    return nullptr;
}

bool IsDisabled(const Element& element) {
    for (const Element* e = &element; e != nullptr; e = e->Parent()) {
        if (e->HasState(STATE_DISABLED)) {
            return true;
        }
    }
    return false;
}

std::optional<int> ParseInt(std::u16string_view text) {
    std::string digits;
    for (const char16_t c : text) {
        if (c > 0x7F) {
            return std::nullopt;
        }
        digits.push_back(static_cast<char>(c));
    }
    const std::size_t first = digits.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t last = digits.find_last_not_of(" \t\r\n");
    const char* begin = digits.data() + first;
    const char* end = digits.data() + last + 1;
    if (*begin == '+') {
        ++begin;
        if (begin == end || *begin == '-') {
            return std::nullopt;
        }
    }
    int value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

// ---- Values -----------------------------------------------------------------------------------

bool ControlGetValue(const Element& element, ControlValue* value) {
    const Control* control = ControlOf(element);
    if (control == nullptr || value == nullptr) {
        return false;
    }
    *value = control->GetValue(element);
    return true;
}

bool ControlSetValue(Element& element, const ControlValue& value) {
    const Control* control = ControlOf(element);
    return control != nullptr && control->SetValue(element, value);
}

}  // namespace tavopix

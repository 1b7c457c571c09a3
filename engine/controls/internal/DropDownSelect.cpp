#include "engine/controls/internal/DropDownSelect.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/Element.h"
#include "engine/Selector.h"
#include "engine/internal/PopupController.h"
#include "platform/WindowMessages.h"

namespace tavopix {

namespace {

Element* ChildByTag(const Element& parent, std::string_view tag) {
    for (std::size_t i = 0; i < parent.ChildCount(); ++i) {
        if (parent.Child(i)->Tag() == tag) {
            return parent.Child(i);
        }
    }
    return nullptr;
}

// The options of the select in document order: those of its popup, or, without one, its own
// (never the copy shown in the caption).
std::vector<ElementRef> OptionsOf(const Element& select) {
    const Element* list = ChildByTag(select, "popup");
    std::vector<ElementRef> options =
        (list != nullptr ? *list : select).SelectAll(*CachedSelector("option"));
    if (const Element* caption = ChildByTag(select, "caption")) {
        std::erase_if(options,
                      [&](const ElementRef& option) { return caption->Contains(*option); });
    }
    return options;
}

int ChosenIndex(const std::vector<ElementRef>& options) {
    const auto chosen = std::find_if(options.begin(), options.end(), [](const ElementRef& option) {
        return option->HasState(STATE_CURRENT);
    });
    return chosen == options.end() ? -1 : static_cast<int>(chosen - options.begin());
}

std::u16string OptionValue(const Element& option) {
    const std::u16string* value = option.GetAttribute("value");
    return value != nullptr ? *value : option.InnerText();
}

// The caption's own attributes, kept when it takes an option's.
bool IsCaptionOwn(std::string_view name) {
    return name == "id" || name == "class" || name == "style";
}

}  // namespace

void DropDownSelectControl::Choose(Element& control, Element* option) {
    for (const ElementRef& other : OptionsOf(control)) {
        if (other.get() != option) {
            other->SetState(0, STATE_CURRENT | STATE_CHECKED);
        }
    }
    if (option != nullptr) {
        option->SetState(STATE_CURRENT | STATE_CHECKED, 0);
    }
    Element* caption = ChildByTag(control, "caption");
    if (caption == nullptr) {
        return;
    }
    std::vector<std::string> dropped;
    for (const ElementAttribute& attribute : caption->Attributes()) {
        if (!IsCaptionOwn(attribute.name)) {
            dropped.push_back(attribute.name);
        }
    }
    for (const std::string& name : dropped) {
        caption->SetAttribute(name, std::nullopt);
    }
    if (option == nullptr) {
        caption->RemoveContent();
        return;
    }
    for (const ElementAttribute& attribute : option->Attributes()) {
        if (!IsCaptionOwn(attribute.name)) {
            caption->SetAttribute(attribute.name, attribute.value);
        }
    }
    if (!caption->SetHtml(option->InnerHtml(), SIH_REPLACE_CONTENT)) {
        caption->SetInnerText(option->InnerText());
    }
}

void DropDownSelectControl::ChooseByUser(ControlHost& host, Element& control, Element& option) {
    if (option.HasState(STATE_CURRENT)) {
        return;
    }
    Choose(control, &option);
    host.Raise(control, SELECT_SELECTION_CHANGED, &option);
}

void DropDownSelectControl::MouseDown(ControlHost& host, Element& control,
                                      const MouseParams& params) const {
    Element* popup = ChildByTag(control, "popup");
    if (popup == nullptr || (params.target && popup->Contains(*params.target))) {
        return;
    }
    const Rect box = control.Location(ROOT_RELATIVE | BORDER_BOX);
    host.Popups().Show(*popup, control, Point{box.left, box.bottom});
}

void DropDownSelectControl::Click(ControlHost& host, Element& control,
                                  const MouseParams& params) const {
    Element* option = params.target.get();
    while (option != nullptr && option != &control && option->Tag() != "option") {
        option = option->Parent();
    }
    if (option == nullptr || option == &control || IsDisabled(*option)) {
        return;
    }
    const ElementRef held(option);
    if (host.Popups().Owner() == &control) {
        host.Popups().Close();
        if (!host.PageAlive()) {
            return;
        }
    }
    ChooseByUser(host, control, *option);
}

bool DropDownSelectControl::KeyDown(ControlHost& host, Element& control,
                                    const KeyParams& params) const {
    if (params.keyCode != VK_UP && params.keyCode != VK_DOWN) {
        return false;
    }
    const std::vector<ElementRef> options = OptionsOf(control);
    if (options.empty()) {
        return true;
    }
    const int chosen = ChosenIndex(options);
    const int last = static_cast<int>(options.size()) - 1;
    const int next =
        params.keyCode == VK_DOWN ? std::min(chosen + 1, last) : std::max(chosen - 1, 0);
    ChooseByUser(host, control, *options[static_cast<std::size_t>(next)]);
    return true;
}

ControlValue DropDownSelectControl::GetValue(const Element& control) const {
    const std::vector<ElementRef> options = OptionsOf(control);
    const int chosen = ChosenIndex(options);
    if (chosen < 0) {
        return ControlValue();
    }
    return ControlValue(OptionValue(*options[static_cast<std::size_t>(chosen)]));
}

bool DropDownSelectControl::SetValue(Element& control, const ControlValue& value) const {
    const std::vector<ElementRef> options = OptionsOf(control);
    Element* option = nullptr;
    if (const int* index = value.Int()) {
        if (*index >= 0 && static_cast<std::size_t>(*index) < options.size()) {
            option = options[static_cast<std::size_t>(*index)].get();
        }
    } else if (const std::u16string* text = value.String()) {
        const auto found = std::find_if(options.begin(), options.end(), [&](const ElementRef& o) {
            return OptionValue(*o) == *text;
        });
        if (found != options.end()) {
            option = found->get();
        }
    }
    Choose(control, option);
    return option != nullptr;
}

}  // namespace tavopix

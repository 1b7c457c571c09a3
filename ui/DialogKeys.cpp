#include "ui/DialogKeys.h"

#include "engine/Element.h"
#include "engine/EventDispatcher.h"
#include "engine/InputRouter.h"
#include "engine/controls/Control.h"
#include "platform/WindowMessages.h"

namespace tavopix {
namespace {

bool Pressable(const Element* button) {
    if (button == nullptr || IsDisabled(*button)) {
        return false;
    }
    const std::u16string* display = button->GetStyleAttribute("display");
    return display == nullptr || *display != u"none";
}

// True when the focused element does something with Enter itself.
bool UsesEnter(const Element* focused) {
    if (focused == nullptr) {
        return false;
    }
    const std::string& tag = focused->Tag();
    if (tag == "textarea" || tag == "a") {
        return true;
    }
    if (tag != "button") {
        return false;
    }
    const std::u16string* type = focused->GetAttribute("type");
    return type == nullptr || (*type != u"checkbox" && *type != u"radio");
}

bool Press(Element& button) {
    EventDispatcher* events = EventDispatcher::Of(button);
    return events != nullptr && events->PostEvent(button, BUTTON_CLICK);
}

}  // namespace

bool HandleDialogKey(const KeyParams& params, Element* defaultButton, Element* cancelButton) {
    // Bubbling and not taken by anyone before: a control or behaviour that used the key wins.
    if (params.cmd != KEY_DOWN || params.altState != 0) {
        return false;
    }
    Element* focused = params.target.get();
    if (params.keyCode == VK_RETURN) {
        if (UsesEnter(focused) || !Pressable(defaultButton)) {
            return false;
        }
        return Press(*defaultButton);
    }
    if (params.keyCode == VK_ESCAPE) {
        EventDispatcher* events = focused ? EventDispatcher::Of(*focused) : nullptr;
        if (events != nullptr && events->Input().Popups().Popup() != nullptr) {
            return false;
        }
        if (!Pressable(cancelButton)) {
            return false;
        }
        return Press(*cancelButton);
    }
    return false;
}

}  // namespace tavopix

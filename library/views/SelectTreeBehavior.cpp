#include "library/views/SelectTreeBehavior.h"

#include "engine/Element.h"
#include "engine/EventDispatcher.h"
#include "engine/controls/Control.h"
#include "library/views/CaptionIcon.h"
#include "platform/WindowMessages.h"

namespace tavopix {
namespace {

// An "options" caption's icon area left of this distance from its content is the expander.
constexpr int kExpanderReach = 40;

bool IsNode(const Element& element) {
    return element.Tag() == "options" || element.Tag() == "option";
}

std::u16string_view CheckOf(const Element& node) {
    const std::u16string* check = node.GetAttribute("check");
    return check != nullptr ? std::u16string_view(*check) : std::u16string_view(u"off");
}

void SetDown(Element& node, std::u16string_view value) {
    for (std::size_t i = 0; i < node.ChildCount(); ++i) {
        Element* child = node.Child(i);
        if (IsNode(*child)) {
            child->SetAttribute("check", value);
            SetDown(*child, value);
        }
    }
}

void ToggleExpanded(Element& node) {
    if (node.HasState(STATE_EXPANDED)) {
        node.SetState(STATE_COLLAPSED, STATE_EXPANDED);
    } else {
        node.SetState(STATE_EXPANDED, STATE_COLLAPSED);
    }
    if (EventDispatcher* events = EventDispatcher::Of(node)) {
        events->SendEvent(node, SELECT_STATE_CHANGED);
    }
}

}  // namespace

SelectTreeBehavior& SelectTreeBehavior::Instance() {
    static SelectTreeBehavior instance;
    return instance;
}

SelectTreeBehavior::SelectTreeBehavior()
    : Behavior("bhv_select_tree", HANDLE_MOUSE | HANDLE_KEY | HANDLE_FOCUS) {}

bool SelectTreeBehavior::ToggleCheck(Element& node) {
    const std::u16string_view old = CheckOf(node);
    std::u16string_view value;
    if (old == u"on") {
        value = u"off";
    } else if (old == u"off" || old == u"mixed") {
        value = u"on";
    } else {
        return false;
    }
    node.SetAttribute("check", value);
    if (node.Tag() == "options") {
        SetDown(node, value);
    }
    // Upwards: each ancestor takes the common value of its children, or "mixed".
    std::u16string current(value);
    Element* changed = &node;
    for (Element* parent = node.Parent(); parent != nullptr && parent->Tag() == "options";
         parent = parent->Parent()) {
        if (current != u"mixed") {
            const std::u16string_view opposite = current == u"on" ? u"off" : u"on";
            for (std::size_t i = 0; i < parent->ChildCount(); ++i) {
                const Element* sibling = parent->Child(i);
                if (sibling != changed && IsNode(*sibling) && CheckOf(*sibling) == opposite) {
                    current = u"mixed";
                    break;
                }
            }
        }
        parent->SetAttribute("check", current);
        changed = parent;
    }
    return true;
}

bool SelectTreeBehavior::OnMouse(Element& he, MouseParams& params) {
    if ((params.cmd & SINKING) != 0 || EventCommand(params.cmd) != MOUSE_DOWN ||
        (params.buttonState & MAIN_MOUSE_BUTTON) == 0 || IsDisabled(he)) {
        return false;
    }
    Element* caption = params.target.get();
    Element* node = caption != nullptr ? caption->Parent() : nullptr;
    if (caption == nullptr || caption->Tag() != "caption" || node == nullptr || !IsNode(*node) ||
        !PressOnCaptionIcon(params, *caption)) {
        return false;
    }
    if (node->Tag() == "options") {
        const Rect content = caption->Location(ROOT_RELATIVE | CONTENT_BOX);
        if (params.posDocument.x < content.left - kExpanderReach) {
            // The expander: the engine opens or closes the node when it saw the icon itself;
            // a press it did not flag gets the same done here.
            if (params.isOnIcon) {
                return false;
            }
            ToggleExpanded(*node);
            return true;
        }
    }
    ToggleCheck(*node);
    return true;
}

bool SelectTreeBehavior::OnKey(Element& he, KeyParams& params) {
    if (params.cmd != KEY_DOWN || IsDisabled(he)) {
        return false;
    }
    Element* current = he.FindFirst(":current");
    if (params.keyCode == VK_SPACE) {
        if (current != nullptr && IsNode(*current)) {
            ToggleCheck(*current);
        }
        return true;
    }
    if (params.keyCode == VK_RIGHT) {
        if (current != nullptr && IsNode(*current) && !current->HasState(STATE_EXPANDED)) {
            current->SetState(STATE_EXPANDED, STATE_COLLAPSED);
            if (EventDispatcher* events = EventDispatcher::Of(*current)) {
                events->PostEvent(*current, SELECT_STATE_CHANGED);
            }
        }
        return true;
    }
    return false;
}

}  // namespace tavopix

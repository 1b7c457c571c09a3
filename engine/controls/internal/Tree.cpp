#include "engine/controls/internal/Tree.h"

#include <algorithm>
#include <vector>

#include "engine/Element.h"
#include "engine/Selector.h"
#include "platform/WindowMessages.h"

namespace tavopix {

namespace {

bool IsNodeTag(const Element& element) {
    return element.Tag() == "options" || element.Tag() == "option";
}

Element* CaptionOf(const Element& node) {
    Element* first = node.FirstChild();
    return first != nullptr && first->Tag() == "caption" ? first : nullptr;
}

bool OnCaption(const Element& node, const MouseParams& params) {
    const Element* caption = CaptionOf(node);
    return caption != nullptr && params.target && caption->Contains(*params.target);
}

Element* TreeOf(Element& node) {
    Element* e = &node;
    while (e != nullptr && IsNodeTag(*e)) {
        e = e->Parent();
    }
    return e;
}

void MakeCurrent(Element& tree, Element& node) {
    for (const ElementRef& current : tree.SelectAll(*CachedSelector(":current"))) {
        if (current.get() != &node && IsNodeTag(*current)) {
            current->SetState(0, STATE_CURRENT);
        }
    }
    node.SetState(STATE_CURRENT, 0);
}

// Expands or collapses `node` and raises the change; nothing for a leaf or a node already so.
void SetExpanded(ControlHost& host, Element& node, bool expand) {
    if (node.Tag() != "options" || node.HasState(STATE_EXPANDED) == expand) {
        return;
    }
    if (expand) {
        node.SetState(STATE_EXPANDED, STATE_COLLAPSED);
    } else {
        node.SetState(STATE_COLLAPSED, STATE_EXPANDED);
    }
    host.Raise(node, SELECT_STATE_CHANGED);
}

// The nodes of `tree` a user sees, in document order.
std::vector<Element*> VisibleNodes(Element& tree) {
    std::vector<Element*> nodes;
    std::vector<Element*> pending{&tree};
    // Depth first, children in order: push them reversed.
    while (!pending.empty()) {
        Element* parent = pending.back();
        pending.pop_back();
        if (parent != &tree) {
            nodes.push_back(parent);
            if (parent->Tag() != "options" || !parent->HasState(STATE_EXPANDED)) {
                continue;
            }
        }
        for (std::size_t i = parent->ChildCount(); i-- > 0;) {
            if (IsNodeTag(*parent->Child(i))) {
                pending.push_back(parent->Child(i));
            }
        }
    }
    return nodes;
}

}  // namespace

bool IsTreeNode(const Element& element) {
    if (!IsNodeTag(element)) {
        return false;
    }
    for (const Element* e = element.Parent(); e != nullptr; e = e->Parent()) {
        if (e->Tag() == "select") {
            return false;
        }
    }
    return true;
}

bool IsTreeView(const Element& element) {
    const Element* first = element.FirstChild();
    return first != nullptr && IsNodeTag(*first) && !IsNodeTag(element) &&
           element.Tag() != "select" && element.Tag() != "popup" && IsTreeNode(*first);
}

void TreeNodeControl::Pressed(Element& control, const MouseParams& params) const {
    if (Element* tree = TreeOf(control); tree != nullptr && OnCaption(control, params)) {
        MakeCurrent(*tree, control);
    }
}

void TreeNodeControl::MouseDown(ControlHost& host, Element& control,
                                const MouseParams& params) const {
    if (params.isOnIcon && OnCaption(control, params)) {
        SetExpanded(host, control, !control.HasState(STATE_EXPANDED));
    }
}

void TreeNodeControl::DoubleClick(ControlHost& host, Element& control,
                                  const MouseParams& params) const {
    // On the icon the first press has already toggled the node.
    if (!params.isOnIcon && OnCaption(control, params)) {
        SetExpanded(host, control, !control.HasState(STATE_EXPANDED));
    }
}

bool TreeViewControl::KeyDown(ControlHost& host, Element& control, const KeyParams& params) const {
    const std::vector<Element*> nodes = VisibleNodes(control);
    const auto current = std::find_if(nodes.begin(), nodes.end(), [](const Element* node) {
        return node->HasState(STATE_CURRENT);
    });
    switch (params.keyCode) {
        case VK_UP:
        case VK_DOWN: {
            if (nodes.empty()) {
                return true;
            }
            auto next = nodes.begin();
            if (current != nodes.end()) {
                next = params.keyCode == VK_DOWN ? std::min(current + 1, nodes.end() - 1)
                                                 : std::max(current - 1, nodes.begin());
            }
            MakeCurrent(control, **next);
            return true;
        }
        case VK_RIGHT:
            if (current != nodes.end()) {
                SetExpanded(host, **current, true);
            }
            return true;
        case VK_LEFT:
            if (current == nodes.end()) {
                return true;
            }
            if ((*current)->HasState(STATE_EXPANDED)) {
                SetExpanded(host, **current, false);
            } else if (Element* parent = (*current)->Parent(); parent != &control) {
                MakeCurrent(control, *parent);
            }
            return true;
        default:
            return false;
    }
}

}  // namespace tavopix

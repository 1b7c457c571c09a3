// Trees: "options" nodes (with child nodes) and "option" nodes (leaves), each with a "caption"
// as its first child, inside a tree element (the element whose first child is a node).
//
// A press on a caption makes its node the tree's current node (STATE_CURRENT, one per tree),
// even when a handler takes the press. Unless a handler took it, a press on the icon of an
// "options" caption, or a double click elsewhere on the caption, expands or collapses the
// node: the states expanded and collapsed change places and SELECT_STATE_CHANGED is raised for
// the node. (A double click on the icon toggles once, for its first press.)
//
// With the focus on the tree: Up and Down move the current node through the visible nodes
// (those whose ancestors are all expanded), Right expands the current node, Left collapses it
// or, when it is collapsed already, moves to its parent node.
#pragma once

#include "engine/controls/Control.h"

namespace tavopix {

class TreeNodeControl final : public Control {
public:
    bool Focusable() const override { return false; }
    void Pressed(Element& control, const MouseParams& params) const override;
    void MouseDown(ControlHost& host, Element& control, const MouseParams& params) const override;
    void DoubleClick(ControlHost& host, Element& control, const MouseParams& params) const override;
};

class TreeViewControl final : public Control {
public:
    bool KeyDown(ControlHost& host, Element& control, const KeyParams& params) const override;
};

// Whether the element is a node ("options" or "option" outside a select), and whether it is
// the tree element holding nodes.
[[nodiscard]] bool IsTreeNode(const Element& element);
[[nodiscard]] bool IsTreeView(const Element& element);

}  // namespace tavopix

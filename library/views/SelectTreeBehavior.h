// bhv_select_tree: the folder dialog's tree as a tri-state check tree. A press on a node's
// check box (or Space on the current node) turns its "check" attribute on or off; the value
// spreads to every loaded node below it, and each ancestor becomes "on", "off" or "mixed"
// from its children. Right arrow expands the current node and raises SELECT_STATE_CHANGED for
// it, so the dialog fills it. The behaviour is attached to the tree element and keeps no state.
#pragma once

#include "engine/Behavior.h"

namespace tavopix {

class SelectTreeBehavior final : public Behavior {
public:
    // The one object, registered under "bhv_select_tree" on first use.
    static SelectTreeBehavior& Instance();

    bool OnMouse(Element& he, MouseParams& params) override;
    bool OnKey(Element& he, KeyParams& params) override;

    // Toggles the check of `node` with its spreading up and down; false when its "check" is
    // neither "on", "off" nor "mixed" (a node without one counts as "off").
    static bool ToggleCheck(Element& node);

private:
    SelectTreeBehavior();
};

}  // namespace tavopix

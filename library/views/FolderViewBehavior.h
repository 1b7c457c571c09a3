// bhv_folder_view: the main window's folder tree as a single-selection list of folders. A
// press (left or right button) on a folder's caption selects its ".cp" span (sel="true") and
// raises FOLDER_OPENED_EVENT for it, the pressed element's uid going along as the reason; a
// press on an expander opens or closes the node; a press on empty space clears the selection.
// Enter opens the folder the keyboard is on (the tree's current node, moved with the arrows) as
// a press on its caption does. The behaviour is attached to the tree element and keeps no state.
#pragma once

#include "engine/Behavior.h"

namespace tavopix {

class FolderViewBehavior final : public Behavior {
public:
    // The one object, registered under "bhv_folder_view" on first use.
    static FolderViewBehavior& Instance();

    bool OnMouse(Element& he, MouseParams& params) override;
    bool OnKey(Element& he, KeyParams& params) override;

private:
    FolderViewBehavior();
    // Selects `folder` (a ".cp" span of tree `he`) and raises FOLDER_OPENED_EVENT for it.
    static void Open(Element& he, Element& folder, Element* source);
};

}  // namespace tavopix

// Popup menus. An element whose "menu" attribute holds a selector (menu="#main_menu") opens the
// first element of its page that matches it as a popup below its border box when the main
// button goes down on it; a second press on it closes the menu again. Context menus, which the
// page's style gives an element, open through the input router at the mouse.
//
// The items of an open menu are its "li" elements. A click on one that is not disabled closes
// the menu and raises MENU_ITEM_CLICK for the menu's owner with the item as the source, so the
// handler reads the item's id and its parent's (the menu's).
#pragma once

#include "engine/controls/Control.h"

namespace tavopix {

class MenuOwnerControl final : public Control {
public:
    void MouseDown(ControlHost& host, Element& control, const MouseParams& params) const override;
};

class MenuItemControl final : public Control {
public:
    bool Focusable() const override { return false; }
    void Click(ControlHost& host, Element& control, const MouseParams& params) const override;
};

}  // namespace tavopix

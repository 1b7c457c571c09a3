#include "engine/controls/internal/Menu.h"

#include "engine/Document.h"
#include "engine/Element.h"
#include "engine/EventDispatcher.h"
#include "engine/internal/PopupController.h"
#include "platform/Utf8.h"

namespace tavopix {

void MenuOwnerControl::MouseDown(ControlHost& host, Element& control, const MouseParams&) const {
    const std::u16string* selector = control.GetAttribute("menu");
    Element* root = host.Events().GetDocument().Root();
    if (selector == nullptr || root == nullptr) {
        return;
    }
    Element* menu = root->FindFirst(Utf16ToUtf8(*selector));
    if (menu == nullptr) {
        return;
    }
    const Rect box = control.Location(ROOT_RELATIVE | BORDER_BOX);
    host.Popups().Show(*menu, control, Point{box.left, box.bottom});
}

void MenuItemControl::Click(ControlHost& host, Element& control, const MouseParams&) const {
    const ElementRef owner(host.Popups().Owner());
    host.Popups().Close();
    if (!host.PageAlive()) {
        return;
    }
    Element& target = owner && owner->GetDocument() == control.GetDocument() ? *owner : control;
    host.Raise(target, MENU_ITEM_CLICK, &control);
}

}  // namespace tavopix

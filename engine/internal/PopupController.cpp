#include "engine/internal/PopupController.h"

#include "engine/Document.h"
#include "engine/Element.h"
#include "engine/EventDispatcher.h"
#include "engine/View.h"

namespace tavopix {

void PopupController::Show(Element& popup, Element& owner, Point anchor) {
    // Every event raised here may run program code that closes the page, and this object with
    // it.
    const auto alive = events_.Alive();
    const ElementRef heldPopup(&popup);
    const ElementRef heldOwner(&owner);
    Close();
    if (!*alive) {
        return;
    }
    // The program may fill the popup now.
    events_.SendEvent(popup, POPUP_REQUEST, &owner);
    if (!*alive) {
        return;
    }
    Document& document = events_.GetDocument();
    if (popup.GetDocument() != &document || owner.GetDocument() != &document) {
        return;
    }
    popup_ = heldPopup;
    owner_ = heldOwner;
    anchor_ = anchor;
    popup.SetState(STATE_POPUP, 0);
    owner.SetState(STATE_OWNS_POPUP, 0);
    if (View* view = document.GetView()) {
        document.FlushChanges();  // the view shows the popup as the program left it
        view->ShowPopup(popup, anchor);
    }
}

void PopupController::Close() {
    const ElementRef popup = std::move(popup_);
    const ElementRef owner = std::move(owner_);
    if (!popup) {
        return;
    }
    popup->SetState(0, STATE_POPUP);
    if (owner) {
        owner->SetState(0, STATE_OWNS_POPUP);
    }
    Document& document = events_.GetDocument();
    if (popup->GetDocument() != &document) {
        return;
    }
    if (View* view = document.GetView()) {
        view->HidePopup(*popup);
    }
    events_.SendEvent(*popup, POPUP_DISMISSED, owner.get());
}

Element* PopupController::Popup() const {
    return popup_ && popup_->GetDocument() == &events_.GetDocument() ? popup_.get() : nullptr;
}

Element* PopupController::Owner() const {
    return Popup() != nullptr ? owner_.get() : nullptr;
}

}  // namespace tavopix

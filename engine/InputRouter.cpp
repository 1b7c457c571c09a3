#include "engine/InputRouter.h"

#include <algorithm>

#include "engine/Document.h"
#include "engine/EventDispatcher.h"
#include "engine/controls/Control.h"
#include "platform/WindowMessages.h"

namespace tavopix {

namespace {

bool Holds(const std::vector<ElementRef>& elements, const ElementRef& element) {
    return std::find(elements.begin(), elements.end(), element) != elements.end();
}

}  // namespace

InputRouter::InputRouter(EventDispatcher& events) : events_(events), popups_(events) {}

Element* InputRouter::InPage(Element::Uid uid) const {
    return uid == 0 ? nullptr : events_.GetDocument().ElementByUid(uid);
}

Element* InputRouter::Hover() const {
    if (hoverChain_.empty() || hoverChain_.front()->GetDocument() != &events_.GetDocument()) {
        return nullptr;
    }
    return hoverChain_.front().get();
}

Element* InputRouter::Focus() const {
    return focus_ && focus_->GetDocument() == &events_.GetDocument() ? focus_.get() : nullptr;
}

// ---- Mouse ------------------------------------------------------------------------------------

bool InputRouter::Mouse(const MouseInput& input) {
    Element* under = InPage(input.target);
    if (input.target != 0 && under == nullptr) {
        return false;
    }
    const auto alive = events_.Alive();
    const ElementRef heldUnder(under);
    UpdateHover(under);
    if (!*alive || input.cmd == MOUSE_ENTER || input.cmd == MOUSE_LEAVE) {
        return true;
    }
    Element* capture = events_.Capture();
    Element* target = capture != nullptr ? capture : under;
    if (target == nullptr) {
        return true;
    }
    MouseParams params;
    params.cmd = input.cmd;
    params.target = ElementRef(target);
    params.posDocument = input.posDocument;
    if (target == under) {
        params.pos = input.pos;
        params.isOnIcon = input.isOnIcon;
    } else {
        const Rect box = target->Location(ROOT_RELATIVE | BORDER_BOX);
        params.pos = Point{input.posDocument.x - box.left, input.posDocument.y - box.top};
    }
    params.buttonState = input.buttonState;
    params.altState = input.altState;
    params.wheelDelta = input.wheelDelta;

    if (input.cmd == MOUSE_DOWN && (!BeforePress(*target, params) || !*alive)) {
        return true;
    }
    const bool handled = events_.Dispatch(params);
    if (*alive) {
        AfterMouse(params, handled);
    }
    return true;
}

void InputRouter::UpdateHover(Element* under) {
    std::vector<ElementRef> chain;
    for (Element* e = under; e != nullptr; e = e->Parent()) {
        chain.emplace_back(e);
    }
    if (chain == hoverChain_) {
        return;
    }
    std::vector<ElementRef> left;
    for (const ElementRef& e : hoverChain_) {
        if (!Holds(chain, e)) {
            left.push_back(e);
        }
    }
    std::vector<ElementRef> entered;
    for (auto e = chain.rbegin(); e != chain.rend(); ++e) {
        if (!Holds(hoverChain_, *e)) {
            entered.push_back(*e);
        }
    }
    hoverChain_ = std::move(chain);
    // Every state is right before the first handler hears of the change.
    for (const ElementRef& e : left) {
        e->SetState(0, STATE_HOVER);
    }
    for (const ElementRef& e : entered) {
        e->SetState(STATE_HOVER, 0);
    }
    const auto alive = events_.Alive();
    auto tell = [&](const std::vector<ElementRef>& elements, std::uint32_t cmd) {
        for (const ElementRef& e : elements) {
            if (e->GetDocument() != &events_.GetDocument()) {
                continue;
            }
            MouseParams params;
            params.cmd = cmd;
            params.target = e;
            events_.Dispatch(params);
            if (!*alive) {
                return false;
            }
        }
        return true;
    };
    if (tell(left, MOUSE_LEAVE)) {
        tell(entered, MOUSE_ENTER);
    }
}

bool InputRouter::BeforePress(Element& target, const MouseParams& params) {
    const auto alive = events_.Alive();
    Element* popup = popups_.Popup();
    if (popup != nullptr && !popup->Contains(target)) {
        const ElementRef owner(popups_.Owner());
        popups_.Close();
        const Control* control = nullptr;
        if (!*alive || (owner && ControlElementAt(&target, &control) == owner.get())) {
            return false;
        }
        popup = nullptr;
    }
    // A press in an open popup (a menu item, an option) leaves the focus where it was.
    if (popup == nullptr) {
        Element* focusable = &target;
        while (focusable != nullptr && !IsFocusable(*focusable)) {
            focusable = focusable->Parent();
        }
        MoveFocus(focusable, FocusCause::MousePress);
        if (!*alive) {
            return false;
        }
    }
    const Control* control = nullptr;
    if (Element* element = ControlElementAt(&target, &control)) {
        control->Pressed(*element, params);
    }
    return true;
}

void InputRouter::AfterMouse(const MouseParams& params, bool handled) {
    const std::uint32_t cmd = EventCommand(params.cmd);
    const bool mainButton = (params.buttonState & MAIN_MOUSE_BUTTON) != 0;
    ElementRef pressed;
    if (mainButton && (cmd == MOUSE_DOWN || cmd == MOUSE_DCLICK || cmd == MOUSE_UP)) {
        pressed = pressed_;
        ReleasePress();
    }
    if (handled || !mainButton) {
        return;
    }
    const Control* control = nullptr;
    Element* element = ControlElementAt(params.target.get(), &control);
    if (element == nullptr || IsDisabled(*element)) {
        return;
    }
    const ElementRef held(element);
    ControlHost host(events_, popups_);
    switch (cmd) {
        case MOUSE_DOWN:
            pressed_ = held;
            element->SetState(STATE_ACTIVE, 0);
            control->MouseDown(host, *element, params);
            break;
        case MOUSE_UP:
            if (pressed == held) {
                control->Click(host, *element, params);
            }
            break;
        case MOUSE_DCLICK:
            // The second press of a double click: the release that follows clicks again.
            pressed_ = held;
            element->SetState(STATE_ACTIVE, 0);
            control->DoubleClick(host, *element, params);
            break;
        default:
            break;
    }
}

void InputRouter::ReleasePress() {
    if (pressed_) {
        pressed_->SetState(0, STATE_ACTIVE);
        pressed_.reset();
    }
}

// ---- Focus ------------------------------------------------------------------------------------

bool InputRouter::IsFocusable(const Element& element) const {
    if (IsDisabled(element)) {
        return false;
    }
    if (const Control* control = ControlOf(element); control != nullptr && control->Focusable()) {
        return true;
    }
    if (element.HasAttribute("tabindex")) {
        return true;
    }
    const std::vector<EventHandler*> behaviors = events_.BehaviorsOf(element);
    return std::any_of(behaviors.begin(), behaviors.end(), [](const EventHandler* behavior) {
        return (behavior->Subscription() & HANDLE_KEY) != 0;
    });
}

void InputRouter::MoveFocus(Element* element, FocusCause cause) {
    if (element == Focus()) {
        return;
    }
    const ElementRef old = std::move(focus_);
    focus_ = ElementRef(element);
    const auto alive = events_.Alive();
    if (old) {
        old->SetState(0, STATE_FOCUS);
        if (old->GetDocument() == &events_.GetDocument()) {
            FocusParams params;
            params.cmd = FOCUS_LOST;
            params.target = old;
            params.byMouseClick = cause == FocusCause::MousePress;
            events_.Dispatch(params);
            if (!*alive) {
                return;
            }
        }
    }
    // A handler of the loss may have moved the focus on already.
    if (element != nullptr && focus_.get() == element) {
        element->SetState(STATE_FOCUS, 0);
        FocusParams params;
        params.cmd = FOCUS_GOT;
        params.target = focus_;
        params.byMouseClick = cause == FocusCause::MousePress;
        events_.Dispatch(params);
    }
}

bool InputRouter::FocusMoved(Element::Uid target) {
    Element* element = InPage(target);
    if (target != 0 && element == nullptr) {
        return false;
    }
    MoveFocus(element, FocusCause::Page);
    return true;
}

// ---- Keys, scrolling, values, context menus ---------------------------------------------------

bool InputRouter::Key(const KeyInput& input) {
    Element* target = Focus();
    if (target == nullptr) {
        target = events_.GetDocument().Root();
    }
    if (target == nullptr) {
        return true;
    }
    KeyParams params;
    params.cmd = input.cmd;
    params.target = ElementRef(target);
    params.keyCode = input.keyCode;
    params.altState = input.altState;
    const auto alive = events_.Alive();
    const bool handled = events_.Dispatch(params);
    if (!*alive || handled || input.cmd != KEY_DOWN) {
        return true;
    }
    if (input.keyCode == VK_ESCAPE && popups_.Popup() != nullptr) {
        popups_.Close();
        return true;
    }
    const Control* control = nullptr;
    Element* element = ControlElementAt(target, &control);
    if (element != nullptr && !IsDisabled(*element)) {
        const ElementRef held(element);
        ControlHost host(events_, popups_);
        control->KeyDown(host, *element, params);
    }
    return true;
}

bool InputRouter::Scroll(const ScrollInput& input) {
    Element* element = InPage(input.target);
    if (element == nullptr) {
        return false;
    }
    ScrollParams params;
    params.cmd = input.cmd;
    params.target = ElementRef(element);
    params.pos = input.pos;
    params.vertical = input.vertical;
    const auto alive = events_.Alive();
    events_.Dispatch(params);
    if (*alive) {
        events_.SendEvent(*element, ELEMENT_SCROLLED);
    }
    return true;
}

bool InputRouter::ControlChanged(Element::Uid target, std::u16string_view value) {
    Element* element = InPage(target);
    const Control* control = element != nullptr ? ControlOf(*element) : nullptr;
    if (control == nullptr || IsDisabled(*element)) {
        return false;
    }
    const ElementRef held(element);
    ControlHost host(events_, popups_);
    return control->ChangedByUser(host, *element, value);
}

bool InputRouter::ContextMenu(Element::Uid target, Point posDocument) {
    Element* element = InPage(target);
    if (element == nullptr) {
        return false;
    }
    Document& document = events_.GetDocument();
    for (Element* owner = element; owner != nullptr; owner = owner->Parent()) {
        Element* menu = document.ContextMenuOf(*owner);
        if (menu == nullptr) {
            continue;
        }
        const ElementRef heldOwner(owner);
        const ElementRef heldMenu(menu);
        const auto alive = events_.Alive();
        events_.SendEvent(*owner, CONTEXT_MENU_SETUP, menu);
        if (*alive && owner->GetDocument() == &document && menu->GetDocument() == &document) {
            popups_.Show(*menu, *owner, posDocument);
        }
        break;
    }
    return true;
}

}  // namespace tavopix

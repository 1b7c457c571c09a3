#include "library/views/FolderViewBehavior.h"

#include "engine/Element.h"
#include "engine/EventDispatcher.h"
#include "library/LibraryMessages.h"
#include "library/views/CaptionIcon.h"
#include "platform/WindowMessages.h"

namespace tavopix {

FolderViewBehavior& FolderViewBehavior::Instance() {
    static FolderViewBehavior instance;
    return instance;
}

FolderViewBehavior::FolderViewBehavior()
    : Behavior("bhv_folder_view", HANDLE_MOUSE | HANDLE_KEY | HANDLE_FOCUS) {}

bool FolderViewBehavior::OnMouse(Element& he, MouseParams& params) {
    if (params.cmd != MOUSE_DOWN) {
        return false;
    }
    if ((params.buttonState & (MAIN_MOUSE_BUTTON | PROP_MOUSE_BUTTON)) == 0) {
        return true;
    }
    Element* caption = PressedCaption(params, he);
    if (caption != nullptr && PressOnCaptionIcon(params, *caption)) {
        Element* node = caption->Parent();
        if (node != nullptr && node->Tag() == "options") {
            if (node->HasState(STATE_EXPANDED)) {
                node->SetState(STATE_COLLAPSED, STATE_EXPANDED);
            } else {
                node->SetState(STATE_EXPANDED, STATE_COLLAPSED);
            }
            // Raised as the tree control raises it: the window builds what an opened branch
            // holds.
            if (EventDispatcher* events = EventDispatcher::Of(*node)) {
                events->SendEvent(*node, SELECT_STATE_CHANGED);
            }
        }
        return true;
    }
    Element* folder = caption != nullptr ? caption->FindFirst(".cp") : nullptr;
    if (folder == nullptr) {
        folder = he.FindFirst("caption:hover .cp");
    }
    if (folder == nullptr) {
        if (Element* selected = he.FindFirst("caption .cp[sel=\"true\"]")) {
            selected->SetAttribute("sel", std::nullopt);
        }
        return true;
    }
    Open(he, *folder, params.target.get());
    return true;
}

bool FolderViewBehavior::OnKey(Element& he, KeyParams& params) {
    if (params.cmd != KEY_DOWN || params.keyCode != VK_RETURN) {
        return false;
    }
    Element* current = nullptr;
    he.SelectElements("options, option", [&](Element& node) {
        current = node.HasState(STATE_CURRENT) ? &node : nullptr;
        return current != nullptr ? Walk::Stop : Walk::Continue;
    });
    Element* caption = current != nullptr ? current->FindFirst("caption") : nullptr;
    Element* folder = caption != nullptr ? caption->FindFirst(".cp") : nullptr;
    if (folder == nullptr) {
        return false;
    }
    Open(he, *folder, folder);
    return true;
}

void FolderViewBehavior::Open(Element& he, Element& folder, Element* source) {
    Element* selected = he.FindFirst("caption .cp[sel=\"true\"]");
    folder.SetAttribute("sel", u"true");
    if (selected != nullptr && selected != &folder) {
        selected->SetAttribute("sel", std::nullopt);
    }
    if (EventDispatcher* events = EventDispatcher::Of(folder)) {
        events->PostEvent(folder, FOLDER_OPENED_EVENT, source,
                          source != nullptr ? source->GetUid() : 0);
    }
}

}  // namespace tavopix

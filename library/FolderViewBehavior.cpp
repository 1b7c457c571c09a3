#include "library/FolderViewBehavior.h"

#include "engine/Element.h"
#include "engine/EventDispatcher.h"
#include "library/CaptionIcon.h"
#include "library/LibraryMessages.h"

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
        }
        return true;
    }
    Element* folder = caption != nullptr ? caption->FindFirst(".cp") : nullptr;
    if (folder == nullptr) {
        folder = he.FindFirst("caption:hover .cp");
    }
    Element* selected = he.FindFirst("caption .cp[sel=\"true\"]");
    if (folder == nullptr) {
        if (selected != nullptr) {
            selected->SetAttribute("sel", std::nullopt);
        }
        return true;
    }
    folder->SetAttribute("sel", u"true");
    if (selected != nullptr && selected != folder) {
        selected->SetAttribute("sel", std::nullopt);
    }
    if (EventDispatcher* events = EventDispatcher::Of(*folder)) {
        Element* pressed = params.target.get();
        events->PostEvent(*folder, FOLDER_OPENED_EVENT, pressed,
                          pressed != nullptr ? pressed->GetUid() : 0);
    }
    return true;
}

}  // namespace tavopix

#include "upload/CommonScrollList.h"

#include "engine/Element.h"
#include "engine/EventDispatcher.h"
#include "upload/UploadMessages.h"

namespace tavopix {
namespace {

// Left, up, right and down.
constexpr std::uint32_t kFirstArrowKey = 37;
constexpr std::uint32_t kLastArrowKey = 40;

// Each event is heard twice, sinking and bubbling; the list speaks once, on the way up.
bool Bubbling(std::uint32_t cmd) {
    return (cmd & SINKING) == 0;
}

void Raise(Element& list) {
    if (EventDispatcher* events = EventDispatcher::Of(list))
        events->PostEvent(list, SCROLL_LIST_EVENT);
}

}  // namespace

CommonScrollList commonScrollList;

CommonScrollList::CommonScrollList()
    : Behavior("common_scroll_list", HANDLE_MOUSE | HANDLE_KEY | HANDLE_SCROLL) {}

bool CommonScrollList::OnMouse(Element& he, MouseParams& params) {
    if (Bubbling(params.cmd) && EventCommand(params.cmd) == MOUSE_WHEEL)
        Raise(he);
    return false;
}

bool CommonScrollList::OnKey(Element& he, KeyParams& params) {
    if (Bubbling(params.cmd) && EventCommand(params.cmd) == KEY_DOWN &&
        params.keyCode >= kFirstArrowKey && params.keyCode <= kLastArrowKey) {
        Raise(he);
    }
    return false;
}

bool CommonScrollList::OnScroll(Element& he, ScrollParams& params) {
    if (Bubbling(params.cmd))
        Raise(he);
    return false;
}

}  // namespace tavopix

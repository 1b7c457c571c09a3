#include "engine/controls/internal/Hyperlink.h"

#include "platform/WindowMessages.h"

namespace tavopix {

void HyperlinkControl::Click(ControlHost& host, Element& control, const MouseParams&) const {
    host.Raise(control, HYPERLINK_CLICK);
}

bool HyperlinkControl::KeyDown(ControlHost& host, Element& control, const KeyParams& params) const {
    if (params.keyCode != VK_RETURN) {
        return false;
    }
    host.Raise(control, HYPERLINK_CLICK);
    return true;
}

}  // namespace tavopix

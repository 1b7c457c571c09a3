#include "engine/EventHandler.h"

namespace tavopix {

bool EventHandler::OnMouse(Element&, MouseParams&) {
    return false;
}

bool EventHandler::OnKey(Element&, KeyParams&) {
    return false;
}

bool EventHandler::OnFocus(Element&, FocusParams&) {
    return false;
}

bool EventHandler::OnScroll(Element&, ScrollParams&) {
    return false;
}

bool EventHandler::HandleBehaviorEvent(Element&, BehaviorEventParams& params) {
    return OnBehaviorEvent(params.he.get(), params.heTarget.get(), params.cmd, params.reason);
}

bool EventHandler::OnBehaviorEvent(Element*, Element*, std::uint32_t, std::uintptr_t) {
    return false;
}

}  // namespace tavopix

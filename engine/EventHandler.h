// The receiver of events. A handler is attached either to elements, as a behaviour named by the
// page's style (Behavior.h), or to a whole page as a window-level handler with a group mask
// (EventDispatcher::AttachWindowHandler). It returns true from a hook to mark the event handled;
// the event still goes on to the other handlers on its path, with HANDLED set in its command.
//
// `he` is the element the handler is attached to; a window-level handler gets the page's root.
// A handler only hears the groups it subscribes to (behaviours) or that its mask names
// (window-level handlers). Hooks run on the UI thread and may edit the page, raise events and
// run modal loops; the dispatcher keeps every element of the event's path alive meanwhile.
#pragma once

#include <cstdint>

#include "engine/EventCodes.h"
#include "engine/EventParams.h"

namespace tavopix {

class Element;

class EventHandler {
public:
    explicit EventHandler(std::uint32_t subscription) : subscription_(subscription) {}
    virtual ~EventHandler() = default;
    EventHandler(const EventHandler&) = delete;
    EventHandler& operator=(const EventHandler&) = delete;

    // The HANDLE_* groups this handler hears when it is attached as a behaviour.
    std::uint32_t Subscription() const { return subscription_; }

    virtual bool OnMouse(Element& he, MouseParams& params);
    virtual bool OnKey(Element& he, KeyParams& params);
    virtual bool OnFocus(Element& he, FocusParams& params);
    virtual bool OnScroll(Element& he, ScrollParams& params);

    // The raw behaviour-event hook; by default it hands the event to OnBehaviorEvent with the
    // source as `element` and the target as `target`.
    virtual bool HandleBehaviorEvent(Element& he, BehaviorEventParams& params);
    // `code` keeps its SINKING / HANDLED flags, so `code == BUTTON_CLICK` holds once per click.
    virtual bool OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                                 std::uintptr_t reason);

private:
    std::uint32_t subscription_;
};

}  // namespace tavopix

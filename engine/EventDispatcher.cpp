#include "engine/EventDispatcher.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "engine/Behavior.h"
#include "engine/Document.h"
#include "engine/Element.h"
#include "engine/InputRouter.h"
#include "platform/MessageQueue.h"
#include "platform/WindowMessages.h"

namespace tavopix {

namespace {

// The dispatcher of each page; touched on the UI thread only.
std::unordered_map<const Document*, EventDispatcher*>& Dispatchers() {
    static std::unordered_map<const Document*, EventDispatcher*> dispatchers;
    return dispatchers;
}

// The target and its ancestors, target first, each held for the whole dispatch.
std::vector<ElementRef> PathOf(Element& target) {
    std::vector<ElementRef> path;
    for (Element* e = &target; e != nullptr; e = e->Parent()) {
        path.emplace_back(e);
    }
    return path;
}

}  // namespace

EventDispatcher::EventDispatcher(Document& document)
    : document_(document), input_(std::make_unique<InputRouter>(*this)) {
    Dispatchers()[&document_] = this;
}

EventDispatcher::~EventDispatcher() {
    *alive_ = false;
    Dispatchers().erase(&document_);
}

EventDispatcher* EventDispatcher::Of(const Document& document) {
    const auto found = Dispatchers().find(&document);
    return found == Dispatchers().end() ? nullptr : found->second;
}

EventDispatcher* EventDispatcher::Of(const Element& element) {
    const Document* document = element.GetDocument();
    return document == nullptr ? nullptr : Of(*document);
}

bool EventDispatcher::InPage(const Element* element) const {
    return element != nullptr && element->GetDocument() == &document_;
}

// ---- The window -------------------------------------------------------------------------------

void EventDispatcher::SetWindow(HWND hwnd) {
    hwnd_ = hwnd;
    // Events posted before the page had a window get their wake-up messages now, one each, so
    // every message still delivers exactly one event.
    if (hwnd_) {
        for (std::size_t i = 0; i < posted_.size(); ++i) {
            PostMessage(hwnd_, WM_ENGINE_POSTED_EVENT, 0, 0);
        }
    }
}

bool EventDispatcher::HandleWindowMessage(UINT message, WPARAM, LPARAM) {
    if (message != WM_ENGINE_POSTED_EVENT) {
        return false;
    }
    DeliverPostedEvent();
    return true;
}

// ---- Handlers ---------------------------------------------------------------------------------

void EventDispatcher::AttachWindowHandler(EventHandler& handler, std::uint32_t groups) {
    for (WindowHandler& attached : windowHandlers_) {
        if (attached.handler == &handler) {
            attached.groups = groups;
            return;
        }
    }
    windowHandlers_.push_back({&handler, groups});
}

void EventDispatcher::DetachWindowHandler(EventHandler& handler) {
    std::erase_if(windowHandlers_,
                  [&](const WindowHandler& attached) { return attached.handler == &handler; });
}

bool EventDispatcher::IsAttached(const EventHandler* handler, std::uint32_t group) const {
    return std::any_of(windowHandlers_.begin(), windowHandlers_.end(),
                       [&](const WindowHandler& attached) {
                           return attached.handler == handler && (attached.groups & group) != 0;
                       });
}

std::vector<EventHandler*> EventDispatcher::BehaviorsOf(const Element& element) const {
    std::vector<EventHandler*> handlers;
    for (const std::string& name : document_.BehaviorsOf(element)) {
        EventHandler* handler = resolver_ ? resolver_(name) : nullptr;
        if (handler == nullptr) {
            handler = Behavior::Find(name);
        }
        if (handler != nullptr) {
            handlers.push_back(handler);
        }
    }
    return handlers;
}

// ---- Dispatching ------------------------------------------------------------------------------

template <class Params, class Call>
bool EventDispatcher::Run(Element* target, std::uint32_t group, Params& params, Call call) {
    if (!InPage(target)) {
        return false;
    }
    const std::shared_ptr<bool> alive = alive_;
    const std::vector<ElementRef> path = PathOf(*target);
    std::vector<std::vector<EventHandler*>> behaviors;
    behaviors.reserve(path.size());
    for (const ElementRef& element : path) {
        std::vector<EventHandler*> subscribed = BehaviorsOf(*element);
        std::erase_if(subscribed,
                      [&](const EventHandler* h) { return (h->Subscription() & group) == 0; });
        behaviors.push_back(std::move(subscribed));
    }
    // Handlers may attach or detach window handlers meanwhile: walk a copy, and skip the ones
    // that are gone by their turn.
    const std::vector<WindowHandler> window = windowHandlers_;
    Element& root = *path.back();

    // False once the dispatcher is gone; the walk then ends at once.
    auto deliver = [&](EventHandler& handler, Element& he) {
        if (call(handler, he, params)) {
            params.cmd |= HANDLED;
        }
        return *alive;
    };
    auto deliverWindow = [&]() {
        for (const WindowHandler& attached : window) {
            if (IsAttached(attached.handler, group) && !deliver(*attached.handler, root)) {
                return false;
            }
        }
        return true;
    };

    params.cmd |= SINKING;
    if (!deliverWindow()) {
        return (params.cmd & HANDLED) != 0;
    }
    for (std::size_t i = path.size(); i-- > 0;) {
        for (EventHandler* handler : behaviors[i]) {
            if (!deliver(*handler, *path[i])) {
                return (params.cmd & HANDLED) != 0;
            }
        }
    }
    params.cmd &= ~SINKING;
    for (std::size_t i = 0; i < path.size(); ++i) {
        for (EventHandler* handler : behaviors[i]) {
            if (!deliver(*handler, *path[i])) {
                return (params.cmd & HANDLED) != 0;
            }
        }
    }
    deliverWindow();
    return (params.cmd & HANDLED) != 0;
}

bool EventDispatcher::Dispatch(MouseParams& params) {
    return Run(params.target.get(), HANDLE_MOUSE, params,
               [](EventHandler& h, Element& he, MouseParams& p) { return h.OnMouse(he, p); });
}

bool EventDispatcher::Dispatch(KeyParams& params) {
    return Run(params.target.get(), HANDLE_KEY, params,
               [](EventHandler& h, Element& he, KeyParams& p) { return h.OnKey(he, p); });
}

bool EventDispatcher::Dispatch(FocusParams& params) {
    return Run(params.target.get(), HANDLE_FOCUS, params,
               [](EventHandler& h, Element& he, FocusParams& p) { return h.OnFocus(he, p); });
}

bool EventDispatcher::Dispatch(ScrollParams& params) {
    return Run(params.target.get(), HANDLE_SCROLL, params,
               [](EventHandler& h, Element& he, ScrollParams& p) { return h.OnScroll(he, p); });
}

bool EventDispatcher::Dispatch(BehaviorEventParams& params) {
    if (!params.he) {
        params.he = params.heTarget;
    }
    return Run(params.heTarget.get(), HANDLE_BEHAVIOR_EVENT, params,
               [](EventHandler& h, Element& he, BehaviorEventParams& p) {
                   return h.HandleBehaviorEvent(he, p);
               });
}

bool EventDispatcher::SendEvent(Element& target, std::uint32_t code, Element* source,
                                std::uintptr_t reason) {
    BehaviorEventParams params;
    params.cmd = code;
    params.heTarget = ElementRef(&target);
    params.he = ElementRef(source != nullptr ? source : &target);
    params.reason = reason;
    return Dispatch(params);
}

bool EventDispatcher::PostEvent(Element& target, std::uint32_t code, Element* source,
                                std::uintptr_t reason) {
    if (!InPage(&target)) {
        return false;
    }
    if (hwnd_ && !PostMessage(hwnd_, WM_ENGINE_POSTED_EVENT, 0, 0)) {
        return false;
    }
    posted_.push_back({ElementRef(&target), ElementRef(source), code, reason});
    return true;
}

bool EventDispatcher::DeliverPostedEvent() {
    if (posted_.empty()) {
        return false;
    }
    PostedEvent event = std::move(posted_.front());
    posted_.pop_front();
    if (InPage(event.target.get())) {
        SendEvent(*event.target, event.code, event.source.get(), event.reason);
    }
    return true;
}

// ---- Mouse capture ----------------------------------------------------------------------------

bool EventDispatcher::SetCapture(Element& element) {
    if (!InPage(&element)) {
        return false;
    }
    capture_ = ElementRef(&element);
    return true;
}

Element* EventDispatcher::Capture() const {
    return InPage(capture_.get()) ? capture_.get() : nullptr;
}

}  // namespace tavopix

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
bool EventDispatcher::Run(std::uint32_t group, Params& params, Call call) {
    if (!InPage(params.target_element())) {
        return false;
    }
    return false;
}

}  // namespace tavopix

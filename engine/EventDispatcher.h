// The event side of one page: who hears which event, in which order, and events raised now or
// later. Every page shown in a window has one dispatcher, created after the page is loaded and
// destroyed before it.
//
// Order. An event for a target element first sinks, with SINKING set in its command: through
// the window-level handlers, then the behaviours of each element from the root down to the
// target. It then bubbles: the behaviours from the target up to the root, then the window-level
// handlers. On each element the behaviours run in the order its style names them. A handler's
// true return sets HANDLED in the command for everyone after it; nothing stops the walk.
//
// Behaviours are the names the page's style gives an element (Document::BehaviorsOf), looked up
// first through the host's resolver (the window's answer to "which behaviour is this name?")
// and then in the process-wide registry (Behavior.h); unknown names are skipped.
//
// Posted events wait in a queue of the page and are delivered on the UI thread in the order they
// were posted. With a window, each posted event puts one WM_ENGINE_POSTED_EVENT into the
// window's message queue, and the window procedure hands that message back here, which delivers
// the oldest waiting event: so a posted event never runs inside the code that posted it, waits
// behind the window messages posted before it, and reaches a modal loop that a handler opens.
// An event whose target has left the page by then is dropped.
//
// Mouse capture sends all mouse input to one element until it is released or leaves the page.
// Everything here runs on the UI thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/ElementRef.h"
#include "engine/EventHandler.h"
#include "engine/EventParams.h"
#include "platform/WinTypes.h"
#include "platform/WindowHandle.h"

namespace tavopix {

class Document;
class Element;
class InputRouter;

class EventDispatcher {
public:
    explicit EventDispatcher(Document& document);
    ~EventDispatcher();
    EventDispatcher(const EventDispatcher&) = delete;
    EventDispatcher& operator=(const EventDispatcher&) = delete;

    // The dispatcher of a page, or of the page an element is in; null when there is none.
    [[nodiscard]] static EventDispatcher* Of(const Document& document);
    [[nodiscard]] static EventDispatcher* Of(const Element& element);

    Document& GetDocument() const { return document_; }
    // The entry points through which the view reports the user's input.
    InputRouter& Input() { return *input_; }

    // ---- The window ---------------------------------------------------------------------------
    // The window that shows the page; posted events travel through its message queue.
    void SetWindow(HWND hwnd);
    HWND Window() const { return hwnd_; }
    // The part of the window procedure that belongs to the engine: true when `message` was the
    // engine's own (one posted event has then been delivered, if one was waiting).
    bool HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // ---- Handlers -----------------------------------------------------------------------------
    // `handler` hears the events of the groups in `groups` for the whole page, until detached.
    // Attaching it again replaces its mask.
    void AttachWindowHandler(EventHandler& handler, std::uint32_t groups);
    void DetachWindowHandler(EventHandler& handler);
    // The host's answer for a behaviour name; null defers to the registry.
    using BehaviorResolver = std::function<EventHandler*(std::string_view name)>;
    void SetBehaviorResolver(BehaviorResolver resolver) { resolver_ = std::move(resolver); }
    // The behaviours of `element`, in the order its style names them.
    std::vector<EventHandler*> BehaviorsOf(const Element& element) const;

    // ---- Dispatching --------------------------------------------------------------------------
    // Each returns true when a handler marked the event handled; false also when the target is
    // missing or not in this page (then nothing runs).
    bool Dispatch(MouseParams& params);
    bool Dispatch(KeyParams& params);
    bool Dispatch(FocusParams& params);
    bool Dispatch(ScrollParams& params);
    bool Dispatch(BehaviorEventParams& params);

    // Raises behaviour event `code` for `target` now; `source` defaults to the target.
    bool SendEvent(Element& target, std::uint32_t code, Element* source = nullptr,
                   std::uintptr_t reason = 0);
    // Queues it for later delivery (see above). False when the target is not in this page or
    // the window is gone.
    bool PostEvent(Element& target, std::uint32_t code, Element* source = nullptr,
                   std::uintptr_t reason = 0);
    // Delivers the oldest waiting posted event; false when none was waiting. The window's
    // message does this; a page without a window (a test) calls it directly.
    bool DeliverPostedEvent();
    std::size_t PostedEventCount() const { return posted_.size(); }

    // True until the dispatcher is destroyed; code that raises events and then goes on
    // checks it, since a handler may close the page.
    std::shared_ptr<const bool> Alive() const { return alive_; }

    // ---- Mouse capture ------------------------------------------------------------------------
    // All mouse input goes to `element` until released; false when it is not in this page.
    bool SetCapture(Element& element);
    void ReleaseCapture() { capture_.reset(); }
    // Null when nothing has the capture or the capturing element left the page.
    Element* Capture() const;

private:
    struct WindowHandler {
        EventHandler* handler;
        std::uint32_t groups;
    };
    struct PostedEvent {
        ElementRef target;
        ElementRef source;
        std::uint32_t code;
        std::uintptr_t reason;
    };

    bool InPage(const Element* element) const;
    bool IsAttached(const EventHandler* handler, std::uint32_t group) const;
    template <class Params, class Call>
    bool Run(Element* target, std::uint32_t group, Params& params, Call call);

    Document& document_;
    std::unique_ptr<InputRouter> input_;
    HWND hwnd_;
    std::vector<WindowHandler> windowHandlers_;
    BehaviorResolver resolver_;
    std::deque<PostedEvent> posted_;
    ElementRef capture_;
    // Cleared when the dispatcher is destroyed, so a dispatch under way (a handler closed the
    // page) stops instead of touching freed members.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace tavopix

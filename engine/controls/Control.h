// The built-in controls: what the engine itself does with input on buttons, check boxes, radios,
// text inputs, selects, tree nodes, menus, sliders, progress bars and hyperlinks, and how each
// one holds its value. The page's markup decides which control an element is (ControlOf).
//
// The actions are defaults: the input router calls them only for input that went through the
// dispatcher without a handler marking it handled, so a behaviour can take over any of them.
// A disabled control (or one inside a disabled element) does nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "engine/ControlValue.h"
#include "engine/EventParams.h"

namespace tavopix {

class Element;
class EventDispatcher;
class PopupController;

// What a control may use of the engine while it acts. Any event a control raises may run
// program code that closes the page; a control stops as soon as Raise returns false.
class ControlHost {
public:
    ControlHost(EventDispatcher& events, PopupController& popups);

    // Raises `code` for `target` now (`source` defaults to the target); false when the page was
    // closed meanwhile.
    bool Raise(Element& target, std::uint32_t code, Element* source = nullptr);
    bool PageAlive() const { return *alive_; }
    EventDispatcher& Events() { return events_; }
    PopupController& Popups() { return popups_; }

private:
    EventDispatcher& events_;
    PopupController& popups_;
    std::shared_ptr<const bool> alive_;
};

class Control {
public:
    virtual ~Control() = default;

    // Whether a press moves the keyboard focus to the control.
    virtual bool Focusable() const { return true; }

    // Any button went down on the control, before the handlers hear of it: what a press does
    // even when a handler takes it (a tree node becomes current).
    virtual void Pressed(Element& control, const MouseParams& params) const;
    // The main button went down on the control (or inside it).
    virtual void MouseDown(ControlHost& host, Element& control, const MouseParams& params) const;
    // The main button went down and then up on the control.
    virtual void Click(ControlHost& host, Element& control, const MouseParams& params) const;
    virtual void DoubleClick(ControlHost& host, Element& control, const MouseParams& params) const;
    // A key went down while the control had the focus; true when the control used it.
    virtual bool KeyDown(ControlHost& host, Element& control, const KeyParams& params) const;
    // The view reports that the user changed the value in place (typing, dragging a native
    // slider); the control stores it and raises its change event. False when the control does
    // not take values this way.
    virtual bool ChangedByUser(ControlHost& host, Element& control,
                               std::u16string_view value) const;

    virtual ControlValue GetValue(const Element& control) const;
    // False when the control holds no value of that type.
    virtual bool SetValue(Element& control, const ControlValue& value) const;
};

// The control `element` is; null for a plain element.
[[nodiscard]] const Control* ControlOf(const Element& element);
// The nearest element at or above `element` that is a control, with that control; null when
// there is none.
[[nodiscard]] Element* ControlElementAt(Element* element, const Control** control);
// The decimal integer `text` holds (surrounding blanks allowed); std::nullopt when it holds
// none or one out of range.
[[nodiscard]] std::optional<int> ParseInt(std::u16string_view text);
// True when the element or one of its ancestors is disabled.
[[nodiscard]] bool IsDisabled(const Element& element);

// The value a control holds: a check box or radio 1 / 0, a slider or progress bar its number,
// a text input or text area its text, a select the "value" (or, without one, the text) of the
// chosen option, a button its "value" attribute or text. False for a plain element.
[[nodiscard]] bool ControlGetValue(const Element& element, ControlValue* value);
// Sets it without raising a change event. A select takes an integer as the index of the option
// to choose (0: the first) and a string as the value of one. False when the element is no
// control or the value does not fit it.
bool ControlSetValue(Element& element, const ControlValue& value);

}  // namespace tavopix

// Helpers shared by the event tests: a page with its dispatcher and a headless view, the user's
// hand on it (presses, clicks, keys by element id), and handlers that write down what they hear.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Behavior.h"
#include "engine/Document.h"
#include "engine/Element.h"
#include "engine/EventDispatcher.h"
#include "engine/HeadlessView.h"
#include "engine/InputRouter.h"
#include "platform/Utf8.h"

namespace tavopix::test {

// "#id" for an element with an id, else its tag; "-" for none.
inline std::string Describe(const Element* element) {
    if (element == nullptr) {
        return "-";
    }
    if (const std::u16string* id = element->GetAttribute("id")) {
        return "#" + Utf16ToUtf8(*id);
    }
    return element->Tag();
}

inline std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", value);
    return text;
}

// Writes "<who> <kind> <cmd> <target> [<source> <reason>]" for every event it hears.
class Recorder {
public:
    void Write(const std::string& line) { lines.push_back(line); }
    std::vector<std::string> Take() { return std::exchange(lines, {}); }
    std::vector<std::string> lines;
};

template <class Base>
class RecordingHandler : public Base {
public:
    template <class... Args>
    RecordingHandler(Recorder& recorder, std::string who, bool handles, Args&&... args)
        : Base(std::forward<Args>(args)...),
          recorder_(recorder),
          who_(std::move(who)),
          handles_(handles) {}

    bool OnMouse(Element& he, MouseParams& p) override {
        return Note(he, "mouse " + Hex(p.cmd) + " " + Describe(p.target.get()));
    }
    bool OnKey(Element& he, KeyParams& p) override {
        return Note(he, "key " + Hex(p.cmd) + " " + Describe(p.target.get()) + " " +
                            std::to_string(p.keyCode));
    }
    bool OnFocus(Element& he, FocusParams& p) override {
        return Note(he, "focus " + Hex(p.cmd) + " " + Describe(p.target.get()));
    }
    bool OnScroll(Element& he, ScrollParams& p) override {
        return Note(he, "scroll " + Hex(p.cmd) + " " + Describe(p.target.get()));
    }
    bool HandleBehaviorEvent(Element& he, BehaviorEventParams& p) override {
        return Note(he, "event " + Hex(p.cmd) + " " + Describe(p.heTarget.get()) + " " +
                            Describe(p.he.get()) + " " + std::to_string(p.reason));
    }

private:
    bool Note(Element& he, const std::string& what) {
        recorder_.Write(who_ + "@" + Describe(&he) + " " + what);
        return handles_;
    }

    Recorder& recorder_;
    std::string who_;
    bool handles_;
};

// A window-level handler: `he` is the root, so lines read "window@html …".
using RecordingWindowHandler = RecordingHandler<EventHandler>;
// A behaviour registered under a name while it lives.
using RecordingBehavior = RecordingHandler<Behavior>;

// A page with its dispatcher and a headless view.
class TestPage {
public:
    explicit TestPage(std::string_view html)
        : document(Document::FromHtml(html, u"/pages/test.htm")),
          events(std::make_unique<EventDispatcher>(*document)) {
        document->AttachView(&view);
    }

    Element& Get(std::string_view id) const {
        Element* element = document->Root()->FindById(Utf8ToUtf16(id));
        if (element == nullptr) {
            ADD_FAILURE() << "no element #" << id;
            std::abort();
        }
        return *element;
    }
    Element::Uid Uid(std::string_view id) const { return Get(id).GetUid(); }
    InputRouter& Input() { return events->Input(); }

    bool Mouse(std::uint32_t cmd, std::string_view id, std::uint32_t buttons = MAIN_MOUSE_BUTTON,
               std::uint32_t keys = 0, bool onIcon = false) {
        MouseInput input;
        input.cmd = cmd;
        input.target = id.empty() ? 0 : Uid(id);
        input.buttonState = buttons;
        input.altState = keys;
        input.isOnIcon = onIcon;
        return Input().Mouse(input);
    }
    void Click(std::string_view id, std::uint32_t buttons = MAIN_MOUSE_BUTTON) {
        Mouse(MOUSE_DOWN, id, buttons);
        Mouse(MOUSE_UP, id, buttons);
    }
    bool Key(std::uint32_t keyCode, std::uint32_t keys = 0) {
        KeyInput input;
        input.keyCode = keyCode;
        input.altState = keys;
        return Input().Key(input);
    }
    void DeliverPosted() {
        while (events->DeliverPostedEvent()) {
        }
    }

    HeadlessView view;  // outlives the document, which reports to it
    std::unique_ptr<Document> document;
    std::unique_ptr<EventDispatcher> events;
};

}  // namespace tavopix::test

// The account dialogs under test: the real skin pages in a headless view, the real SDK, and a
// real albumd on loopback (or an address where nothing answers). A dialog runs modally as in
// the program; a scripted subclass works through a list of steps from a timer inside its own
// message loop, each step waiting (returning false) until what it needs has happened.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/InputRouter.h"
#include "engine/controls/Control.h"
#include "sdk/SdkTestSupport.h"
#include "support/AlbumdProcess.h"
#include "ui/UiTestSupport.h"

namespace tavopix::test {

inline constexpr UINT_PTR kStepTimer = 0x5E51;
// A step that never comes true ends the run instead of hanging the test.
inline constexpr auto kScriptLimit = std::chrono::seconds(30);

template <class Dialog>
class Scripted : public Dialog {
public:
    using Step = std::function<bool(Scripted&)>;
    using Dialog::Dialog;

    std::vector<Step> steps;
    std::size_t done = 0;
    bool timedOut = false;

    int Create() override {
        const int error = Dialog::Create();
        if (error == 0) {
            started_ = std::chrono::steady_clock::now();
            SetTimer(this->GetHwnd(), kStepTimer, 10);
        }
        return error;
    }

    LRESULT OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            bool& handled) override {
        const LRESULT result = Dialog::OnWindowMessage(window, message, wParam, lParam, handled);
        if (handled || message != WM_TIMER || wParam != kStepTimer) {
            return result;
        }
        handled = true;
        if (std::chrono::steady_clock::now() - started_ > kScriptLimit) {
            timedOut = true;
            PostMessage(window, WM_CLOSE, 0, 0);
        } else if (!inStep_ && done < steps.size()) {
            // A step that opens a modal window must post its click (ClickLater): its timer
            // goes on inside that window's loop.
            inStep_ = true;
            if (steps[done](*this)) {
                ++done;
            }
            inStep_ = false;
        }
        return 0;
    }

    Element* ById(std::u16string_view id) const { return this->Page()->Root()->FindById(id); }
    std::u16string Text(std::u16string_view id) const {
        Element* element = ById(id);
        return element ? element->InnerText() : u"(missing)";
    }
    bool Checked(std::u16string_view id) const {
        Element* element = ById(id);
        return element && element->HasState(STATE_CHECKED);
    }
    bool Disabled(std::u16string_view id) const {
        Element* element = ById(id);
        return element && element->HasState(STATE_DISABLED);
    }
    std::u16string Display(std::u16string_view id) const {
        Element* element = ById(id);
        const std::u16string* value = element ? element->GetStyleAttribute("display") : nullptr;
        return value ? *value : u"";
    }
    std::u16string Value(std::u16string_view id) const {
        ControlValue value;
        Element* element = ById(id);
        return element && ControlGetValue(*element, &value) ? value.ToString() : u"(none)";
    }
    // What the user does: type into a field, click, press a key in the focused element.
    void Type(std::u16string_view id, std::u16string_view text) const {
        Element* element = ById(id);
        ASSERT_NE(element, nullptr);
        EventDispatcher::Of(*element)->Input().ControlChanged(element->GetUid(), text);
    }
    // A press and release of the main button on the element, as the view reports them.
    void Click(std::u16string_view id) const {
        Element* element = ById(id);
        ASSERT_NE(element, nullptr);
        InputRouter& input = EventDispatcher::Of(*element)->Input();
        MouseInput press;
        press.target = element->GetUid();
        press.buttonState = MAIN_MOUSE_BUTTON;
        press.cmd = MOUSE_DOWN;
        input.Mouse(press);
        press.cmd = MOUSE_UP;
        input.Mouse(press);
    }
    // The click event of a button, raised after the step: for a click that opens a modal window.
    void ClickLater(std::u16string_view id) const {
        Element* element = ById(id);
        ASSERT_NE(element, nullptr);
        EventDispatcher::Of(*element)->PostEvent(*element, BUTTON_CLICK);
    }
    void Focus(std::u16string_view id) const {
        Element* element = ById(id);
        ASSERT_NE(element, nullptr);
        EventDispatcher::Of(*element)->Input().FocusMoved(element->GetUid());
    }
    void Key(UINT key) const { SendMessage(this->GetHwnd(), WM_KEYDOWN, key, 0); }
    void Close() const { PostMessage(this->GetHwnd(), WM_CLOSE, 0, 0); }

private:
    std::chrono::steady_clock::time_point started_;
    bool inStep_ = false;
};

// The ui fixture with an SDK session that the dialogs use, against albumd or another address.
class AccountDialogTest : public UiTest {
protected:
    static constexpr const char* kPassword = "secret-pw";

    // Starts albumd with these users and an SDK session on it.
    void StartService(const std::vector<std::string>& users = {"alice"}) {
        albumd_ = AlbumdProcess::Start(users);
        ASSERT_NE(albumd_, nullptr);
        UseAddress(albumd_->BaseAddress());
    }
    // An SDK session on an address where no service answers.
    void UseAddress(const std::string& address) {
        sdk_ = std::make_unique<SdkSession>(address);
        appContext.serviceSession = sdk_->Session();
    }
    void TearDown() override {
        UiTest::TearDown();
        sdk_.reset();
        albumd_.reset();
        appContext.serviceSession = 0;
    }

    std::unique_ptr<AlbumdProcess> albumd_;
    std::unique_ptr<SdkSession> sdk_;
};

}  // namespace tavopix::test

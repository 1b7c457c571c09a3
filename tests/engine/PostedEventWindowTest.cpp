// Posted events travelling through a real window's message queue: they keep their order among
// the window's other messages, reach a modal loop a handler runs, and wait for a window the
// page gets later.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "EventTestSupport.h"
#include "platform/MessageQueue.h"
#include "platform/Window.h"
#include "support/MessagePump.h"

namespace tavopix::test {
namespace {

using ::testing::ElementsAre;

constexpr UINT kWorkerMessage = WM_USER + 5;

class PostedEventWindowTest : public ::testing::Test {
protected:
    static constexpr const char16_t* kClassName = u"tavopix-engine-events-test";

    void SetUp() override {
        WNDCLASSEX windowClass;
        windowClass.lpszClassName = kClassName;
        windowClass.lpfnWndProc = [this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
            // The frame's order: the engine first, then the window's own messages.
            if (page && page->events &&
                page->events->HandleWindowMessage(message, wParam, lParam)) {
                return LRESULT{0};
            }
            if (message == kWorkerMessage) {
                log.push_back("message " + std::to_string(wParam));
                return LRESULT{0};
            }
            return DefWindowProc(window, message, wParam, lParam);
        };
        ASSERT_NE(RegisterClassEx(windowClass), 0);
        page = std::make_unique<TestPage>(R"(<body><div #a /><div #b /></body>)");
        handler = std::make_unique<Handler>(*this);
        page->events->AttachWindowHandler(*handler, HANDLE_BEHAVIOR_EVENT);
        hwnd = CreateWindowEx(0, kClassName, u"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr);
        ASSERT_TRUE(hwnd);
    }

    void TearDown() override {
        DestroyWindow(hwnd);
        page.reset();
        EXPECT_TRUE(UnregisterClass(kClassName));
    }

    struct Handler : EventHandler {
        explicit Handler(PostedEventWindowTest& t) : EventHandler(HANDLE_BEHAVIOR_EVENT), test(t) {}
        bool OnBehaviorEvent(Element*, Element* target, std::uint32_t code,
                             std::uintptr_t) override {
            if ((code & SINKING) != 0) {
                return false;
            }
            test.log.push_back("event " + std::to_string(code) + " " + Describe(target));
            if (test.onEvent) {
                test.onEvent(code);
            }
            return false;
        }
        PostedEventWindowTest& test;
    };

    std::unique_ptr<TestPage> page;
    std::unique_ptr<Handler> handler;
    HWND hwnd;
    std::vector<std::string> log;
    std::function<void(std::uint32_t)> onEvent;
};

TEST_F(PostedEventWindowTest, PostedEventsKeepTheirPlaceAmongTheWindowsMessages) {
    page->events->SetWindow(hwnd);
    EXPECT_TRUE(page->events->PostEvent(page->Get("a"), 258));
    EXPECT_TRUE(PostMessage(hwnd, kWorkerMessage, 1, 0));
    EXPECT_TRUE(page->events->PostEvent(page->Get("b"), 259));
    EXPECT_TRUE(log.empty());
    Pump();
    EXPECT_THAT(log, ElementsAre("event 258 #a", "message 1", "event 259 #b"));
}

TEST_F(PostedEventWindowTest, AModalLoopInAHandlerDeliversTheEventsPostedAfterItsOwn) {
    page->events->SetWindow(hwnd);
    onEvent = [&](std::uint32_t code) {
        if (code == 300) {
            log.push_back("modal loop");
            Pump();  // a dialog's loop, nested in the handler
            log.push_back("modal loop ends");
        }
    };
    page->events->PostEvent(page->Get("a"), 300);
    page->events->PostEvent(page->Get("b"), 301);
    PostMessage(hwnd, kWorkerMessage, 2, 0);
    page->events->PostEvent(page->Get("a"), 302);
    Pump();
    EXPECT_THAT(log, ElementsAre("event 300 #a", "modal loop", "event 301 #b", "message 2",
                                 "event 302 #a", "modal loop ends"));
    EXPECT_EQ(page->events->PostedEventCount(), 0u);
}

TEST_F(PostedEventWindowTest, EventsPostedBeforeThePageHadItsWindowArriveThroughIt) {
    page->events->PostEvent(page->Get("a"), 258);
    page->events->PostEvent(page->Get("b"), 259);
    Pump();
    EXPECT_TRUE(log.empty());
    page->events->SetWindow(hwnd);
    Pump();
    EXPECT_THAT(log, ElementsAre("event 258 #a", "event 259 #b"));
}

TEST_F(PostedEventWindowTest, NothingIsPostedToAWindowThatIsGone) {
    page->events->SetWindow(hwnd);
    DestroyWindow(hwnd);
    EXPECT_FALSE(page->events->PostEvent(page->Get("a"), 258));
    EXPECT_EQ(page->events->PostedEventCount(), 0u);
}

}  // namespace
}  // namespace tavopix::test

// Event dispatch: sinking then bubbling through window handlers and behaviours, the HANDLED
// flag, behaviours found by name, group masks, posted events, capture.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "EventTestSupport.h"
#include "engine/EventCodes.h"

namespace tavopix::test {
namespace {

using ::testing::ElementsAre;

constexpr std::string_view kNested = R"(<html><head><style>
#outer { behavior: test_outer }
#inner { behavior: test_inner test_second }
</style></head>
<body><div #outer><p #inner><span #leaf>x</span></p></div><div #other /></body></html>)";

TEST(EventDispatch, SinksFromTheWindowToTheTargetThenBubblesBack) {
    Recorder log;
    RecordingBehavior outer(log, "outer", false, "test_outer", HANDLE_ALL);
    RecordingBehavior inner(log, "inner", false, "test_inner", HANDLE_ALL);
    RecordingBehavior second(log, "second", false, "test_second", HANDLE_ALL);
    RecordingWindowHandler window(log, "window", false, HANDLE_BEHAVIOR_EVENT);
    TestPage page(kNested);
    page.events->AttachWindowHandler(window, HANDLE_ALL);

    EXPECT_FALSE(page.events->SendEvent(page.Get("leaf"), 0x123, nullptr, 7));
    EXPECT_THAT(
        log.Take(),
        ElementsAre("window@html event 8123 #leaf #leaf 7", "outer@#outer event 8123 #leaf #leaf 7",
                    "inner@#inner event 8123 #leaf #leaf 7",
                    "second@#inner event 8123 #leaf #leaf 7",
                    "inner@#inner event 123 #leaf #leaf 7", "second@#inner event 123 #leaf #leaf 7",
                    "outer@#outer event 123 #leaf #leaf 7", "window@html event 123 #leaf #leaf 7"));
}

TEST(EventDispatch, HandledIsSeenByEveryLaterHandlerAndReturned) {
    Recorder log;
    RecordingBehavior outer(log, "outer", false, "test_outer", HANDLE_ALL);
    RecordingBehavior inner(log, "inner", true, "test_inner", HANDLE_ALL);
    RecordingBehavior second(log, "second", false, "test_second", HANDLE_ALL);
    TestPage page(kNested);

    MouseParams params;
    params.cmd = MOUSE_DOWN;
    params.target = ElementRef(&page.Get("inner"));
    EXPECT_TRUE(page.events->Dispatch(params));
    EXPECT_EQ(params.cmd, MOUSE_DOWN | HANDLED);
    // The inner behaviour takes the sinking event: the second one and everyone after sees it so.
    EXPECT_THAT(log.Take(),
                ElementsAre("outer@#outer mouse 8004 #inner", "inner@#inner mouse 8004 #inner",
                            "second@#inner mouse 18004 #inner", "inner@#inner mouse 10004 #inner",
                            "second@#inner mouse 10004 #inner", "outer@#outer mouse 10004 #inner"));
}

TEST(EventDispatch, BehavioursHearOnlyTheirGroupsAndWindowHandlersTheirMask) {
    Recorder log;
    RecordingBehavior outer(log, "outer", false, "test_outer", HANDLE_KEY);
    RecordingBehavior inner(log, "inner", false, "test_inner", HANDLE_MOUSE | HANDLE_SCROLL);
    RecordingWindowHandler keys(log, "keys", false, HANDLE_ALL);
    RecordingWindowHandler scrolls(log, "scrolls", false, HANDLE_ALL);
    TestPage page(kNested);
    page.events->AttachWindowHandler(keys, HANDLE_KEY);
    page.events->AttachWindowHandler(scrolls, HANDLE_MOUSE);
    page.events->AttachWindowHandler(scrolls, HANDLE_SCROLL);  // replaces the mask

    ScrollParams scroll;
    scroll.target = ElementRef(&page.Get("leaf"));
    page.events->Dispatch(scroll);
    KeyParams key;
    key.target = ElementRef(&page.Get("leaf"));
    key.keyCode = 65;
    page.events->Dispatch(key);
    EXPECT_THAT(log.Take(),
                ElementsAre("scrolls@html scroll 8006 #leaf", "inner@#inner scroll 8006 #leaf",
                            "inner@#inner scroll 6 #leaf", "scrolls@html scroll 6 #leaf",
                            "keys@html key 8000 #leaf 65", "outer@#outer key 8000 #leaf 65",
                            "outer@#outer key 0 #leaf 65", "keys@html key 0 #leaf 65"));

    page.events->DetachWindowHandler(keys);
    page.events->Dispatch(key);
    EXPECT_THAT(log.Take(),
                ElementsAre("outer@#outer key 8000 #leaf 65", "outer@#outer key 0 #leaf 65"));
}

TEST(EventDispatch, TheBehaviourConstructedLastWinsItsName) {
    Recorder log;
    RecordingBehavior first(log, "first", false, "test_outer", HANDLE_ALL);
    {
        RecordingBehavior later(log, "later", false, "test_outer", HANDLE_ALL);
        EXPECT_EQ(Behavior::Find("test_outer"), &later);
        TestPage page(kNested);
        page.events->SendEvent(page.Get("outer"), BUTTON_CLICK);
        EXPECT_THAT(log.Take(), ElementsAre("later@#outer event 8000 #outer #outer 0",
                                            "later@#outer event 0 #outer #outer 0"));
    }
    // Gone from the registry with its object; names match byte for byte.
    EXPECT_EQ(Behavior::Find("test_outer"), &first);
    EXPECT_EQ(Behavior::Find("TEST_OUTER"), nullptr);
    EXPECT_EQ(Behavior::Find("test_oute"), nullptr);
}

TEST(EventDispatch, TheHostAnswersForANameBeforeTheRegistry) {
    Recorder log;
    RecordingBehavior registered(log, "registered", false, "test_outer", HANDLE_ALL);
    RecordingWindowHandler host(log, "host", false, HANDLE_ALL);
    TestPage page(kNested);
    page.events->SetBehaviorResolver([&](std::string_view name) -> EventHandler* {
        return name == "test_outer" ? &host : nullptr;
    });
    page.events->SendEvent(page.Get("outer"), BUTTON_CLICK);
    EXPECT_THAT(log.Take(), ElementsAre("host@#outer event 8000 #outer #outer 0",
                                        "host@#outer event 0 #outer #outer 0"));
}

TEST(EventDispatch, EventsForElementsOutsideThePageReachNobody) {
    Recorder log;
    RecordingWindowHandler window(log, "window", true, HANDLE_ALL);
    TestPage page(kNested);
    page.events->AttachWindowHandler(window, HANDLE_ALL);
    ElementRef removed(&page.Get("inner"));
    removed->Detach();
    EXPECT_FALSE(page.events->SendEvent(*removed, BUTTON_CLICK));
    EXPECT_FALSE(page.events->PostEvent(*removed, BUTTON_CLICK));
    ElementRef stranger = Element::Create("div");
    EXPECT_FALSE(page.events->SendEvent(*stranger, BUTTON_CLICK));
    EXPECT_TRUE(log.lines.empty());
}

TEST(EventDispatch, PostedEventsWaitAndArriveInOrder) {
    Recorder log;
    RecordingWindowHandler window(log, "window", false, HANDLE_ALL);
    TestPage page(kNested);
    page.events->AttachWindowHandler(window, HANDLE_BEHAVIOR_EVENT);

    EXPECT_TRUE(page.events->PostEvent(page.Get("leaf"), 258, &page.Get("inner"), 1));
    EXPECT_TRUE(page.events->PostEvent(page.Get("other"), 259));
    EXPECT_TRUE(page.events->PostEvent(page.Get("inner"), 264, nullptr, 2));
    EXPECT_TRUE(log.lines.empty());  // nothing runs inside the code that posts
    EXPECT_EQ(page.events->PostedEventCount(), 3u);

    // The target of the second one leaves the page before its turn: it is dropped.
    page.Get("other").Detach();
    page.DeliverPosted();
    EXPECT_THAT(log.Take(), ElementsAre("window@html event 8102 #leaf #inner 1",
                                        "window@html event 102 #leaf #inner 1",
                                        "window@html event 8108 #inner #inner 2",
                                        "window@html event 108 #inner #inner 2"));
}

TEST(EventDispatch, AnEventPostedWhileDeliveringWaitsForTheNextTurn) {
    Recorder log;
    TestPage page(kNested);
    struct Reposter : EventHandler {
        Reposter(TestPage& p, Recorder& r) : EventHandler(HANDLE_BEHAVIOR_EVENT), page(p), log(r) {}
        bool OnBehaviorEvent(Element*, Element* target, std::uint32_t code,
                             std::uintptr_t) override {
            log.Write(Describe(target) + " " + Hex(code));
            if (code == 300) {
                page.events->PostEvent(page.Get("other"), 301);
                log.Write("posted");
            }
            return false;
        }
        TestPage& page;
        Recorder& log;
    } reposter(page, log);
    page.events->AttachWindowHandler(reposter, HANDLE_BEHAVIOR_EVENT);
    page.events->PostEvent(page.Get("leaf"), 300);
    page.events->PostEvent(page.Get("leaf"), 302);
    page.DeliverPosted();
    EXPECT_THAT(log.Take(), ElementsAre("#leaf 812C", "#leaf 12C", "posted", "#leaf 812E",
                                        "#leaf 12E", "#other 812D", "#other 12D"));
}

TEST(EventDispatch, AHandlerMayCloseThePageInTheMiddleOfAnEvent) {
    Recorder log;
    RecordingBehavior inner(log, "inner", false, "test_inner", HANDLE_ALL);
    auto page = std::make_unique<TestPage>(kNested);
    struct Closer : EventHandler {
        explicit Closer(std::unique_ptr<TestPage>& p) : EventHandler(HANDLE_ALL), page(p) {}
        bool OnBehaviorEvent(Element*, Element*, std::uint32_t code, std::uintptr_t) override {
            if (code == (BUTTON_CLICK | SINKING)) {
                page->events.reset();  // the window closed: its dispatcher is gone
            }
            return true;
        }
        std::unique_ptr<TestPage>& page;
    } closer(page);
    page->events->AttachWindowHandler(closer, HANDLE_BEHAVIOR_EVENT);
    ElementRef leaf(&page->Get("leaf"));
    EXPECT_TRUE(page->events->SendEvent(*leaf, BUTTON_CLICK));
    EXPECT_EQ(page->events, nullptr);
    EXPECT_TRUE(log.lines.empty());
}

TEST(EventDispatch, DispatchersAreFoundByPageAndByElement) {
    TestPage page(kNested);
    EXPECT_EQ(EventDispatcher::Of(*page.document), page.events.get());
    EXPECT_EQ(EventDispatcher::Of(page.Get("leaf")), page.events.get());
    ElementRef stranger = Element::Create("div");
    EXPECT_EQ(EventDispatcher::Of(*stranger), nullptr);
    const Document* document = page.document.get();
    page.events.reset();
    EXPECT_EQ(EventDispatcher::Of(*document), nullptr);
}

TEST(EventDispatch, CaptureHoldsUntilReleasedOrTheElementLeaves) {
    TestPage page(kNested);
    Element& inner = page.Get("inner");
    EXPECT_TRUE(page.events->SetCapture(inner));
    EXPECT_EQ(page.events->Capture(), &inner);
    page.events->ReleaseCapture();
    EXPECT_EQ(page.events->Capture(), nullptr);
    EXPECT_TRUE(page.events->SetCapture(inner));
    inner.Detach();
    EXPECT_EQ(page.events->Capture(), nullptr);
    EXPECT_FALSE(page.events->SetCapture(inner));
}

}  // namespace
}  // namespace tavopix::test

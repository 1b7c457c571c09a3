// The view's input on a page: hover tracking, capture, focus, keys, scrolling, context menus,
// and input that names elements the program removed meanwhile.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "EventTestSupport.h"
#include "engine/controls/Control.h"
#include "platform/WindowMessages.h"

namespace tavopix::test {
namespace {

using ::testing::ElementsAre;

// Writes what reaches the window in the bubbling phase only, one short line per event.
class BubbleLog : public EventHandler {
public:
    BubbleLog() : EventHandler(HANDLE_ALL) {}
    bool OnMouse(Element&, MouseParams& p) override {
        const bool hoverChange = p.cmd == MOUSE_ENTER || p.cmd == MOUSE_LEAVE;
        if ((p.cmd & SINKING) == 0 && (withHover || !hoverChange)) {
            static const char* const kNames[] = {"enter", "leave",  "move", "up",
                                                 "down",  "dclick", "wheel"};
            lines.push_back(std::string(kNames[EventCommand(p.cmd)]) + " " +
                            Describe(p.target.get()) + " " + std::to_string(p.pos.x) + "," +
                            std::to_string(p.pos.y));
        }
        return false;
    }
    bool OnKey(Element&, KeyParams& p) override {
        if ((p.cmd & SINKING) == 0) {
            lines.push_back("key " + Describe(p.target.get()) + " " + std::to_string(p.keyCode));
        }
        return false;
    }
    bool OnFocus(Element&, FocusParams& p) override {
        if ((p.cmd & SINKING) == 0) {
            lines.push_back((p.cmd == FOCUS_GOT ? "got " : "lost ") + Describe(p.target.get()));
        }
        return false;
    }
    bool OnScroll(Element&, ScrollParams& p) override {
        if ((p.cmd & SINKING) == 0) {
            lines.push_back("scroll " + Describe(p.target.get()) + " " + std::to_string(p.pos));
        }
        return false;
    }
    bool OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                         std::uintptr_t) override {
        if ((code & SINKING) == 0) {
            lines.push_back("event " + Hex(code) + " " + Describe(target) + " " +
                            Describe(element));
        }
        return false;
    }
    std::vector<std::string> Take() { return std::exchange(lines, {}); }
    std::vector<std::string> lines;
    bool withHover = false;  // whether enter and leave are written
};

class InputRouterTest : public ::testing::Test {
protected:
    void Attach(TestPage& page) { page.events->AttachWindowHandler(log, HANDLE_ALL); }
    BubbleLog log;
};

constexpr std::string_view kPage = R"(<html><body>
<div #a><p #b>text</p></div><div #c /><button #btn>OK</button>
</body></html>)";

TEST_F(InputRouterTest, HoverFollowsTheMouseWithLeaveBeforeEnter) {
    TestPage page(kPage);
    Attach(page);
    log.withHover = true;
    page.Mouse(MOUSE_MOVE, "b", 0);
    EXPECT_TRUE(page.Get("a").HasState(STATE_HOVER));
    EXPECT_TRUE(page.Get("b").HasState(STATE_HOVER));
    EXPECT_TRUE(page.document->Body()->HasState(STATE_HOVER));
    EXPECT_EQ(page.Input().Hover(), &page.Get("b"));
    EXPECT_THAT(log.Take(), ElementsAre("enter html 0,0", "enter body 0,0", "enter #a 0,0",
                                        "enter #b 0,0", "move #b 0,0"));

    page.Mouse(MOUSE_MOVE, "c", 0);
    EXPECT_FALSE(page.Get("a").HasState(STATE_HOVER));
    EXPECT_FALSE(page.Get("b").HasState(STATE_HOVER));
    EXPECT_TRUE(page.Get("c").HasState(STATE_HOVER));
    EXPECT_THAT(log.Take(),
                ElementsAre("leave #b 0,0", "leave #a 0,0", "enter #c 0,0", "move #c 0,0"));

    page.Mouse(MOUSE_MOVE, "c", 0);  // no change: no enter or leave
    EXPECT_THAT(log.Take(), ElementsAre("move #c 0,0"));

    // The mouse left the page.
    page.Mouse(MOUSE_LEAVE, "", 0);
    EXPECT_FALSE(page.document->Root()->HasState(STATE_HOVER));
    EXPECT_EQ(page.Input().Hover(), nullptr);
    EXPECT_THAT(log.Take(), ElementsAre("leave #c 0,0", "leave body 0,0", "leave html 0,0"));
}

TEST_F(InputRouterTest, InputNamingARemovedElementIsDroppedQuietly) {
    TestPage page(kPage);
    Attach(page);
    const Element::Uid b = page.Uid("b");
    const Element::Uid btn = page.Uid("btn");
    ElementRef kept(&page.Get("b"));
    kept->Detach();
    page.Get("btn").Detach();

    MouseInput mouse;
    mouse.cmd = MOUSE_DOWN;
    mouse.target = b;
    mouse.buttonState = MAIN_MOUSE_BUTTON;
    EXPECT_FALSE(page.Input().Mouse(mouse));
    EXPECT_FALSE(page.Input().FocusMoved(btn));
    EXPECT_FALSE(page.Input().ControlChanged(btn, u"x"));
    EXPECT_FALSE(page.Input().Scroll(ScrollInput{b, SCROLL_POS, 10, true}));
    EXPECT_FALSE(page.Input().ContextMenu(b, Point{1, 1}));
    EXPECT_FALSE(page.Input().Mouse(MouseInput{MOUSE_MOVE, 987654, {}, {}, 0, 0, false, 0}));
    EXPECT_TRUE(log.lines.empty());
    EXPECT_FALSE(kept->HasState(STATE_HOVER));
}

TEST_F(InputRouterTest, CaptureTakesEveryMouseEventUntilReleased) {
    TestPage page(kPage);
    Attach(page);
    log.withHover = true;
    page.view.SetLocation("#a", Rect{100, 50, 300, 90});
    ASSERT_TRUE(page.events->SetCapture(page.Get("a")));
    log.Take();

    MouseInput move;
    move.cmd = MOUSE_MOVE;
    move.target = page.Uid("c");
    move.pos = Point{3, 4};
    move.posDocument = Point{130, 70};
    move.buttonState = MAIN_MOUSE_BUTTON;
    page.Input().Mouse(move);
    // Hover still follows the mouse; the event goes to the capture, placed relative to it.
    EXPECT_THAT(log.Take(),
                ElementsAre("enter html 0,0", "enter body 0,0", "enter #c 0,0", "move #a 30,20"));
    move.target = 0;  // outside the window: still the capture's
    page.Input().Mouse(move);
    EXPECT_THAT(log.Take(),
                ElementsAre("leave #c 0,0", "leave body 0,0", "leave html 0,0", "move #a 30,20"));

    page.events->ReleaseCapture();
    move.target = page.Uid("c");
    page.Input().Mouse(move);
    EXPECT_THAT(log.Take(),
                ElementsAre("enter html 0,0", "enter body 0,0", "enter #c 0,0", "move #c 3,4"));
}

TEST_F(InputRouterTest, APressMovesTheFocusAndKeysGoToTheFocusedElement) {
    TestPage page(R"(<html><head><style>#grid { behavior: test_keys }</style></head><body>
<button #btn>OK</button><div #grid><p #cell /></div><div #plain /><div #tab tabindex="0" />
<button #off disabled>no</button></body></html>)");
    struct KeyBehavior : Behavior {
        KeyBehavior() : Behavior("test_keys", HANDLE_KEY) {}
    } keys;
    Attach(page);

    page.Key('A');  // no focus: the root hears it
    EXPECT_THAT(log.Take(), ElementsAre("key html 65"));

    page.Click("btn");
    EXPECT_TRUE(page.Get("btn").HasState(STATE_FOCUS));
    EXPECT_EQ(page.Input().Focus(), &page.Get("btn"));
    log.Take();
    page.Mouse(MOUSE_DOWN, "cell");  // the grid hears keys, so a press in it focuses it
    EXPECT_FALSE(page.Get("btn").HasState(STATE_FOCUS));
    EXPECT_TRUE(page.Get("grid").HasState(STATE_FOCUS));
    EXPECT_THAT(log.Take(), ElementsAre("lost #btn", "got #grid", "down #cell 0,0"));
    page.Key('A', CONTROL_KEY_PRESSED);
    EXPECT_THAT(log.Take(), ElementsAre("key #grid 65"));

    page.Mouse(MOUSE_DOWN, "tab");
    EXPECT_EQ(page.Input().Focus(), &page.Get("tab"));
    page.Mouse(MOUSE_DOWN, "off");  // disabled: not focusable, and nothing above it is
    EXPECT_EQ(page.Input().Focus(), nullptr);
    page.Mouse(MOUSE_DOWN, "plain", PROP_MOUSE_BUTTON);
    EXPECT_EQ(page.Input().Focus(), nullptr);

    EXPECT_TRUE(page.Input().FocusMoved(page.Uid("btn")));
    EXPECT_EQ(page.Input().Focus(), &page.Get("btn"));
    EXPECT_TRUE(page.Input().FocusMoved(0));
    EXPECT_EQ(page.Input().Focus(), nullptr);
}

TEST_F(InputRouterTest, ScrollingIsHeardAndThenRaisedForTheElement) {
    TestPage page(kPage);
    Attach(page);
    EXPECT_TRUE(page.Input().Scroll(ScrollInput{page.Uid("a"), SCROLL_POS, 120, true}));
    EXPECT_THAT(log.Take(), ElementsAre("scroll #a 120", "event 95 #a #a"));
}

constexpr std::string_view kMenuPage = R"(<html><head><style>
#grid { context-menu: selector(#pl_cmenu) }
</style></head><body>
<div #grid><div .loc #cell><picture #pic /></div></div><div #outside />
<button #hsk_btn_menu menu="#main_menu">menu</button><button #btn_upload>upload</button>
<menu #pl_cmenu><li #plmu_upload>upload</li><li #plmu_mark disabled>mark</li></menu>
<menu #main_menu><li #menu_login>login</li></menu>
</body></html>)";

TEST_F(InputRouterTest, AContextMenuIsSetUpShownAndItsItemClicked) {
    TestPage page(kMenuPage);
    Attach(page);
    EXPECT_TRUE(page.Input().ContextMenu(page.Uid("pic"), Point{40, 60}));
    EXPECT_THAT(log.Take(), ElementsAre("event F #grid #pl_cmenu", "event 7 #pl_cmenu #grid"));
    EXPECT_EQ(page.Input().Popups().Popup(), &page.Get("pl_cmenu"));
    EXPECT_EQ(page.Input().Popups().Anchor(), (Point{40, 60}));
    EXPECT_TRUE(page.Get("pl_cmenu").HasState(STATE_POPUP));
    EXPECT_TRUE(page.Get("grid").HasState(STATE_OWNS_POPUP));

    page.Click("plmu_mark");  // disabled: nothing happens, the menu stays
    EXPECT_THAT(log.Take(), ElementsAre("down #plmu_mark 0,0", "up #plmu_mark 0,0"));
    EXPECT_EQ(page.Input().Popups().Popup(), &page.Get("pl_cmenu"));

    page.Click("plmu_upload");
    EXPECT_THAT(log.Take(), ElementsAre("down #plmu_upload 0,0", "up #plmu_upload 0,0",
                                        "event 9 #pl_cmenu #grid", "event B #grid #plmu_upload"));
    EXPECT_EQ(page.Input().Popups().Popup(), nullptr);
    EXPECT_FALSE(page.Get("pl_cmenu").HasState(STATE_POPUP));
    EXPECT_FALSE(page.Get("grid").HasState(STATE_OWNS_POPUP));

    // An element without a context menu anywhere above it: nothing opens.
    EXPECT_TRUE(page.Input().ContextMenu(page.Uid("outside"), Point{}));
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(InputRouterTest, APressOutsideAnOpenMenuClosesItAndGoesOn) {
    TestPage page(kMenuPage);
    Attach(page);
    page.view.SetLocation("#hsk_btn_menu", Rect{10, 5, 40, 25});
    page.Mouse(MOUSE_DOWN, "hsk_btn_menu");
    EXPECT_THAT(log.Take(), ElementsAre("got #hsk_btn_menu", "down #hsk_btn_menu 0,0",
                                        "event 7 #main_menu #hsk_btn_menu"));
    EXPECT_EQ(page.Input().Popups().Popup(), &page.Get("main_menu"));
    EXPECT_EQ(page.Input().Popups().Anchor(), (Point{10, 25}));  // below the owner
    page.Mouse(MOUSE_UP, "hsk_btn_menu");
    log.Take();

    // A second press on the owner only closes its menu.
    page.Mouse(MOUSE_DOWN, "hsk_btn_menu");
    EXPECT_THAT(log.Take(), ElementsAre("event 9 #main_menu #hsk_btn_menu"));
    EXPECT_EQ(page.Input().Popups().Popup(), nullptr);

    page.Mouse(MOUSE_DOWN, "hsk_btn_menu");
    page.Mouse(MOUSE_UP, "hsk_btn_menu");
    log.Take();
    page.Mouse(MOUSE_DOWN, "outside");
    EXPECT_THAT(log.Take(), ElementsAre("event 9 #main_menu #hsk_btn_menu", "lost #hsk_btn_menu",
                                        "down #outside 0,0"));

    // Choosing an item leaves the focus with the menu's owner.
    page.Mouse(MOUSE_DOWN, "hsk_btn_menu");
    page.Mouse(MOUSE_UP, "hsk_btn_menu");
    log.Take();
    page.Click("menu_login");
    EXPECT_EQ(page.Input().Focus(), &page.Get("hsk_btn_menu"));
    EXPECT_THAT(log.Take(), ElementsAre("down #menu_login 0,0", "up #menu_login 0,0",
                                        "event 9 #main_menu #hsk_btn_menu",
                                        "event B #hsk_btn_menu #menu_login"));

    // Escape closes it too.
    page.Mouse(MOUSE_DOWN, "hsk_btn_menu");
    log.Take();
    page.Key(static_cast<std::uint32_t>(VK_ESCAPE));
    EXPECT_THAT(log.Take(),
                ElementsAre("key #hsk_btn_menu 27", "event 9 #main_menu #hsk_btn_menu"));
    EXPECT_EQ(page.Input().Popups().Popup(), nullptr);
}

TEST(InputRouterClosing, AHandlerMayCloseThePageWhileTheEngineActsOnInput) {
    // Each code closes the page when it is raised; the engine must stop touching it at once.
    for (const std::uint32_t closingCode :
         {POPUP_REQUEST, CONTEXT_MENU_SETUP, BUTTON_CLICK, POPUP_DISMISSED, MENU_ITEM_CLICK}) {
        auto page = std::make_unique<TestPage>(kMenuPage);
        struct Closer : EventHandler {
            Closer(std::unique_ptr<TestPage>& p, std::uint32_t c)
                : EventHandler(HANDLE_BEHAVIOR_EVENT), page(p), code(c) {}
            bool OnBehaviorEvent(Element*, Element*, std::uint32_t raised,
                                 std::uintptr_t) override {
                if (raised == code) {
                    page->events.reset();
                }
                return false;
            }
            std::unique_ptr<TestPage>& page;
            std::uint32_t code;
        } closer(page, closingCode);
        page->events->AttachWindowHandler(closer, HANDLE_BEHAVIOR_EVENT);
        const Element::Uid pic = page->Uid("pic");
        const Element::Uid item = page->Uid("plmu_upload");
        const Element::Uid button = page->Uid("hsk_btn_menu");
        const Element::Uid upload = page->Uid("btn_upload");
        EXPECT_TRUE(page->Input().ContextMenu(pic, Point{}));
        if (page->events) {
            MouseInput press{MOUSE_DOWN, item, {}, {}, MAIN_MOUSE_BUTTON, 0, false, 0};
            page->Input().Mouse(press);
        }
        if (page->events) {
            MouseInput release{MOUSE_UP, item, {}, {}, MAIN_MOUSE_BUTTON, 0, false, 0};
            page->Input().Mouse(release);
        }
        if (page->events) {
            MouseInput press{MOUSE_DOWN, button, {}, {}, MAIN_MOUSE_BUTTON, 0, false, 0};
            page->Input().Mouse(press);
        }
        for (const std::uint32_t cmd : {MOUSE_DOWN, MOUSE_UP}) {
            if (page->events) {
                page->Input().Mouse(
                    MouseInput{cmd, upload, {}, {}, MAIN_MOUSE_BUTTON, 0, false, 0});
            }
        }
        EXPECT_EQ(page->events, nullptr) << "code " << closingCode;
    }
}

}  // namespace
}  // namespace tavopix::test

// The built-in controls as a user drives them through the input router, and their values.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "EventTestSupport.h"
#include "engine/ControlValue.h"
#include "engine/TreeDump.h"
#include "engine/controls/Control.h"
#include "platform/WindowMessages.h"

namespace tavopix::test {
namespace {

using ::testing::ElementsAre;

// Writes every behaviour event reaching the window: "<code> <target> <source>".
class EventLog : public EventHandler {
public:
    EventLog() : EventHandler(HANDLE_BEHAVIOR_EVENT) {}
    bool OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                         std::uintptr_t) override {
        if ((code & SINKING) == 0) {
            lines.push_back(Hex(EventCommand(code)) + " " + Describe(target) + " " +
                            Describe(element));
        }
        return false;
    }
    std::vector<std::string> Take() { return std::exchange(lines, {}); }
    std::vector<std::string> lines;
};

class ControlsTest : public ::testing::Test {
protected:
    TestPage& Open(std::string_view html) {
        page = std::make_unique<TestPage>(html);
        page->events->AttachWindowHandler(log, HANDLE_BEHAVIOR_EVENT);
        return *page;
    }
    ControlValue ValueOf(std::string_view id) const {
        ControlValue value;
        EXPECT_TRUE(ControlGetValue(page->Get(id), &value));
        return value;
    }
    EventLog log;
    std::unique_ptr<TestPage> page;
};

TEST_F(ControlsTest, AButtonClicksWhenPressedAndReleasedOnIt) {
    TestPage& p = Open(R"(<body><button #ok value="确定" /><button #off disabled>x</button>
<input #submit type="submit" value="Send"><div #elsewhere /></body>)");
    p.Click("ok");
    EXPECT_THAT(log.Take(), ElementsAre("0 #ok #ok"));
    EXPECT_FALSE(p.Get("ok").HasState(STATE_ACTIVE));

    p.Click("off");
    p.Mouse(MOUSE_DOWN, "ok");
    EXPECT_TRUE(p.Get("ok").HasState(STATE_ACTIVE));
    p.Mouse(MOUSE_UP, "elsewhere");  // released away from it: no click
    p.Mouse(MOUSE_DOWN, "elsewhere");
    p.Mouse(MOUSE_UP, "ok");
    p.Click("ok", PROP_MOUSE_BUTTON);
    EXPECT_TRUE(log.lines.empty());

    // A double click is two clicks.
    p.Mouse(MOUSE_DOWN, "ok");
    p.Mouse(MOUSE_UP, "ok");
    p.Mouse(MOUSE_DCLICK, "ok");
    p.Mouse(MOUSE_UP, "ok");
    EXPECT_THAT(log.Take(), ElementsAre("0 #ok #ok", "0 #ok #ok"));

    p.Key(static_cast<std::uint32_t>(VK_SPACE));  // #ok has the focus from the last press on it
    p.Key(static_cast<std::uint32_t>(VK_RETURN));
    p.Click("submit");
    EXPECT_THAT(log.Take(), ElementsAre("0 #ok #ok", "0 #ok #ok", "0 #submit #submit"));

    EXPECT_EQ(ValueOf("ok"), ControlValue(u"确定"));
    EXPECT_EQ(ValueOf("off"), ControlValue(u"x"));
}

TEST_F(ControlsTest, AHandlerThatTakesTheReleaseKeepsTheButtonFromClicking) {
    TestPage& p = Open(R"(<body><button #ok>OK</button></body>)");
    struct TakesRelease : EventHandler {
        TakesRelease() : EventHandler(HANDLE_MOUSE) {}
        bool OnMouse(Element&, MouseParams& params) override { return params.cmd == MOUSE_UP; }
    } takesRelease;
    p.events->AttachWindowHandler(takesRelease, HANDLE_MOUSE);
    p.Click("ok");
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(ControlsTest, ACheckBoxTogglesAndTellsOfTheChange) {
    TestPage& p = Open(R"(<body><input #ck_close type="checkbox" checked>
<button #tp_all type="checkbox">all</button></body>)");
    EXPECT_TRUE(p.Get("ck_close").HasState(STATE_CHECKED));  // from the markup
    EXPECT_EQ(ValueOf("ck_close"), ControlValue(1));
    p.Click("ck_close");
    EXPECT_FALSE(p.Get("ck_close").HasState(STATE_CHECKED));
    EXPECT_EQ(ValueOf("ck_close"), ControlValue(0));
    EXPECT_THAT(log.Take(), ElementsAre("0 #ck_close #ck_close", "2 #ck_close #ck_close"));

    p.Key(static_cast<std::uint32_t>(VK_SPACE));
    EXPECT_TRUE(p.Get("ck_close").HasState(STATE_CHECKED));
    EXPECT_THAT(log.Take(), ElementsAre("0 #ck_close #ck_close", "2 #ck_close #ck_close"));

    EXPECT_TRUE(ControlSetValue(p.Get("tp_all"), ControlValue(1)));
    EXPECT_TRUE(p.Get("tp_all").HasState(STATE_CHECKED));
    EXPECT_FALSE(ControlSetValue(p.Get("tp_all"), ControlValue(u"on")));
    EXPECT_TRUE(log.lines.empty());  // set by the program: no event
}

TEST_F(ControlsTest, RadiosOfOneNameInOneFormCheckOneAtATime) {
    TestPage& p = Open(R"(<body><div #album_dlg>
<input #tp_all type="radio" name="tp" checked><input #tp_friend type="radio" name="tp">
<input #tp_qa type="radio" name="tp"></div>
<form><input #other type="radio" name="tp" checked></form>
<input #lonely type="radio"></body>)");
    p.Click("tp_qa");
    EXPECT_FALSE(p.Get("tp_all").HasState(STATE_CHECKED));
    EXPECT_FALSE(p.Get("tp_friend").HasState(STATE_CHECKED));
    EXPECT_TRUE(p.Get("tp_qa").HasState(STATE_CHECKED));
    EXPECT_TRUE(p.Get("other").HasState(STATE_CHECKED));  // another form, another group
    EXPECT_THAT(log.Take(), ElementsAre("0 #tp_qa #tp_qa", "2 #tp_qa #tp_qa"));

    p.Click("tp_qa");  // already checked: clicked, not changed
    EXPECT_THAT(log.Take(), ElementsAre("0 #tp_qa #tp_qa"));

    EXPECT_TRUE(ControlSetValue(p.Get("tp_friend"), ControlValue(1)));
    EXPECT_FALSE(p.Get("tp_qa").HasState(STATE_CHECKED));
    EXPECT_EQ(ValueOf("tp_friend"), ControlValue(1));
    p.Click("lonely");
    EXPECT_TRUE(p.Get("lonely").HasState(STATE_CHECKED));
    EXPECT_TRUE(p.Get("tp_friend").HasState(STATE_CHECKED));
}

TEST_F(ControlsTest, TextTypedInTheViewIsStoredAndTold) {
    TestPage& p = Open(R"(<body><input #username value="tom"><input #pswd type="password">
<textarea #advice>first line</textarea><input #ro readonly value="fixed"></body>)");
    EXPECT_EQ(ValueOf("username"), ControlValue(u"tom"));  // from the markup
    EXPECT_EQ(ValueOf("pswd"), ControlValue(u""));
    EXPECT_EQ(ValueOf("advice"), ControlValue(u"first line"));

    EXPECT_TRUE(p.Input().ControlChanged(p.Uid("username"), u"jerry"));
    EXPECT_TRUE(p.Input().ControlChanged(p.Uid("username"), u"jerry"));  // unchanged: no event
    EXPECT_TRUE(p.Input().ControlChanged(p.Uid("advice"), u"a\nb"));
    EXPECT_THAT(log.Take(), ElementsAre("4 #username #username", "4 #advice #advice"));
    EXPECT_EQ(ValueOf("username"), ControlValue(u"jerry"));
    EXPECT_EQ(p.Get("advice").InnerText(), u"a\nb");

    EXPECT_FALSE(p.Input().ControlChanged(p.Uid("ro"), u"changed"));
    EXPECT_EQ(ValueOf("ro"), ControlValue(u"fixed"));

    EXPECT_TRUE(ControlSetValue(p.Get("pswd"), ControlValue(u"secret")));
    EXPECT_TRUE(ControlSetValue(p.Get("username"), ControlValue(42)));
    EXPECT_EQ(ValueOf("username"), ControlValue(u"42"));
    EXPECT_TRUE(log.lines.empty());
}

constexpr std::string_view kAlbumList = R"(<body>
<select #album_list><caption #shown class="cap" /><popup>
</popup></select><div #elsewhere /></body>)";

TEST_F(ControlsTest, ASelectShowsTheChosenOptionInItsCaption) {
    TestPage& p = Open(kAlbumList);
    Element& list = p.Get("album_list");
    Element& popup = *list.FindFirst("popup");
    ASSERT_TRUE(popup.SetHtml(R"(<option aid="11">春天</option><option aid="12" #o2>夏天</option>)",
                              SIH_APPEND_AFTER_LAST));
    EXPECT_TRUE(ControlSetValue(list, ControlValue(0)));
    Element& caption = p.Get("shown");
    ASSERT_NE(caption.GetAttribute("aid"), nullptr);
    EXPECT_EQ(*caption.GetAttribute("aid"), u"11");
    EXPECT_EQ(caption.InnerText(), u"春天");
    EXPECT_TRUE(caption.HasClass(u"cap"));  // its own attributes stay
    EXPECT_EQ(ValueOf("album_list"), ControlValue(u"春天"));
    EXPECT_TRUE(log.lines.empty());

    // The user opens the list and picks the second album.
    p.view.SetLocation("#album_list", Rect{20, 30, 220, 52});
    p.Click("album_list");
    EXPECT_EQ(p.Input().Popups().Popup(), &popup);
    EXPECT_EQ(p.Input().Popups().Anchor(), (Point{20, 52}));
    EXPECT_THAT(log.Take(), ElementsAre("7 popup #album_list"));
    p.Click("o2");
    EXPECT_EQ(p.Input().Popups().Popup(), nullptr);
    EXPECT_THAT(log.Take(), ElementsAre("9 popup #album_list", "5 #album_list #o2"));
    EXPECT_EQ(*caption.GetAttribute("aid"), u"12");
    EXPECT_EQ(caption.GetAttribute("id"), p.Get("shown").GetAttribute("id"));
    EXPECT_EQ(caption.InnerText(), u"夏天");
    EXPECT_TRUE(p.Get("o2").HasState(STATE_CURRENT));

    // Up from the keyboard chooses the first again.
    p.Key(static_cast<std::uint32_t>(VK_UP));
    EXPECT_EQ(*caption.GetAttribute("aid"), u"11");
    EXPECT_THAT(log.Take(), ElementsAre("5 #album_list option"));

    EXPECT_TRUE(ControlSetValue(list, ControlValue(u"夏天")));
    EXPECT_EQ(*caption.GetAttribute("aid"), u"12");

    // Every change reached the view: its mirror is the page.
    p.document->FlushChanges();
    EXPECT_TRUE(p.view.Faults().empty());
    EXPECT_EQ(p.view.MirrorDump(*p.document), DumpTree(*p.document->Root(), DumpBlankText::Show));
}

TEST_F(ControlsTest, ASelectWithoutOptionsLeavesNoStaleChoiceInItsCaption) {
    TestPage& p = Open(kAlbumList);
    Element& list = p.Get("album_list");
    Element& popup = *list.FindFirst("popup");
    ASSERT_TRUE(popup.SetHtml(R"(<option aid="11">old</option>)", SIH_APPEND_AFTER_LAST));
    ASSERT_TRUE(ControlSetValue(list, ControlValue(0)));
    // A new list comes back empty: the popup is cleared and value 0 set again.
    popup.RemoveContent();
    EXPECT_FALSE(ControlSetValue(list, ControlValue(0)));
    EXPECT_EQ(p.Get("shown").GetAttribute("aid"), nullptr);
    EXPECT_EQ(p.Get("shown").InnerText(), u"");
    EXPECT_TRUE(ValueOf("album_list").IsUndefined());
}

constexpr std::string_view kTree = R"(<body><div #tree>
<options #n1 collapsed><caption #c1>A</caption>
  <option #n11><caption #c11>A1</caption></option></options>
<options #n2 expanded><caption #c2>B</caption>
  <option #n21><caption #c21>B1</caption></option></options>
<option #n3><caption #c3>C</caption></option>
</div></body>)";

TEST_F(ControlsTest, TreeNodesExpandFromTheirIconOrADoubleClick) {
    TestPage& p = Open(kTree);
    EXPECT_TRUE(p.Get("n1").HasState(STATE_COLLAPSED));
    EXPECT_TRUE(p.Get("n2").HasState(STATE_EXPANDED));

    p.Mouse(MOUSE_DOWN, "c1", MAIN_MOUSE_BUTTON, 0, true);
    EXPECT_TRUE(p.Get("n1").HasState(STATE_EXPANDED));
    EXPECT_FALSE(p.Get("n1").HasState(STATE_COLLAPSED));
    EXPECT_TRUE(p.Get("n1").HasState(STATE_CURRENT));
    EXPECT_THAT(log.Take(), ElementsAre("6 #n1 #n1"));
    p.Mouse(MOUSE_UP, "c1");

    p.Mouse(MOUSE_DOWN, "c2");  // off the icon: current, nothing expands
    EXPECT_TRUE(p.Get("n2").HasState(STATE_CURRENT));
    EXPECT_FALSE(p.Get("n1").HasState(STATE_CURRENT));
    EXPECT_TRUE(p.Get("n2").HasState(STATE_EXPANDED));
    p.Mouse(MOUSE_DCLICK, "c2");
    EXPECT_TRUE(p.Get("n2").HasState(STATE_COLLAPSED));
    EXPECT_THAT(log.Take(), ElementsAre("6 #n2 #n2"));

    p.Mouse(MOUSE_DOWN, "c3", MAIN_MOUSE_BUTTON, 0, true);  // a leaf has nothing to expand
    EXPECT_TRUE(log.lines.empty());

    // A double click on the icon: the press toggles, the double click does not again.
    p.Mouse(MOUSE_DOWN, "c2", MAIN_MOUSE_BUTTON, 0, true);
    p.Mouse(MOUSE_UP, "c2");
    p.Mouse(MOUSE_DCLICK, "c2", MAIN_MOUSE_BUTTON, 0, true);
    EXPECT_TRUE(p.Get("n2").HasState(STATE_EXPANDED));
    EXPECT_THAT(log.Take(), ElementsAre("6 #n2 #n2"));
}

TEST_F(ControlsTest, ABehaviourThatTakesThePressStopsTheExpanderButNotTheCurrentNode) {
    TestPage& p = Open(R"(<html><head><style>#tree { behavior: test_check_tree }</style></head>)" +
                       std::string(kTree) + "</html>");
    struct CheckTree : Behavior {
        CheckTree() : Behavior("test_check_tree", HANDLE_MOUSE | HANDLE_KEY) {}
        bool OnMouse(Element&, MouseParams& params) override {
            return EventCommand(params.cmd) == MOUSE_DOWN;
        }
    } checkTree;
    p.Mouse(MOUSE_DOWN, "c1", MAIN_MOUSE_BUTTON, 0, true);
    EXPECT_TRUE(p.Get("n1").HasState(STATE_COLLAPSED));
    EXPECT_TRUE(p.Get("n1").HasState(STATE_CURRENT));
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(ControlsTest, TheKeyboardWalksAndFoldsTheVisibleNodes) {
    TestPage& p = Open(kTree);
    p.Mouse(MOUSE_DOWN, "c1");  // focuses the tree, n1 current
    EXPECT_EQ(p.Input().Focus(), &p.Get("tree"));
    p.Key(static_cast<std::uint32_t>(VK_DOWN));  // n1 is collapsed: its child is skipped
    EXPECT_TRUE(p.Get("n2").HasState(STATE_CURRENT));
    EXPECT_FALSE(p.Get("n1").HasState(STATE_CURRENT));
    p.Key(static_cast<std::uint32_t>(VK_DOWN));
    EXPECT_TRUE(p.Get("n21").HasState(STATE_CURRENT));
    p.Key(static_cast<std::uint32_t>(VK_LEFT));  // a leaf: up to its parent
    EXPECT_TRUE(p.Get("n2").HasState(STATE_CURRENT));
    p.Key(static_cast<std::uint32_t>(VK_LEFT));
    EXPECT_TRUE(p.Get("n2").HasState(STATE_COLLAPSED));
    p.Key(static_cast<std::uint32_t>(VK_RIGHT));
    p.Key(static_cast<std::uint32_t>(VK_RIGHT));  // expanded already: nothing more
    EXPECT_TRUE(p.Get("n2").HasState(STATE_EXPANDED));
    EXPECT_THAT(log.Take(), ElementsAre("6 #n2 #n2", "6 #n2 #n2"));
    p.Key(static_cast<std::uint32_t>(VK_UP));
    p.Key(static_cast<std::uint32_t>(VK_UP));
    EXPECT_TRUE(p.Get("n1").HasState(STATE_CURRENT));
}

TEST_F(ControlsTest, ASliderKeepsItsValueInRange) {
    TestPage& p = Open(R"(<body><input #img_size type="range" min="80" max="300" step="10"
value="160"></body>)");
    EXPECT_EQ(ValueOf("img_size"), ControlValue(160));
    EXPECT_TRUE(p.Input().ControlChanged(p.Uid("img_size"), u"200"));
    EXPECT_EQ(ValueOf("img_size"), ControlValue(200));
    EXPECT_TRUE(p.Input().ControlChanged(p.Uid("img_size"), u"999"));
    EXPECT_EQ(ValueOf("img_size"), ControlValue(300));
    EXPECT_TRUE(p.Input().ControlChanged(p.Uid("img_size"), u"300"));  // no change, no event
    EXPECT_THAT(log.Take(), ElementsAre("2 #img_size #img_size", "2 #img_size #img_size"));

    p.Mouse(MOUSE_DOWN, "img_size");
    p.Key(static_cast<std::uint32_t>(VK_LEFT));
    EXPECT_EQ(ValueOf("img_size"), ControlValue(290));
    p.Key(static_cast<std::uint32_t>(VK_HOME));
    EXPECT_EQ(ValueOf("img_size"), ControlValue(80));
    EXPECT_THAT(log.Take(), ElementsAre("2 #img_size #img_size", "2 #img_size #img_size"));

    EXPECT_TRUE(ControlSetValue(p.Get("img_size"), ControlValue(u" 120 ")));
    EXPECT_EQ(p.Get("img_size").Value(), u"120");
    EXPECT_FALSE(ControlSetValue(p.Get("img_size"), ControlValue(u"big")));
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(ControlsTest, AProgressBarShowsAClampedPercentage) {
    TestPage& p = Open(R"(<body><progress #pro_upload max="100" /></body>)");
    EXPECT_EQ(ValueOf("pro_upload"), ControlValue(0));
    EXPECT_TRUE(ControlSetValue(p.Get("pro_upload"), ControlValue(57)));
    EXPECT_EQ(ValueOf("pro_upload"), ControlValue(57));
    EXPECT_TRUE(ControlSetValue(p.Get("pro_upload"), ControlValue(150)));
    EXPECT_EQ(p.Get("pro_upload").Value(), u"100");
    EXPECT_TRUE(ControlSetValue(p.Get("pro_upload"), ControlValue(-3)));
    EXPECT_EQ(ValueOf("pro_upload"), ControlValue(0));
    EXPECT_FALSE(ControlSetValue(p.Get("pro_upload"), ControlValue(u"50")));
}

TEST_F(ControlsTest, AHyperlinkRaisesItsClickAndGoesNowhere) {
    TestPage& p = Open(
        R"(<body><p #item><a #link .txt_link href="#" url="http://x/1.jpg"><span #t>复制链接</span></a></p></body>)");
    p.Click("t");
    EXPECT_THAT(log.Take(), ElementsAre("80 #link #link"));
    EXPECT_FALSE(ControlSetValue(p.Get("item"), ControlValue(1)));  // a plain element
    ControlValue value;
    EXPECT_FALSE(ControlGetValue(p.Get("item"), &value));
}

TEST(ControlValueHelpers, ReportTypeMismatchesInsteadOfConverting) {
    ControlValue value;
    ValueInit(&value);
    EXPECT_TRUE(value.IsUndefined());
    int number = 7;
    EXPECT_EQ(ValueIntData(&value, &number), HV_INCOMPATIBLE_TYPE);
    EXPECT_EQ(number, 7);
    EXPECT_EQ(ValueIntDataSet(&value, -12), HV_OK);
    EXPECT_EQ(ValueIntData(&value, &number), HV_OK);
    EXPECT_EQ(number, -12);
    std::u16string text;
    EXPECT_EQ(ValueStringData(&value, &text), HV_INCOMPATIBLE_TYPE);
    EXPECT_EQ(ValueToString(&value), HV_OK);
    EXPECT_EQ(ValueStringData(&value, &text), HV_OK);
    EXPECT_EQ(text, u"-12");
    ControlValue copy;
    EXPECT_EQ(ValueCopy(&copy, &value), HV_OK);
    EXPECT_EQ(copy, value);
    EXPECT_EQ(ValueStringDataSet(&copy, u"相册"), HV_OK);
    EXPECT_EQ(*copy.String(), u"相册");
    ValueClear(&copy);
    EXPECT_TRUE(copy.IsUndefined());
    EXPECT_EQ(ValueIntData(nullptr, &number), HV_BAD_PARAMETER);
    EXPECT_EQ(ValueCopy(&copy, nullptr), HV_BAD_PARAMETER);
}

TEST(ParseIntTest, TakesOneDecimalNumberWithBlanksAround) {
    EXPECT_EQ(ParseInt(u" 42 "), 42);
    EXPECT_EQ(ParseInt(u"-7"), -7);
    EXPECT_EQ(ParseInt(u"+7"), 7);
    EXPECT_EQ(ParseInt(u"+-7"), std::nullopt);
    EXPECT_EQ(ParseInt(u"4 2"), std::nullopt);
    EXPECT_EQ(ParseInt(u""), std::nullopt);
    EXPECT_EQ(ParseInt(u"99999999999"), std::nullopt);
    EXPECT_EQ(ParseInt(u"４２"), std::nullopt);
}

}  // namespace
}  // namespace tavopix::test

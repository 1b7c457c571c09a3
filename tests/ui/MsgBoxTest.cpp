// The message box over the real skin page: its buttons per style, the result of each way of
// ending it, its caption, its size from the text's intrinsic sizes, and the owner it takes.
#include <filesystem>
#include <vector>

#include "UiTestSupport.h"
#include "ui/MsgBox.h"

namespace tavopix::test {
namespace {

// A message box that runs `inLoop` from inside its own message loop.
class ScriptedBox : public CMsgBox {
public:
    using CMsgBox::CMsgBox;

    std::function<void(ScriptedBox&)> inLoop;

    int Create() override {
        const int error = CMsgBox::Create();
        if (error == 0)
            PostMessage(GetHwnd(), WM_TEST_STEP, 0, 0);
        return error;
    }

    LRESULT OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            bool& handled) override {
        const LRESULT result = CMsgBox::OnWindowMessage(window, message, wParam, lParam, handled);
        if (!handled && message == WM_TEST_STEP && inLoop) {
            handled = true;
            inLoop(*this);
        }
        return result;
    }

    Element* ById(std::u16string_view id) const { return Page()->Root()->FindById(id); }
    std::vector<ElementRef> Buttons() const {
        return Page()->Root()->SelectAll(*Selector::Parse("button.hsk_btn"));
    }
    void Press(Element& button) { EventDispatcher::Of(button)->SendEvent(button, BUTTON_CLICK); }
    void Close() { PostMessage(GetHwnd(), WM_CLOSE, 0, 0); }
};

class MsgBoxTest : public UiTest {};

std::vector<std::u16string> AttributeOf(const std::vector<ElementRef>& elements,
                                        std::string_view name) {
    std::vector<std::u16string> values;
    for (const ElementRef& element : elements) {
        const std::u16string* value = element->GetAttribute(name);
        values.push_back(value ? *value : u"(none)");
    }
    return values;
}

TEST_F(MsgBoxTest, QuestionShowsOkBeforeCancel) {
    ScriptedBox box(u"继续吗？", u"提示", 48, nullptr);
    std::vector<ElementRef> buttons;
    box.inLoop = [&](ScriptedBox& self) {
        buttons = self.Buttons();
        self.Close();
    };
    EXPECT_EQ(box.Run(SW_SHOWNORMAL), 2);
    EXPECT_EQ(AttributeOf(buttons, "value"), (std::vector<std::u16string>{u"确定", u"取消"}));
    EXPECT_EQ(AttributeOf(buttons, "btn_id"), (std::vector<std::u16string>{u"16", u"32"}));
}

TEST_F(MsgBoxTest, EveryStyleBitAddsItsButtonInBitOrder) {
    ScriptedBox box(u"text", u"caption", 0x7F, nullptr);
    std::vector<ElementRef> buttons;
    box.inLoop = [&](ScriptedBox& self) {
        buttons = self.Buttons();
        self.Close();
    };
    box.Run(SW_SHOWNORMAL);
    EXPECT_EQ(
        AttributeOf(buttons, "value"),
        (std::vector<std::u16string>{u"OK", u"Cancel", u"是", u"否", u"确定", u"取消", u"继续"}));
    EXPECT_EQ(AttributeOf(buttons, "btn_id"),
              (std::vector<std::u16string>{u"1", u"2", u"4", u"8", u"16", u"32", u"64"}));
}

TEST_F(MsgBoxTest, StyleZeroShowsNoButtons) {
    ScriptedBox box(u"text", u"caption", 0, nullptr);
    std::size_t count = 99;
    box.inLoop = [&](ScriptedBox& self) {
        count = self.Buttons().size();
        self.Close();
    };
    EXPECT_EQ(box.Run(SW_SHOWNORMAL), 2);
    EXPECT_EQ(count, 0u);
}

TEST_F(MsgBoxTest, PressingAButtonReturnsItsBit) {
    for (const std::size_t index : {0u, 1u}) {
        ScriptedBox box(u"继续吗？", u"提示", 48, nullptr);
        box.inLoop = [&](ScriptedBox& self) { self.Press(*self.Buttons().at(index)); };
        EXPECT_EQ(box.Run(SW_SHOWNORMAL), index == 0 ? 16 : 32);
    }
}

TEST_F(MsgBoxTest, TheCloseButtonReturnsTwo) {
    ScriptedBox box(u"继续吗？", u"提示", 48, nullptr);
    box.inLoop = [&](ScriptedBox& self) { self.Press(*self.ById(u"hsk_btn_close")); };
    EXPECT_EQ(box.Run(SW_SHOWNORMAL), 2);
}

// A button of the box's kind without an id gives 0, not a stale or default result.
TEST_F(MsgBoxTest, AButtonWithoutIdReturnsZero) {
    ScriptedBox box(u"text", u"caption", 16, nullptr);
    box.inLoop = [&](ScriptedBox& self) {
        Element* row = self.ById(u"btns_div");
        ASSERT_TRUE(row->SetHtml("<button .hsk_btn value=\"?\" />", SIH_APPEND_AFTER_LAST));
        self.Press(*row->LastChild());
    };
    EXPECT_EQ(box.Run(SW_SHOWNORMAL), 0);
}

TEST_F(MsgBoxTest, MissingCaptionShowsASpace) {
    ScriptedBox box(u"text", {}, 16, nullptr);
    std::u16string shown;
    std::u16string windowText;
    box.inLoop = [&](ScriptedBox& self) {
        shown = self.ById(u"hsk_cp_txt")->InnerText();
        windowText = GetWindowText(self.GetHwnd());
        self.Close();
    };
    box.Run(SW_SHOWNORMAL);
    EXPECT_EQ(shown, u" ");
    EXPECT_EQ(windowText, u" ");
}

TEST_F(MsgBoxTest, TextAndCaptionAreShownAsPlainText) {
    const std::u16string text = u"<b>Tom</b> & \"Jerry\"\n第二行";
    ScriptedBox box(text, u"<i>标题</i>", 16, nullptr);
    std::u16string shownText;
    std::u16string shownCaption;
    std::size_t textChildren = 99;
    box.inLoop = [&](ScriptedBox& self) {
        Element* textDiv = self.ById(u"text_div");
        shownText = textDiv->InnerText();
        textChildren = textDiv->ChildCount();
        shownCaption = self.ById(u"hsk_cp_txt")->InnerText();
        self.Close();
    };
    box.Run(SW_SHOWNORMAL);
    EXPECT_EQ(shownText, text);
    EXPECT_EQ(textChildren, 0u);
    EXPECT_EQ(shownCaption, u"<i>标题</i>");
}

struct SizeCase {
    IntrinsicWidths text;
    IntrinsicWidths caption;
    int textHeightAt;  // the width the text's height is asked at
    int textHeight;
    RECT expected;
};

class MsgBoxSizeTest : public MsgBoxTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(MsgBoxSizeTest, GrowsToTheTextAndCentres) {
    const SizeCase& c = GetParam();
    view_.SetIntrinsicWidths("#text_div", c.text);
    view_.SetIntrinsicWidths("#hsk_cp_txt", c.caption);
    view_.SetIntrinsicHeight("#text_div",
                             [c](int width) { return width == c.textHeightAt ? c.textHeight : 1; });
    ScriptedBox box(u"some text", u"caption", 16, nullptr);
    RECT rect{};
    box.inLoop = [&](ScriptedBox& self) {
        rect = WindowRect(self.GetHwnd());
        self.Close();
    };
    box.Run(SW_SHOWNORMAL);
    EXPECT_EQ(rect.left, c.expected.left);
    EXPECT_EQ(rect.top, c.expected.top);
    EXPECT_EQ(rect.right, c.expected.right);
    EXPECT_EQ(rect.bottom, c.expected.bottom);
}

// The work area is 1920 x 1040.
INSTANTIATE_TEST_SUITE_P(
    Sizes, MsgBoxSizeTest,
    ::testing::Values(
        // Long text: (120 + 600) / 2 + 35 = 395 wide, 200 + 50 high.
        SizeCase{{120, 600}, {40, 80}, 395, 200, {762, 395, 1157, 645}},
        // A long caption sets the width: (300 + 500) / 2 + 50 = 450.
        SizeCase{{100, 140}, {300, 500}, 450, 90, {735, 450, 1185, 590}},
        // Equal widths: (300 + 700) / 2 + 35 = 535 = (385 + 585) / 2 + 50.
        SizeCase{{300, 700}, {385, 585}, 535, 100, {692, 445, 1227, 595}},
        // A short sentence stays on one line: 300 + 35 wide, not (60 + 300) / 2 + 35.
        SizeCase{{60, 300}, {8, 8}, 335, 16, {792, 455, 1127, 585}},
        // Short text keeps the smallest box.
        SizeCase{{40, 80}, {8, 8}, 115, 16, {880, 455, 1040, 585}},
        // Narrow but tall: the height is the text's at its own width (one line, 80 + 35), not
        // the window's.
        SizeCase{{40, 80}, {8, 8}, 115, 300, {880, 345, 1040, 695}}));

// Centred in the area a maximised window covers, not on the whole screen.
TEST_F(MsgBoxTest, CentresInTheWorkArea) {
    SetScreenMetrics(1920, 1080, 1600, 900);
    ScriptedBox box(u"short", u"caption", 16, nullptr);
    RECT rect{};
    box.inLoop = [&](ScriptedBox& self) {
        rect = WindowRect(self.GetHwnd());
        self.Close();
    };
    box.Run(SW_SHOWNORMAL);
    EXPECT_EQ(rect.left, (1600 - 160) / 2);
    EXPECT_EQ(rect.top, (900 - 130) / 2);
    EXPECT_EQ(rect.right - rect.left, 160);
    EXPECT_EQ(rect.bottom - rect.top, 130);
}

TEST_F(MsgBoxTest, NoOwnerMeansTheActiveWindow) {
    TestFrame owner(u"mainframe.htm", kMainFrameFlags);
    int result = 0;
    HWND boxOwner;
    HWND ownerWindow;
    bool ownerEnabledUnderBox = true;
    owner.onCreated = [](TestFrame& self) { PostMessage(self.GetHwnd(), WM_TEST_STEP, 0, 0); };
    owner.onMessage = [&](TestFrame& self, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_TEST_STEP) {
            // Delivered by the box's loop, once the box is up.
            PostMessage(self.GetHwnd(), WM_TEST_LATER, 0, 0);
            result = HskMessageBox(u"继续吗？", u"提示", 48, nullptr);
            PostMessage(self.GetHwnd(), WM_CLOSE, 0, 0);
            return 0;
        }
        if (message == WM_TEST_LATER) {
            const HWND box = GetActiveWindow();
            ownerWindow = self.GetHwnd();
            boxOwner = GetWindow(box, GW_OWNER);
            ownerEnabledUnderBox = IsWindowEnabled(self.GetHwnd());
            PostMessage(box, WM_CLOSE, 0, 0);
            return 0;
        }
        return std::nullopt;
    };
    owner.Run(SW_SHOWNORMAL);
    EXPECT_EQ(result, 2);
    EXPECT_NE(ownerWindow, HWND());
    EXPECT_EQ(boxOwner, ownerWindow);
    EXPECT_FALSE(ownerEnabledUnderBox);
}

TEST_F(MsgBoxTest, MissingPageReturnsThree) {
    std::filesystem::remove(folder_.Path("skin/msgBox.htm"));
    EXPECT_EQ(HskMessageBox(u"text", u"caption", 16, nullptr), 3);
    EXPECT_TRUE(ListWindows().empty());
}

}  // namespace
}  // namespace tavopix::test

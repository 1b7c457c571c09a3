// A created frame as the window system sees it: parts bound per flags, the non-client zones of
// its hit test, the system commands it swallows, its tracking limits, its window buttons and
// the accelerator that swallows Alt+? and Alt+/.
#include <vector>

#include "UiTestSupport.h"
#include "engine/EventHandler.h"
#include "platform/Accelerator.h"

namespace tavopix::test {
namespace {

constexpr int kLeft = 100;
constexpr int kTop = 50;
constexpr int kWidth = 400;
constexpr int kHeight = 300;

class HskFrameTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        view_.SetLocation("body", {0, 0, kWidth, kHeight});
        view_.SetLocation("#hsk_cp", {0, 0, 300, 30});
        view_.SetLocation("#hsk_icon", {4, 40, 24, 60});
        view_.SetLocation("#hsk_corner", {380, 280, 400, 300});
    }

    // A frame created and shown at (kLeft, kTop) with kWidth x kHeight, without its loop.
    void Open(TestFrame& frame) {
        frame.Place(kLeft, kTop, kWidth, kHeight);
        ASSERT_EQ(frame.Create(), 0);
        ShowWindow(frame.GetHwnd(), SW_SHOWNORMAL);
    }

    // The hit-test code of a point given in the frame's client coordinates.
    static LRESULT Hit(const TestFrame& frame, int x, int y) {
        return SendMessage(frame.GetHwnd(), WM_NCHITTEST, 0,
                           MAKELPARAM(static_cast<WORD>(kLeft + x), static_cast<WORD>(kTop + y)));
    }

    static void SysCommand(const TestFrame& frame, WPARAM command) {
        SendMessage(frame.GetHwnd(), WM_SYSCOMMAND, command, 0);
    }

    void TearDown() override {
        TakeQuit();
        UiTest::TearDown();
    }
};

TEST_F(HskFrameTest, CaptionIconCornerAndClient) {
    TestFrame frame(u"mainframe.htm", kMainFrameFlags);
    Open(frame);
    EXPECT_EQ(Hit(frame, 150, 15), HTCAPTION);
    EXPECT_EQ(Hit(frame, 1, 1), HTCAPTION);  // the caption wins over the border band
    EXPECT_EQ(Hit(frame, 10, 50), HTSYSMENU);
    EXPECT_EQ(Hit(frame, 390, 290), HTBOTTOMRIGHT);
    EXPECT_EQ(Hit(frame, 200, 150), HTCLIENT);
}

TEST_F(HskFrameTest, BorderBandsAndCornerZones) {
    view_.SetLocation("#hsk_cp", {100, 100, 200, 120});
    TestFrame frame(u"mainframe.htm", HSK_CLOSE | HSK_MIN | HSK_MAX);
    Open(frame);
    struct Case {
        int x, y;
        LRESULT code;
    };
    const Case cases[] = {
        {1, 5, HTTOPLEFT},         {5, 1, HTTOPLEFT},         {399, 5, HTTOPRIGHT},
        {394, 1, HTTOPRIGHT},      {1, 295, HTBOTTOMLEFT},    {5, 299, HTBOTTOMLEFT},
        {399, 295, HTBOTTOMRIGHT}, {394, 299, HTBOTTOMRIGHT}, {200, 0, HTTOP},
        {200, 1, HTTOP},           {200, 299, HTBOTTOM},      {0, 150, HTLEFT},
        {1, 150, HTLEFT},          {399, 150, HTRIGHT},       {2, 2, HTCLIENT},
        {397, 297, HTCLIENT},      {150, 110, HTCAPTION},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Hit(frame, c.x, c.y), c.code) << "at " << c.x << ", " << c.y;
    }
}

// The border zones belong to every frame, whatever parts its flags bind.
TEST_F(HskFrameTest, BorderZonesDoNotDependOnTheFlags) {
    TestFrame frame(u"msgBox.htm", HSK_CLOSE);
    Open(frame);
    EXPECT_EQ(Hit(frame, 0, 150), HTLEFT);
    EXPECT_EQ(Hit(frame, 399, 299), HTBOTTOMRIGHT);
    EXPECT_EQ(Hit(frame, 200, 150), HTCLIENT);
}

// The point travels as two signed 16-bit halves: a window partly off the screen's left or top
// edge still hit-tests its own border.
TEST_F(HskFrameTest, PointsLeftOfOrAboveTheScreenAreSigned) {
    view_.SetLocation("#hsk_cp", {100, 100, 200, 120});
    TestFrame frame(u"mainframe.htm", HSK_CLOSE);
    frame.Place(-50, -20, kWidth, kHeight);
    ASSERT_EQ(frame.Create(), 0);
    const auto hit = [&](int screenX, int screenY) {
        return SendMessage(frame.GetHwnd(), WM_NCHITTEST, 0,
                           MAKELPARAM(static_cast<WORD>(screenX), static_cast<WORD>(screenY)));
    };
    EXPECT_EQ(hit(-50, 100), HTLEFT);
    EXPECT_EQ(hit(-49, -19), HTTOPLEFT);
    EXPECT_EQ(hit(-10, 100), HTCLIENT);
}

TEST_F(HskFrameTest, PartsAreBoundOnlyForTheirFlags) {
    TestFrame frame(u"mainframe.htm", HSK_CLOSE);
    Open(frame);
    EXPECT_EQ(Hit(frame, 150, 15), HTCAPTION);  // the caption is always bound
    EXPECT_EQ(Hit(frame, 10, 50), HTCLIENT);    // no HSK_ICON
    EXPECT_EQ(Hit(frame, 390, 290), HTCLIENT);  // no HSK_CORNER
    frame.Click(u"hsk_btn_min");
    EXPECT_FALSE(IsIconic(frame.GetHwnd()));
    frame.Click(u"hsk_btn_max");
    EXPECT_FALSE(IsZoomed(frame.GetHwnd()));
}

TEST_F(HskFrameTest, PageWithoutCaptionIsNotDraggable) {
    WritePage("plain.htm", "<html><body><div #hsk_ct>text</div></body></html>");
    TestFrame frame(u"plain.htm", kMainFrameFlags);
    Open(frame);
    EXPECT_EQ(Hit(frame, 150, 15), HTCLIENT);
    EXPECT_EQ(Hit(frame, 390, 290), HTCLIENT);
    EXPECT_EQ(Hit(frame, 0, 150), HTLEFT);
}

TEST_F(HskFrameTest, MaximiseIsSwallowedWithoutTheMaximiseFlag) {
    TestFrame plain(u"mainframe.htm", HSK_CLOSE | HSK_MIN);
    Open(plain);
    SysCommand(plain, SC_MAXIMIZE | 0x2);
    EXPECT_FALSE(IsZoomed(plain.GetHwnd()));

    TestFrame sizable(u"mainframe.htm", kMainFrameFlags);
    Open(sizable);
    SysCommand(sizable, SC_MAXIMIZE | 0x2);
    EXPECT_TRUE(IsZoomed(sizable.GetHwnd()));
}

TEST_F(HskFrameTest, MinimiseIsSwallowedWithoutTheMinimiseFlag) {
    TestFrame box(u"msgBox.htm", HSK_CLOSE);
    Open(box);
    SysCommand(box, SC_MINIMIZE);
    EXPECT_FALSE(IsIconic(box.GetHwnd()));

    TestFrame dialog(u"msgBox.htm", HSK_CLOSE | HSK_MIN);
    Open(dialog);
    SysCommand(dialog, SC_MINIMIZE);
    EXPECT_TRUE(IsIconic(dialog.GetHwnd()));
}

// Close and restore share the minimise bits, so a frame without HSK_MIN ignores them too.
TEST_F(HskFrameTest, CloseAndRestoreCountAsMinimiseRequests) {
    TestFrame box(u"msgBox.htm", HSK_CLOSE);
    Open(box);
    SysCommand(box, SC_CLOSE);
    EXPECT_TRUE(IsWindow(box.GetHwnd()));
    ShowWindow(box.GetHwnd(), SW_MAXIMIZE);
    SysCommand(box, SC_RESTORE);
    EXPECT_TRUE(IsZoomed(box.GetHwnd()));

    TestFrame dialog(u"msgBox.htm", HSK_CLOSE | HSK_MIN);
    Open(dialog);
    ShowWindow(dialog.GetHwnd(), SW_MAXIMIZE);
    SysCommand(dialog, SC_RESTORE);
    EXPECT_FALSE(IsZoomed(dialog.GetHwnd()));
    SysCommand(dialog, SC_CLOSE);
    EXPECT_EQ(dialog.GetHwnd(), HWND());
}

TEST_F(HskFrameTest, TrackingLimitsRaiseThePageMinimum) {
    view_.SetIntrinsicWidths("body", {500, 900});
    // The page is asked for its height at the window's width.
    view_.SetIntrinsicHeight("body", [](int width) { return width == kWidth ? 350 : 1; });

    TestFrame wide(u"mainframe.htm", kMainFrameFlags);
    wide.SetMinSize(600, 200);
    Open(wide);
    MINMAXINFO info;
    ASSERT_TRUE(GetMinMaxInfo(wide.GetHwnd(), &info));
    EXPECT_EQ(info.ptMinTrackSize.x, 600);
    EXPECT_EQ(info.ptMinTrackSize.y, 350);
    EXPECT_EQ(info.ptMaxTrackSize.x, GetSystemMetrics(SM_CXMAXIMIZED));
    EXPECT_EQ(info.ptMaxTrackSize.y, GetSystemMetrics(SM_CYMAXIMIZED));

    TestFrame bounded(u"mainframe.htm", kMainFrameFlags);
    bounded.SetMaxSize(1000, 700);
    Open(bounded);
    ASSERT_TRUE(GetMinMaxInfo(bounded.GetHwnd(), &info));
    EXPECT_EQ(info.ptMinTrackSize.x, 500);
    EXPECT_EQ(info.ptMinTrackSize.y, 350);
    EXPECT_EQ(info.ptMaxTrackSize.x, 1000);
    EXPECT_EQ(info.ptMaxTrackSize.y, 700);
}

// One click is one action: the frame hears the click in both phases and must act once.
TEST_F(HskFrameTest, MaximiseButtonTogglesOncePerClick) {
    TestFrame frame(u"mainframe.htm", kMainFrameFlags);
    Open(frame);
    frame.Click(u"hsk_btn_max");
    EXPECT_TRUE(IsZoomed(frame.GetHwnd()));
    frame.Click(u"hsk_btn_max");
    EXPECT_FALSE(IsZoomed(frame.GetHwnd()));
    frame.Click(u"hsk_btn_min");
    EXPECT_TRUE(IsIconic(frame.GetHwnd()));
}

TEST_F(HskFrameTest, ButtonsActOnClicksOnly) {
    TestFrame frame(u"mainframe.htm", kMainFrameFlags);
    Open(frame);
    Element* close = frame.ById(u"hsk_btn_close");
    Element* max = frame.ById(u"hsk_btn_max");
    EXPECT_FALSE(frame.OnBehaviorEvent(close, close, BUTTON_CLICK | SINKING, 0));
    EXPECT_FALSE(frame.OnBehaviorEvent(max, max, BUTTON_CLICK | SINKING, 0));
    EXPECT_FALSE(frame.OnBehaviorEvent(max, max, BUTTON_STATE_CHANGED, 0));
    EXPECT_FALSE(IsZoomed(frame.GetHwnd()));
    EXPECT_FALSE(frame.OnBehaviorEvent(close, frame.ById(u"hsk_ct"), BUTTON_CLICK, 0));
    MSG msg;
    EXPECT_FALSE(PeekMessage(&msg, frame.GetHwnd(), WM_CLOSE, WM_CLOSE, PM_NOREMOVE));
    EXPECT_TRUE(frame.OnBehaviorEvent(close, close, BUTTON_CLICK, 0));
    EXPECT_TRUE(PeekMessage(&msg, frame.GetHwnd(), WM_CLOSE, WM_CLOSE, PM_NOREMOVE));
}

TEST_F(HskFrameTest, CloseButtonEndsTheRunWithTwo) {
    TestFrame frame(u"mainframe.htm", kMainFrameFlags);
    frame.onCreated = [](TestFrame& self) { PostMessage(self.GetHwnd(), WM_TEST_STEP, 0, 0); };
    frame.onMessage = [](TestFrame& self, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message != WM_TEST_STEP)
            return std::nullopt;
        self.Click(u"hsk_btn_close");
        return 0;
    };
    EXPECT_EQ(frame.Run(SW_SHOWNORMAL), FRAME_RESULT_CLOSED);
}

// Hears the page's key events, as a page handler would.
class KeyLog final : public EventHandler {
public:
    KeyLog() : EventHandler(HANDLE_KEY) {}
    bool OnKey(Element&, KeyParams& params) override {
        if (!(params.cmd & SINKING) && EventCommand(params.cmd) == KEY_CHAR)
            chars.push_back(params.keyCode);
        return false;
    }
    std::vector<std::uint32_t> chars;
};

TEST_F(HskFrameTest, AltQuestionAndSlashBecomeCommand104AndNothingElse) {
    TestFrame frame(u"mainframe.htm", kMainFrameFlags);
    frame.SetAccelerators(IDR_FRAME_ACCELERATORS);
    KeyLog keys;
    std::vector<WPARAM> commands;
    frame.onCreated = [&](TestFrame& self) {
        self.Page()->Events().AttachWindowHandler(keys, HANDLE_KEY);
        const HWND hwnd = self.GetHwnd();
        PostMessage(hwnd, WM_SYSCHAR, u'?', KEY_DATA_ALT_DOWN);
        PostMessage(hwnd, WM_CHAR, u'/', KEY_DATA_ALT_DOWN);
        PostMessage(hwnd, WM_SYSCHAR, u'a', KEY_DATA_ALT_DOWN);
        PostMessage(hwnd, WM_CHAR, u'?', 0);
        PostMessage(hwnd, WM_CLOSE, 0, 0);
    };
    frame.onMessage = [&](TestFrame&, UINT message, WPARAM wParam,
                          LPARAM) -> std::optional<LRESULT> {
        if (message == WM_COMMAND)
            commands.push_back(wParam);
        return std::nullopt;
    };
    EXPECT_EQ(frame.Run(SW_SHOWNORMAL), FRAME_RESULT_CLOSED);
    EXPECT_EQ(commands, (std::vector<WPARAM>{MAKEWPARAM(IDM_FRAME_HELP_KEY, 1),
                                             MAKEWPARAM(IDM_FRAME_HELP_KEY, 1)}));
    // Only the keys the table does not translate reach the page.
    EXPECT_EQ(keys.chars, (std::vector<std::uint32_t>{u'a', u'?'}));
}

}  // namespace
}  // namespace tavopix::test

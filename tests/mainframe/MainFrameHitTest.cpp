// The main window's own hit test: its menu button sits in the caption yet takes clicks.
#include "mainframe/MainFrame.h"
#include "ui/UiTestSupport.h"

namespace tavopix::test {
namespace {

class MainFrameHitTest : public UiTest {};

TEST_F(MainFrameHitTest, MenuButtonIsClientInsideTheCaption) {
    view_.SetLocation("body", {0, 0, 1440, 780});
    view_.SetLocation("#hsk_cp", {0, 0, 1300, 30});
    view_.SetLocation("#hsk_btn_menu", {80, 2, 130, 28});
    view_.SetLocation("#hsk_corner", {1424, 764, 1440, 780});
    CMainFrame frame;
    ASSERT_EQ(frame.Create(), 0);
    const RECT rect = WindowRect(frame.GetHwnd());
    // Three quarters of the 1920 x 1040 work area, centred.
    EXPECT_EQ(rect.left, 240);
    EXPECT_EQ(rect.top, 130);
    EXPECT_EQ(rect.right - rect.left, 1440);
    EXPECT_EQ(rect.bottom - rect.top, 780);
    EXPECT_EQ(GetWindowText(frame.GetHwnd()), u"Tavopix");

    const auto hit = [&](int x, int y) {
        return SendMessage(
            frame.GetHwnd(), WM_NCHITTEST, 0,
            MAKELPARAM(static_cast<WORD>(rect.left + x), static_cast<WORD>(rect.top + y)));
    };
    EXPECT_EQ(hit(100, 15), HTCLIENT);
    EXPECT_EQ(hit(140, 15), HTCAPTION);
    EXPECT_EQ(hit(1430, 770), HTBOTTOMRIGHT);
    EXPECT_EQ(hit(700, 400), HTCLIENT);
    EXPECT_EQ(hit(0, 400), HTLEFT);

    MINMAXINFO info;
    ASSERT_TRUE(GetMinMaxInfo(frame.GetHwnd(), &info));
    EXPECT_GE(info.ptMinTrackSize.x, CMainFrame::kMinWidth);
    EXPECT_GE(info.ptMinTrackSize.y, CMainFrame::kMinHeight);
}

}  // namespace
}  // namespace tavopix::test

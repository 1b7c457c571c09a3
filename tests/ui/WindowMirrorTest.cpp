// The view's picture of the frame windows: placed with their page, title, bounds and owner when
// shown, and kept up to date as they move, lose their input and go.
#include "UiTestSupport.h"
#include "ui/WindowMirror.h"

namespace tavopix::test {
namespace {

class WindowMirrorTest : public UiTest {
protected:
    void TearDown() override {
        TakeQuit();
        UiTest::TearDown();
    }

    const WindowPlacement* Placed(HWND hwnd) const {
        const auto& windows = view_.Windows();
        const auto it = windows.find(hwnd.Value());
        return it == windows.end() ? nullptr : &it->second;
    }
};

TEST_F(WindowMirrorTest, AShownFrameIsPlacedWithItsPage) {
    WindowMirror mirror(view_);
    TestFrame frame(u"mainframe.htm", kMainFrameFlags);
    frame.Place(100, 50, 400, 300);
    frame.SetMinSize(600, 500);
    frame.SetTitle(u"相册");
    ASSERT_EQ(frame.Create(), 0);
    ShowWindow(frame.GetHwnd(), SW_SHOWNORMAL);

    const WindowPlacement* placed = Placed(frame.GetHwnd());
    ASSERT_NE(placed, nullptr);
    EXPECT_EQ(placed->document, &frame.Page()->GetDocument());
    EXPECT_EQ(placed->title, u"相册");
    EXPECT_EQ(placed->bounds, (Rect{100, 50, 500, 350}));
    EXPECT_EQ(placed->owner, 0u);
    EXPECT_TRUE(placed->visible);
    EXPECT_TRUE(placed->enabled);
    EXPECT_EQ(placed->minTrack.cx, 600);
    EXPECT_EQ(placed->minTrack.cy, 500);
    EXPECT_EQ(placed->maxTrack.cx, GetSystemMetrics(SM_CXMAXIMIZED));
}

TEST_F(WindowMirrorTest, MovesDisablingAndTheEndAreReflected) {
    WindowMirror mirror(view_);
    TestFrame owner(u"mainframe.htm", kMainFrameFlags);
    ASSERT_EQ(owner.Create(), 0);
    ShowWindow(owner.GetHwnd(), SW_SHOWNORMAL);
    TestFrame child(u"msgBox.htm", HSK_CLOSE, owner.GetHwnd());
    ASSERT_EQ(child.Create(), 0);
    ShowWindow(child.GetHwnd(), SW_SHOWNORMAL);
    const HWND childWindow = child.GetHwnd();
    ASSERT_NE(Placed(childWindow), nullptr);
    EXPECT_EQ(Placed(childWindow)->owner, owner.GetHwnd().Value());

    MoveWindow(childWindow, 10, 20, 300, 200, true);
    EXPECT_EQ(Placed(childWindow)->bounds, (Rect{10, 20, 310, 220}));
    EnableWindow(owner.GetHwnd(), false);
    EXPECT_FALSE(Placed(owner.GetHwnd())->enabled);
    ShowWindow(owner.GetHwnd(), SW_MINIMIZE);
    EXPECT_EQ(Placed(owner.GetHwnd())->show, WindowShow::Minimized);

    DestroyWindow(childWindow);
    EXPECT_EQ(Placed(childWindow), nullptr);
    EXPECT_NE(Placed(owner.GetHwnd()), nullptr);
}

// Windows that no frame drives (the view's own) are not the mirror's to show.
TEST_F(WindowMirrorTest, WindowsOfOtherClassesAreLeftOut) {
    WindowMirror mirror(view_);
    WNDCLASSEX plainClass;
    plainClass.lpszClassName = u"tavopix-ui-test-plain";
    plainClass.lpfnWndProc = &DefWindowProc;
    if (!GetClassInfoEx(plainClass.lpszClassName, nullptr)) {
        ASSERT_NE(RegisterClassEx(plainClass), 0);
    }
    const HWND plain = CreateWindowEx(0, plainClass.lpszClassName, u"plain", WS_POPUP, 0, 0, 100,
                                      100, nullptr, nullptr);
    ASSERT_TRUE(plain);
    ShowWindow(plain, SW_SHOWNORMAL);
    EXPECT_EQ(Placed(plain), nullptr);
    EXPECT_TRUE(view_.Windows().empty());
}

}  // namespace
}  // namespace tavopix::test

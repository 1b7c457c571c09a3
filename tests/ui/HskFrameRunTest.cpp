// Running frames: result codes, modal children over an owner (disabled, fogged, given back its
// input and the front on close), and creation failures that must not disturb the owner's loop.
#include <string>

#include "UiTestSupport.h"
#include "platform/WindowObserver.h"

namespace tavopix::test {
namespace {

class HskFrameRunTest : public UiTest {};

std::optional<std::u16string> FogStyle(const TestFrame& frame) {
    const std::u16string* style = frame.ById(u"hsk_fog")->GetAttribute("style");
    return style ? std::optional<std::u16string>(*style) : std::nullopt;
}

TEST_F(HskFrameRunTest, RunReturnsTheResultTheFrameSetBeforeClosing) {
    TestFrame frame(u"mainframe.htm", kMainFrameFlags);
    frame.onCreated = [](TestFrame& self) { PostMessage(self.GetHwnd(), WM_TEST_STEP, 0, 0); };
    frame.onMessage = [](TestFrame& self, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message != WM_TEST_STEP)
            return std::nullopt;
        self.SetResult(FRAME_RESULT_OK);
        PostMessage(self.GetHwnd(), WM_CLOSE, 0, 0);
        return 0;
    };
    EXPECT_EQ(frame.Run(SW_SHOWNORMAL), FRAME_RESULT_OK);
    EXPECT_EQ(frame.GetHwnd(), HWND());
    EXPECT_TRUE(ListWindows().empty());
}

TEST_F(HskFrameRunTest, ClosingWithoutAResultReturnsTwo) {
    TestFrame frame(u"mainframe.htm", kMainFrameFlags);
    frame.onCreated = [](TestFrame& self) { PostMessage(self.GetHwnd(), WM_CLOSE, 0, 0); };
    EXPECT_EQ(frame.Run(SW_SHOWNORMAL), FRAME_RESULT_CLOSED);
}

TEST_F(HskFrameRunTest, MissingOrEmptyPageReturnsThreeAtOnce) {
    WritePage("empty.htm", "");
    for (const std::u16string_view page : {u"nothere.htm", u"empty.htm"}) {
        TestFrame frame(page, kMainFrameFlags);
        bool created = false;
        frame.onCreated = [&](TestFrame&) { created = true; };
        EXPECT_EQ(frame.Run(SW_SHOWNORMAL), FRAME_RESULT_CREATE_FAILED);
        EXPECT_FALSE(created);
        EXPECT_TRUE(ListWindows().empty());
        // Nothing is left that would end the next loop.
        EXPECT_FALSE(TakeQuit());
    }
}

// A dialog whose page is missing, opened from a handler of a running owner.
TEST_F(HskFrameRunTest, FailedChildLeavesTheOwnerEnabledAndItsLoopRunning) {
    TestFrame owner(u"mainframe.htm", kMainFrameFlags);
    int childResult = 0;
    bool enabledAfterChild = false;
    std::optional<std::u16string> fogAfterChild;
    bool laterMessageSeen = false;
    owner.onCreated = [](TestFrame& self) { PostMessage(self.GetHwnd(), WM_TEST_STEP, 0, 0); };
    owner.onMessage = [&](TestFrame& self, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_TEST_STEP) {
            TestFrame child(u"nothere.htm", HSK_CLOSE, self.GetHwnd());
            childResult = child.Run(SW_SHOWNORMAL);
            enabledAfterChild = IsWindowEnabled(self.GetHwnd());
            fogAfterChild = FogStyle(self);
            PostMessage(self.GetHwnd(), WM_TEST_LATER, 0, 0);
            return 0;
        }
        if (message == WM_TEST_LATER) {
            laterMessageSeen = true;
            PostMessage(self.GetHwnd(), WM_CLOSE, 0, 0);
            return 0;
        }
        return std::nullopt;
    };
    EXPECT_EQ(owner.Run(SW_SHOWNORMAL), FRAME_RESULT_CLOSED);
    EXPECT_EQ(childResult, FRAME_RESULT_CREATE_FAILED);
    EXPECT_TRUE(enabledAfterChild);
    EXPECT_EQ(fogAfterChild, u"visibility:hidden");
    EXPECT_TRUE(laterMessageSeen);
}

TEST_F(HskFrameRunTest, ModalChildDisablesAndFogsTheOwnerUntilItCloses) {
    TestFrame owner(u"mainframe.htm", kMainFrameFlags);
    int childResult = 0;
    HWND childWindow;
    bool enabledDuringChild = true;
    std::optional<std::u16string> fogDuringChild = u"unread";
    HWND activeDuringChild;
    bool enabledAfterChild = false;
    std::optional<std::u16string> fogAfterChild;
    HWND activeAfterChild;
    bool laterMessageSeen = false;

    owner.onCreated = [](TestFrame& self) { PostMessage(self.GetHwnd(), WM_TEST_STEP, 0, 0); };
    owner.onMessage = [&](TestFrame& self, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_TEST_STEP) {
            EXPECT_EQ(FogStyle(self), u"visibility:hidden");
            TestFrame child(u"msgBox.htm", HSK_CLOSE, self.GetHwnd());
            child.onCreated = [](TestFrame& dialog) {
                PostMessage(dialog.GetHwnd(), WM_TEST_STEP, 0, 0);
            };
            child.onMessage = [&](TestFrame& dialog, UINT inner, WPARAM,
                                  LPARAM) -> std::optional<LRESULT> {
                if (inner != WM_TEST_STEP)
                    return std::nullopt;
                childWindow = dialog.GetHwnd();
                enabledDuringChild = IsWindowEnabled(self.GetHwnd());
                fogDuringChild = FogStyle(self);
                activeDuringChild = GetActiveWindow();
                dialog.SetResult(FRAME_RESULT_OK);
                PostMessage(dialog.GetHwnd(), WM_CLOSE, 0, 0);
                return 0;
            };
            childResult = child.Run(SW_SHOWNORMAL);
            enabledAfterChild = IsWindowEnabled(self.GetHwnd());
            fogAfterChild = FogStyle(self);
            activeAfterChild = GetActiveWindow();
            // The child's quit ended the child's loop only: the owner's still takes messages.
            PostMessage(self.GetHwnd(), WM_TEST_LATER, 0, 0);
            return 0;
        }
        if (message == WM_TEST_LATER) {
            laterMessageSeen = true;
            PostMessage(self.GetHwnd(), WM_CLOSE, 0, 0);
            return 0;
        }
        return std::nullopt;
    };

    EXPECT_EQ(owner.Run(SW_SHOWNORMAL), FRAME_RESULT_CLOSED);
    EXPECT_EQ(childResult, FRAME_RESULT_OK);
    EXPECT_FALSE(enabledDuringChild);
    EXPECT_EQ(fogDuringChild, std::nullopt);
    EXPECT_EQ(activeDuringChild, childWindow);
    EXPECT_FALSE(IsWindow(childWindow));
    EXPECT_TRUE(enabledAfterChild);
    EXPECT_EQ(fogAfterChild, u"visibility:hidden");
    EXPECT_NE(activeAfterChild, HWND());
    EXPECT_NE(activeAfterChild, childWindow);
    EXPECT_TRUE(laterMessageSeen);
}

// The owner's input comes back while the child is still there to be destroyed.
class OwnerWatch final : public WindowObserver {
public:
    HWND owner;
    HWND child;
    bool enabledWhileChildLived = false;
    bool activatedWhileChildLived = false;

    void OnWindowEnabledChanged(HWND hwnd) override {
        if (hwnd == owner && IsWindowEnabled(owner) && IsWindow(child))
            enabledWhileChildLived = true;
    }
    void OnActiveWindowChanged(HWND active) override {
        if (active == owner && child && IsWindow(child))
            activatedWhileChildLived = true;
    }
};

TEST_F(HskFrameRunTest, OwnerIsEnabledAndActiveBeforeTheChildWindowGoes) {
    TestFrame owner(u"mainframe.htm", kMainFrameFlags);
    OwnerWatch watch;
    AddWindowObserver(&watch);
    owner.onCreated = [](TestFrame& self) { PostMessage(self.GetHwnd(), WM_TEST_STEP, 0, 0); };
    owner.onMessage = [&](TestFrame& self, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message != WM_TEST_STEP)
            return std::nullopt;
        TestFrame child(u"msgBox.htm", HSK_CLOSE, self.GetHwnd());
        child.onCreated = [&](TestFrame& dialog) {
            watch.owner = self.GetHwnd();
            watch.child = dialog.GetHwnd();
            PostMessage(dialog.GetHwnd(), WM_CLOSE, 0, 0);
        };
        child.Run(SW_SHOWNORMAL);
        PostMessage(self.GetHwnd(), WM_CLOSE, 0, 0);
        return 0;
    };
    owner.Run(SW_SHOWNORMAL);
    RemoveWindowObserver(&watch);
    EXPECT_TRUE(watch.enabledWhileChildLived);
    EXPECT_TRUE(watch.activatedWhileChildLived);
}

// Closing the main window while a dialog runs over it (the browser window was closed) ends
// both loops: the dialog's, then the owner's.
TEST_F(HskFrameRunTest, ClosingTheOwnerUnderAModalChildEndsBothRuns) {
    TestFrame owner(u"mainframe.htm", kMainFrameFlags);
    int childResult = 0;
    bool ownerAliveAfterChild = true;
    owner.onCreated = [](TestFrame& self) { PostMessage(self.GetHwnd(), WM_TEST_STEP, 0, 0); };
    owner.onMessage = [&](TestFrame& self, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message != WM_TEST_STEP)
            return std::nullopt;
        const HWND ownerWindow = self.GetHwnd();
        TestFrame child(u"msgBox.htm", HSK_CLOSE, ownerWindow);
        child.onCreated = [&](TestFrame&) { PostMessage(ownerWindow, WM_CLOSE, 0, 0); };
        childResult = child.Run(SW_SHOWNORMAL);
        ownerAliveAfterChild = IsWindow(ownerWindow);
        return 0;
    };
    EXPECT_EQ(owner.Run(SW_SHOWNORMAL), FRAME_RESULT_CLOSED);
    EXPECT_EQ(childResult, FRAME_RESULT_CLOSED);
    EXPECT_FALSE(ownerAliveAfterChild);
    EXPECT_TRUE(ListWindows().empty());
}

// The message box page has no fog: its owner is still disabled under a child.
TEST_F(HskFrameRunTest, OwnerWithoutFogIsStillDisabled) {
    TestFrame owner(u"msgBox.htm", HSK_CLOSE);
    bool enabledDuringChild = true;
    owner.onCreated = [](TestFrame& self) { PostMessage(self.GetHwnd(), WM_TEST_STEP, 0, 0); };
    owner.onMessage = [&](TestFrame& self, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message != WM_TEST_STEP)
            return std::nullopt;
        TestFrame child(u"msgBox.htm", HSK_CLOSE, self.GetHwnd());
        child.onCreated = [&](TestFrame& dialog) {
            enabledDuringChild = IsWindowEnabled(self.GetHwnd());
            PostMessage(dialog.GetHwnd(), WM_CLOSE, 0, 0);
        };
        child.Run(SW_SHOWNORMAL);
        EXPECT_TRUE(IsWindowEnabled(self.GetHwnd()));
        PostMessage(self.GetHwnd(), WM_CLOSE, 0, 0);
        return 0;
    };
    EXPECT_EQ(owner.Run(SW_SHOWNORMAL), FRAME_RESULT_CLOSED);
    EXPECT_FALSE(enabledDuringChild);
}

}  // namespace
}  // namespace tavopix::test

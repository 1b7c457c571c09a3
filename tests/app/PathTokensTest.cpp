#include "app/PathTokens.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/AppContext.h"
#include "app/TextConvert.h"
#include "platform/Drives.h"
#include "platform/FakeDesktop.h"

namespace tavopix {
namespace {

class PathTokensTest : public ::testing::Test {
protected:
    void SetUp() override {
        appContext.desktopDir = u"/home/me/桌面/";
        appContext.myDocumentsDir = u"/home/me/Documents/";
        appContext.myPicturesDir = u"/home/me/Pictures/";
    }
    void TearDown() override { appContext = AppContext(); }
};

TEST_F(PathTokensTest, ExpandsOneTokenAtTheStart) {
    EXPECT_EQ(ExpandPath(u"%destop%"), u"/home/me/桌面/");
    EXPECT_EQ(ExpandPath(u"%destop%Trip/"), u"/home/me/桌面/Trip/");
    EXPECT_EQ(ExpandPath(u"%mydoc%a.jpg"), u"/home/me/Documents/a.jpg");
    EXPECT_EQ(ExpandPath(u"%mypic%2008/a.jpg"), u"/home/me/Pictures/2008/a.jpg");
}

TEST_F(PathTokensTest, PathsWithoutALeadingPercentStayAsTheyAre) {
    EXPECT_EQ(ExpandPath(u"/photos/a.jpg"), u"/photos/a.jpg");
    EXPECT_EQ(ExpandPath(u"/photos/%mypic%/a.jpg"), u"/photos/%mypic%/a.jpg");
    EXPECT_EQ(ExpandPath(u""), u"");
}

TEST_F(PathTokensTest, UnexpandablePathsBecomeEmpty) {
    EXPECT_EQ(ExpandPath(u"%temp%/a.jpg"), u"");
    EXPECT_EQ(ExpandPath(u"%mypic%a%mypic%"), u"");
    EXPECT_EQ(ExpandPath(u"%"), u"");
    EXPECT_EQ(ExpandPath(u"%destop"), u"");
}

TEST_F(PathTokensTest, TokensAreTriedInTheirOrderOnTheSameText) {
    // Two desktop tokens are replaced before the single picture token decides.
    EXPECT_EQ(ExpandPath(u"%mypic%%destop%%destop%"),
              u"/home/me/Pictures//home/me/桌面//home/me/桌面/");
    EXPECT_EQ(ExpandPath(u"%mydoc%x%mypic%"), u"%mydoc%x/home/me/Pictures/");
}

TEST_F(PathTokensTest, UnknownSpecialFolderExpandsToTheRelativeText) {
    appContext.desktopDir.clear();
    EXPECT_EQ(ExpandPath(u"%destop%Trip/a.jpg"), u"Trip/a.jpg");
}

std::vector<std::u16string> Heads(std::u16string_view path) {
    std::vector<std::u16string> heads;
    std::u16string head;
    for (int length = PathHead(path, 0, head); length != -1;
         length = PathHead(path, length, head)) {
        EXPECT_EQ(length, static_cast<int>(head.size()));
        heads.push_back(head);
    }
    return heads;
}

TEST(PathHead, WalksTheFolderLevels) {
    EXPECT_EQ(Heads(u"/photos/2008/"),
              (std::vector<std::u16string>{u"/", u"/photos/", u"/photos/2008/"}));
    EXPECT_EQ(Heads(u"%mydoc%Trip/Day 1/"),
              (std::vector<std::u16string>{u"%mydoc%", u"%mydoc%Trip/", u"%mydoc%Trip/Day 1/"}));
    EXPECT_EQ(Heads(u"%destop%"), std::vector<std::u16string>{u"%destop%"});
    EXPECT_EQ(Heads(u"%temp%/x/"), (std::vector<std::u16string>{u"%temp%/", u"%temp%/x/"}));
    EXPECT_EQ(Heads(u"name"), std::vector<std::u16string>{u"name"});
    EXPECT_TRUE(Heads(u"").empty());
}

TEST(PathHead, StartBeyondTheLastSeparatorGivesNone) {
    std::u16string head = u"kept";
    EXPECT_EQ(PathHead(u"/a/b", 3, head), -1);
    EXPECT_EQ(PathHead(u"/a/b", 100, head), -1);
    EXPECT_EQ(PathHead(u"/a/b", -1, head), -1);
    EXPECT_EQ(head, u"kept");
}

void ExpectClass(std::u16string_view path, std::u16string_view kind, std::u16string_view display) {
    PathClass found = ClassifyPath(path);
    EXPECT_EQ(found.kind, kind) << Utf8(path);
    EXPECT_EQ(found.display, display) << Utf8(path);
}

TEST(ClassifyPath, TokensDrivesAndFolders) {
    ExpectClass(u"%destop%", u"%destop%", u"桌面");
    ExpectClass(u"%mydoc%", u"%mydoc%", u"我的文档");
    ExpectClass(u"%mypic%", u"%mypic%", u"图片收藏");
    ExpectClass(u"%mydoc%Trip/", u"%folder%", u"Trip");
    ExpectClass(u"%destop%a/b//", u"%folder%", u"b");
    ExpectClass(u"%mypic%/", u"%folder%", u"");
    ExpectClass(u"/", u"%disk%", u"/");
    ExpectClass(u"//", u"%disk%", u"/");
    ExpectClass(u"/photos/2008/", u"%folder%", u"2008");
    ExpectClass(u"/photos/2008", u"%folder%", u"2008");
    ExpectClass(u"relative", u"%folder%", u"relative");
    ExpectClass(u"%temp%", u"%folder%", u"%temp%");
    ExpectClass(u"", u"%folder%", u"");
}

TEST(ClassifyPath, MountPointsOfDrivesAreDisks) {
    for (const Drive& drive : ListDrives()) {
        std::u16string root = FromUtf8(drive.root);
        std::u16string display = root.size() > 1 ? root.substr(0, root.size() - 1) : root;
        ExpectClass(root, u"%disk%", display);
    }
}

TEST(FitInBox, KeepsTheAspectWithAFloorOf40) {
    auto fit = [](int width, int height, int side) {
        FitInBox(width, height, side);
        return std::to_string(width) + "x" + std::to_string(height);
    };
    EXPECT_EQ(fit(800, 600, 160), "160x120");
    EXPECT_EQ(fit(600, 800, 160), "120x160");
    EXPECT_EQ(fit(1000, 100, 160), "160x40");
    EXPECT_EQ(fit(500, 500, 160), "160x160");
    EXPECT_EQ(fit(0, 0, 160), "160x160");
    EXPECT_EQ(fit(-5, 300, 160), "85x160");
    EXPECT_EQ(fit(30, 20, 10), "40x40");
    EXPECT_EQ(fit(999, 333, 100), "100x40");
    EXPECT_EQ(fit(1000, 999, 100), "100x99");
}

TEST(FitInBox, HugeClaimedSizesDoNotOverflow) {
    int width = 2'000'000'000;
    int height = 1'999'999'999;
    FitInBox(width, height, 1000);
    EXPECT_EQ(width, 1000);
    EXPECT_EQ(height, 999);
    width = 0;
    height = 0;
    FitInBox(width, height, 0);
    EXPECT_EQ(width, 40);
    EXPECT_EQ(height, 40);
}

class ShellHelpersTest : public PathTokensTest {
protected:
    test::ScratchFolder folder;
    test::PathVariable path{folder.Path()};
};

TEST_F(ShellHelpersTest, ShowInExplorerOpensFolders) {
    test::FakeProgram(folder, "xdg-open", 0, "opened");
    EXPECT_TRUE(ShowInExplorer(u"%mypic%Trip/"));
    std::string opened = test::AwaitFile(folder, "opened");
    EXPECT_NE(opened.find("\n/home/me/Pictures/Trip/\n"), std::string::npos) << opened;
}

TEST_F(ShellHelpersTest, ShowInExplorerSelectsFiles) {
    test::FakeProgram(folder, "gdbus", 0, "called");
    EXPECT_TRUE(ShowInExplorer(u"%destop%a.jpg"));
    std::string called = test::AwaitFile(folder, "called");
    EXPECT_NE(called.find("[\"file:///home/me/%E6%A1%8C%E9%9D%A2/a.jpg\"]"), std::string::npos)
        << called;
}

TEST_F(ShellHelpersTest, ShowInExplorerRefusesEmptyAndUnexpandablePaths) {
    test::FakeProgram(folder, "xdg-open", 0, "opened");
    EXPECT_FALSE(ShowInExplorer(u""));
    EXPECT_FALSE(ShowInExplorer(u"%temp%/a.jpg"));
    EXPECT_FALSE(PathExists(folder.Path("opened")));
}

TEST_F(ShellHelpersTest, OpenWithShellIsAlwaysTrue) {
    test::FakeProgram(folder, "xdg-open", 0, "opened");
    EXPECT_TRUE(OpenWithShell(u"https://albums.test/注册"));
    std::string opened = test::AwaitFile(folder, "opened");
    EXPECT_NE(opened.find("\nhttps://albums.test/注册\n"), std::string::npos) << opened;
    test::PathVariable nowhere("/nonexistent");
    EXPECT_TRUE(OpenWithShell(u"https://albums.test/"));
}

}  // namespace
}  // namespace tavopix

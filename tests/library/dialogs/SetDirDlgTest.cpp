// The folder dialog over the real skin page and a headless view, with real special folders:
// the top level its worker fills, check states from the chosen folders, nodes filled once when
// opened, check states spreading, the filter boxes, and the files OK writes byte for byte.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "app/AppContext.h"
#include "app/TextFile.h"
#include "engine/EventDispatcher.h"
#include "engine/HeadlessView.h"
#include "library/FolderTestSupport.h"
#include "library/data/FolderList.h"
#include "library/dialogs/SetDirDlg.h"
#include "library/views/SelectTreeBehavior.h"
#include "platform/Clock.h"
#include "platform/SystemMetrics.h"
#include "support/WaitUntil.h"
#include "ui/PageHost.h"

namespace tavopix::test {
namespace {

constexpr UINT WM_TEST_STEP = WM_USER + 500;

// The dialog with the test's steps run inside its modal loop; a step returning false is run
// again a little later (the worker is still filling the tree). A step that still does not hold
// after the tests' wait limit fails the test and closes the dialog.
class ScriptedDialog : public CSetDirDlg {
public:
    using CSetDirDlg::CSetDirDlg;
    std::vector<std::function<bool(ScriptedDialog&)>> steps;

    int Create() override {
        const int error = CSetDirDlg::Create();
        if (error == 0) {
            PostMessage(GetHwnd(), WM_TEST_STEP, 0, 0);
        }
        return error;
    }
    LRESULT OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            bool& handled) override {
        if (message != WM_TEST_STEP) {
            return CSetDirDlg::OnWindowMessage(window, message, wParam, lParam, handled);
        }
        handled = true;
        if (next_ < steps.size() && steps[next_](*this)) {
            ++next_;
            stepStarted_ = std::chrono::steady_clock::now();
        } else if (std::chrono::steady_clock::now() - stepStarted_ > kWaitLimit) {
            ADD_FAILURE() << "step " << next_ << " never held";
            next_ = steps.size();
            PostMessage(GetHwnd(), WM_CLOSE, 0, 0);
        } else {
            Sleep(1);
        }
        if (next_ < steps.size()) {
            PostMessage(GetHwnd(), WM_TEST_STEP, 0, 0);
        }
        return 0;
    }

    Element* ById(std::u16string_view id) const { return Page()->Root()->FindById(id); }
    Element* Node(std::u16string_view path) const {
        return Page()->Root()->FindFirst("[path=\"" + Utf8(path) + "\"]");
    }
    bool Idle() const { return !ById(u"ele_tree_path")->HasState(STATE_DISABLED); }
    void Open(Element& node) const {
        node.SetState(STATE_EXPANDED, STATE_COLLAPSED);
        EventDispatcher::Of(node)->SendEvent(node, SELECT_STATE_CHANGED);
    }
    void Click(std::u16string_view id) const {
        EventDispatcher::Of(*ById(id))->SendEvent(*ById(id), BUTTON_CLICK);
    }
    void Toggle(std::u16string_view id) const {
        Element* box = ById(id);
        box->SetState(box->HasState(STATE_CHECKED) ? 0 : STATE_CHECKED,
                      box->HasState(STATE_CHECKED) ? STATE_CHECKED : 0);
        EventDispatcher::Of(*box)->SendEvent(*box, BUTTON_STATE_CHANGED);
    }

private:
    std::size_t next_ = 0;
    std::chrono::steady_clock::time_point stepStarted_ = std::chrono::steady_clock::now();
};

std::string Check(const Element* node) {
    const std::u16string* check = node != nullptr ? node->GetAttribute("check") : nullptr;
    return check != nullptr ? Utf8(*check) : "(none)";
}

class SetDirDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = appContext;
        disk_.Folder("program");
        std::filesystem::copy(TAVOPIX_SKIN_SOURCE_DIR, disk_.Native("program/skin"),
                              std::filesystem::copy_options::recursive);
        disk_.Folder("home/Pictures/Trip/Day");
        disk_.Folder("home/Pictures/Other");
        disk_.Folder("home/Desktop");
        appContext.programDir = disk_.Stored("program/");
        appContext.myPicturesDir = disk_.Stored("home/Pictures/");
        appContext.desktopDir = disk_.Stored("home/Desktop/");
        appContext.myDocumentsDir = disk_.Stored("home/Documents/");
        SetScreenMetrics(DEFAULT_SCREEN_WIDTH, DEFAULT_SCREEN_HEIGHT, DEFAULT_SCREEN_WIDTH,
                         DEFAULT_WORK_AREA_HEIGHT);
        if (!GetClassInfoEx(kFrameClassName, nullptr)) {
            ASSERT_EQ(RegisterFrameClass(), 0);
        }
        PageHost::SetView(&view_);
    }
    void TearDown() override {
        PageHost::SetView(nullptr);
        appContext = saved_;
    }
    std::string ProgramFile(std::string_view name) const {
        std::ifstream in(disk_.Native("program/" + std::string(name)), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    AppContext saved_;
    DiskTree disk_;
    HeadlessView view_;
    FolderList folders_{disk_.Stored("program/SetPathCfg.dat")};
};

TEST_F(SetDirDlgTest, TopLevelWithoutChosenFoldersIsAllOff) {
    ScriptedDialog dialog(folders_, nullptr);
    std::vector<std::string> captions;
    dialog.steps = {[&](ScriptedDialog& self) {
        Element* tree = self.ById(u"ele_tree_path");
        if (!self.Idle() || tree->ChildCount() < 4) {
            return false;
        }
        for (std::size_t i = 0; i < tree->ChildCount(); ++i) {
            captions.push_back(Utf8(tree->Child(i)->InnerText()));
            EXPECT_EQ(Check(tree->Child(i)), "off");
        }
        PostMessage(self.GetHwnd(), WM_CLOSE, 0, 0);
        return true;
    }};
    EXPECT_EQ(dialog.Run(SW_SHOWNORMAL), FRAME_RESULT_CLOSED);
    ASSERT_GE(captions.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(captions.begin(), captions.begin() + 4),
              (std::vector<std::string>{"桌面", "我的文档", "图片收藏", "/"}));
    EXPECT_EQ(ProgramFile("SetPathCfg.dat"), "");
}

TEST_F(SetDirDlgTest, ChecksFollowTheListAndOkWritesTheFiles) {
    WriteTextFile(disk_.Stored("program/SetPathCfg.dat"), u"%mypic%Trip/\n");
    // Types 1 | 4, middle, three days: the boxes show it.
    const std::string filter("\x05\0\0\0\x02\0\0\0\x03\0\0\0\0\0\0\0\0\0\0\0", 20);
    std::ofstream(disk_.Native("program/ImgFilterCfg.dat"), std::ios::binary) << filter;

    ScriptedDialog dialog(folders_, nullptr);
    dialog.steps = {[](ScriptedDialog& self) {
                        Element* pictures = self.Node(u"%mypic%");
                        if (!self.Idle() || pictures == nullptr) {
                            return false;
                        }
                        EXPECT_EQ(Check(pictures), "mixed");
                        EXPECT_EQ(Check(self.Node(u"%destop%")), "off");
                        EXPECT_TRUE(self.ById(u"tp_png")->HasState(STATE_CHECKED));
                        EXPECT_FALSE(self.ById(u"tp_all")->HasState(STATE_CHECKED));
                        EXPECT_TRUE(self.ById(u"tm_filter")->HasState(STATE_CHECKED));
                        EXPECT_FALSE(self.ById(u"tm_day")->HasState(STATE_DISABLED));
                        self.Open(*pictures);
                        return true;
                    },
                    [](ScriptedDialog& self) {
                        if (!self.Idle() || self.Node(u"%mypic%Other/") == nullptr) {
                            return false;
                        }
                        EXPECT_EQ(Check(self.Node(u"%mypic%Trip/")), "on");
                        EXPECT_EQ(Check(self.Node(u"%mypic%Other/")), "off");
                        EXPECT_EQ(self.Node(u"%mypic%Trip/")->Tag(), "options");
                        // Opened again: nothing is listed twice.
                        self.Node(u"%mypic%")->SetState(STATE_COLLAPSED, STATE_EXPANDED);
                        self.Open(*self.Node(u"%mypic%"));
                        EXPECT_EQ(self.Node(u"%mypic%")->ChildCount(), 3u);
                        // The last unchecked child checked: the parent is on; then the filter
                        // boxes.
                        SelectTreeBehavior::ToggleCheck(*self.Node(u"%mypic%Other/"));
                        EXPECT_EQ(Check(self.Node(u"%mypic%")), "on");
                        self.Toggle(u"tp_all");
                        EXPECT_TRUE(self.ById(u"tp_gif")->HasState(STATE_CHECKED));
                        self.Toggle(u"tp_bmp");
                        EXPECT_FALSE(self.ById(u"tp_all")->HasState(STATE_CHECKED));
                        self.Toggle(u"tm_filter");
                        EXPECT_TRUE(self.ById(u"tm_day")->HasState(STATE_DISABLED));
                        self.Click(u"btn_ok");
                        return true;
                    }};
    EXPECT_EQ(dialog.Run(SW_SHOWNORMAL), FRAME_RESULT_OK);
    EXPECT_EQ(ProgramFile("SetPathCfg.dat"), std::string("\xFF\xFE%\0m\0y\0p\0i\0c\0%\0\n\0", 18));
    EXPECT_EQ(ProgramFile("ImgFilterCfg.dat"),
              std::string("\x07\0\0\0\x02\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 20));
}

}  // namespace
}  // namespace tavopix::test

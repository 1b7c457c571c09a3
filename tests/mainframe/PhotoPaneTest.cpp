// The main window's right pane over a page of its own ids and the real photoGrid.css: the grid's
// selection by scripted input and geometry, zoom, marks, sorting, deleting into the trash, and
// the detail viewer's fit, hints and wrap-around.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "TestPictures.h"
#include "app/SettingsFile.h"
#include "app/SettingsStore.h"
#include "engine/InputRouter.h"
#include "engine/controls/Control.h"
#include "library/LibraryMessages.h"
#include "library/views/DetailViewer.h"
#include "library/views/GridCell.h"
#include "library/views/GridEvents.h"
#include "mainframe/PhotoPane.h"
#include "support/MessagePump.h"
#include "ui/MsgBox.h"
#include "ui/UiTestSupport.h"

namespace tavopix::test {
namespace {

constexpr std::string_view kPage =
    R"(<html><head><link rel="stylesheet" href="photoGrid.css"></head>
<body>
<div #op_mark><span .cp><span .num>(0)</span></span></div>
<div #tree_view><option><caption path="/pics/"><span .cp sel="true">pics</span></caption></option></div>
<input #img_size type="range" min="80" max="280" value="160">
<button #btn_sort menu="#sort_menu">sort</button>
<button #btn_upload>up</button><button #btn_atcw>l</button><button #btn_cw>r</button>
<button #btn_mark>m</button><button #btn_delete>d</button>
<div #right_top><div #photo_list></div><div #sel_rect></div>
<div #img_detail w="160" h="115"><div #dtl_dsp><div #dtl_img_border></div></div>
<span #tt_filename></span><span #tt_imginfo></span><button #idt_btn_close>x</button></div></div>
<div #hsk_st></div>
<menu .popup #sort_menu><li sort_type="0">0</li><li sort_type="4">4</li><li sort_type="3">3</li></menu>
<menu .context #pl_cmenu><li #plmu_upload>u</li><li #plmu_mark>m</li><li #plmu_browser>b</li></menu>
</body></html>)";

constexpr int kSide = 160;
constexpr int kPitch = kSide + 18;

class PaneFrame : public TestFrame {
public:
    using TestFrame::TestFrame;
    PhotoPane* pane = nullptr;
    int* selectionEvents = nullptr;
    bool OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                         std::uintptr_t reason) override {
        if (code == SELECTION_CHANGED_EVENT && selectionEvents != nullptr) {
            ++*selectionEvents;
        }
        return CHskFrame::OnBehaviorEvent(element, target, code, reason) ||
               (pane != nullptr && pane->OnBehaviorEvent(element, target, code, reason));
    }
};

class PhotoPaneTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        WritePage("grid.htm", kPage);
        pictures_ = folder_.Path("pics/");
        std::filesystem::create_directories(pictures_);
        trashHome_ = folder_.Path("data");
        const char* data = std::getenv("XDG_DATA_HOME");
        savedDataHome_ = data ? std::optional<std::string>(data) : std::nullopt;
        setenv("XDG_DATA_HOME", trashHome_.c_str(), 1);
        view_.SetLocation("#photo_list", {0, 0, 700, 500});
        view_.SetScrollInfo("#photo_list", {{0, 0}, {0, 0, 700, 500}, {700, 2000}});
        view_.SetLocation("#right_top", {0, 0, 640, 465});
        view_.SetLocation("#dtl_dsp", {1, 3, 635, 462});
        savedCursors_ = {appContext.prevCursorStyle, appContext.nextCursorStyle};
        appContext.prevCursorStyle = u"url(prev.png)";
        appContext.nextCursorStyle = u"url(next.png)";
        frame_ = std::make_unique<PaneFrame>(u"grid.htm", 0);
        frame().onCreated = [this](TestFrame& created) {
            PhotoPane::Hooks hooks;
            hooks.pauseThumbnails = [this](bool resume) { pauses_.push_back(resume); };
            hooks.setSelectedFolderCount = [this](unsigned count) { folderCount_ = count; };
            hooks.searchOrListingRunning = [] { return false; };
            hooks.sortType = [this] { return sortType_; };
            hooks.setSortType = [this](int type) { sortType_ = type; };
            hooks.selectionChanged = [this] { ++selectionChanges_; };
            hooks.ask = [this](std::u16string_view text, std::u16string_view caption) {
                questions_.push_back(Utf8(caption) + ": " + Utf8(text));
                return answer_;
            };
            pane_ = std::make_unique<PhotoPane>(*created.Page()->Root(), created.GetHwnd(), items_,
                                                marked_, registry_, std::move(hooks));
            frame_->pane = pane_.get();
            frame_->selectionEvents = &selectionEvents_;
        };
        frame().onMessage = [this](TestFrame&, UINT message, WPARAM w,
                                   LPARAM l) -> std::optional<LRESULT> {
            if (pane_ && pane_->OnWindowMessage(message, w, l)) {
                return 0;
            }
            return std::nullopt;
        };
        ASSERT_EQ(frame_->Create(), 0);
    }

    void TearDown() override {
        frame_->pane = nullptr;
        pane_.reset();
        appContext.prevCursorStyle = savedCursors_.first;
        appContext.nextCursorStyle = savedCursors_.second;
        if (savedDataHome_) {
            setenv("XDG_DATA_HOME", savedDataHome_->c_str(), 1);
        } else {
            unsetenv("XDG_DATA_HOME");
        }
        TakeQuit();
        UiTest::TearDown();
    }

    // `count` JPEGs named p0.jpg… of the given sizes (the last size repeats), listed and shown in
    // the grid with their thumbnails, each picture placed on a 3-column grid.
    void Fill(std::size_t count, std::vector<std::pair<int, int>> sizes = {{64, 48}}) {
        for (std::size_t i = 0; i < count; ++i) {
            const auto [w, h] = sizes[std::min(i, sizes.size() - 1)];
            const std::string name = "p" + std::to_string(i) + ".jpg";
            const Bytes jpeg = MakeJpeg(Gradient(w, h));
            folder_.Write("pics/" + name, std::string(jpeg.begin(), jpeg.end()));
            auto item = std::make_unique<PictureItem>();
            item->path = FromUtf8(pictures_ + name);
            item->name = FromUtf8(name);
            item->size = static_cast<std::uint32_t>(jpeg.size());
            item->uploaded = i == 1;
            items_.Append(std::move(item));
        }
        Send(WM_BUILD_GRID);
        for (std::size_t i = 0; i < items_.size(); ++i) {
            items_[i].thumbnail = items_[i].path;
            items_[i].width = 280;
            items_[i].height = 210;
            Send(WM_THUMBNAIL_READY, reinterpret_cast<WPARAM>(&items_[i]));
            const Point at = PictureAt(i);
            view_.SetLocation(*Picture(i), {at.x, at.y, at.x + kSide, at.y + 120});
        }
    }

    static Point PictureAt(std::size_t index) {
        return {13 + 4 + static_cast<int>(index % 3) * kPitch,
                1 + 4 + 20 + static_cast<int>(index / 3) * kPitch};
    }
    PaneFrame& frame() const { return *frame_; }
    Element& Grid() const { return *frame().ById(u"photo_list"); }
    Element* Cell(std::size_t index) const { return Grid().Child(index); }
    Element* Picture(std::size_t index) const { return Cell(index)->FindFirst("picture"); }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendMessage(frame().GetHwnd(), message, wParam, lParam);
    }
    InputRouter& Input() const { return frame().Page()->Events().Input(); }

    void Mouse(std::uint32_t cmd, const Element& target, Point at, std::uint32_t buttons,
               std::uint32_t keys = 0) {
        MouseInput input;
        input.cmd = cmd;
        input.target = target.GetUid();
        input.posDocument = at;
        input.buttonState = buttons;
        input.altState = keys;
        Input().Mouse(input);
        Pump();
    }
    void Press(std::size_t index, std::uint32_t keys = 0,
               std::uint32_t button = MAIN_MOUSE_BUTTON) {
        const Point at = PictureAt(index);
        Mouse(MOUSE_DOWN, *Picture(index), {at.x + 5, at.y + 5}, button, keys);
        Mouse(MOUSE_UP, *Picture(index), {at.x + 5, at.y + 5}, button, keys);
    }
    // A key as the view reports it, its modifiers in the key data.
    void Key(std::uint32_t code, std::uint32_t keys) {
        const LPARAM data = ((keys & CONTROL_KEY_PRESSED) != 0 ? KEY_DATA_CTRL_DOWN : 0) |
                            ((keys & SHIFT_KEY_PRESSED) != 0 ? KEY_DATA_SHIFT_DOWN : 0);
        Send(WM_KEYDOWN, code, data);
        Pump();
    }

    // The selected cells' indexes, as "0 2 3".
    std::string Selection() const {
        std::string out;
        for (std::size_t i = 0; i < Grid().ChildCount(); ++i) {
            const std::u16string* sel = Cell(i)->GetAttribute("sel");
            if (sel != nullptr && *sel == u"true") {
                out += (out.empty() ? "" : " ") + std::to_string(i);
            }
        }
        return out;
    }
    std::string StyleOf(std::u16string_view id) const {
        const std::u16string* style = frame().ById(id)->GetAttribute("style");
        return style ? Utf8(*style) : "";
    }

    ItemList items_;
    MarkedSet marked_;
    UploadedRegistry registry_{FromUtf8(folder_.Path("uploadedImg.dat"))};
    std::unique_ptr<PaneFrame> frame_;
    std::unique_ptr<PhotoPane> pane_;
    std::pair<std::u16string, std::u16string> savedCursors_;
    std::string pictures_;
    std::string trashHome_;
    std::optional<std::string> savedDataHome_;
    std::vector<bool> pauses_;
    std::vector<std::string> questions_;
    int answer_ = MB_HSK_OK;
    int sortType_ = 0;
    int selectionChanges_ = 0;
    int selectionEvents_ = 0;
    std::optional<unsigned> folderCount_;
};

TEST_F(PhotoPaneTest, ClicksCtrlShiftAndKeys) {
    Fill(6);
    Press(1);
    EXPECT_EQ(Selection(), "1");
    Press(4, CONTROL_KEY_PRESSED);
    EXPECT_EQ(Selection(), "1 4");
    Press(4, CONTROL_KEY_PRESSED);
    EXPECT_EQ(Selection(), "1");
    // A press on the background clears; Shift with nothing selected takes only the pressed cell,
    // and the next Shift press spans from it.
    Mouse(MOUSE_DOWN, Grid(), {690, 490}, MAIN_MOUSE_BUTTON);
    EXPECT_EQ(Selection(), "");
    Press(4, SHIFT_KEY_PRESSED);
    EXPECT_EQ(Selection(), "4");
    Press(1, SHIFT_KEY_PRESSED);
    EXPECT_EQ(Selection(), "1 2 3 4");
    Key(68, CONTROL_KEY_PRESSED);
    EXPECT_EQ(Selection(), "");
    Key(65, CONTROL_KEY_PRESSED);
    EXPECT_EQ(Selection(), "0 1 2 3 4 5");
    Press(2);
    EXPECT_EQ(Selection(), "2");
    // Every release and both keys told the window the selection may have changed.
    EXPECT_EQ(selectionEvents_, 8);
}

TEST_F(PhotoPaneTest, RightPressMovesASingleSelectionOnly) {
    Fill(6);
    Press(0);
    Press(3, 0, PROP_MOUSE_BUTTON);
    EXPECT_EQ(Selection(), "3");
    Key(65, CONTROL_KEY_PRESSED);
    Mouse(MOUSE_DOWN, Grid(), {690, 490}, MAIN_MOUSE_BUTTON);
    Press(0, CONTROL_KEY_PRESSED);
    Press(1, CONTROL_KEY_PRESSED);
    Press(2, CONTROL_KEY_PRESSED);
    Press(5, 0, PROP_MOUSE_BUTTON);
    EXPECT_EQ(Selection(), "0 1 2");
}

TEST_F(PhotoPaneTest, RubberBandReplacesOrWithCtrlAdds) {
    Fill(6);
    Press(5);
    const Point start = PictureAt(0);
    const Point end = PictureAt(4);
    Mouse(MOUSE_MOVE, Grid(), {start.x + 10, start.y + 10}, MAIN_MOUSE_BUTTON);
    Mouse(MOUSE_MOVE, Grid(), {end.x + 10, end.y + 10}, MAIN_MOUSE_BUTTON);
    // The band is drawn relative to the grid's parent (13, 1 in from the grid's content).
    EXPECT_EQ(StyleOf(u"sel_rect"), "left:40px;top:36px;width:178px;height:178px;");
    view_.SetLocation("#sel_rect", {start.x + 10, start.y + 10, end.x + 10, end.y + 10});
    Mouse(MOUSE_UP, Grid(), {end.x + 10, end.y + 10}, MAIN_MOUSE_BUTTON);
    EXPECT_EQ(Selection(), "0 1 3 4");
    EXPECT_EQ(StyleOf(u"sel_rect"), "left:-10px;top:-10px;width:1px;height:1px;");

    // With Ctrl the band's cells join the selection; touching edges count.
    const Point five = PictureAt(5);
    Mouse(MOUSE_MOVE, Grid(), {five.x, five.y}, MAIN_MOUSE_BUTTON, CONTROL_KEY_PRESSED);
    Mouse(MOUSE_MOVE, Grid(), {five.x + 1, five.y + 1}, MAIN_MOUSE_BUTTON, CONTROL_KEY_PRESSED);
    view_.SetLocation("#sel_rect", {five.x - 30, five.y - 30, five.x, five.y});
    Mouse(MOUSE_UP, Grid(), {five.x, five.y}, MAIN_MOUSE_BUTTON, CONTROL_KEY_PRESSED);
    EXPECT_EQ(Selection(), "0 1 3 4 5");
}

TEST_F(PhotoPaneTest, CellPlacementAndZoom) {
    const CellPlacement large = PlaceInCell(4000, 3000, 160);
    EXPECT_EQ((std::vector{large.width, large.height, large.marginLeft, large.marginTop}),
              (std::vector{160, 120, 0, 20}));
    EXPECT_EQ(large.mark, (Point{120, 120}));
    EXPECT_EQ(large.uploaded, (Point{140, 120}));
    const CellPlacement wide = PlaceInCell(280, 4, 160);
    EXPECT_EQ((std::vector{wide.width, wide.height}), (std::vector{160, 40}));

    Fill(2);
    EXPECT_EQ(Utf8(*Cell(1)->FindFirst("p.uped")->GetAttribute("style")), "left:140px;top:120px;");
    Element& zoom = *frame().ById(u"img_size");
    ASSERT_TRUE(Input().ControlChanged(zoom.GetUid(), u"200"));
    Pump();
    EXPECT_EQ(pane_->ThumbSize(), 200);
    EXPECT_EQ(Utf8(*Cell(0)->GetAttribute("style")), "width:208px; height:208px;");
    EXPECT_EQ(Utf8(*Cell(0)->FindFirst(".icon")->GetAttribute("style")),
              "width:200px; height:150px; margin-left:0px; margin-top:25px;");
    EXPECT_EQ(Utf8(*Cell(1)->FindFirst("p.uped")->GetAttribute("style")), "left:180px; top:155px;");
    EXPECT_TRUE(KillTimer(frame().GetHwnd(), THUMB_RESUME_TIMER));
}

TEST_F(PhotoPaneTest, MarksCountAndSurviveASort) {
    Fill(3);
    Press(2);
    frame().Click(u"btn_mark");
    EXPECT_EQ(Utf8(frame().ById(u"op_mark")->FindFirst(".num")->InnerText()), "(1)");
    EXPECT_TRUE(marked_.Contains(items_[2].path));
    Element& byName = *frame().ById(u"sort_menu")->FindFirst("li[sort_type=\"3\"]");
    frame().Page()->Events().SendEvent(Grid(), MENU_ITEM_CLICK, &byName);
    std::u16string stored;
    ASSERT_TRUE(SettingsStore::Get(SettingsFilePath(), u"pl_sort_type", stored));
    EXPECT_EQ(stored, u"3");
    EXPECT_EQ(sortType_, 3);
    // Names descending: p2 first, and its cell still carries the mark.
    EXPECT_EQ(Utf8(*Cell(0)->GetAttribute("title")), "p2.jpg");
    EXPECT_NE(Cell(0)->FindFirst("p.mark"), nullptr);
    EXPECT_EQ(Cell(1)->FindFirst("p.mark"), nullptr);
    frame().Click(u"btn_mark");  // nothing selected after the rebuild
    EXPECT_EQ(marked_.Count(), 1u);
}

TEST_F(PhotoPaneTest, DeleteAsksMovesToTrashAndCounts) {
    Fill(5);
    ASSERT_TRUE(registry_.Add(items_[1].path));
    Press(0, CONTROL_KEY_PRESSED);
    Press(1, CONTROL_KEY_PRESSED);
    Press(2, CONTROL_KEY_PRESSED);
    frame().Click(u"btn_mark");
    EXPECT_EQ(marked_.Count(), 3u);
    answer_ = MB_HSK_CANCEL;
    frame().Click(u"btn_delete");
    EXPECT_EQ(Grid().ChildCount(), 5u);
    answer_ = MB_HSK_OK;
    frame().Click(u"btn_delete");
    EXPECT_EQ(questions_, (std::vector<std::string>{"删除确认: 确定要删除所选的3张图片吗?",
                                                    "删除确认: 确定要删除所选的3张图片吗?"}));
    EXPECT_EQ(Grid().ChildCount(), 2u);
    EXPECT_EQ(items_.size(), 2u);
    EXPECT_EQ(marked_.Count(), 0u);
    EXPECT_EQ(Utf8(frame().ById(u"op_mark")->FindFirst(".num")->InnerText()), "(0)");
    EXPECT_EQ(registry_.Count(), 0u);
    EXPECT_EQ(folderCount_, 2u);
    EXPECT_EQ(selectionChanges_, 1);
    EXPECT_FALSE(std::filesystem::exists(pictures_ + "p0.jpg"));
    EXPECT_TRUE(std::filesystem::exists(trashHome_ + "/Trash/files/p0.jpg"));
    const std::string info = [&] {
        std::ifstream file(trashHome_ + "/Trash/info/p1.jpg.trashinfo");
        return std::string(std::istreambuf_iterator<char>(file), {});
    }();
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + pictures_ + "p1.jpg\nDeletionDate=", 0), 0u)
        << info;

    // One selected picture, then the viewer's one picture, each with its own question.
    Press(0);
    frame().Click(u"btn_delete");
    Mouse(MOUSE_DCLICK, *Picture(0), PictureAt(0), MAIN_MOUSE_BUTTON);
    ASSERT_TRUE(pane_->DetailShown());
    frame().Click(u"btn_delete");
    EXPECT_EQ(questions_.back(), "删除确认: 确定要删除这张图片吗?");
    EXPECT_EQ(questions_[2], "删除确认: 确定要删除所选的图片吗?");
    EXPECT_FALSE(pane_->DetailShown());
    EXPECT_EQ(Grid().ChildCount(), 0u);
}

TEST_F(PhotoPaneTest, ViewerFitsStepsHintsAndWraps) {
    EXPECT_EQ((std::vector{FitDetail(100, 50, 600, 400).width, FitDetail(100, 50, 600, 400).height,
                           FitDetail(100, 50, 600, 400).left, FitDetail(100, 50, 600, 400).top}),
              (std::vector{600, 300, 20, 65}));
    Fill(5, {{100, 50}, {64, 48}});
    Mouse(MOUSE_DCLICK, *Picture(4), PictureAt(4), MAIN_MOUSE_BUTTON);
    ASSERT_TRUE(pane_->DetailShown());
    EXPECT_EQ(StyleOf(u"dtl_img_border"), "width:533px; height:400px; left:53px; top:15px; ");
    EXPECT_EQ(Utf8(frame().ById(u"tt_filename")->InnerText()), "p4.jpg");
    EXPECT_EQ(Utf8(frame().ById(u"tt_imginfo")->InnerText()).rfind("尺寸： 64x48， 文件长度： ", 0),
              0u);
    EXPECT_EQ(Utf8(*frame().ById(u"img_size")->GetStyleAttribute("display")), "none");

    // Next from the last: the hint, then the first picture; stepping back from it: its hint.
    Element& viewer = *frame().ById(u"img_detail");
    const auto step = [&](std::uintptr_t next) {
        frame().Page()->Events().SendEvent(viewer, DETAIL_STEP_EVENT, nullptr, next);
    };
    step(kStepNext);
    EXPECT_NE(frame().ById(u"dtl_last"), nullptr);
    EXPECT_EQ(Utf8(*frame().ById(u"dtl_last")->GetAttribute("style")), "left:204px;top:212px");
    EXPECT_EQ(pane_->Viewer().Index(), 4);
    step(kStepNext);
    EXPECT_EQ(frame().ById(u"dtl_last"), nullptr);
    EXPECT_EQ(pane_->Viewer().Index(), 0);
    EXPECT_EQ(StyleOf(u"dtl_img_border"), "width:600px; height:300px; left:20px; top:65px; ");
    step(kStepPrevious);
    EXPECT_NE(frame().ById(u"dtl_first"), nullptr);
    Send(WM_TIMER, DETAIL_HINT_TIMER);
    EXPECT_EQ(frame().ById(u"dtl_first"), nullptr);
    step(kStepPrevious);
    EXPECT_EQ(pane_->Viewer().Index(), 4);

    // The behaviour's thirds: a press on the right third of the hovered picture steps on.
    view_.SetLocation("#dtl_img_border", {100, 50, 400, 350});
    Element& picture = *frame().ById(u"pic");
    Mouse(MOUSE_MOVE, picture, {150, 100}, 0);
    EXPECT_EQ(*picture.GetStyleAttribute("cursor"), appContext.prevCursorStyle);
    Mouse(MOUSE_DOWN, picture, {390, 100}, MAIN_MOUSE_BUTTON);
    EXPECT_NE(frame().ById(u"dtl_last"), nullptr);
    const int changesBeforeClose = selectionChanges_;
    Mouse(MOUSE_DCLICK, *frame().ById(u"pic"), {250, 100}, MAIN_MOUSE_BUTTON);
    EXPECT_FALSE(pane_->DetailShown());
    EXPECT_EQ(Utf8(*frame().ById(u"img_size")->GetStyleAttribute("display")), "block");
    // The picture last viewed is the grid's one selection, and the status line is told.
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(Cell(i)->GetAttribute("sel") != nullptr, i == 4) << i;
    }
    EXPECT_EQ(selectionChanges_, changesBeforeClose + 1);

    // The error picture keeps its own size, centred; one larger than the area is fitted.
    const DetailFit error = CentreDetail(160, 115, 600, 400);
    EXPECT_EQ((std::vector{error.width, error.height, error.left, error.top}),
              (std::vector{160, 115, 240, 157}));
    EXPECT_EQ(CentreDetail(1200, 800, 600, 400).width, 600);
}

TEST_F(PhotoPaneTest, HostileNamesStayText) {
    auto item = std::make_unique<PictureItem>();
    item->path = u"/x/a\" onmouseover=\"alert(1)<b>&.jpg";
    item->name = u"a\" onmouseover=\"alert(1)<b>&.jpg";
    items_.Append(std::move(item));
    Send(WM_BUILD_GRID);
    ASSERT_EQ(Grid().ChildCount(), 1u);
    EXPECT_EQ(*Cell(0)->GetAttribute("path"), items_[0].path);
    EXPECT_EQ(*Cell(0)->GetAttribute("title"), items_[0].name);
    EXPECT_FALSE(Cell(0)->HasAttribute("onmouseover"));
    EXPECT_EQ(Cell(0)->ChildCount(), 1u);
}

}  // namespace
}  // namespace tavopix::test

#include "mainframe/MainFrame.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/AppContext.h"
#include "app/FileTimeText.h"
#include "app/PathTokens.h"
#include "app/SettingsFile.h"
#include "app/SettingsStore.h"
#include "app/TextConvert.h"
#include "engine/Element.h"
#include "engine/EventCodes.h"
#include "engine/EventDispatcher.h"
#include "engine/controls/Control.h"
#include "image/PictureDetails.h"
#include "library/LibraryMessages.h"
#include "library/data/CollectFolderPictures.h"
#include "library/data/FillItemFileInfo.h"
#include "library/views/GridCell.h"
#include "library/views/GridEvents.h"
#include "library/views/GridGeometry.h"
#include "library/workers/ThumbnailWorker.h"
#include "mainframe/FolderPane.h"
#include "mainframe/PhotoPane.h"
#include "platform/Accelerator.h"
#include "platform/MessageQueue.h"
#include "platform/SystemMetrics.h"
#include "platform/Window.h"
#include "service/AlbumDlg.h"
#include "service/SessionHelper.h"
#include "ui/MsgBox.h"
#include "ui/PageHost.h"
#include "update/UpdateMessages.h"
#include "upload/UploadDlg.h"

namespace tavopix {
namespace {

constexpr WPARAM VK_F5 = 0x74;
// A folder upload of more pictures than this asks first.
constexpr std::size_t kFolderUploadQuestionAbove = 100;

std::u16string Pixels(int value) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%dpx", value);
    return FromUtf8(buffer);
}

// The picture cells of the grid, in grid order.
std::vector<Element*> GridCells(const Element& grid) {
    std::vector<Element*> cells;
    for (Element* child = grid.FirstChild(); child; child = child->NextSibling()) {
        if (child->HasClass(u"loc"))
            cells.push_back(child);
    }
    return cells;
}

void SetSelected(Element* element, bool selected) {
    if (element)
        element->SetAttribute(
            "sel", selected ? std::optional<std::u16string_view>(u"true") : std::nullopt);
}

}  // namespace

CMainFrame::CMainFrame()
    : CHskFrame(nullptr),
      registry_(appContext.programDir + std::u16string(kUploadedRegistryFileName),
                [this](std::u16string_view text) {
                    if (PageHost* page = Page()) {
                        if (Element* num = page->Root()->FindFirst("#op_uped .num"))
                            num->SetText(text);
                    }
                }) {
    skinPage = appContext.programDir + u"skin/mainframe.htm";
    title = u"Tavopix";
    flags = HSK_CLOSE | HSK_MIN | HSK_MAX | HSK_SPARE | HSK_ICON | HSK_CORNER;
    width = kMinWidth;
    height = kMinHeight;
    minWidth = kMinWidth;
    minHeight = kMinHeight;
    accelId = IDR_FRAME_ACCELERATORS;
}

CMainFrame::~CMainFrame() = default;

POINT CMainFrame::InitialSize(int workWidth, int workHeight) {
    return {std::min(workWidth * 3 / 4, kMaxInitialWidth),
            std::min(workHeight * 3 / 4, kMaxInitialHeight)};
}

int CMainFrame::Create() {
    const POINT size =
        InitialSize(GetSystemMetrics(SM_CXMAXIMIZED), GetSystemMetrics(SM_CYMAXIMIZED));
    width = size.x;
    height = size.y;
    if (const int error = CHskFrame::Create(); error != 0)
        return error;
    Element* root = Page()->Root();
    menuButton_ = ElementRef(root->FindById(u"hsk_btn_menu"));
    photoList_ = ElementRef(root->FindById(u"photo_list"));
    imgDetail_ = ElementRef(root->FindById(u"img_detail"));
    statusLine_ = ElementRef(root->FindById(u"hsk_st"));
    splitterBar_ = ElementRef(root->FindById(u"hr_bar"));
    splitterMark_ = ElementRef(root->FindById(u"hr_mv"));
    sortMenu_ = ElementRef(root->FindById(u"sort_menu"));
    markedEntry_ = ElementRef(root->FindById(u"op_mark"));
    uploadedEntry_ = ElementRef(root->FindById(u"op_uped"));
    mainMenu_.Bind(*root);

    folderPane_ = std::make_unique<FolderPane>(
        hwnd, items_, marked_, registry_,
        FolderPane::Hooks{[this](std::size_t& first, std::size_t& last) {
                              return photoPane_ && photoPane_->VisibleRange(first, last);
                          },
                          [this] {
                              if (photoPane_)
                                  photoPane_->HideDetail();
                          }});
    // The photo pane parks the viewer as it binds it.
    photoPane_ = std::make_unique<PhotoPane>(
        *root, hwnd, items_, marked_, registry_,
        PhotoPane::Hooks{
            [this](bool resume) {
                folderPane_->Thumbnails().Pause(resume ? ThumbResume::Yes : ThumbResume::No);
            },
            [this](unsigned count) {
                folderPane_->Tree().SetDirectCount(folderPane_->SelectedFolder(), count);
            },
            [this] { return folderPane_->SearchRunning() || folderPane_->ListingRunning(); },
            [this] { return sortType_; },
            [this](int sortType) { sortType_ = sortType; },
            [this] { UpdateStatusLine(); },
            {}});

    std::u16string sortSetting;
    if (SettingsStore::Get(SettingsFilePath(), u"pl_sort_type", sortSetting))
        sortType_ = ParseInt(sortSetting).value_or(0);
    folderPane_->Create(*root);
    if (sortMenu_) {
        char selector[48];
        std::snprintf(selector, sizeof selector, "li[sort_type=\"%d\"]", sortType_);
        if (Element* item = sortMenu_->FindFirst(selector))
            item->SetAttribute("sel", u"true");
    }
    // The search and the listing ask the registry, so it is read before either starts.
    registry_.Load();
    folderPane_->Start();
    updateCheck_.StartIfWanted(hwnd);
    mainMenu_.AddCommand(u"menu_check_update", [this] { updateCheck_.CheckFromMenu(hwnd); });
    return 0;
}

LRESULT CMainFrame::OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    bool& handled) {
    const LRESULT result = CHskFrame::OnWindowMessage(window, message, wParam, lParam, handled);
    if (handled || !folderPane_)
        return result;
    if (message == WM_CLOSE) {
        // The workers end before the window does, so none posts to a destroyed window.
        folderPane_->Close();
        updateCheck_.Stop();
        handled = true;
        return 0;
    }
    if (message == WM_SILENT_VERSION_LINE) {
        updateCheck_.OnVersionLine(hwnd, wParam);
        handled = true;
        return 0;
    }
    if (photoPane_->OnWindowMessage(message, wParam, lParam) ||
        folderPane_->OnWindowMessage(message, wParam, lParam)) {
        handled = true;
    }
    return 0;
}

bool CMainFrame::OnMouse(Element&, MouseParams& params) {
    if (params.cmd == MOUSE_DOWN && params.target) {
        if (markedEntry_ && markedEntry_->Contains(*params.target)) {
            ShowMarkedView();
            return true;
        }
        if (uploadedEntry_ && uploadedEntry_->Contains(*params.target)) {
            ShowUploadedView();
            return true;
        }
    }
    return OnSplitterMouse(params);
}

bool CMainFrame::OnSplitterMouse(const MouseParams& params) {
    if (!splitterMark_)
        return false;
    const int barX = std::max(params.posDocument.x, kSplitterFloor);
    if (params.cmd == MOUSE_MOVE && (params.buttonState & MAIN_MOUSE_BUTTON)) {
        if (!splitterDragging_) {
            if (params.target.get() != splitterBar_.get())
                return false;
            splitterDragging_ = true;
            splitterMark_->SetStyleAttribute("left", Pixels(params.posDocument.x));
            const Element* body = parts[PART_BODY].get();
            const int bodyHeight = body ? body->Location(ROOT_RELATIVE | CONTENT_BOX).Height() : 0;
            splitterMark_->SetStyleAttribute("height", Pixels(std::max(bodyHeight - 60, 0)));
            Page()->Events().SetCapture(*splitterMark_);
            return true;
        }
        splitterMark_->SetStyleAttribute("left", Pixels(barX));
        return true;
    }
    if (params.cmd == MOUSE_UP && splitterDragging_) {
        splitterDragging_ = false;
        Page()->Events().ReleaseCapture();
        splitterMark_->SetStyleAttribute("left", u"-10px;");
        if (Element* leftPane = Page()->Root()->FindById(u"left_pand"))
            leftPane->SetStyleAttribute("width", Pixels(barX - 3));
        return true;
    }
    return false;
}

bool CMainFrame::OnKey(Element&, KeyParams& params) {
    if (params.cmd != KEY_DOWN)
        return false;
    // The marked and uploaded views open from the keyboard as from a press.
    const bool opens = params.keyCode == VK_RETURN || params.keyCode == VK_SPACE;
    if (opens && params.target && markedEntry_ && markedEntry_->Contains(*params.target)) {
        ShowMarkedView();
        return true;
    }
    if (opens && params.target && uploadedEntry_ && uploadedEntry_->Contains(*params.target)) {
        ShowUploadedView();
        return true;
    }
    return OnShortcutKey(params);
}

bool CMainFrame::OnShortcutKey(const KeyParams& params) {
    // Keys typed into a control (the zoom slider, a tree with the focus) stay the control's.
    const Element* focus = params.target.get();
    const bool inControl = focus && focus != Page()->Root() && ControlOf(*focus) != nullptr &&
                           focus->Tag() != "button";
    if (params.altState != 0 || inControl)
        return false;
    if (!photoPane_)
        return false;
    EventDispatcher& events = Page()->Events();
    Element* root = Page()->Root();
    const bool detailShown = photoPane_->DetailShown();
    switch (params.keyCode) {
        case VK_LEFT:
        case VK_RIGHT:
            if (detailShown) {
                events.PostEvent(*imgDetail_, DETAIL_STEP_EVENT, nullptr,
                                 params.keyCode == VK_RIGHT ? kStepNext : kStepPrevious);
            } else {
                MoveGridSelection(params.keyCode == VK_RIGHT ? 1 : -1);
            }
            return true;
        // The viewer's other stepping keys, as a picture viewer's users expect them; they step
        // as a press on the picture's thirds does, end hints included.
        case VK_PRIOR:
        case VK_NEXT:
        case VK_SPACE:
            if (!detailShown)
                return false;
            events.PostEvent(*imgDetail_, DETAIL_STEP_EVENT, nullptr,
                             params.keyCode == VK_PRIOR ? kStepPrevious : kStepNext);
            return true;
        case VK_HOME:
        case VK_END:
            if (!detailShown)
                return false;
            photoPane_->JumpDetail(params.keyCode == VK_END);
            return true;
        case VK_UP:
        case VK_DOWN:
            if (detailShown)
                return false;
            MoveGridSelection(params.keyCode == VK_DOWN ? GridColumns() : -GridColumns());
            return true;
        case VK_RETURN:
            if (detailShown || !photoList_)
                return false;
            if (Element* cell = photoList_->FindFirst("div.loc[sel=\"true\"]")) {
                events.PostEvent(*cell, SHOW_DETAIL_EVENT);
                return true;
            }
            return false;
        case VK_ESCAPE:
            if (!detailShown)
                return false;
            if (Element* close = root->FindById(u"idt_btn_close"))
                events.PostEvent(*close, BUTTON_CLICK);
            return true;
        case VK_DELETE:
            if (Element* remove = root->FindById(u"btn_delete"))
                events.PostEvent(*remove, BUTTON_CLICK);
            return true;
        case VK_F5:
            folderPane_->Research();
            return true;
        default:
            return false;
    }
}

int CMainFrame::GridColumns() const {
    if (!photoList_)
        return 1;
    return static_cast<int>(GridGeometry::Of(*photoList_).Columns());
}

void CMainFrame::MoveGridSelection(int step) {
    if (!photoList_)
        return;
    const std::vector<Element*> cells = GridCells(*photoList_);
    if (cells.empty())
        return;
    int current = -1;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (IsCellSelected(*cells[i]))
            current = static_cast<int>(i);
    }
    const int last = static_cast<int>(cells.size()) - 1;
    const int next = current < 0 ? 0 : std::clamp(current + step, 0, last);
    photoPane_->Grid().SelectOnly(*cells[static_cast<std::size_t>(next)]);
    UpdateStatusLine();
}

bool CMainFrame::OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                                 std::uintptr_t reason) {
    if (CHskFrame::OnBehaviorEvent(element, target, code, reason))
        return true;
    if (code == BUTTON_CLICK && HasId(target, u"btn_upload")) {
        UploadChosenPictures();
        return true;
    }
    if (code == MENU_ITEM_CLICK && element && HasId(element, u"tvmu_upload") &&
        HasId(element->Parent(), u"tv_cmenu")) {
        UploadSelectedFolder();
        return true;
    }
    if (code == SELECTION_CHANGED_EVENT) {
        UpdateStatusLine();
        return true;
    }
    if (mainMenu_.OnBehaviorEvent(element, target, code, reason))
        return true;
    if (folderPane_ && folderPane_->OnBehaviorEvent(element, target, code, reason))
        return true;
    return photoPane_ && photoPane_->OnBehaviorEvent(element, target, code, reason);
}

void CMainFrame::ShowMarkedView() {
    ShowSpecialView(SpecialView::Marked);
}

void CMainFrame::ShowUploadedView() {
    ShowSpecialView(SpecialView::Uploaded);
}

void CMainFrame::ShowSpecialView(SpecialView view) {
    if (!folderPane_)
        return;
    photoPane_->HideDetail();
    folderPane_->Thumbnails().Pause(ThumbResume::No);
    // The listing fills the same item list: it ends before the view takes the list over.
    folderPane_->StopListing();
    folderPane_->ForgetCurrentFolder();

    if (Element* tree = Page()->Root()->FindById(u"tree_view"))
        SetSelected(tree->FindFirst(".cp[sel=\"true\"]"), false);
    const bool marked = view == SpecialView::Marked;
    SetSelected(uploadedEntry_ ? uploadedEntry_->FindFirst(".cp") : nullptr, !marked);
    SetSelected(markedEntry_ ? markedEntry_->FindFirst(".cp") : nullptr, marked);

    SendMessage(hwnd, WM_CLEAR_GRID, 0, 0);
    const auto append = [this](const std::u16string& path, bool isMarked, bool isUploaded) {
        auto item = std::make_unique<PictureItem>();
        item->path = path;
        item->marked = isMarked;
        item->uploaded = isUploaded;
        // A picture whose file is gone is listed all the same, with size and time 0.
        FillItemFileInfo(*item);
        items_.Append(std::move(item));
    };
    if (marked) {
        for (const std::u16string& path : marked_.Paths())
            append(path, true, registry_.Contains(path));
    } else {
        registry_.PruneMissing(
            [&](const std::u16string& path) { append(path, marked_.Contains(path), true); });
    }
    if (!items_.empty())
        SendMessage(hwnd, WM_BUILD_GRID, 0, 0);
    else
        photoPane_->Grid().SetEmptyState(marked ? u"marked" : u"uploaded");
}

void CMainFrame::UploadChosenPictures() {
    if (!photoPane_ || !photoList_)
        return;
    std::vector<ElementRef> cells;
    if (photoPane_->DetailShown()) {
        if (Element* cell = photoPane_->DetailCell())
            cells.emplace_back(cell);
    } else {
        for (Element* cell : GridCells(*photoList_)) {
            if (IsCellSelected(*cell))
                cells.emplace_back(cell);
        }
    }
    std::vector<std::u16string> paths;
    for (const ElementRef& cell : cells) {
        if (const std::u16string* path = cell->GetAttribute("path"))
            paths.push_back(*path);
    }
    if (paths.empty()) {
        HskMessageBox(u"请选择图片", u"提示", MB_HSK_OK, hwnd);
        return;
    }
    if (!RunUpload(paths))
        return;
    const int side = photoPane_->ThumbSize();
    for (const ElementRef& cell : cells) {
        const PictureItem* item = items_.FindById(CellItemId(*cell));
        // A cell that shows its flag already keeps the one it has.
        if (!item || !registry_.Contains(item->path) || cell->FindFirst("p.uped"))
            continue;
        std::string flag = "<p .uped />";
        if (item->width > 0 && item->height > 0) {
            const CellPlacement place = PlaceInCell(item->width, item->height, side);
            char html[80];
            std::snprintf(html, sizeof html, "<p .uped style=\"left:%dpx;top:%dpx;\" />",
                          place.uploaded.x, place.uploaded.y);
            flag = html;
        }
        (void)cell->SetHtml(flag, SIH_APPEND_AFTER_LAST);
    }
}

void CMainFrame::UploadSelectedFolder() {
    if (!folderPane_)
        return;
    const std::u16string folder = folderPane_->SelectedFolder();
    if (folder.empty())
        return;
    std::vector<std::u16string> paths;
    CollectFolderPictures(folder, folderPane_->Filter(), paths);
    if (paths.empty()) {
        HskMessageBox(u"所选目录没有符合条件的图片!", u"", MB_HSK_OK, hwnd);
        return;
    }
    if (paths.size() > kFolderUploadQuestionAbove &&
        HskMessageBox(u"所选目录图片超过100张, 确定要一次性上传这些图片吗?", u"提示",
                      MB_HSK_OK | MB_HSK_CANCEL, hwnd) != static_cast<int>(MB_HSK_OK)) {
        return;
    }
    if (!RunUpload(paths))
        return;
    // The folder is listed again, so its cells show their new flags.
    folderPane_->ForgetCurrentFolder();
    if (Element* tree = Page()->Root()->FindById(u"tree_view"))
        Page()->Events().PostEvent(*tree, FOLDER_OPENED_EVENT);
}

bool CMainFrame::RunUpload(const std::vector<std::u16string>& paths) {
    if (!mainMenu_.Session().EnsureLoggedIn(hwnd))
        return false;
    mainMenu_.RefreshLoginHint();
    CAlbumDlg albums(hwnd);
    if (albums.Run(SW_SHOWNORMAL) != FRAME_RESULT_OK)
        return false;
    CUploadDlg upload(registry_, albums.AlbumId(), albums.FullSize(), paths, hwnd);
    if (upload.Run(SW_SHOWNORMAL) != FRAME_RESULT_OK)
        return false;
    registry_.Save(UploadedRegistry::Write::On);
    return true;
}

void CMainFrame::UpdateStatusLine() {
    if (!statusLine_ || !photoList_)
        return;
    unsigned count = 0;
    const Element* lastSelected = nullptr;
    if (const Element* viewed = photoPane_ ? photoPane_->DetailCell() : nullptr) {
        // While the viewer is open the line describes the picture it shows.
        count = 1;
        lastSelected = viewed;
    } else {
        for (const Element* child = photoList_->FirstChild(); child; child = child->NextSibling()) {
            if (IsCellSelected(*child)) {
                ++count;
                lastSelected = child;
            }
        }
    }
    std::u16string text = u"已就绪";
    if (count == 1) {
        const std::u16string* path = lastSelected->GetAttribute("path");
        PictureDetails details;
        details.realPath = path ? ExpandPath(*path) : std::u16string();
        if (!details.realPath.empty() && ReadPictureDetails(details)) {
            std::u16string time;
            FormatFileTime(details.lastWriteTime, time);
            char facts[160];
            std::snprintf(facts, sizeof facts, " 尺寸：%dx%d， 文件大小：%0.1fKB， 修改时间：",
                          details.width, details.height, details.size / 1024.0);
            text = details.name + FromUtf8(facts) + time;
        }
    } else if (count > 1) {
        char chosen[64];
        std::snprintf(chosen, sizeof chosen, "已选择 %u 张图片", count);
        text = FromUtf8(chosen);
    }
    statusLine_->SetText(text);
}

}  // namespace tavopix

#include "mainframe/MainFrame.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/AppContext.h"
#include "app/FileTimeText.h"
#include "app/PathTokens.h"
#include "app/SettingsStore.h"
#include "app/TextConvert.h"
#include "engine/Element.h"
#include "engine/EventCodes.h"
#include "engine/EventDispatcher.h"
#include "engine/controls/Control.h"
#include "image/PictureDetails.h"
#include "platform/Accelerator.h"
#include "platform/SystemMetrics.h"
#include "ui/PageHost.h"

namespace tavopix {
namespace {

std::u16string SettingsFile() {
    return appContext.programDir + u"tavopix.ini";
}

// The grid's cells are S + 8 pixels square, laid out S + 18 apart.
constexpr int kCellPitchExtra = 18;
constexpr int kDefaultThumbSize = 160;
// The viewer's step event: reason 0 steps back, 1 steps on.
constexpr std::uint32_t kDetailStepEvent = FIRST_APPLICATION_EVENT_CODE + 8;

std::u16string Pixels(int value) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%dpx", value);
    return FromUtf8(buffer);
}

bool IsSelected(const Element& cell) {
    const std::u16string* sel = cell.GetAttribute("sel");
    return sel && *sel == u"true";
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
    flags = HSK_CLOSE | HSK_MIN | HSK_MAX | 0x08 | HSK_ICON | HSK_CORNER;
    width = kMinWidth;
    height = kMinHeight;
    minWidth = kMinWidth;
    minHeight = kMinHeight;
    accelId = IDR_FRAME_ACCELERATORS;
}

CMainFrame::~CMainFrame() = default;

int CMainFrame::Create() {
    width = std::min(GetSystemMetrics(SM_CXMAXIMIZED) * 3 / 4, kMaxInitialWidth);
    height = std::min(GetSystemMetrics(SM_CYMAXIMIZED) * 3 / 4, kMaxInitialHeight);
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

    std::u16string sortSetting;
    if (SettingsStore::Get(SettingsFile(), u"pl_sort_type", sortSetting))
        sortType_ = ParseInt(sortSetting).value_or(0);
    if (sortMenu_) {
        char selector[48];
        std::snprintf(selector, sizeof selector, "li[sort_type=\"%d\"]", sortType_);
        if (Element* item = sortMenu_->FindFirst(selector))
            item->SetAttribute("sel", u"true");
    }
    registry_.Load();
    return 0;
}

LRESULT CMainFrame::OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    bool& handled) {
    const LRESULT result = CHskFrame::OnWindowMessage(window, message, wParam, lParam, handled);
    if (handled)
        return result;
    return 0;
}

bool CMainFrame::OnHitTest(POINT point, LRESULT& code) {
    if (menuButton_ &&
        menuButton_->Location(ROOT_RELATIVE | BORDER_BOX).Contains({point.x, point.y})) {
        code = HTCLIENT;
        return true;
    }
    return false;
}

bool CMainFrame::OnMouse(Element&, MouseParams& params) {
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
    return OnShortcutKey(params);
}

bool CMainFrame::OnShortcutKey(const KeyParams& params) {
    // Keys typed into a control (the zoom slider, a tree with the focus) stay the control's.
    const Element* focus = params.target.get();
    const bool inControl = focus && focus != Page()->Root() && ControlOf(*focus) != nullptr &&
                           focus->Tag() != "button";
    if (params.altState != 0 || inControl)
        return false;
    const bool detailShown = imgDetail_ && imgDetail_->GetStyleAttribute("left") &&
                             *imgDetail_->GetStyleAttribute("left") != u"-10px";
    switch (params.keyCode) {
        case VK_LEFT:
        case VK_RIGHT:
            if (detailShown) {
                Page()->Events().PostEvent(*imgDetail_, kDetailStepEvent, nullptr,
                                           params.keyCode == VK_RIGHT ? 1 : 0);
            } else {
                MoveGridSelection(params.keyCode == VK_RIGHT ? 1 : -1);
            }
            return true;
        case VK_UP:
        case VK_DOWN:
            if (detailShown)
                return false;
            MoveGridSelection(params.keyCode == VK_DOWN ? GridColumns() : -GridColumns());
            return true;
        default:
            return false;
    }
}

int CMainFrame::GridColumns() const {
    if (!photoList_)
        return 1;
    int thumbSize = kDefaultThumbSize;
    ControlValue value;
    if (Element* slider = Page()->Root()->FindById(u"img_size");
        slider && ControlGetValue(*slider, &value) && value.Int()) {
        thumbSize = *value.Int();
    }
    const int viewWidth = photoList_->GetScrollInfo().viewRect.Width();
    return std::max(1, viewWidth / (thumbSize + kCellPitchExtra));
}

void CMainFrame::MoveGridSelection(int step) {
    if (!photoList_)
        return;
    const std::vector<Element*> cells = GridCells(*photoList_);
    if (cells.empty())
        return;
    int current = -1;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (IsSelected(*cells[i]))
            current = static_cast<int>(i);
    }
    const int last = static_cast<int>(cells.size()) - 1;
    const int next = current < 0 ? 0 : std::clamp(current + step, 0, last);
    for (Element* cell : cells) {
        if (IsSelected(*cell))
            cell->SetAttribute("sel", std::nullopt);
    }
    Element* chosen = cells[static_cast<std::size_t>(next)];
    chosen->SetAttribute("sel", u"true");

    const ScrollInfo scroll = photoList_->GetScrollInfo();
    const Rect box = chosen->Location(ROOT_RELATIVE | BORDER_BOX);
    int top = scroll.scrollPos.y;
    if (box.top < scroll.viewRect.top)
        top -= scroll.viewRect.top - box.top;
    else if (box.bottom > scroll.viewRect.bottom)
        top += box.bottom - scroll.viewRect.bottom;
    if (top != scroll.scrollPos.y)
        photoList_->SetScrollPos({scroll.scrollPos.x, top}, false);
    UpdateStatusLine();
}

bool CMainFrame::OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                                 std::uintptr_t reason) {
    if (CHskFrame::OnBehaviorEvent(element, target, code, reason))
        return true;
    return false;
}

void CMainFrame::UpdateStatusLine() {
    if (!statusLine_ || !photoList_)
        return;
    unsigned count = 0;
    const Element* lastSelected = nullptr;
    for (const Element* child = photoList_->FirstChild(); child; child = child->NextSibling()) {
        if (IsSelected(*child)) {
            ++count;
            lastSelected = child;
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

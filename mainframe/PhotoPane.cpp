#include "mainframe/PhotoPane.h"

#include <cstdio>

#include "app/AppContext.h"
#include "app/PathTokens.h"
#include "app/SettingsFile.h"
#include "app/SettingsStore.h"
#include "app/TextConvert.h"
#include "engine/Element.h"
#include "engine/EventDispatcher.h"
#include "engine/controls/Control.h"
#include "library/LibraryMessages.h"
#include "library/data/ItemThumbnail.h"
#include "library/views/GridCell.h"
#include "library/views/GridEvents.h"
#include "library/views/ImgDetailBehavior.h"
#include "platform/MessageQueue.h"
#include "platform/Trash.h"
#include "ui/MsgBox.h"

namespace tavopix {

namespace {

constexpr std::u16string_view kSortKey = u"pl_sort_type";
constexpr std::u16string_view kReady = u"已就绪";
constexpr std::u16string_view kDeleteCaption = u"删除确认";

const std::u16string* IdOf(const Element* element) {
    return element ? element->GetAttribute("id") : nullptr;
}

void PostClick(Element* button) {
    if (button != nullptr) {
        if (EventDispatcher* events = EventDispatcher::Of(*button)) {
            events->PostEvent(*button, BUTTON_CLICK);
        }
    }
}

std::u16string DeleteQuestion(std::size_t count, bool viewer) {
    if (count != 1) {
        char text[96];
        std::snprintf(text, sizeof text, "确定要删除所选的%u张图片吗?",
                      static_cast<unsigned>(count));
        return FromUtf8(text);
    }
    return viewer ? u"确定要删除这张图片吗?" : u"确定要删除所选的图片吗?";
}

}  // namespace

PhotoPane::PhotoPane(Element& root, HWND window, ItemList& items, MarkedSet& marked,
                     UploadedRegistry& registry, Hooks hooks)
    : root_(root),
      window_(window),
      items_(items),
      marked_(marked),
      registry_(registry),
      hooks_(std::move(hooks)),
      grid_(root, items, marked, versions_),
      viewer_(root, window, versions_) {
    (void)ImgDetailBehavior::Instance();
    if (!hooks_.ask) {
        hooks_.ask = [window](std::u16string_view text, std::u16string_view caption) {
            return HskMessageBox(text, caption, MB_HSK_OK | MB_HSK_CANCEL, window);
        };
    }
    viewer_.Hide();
    grid_.ShowMarkCount();
}

bool PhotoPane::OnWindowMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_CLEAR_GRID:
            grid_.Clear();
            if (Element* status = Find(u"hsk_st")) {
                status->SetInnerText(kReady);
            }
            return true;
        case WM_BUILD_GRID:
            BuildGrid();
            return true;
        case WM_THUMBNAIL_READY:
            if (auto* item = reinterpret_cast<PictureItem*>(wParam)) {
                grid_.ThumbnailArrived(*item);
            }
            return true;
        case WM_TIMER:
            if (wParam == THUMB_RESUME_TIMER) {
                KillTimer(window_, THUMB_RESUME_TIMER);
                PauseThumbnails(true);
                return true;
            }
            if (wParam == DETAIL_HINT_TIMER) {
                viewer_.HintTimeout();
                return true;
            }
            return false;
        case WM_SIZE:
            viewer_.Relayout();
            if (Element* grid = grid_.GridElement()) {
                if (EventDispatcher* events = EventDispatcher::Of(*grid)) {
                    events->PostEvent(*grid, GRID_SCROLLED_EVENT);
                }
            }
            return false;
        default:
            return false;
    }
}

bool PhotoPane::OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                                std::uintptr_t reason) {
    switch (code) {
        case BUTTON_CLICK:
            if (HasId(target, u"btn_atcw")) {
                RotateTargets(true);
            } else if (HasId(target, u"btn_cw")) {
                RotateTargets(false);
            } else if (HasId(target, u"btn_delete")) {
                DeleteTargets();
            } else if (HasId(target, u"btn_mark")) {
                MarkTargets();
            } else if (HasId(target, u"idt_btn_close")) {
                CloseDetail();
            } else if (HasId(target, u"dtl_prev") || HasId(target, u"dtl_next")) {
                viewer_.Step(HasId(target, u"dtl_next"));
                StatusChanged();
            } else {
                return false;
            }
            return true;
        case BUTTON_STATE_CHANGED:
            if (!HasId(element, u"img_size")) {
                return false;
            }
            Zoom();
            return true;
        case MENU_ITEM_CLICK:
            if (element == nullptr || element->Parent() == nullptr) {
                return false;
            }
            if (HasId(element->Parent(), u"sort_menu")) {
                ChangeSort(*element);
                return true;
            }
            if (HasId(element->Parent(), u"pl_cmenu")) {
                ContextMenuCommand(*element);
            }
            return false;
        case CONTEXT_MENU_SETUP:
            if (HasId(target, u"photo_list") && element != nullptr) {
                SetUpContextMenu(*element);
            }
            return false;
        case GRID_SCROLLED_EVENT:
            ArmThumbResume();
            return true;
        case SHOW_DETAIL_EVENT:
            if (element != nullptr && element->Parent() == grid_.GridElement() &&
                element->Index() >= 0) {
                viewer_.Open(static_cast<std::size_t>(element->Index()));
                StatusChanged();
            }
            return true;
        case DETAIL_STEP_EVENT:
            viewer_.Step(reason != kStepPrevious);
            StatusChanged();
            return true;
        default:
            return false;
    }
}

Element* PhotoPane::DetailCell() const {
    Element* grid = grid_.GridElement();
    if (!viewer_.IsShown() || grid == nullptr || viewer_.Index() < 0) {
        return nullptr;
    }
    return grid->Child(static_cast<std::size_t>(viewer_.Index()));
}

std::vector<ElementRef> PhotoPane::Targets() const {
    std::vector<ElementRef> cells;
    if (viewer_.IsShown()) {
        if (Element* cell = DetailCell()) {
            cells.emplace_back(cell);
        }
        return cells;
    }
    if (Element* grid = grid_.GridElement()) {
        for (std::size_t i = 0; i < grid->ChildCount(); ++i) {
            if (IsCellSelected(*grid->Child(i))) {
                cells.emplace_back(grid->Child(i));
            }
        }
    }
    return cells;
}

void PhotoPane::BuildGrid() {
    grid_.Build(hooks_.sortType ? hooks_.sortType() : 0);
    grid_.SetEmptyState(ShownView());
    PauseThumbnails(true);
}

std::u16string_view PhotoPane::ShownView() const {
    const auto chosen = [this](std::u16string_view entry) {
        Element* element = Find(entry);
        Element* caption = element ? element->FindFirst(".cp") : nullptr;
        const std::u16string* sel = caption ? caption->GetAttribute("sel") : nullptr;
        return sel != nullptr && *sel == u"true";
    };
    if (chosen(u"op_mark")) {
        return u"marked";
    }
    return chosen(u"op_uped") ? u"uploaded" : u"folder";
}

void PhotoPane::JumpDetail(bool toLast) {
    if (!viewer_.IsShown()) {
        return;
    }
    const Element* grid = grid_.GridElement();
    const std::size_t count = grid ? grid->ChildCount() : 0;
    viewer_.JumpTo(toLast && count > 0 ? count - 1 : 0);
    StatusChanged();
}

void PhotoPane::CloseDetail() {
    // The picture last viewed is where the user comes back to in the grid.
    if (Element* cell = DetailCell()) {
        grid_.SelectOnly(*cell);
    }
    viewer_.Hide();
    StatusChanged();
}

void PhotoPane::StatusChanged() {
    if (hooks_.selectionChanged) {
        hooks_.selectionChanged();
    }
}

void PhotoPane::PauseThumbnails(bool resume) {
    if (hooks_.pauseThumbnails) {
        hooks_.pauseThumbnails(resume);
    }
}

void PhotoPane::Zoom() {
    Element* zoom = Find(u"img_size");
    ControlValue value;
    if (zoom == nullptr || !ControlGetValue(*zoom, &value)) {
        return;
    }
    std::optional<int> side;
    if (const int* number = value.Int()) {
        side = *number;
    } else if (const std::u16string* text = value.String()) {
        side = ParseInt(*text);
    }
    if (!side || *side < 1) {
        return;
    }
    grid_.Zoom(*side);
    ArmThumbResume();
}

void PhotoPane::MarkTargets() {
    for (const ElementRef& cell : Targets()) {
        grid_.ToggleMark(*cell);
    }
}

void PhotoPane::RotateTargets(bool left) {
    const std::vector<ElementRef> cells = Targets();
    if (cells.empty()) {
        return;
    }
    // The worker writes the items' thumbnails too: it rests while pictures are turned.
    PauseThumbnails(false);
    for (const ElementRef& cell : cells) {
        PictureItem* item = grid_.ItemOf(*cell);
        if (item == nullptr) {
            continue;
        }
        RotatePicture(*item, left ? RotateDirection::Left : RotateDirection::Right);
        versions_.Bump(item->path);
        item->made = true;
        grid_.ThumbnailArrived(*item);
    }
    if (viewer_.IsShown() && viewer_.ShowCell(static_cast<std::size_t>(viewer_.Index()))) {
        viewer_.LayOut();
    }
    PauseThumbnails(true);
    // The status line shows the turned picture's new size and length.
    StatusChanged();
}

void PhotoPane::DeleteTargets() {
    const bool inViewer = viewer_.IsShown();
    const std::vector<ElementRef> cells = Targets();
    if (cells.empty()) {
        return;
    }
    if (hooks_.ask(DeleteQuestion(cells.size(), inViewer), kDeleteCaption) != MB_HSK_OK) {
        return;
    }
    PauseThumbnails(false);
    for (const ElementRef& cell : cells) {
        const std::u16string* stored = cell->GetAttribute("path");
        if (stored == nullptr) {
            continue;
        }
        const std::u16string path = *stored;
        if (cell->FindFirst("p.mark") != nullptr) {
            grid_.ToggleMark(*cell);
        }
        if (cell->FindFirst("p.uped") != nullptr) {
            registry_.Remove(path);
        }
        const std::u16string real = ExpandPath(path);
        if (real.empty() || MoveToTrash(Utf8(real)) == TrashResult::Failed) {
            continue;
        }
        if (PictureItem* item = grid_.ItemOf(*cell)) {
            grid_.Remove(*item);
        } else {
            cell->Detach();
        }
    }
    if (hooks_.setSelectedFolderCount) {
        Element* grid = grid_.GridElement();
        hooks_.setSelectedFolderCount(grid ? static_cast<unsigned>(grid->ChildCount()) : 0);
    }
    if (inViewer) {
        viewer_.AfterDelete();
    }
    PauseThumbnails(true);
    StatusChanged();
}

void PhotoPane::ChangeSort(Element& item) {
    if (Element* menu = item.Parent()) {
        if (Element* old = menu->FindFirst("li[sel=\"true\"]")) {
            old->SetAttribute("sel", std::nullopt);
        }
    }
    item.SetAttribute("sel", u"true");
    const std::u16string* type = item.GetAttribute("sort_type");
    const int sortType = type ? ParseInt(*type).value_or(0) : 0;
    if (hooks_.setSortType) {
        hooks_.setSortType(sortType);
    }
    SettingsStore::Set(SettingsFilePath(), kSortKey, FromUtf8(std::to_string(sortType)));
    if ((hooks_.searchOrListingRunning && hooks_.searchOrListingRunning()) || sortType == 0) {
        return;
    }
    PauseThumbnails(false);
    grid_.Build(sortType);
    PauseThumbnails(true);
}

void PhotoPane::SetUpContextMenu(Element& menu) {
    Element* grid = grid_.GridElement();
    const bool cellSelected =
        grid != nullptr && grid->FindFirst("div.loc[sel=\"true\"]") != nullptr;
    Element* tree = Find(u"tree_view");
    const bool folderSelected = tree != nullptr && tree->FindFirst(".cp[sel=\"true\"]") != nullptr;
    for (const std::u16string_view id :
         {u"plmu_upload", u"plmu_mark", u"plmu_turn_left", u"plmu_turn_right", u"plmu_remove"}) {
        if (Element* item = menu.FindById(id)) {
            item->SetEnabled(cellSelected);
        }
    }
    if (Element* item = menu.FindById(u"plmu_browser")) {
        item->SetEnabled(cellSelected || folderSelected);
    }
}

void PhotoPane::ContextMenuCommand(Element& item) {
    const std::u16string* id = IdOf(&item);
    if (id == nullptr) {
        return;
    }
    static constexpr std::pair<std::u16string_view, std::u16string_view> kRepeats[] = {
        {u"plmu_upload", u"btn_upload"},  {u"plmu_mark", u"btn_mark"},
        {u"plmu_turn_left", u"btn_atcw"}, {u"plmu_turn_right", u"btn_cw"},
        {u"plmu_remove", u"btn_delete"},
    };
    for (const auto& [entry, button] : kRepeats) {
        if (*id == entry) {
            PostClick(Find(button));
            return;
        }
    }
    if (*id != u"plmu_browser") {
        return;
    }
    std::u16string path;
    if (Element* grid = grid_.GridElement()) {
        if (Element* cell = grid->FindFirst("div.loc[sel=\"true\"]")) {
            path = cell->GetAttribute("path") ? *cell->GetAttribute("path") : u"";
        }
    }
    if (path.empty()) {
        if (Element* tree = Find(u"tree_view")) {
            if (Element* caption = tree->FindFirst(".cp[sel=\"true\"]");
                caption && caption->Parent()) {
                const std::u16string* folder = caption->Parent()->GetAttribute("path");
                path = folder ? *folder : u"";
            }
        }
    }
    if (!path.empty()) {
        ShowInExplorer(path);
    }
}

void PhotoPane::ArmThumbResume() {
    SetTimer(window_, THUMB_RESUME_TIMER, kThumbResumeDelayMs);
}

}  // namespace tavopix

#include "mainframe/FolderPane.h"

#include <utility>

#include "app/AppContext.h"
#include "app/PathTokens.h"
#include "app/SettingsFile.h"
#include "app/SettingsStore.h"
#include "engine/Element.h"
#include "engine/EventCodes.h"
#include "library/LibraryMessages.h"
#include "library/data/FolderResult.h"
#include "library/dialogs/SetDirDlg.h"
#include "library/views/FolderViewBehavior.h"
#include "platform/MessageQueue.h"
#include "platform/Window.h"

namespace tavopix {
namespace {

constexpr std::u16string_view kListViewKey = u"tree_view_list";

void SetSelected(const ElementRef& element, bool selected) {
    if (element) {
        element->SetAttribute(
            "sel", selected ? std::optional<std::u16string_view>(u"true") : std::nullopt);
    }
}

}  // namespace

FolderPane::FolderPane(HWND window, ItemList& items, const MarkedSet& marked,
                       const UploadedRegistry& registry, Hooks hooks)
    : window_(window),
      items_(items),
      hooks_(std::move(hooks)),
      folders_(DataFile(kFolderListFileName)),
      // While a listing fills the item list the worker stays paused: a scroll or a resize
      // meanwhile must not send it walking a list that another thread is appending to.
      thumbnails_(window, items,
                  [this](std::size_t& first, std::size_t& last) {
                      return !listing_.Running() && hooks_.visibleRange &&
                             hooks_.visibleRange(first, last);
                  }),
      results_(FolderResultFeed::Setup{
          window,
          [this](const FolderResult& result) { AddFolderResult(result.path, result.count); },
          // The open folder's count goes in at once: the grid shows that folder, and a delete
          // there sets its count, which an older one applied later would undo.
          [this](const FolderResult& result) {
              return !currentFolder_.empty() && result.path == currentFolder_;
          }}),
      search_(PictureSearch::Setup{
          window, DataFile(kFolderListFileName), DataFile(kPictureFilterFileName), &filter_,
          [this] { return listing_.Running(); }, [this] { return thumbnails_.IsWorking(); }}),
      listing_(FolderListing::Setup{window, &items, &folders_, &filter_, &marked, &registry,
                                    [this] { return listView_.load(); },
                                    [this] { thumbnails_.Pause(ThumbResume::No); }}) {
    // The tree's behaviour is registered before the page names it.
    static_cast<void>(FolderViewBehavior::Instance());
}

FolderPane::~FolderPane() = default;

std::u16string FolderPane::DataFile(std::u16string_view name) const {
    return appContext.programDir + std::u16string(name);
}

void FolderPane::Create(Element& root) {
    root_ = ElementRef(&root);
    tree_.Bind(root.FindById(u"tree_view"));
    viewList_ = ElementRef(root.FindById(u"btn_view_list"));
    viewTree_ = ElementRef(root.FindById(u"btn_view_tree"));
    setDir_ = ElementRef(root.FindById(u"btn_set_dir"));

    std::u16string setting;
    const bool list =
        SettingsStore::Get(SettingsFilePath(), kListViewKey, setting) && setting == u"true";
    listView_ = list;
    tree_.SetPresentation(list ? FolderPresentation::List : FolderPresentation::Tree);
    SetSelected(viewList_, list);
    SetSelected(viewTree_, !list);

    PictureFilter filter;
    if (!LoadPictureFilter(DataFile(kPictureFilterFileName), filter)) {
        filter = kStartPictureFilter;
        static_cast<void>(SavePictureFilter(DataFile(kPictureFilterFileName), filter));
    }
    filter_.Set(filter);
    folders_.Load();
}

void FolderPane::Start() {
    if (tree_.LoadCache(DataFile(kSearchPathCacheFileName))) {
        PostMessage(window_, WM_CACHE_LOADED, 0, 0);
    } else {
        StartSearch();
    }
    thumbnails_.Start();
}

void FolderPane::Close() {
    if (!search_.Running()) {
        // A search that ended has all it found in the tree before the cache is written from it.
        results_.ApplyAll();
        static_cast<void>(tree_.SaveCache(DataFile(kSearchPathCacheFileName)));
    }
    StopSearch();
    listing_.Stop();
    thumbnails_.Pause(ThumbResume::No);
    thumbnails_.Stop();
}

bool FolderPane::StartSearch() {
    StopSearch();
    return search_.Start();
}

void FolderPane::StopSearch() {
    search_.Stop();
    results_.Drop();
}

bool FolderPane::SearchUnfinished() const {
    MSG msg;
    return search_.Running() || results_.DoneWaiting() ||
           PeekMessage(&msg, window_, WM_SEARCH_DONE, WM_SEARCH_DONE, PM_NOREMOVE);
}

void FolderPane::Research() {
    tree_.Clear();
    StartSearch();
}

bool FolderPane::RunFolderDialog() {
    CSetDirDlg dialog(folders_, window_);
    return dialog.Run(SW_SHOWNORMAL) == FRAME_RESULT_OK;
}

std::u16string FolderPane::SelectedFolder() const {
    const Element* tree = tree_.TreeView();
    const Element* span = tree != nullptr ? tree->FindFirst(".cp[sel=\"true\"]") : nullptr;
    const Element* caption = span != nullptr ? span->Parent() : nullptr;
    const std::u16string* path = caption != nullptr ? caption->GetAttribute("path") : nullptr;
    return path != nullptr ? *path : std::u16string();
}

void FolderPane::AddFolderResult(const std::u16string& path, unsigned count) {
    tree_.AddFolderResult(path, count);
    if (!reselectFolder_.empty() && path == reselectFolder_) {
        Reselect();
    }
}

// After the tree was rebuilt in the other presentation, the folder that was selected before
// is selected again as soon as its node exists.
void FolderPane::Reselect() {
    Element* node = tree_.NodeOf(reselectFolder_);
    Element* span = node != nullptr ? node->FindFirst(".cp") : nullptr;
    if (span == nullptr) {
        return;
    }
    if (Element* old = tree_.TreeView()->FindFirst(".cp[sel=\"true\"]"); old && old != span) {
        old->SetAttribute("sel", std::nullopt);
    }
    span->SetAttribute("sel", u"true");
    reselectFolder_.clear();
}

bool FolderPane::OnWindowMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_SEARCH_NEEDS_FOLDERS:
            RunFolderDialog();
            search_.EndWaitingForFolders();
            return true;
        case WM_FOLDER_RESULT:
            results_.OnFolderResult(wParam);
            return true;
        case WM_TIMER:
            return results_.OnTimer(wParam);
        case WM_SEARCH_DONE:
            // The cache is written whole: after the last of the search's results is applied.
            results_.WhenApplied(
                [this] { static_cast<void>(tree_.SaveCache(DataFile(kSearchPathCacheFileName))); });
            return true;
        case WM_CACHE_LOADED:
            return true;
        default:
            return false;
    }
}

void FolderPane::SwitchView(bool list) {
    // A search whose results are still coming in starts over in the new presentation; results
    // of anything else are dropped with the tree, which the cache rebuilds.
    const bool searching = SearchUnfinished();
    results_.Drop();
    listView_ = list;
    SetSelected(viewList_, list);
    SetSelected(viewTree_, !list);
    SettingsStore::Set(SettingsFilePath(), kListViewKey, list ? u"true" : u"false");
    reselectFolder_ = SelectedFolder();
    tree_.Clear();
    tree_.SetPresentation(list ? FolderPresentation::List : FolderPresentation::Tree);
    if (searching || !tree_.LoadCache(DataFile(kSearchPathCacheFileName))) {
        StartSearch();
    } else if (!reselectFolder_.empty()) {
        Reselect();
    }
}

void FolderPane::OpenFolder(Element& span) {
    if (Element* root = root_.get()) {
        for (const std::u16string_view id : {u"op_uped", u"op_mark"}) {
            if (Element* entry = root->FindById(id)) {
                if (Element* cp = entry->FindFirst(".cp")) {
                    cp->SetAttribute("sel", std::nullopt);
                }
            }
        }
    }
    const Element* caption = span.Parent();
    const std::u16string* path = caption != nullptr ? caption->GetAttribute("path") : nullptr;
    if (path == nullptr) {
        return;
    }
    if (*path == currentFolder_ && !search_.Started()) {
        return;
    }
    search_.ClearStarted();
    currentFolder_ = *path;
    // Starting the listing stops the one before, which drops every queued folder result: the
    // search's are taken first.
    results_.TakeQueued();
    listing_.Start(currentFolder_);
    if (hooks_.hideDetail) {
        hooks_.hideDetail();
    }
}

void FolderPane::SetUpContextMenu(Element& menu) {
    const bool selected = !SelectedFolder().empty();
    for (const auto& [id, enabled] :
         {std::pair<std::u16string_view, bool>{u"tvmu_upload", selected},
          {u"tvmu_browser", selected},
          {u"tvmu_stop", search_.Running()}}) {
        if (Element* item = menu.FindById(id)) {
            item->SetEnabled(enabled);
        }
    }
}

bool FolderPane::OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                                 std::uintptr_t) {
    switch (code) {
        case BUTTON_CLICK:
            if (target == nullptr) {
                return false;
            }
            if (target == setDir_.get()) {
                if (RunFolderDialog()) {
                    Research();
                }
                return true;
            }
            if (target == viewList_.get() || target == viewTree_.get()) {
                const bool list = target == viewList_.get();
                if (list != listView_) {
                    SwitchView(list);
                }
                return true;
            }
            return false;
        case FOLDER_OPENED_EVENT: {
            Element* tree = tree_.TreeView();
            if (target == nullptr || tree == nullptr || !tree->Contains(*target)) {
                return false;
            }
            // Raised for the tree itself (after a folder upload), it lists the selected
            // folder again so the grid shows the new uploaded flags.
            Element* span = target == tree ? tree->FindFirst(".cp[sel=\"true\"]") : target;
            if (span != nullptr) {
                OpenFolder(*span);
            }
            return true;
        }
        case SELECT_STATE_CHANGED: {
            Element* tree = tree_.TreeView();
            if (target == nullptr || tree == nullptr || !tree->Contains(*target)) {
                return false;
            }
            if (target->HasState(STATE_EXPANDED)) {
                tree_.BuildHeldFolders(*target);
            }
            return true;
        }
        case MENU_ITEM_CLICK:
            if (element == nullptr || !HasId(element->Parent(), u"tv_cmenu")) {
                return false;
            }
            if (HasId(element, u"tvmu_browser")) {
                ShowInExplorer(SelectedFolder());
            } else if (HasId(element, u"tvmu_refresh")) {
                Research();
            } else if (HasId(element, u"tvmu_stop")) {
                StopSearch();
            }
            return false;
        case CONTEXT_MENU_SETUP:
            if (target != nullptr && target == tree_.TreeView() && element != nullptr) {
                SetUpContextMenu(*element);
            }
            return false;
        default:
            return false;
    }
}

}  // namespace tavopix

// The main window's left pane: the folder tree with its two presentations, the button that
// opens the folder dialog, the tree's context menu, and the workers behind them — the picture
// search that fills the tree, the listing of the folder the user opens, and the thumbnail worker
// of the grid. CMainFrame owns one and hands it the window messages and page events that belong
// to the pane; each hook returns true when it handled what it was given. UI thread only.
//
// The pane owns the chosen folders (SetPathCfg.dat), the picture filter in force
// (ImgFilterCfg.dat), the tree and its cache (searchPathCache.dat); the item list, the marked
// set and the registry are the window's.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/ElementRef.h"
#include "library/data/FolderList.h"
#include "library/data/SharedPictureFilter.h"
#include "library/views/FolderTree.h"
#include "library/workers/FolderListing.h"
#include "library/workers/FolderResultFeed.h"
#include "library/workers/PictureSearch.h"
#include "library/workers/ThumbnailWorker.h"
#include "platform/WinTypes.h"
#include "platform/WindowHandle.h"

namespace tavopix {

class Element;
class ItemList;
class MarkedSet;
class UploadedRegistry;

class FolderPane {
public:
    struct Hooks {
        // The grid's visible item range for the thumbnail worker (the grid knows its geometry).
        ThumbnailWorker::RangeSource visibleRange;
        // A folder was opened: the detail viewer goes away.
        std::function<void()> hideDetail;
    };

    FolderPane(HWND window, ItemList& items, const MarkedSet& marked,
               const UploadedRegistry& registry, Hooks hooks);
    ~FolderPane();
    FolderPane(const FolderPane&) = delete;
    FolderPane& operator=(const FolderPane&) = delete;

    // At window creation, once the page is loaded: binds the pane's elements, takes the view
    // setting, loads the filter (writing the default when there is none) and the folders.
    void Create(Element& root);
    // After the registry is loaded: the tree from the cache, or a search when there is none;
    // then the thumbnail worker.
    void Start();
    // At WM_CLOSE, before the window goes: saves the cache unless a search runs, then stops the
    // search, the listing and the thumbnail worker.
    void Close();

    // The search's messages (folder request, folder results, end), the timer of the next slice
    // of results, and the cache's end message.
    bool OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The pane's buttons, the folder-open event, the tree's context menu and its set-up.
    bool OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                         std::uintptr_t reason);

    ThumbnailWorker& Thumbnails() { return thumbnails_; }
    FolderTree& Tree() { return tree_; }
    FolderList& Folders() { return folders_; }
    PictureFilter Filter() const { return filter_.Get(); }
    bool SearchRunning() const { return search_.Running(); }
    bool ListingRunning() const { return listing_.Running(); }
    // The marked and uploaded views fill the item list themselves: they stop a listing first
    // and leave no folder current.
    void StopListing() { listing_.Stop(); }
    void ForgetCurrentFolder() { currentFolder_.clear(); }
    const std::u16string& CurrentFolder() const { return currentFolder_; }
    // The stored path of the folder selected in the tree; empty when none is.
    std::u16string SelectedFolder() const;

    bool StartSearch();
    // Ends the search and drops its results, queued or waiting to be applied.
    void StopSearch();
    // Empties the tree and searches again (after the folder dialog, "tvmu_refresh").
    void Research();
    // Runs the folder dialog; true when it ended with OK.
    bool RunFolderDialog();

private:
    // The search has not yet put all it found into the tree: it runs, or its end message waits
    // in the queue or for the last results to be applied.
    bool SearchUnfinished() const;
    void SwitchView(bool list);
    void OpenFolder(Element& span);
    void SetUpContextMenu(Element& menu);
    void AddFolderResult(const std::u16string& path, unsigned count);
    void Reselect();
    std::u16string DataFile(std::u16string_view name) const;

    HWND window_;
    ItemList& items_;
    Hooks hooks_;
    FolderList folders_;
    SharedPictureFilter filter_;
    FolderTree tree_;
    std::atomic<bool> listView_{false};
    std::u16string currentFolder_;
    std::u16string reselectFolder_;
    ElementRef root_;
    ElementRef viewList_;
    ElementRef viewTree_;
    ElementRef setDir_;
    ThumbnailWorker thumbnails_;
    FolderResultFeed results_;
    PictureSearch search_;
    FolderListing listing_;
};

}  // namespace tavopix

// The folder listing: a thread that lists the pictures directly in the folder the user opened
// into the main window's item list, for the grid. It runs between WM_CLEAR_GRID, sent before
// the thread exists (the item list is emptied and belongs to the thread from then on), and
// WM_BUILD_GRID, posted at its end together with the folder's WM_FOLDER_RESULT.
//
// In the tree view only folders at or below a chosen folder are listed; the list view lists
// whatever folder it shows. Start and Stop run on the UI thread.
#pragma once

#include <functional>
#include <string>

#include "platform/StoppableWorker.h"
#include "platform/WindowHandle.h"

namespace tavopix {

class FolderList;
class ItemList;
class MarkedSet;
class SharedPictureFilter;
class UploadedRegistry;

class FolderListing {
public:
    struct Setup {
        HWND window = nullptr;
        ItemList* items = nullptr;
        const FolderList* folders = nullptr;
        const SharedPictureFilter* filter = nullptr;
        const MarkedSet* marked = nullptr;
        const UploadedRegistry* registry = nullptr;
        // True while the folder tree is shown as a flat list (any folder may be listed).
        std::function<bool()> listView;
        // Pauses the thumbnail worker, without restarting it, before the item list changes.
        std::function<void()> pauseThumbnails;
    };

    explicit FolderListing(Setup setup);
    ~FolderListing();
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;

    // Stops a running listing, empties the grid and lists `folder` (a stored path). False when
    // the thread cannot be created.
    bool Start(std::u16string folder);
    // Asks the thread to end, waits for it and drops its queued result and build message.
    void Stop();
    bool Running() const { return worker_.Running(); }

private:
    void Run(std::u16string folder);

    Setup setup_;
    StoppableWorker worker_;
};

}  // namespace tavopix

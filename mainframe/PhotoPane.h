// The main window's right pane: the photo grid with its toolbar (zoom, rotate, mark, delete,
// sort), the grid's context menu and the detail viewer. CMainFrame owns one and hands it the
// window messages and page events that belong to the pane; each hook returns true when it
// handled what it was given.
//
// The pane works on the main window's ItemList, MarkedSet and UploadedRegistry; the thumbnail
// worker, the folder tree, the sort order and the status line belong to the window and are
// reached through Hooks. UI thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "library/data/ItemList.h"
#include "library/data/MarkedSet.h"
#include "library/data/PictureVersions.h"
#include "library/data/UploadedRegistry.h"
#include "library/views/DetailViewer.h"
#include "library/views/PhotoGrid.h"
#include "platform/WinTypes.h"
#include "platform/WindowHandle.h"

namespace tavopix {

class PhotoPane {
public:
    struct Hooks {
        // Pauses the thumbnail worker and, with `resume`, starts it over on the cells in view.
        std::function<void(bool resume)> pauseThumbnails;
        // The folder selected in the tree now holds `count` pictures directly.
        std::function<void(unsigned count)> setSelectedFolderCount;
        // True while the folder search or a folder listing runs (the grid is then not re-sorted).
        std::function<bool()> searchOrListingRunning;
        // The window's sort order (0-8), and its change by the sort menu.
        std::function<int()> sortType;
        std::function<void(int)> setSortType;
        // The status line's subject changed without a grid event (a delete, a rotation, the
        // viewer's picture): the status line follows.
        std::function<void()> selectionChanged;
        // Asks the user a delete question; returns the pressed button (16: 确定). The message box
        // by default.
        std::function<int(std::u16string_view text, std::u16string_view caption)> ask;
    };

    // `root` is the main window's page, `window` the main window.
    PhotoPane(Element& root, HWND window, ItemList& items, MarkedSet& marked,
              UploadedRegistry& registry, Hooks hooks);

    // The messages of the grid (clear, build, thumbnail ready), its timers, and the window's
    // size change (looked at, never handled).
    bool OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The pane's buttons, zoom, menus and the grid's and viewer's events.
    bool OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                         std::uintptr_t reason);

    int ThumbSize() const { return grid_.Side(); }
    bool DetailShown() const { return viewer_.IsShown(); }
    // The cell the viewer shows; null when it is hidden.
    Element* DetailCell() const;
    void HideDetail() { viewer_.Hide(); }
    // The viewer shows the first or the last picture at once (Home and End).
    void JumpDetail(bool toLast);
    // The item indexes in view for the thumbnail worker; false when the list is empty.
    bool VisibleRange(std::size_t& first, std::size_t& last) const {
        return grid_.VisibleRange(first, last);
    }
    PhotoGrid& Grid() { return grid_; }
    DetailViewer& Viewer() { return viewer_; }

private:
    Element* Find(std::u16string_view id) const { return root_.FindById(id); }
    // The cells a command works on: the selected ones, or the viewer's picture when it is shown.
    std::vector<ElementRef> Targets() const;
    void BuildGrid();
    // "marked" or "uploaded" when the left pane has that view chosen, else "folder".
    std::u16string_view ShownView() const;
    // The viewer closes with its picture selected in the grid.
    void CloseDetail();
    void StatusChanged();
    void Zoom();
    void MarkTargets();
    void RotateTargets(bool left);
    void DeleteTargets();
    void ChangeSort(Element& item);
    void SetUpContextMenu(Element& menu);
    void ContextMenuCommand(Element& item);
    void ArmThumbResume();
    void PauseThumbnails(bool resume);

    Element& root_;
    HWND window_;
    ItemList& items_;
    MarkedSet& marked_;
    UploadedRegistry& registry_;
    Hooks hooks_;
    PictureVersions versions_;
    PhotoGrid grid_;
    DetailViewer viewer_;
};

}  // namespace tavopix

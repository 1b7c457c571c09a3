// CMainFrame: the program's main window, "mainframe.htm". It owns the photo library's shared
// state (the picture list of the grid, the marked set, the uploaded-picture registry) and hands
// the page's events and the workers' messages to the panes that do the work: the folder pane on
// the left (tree, search, listing, thumbnail worker), the photo pane on the right (grid, viewer,
// marks, rotation, deletion, sorting) and the main menu. What belongs to the window as a whole
// stays here: its size, the order of work at creation and at closing, the splitter, the marked
// and uploaded views, the upload commands, the status line and the keyboard.
//
// Closing it ends the program: the workers are stopped before the window goes, so none of them
// posts to a destroyed window.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "library/data/ItemList.h"
#include "library/data/MarkedSet.h"
#include "library/data/UploadedRegistry.h"
#include "mainframe/MainMenu.h"
#include "ui/HskFrame.h"
#include "update/SilentUpdateCheck.h"

namespace tavopix {

class FolderPane;
class PhotoPane;

class CMainFrame : public CHskFrame {
public:
    // The main window's largest initial size, and its smallest size.
    static constexpr int kMaxInitialWidth = 1600;
    static constexpr int kMaxInitialHeight = 1200;
    static constexpr int kMinWidth = 800;
    static constexpr int kMinHeight = 600;
    // The splitter never makes the left pane narrower than this (the bar's x position).
    static constexpr int kSplitterFloor = 180;

    // The window's first size on a work area of `workWidth` × `workHeight`: three quarters of
    // each, at most kMaxInitialWidth × kMaxInitialHeight. Start-up sizes the browser's app
    // window by it too, since that window is the main window.
    static POINT InitialSize(int workWidth, int workHeight);

    CMainFrame();
    ~CMainFrame() override;

    int Create() override;
    LRESULT OnWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                            bool& handled) override;
    std::vector<const Element*> ClientPartsInCaption() const override {
        return {menuButton_.get()};
    }
    // The main window is the browser window itself.
    bool FillsView() const override { return true; }
    bool OnMouse(Element& he, MouseParams& params) override;
    bool OnKey(Element& he, KeyParams& params) override;
    bool OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                         std::uintptr_t reason) override;

    // The state the panes share.
    ItemList& Items() { return items_; }
    MarkedSet& Marked() { return marked_; }
    UploadedRegistry& Registry() { return registry_; }
    // The main menu, and through it the login (Menu().Session()).
    MainMenu& Menu() { return mainMenu_; }
    int SortType() const { return sortType_; }
    void SetSortType(int sortType) { sortType_ = sortType; }

    // The status line from the grid's selection: one picture's facts, the number chosen, or
    // "已就绪".
    void UpdateStatusLine();

    // The grid shows the marked pictures, or the uploaded ones; a running folder listing is
    // stopped first, since it fills the same list.
    void ShowMarkedView();
    void ShowUploadedView();

private:
    // Which left-pane entry a view belongs to.
    enum class SpecialView { Marked, Uploaded };
    void ShowSpecialView(SpecialView view);

    // "btn_upload": the selected pictures, or the viewer's; "tvmu_upload": the selected folder's.
    void UploadChosenPictures();
    void UploadSelectedFolder();
    // Login, album choice and the upload dialog for `paths`; true when the dialog ended with 1
    // and the registry was written.
    bool RunUpload(const std::vector<std::u16string>& paths);

    // The splitter between the left pane and the grid.
    bool OnSplitterMouse(const MouseParams& params);
    // Keys the window answers wherever the focus is: arrows and Enter in the grid, Escape in
    // the viewer, Delete, F5.
    bool OnShortcutKey(const KeyParams& params);
    // Moves the grid's single selection by `step` cells (a row is one column count away).
    void MoveGridSelection(int step);
    int GridColumns() const;

    ItemList items_;
    MarkedSet marked_;
    UploadedRegistry registry_;
    // Made once the page is loaded; the folder pane first, since the photo pane's hooks call it.
    std::unique_ptr<FolderPane> folderPane_;
    std::unique_ptr<PhotoPane> photoPane_;
    SilentUpdateCheck updateCheck_;
    MainMenu mainMenu_{*this};

    int sortType_ = 0;
    bool splitterDragging_ = false;

    ElementRef menuButton_;     // "hsk_btn_menu": clickable although it sits in the caption
    ElementRef photoList_;      // "photo_list"
    ElementRef imgDetail_;      // "img_detail"
    ElementRef statusLine_;     // "hsk_st"
    ElementRef splitterBar_;    // "hr_bar"
    ElementRef splitterMark_;   // "hr_mv"
    ElementRef sortMenu_;       // "sort_menu"
    ElementRef markedEntry_;    // "op_mark"
    ElementRef uploadedEntry_;  // "op_uped"
};

}  // namespace tavopix

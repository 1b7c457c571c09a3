// CSetDirDlg: the folder and filter settings dialog ("skin/setDirDlg.htm"). A check tree of the
// special folders and the drives, filled node by node by the enumeration worker as the user
// opens them, edits the main window's FolderList; the filter controls edit ImgFilterCfg.dat.
// OK walks the tree into the list, saves SetPathCfg.dat and the filter and closes with 1;
// Cancel closes with 2 and writes nothing.
#pragma once

#include <array>
#include <string>
#include <unordered_map>

#include "library/data/PictureFilter.h"
#include "library/workers/FolderEnumerator.h"
#include "ui/HskFrame.h"

namespace tavopix {

class FolderList;
struct FolderEntry;

class CSetDirDlg : public CHskFrame {
public:
    CSetDirDlg(FolderList& folders, HWND owner);
    ~CSetDirDlg() override;

    int Create() override;
    LRESULT OnWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                            bool& handled) override;
    bool OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                         std::uintptr_t reason) override;
    EventHandler* OnAttachBehavior(std::string_view name) override;

private:
    void BindControls();
    void ShowFilter();
    void StartWorker(Element& node, std::u16string path);
    void StopWorker();
    void InsertNode(const FolderEntry& entry);
    void ShowWorkerState();
    void FilterBoxChanged(const Element& box);
    void Confirm();
    bool WalkTree(const Element& parent);
    bool Checked(const ElementRef& box) const;
    void Fail(std::u16string_view text);

    FolderList& folders_;
    std::unique_ptr<FolderEnumerator> worker_;
    ElementRef tree_;
    ElementRef ok_;
    ElementRef cancel_;
    ElementRef typeAll_;
    std::array<ElementRef, 4> types_;  // jpg, gif, png, bmp
    ElementRef sizeAll_;
    std::array<ElementRef, 3> sizes_;  // small, middle, large
    ElementRef ageFilter_;
    ElementRef dayCount_;
    PictureFilter filter_{};
    // The node each worker run fills, by the run's generation; a stopped run's entry goes, so
    // what it posted late is dropped rather than put under another node.
    unsigned generation_ = 0;
    std::unordered_map<unsigned, ElementRef> filling_;
};

}  // namespace tavopix

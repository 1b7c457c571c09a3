// The picture detail viewer: one picture of the grid shown large over the grid area
// ("right_top"), with its name and a line of facts, stepped through by cell index with a hint at
// either end after which the next step wraps around. The page element is "img_detail"; it is
// hidden exactly when its style "left" is "-10px".
//
// The viewer works on the cells of "photo_list" by index. Its hint timer is the window's
// DETAIL_HINT_TIMER; the window hands the timer back through HintTimeout. UI thread only.
#pragma once

#include <cstddef>
#include <string>

#include "engine/Element.h"
#include "library/data/PictureVersions.h"
#include "platform/WindowHandle.h"

namespace tavopix {

// The picture's place in the viewer's area: its shown size and its offset.
struct DetailFit {
    int width = 0;
    int height = 0;
    int left = 0;
    int top = 0;
};

// A w x h picture fitted into the area aw x ah (enlarged as well as reduced), centred, with the
// viewer's margins of 20 on the left and 15 at the top.
[[nodiscard]] DetailFit FitDetail(int w, int h, int aw, int ah);

// A w x h picture at its own size, centred in the area as FitDetail centres; fitted like a
// photo when it is larger than the area.
[[nodiscard]] DetailFit CentreDetail(int w, int h, int aw, int ah);

// The facts line: "尺寸： 640x480， 文件长度： 2.0KB， 修改时间： 2008-03-02 08:05:09".
[[nodiscard]] std::u16string DetailFacts(int width, int height, std::uint32_t length,
                                         std::uint64_t lastWriteTime);

class DetailViewer {
public:
    // `root` is the main window's page; `window` owns the hint timer; `versions` tells which
    // pictures were turned since the browser fetched them.
    DetailViewer(Element& root, HWND window, const PictureVersions& versions);

    bool IsShown() const;
    int Index() const { return index_; }

    // Shows the cell at `index` and lays the viewer out; false (nothing changes) when the cell's
    // file cannot be read.
    bool Open(std::size_t index);
    // Shows the cell at `index` (without laying out); false when its file's attributes cannot
    // be read.
    bool ShowCell(std::size_t index);
    // Sizes the viewer to "right_top" and fits the picture into it.
    void LayOut();
    void Hide();
    // Steps to the previous or the next cell (DETAIL_STEP_EVENT's reason).
    void Step(bool next);
    // Shows the cell at `index` (the last one when it lies beyond), with no end hint and no
    // wrap: the first or the last picture at once.
    void JumpTo(std::size_t index);
    // The hint's time is up: it goes.
    void HintTimeout();
    // The window changed its size: a shown viewer follows.
    void Relayout();
    // After cells were deleted: show the cell that took the index, the new last one, or hide
    // when none is left.
    void AfterDelete();

private:
    Element* Find(std::u16string_view id) const;
    std::size_t CellCount() const;
    void AddHint(std::u16string_view id);
    void ClearHints();
    // The move to `index` is made: any end hint goes, the cell is shown and laid out.
    void MovedTo(int index);

    Element& root_;
    HWND window_;
    const PictureVersions& versions_;
    int index_ = 0;
    bool firstHint_ = false;
    bool lastHint_ = false;
    unsigned bmpVersion_ = 0;
    bool errorPicture_ = false;  // the shown cell could not be decoded
};

}  // namespace tavopix

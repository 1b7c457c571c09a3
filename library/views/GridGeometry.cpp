#include "library/views/GridGeometry.h"

#include <algorithm>

#include "engine/Element.h"
#include "engine/controls/Control.h"
#include "library/views/GridCell.h"

namespace tavopix {

namespace {

// The largest grid a screen shows, for when the view cannot say how large it is.
constexpr int kUnansweredViewWidth = 3840;
constexpr int kUnansweredViewHeight = 2160;
// A cell's picture area sits inside its 1-pixel border and 3-pixel padding.
constexpr int kPictureInset = 4;

}  // namespace

GridGeometry::GridGeometry(int side, Rect view, Point scroll)
    : side_(side > 0 ? side : kDefaultThumbSize), view_(view), scroll_(scroll) {
    // A cell goes on a row when its margin box (the cell and the 10-pixel gap to its right)
    // still fits the content width.
    columns_ = static_cast<std::size_t>(std::max(1, (view_.Width() - kPadding.x) / Pitch()));
}

GridGeometry GridGeometry::Of(const Element& grid) {
    const std::u16string* sideText = grid.GetAttribute(kGridSideAttribute);
    const std::optional<int> side = sideText ? ParseInt(*sideText) : std::nullopt;
    const ScrollInfo scroll = grid.GetScrollInfo();
    if (scroll.viewRect.Width() <= 0 || scroll.viewRect.Height() <= 0) {
        return {side.value_or(kDefaultThumbSize),
                {0, 0, kUnansweredViewWidth, kUnansweredViewHeight},
                {}};
    }
    return {side.value_or(kDefaultThumbSize), scroll.viewRect, scroll.scrollPos};
}

int GridGeometry::Pitch() const {
    return side_ + kCellPitch;
}

Rect GridGeometry::CellBox(std::size_t index) const {
    const int column = static_cast<int>(index % columns_);
    const int row = static_cast<int>(index / columns_);
    const int left = view_.left + kPadding.x - scroll_.x + column * Pitch();
    const int top = view_.top + kPadding.y - scroll_.y + row * Pitch();
    return {left, top, left + side_ + kCellFrame, top + side_ + kCellFrame};
}

Rect GridGeometry::PictureArea(std::size_t index) const {
    const Rect cell = CellBox(index);
    return {cell.left + kPictureInset, cell.top + kPictureInset, cell.left + kPictureInset + side_,
            cell.top + kPictureInset + side_};
}

std::optional<IndexRange> GridGeometry::Rows(int top, int bottom, std::size_t count) const {
    const int firstTop = view_.top + kPadding.y - scroll_.y;
    if (count == 0 || bottom < top || bottom < firstTop) {
        return std::nullopt;
    }
    const std::size_t rows = (count + columns_ - 1) / columns_;
    // The first row whose cells reach down to `top`; the gap below a row is no part of it.
    const int aboveTop = top - firstTop - (side_ + kCellFrame - 1);
    const std::size_t firstRow =
        static_cast<std::size_t>(aboveTop <= 0 ? 0 : (aboveTop + Pitch() - 1) / Pitch());
    const std::size_t lastRow =
        std::min(rows - 1, static_cast<std::size_t>((bottom - firstTop) / Pitch()));
    if (firstRow > lastRow) {
        return std::nullopt;
    }
    return IndexRange{firstRow * columns_, std::min(count - 1, lastRow * columns_ + columns_ - 1)};
}

std::optional<IndexRange> GridGeometry::InView(std::size_t count) const {
    return Rows(view_.top, view_.bottom - 1 + 2 * Pitch(), count);
}

int GridGeometry::ScrollToShow(std::size_t index) const {
    const Rect box = CellBox(index);
    if (box.top < view_.top) {
        return scroll_.y - (view_.top - box.top);
    }
    if (box.bottom > view_.bottom) {
        return scroll_.y + (box.bottom - view_.bottom);
    }
    return scroll_.y;
}

}  // namespace tavopix

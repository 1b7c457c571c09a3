// Where the photo grid's cells are, from the layout's arithmetic alone: cells of S + 8 pixels
// square that repeat every S + 18 pixels (GridCell.h), wrapped into as many columns as the
// grid's content width holds, the first 13 pixels in from the grid's left and 1 pixel down (its
// padding, mainframe.css), moved up by the grid's scroll position.
//
// The only question to the view is the grid's own scroll information, so selection and
// navigation work the same on cells the browser holds and on cells it does not.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "engine/Geometry.h"

namespace tavopix {

class Element;

// The grid's attribute that carries the cell side S its cells are styled for.
inline constexpr std::string_view kGridSideAttribute = "side";

// Cell indexes from `first` to `last`, both included.
struct IndexRange {
    std::size_t first = 0;
    std::size_t last = 0;
    friend bool operator==(const IndexRange&, const IndexRange&) = default;
};

class GridGeometry {
public:
    // The grid's padding: where the first cell starts in its padding box.
    static constexpr Point kPadding{13, 1};

    // `view` is the grid's padding box (root-relative), `scroll` its content's scroll position.
    GridGeometry(int side, Rect view, Point scroll);
    // Of `grid` as the view shows it now, at the side the grid carries. A view that cannot
    // answer (the browser busy past the time-out) counts as the largest screen at the top, so
    // ranges cover at least every cell seen.
    [[nodiscard]] static GridGeometry Of(const Element& grid);

    int Side() const { return side_; }
    int Pitch() const;
    const Rect& View() const { return view_; }
    Point Scroll() const { return scroll_; }
    std::size_t Columns() const { return columns_; }

    // The cell's border box, root-relative.
    [[nodiscard]] Rect CellBox(std::size_t index) const;
    // The cell's S x S picture area (1 pixel of border and 3 of padding in), root-relative.
    [[nodiscard]] Rect PictureArea(std::size_t index) const;
    // The cells among `count` whose rows meet the rows from `top` to `bottom` (root-relative,
    // both included); nullopt when there are none.
    [[nodiscard]] std::optional<IndexRange> Rows(int top, int bottom, std::size_t count) const;
    // The cells among `count` in view, plus two rows below; nullopt when there are none.
    [[nodiscard]] std::optional<IndexRange> InView(std::size_t count) const;
    // The scroll position that shows the cell whole, moving as little as it must.
    [[nodiscard]] int ScrollToShow(std::size_t index) const;

private:
    int side_;
    Rect view_;
    Point scroll_;
    std::size_t columns_;
};

}  // namespace tavopix

// The photo grid "photo_list": one cell per item of the main window's ItemList, in list order,
// built empty and filled as the thumbnail worker hands items back; zoomed through the cell side
// S; marked through the MarkedSet.
//
// The grid remembers each item's cell. The item list is changed only while the thumbnail worker
// is paused (the caller's business); everything here runs on the UI thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "engine/Element.h"
#include "library/data/ItemList.h"
#include "library/data/MarkedSet.h"
#include "library/data/PictureVersions.h"

namespace tavopix {

class PhotoGrid {
public:
    // `root` is the main window's page, which holds "photo_list" and "op_mark".
    PhotoGrid(Element& root, ItemList& items, MarkedSet& marked, const PictureVersions& versions);

    int Side() const { return side_; }
    Element* GridElement() const { return grid_.get(); }

    // The list and the grid emptied, the grid scrolled to its start.
    void Clear();
    // The grid's empty-state text follows what it shows: "busy" while it is being filled (no
    // text), "folder", "marked" or "uploaded" (the page words each); no state before anything
    // was opened.
    void SetEmptyState(std::u16string_view state);
    // Sorts the list by `sortType` (0 keeps the listing's order) and builds every cell afresh,
    // without pictures; every item's shown flag is cleared.
    void Build(int sortType);
    // The item's thumbnail is ready: its cell gets the picture; the item is shown.
    void ThumbnailArrived(PictureItem& item);
    // The item's cell shows its thumbnail again (after a rotation).
    void Refill(PictureItem& item);
    // Every cell restyled for side `side`.
    void Zoom(int side);
    // Toggles the mark of the cell's picture; true when it is now marked.
    bool ToggleMark(Element& cell);
    // "op_mark"'s count display shows the marked set's size.
    void ShowMarkCount();
    // Removes the item and its cell.
    void Remove(PictureItem& item);
    // Makes `cell` the one selected cell and scrolls the grid, as little as it must, to show
    // it whole.
    void SelectOnly(Element& cell);

    // The item a cell shows; null when it is not in the list.
    PictureItem* ItemOf(const Element& cell) const;
    Element* CellOf(const PictureItem& item) const;
    // The range of list indexes in view, plus two rows below; false when the list is empty.
    bool VisibleRange(std::size_t& first, std::size_t& last) const;

private:
    // The grid carries its cell side, for its geometry.
    void ShowSide();

    Element& root_;
    ElementRef grid_;
    ItemList& items_;
    MarkedSet& marked_;
    const PictureVersions& versions_;
    int side_;
    std::unordered_map<std::uint32_t, ElementRef> cells_;  // by item id
};

}  // namespace tavopix

// bhv_img_view: the photo grid's selection by mouse and keyboard. A cell is selected when it
// carries sel="true".
//
// A press on a cell's picture selects it (Ctrl toggles it, Shift selects the range from the
// anchor, the first selected cell); a press on the background or a cell's frame clears the
// selection; a right press moves a single selection to the pressed picture but keeps a larger
// one for the context menu. Moving with the main button down draws the rubber band "sel_rect"
// (which lives in the grid's parent) and selects, on release, every cell whose picture it
// touches (Ctrl adds them to the selection). The band holds to the grid's content, so it grows
// over the cells the grid scrolls past while it is drawn; where the cells are comes from the
// grid's geometry, never from the browser's boxes. Ctrl+A and Ctrl+D select and
// deselect everything. The behaviour raises SELECTION_CHANGED_EVENT on releases and on those
// keys, GRID_SCROLLED_EVENT on wheel and scroll, SHOW_DETAIL_EVENT on a double click on a picture.
//
// One object serves every grid; it keeps each grid's anchor and drag by the grid's uid.
#pragma once

#include <optional>
#include <unordered_map>

#include "engine/Behavior.h"
#include "engine/Element.h"
#include "library/views/GridGeometry.h"

namespace tavopix {

class ImgViewBehavior final : public Behavior {
public:
    static ImgViewBehavior& Instance();

    bool OnMouse(Element& he, MouseParams& params) override;
    bool OnKey(Element& he, KeyParams& params) override;
    bool OnScroll(Element& he, ScrollParams& params) override;

    // Selects every cell of `grid` whose picture's rectangle meets `band` (root-relative in
    // `geometry`, edges touching count); without `add` the others are deselected first.
    static void SelectByBand(Element& grid, const GridGeometry& geometry, Rect band, bool add);

private:
    ImgViewBehavior();

    struct GridState {
        ElementRef anchor;
        ElementRef band;  // "sel_rect" while a drag runs
        bool dragging = false;
        std::optional<GridGeometry> geometry;  // the grid's at the drag's start, then scrolled
        Point start;                           // in the grid's content
        Point pointer;                         // the last one, document coordinates
        Rect gridRect;                         // the grid's content box at the drag's start
        Rect lastBand;                         // in the grid's content
        int scrollTop = 0;                     // as the grid's last scroll report said
    };

    void Press(Element& grid, GridState& state, const MouseParams& params);
    void RightPress(Element& grid, GridState& state, const MouseParams& params);
    void Drag(Element& grid, GridState& state, const MouseParams& params);
    void DrawBand(GridState& state);
    void EndDrag(Element& grid, GridState& state, const MouseParams& params);

    std::unordered_map<Element::Uid, GridState> grids_;
};

// The cell whose picture `element` is (a "picture" in a cell's ".icon"); null otherwise.
[[nodiscard]] Element* CellOfPicture(Element* element);

}  // namespace tavopix

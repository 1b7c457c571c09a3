#include "library/views/ImgViewBehavior.h"

#include <algorithm>
#include <cstdio>

#include "app/TextConvert.h"
#include "engine/EventDispatcher.h"
#include "library/views/GridCell.h"
#include "library/views/GridEvents.h"

namespace tavopix {

namespace {

constexpr std::uint32_t kKeyA = 65;
constexpr std::uint32_t kKeyD = 68;
constexpr std::u16string_view kBandParked = u"left:-10px;top:-10px;width:1px;height:1px;";

void SelectAll(Element& grid, bool selected) {
    for (std::size_t i = 0; i < grid.ChildCount(); ++i) {
        SelectCell(*grid.Child(i), selected);
    }
}

Element* FirstSelected(const Element& grid) {
    for (std::size_t i = 0; i < grid.ChildCount(); ++i) {
        if (IsCellSelected(*grid.Child(i))) {
            return grid.Child(i);
        }
    }
    return nullptr;
}

std::size_t SelectedCount(const Element& grid) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < grid.ChildCount(); ++i) {
        count += IsCellSelected(*grid.Child(i)) ? 1 : 0;
    }
    return count;
}

void Raise(Element& target, std::uint32_t code) {
    if (EventDispatcher* events = EventDispatcher::Of(target)) {
        events->PostEvent(target, code);
    }
}

bool Meets(const Rect& a, const Rect& b) {
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

std::u16string BandStyle(int left, int top, int width, int height) {
    char text[96];
    std::snprintf(text, sizeof text, "left:%dpx;top:%dpx;width:%dpx;height:%dpx;", left, top, width,
                  height);
    return FromUtf8(text);
}

// Registered while the program starts, before any page names it.
[[maybe_unused]] ImgViewBehavior& imgViewRegistered = ImgViewBehavior::Instance();

}  // namespace

Element* CellOfPicture(Element* element) {
    if (element == nullptr || element->Tag() != "picture") {
        return nullptr;
    }
    Element* icon = element->Parent();
    if (icon == nullptr || !icon->HasClass(u"icon")) {
        return nullptr;
    }
    return icon->Parent();
}

ImgViewBehavior& ImgViewBehavior::Instance() {
    static ImgViewBehavior instance;
    return instance;
}

ImgViewBehavior::ImgViewBehavior()
    : Behavior("bhv_img_view", HANDLE_MOUSE | HANDLE_KEY | HANDLE_FOCUS | HANDLE_SCROLL) {}

bool ImgViewBehavior::OnMouse(Element& he, MouseParams& params) {
    if ((params.cmd & SINKING) != 0) {
        return false;
    }
    GridState& state = grids_[he.GetUid()];
    const bool main = (params.buttonState & MAIN_MOUSE_BUTTON) != 0;
    switch (EventCommand(params.cmd)) {
        case MOUSE_MOVE:
            if (!main) {
                return false;
            }
            Drag(he, state, params);
            return true;
        case MOUSE_UP:
            if (main && state.dragging) {
                EndDrag(he, state, params);
            }
            Raise(he, SELECTION_CHANGED_EVENT);
            return main;
        case MOUSE_DOWN:
            if (main) {
                Press(he, state, params);
            } else if ((params.buttonState & PROP_MOUSE_BUTTON) != 0) {
                RightPress(he, state, params);
            }
            return false;
        case MOUSE_DCLICK:
            if (Element* cell = CellOfPicture(params.target.get())) {
                Raise(*cell, SHOW_DETAIL_EVENT);
            }
            return false;
        case MOUSE_WHEEL:
            Raise(he, GRID_SCROLLED_EVENT);
            return false;
        default:
            return false;
    }
}

void ImgViewBehavior::Press(Element& grid, GridState& state, const MouseParams& params) {
    const bool ctrl = (params.altState & CONTROL_KEY_PRESSED) != 0;
    const bool shift = (params.altState & SHIFT_KEY_PRESSED) != 0;
    Element* target = params.target.get();
    if (Element* cell = CellOfPicture(target); cell && cell->Parent() == &grid) {
        if (ctrl) {
            SelectCell(*cell, !IsCellSelected(*cell));
            state.anchor.reset();
        } else if (shift) {
            if (!state.anchor || state.anchor->Parent() != &grid) {
                state.anchor = ElementRef(FirstSelected(grid));
            }
            if (state.anchor) {
                const int from = std::min(state.anchor->Index(), cell->Index());
                const int to = std::max(state.anchor->Index(), cell->Index());
                for (std::size_t i = 0; i < grid.ChildCount(); ++i) {
                    const int index = static_cast<int>(i);
                    SelectCell(*grid.Child(i), index >= from && index <= to);
                }
            } else {
                SelectCell(*cell, true);
            }
        } else {
            SelectAll(grid, false);
            SelectCell(*cell, true);
            state.anchor.reset();
        }
        return;
    }
    const bool onFrame = target != nullptr && target->HasClass(u"loc") && target->Parent() == &grid;
    if ((target == &grid || onFrame) && !ctrl && !shift) {
        SelectAll(grid, false);
        state.anchor.reset();
    }
}

void ImgViewBehavior::RightPress(Element& grid, GridState& state, const MouseParams& params) {
    Element* cell = CellOfPicture(params.target.get());
    if (cell == nullptr || cell->Parent() != &grid) {
        return;
    }
    const std::size_t selected = SelectedCount(grid);
    if (selected == 1) {
        SelectAll(grid, false);
    }
    if (selected < 2) {
        SelectCell(*cell, true);
    }
    state.anchor.reset();
}

void ImgViewBehavior::Drag(Element& grid, GridState& state, const MouseParams& params) {
    state.pointer = params.posDocument;
    if (!state.dragging) {
        EventDispatcher* events = EventDispatcher::Of(grid);
        if (events == nullptr) {
            return;
        }
        events->SetCapture(grid);
        state.dragging = true;
        state.gridRect = grid.Location(ROOT_RELATIVE | CONTENT_BOX);
        // The scroll position as the grid's reports have it, in order with the input: asked now,
        // the view may already have scrolled past this move.
        const GridGeometry now = GridGeometry::Of(grid);
        state.geometry = GridGeometry(now.Side(), now.View(), {0, state.scrollTop});
        const Point scroll = state.geometry->Scroll();
        state.start = {params.posDocument.x + scroll.x, params.posDocument.y + scroll.y};
        state.band = ElementRef(grid.Parent() ? grid.Parent()->FindById(u"sel_rect") : nullptr);
        state.lastBand = {state.start.x, state.start.y, state.start.x, state.start.y};
        return;
    }
    DrawBand(state);
}

void ImgViewBehavior::DrawBand(GridState& state) {
    const Rect clip{state.gridRect.left + 3, state.gridRect.top + 3, state.gridRect.right - 3,
                    state.gridRect.bottom - 3};
    const Point scroll = state.geometry->Scroll();
    const Point at{
        std::clamp(state.pointer.x, clip.left, std::max(clip.left, clip.right)) + scroll.x,
        std::clamp(state.pointer.y, clip.top, std::max(clip.top, clip.bottom)) + scroll.y};
    state.lastBand = {std::min(state.start.x, at.x), std::min(state.start.y, at.y),
                      std::max(state.start.x, at.x), std::max(state.start.y, at.y)};
    if (!state.band) {
        return;
    }
    // What of the band the view shows: its part scrolled out of the grid is hidden.
    Rect shown{state.lastBand.left - scroll.x, state.lastBand.top - scroll.y,
               state.lastBand.right - scroll.x, state.lastBand.bottom - scroll.y};
    shown.left = std::max(shown.left, clip.left);
    shown.top = std::max(shown.top, clip.top);
    shown.right = std::max(shown.left, std::min(shown.right, clip.right));
    shown.bottom = std::max(shown.top, std::min(shown.bottom, clip.bottom));
    state.band->SetAttribute(
        "style", BandStyle(shown.left - state.gridRect.left + 13,
                           shown.top - state.gridRect.top + 1, shown.Width(), shown.Height()));
}

void ImgViewBehavior::EndDrag(Element& grid, GridState& state, const MouseParams& params) {
    const bool ctrl = (params.altState & CONTROL_KEY_PRESSED) != 0;
    state.pointer = params.posDocument;
    DrawBand(state);
    // The band is kept in the grid's content: the grid unscrolled places the cells there.
    const GridGeometry content(state.geometry->Side(), state.geometry->View(), {});
    SelectByBand(grid, content, state.lastBand, ctrl);
    if (EventDispatcher* events = EventDispatcher::Of(grid)) {
        events->ReleaseCapture();
    }
    if (state.band) {
        state.band->SetAttribute("style", kBandParked);
    }
    state.band.reset();
    state.geometry.reset();
    state.dragging = false;
}

void ImgViewBehavior::SelectByBand(Element& grid, const GridGeometry& geometry, Rect band,
                                   bool add) {
    if (!add) {
        SelectAll(grid, false);
    }
    const std::optional<IndexRange> rows = geometry.Rows(band.top, band.bottom, grid.ChildCount());
    if (!rows) {
        return;
    }
    for (std::size_t i = rows->first; i <= rows->last; ++i) {
        Element& cell = *grid.Child(i);
        const Rect area = geometry.PictureArea(i);
        const Rect inArea = PictureInArea(cell, geometry.Side());
        const Rect picture{area.left + inArea.left, area.top + inArea.top, area.left + inArea.right,
                           area.top + inArea.bottom};
        if (Meets(picture, band)) {
            SelectCell(cell, true);
        }
    }
}

bool ImgViewBehavior::OnKey(Element& he, KeyParams& params) {
    if (params.cmd != KEY_DOWN || params.altState != CONTROL_KEY_PRESSED ||
        (params.keyCode != kKeyA && params.keyCode != kKeyD)) {
        return false;
    }
    SelectAll(he, params.keyCode == kKeyA);
    grids_[he.GetUid()].anchor.reset();
    Raise(he, SELECTION_CHANGED_EVENT);
    return true;
}

bool ImgViewBehavior::OnScroll(Element& he, ScrollParams& params) {
    if ((params.cmd & SINKING) != 0) {
        return false;
    }
    if (params.vertical && params.target.get() == &he) {
        GridState& state = grids_[he.GetUid()];
        state.scrollTop = params.pos;
        // A band being drawn follows the content under it.
        if (state.dragging) {
            state.geometry =
                GridGeometry(state.geometry->Side(), state.geometry->View(), {0, params.pos});
            DrawBand(state);
        }
    }
    Raise(he, GRID_SCROLLED_EVENT);
    return false;
}

}  // namespace tavopix

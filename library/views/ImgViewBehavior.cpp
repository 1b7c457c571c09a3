#include "library/views/ImgViewBehavior.h"

#include <algorithm>
#include <cstdio>

#include "app/TextConvert.h"
#include "engine/EventDispatcher.h"
#include "engine/controls/Control.h"
#include "library/views/GridCell.h"
#include "library/views/GridEvents.h"

namespace tavopix {

namespace {

constexpr std::uint32_t kKeyA = 65;
// The largest grid a screen shows, for when the view cannot say how large it is.
constexpr int kUnansweredViewWidth = 3840;
constexpr int kUnansweredViewHeight = 2160;
constexpr std::uint32_t kKeyD = 68;
constexpr std::u16string_view kSelected = u"true";
constexpr std::u16string_view kBandParked = u"left:-10px;top:-10px;width:1px;height:1px;";

bool IsSelected(const Element& cell) {
    const std::u16string* sel = cell.GetAttribute("sel");
    return sel != nullptr && *sel == kSelected;
}

void Select(Element& cell, bool selected) {
    if (selected != IsSelected(cell)) {
        cell.SetAttribute("sel",
                          selected ? std::optional<std::u16string_view>(kSelected) : std::nullopt);
    }
}

void SelectAll(Element& grid, bool selected) {
    for (std::size_t i = 0; i < grid.ChildCount(); ++i) {
        Select(*grid.Child(i), selected);
    }
}

Element* FirstSelected(const Element& grid) {
    for (std::size_t i = 0; i < grid.ChildCount(); ++i) {
        if (IsSelected(*grid.Child(i))) {
            return grid.Child(i);
        }
    }
    return nullptr;
}

std::size_t SelectedCount(const Element& grid) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < grid.ChildCount(); ++i) {
        count += IsSelected(*grid.Child(i)) ? 1 : 0;
    }
    return count;
}

void Raise(Element& target, std::uint32_t code) {
    if (EventDispatcher* events = EventDispatcher::Of(target)) {
        events->PostEvent(target, code);
    }
}

// The cell side the zoom control shows; the default before the page has one.
int CurrentSide(const Element& grid) {
    Element* root = const_cast<Element&>(grid).Root();
    ControlValue value;
    if (Element* zoom = root->FindById(u"img_size"); zoom && ControlGetValue(*zoom, &value)) {
        if (const int* side = value.Int(); side && *side > 0) {
            return *side;
        }
        if (const std::u16string* text = value.String()) {
            if (const std::optional<int> side = ParseInt(*text); side && *side > 0) {
                return *side;
            }
        }
    }
    return kDefaultThumbSize;
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
[[maybe_unused]] ImgViewBehavior& registered = ImgViewBehavior::Instance();

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

bool CellsInView(Element& grid, int side, std::size_t& first, std::size_t& last) {
    const std::size_t count = grid.ChildCount();
    if (count == 0) {
        return false;
    }
    const int pitch = side + kCellPitch;
    const ScrollInfo scroll = grid.GetScrollInfo();
    // A view that could not answer (the browser busy past the time-out) gives an empty
    // rectangle: the range then covers a full screen's worth of cells, never fewer than are seen.
    const bool answered = scroll.viewRect.Width() > 0 && scroll.viewRect.Height() > 0;
    const int viewWidth = answered ? scroll.viewRect.Width() : kUnansweredViewWidth;
    const int viewHeight = answered ? scroll.viewRect.Height() : kUnansweredViewHeight;
    // Rectangles exclude their right and bottom edges, so the width is the pixel count.
    const std::size_t columns = static_cast<std::size_t>(std::max(1, viewWidth / pitch));
    const std::size_t firstRow = static_cast<std::size_t>(std::max(0, scroll.scrollPos.y) / pitch);
    const std::size_t rows = static_cast<std::size_t>(viewHeight / pitch + 2);
    first = std::min(firstRow * columns, count - 1);
    last = std::min(firstRow * columns + rows * columns, count - 1);
    return true;
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
            Select(*cell, !IsSelected(*cell));
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
                    Select(*grid.Child(i), index >= from && index <= to);
                }
            } else {
                Select(*cell, true);
            }
        } else {
            SelectAll(grid, false);
            Select(*cell, true);
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
        Select(*cell, true);
    }
    state.anchor.reset();
}

void ImgViewBehavior::Drag(Element& grid, GridState& state, const MouseParams& params) {
    if (!state.dragging) {
        EventDispatcher* events = EventDispatcher::Of(grid);
        if (events == nullptr) {
            return;
        }
        events->SetCapture(grid);
        state.dragging = true;
        state.gridRect = grid.Location(ROOT_RELATIVE | CONTENT_BOX);
        state.start = params.posDocument;
        state.band = ElementRef(grid.Parent() ? grid.Parent()->FindById(u"sel_rect") : nullptr);
        state.lastBand = {state.start.x, state.start.y, state.start.x, state.start.y};
        return;
    }
    const Rect clip{state.gridRect.left + 3, state.gridRect.top + 3, state.gridRect.right - 3,
                    state.gridRect.bottom - 3};
    const Point at = params.posDocument;
    Rect band{std::min(state.start.x, at.x), std::min(state.start.y, at.y),
              std::max(state.start.x, at.x), std::max(state.start.y, at.y)};
    band.left = std::max(band.left, clip.left);
    band.top = std::max(band.top, clip.top);
    band.right = std::max(band.left, std::min(band.right, clip.right));
    band.bottom = std::max(band.top, std::min(band.bottom, clip.bottom));
    state.lastBand = band;
    if (state.band) {
        state.band->SetAttribute(
            "style", BandStyle(band.left - state.gridRect.left + 13,
                               band.top - state.gridRect.top + 1, band.Width(), band.Height()));
    }
}

void ImgViewBehavior::EndDrag(Element& grid, GridState& state, const MouseParams& params) {
    const bool ctrl = (params.altState & CONTROL_KEY_PRESSED) != 0;
    // The band as drawn: "sel_rect" where the page has one, else the rectangle last computed.
    Rect band = state.lastBand;
    if (state.band && state.band->GetDocument() != nullptr) {
        band = state.band->Location(ROOT_RELATIVE | BORDER_BOX);
    }
    SelectByBand(grid, band, ctrl);
    if (EventDispatcher* events = EventDispatcher::Of(grid)) {
        events->ReleaseCapture();
    }
    if (state.band) {
        state.band->SetAttribute("style", kBandParked);
    }
    state.band.reset();
    state.dragging = false;
}

void ImgViewBehavior::SelectByBand(Element& grid, Rect band, bool add) {
    if (!add) {
        SelectAll(grid, false);
    }
    std::size_t first = 0;
    std::size_t last = 0;
    if (!CellsInView(grid, CurrentSide(grid), first, last)) {
        return;
    }
    std::vector<const Element*> pictures;
    std::vector<Element*> cells;
    for (std::size_t i = first; i <= last; ++i) {
        Element* cell = grid.Child(i);
        Element* icon = cell->FirstChild();
        Element* picture = icon && icon->HasClass(u"icon") ? icon->FirstChild() : nullptr;
        if (picture != nullptr && picture->Tag() == "picture") {
            pictures.push_back(picture);
            cells.push_back(cell);
        }
    }
    // One question to the view for every picture in range.
    const std::vector<Rect> rectangles = Element::Locations(pictures, ROOT_RELATIVE | CONTENT_BOX);
    for (std::size_t i = 0; i < cells.size() && i < rectangles.size(); ++i) {
        if (Meets(rectangles[i], band)) {
            Select(*cells[i], true);
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
    if ((params.cmd & SINKING) == 0) {
        Raise(he, GRID_SCROLLED_EVENT);
    }
    return false;
}

}  // namespace tavopix

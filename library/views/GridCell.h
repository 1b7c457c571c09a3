// One cell of the photo grid: its markup when the grid is built, when its thumbnail arrives and
// when a mark is added, and the placement of the picture, the mark and the uploaded flag in a
// cell of side S. A cell is S + 8 pixels square; the grid's rows and columns repeat every
// S + 18 pixels.
//
// The picture is fitted into S x S by FitInBox (never thinner than 40 pixels) and centred; the
// mark and the uploaded flag sit at the picture's lower right corner. Names, paths and sources
// are HTML-escaped wherever they enter the markup.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/Geometry.h"
#include "library/data/PictureItem.h"

namespace tavopix {

class Element;

inline constexpr int kDefaultThumbSize = 160;
inline constexpr int kCellFrame = 8;   // a cell is S + 8 square
inline constexpr int kCellPitch = 18;  // rows and columns repeat every S + 18

struct CellPlacement {
    int width = 0;  // the picture's shown size
    int height = 0;
    int marginLeft = 0;  // its offset in the S x S icon area
    int marginTop = 0;
    Point mark;      // the mark's left and top
    Point uploaded;  // the uploaded flag's left and top
};

// Where a width x height thumbnail goes in a cell of side `side`; a size of 0 counts as the side.
[[nodiscard]] CellPlacement PlaceInCell(int width, int height, int side);

// The cell as the grid is built: an empty S x S icon area, the uploaded flag and the mark at the
// corner of that area.
[[nodiscard]] std::string CellHtml(const PictureItem& item, int side);

// The cell's content once its thumbnail arrived, shown from `source` (an image source, already
// percent-escaped).
[[nodiscard]] std::string ThumbnailCellContent(const PictureItem& item, int side,
                                               std::u16string_view source);

// The mark appended to a cell when its picture is marked later.
[[nodiscard]] std::string AddedMarkHtml(const PictureItem& item, int side);

// Gives the cell and its icon, mark and uploaded flag the sizes and places of side `side`.
void RestyleCell(Element& cell, const PictureItem& item, int side);

// A selected cell is a ".loc" carrying sel="true".
[[nodiscard]] bool IsCellSelected(const Element& cell);
void SelectCell(Element& cell, bool selected);

// The picture's rectangle in the cell's S x S picture area, as the cell's ".icon" is styled; the
// whole area while the thumbnail has not arrived (its placeholder fills it).
[[nodiscard]] Rect PictureInArea(const Element& cell, int side);

// The item id a cell carries in "it"; 0 when it has none.
[[nodiscard]] std::uint32_t CellItemId(const Element& cell);

// The image source of a thumbnail: `thumbnail` (percent-escaped) with the characters that would
// end a path in an address escaped too, and "?v=N" after a picture was turned N times, so the
// browser fetches the new picture instead of showing the one it has.
[[nodiscard]] std::u16string ThumbnailSource(std::u16string_view thumbnail, unsigned version);

}  // namespace tavopix

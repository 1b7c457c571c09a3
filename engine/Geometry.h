// Points, sizes and rectangles in page pixels, and the location areas a geometry query names.
#pragma once

#include <cstdint>

namespace tavopix {

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int cx = 0;
    int cy = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// Right and bottom are exclusive.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(Point p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// A location query combines one origin with one box: ROOT_RELATIVE | CONTENT_BOX (1) and
// ROOT_RELATIVE | BORDER_BOX (0x21) are the ones the program asks for.
using LocationArea = std::uint32_t;
inline constexpr LocationArea ROOT_RELATIVE = 0x01;
inline constexpr LocationArea SELF_RELATIVE = 0x02;
inline constexpr LocationArea CONTAINER_RELATIVE = 0x03;
inline constexpr LocationArea VIEW_RELATIVE = 0x04;
inline constexpr LocationArea CONTENT_BOX = 0x00;
inline constexpr LocationArea PADDING_BOX = 0x10;
inline constexpr LocationArea BORDER_BOX = 0x20;
inline constexpr LocationArea MARGIN_BOX = 0x30;

struct IntrinsicWidths {
    int minWidth = 0;  // the widest word
    int maxWidth = 0;  // everything on one line
    friend bool operator==(const IntrinsicWidths&, const IntrinsicWidths&) = default;
};

struct ScrollInfo {
    Point scrollPos;   // of the content, relative to the view rectangle
    Rect viewRect;     // the visible part, root-relative
    Size contentSize;  // of everything that scrolls
    friend bool operator==(const ScrollInfo&, const ScrollInfo&) = default;
};

}  // namespace tavopix

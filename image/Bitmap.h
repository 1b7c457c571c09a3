// An uncompressed picture in memory: 8-bit RGB, or RGBA with straight (not premultiplied)
// alpha, rows top to bottom without padding. The codecs decode into it and encode from it;
// the helpers here flatten it onto white and turn it by quarter turns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavopix {

struct Bitmap {
    int width = 0;
    int height = 0;
    int channels = 3;  // 3: RGB; 4: RGBA
    std::vector<std::uint8_t> pixels;

    [[nodiscard]] std::size_t Stride() const { return static_cast<std::size_t>(width) * channels; }
    [[nodiscard]] bool IsEmpty() const { return width < 1 || height < 1; }
};

// A bitmap of the given size with its pixels allocated (contents zero).
Bitmap MakeBitmap(int width, int height, int channels);

// RGB on an opaque white background: alpha is composited away, RGB passes through unchanged.
Bitmap FlattenOnWhite(Bitmap bitmap);

enum class QuarterTurn { Clockwise, CounterClockwise };

// The bitmap turned by 90 degrees; width and height swap.
Bitmap RotateBitmap(const Bitmap& bitmap, QuarterTurn turn);

}  // namespace tavopix

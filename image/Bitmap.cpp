#include "image/Bitmap.h"

#include <algorithm>

namespace tavopix {

Bitmap MakeBitmap(int width, int height, int channels) {
    Bitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.channels = channels;
    bitmap.pixels.assign(bitmap.Stride() * static_cast<std::size_t>(height), 0);
    return bitmap;
}

Bitmap FlattenOnWhite(Bitmap bitmap) {
    if (bitmap.channels == 3) {
        return bitmap;
    }
    Bitmap flat = MakeBitmap(bitmap.width, bitmap.height, 3);
    const std::size_t count = static_cast<std::size_t>(bitmap.width) * bitmap.height;
    const std::uint8_t* from = bitmap.pixels.data();
    std::uint8_t* to = flat.pixels.data();
    for (std::size_t i = 0; i < count; ++i, from += 4, to += 3) {
        const unsigned alpha = from[3];
        const unsigned white = 255 * (255 - alpha);
        for (int c = 0; c < 3; ++c) {
            to[c] = static_cast<std::uint8_t>((from[c] * alpha + white + 127) / 255);
        }
    }
    return flat;
}

Bitmap RotateBitmap(const Bitmap& bitmap, QuarterTurn turn) {
    Bitmap turned = MakeBitmap(bitmap.height, bitmap.width, bitmap.channels);
    const int channels = bitmap.channels;
    const std::size_t fromStride = bitmap.Stride();
    const std::size_t toStride = turned.Stride();
    // Square tiles keep both the rows read and the columns written in cache.
    constexpr int kTile = 64;
    for (int tileY = 0; tileY < bitmap.height; tileY += kTile) {
        const int endY = std::min(bitmap.height, tileY + kTile);
        for (int tileX = 0; tileX < bitmap.width; tileX += kTile) {
            const int endX = std::min(bitmap.width, tileX + kTile);
            for (int y = tileY; y < endY; ++y) {
                const std::uint8_t* row = bitmap.pixels.data() + fromStride * y;
                // Clockwise, source row y becomes target column (height - 1 - y), filled top
                // to bottom; counter-clockwise it becomes column y, filled bottom to top.
                const int column = turn == QuarterTurn::Clockwise ? bitmap.height - 1 - y : y;
                for (int x = tileX; x < endX; ++x) {
                    const int targetRow = turn == QuarterTurn::Clockwise ? x : bitmap.width - 1 - x;
                    std::uint8_t* to = turned.pixels.data() + toStride * targetRow +
                                       static_cast<std::size_t>(column) * channels;
                    const std::uint8_t* from = row + static_cast<std::size_t>(x) * channels;
                    for (int c = 0; c < channels; ++c) {
                        to[c] = from[c];
                    }
                }
            }
        }
    }
    return turned;
}

}  // namespace tavopix

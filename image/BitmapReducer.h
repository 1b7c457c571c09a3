// Internal to image/: a picture reduced as its rows are decoded, so that one decoded for a
// thumbnail or a fit never exists at full size. Every block of factor x factor pixels becomes
// one pixel, the average of the block (weighted by alpha, so fully transparent pixels lend no
// colour); the caller resamples the result to the exact size it wants.
//
// What it holds is a sum per channel of every reduced pixel and the reduced bitmap: for a
// 12000 x 12000 picture reduced for a 200-pixel thumbnail (factor 60), about 0.5 MB, where the
// full RGBA bitmap would take 576 MB.
#pragma once

#include <cstdint>
#include <vector>

#include "image/Bitmap.h"

namespace tavopix {

class BitmapReducer {
public:
    // The largest factor (at most kMaxFactor) whose reduction of width x height still covers
    // coverWidth x coverHeight; 1 when no cover is asked for (0 x 0) or none is smaller.
    [[nodiscard]] static int FactorFor(std::uint32_t width, std::uint32_t height, int coverWidth,
                                       int coverHeight);
    static constexpr int kMaxFactor = 4096;  // keeps every sum within 32 bits

    // A reduction of a width x height picture of `channels` (3 or 4) by `factor` (2 or more).
    BitmapReducer(int width, int height, int channels, int factor);

    // Adds the pixels of row `y` found at columns x0, x0 + step, ... in `row`, a row of the
    // picture's full width (pixels in place, `channels` bytes each, alpha straight).
    void Add(int y, const std::uint8_t* row, int x0 = 0, int step = 1);

    // The reduced picture, once every pixel was added exactly once.
    [[nodiscard]] Bitmap Finish() const;

private:
    int width_;
    int height_;
    int channels_;
    int factor_;
    int reducedWidth_;
    int reducedHeight_;
    std::vector<std::uint32_t> sums_;  // per reduced pixel and channel; colour premultiplied
};

}  // namespace tavopix

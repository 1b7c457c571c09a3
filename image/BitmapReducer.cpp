#include "image/BitmapReducer.h"

#include <algorithm>

namespace tavopix {

int BitmapReducer::FactorFor(std::uint32_t width, std::uint32_t height, int coverWidth,
                             int coverHeight) {
    if (coverWidth < 1 || coverHeight < 1) {
        return 1;
    }
    const std::uint32_t factor = std::min(width / static_cast<std::uint32_t>(coverWidth),
                                          height / static_cast<std::uint32_t>(coverHeight));
    return static_cast<int>(std::clamp<std::uint32_t>(factor, 1, kMaxFactor));
}

BitmapReducer::BitmapReducer(int width, int height, int channels, int factor)
    : width_(width),
      height_(height),
      channels_(channels),
      factor_(factor),
      reducedWidth_((width + factor - 1) / factor),
      reducedHeight_((height + factor - 1) / factor),
      sums_(static_cast<std::size_t>(reducedWidth_) * reducedHeight_ * channels, 0) {}

void BitmapReducer::Add(int y, const std::uint8_t* row, int x0, int step) {
    std::uint32_t* sums = sums_.data() + static_cast<std::size_t>(y / factor_) * reducedWidth_ *
                                             static_cast<std::size_t>(channels_);
    if (channels_ == 3) {
        for (int x = x0; x < width_; x += step) {
            const std::uint8_t* pixel = row + static_cast<std::size_t>(x) * 3;
            std::uint32_t* sum = sums + static_cast<std::size_t>(x / factor_) * 3;
            sum[0] += pixel[0];
            sum[1] += pixel[1];
            sum[2] += pixel[2];
        }
        return;
    }
    for (int x = x0; x < width_; x += step) {
        const std::uint8_t* pixel = row + static_cast<std::size_t>(x) * 4;
        std::uint32_t* sum = sums + static_cast<std::size_t>(x / factor_) * 4;
        const unsigned alpha = pixel[3];
        sum[0] += (pixel[0] * alpha + 127) / 255;
        sum[1] += (pixel[1] * alpha + 127) / 255;
        sum[2] += (pixel[2] * alpha + 127) / 255;
        sum[3] += alpha;
    }
}

Bitmap BitmapReducer::Finish() const {
    Bitmap reduced = MakeBitmap(reducedWidth_, reducedHeight_, channels_);
    const std::uint32_t* sum = sums_.data();
    std::uint8_t* to = reduced.pixels.data();
    for (int ry = 0; ry < reducedHeight_; ++ry) {
        // Blocks on the right and bottom edges hold fewer pixels.
        const std::uint32_t rows =
            static_cast<std::uint32_t>(std::min(factor_, height_ - ry * factor_));
        for (int rx = 0; rx < reducedWidth_; ++rx, sum += channels_, to += channels_) {
            const std::uint32_t count =
                rows * static_cast<std::uint32_t>(std::min(factor_, width_ - rx * factor_));
            if (channels_ == 3) {
                for (int c = 0; c < 3; ++c) {
                    to[c] = static_cast<std::uint8_t>((sum[c] + count / 2) / count);
                }
                continue;
            }
            const std::uint32_t alpha = sum[3];
            for (int c = 0; c < 3; ++c) {
                to[c] = alpha == 0
                            ? 0
                            : static_cast<std::uint8_t>(std::min<std::uint32_t>(
                                  255, static_cast<std::uint32_t>(
                                           (std::uint64_t{sum[c]} * 255 + alpha / 2) / alpha)));
            }
            to[3] = static_cast<std::uint8_t>((alpha + count / 2) / count);
        }
    }
    return reduced;
}

}  // namespace tavopix

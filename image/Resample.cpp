#include "image/Resample.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tavopix {

namespace {

constexpr int kWeightBits = 14;
constexpr int kWeightOne = 1 << kWeightBits;
constexpr double kLobes = 3.0;

double Lanczos3(double x) {
    x = std::abs(x);
    if (x < 1e-9) {
        return 1.0;
    }
    if (x >= kLobes) {
        return 0.0;
    }
    const double pix = std::numbers::pi * x;
    return kLobes * std::sin(pix) * std::sin(pix / kLobes) / (pix * pix);
}

// For each target position: the first source position it reads and its weights, all of the
// same count, summing to kWeightOne. Taps beyond the edges are dropped and the rest renormalised.
struct Taps {
    int count = 0;
    std::vector<int> first;
    std::vector<std::int32_t> weights;  // count per target position
};

Taps ComputeTaps(int sourceSize, int targetSize) {
    const double scale = static_cast<double>(sourceSize) / targetSize;
    const double stretch = std::max(scale, 1.0);
    const double support = kLobes * stretch;
    Taps taps;
    taps.count = std::min(sourceSize, static_cast<int>(std::ceil(support)) * 2 + 1);
    taps.first.resize(static_cast<std::size_t>(targetSize));
    taps.weights.assign(static_cast<std::size_t>(targetSize) * taps.count, 0);
    std::vector<double> raw(static_cast<std::size_t>(taps.count));
    for (int target = 0; target < targetSize; ++target) {
        const double center = (target + 0.5) * scale;
        int first = static_cast<int>(std::floor(center - support + 0.5));
        first = std::clamp(first, 0, sourceSize - taps.count);
        double sum = 0;
        for (int k = 0; k < taps.count; ++k) {
            raw[static_cast<std::size_t>(k)] = Lanczos3((first + k + 0.5 - center) / stretch);
            sum += raw[static_cast<std::size_t>(k)];
        }
        std::int32_t* weights = taps.weights.data() + static_cast<std::size_t>(target) * taps.count;
        std::int32_t total = 0;
        int largest = 0;
        for (int k = 0; k < taps.count; ++k) {
            weights[k] = static_cast<std::int32_t>(
                std::lround(raw[static_cast<std::size_t>(k)] / sum * kWeightOne));
            total += weights[k];
            largest = weights[k] > weights[largest] ? k : largest;
        }
        weights[largest] += kWeightOne - total;  // rounding must not shift brightness
        taps.first[static_cast<std::size_t>(target)] = first;
    }
    return taps;
}

std::uint8_t ToByte(std::int32_t sum) {
    return static_cast<std::uint8_t>(std::clamp((sum + kWeightOne / 2) >> kWeightBits, 0, 255));
}

Bitmap ResizeRows(const Bitmap& source, int width) {
    const Taps taps = ComputeTaps(source.width, width);
    Bitmap target = MakeBitmap(width, source.height, source.channels);
    const int channels = source.channels;
    for (int y = 0; y < source.height; ++y) {
        const std::uint8_t* row = source.pixels.data() + source.Stride() * y;
        std::uint8_t* out = target.pixels.data() + target.Stride() * y;
        for (int x = 0; x < width; ++x) {
            const std::int32_t* weights =
                taps.weights.data() + static_cast<std::size_t>(x) * taps.count;
            const std::uint8_t* from =
                row + static_cast<std::size_t>(taps.first[static_cast<std::size_t>(x)]) * channels;
            std::int32_t sums[4] = {0, 0, 0, 0};
            for (int k = 0; k < taps.count; ++k, from += channels) {
                for (int c = 0; c < channels; ++c) {
                    sums[c] += weights[k] * from[c];
                }
            }
            for (int c = 0; c < channels; ++c) {
                out[static_cast<std::size_t>(x) * channels + c] = ToByte(sums[c]);
            }
        }
    }
    return target;
}

Bitmap ResizeColumns(const Bitmap& source, int height) {
    const Taps taps = ComputeTaps(source.height, height);
    Bitmap target = MakeBitmap(source.width, height, source.channels);
    const std::size_t stride = source.Stride();
    std::vector<std::int32_t> sums(stride);
    for (int y = 0; y < height; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        const std::int32_t* weights =
            taps.weights.data() + static_cast<std::size_t>(y) * taps.count;
        const int first = taps.first[static_cast<std::size_t>(y)];
        for (int k = 0; k < taps.count; ++k) {
            const std::uint8_t* row = source.pixels.data() + stride * (first + k);
            const std::int32_t weight = weights[k];
            for (std::size_t i = 0; i < stride; ++i) {
                sums[i] += weight * row[i];
            }
        }
        std::uint8_t* out = target.pixels.data() + stride * y;
        for (std::size_t i = 0; i < stride; ++i) {
            out[i] = ToByte(sums[i]);
        }
    }
    return target;
}

}  // namespace

Bitmap ResizeBitmap(const Bitmap& source, int width, int height) {
    if (source.width == width && source.height == height) {
        return source;
    }
    if (source.width == width) {
        return ResizeColumns(source, height);
    }
    if (source.height == height) {
        return ResizeRows(source, width);
    }
    return ResizeColumns(ResizeRows(source, width), height);
}

}  // namespace tavopix

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
    std::vector<std::int16_t>
        weights;  // count per target position; 16 bits so the products vectorise
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
        std::int16_t* weights = taps.weights.data() + static_cast<std::size_t>(target) * taps.count;
        std::int32_t total = 0;
        int largest = 0;
        for (int k = 0; k < taps.count; ++k) {
            weights[k] = static_cast<std::int16_t>(
                std::lround(raw[static_cast<std::size_t>(k)] / sum * kWeightOne));
            total += weights[k];
            largest = weights[k] > weights[largest] ? k : largest;
        }
        weights[largest] = static_cast<std::int16_t>(weights[largest] + kWeightOne -
                                                     total);  // rounding must not shift brightness
        taps.first[static_cast<std::size_t>(target)] = first;
    }
    return taps;
}

std::uint8_t ToByte(std::int32_t sum) {
    return static_cast<std::uint8_t>(std::clamp((sum + kWeightOne / 2) >> kWeightBits, 0, 255));
}

// The channel count is a template argument so the inner loops unroll fully.
template <int Channels>
void ResizeRowsOf(const Bitmap& source, const Taps& taps, Bitmap& target) {
    const int width = target.width;
    for (int y = 0; y < source.height; ++y) {
        const std::uint8_t* row = source.pixels.data() + source.Stride() * y;
        std::uint8_t* out = target.pixels.data() + target.Stride() * y;
        const std::int16_t* weights = taps.weights.data();
        for (int x = 0; x < width; ++x, weights += taps.count, out += Channels) {
            const std::uint8_t* from =
                row + static_cast<std::size_t>(taps.first[static_cast<std::size_t>(x)]) * Channels;
            std::int32_t sums[Channels] = {};
            for (int k = 0; k < taps.count; ++k, from += Channels) {
                for (int c = 0; c < Channels; ++c) {
                    sums[c] += weights[k] * static_cast<std::int16_t>(from[c]);
                }
            }
            for (int c = 0; c < Channels; ++c) {
                out[c] = ToByte(sums[c]);
            }
        }
    }
}

Bitmap ResizeRows(const Bitmap& source, int width) {
    const Taps taps = ComputeTaps(source.width, width);
    Bitmap target = MakeBitmap(width, source.height, source.channels);
    switch (source.channels) {
        case 1:
            ResizeRowsOf<1>(source, taps, target);
            break;
        case 3:
            ResizeRowsOf<3>(source, taps, target);
            break;
        default:
            ResizeRowsOf<4>(source, taps, target);
            break;
    }
    return target;
}

Bitmap ResizeColumns(const Bitmap& source, int height) {
    const Taps taps = ComputeTaps(source.height, height);
    Bitmap target = MakeBitmap(source.width, height, source.channels);
    const std::size_t stride = source.Stride();
    // Strips short enough for the sums to stay in the first-level cache across all taps.
    constexpr std::size_t kStrip = 512;
    std::int32_t sums[kStrip];
    for (int y = 0; y < height; ++y) {
        const std::int16_t* weights =
            taps.weights.data() + static_cast<std::size_t>(y) * taps.count;
        const std::uint8_t* top =
            source.pixels.data() + stride * taps.first[static_cast<std::size_t>(y)];
        std::uint8_t* out = target.pixels.data() + stride * y;
        for (std::size_t strip = 0; strip < stride; strip += kStrip) {
            const std::size_t length = std::min(kStrip, stride - strip);
            std::fill_n(sums, length, 0);
            for (int k = 0; k < taps.count; ++k) {
                const std::uint8_t* row = top + stride * k + strip;
                const std::int16_t weight = weights[k];
                for (std::size_t i = 0; i < length; ++i) {
                    sums[i] += weight * static_cast<std::int16_t>(row[i]);
                }
            }
            for (std::size_t i = 0; i < length; ++i) {
                out[strip + i] = ToByte(sums[i]);
            }
        }
    }
    return target;
}

// Averages whole blocks of factorX x factorY pixels (partial blocks at the right and bottom
// edges average what they hold). A wide Lanczos filter costs six times the area it covers, so
// large reductions first come down by such a box to within a few times the target.
Bitmap ShrinkByBlocks(const Bitmap& source, int factorX, int factorY) {
    const int width = (source.width + factorX - 1) / factorX;
    const int height = (source.height + factorY - 1) / factorY;
    const int channels = source.channels;
    Bitmap target = MakeBitmap(width, height, channels);
    const std::size_t stride = source.Stride();
    std::vector<std::uint32_t> columns(stride);
    for (int y = 0; y < height; ++y) {
        const int firstRow = y * factorY;
        const int rows = std::min(factorY, source.height - firstRow);
        std::fill(columns.begin(), columns.end(), 0u);
        for (int r = 0; r < rows; ++r) {
            const std::uint8_t* row = source.pixels.data() + stride * (firstRow + r);
            for (std::size_t i = 0; i < stride; ++i) {
                columns[i] += row[i];
            }
        }
        std::uint8_t* out = target.pixels.data() + target.Stride() * y;
        for (int x = 0; x < width; ++x) {
            const int firstColumn = x * factorX;
            const int count = std::min(factorX, source.width - firstColumn);
            const std::uint32_t area = static_cast<std::uint32_t>(count * rows);
            for (int c = 0; c < channels; ++c) {
                std::uint32_t sum = 0;
                for (int k = 0; k < count; ++k) {
                    sum += columns[static_cast<std::size_t>(firstColumn + k) * channels + c];
                }
                out[static_cast<std::size_t>(x) * channels + c] =
                    static_cast<std::uint8_t>((sum + area / 2) / area);
            }
        }
    }
    return target;
}

}  // namespace

Bitmap ResizeBitmap(const Bitmap& source, int width, int height) {
    if (source.width == width && source.height == height) {
        return source;
    }
    // Leave at least twice the target for the filter, so the box's blockiness never shows.
    const int factorX = std::max(1, source.width / width / 2);
    const int factorY = std::max(1, source.height / height / 2);
    if (factorX > 1 || factorY > 1) {
        return ResizeBitmap(ShrinkByBlocks(source, factorX, factorY), width, height);
    }
    if (source.width == width) {
        return ResizeColumns(source, height);
    }
    if (source.height == height) {
        return ResizeRows(source, width);
    }
    // Columns first: that pass vectorises, and it leaves fewer rows for the one that does not.
    return ResizeRows(ResizeColumns(source, height), width);
}

}  // namespace tavopix

// Pictures made by the tests themselves, in all five formats, and a scratch folder that the
// thumbnail cache and the error picture point into for the length of a test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "image/Bitmap.h"
#include "image/PictureCodecs.h"

namespace tavopix::test {

// A smooth colour picture with detail in both directions, RGB or RGBA (alpha falling from
// opaque at the left to clear at the right).
Bitmap Gradient(int width, int height, int channels = 3);

// One flat colour.
Bitmap Flat(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b,
            std::uint8_t a = 255);

enum class JpegMode { Baseline, Progressive };
Bytes MakeJpeg(const Bitmap& bitmap, int quality = 90,
               ChromaSubsampling subsampling = ChromaSubsampling::S420,
               JpegMode mode = JpegMode::Baseline);
Bytes MakePng(const Bitmap& bitmap);
Bytes MakeBmp(const Bitmap& bitmap);
Bytes MakeTiff(const Bitmap& bitmap);

// A GIF of `frames` frames of width x height on a 4-colour palette, pixel (x, y) of frame f
// being (x + 2y + f) % 4; index 3 is transparent when `transparent`.
Bytes MakeGif(int width, int height, int frames = 1, bool transparent = false,
              bool interlaced = false);

// The colour index a GIF made by MakeGif has at (x, y) of frame f.
constexpr int GifIndexAt(int x, int y, int frame) {
    return (x + 2 * y + frame) % 4;
}

// Peak signal-to-noise ratio of two RGB bitmaps of one size, in dB (99 when identical).
double Psnr(const Bitmap& a, const Bitmap& b);

// The first `count` bytes of `bytes`.
Bytes Truncated(const Bytes& bytes, std::size_t count);

// `jpeg` with an APP1 segment holding `payload` right after its start marker.
Bytes WithApp1(const Bytes& jpeg, std::string_view payload);

// A folder of its own under the system's temporary folder, removed afterwards; the program's
// thumbnail cache and error picture point into it meanwhile.
class PictureFolder : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes `bytes` as `name` in the folder and returns its UTF-16 path.
    std::u16string Write(const std::string& name, const Bytes& bytes) const;
    [[nodiscard]] Bytes ReadBack(const std::u16string& path) const;
    [[nodiscard]] std::u16string Path(const std::string& name) const;
    [[nodiscard]] std::vector<std::filesystem::path> CacheFiles() const;

    std::filesystem::path folder_;
    std::filesystem::path cache_;
};

}  // namespace tavopix::test

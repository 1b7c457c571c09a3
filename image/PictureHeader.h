// What a picture file says about itself before any pixel is decoded: its format, told by the
// content and never by the file name, and its width and height. Every size query of the
// program reads only this much; the decoders check it against the pixel limit before they
// allocate anything, so a file claiming 100,000 x 100,000 pixels is refused at once.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tavopix {

enum class PictureFormat { Bmp, Jpeg, Gif, Tiff, Png };

struct PictureHeader {
    PictureFormat format = PictureFormat::Jpeg;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// The largest picture decoded, in pixels: above every camera and phone sensor in use
// (a 200-megapixel phone bins to 50 MP by default, medium format stops near 150 MP), yet an RGBA
// buffer of this size stays below 600 MB. Larger claims are refused as decompression bombs.
inline constexpr std::uint64_t kMaxPicturePixels = 150'000'000;

[[nodiscard]] constexpr bool FitsPixelLimit(std::uint64_t width, std::uint64_t height) {
    return width > 0 && height > 0 && width <= kMaxPicturePixels && height <= kMaxPicturePixels &&
           width * height <= kMaxPicturePixels;
}

// The header of a picture held in memory; nothing when the format is unknown or the header is
// cut short. Width or height may be 0 where the file says so.
[[nodiscard]] std::optional<PictureHeader> ReadPictureHeader(std::span<const std::uint8_t> bytes);

// The same, reading only the header's bytes of a file (UTF-8 path).
[[nodiscard]] std::optional<PictureHeader> ReadPictureHeaderOfFile(const std::string& path);

}  // namespace tavopix

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
    std::uint32_t width = 0;  // as stored
    std::uint32_t height = 0;
    int orientation = 1;  // a JPEG's Exif orientation (image/ExifOrientation.h); 1: upright

    // The size the picture is seen at, its stored sides swapped when its orientation turns it.
    [[nodiscard]] std::uint32_t UprightWidth() const { return Turned() ? height : width; }
    [[nodiscard]] std::uint32_t UprightHeight() const { return Turned() ? width : height; }
    [[nodiscard]] bool Turned() const { return orientation >= 5 && orientation <= 8; }
};

// The largest picture decoded, in pixels: above every camera and phone sensor in use
// (a 200-megapixel phone bins to 50 MP by default, medium format stops near 150 MP), yet an RGBA
// buffer of this size stays below 600 MB. Larger claims are refused as decompression bombs,
// before anything is allocated. Only a full-size decode (rotating or converting a picture that
// is not a JPEG) holds such a buffer: one for a thumbnail or a fit is reduced as it is read
// (JPEG by DCT scaling, PNG row by row, TIFF by strips or tiles) and holds a few rows and the
// reduced picture, about 9 MB for a 144-megapixel PNG's thumbnail; a GIF's holds its first
// frame's colour indexes, a byte a pixel.
inline constexpr std::uint64_t kMaxPicturePixels = 150'000'000;

[[nodiscard]] constexpr bool FitsPixelLimit(std::uint64_t width, std::uint64_t height) {
    return width > 0 && height > 0 && width <= kMaxPicturePixels && height <= kMaxPicturePixels &&
           width * height <= kMaxPicturePixels;
}

// The most pixels one byte of a picture file can stand for. No compression a real picture uses
// packs more: a blank 1-bit PNG with deflate at its limit comes to about 7,900, GIF's LZW stops
// near 2,700, Huffman-coded JPEG near 500, photos stay below 100. A file claiming more pixels
// than its bytes can hold is refused before anything is allocated, so what a decode costs is
// bounded by the file's size: a 111-byte file gets at most 0.9 megapixels.
inline constexpr std::uint64_t kMaxPixelsPerFileByte = 8192;

// The pixel limit, narrowed to what a file of `fileBytes` bytes can hold.
[[nodiscard]] constexpr bool FitsPixelBudget(std::uint64_t width, std::uint64_t height,
                                             std::uint64_t fileBytes) {
    return FitsPixelLimit(width, height) && width * height <= fileBytes * kMaxPixelsPerFileByte;
}

// The header of a picture held in memory; nothing when the format is unknown or the header is
// cut short. Width or height may be 0 where the file says so.
[[nodiscard]] std::optional<PictureHeader> ReadPictureHeader(std::span<const std::uint8_t> bytes);

// The same, reading only the header's bytes of a file (UTF-8 path).
[[nodiscard]] std::optional<PictureHeader> ReadPictureHeaderOfFile(const std::string& path);

}  // namespace tavopix

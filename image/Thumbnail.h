// Thumbnails of the grid and the upload queue: made once per version of a picture file and
// kept as JPEG files in the thumbnail cache folder under a name built from the file's write
// time, size and path, so a changed file simply gets a new thumbnail.
//
// A picture that cannot be read or decoded gets the error picture at 160 x 115. Each call keeps
// its own decoder state and returns its result rather than filling a record (the library keeps
// its own picture records), so any number of threads may make thumbnails at once; two threads
// making the same one write the same bytes, each through its own temporary file, so the cache never
// holds half a thumbnail.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavopix {

inline constexpr int kThumbnailSide = 280;
// Pictures of fewer pixels (in JPEG or PNG) are shown as they are.
inline constexpr int kOwnThumbnailArea = kThumbnailSide * kThumbnailSide;  // 78,400
inline constexpr int kMinThumbnailSide = 4;
inline constexpr int kErrorThumbnailWidth = 160;
inline constexpr int kErrorThumbnailHeight = 115;

// A made thumbnail: the image source the page shows it from (the cached JPEG, the picture
// itself, or the error picture; percent-escaped, except the error picture), the size it is shown
// at, and whether the picture could be used.
struct Thumbnail {
    std::u16string source;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    bool ok = false;
};

// The 16-bit checksum of a path's UTF-16 units: their sum folded to 16 bits, complemented.
[[nodiscard]] std::uint16_t PathChecksum(std::u16string_view path);

// The cache file name of the picture at `realPath`: the cache folder, then the low 32 bits of
// its write time, the low 16 bits of its size and the path checksum in lower-case hex
// ("%08x%04x%04x.jpg"). False when the file's attributes cannot be read.
[[nodiscard]] bool ThumbnailCacheName(const std::u16string& realPath, std::u16string& name);

// The size a thumbnail of a width x height picture gets: the long side becomes 280 when it is
// longer, the other scaled in proportion and at least 4.
void ScaleToThumbnail(int& width, int& height);

// The thumbnail of the picture file at `realPath`: the cached one, made now when missing, or the
// picture itself when it is a small JPEG or PNG; not ok, with the error picture, when the
// picture cannot be used.
[[nodiscard]] Thumbnail MakeFileThumbnail(const std::u16string& realPath);

}  // namespace tavopix

// Thumbnails of the grid and the upload queue: made once per version of a picture file and
// kept as JPEG files in the thumbnail cache folder under a name built from the file's write
// time, size and path, so a changed file simply gets a new thumbnail.
//
// A picture that cannot be read or decoded gets the error picture at 160 x 115. Each call keeps
// its own decoder state and touches only its own item, so any number of threads may make
// thumbnails at once; two threads making the same one write the same bytes, each through its own
// temporary file, so the cache never holds half a thumbnail.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "library/PictureItem.h"

namespace tavopix {

inline constexpr int kThumbnailSide = 280;
// Pictures of fewer pixels (in JPEG or PNG) are shown as they are.
inline constexpr int kOwnThumbnailArea = kThumbnailSide * kThumbnailSide;  // 78,400
inline constexpr int kMinThumbnailSide = 4;
inline constexpr int kErrorThumbnailWidth = 160;
inline constexpr int kErrorThumbnailHeight = 115;

// The 16-bit checksum of a path's UTF-16 units: their sum folded to 16 bits, complemented.
[[nodiscard]] std::uint16_t PathChecksum(std::u16string_view path);

// The cache file name of the picture at `realPath`: the cache folder, then the low 32 bits of
// its write time, the low 16 bits of its size and the path checksum in lower-case hex
// ("%08x%04x%04x.jpg"). False when the file's attributes cannot be read.
[[nodiscard]] bool ThumbnailCacheName(const std::u16string& realPath, std::u16string& name);

// The size a thumbnail of a width x height picture gets: the long side becomes 280 when it is
// longer, the other scaled in proportion and at least 4.
void ScaleToThumbnail(int& width, int& height);

// Fills the item's thumbnail (percent-escaped, ready for an image source), width and height:
// the cached thumbnail, made now when missing, or the picture itself when it is a small JPEG or
// PNG. False, with the error picture, when the picture cannot be used.
bool MakeThumbnail(PictureItem& item);

}  // namespace tavopix

// The thumbnails of the album pages, made once when a picture is stored: the picture shown
// upright (EXIF orientation of a JPEG applied) and scaled to fit kThumbnailSize pixels, as a
// JPEG. JPEG is decoded at a reduced scale straight away; PNG, GIF and BMP through stb_image.
// Other formats (TIFF, WebP) get none, and the pages show the original in their place.
#pragma once

#include <string>

namespace albumd {

inline constexpr int kThumbnailSize = 480;

// Writes the thumbnail of `source` (of type `mime`) to `target`, readable by the owner alone.
// False when the format has no thumbnail or the picture cannot be decoded.
[[nodiscard]] bool MakeThumbnail(const std::string& source, const std::string& mime,
                                 const std::string& target);

}  // namespace albumd
